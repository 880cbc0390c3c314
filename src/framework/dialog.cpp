#include "framework/dialog.h"

#include <cstdint>

#include "framework/app.h"
#include "framework/context_help.h"

namespace kx {

namespace {

// The framework's own validation messages; a program may replace them with string resources of
// the same ids.
constexpr wchar_t kParseIntText[] = L"整数を入力してください。";
constexpr wchar_t kParseIntRangeText[] = L"%1 から %2 までの整数を入力してください。";

std::wstring FrameworkString(UINT id, const wchar_t* builtIn) {
    std::wstring text = LoadStringResource(id);
    return text.empty() ? std::wstring(builtIn) : text;
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text.find(from); at != std::wstring::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// Sets a control's text only when it differs, so that an unchanged field raises no EN_UPDATE
// or EN_CHANGE and keeps its caret and selection.
void SetTextIfDifferent(HWND control, const std::wstring& text) {
    CWnd view;
    view.Attach(control);
    if (view.GetWindowText() != text) {
        ::SetWindowTextW(control, text.c_str());
    }
    view.Detach();
}

// The dialog whose creation is under way on this thread: the creation hook binds it to the
// first window created, which is the dialog itself (its controls come after it).
thread_local CDialog* t_creating = nullptr;
thread_local HHOOK t_creationHook = nullptr;

}  // namespace

bool ParseInt(const wchar_t* text, int& value) {
    if (text == nullptr) {
        return false;
    }
    const wchar_t* p = text;
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }
    int64_t magnitude = 0;
    int digits = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p, ++digits) {
        magnitude = magnitude * 10 + (*p - L'0');
        if (magnitude > int64_t{INT32_MAX} + 1) {
            return false;
        }
    }
    while (IsBlank(*p)) {
        ++p;
    }
    if (digits == 0 || *p != L'\0') {
        return false;
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX) {
        return false;
    }
    value = static_cast<int>(signedValue);
    return true;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    m_lastControl = m_dialog->GetDlgItem(id);
    return m_lastControl;
}

void CDataExchange::Fail() {
    m_failed = true;
    if (m_lastControl) {
        ::SetFocus(m_lastControl);
        ::SendMessageW(m_lastControl, EM_SETSEL, 0, -1);
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (dx->m_failed || control.m_hWnd != nullptr) {
        return;
    }
    control.SubclassWindow(dx->m_dialog->GetDlgItem(id));
}

namespace {

// Loads text into an edit control, or reads it back when the pass saves; false when the pass has
// already failed or the dialog has no such control.
bool ExchangeText(CDataExchange* dx, int id, std::wstring& text) {
    if (dx->m_failed) {
        return false;
    }
    HWND control = dx->PrepareEditCtrl(id);
    if (control == nullptr) {
        return false;
    }
    if (!dx->m_saveAndValidate) {
        SetTextIfDifferent(control, text);
        return true;
    }
    CWnd view;
    view.Attach(control);
    text = view.GetWindowText();
    view.Detach();
    return true;
}

}  // namespace

void DDX_Text(CDataExchange* dx, int id, int& value) {
    std::wstring text = dx->m_saveAndValidate ? std::wstring() : std::to_wstring(value);
    if (!ExchangeText(dx, id, text) || !dx->m_saveAndValidate) {
        return;
    }
    int parsed = 0;
    if (!ParseInt(text.c_str(), parsed)) {
        AfxMessageBox(FrameworkString(IDS_PARSE_INT, kParseIntText).c_str(),
                      MB_OK | MB_ICONEXCLAMATION, IDS_PARSE_INT);
        dx->Fail();
        return;
    }
    value = parsed;
}

void DDX_Text(CDataExchange* dx, int id, std::wstring& value) {
    ExchangeText(dx, id, value);
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue) {
    if (dx->m_failed || !dx->m_saveAndValidate || (value >= minValue && value <= maxValue)) {
        return;
    }
    std::wstring text = FrameworkString(IDS_PARSE_INT_RANGE, kParseIntRangeText);
    ReplaceAll(text, L"%1", std::to_wstring(minValue));
    ReplaceAll(text, L"%2", std::to_wstring(maxValue));
    AfxMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION, IDS_PARSE_INT_RANGE);
    dx->Fail();
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_parent(parent) {
    m_ownsWindow = true;
}

CDialog::CDialog(const DLGTEMPLATE* dialogTemplate, CWnd* parent)
    : m_template(dialogTemplate), m_parent(parent) {
    m_ownsWindow = true;
}

CDialog::~CDialog() = default;

INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) {
    // The object sees every message through its subclass, which sits in front of the dialog
    // manager; the dialog manager's own default processing runs for whatever the object passes
    // on, because this procedure handles nothing.
    return FALSE;
}

LRESULT CALLBACK CDialog::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_creating != nullptr) {
        CDialog* dialog = t_creating;
        t_creating = nullptr;
        dialog->InstallSubclass(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

HWND CDialog::CreateFromTemplate(HWND owner) {
    if (m_hWnd != nullptr) {
        return nullptr;
    }
    HINSTANCE instance = AfxGetInstanceHandle();
    const DLGTEMPLATE* dialogTemplate = m_template;
    if (dialogTemplate == nullptr) {
        HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(m_templateId), RT_DIALOG);
        HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
        dialogTemplate = loaded ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
        if (dialogTemplate == nullptr) {
            return nullptr;
        }
    }
    // Bind the object before the dialog's first message, so that it sees WM_NCCREATE and
    // WM_CREATE as well as WM_INITDIALOG.
    CDialog* const outerCreating = t_creating;
    HHOOK const outerHook = t_creationHook;
    t_creating = this;
    t_creationHook =
        ::SetWindowsHookExW(WH_CBT, &CDialog::CreationHook, nullptr, ::GetCurrentThreadId());
    HWND hwnd = nullptr;
    if (t_creationHook != nullptr) {
        hwnd = ::CreateDialogIndirectParamW(instance, dialogTemplate, owner, &CDialog::DialogProc,
                                            reinterpret_cast<LPARAM>(this));
        ::UnhookWindowsHookEx(t_creationHook);
    }
    t_creating = outerCreating;
    t_creationHook = outerHook;
    if (hwnd != nullptr && m_hWnd != hwnd) {
        ::DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_templateId = templateId;
    m_template = nullptr;
    return CreateIndirect(nullptr, parent);
}

BOOL CDialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent) {
    if (dialogTemplate != nullptr) {
        m_template = dialogTemplate;
    }
    m_parent = parent;
    CWinApp* app = AfxGetApp();
    HWND owner =
        parent ? parent->m_hWnd : (app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr);
    return CreateFromTemplate(owner) != nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND owner = m_parent ? m_parent->m_hWnd : AfxGetDefaultOwner();
    if (owner != nullptr) {
        owner = ::GetAncestor(owner, GA_ROOT);
    }
    const bool enableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (enableOwner) {
        ::EnableWindow(owner, FALSE);
    }
    m_inModalLoop = true;
    m_endRequested = false;
    m_modalResult = -1;
    if (CreateFromTemplate(owner) != nullptr) {
        if (!m_endRequested && m_hWnd != nullptr) {
            if (!::IsWindowVisible(m_hWnd)) {
                ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            }
            RunModalLoop();
        }
        if (m_hWnd != nullptr) {
            ::SetWindowPos(
                m_hWnd, nullptr, 0, 0, 0, 0,
                SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        }
    }
    if (enableOwner) {
        ::EnableWindow(owner, TRUE);
    }
    if (owner != nullptr && m_hWnd != nullptr && ::GetActiveWindow() == m_hWnd) {
        ::SetActiveWindow(owner);
    }
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
    m_inModalLoop = false;
    return m_modalResult;
}

int CDialog::RunModalLoop() {
    MSG msg;
    while (!m_endRequested && m_hWnd != nullptr) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            break;
        }
        if (got == 0) {
            // WM_QUIT belongs to the loop outside this one: leave and hand it on.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_modalResult = -1;
            break;
        }
        if (!PreTranslateChain(&msg) && !::IsDialogMessageW(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return m_modalResult;
}

BOOL CDialog::PreTranslateChain(MSG* msg) {
    // From the window the message is for up through its parents to its top-level window.
    for (HWND h = msg->hwnd; h != nullptr;) {
        if (CWnd* object = FromHandle(h); object != nullptr && object->PreTranslateMessage(msg)) {
            return TRUE;
        }
        if ((::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD) == 0) {
            break;
        }
        h = ::GetParent(h);
    }
    return FALSE;
}

void CDialog::EndDialog(int result) {
    m_modalResult = result;
    if (m_inModalLoop) {
        m_endRequested = true;
        // Wake the loop in case it is waiting.
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    } else if (m_hWnd != nullptr) {
        ::EndDialog(m_hWnd, result);
    }
}

void CDialog::CenterWindow(HWND over) {
    RECT area{};
    if (over != nullptr && ::IsWindowVisible(over) && !::IsIconic(over)) {
        ::GetWindowRect(over, &area);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            return;
        }
        area = monitor.rcWork;
    }
    RECT own{};
    ::GetWindowRect(m_hWnd, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int left = (area.left + area.right - width) / 2;
    int top = (area.top + area.bottom - height) / 2;
    // Keep the caption on the screen.
    left = left < 0 ? 0 : left;
    top = top < 0 ? 0 : top;
    ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return dx.m_failed ? FALSE : TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST || m_hWnd == nullptr ||
        (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd))) {
        return FALSE;
    }
    return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(int id, int code, HWND) {
    // Buttons, menus, Enter and Escape all arrive with notification code 0.
    if (code != BN_CLICKED) {
        return false;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::OnHelp(const HELPINFO&) {
    return false;
}

void CDialog::OnSize(UINT, int, int) {}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            // A modal dialog starts centred over its owner; its own initialisation may place it
            // elsewhere. The result decides whether the dialog manager sets the default focus.
            if (m_inModalLoop) {
                CenterWindow(::GetWindow(m_hWnd, GW_OWNER));
            }
            return OnInitDialog();
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) {
                return 0;
            }
            break;
        case WM_HELP:
            // A dialog procedure that processes WM_HELP returns TRUE.
            if (lParam != 0 && OnHelp(*reinterpret_cast<const HELPINFO*>(lParam))) {
                return TRUE;
            }
            break;
        case WM_SIZE: {
            const LRESULT result = Default();
            OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return result;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CONTEXTHELP) {
                RunContextHelpMode(m_hWnd);
                return 0;
            }
            break;
        case WM_SYSCOLORCHANGE:
            ForwardSysColorChange(m_hWnd, wParam, lParam);
            break;
        case WM_DRAWITEM: {
            // An owner-drawn control paints itself through its object. A dialog procedure that
            // processes WM_DRAWITEM returns TRUE.
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            CWnd* control =
                item && item->CtlType != ODT_MENU ? FromHandle(item->hwndItem) : nullptr;
            if (control != nullptr && control != this && control->DrawItem(item)) {
                return TRUE;
            }
            break;
        }
        default:
            break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

}  // namespace kx
