#include "dialogs/frame_settings_dialog.h"

#include <algorithm>

#include "dialogs/about_dialog.h"
#include "framework/app.h"
#include "resources/resource.h"

namespace kx {

namespace {

constexpr wchar_t kSection[] = L"Setting";
constexpr wchar_t kHeightValue[] = L"Height";

// The size the dialog opens with at most, whatever the strip.
constexpr int kMaxInitialWidth = 640;
constexpr int kMaxInitialHeight = 480;

}  // namespace

HelpTopic FrameSettingsHelpTopic(int controlId) {
    switch (controlId) {
        case IDOK:
            return {774, HELP_CONTEXTPOPUP};
        case IDC_FRAME_HEIGHT:
        case IDC_FRAME_HEIGHT_SPIN:
        case IDC_FRAME_HEIGHT_LABEL:
        case IDC_FRAME_HEIGHT_UNIT:
            return {771, HELP_CONTEXTPOPUP};
        case IDC_STRIP_PREVIEW:
            return {770, HELP_CONTEXTPOPUP};
        case IDC_FRAME_COUNT:
        case IDC_FRAME_COUNT_SPIN:
        case IDC_FRAME_COUNT_LABEL:
            return {772, HELP_CONTEXTPOPUP};
        case IDC_REMAINDER:
        case IDC_REMAINDER_LABEL:
        case IDC_REMAINDER_UNIT:
            return {773, HELP_CONTEXTPOPUP};
        case IDC_LOGO:
            return {2, HELP_CONTEXTPOPUP};
        default:
            return {769, HELP_CONTEXT};
    }
}

CFrameSettingsDialog::CFrameSettingsDialog(CWnd* parent) : CDialog(IDD_FRAME_SETTINGS, parent) {
    m_settings.SetSection(kSection);
}

CFrameSettingsDialog::~CFrameSettingsDialog() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

BOOL CFrameSettingsDialog::DestroyWindow() {
    // A window that never finished its initialisation has shown no height of the user's.
    if (m_hWnd != nullptr && m_bInitialized) {
        m_settings.WriteInt(kHeightValue, m_nFrameHeight);
    }
    return CDialog::DestroyWindow();
}

void CFrameSettingsDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_STRIP_PREVIEW, m_preview);
    DDX_Control(dx, IDC_FRAME_HEIGHT_SPIN, m_spinHeight);
    DDX_Control(dx, IDC_FRAME_COUNT_SPIN, m_spinCount);
    DDX_Text(dx, IDC_FRAME_HEIGHT, m_nFrameHeight);
    DDX_Text(dx, IDC_FRAME_COUNT, m_nFrameCount);
    DDX_Text(dx, IDC_REMAINDER, m_nRemainder);
}

BOOL CFrameSettingsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    // A freshly read strip is one frame of the strip's full height. Without a strip the fields
    // still work on one row, so nothing ever divides by zero.
    const int32_t stripHeight = std::max(m_preview.shownHeight, 1);
    m_nStripHeight = stripHeight;
    m_nFrameHeight =
        ProposedFrameHeight(m_preview.frameWidth, stripHeight, m_settings.ReadInt(kHeightValue, 0));
    m_preview.SetFit(TRUE);
    m_spinHeight.SetRange32(1, stripHeight);
    m_spinCount.SetRange32(1, stripHeight);
    m_logo.SubclassDlgItem(IDC_LOGO, this);
    UpdateData(FALSE);
    m_bInitialized = true;
    OnHeightChanged();
    MeasureLayout();
    PlaceInitially();
    return TRUE;
}

void CFrameSettingsDialog::Show(const FrameFields& fields) {
    m_nFrameHeight = fields.height;
    m_nFrameCount = fields.count;
    m_nRemainder = fields.remainder;
    m_preview.SetShownHeight(fields.height);
    // Each field whose text changes raises its EN_UPDATE at once, inside this call. The fields
    // already agree, and a typed height must stay as typed: a count handler run now would
    // replace it by the smallest height giving the same count.
    m_writingBack = true;
    UpdateData(FALSE);
    m_writingBack = false;
}

void CFrameSettingsDialog::OnHeightChanged() {
    if (!m_bInitialized || m_writingBack) {
        return;
    }
    // Text that is not a number keeps the values from before it, which are written back.
    UpdateData(TRUE);
    Show(FieldsFromHeight(m_nStripHeight, m_nFrameHeight));
}

void CFrameSettingsDialog::OnCountChanged() {
    if (!m_bInitialized || m_writingBack) {
        return;
    }
    UpdateData(TRUE);
    Show(FieldsFromCount(m_nStripHeight, m_nFrameCount));
}

void CFrameSettingsDialog::MeasureLayout() {
    // Measured against the client area, so that a layout at the first size leaves every
    // control where the template put it.
    const RECT client = GetClientRect();
    const RECT preview = GetChildRect(IDC_STRIP_PREVIEW);
    m_previewSlackX = preview.left + (client.right - preview.right);
    m_previewSlackY = preview.top + (client.bottom - preview.bottom);
    for (Anchor& anchor : m_anchors) {
        const RECT r = GetChildRect(anchor.id);
        anchor.fromRight = client.right - r.left;
        anchor.y = anchor.toBottom ? client.bottom - r.top : r.top;
    }
    m_layoutMeasured = true;
}

void CFrameSettingsDialog::Layout(int cx, int cy) {
    constexpr UINT kMoveFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    constexpr UINT kSizeFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    HDWP batch = ::BeginDeferWindowPos(kAnchoredControls + 1);
    // Without a batch each control is placed at once.
    const auto place = [&batch](HWND control, int x, int y, int w, int h, UINT flags) {
        if (control == nullptr) {
            return;
        }
        if (batch != nullptr) {
            batch = ::DeferWindowPos(batch, control, nullptr, x, y, w, h, flags);
        } else {
            ::SetWindowPos(control, nullptr, x, y, w, h, flags);
        }
    };
    place(GetDlgItem(IDC_STRIP_PREVIEW), 0, 0, std::max(cx - m_previewSlackX, 0),
          std::max(cy - m_previewSlackY, 0), kSizeFlags);
    for (const Anchor& anchor : m_anchors) {
        place(GetDlgItem(anchor.id), cx - anchor.fromRight,
              anchor.toBottom ? cy - anchor.y : anchor.y, 0, 0, kMoveFlags);
    }
    if (batch != nullptr) {
        ::EndDeferWindowPos(batch);
    }
}

void CFrameSettingsDialog::PlaceInitially() {
    RECT own{};
    ::GetWindowRect(m_hWnd, &own);
    int width = std::max<int>(own.right - own.left, m_previewSlackX + (m_preview.frameWidth >> 1));
    int height = std::max<int>(own.bottom - own.top, m_previewSlackY + (m_nStripHeight >> 2));
    width = std::min(width, kMaxInitialWidth);
    height = std::min(height, kMaxInitialHeight);
    // Where the system would put a new window of that size.
    RECT place{};
    if (!DefaultWindowRect(width, height, &place)) {
        return;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!::GetWindowPlacement(m_hWnd, &placement)) {
        return;
    }
    const RECT& normal = placement.rcNormalPosition;
    // The same size keeps the placement centred over the owner.
    if (place.right - place.left != normal.right - normal.left ||
        place.bottom - place.top != normal.bottom - normal.top) {
        placement.rcNormalPosition = place;
        ::SetWindowPlacement(m_hWnd, &placement);
    }
}

LRESULT CFrameSettingsDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_UPDATE && LOWORD(wParam) == IDC_FRAME_HEIGHT) {
                OnHeightChanged();
                return 0;
            }
            if (HIWORD(wParam) == EN_UPDATE && LOWORD(wParam) == IDC_FRAME_COUNT) {
                OnCountChanged();
                return 0;
            }
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_LOGO) {
                CAboutDialog about;
                about.DoModal();
                return 0;
            }
            break;
        case WM_HELP: {
            const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
            const HelpTopic topic = FrameSettingsHelpTopic(info != nullptr ? info->iCtrlId : 0);
            if (CWinApp* app = AfxGetApp()) {
                app->WinHelp(topic.context, topic.command);
            }
            return TRUE;
        }
        case WM_SIZE: {
            const LRESULT result = CDialog::WindowProc(msg, wParam, lParam);
            if (m_layoutMeasured && wParam != SIZE_MINIMIZED) {
                Layout(LOWORD(lParam), HIWORD(lParam));
            }
            return result;
        }
        default:
            break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

}  // namespace kx
