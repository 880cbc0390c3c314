#include "dialogs/progress_dialog.h"

#include "framework/app.h"
#include "resources/resource.h"

namespace kx {

CProgressDialog::CProgressDialog() : CDialog(IDD_PROGRESS) {}

CProgressDialog::~CProgressDialog() = default;

BOOL CProgressDialog::CreateWithCaption(UINT captionId) {
    if (!Create(IDD_PROGRESS)) {
        return FALSE;
    }
    SetWindowText(LoadStringResource(captionId).c_str());
    return TRUE;
}

void CProgressDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_ANIMATE, m_animate);
    DDX_Control(dx, IDC_PROGRESS_BAR, m_progress);
    DDX_Text(dx, IDC_PROGRESS_STATUS, m_strStatus);
}

BOOL CProgressDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    m_logo.SubclassDlgItem(IDC_LOGO, this);
    // The control's autoplay style starts the clip as soon as it is open, repeating for ever.
    m_animate.Open(IDR_CLIP);
    return TRUE;
}

void CProgressDialog::RequestStop() {
    // A disabled Cancel (a step that must not be interrupted) turns every request down.
    if (::IsWindowEnabled(GetDlgItem(IDC_PROGRESS_CANCEL))) {
        m_bContinue = 0;
    }
}

void CProgressDialog::OnOK() {
    RequestStop();
}

void CProgressDialog::OnCancel() {
    RequestStop();
}

void CProgressDialog::PumpOwnMessages() {
    // A window filter also takes the messages of the window's children; the main window's paint,
    // input and timer messages stay queued until the operation returns. The dialog keys work as
    // in any dialog: Escape (and Enter) ask to stop as the Cancel button does.
    MSG msg;
    while (m_hWnd != nullptr && ::PeekMessageW(&msg, m_hWnd, 0, 0, PM_REMOVE)) {
        if (!::IsDialogMessageW(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

LRESULT CProgressDialog::OnProgress(WPARAM wParam, LPARAM lParam) {
    // Both halves are 32-bit values of the sender.
    const auto code = static_cast<int32_t>(lParam);
    const auto amount = static_cast<uint32_t>(wParam);
    HWND cancel = GetDlgItem(IDC_PROGRESS_CANCEL);
    if (code < 0) {
        if (code == kProgressEnableCancel || code == kProgressDisableCancel) {
            ::EnableWindow(cancel, code == kProgressEnableCancel);
        }
    } else if (m_bContinue) {
        if (code != 0) {
            m_strStatus = LoadStringResource(static_cast<UINT>(code));
            if (amount != 0) {
                m_progress.SetRange32(0, static_cast<int>(amount));
                m_progress.SetPos(0);
            }
        } else if (amount != 0) {
            m_progress.SetPos(m_progress.GetPos() + static_cast<int>(amount));
        }
    }
    PumpOwnMessages();
    if (m_hWnd == nullptr) {
        return m_bContinue;
    }
    if (!m_bContinue && ::IsWindowEnabled(cancel)) {
        m_strStatus = LoadStringResource(IDS_STATUS_STOPPING);
        ::EnableWindow(cancel, FALSE);
    }
    UpdateData(FALSE);
    return m_bContinue;
}

bool CProgressDialog::OnCommand(int id, int code, HWND control) {
    if (id == IDC_PROGRESS_CANCEL && code == BN_CLICKED) {
        RequestStop();
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

LRESULT CProgressDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PROGRESS) {
        // The subclass sits in front of the dialog manager, so this result goes straight back
        // to the sender.
        return OnProgress(wParam, lParam);
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

bool CProgressWindowSink::Report(uint32_t wParam, int32_t lParam) {
    if (m_window == nullptr) {
        return true;
    }
    return ::SendMessageW(m_window, WM_PROGRESS, wParam, lParam) != 0;
}

}  // namespace kx
