#include "framework/context_help.h"

namespace kx {

namespace {

// The control of the dialog under a screen point, the dialog itself beside its controls, or
// null outside it. Disabled controls and static text, which the pointer passes through, still
// have help.
HWND HelpTargetAt(HWND dialog, POINT screen) {
    HWND under = ::WindowFromPoint(screen);
    if (under != dialog && !::IsChild(dialog, under)) {
        return nullptr;
    }
    if (under == dialog) {
        POINT client = screen;
        ::ScreenToClient(dialog, &client);
        HWND child = ::ChildWindowFromPointEx(dialog, client, CWP_SKIPINVISIBLE);
        return child != nullptr ? child : dialog;
    }
    return under;
}

void SendHelpAt(HWND dialog, POINT screen) {
    HWND target = HelpTargetAt(dialog, screen);
    if (target == nullptr) {
        return;
    }
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = target == dialog ? 0 : ::GetDlgCtrlID(target);
    info.hItemHandle = target;
    info.dwContextId = ::GetWindowContextHelpId(target);
    info.MousePos = screen;
    // A control's default window procedure hands the request on to its dialog.
    ::SendMessageW(target, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

bool IsButtonDown(UINT msg) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN:
            return true;
        default:
            return false;
    }
}

// Takes one message of the mode; false when it ends the mode.
bool TakeHelpModeMessage(HWND dialog, const MSG& msg, HCURSOR helpCursor) {
    if (IsButtonDown(msg.message)) {
        ::ReleaseCapture();
        if (msg.message == WM_LBUTTONDOWN || msg.message == WM_NCLBUTTONDOWN) {
            SendHelpAt(dialog, msg.pt);
        }
        return false;
    }
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        // Escape ends the mode; other keys are not for the dialog while it runs.
        return msg.wParam != VK_ESCAPE;
    }
    if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
        (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK) ||
        msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP || msg.message == WM_CHAR) {
        ::SetCursor(helpCursor);
        return true;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

BOOL CALLBACK ForwardToChild(HWND child, LPARAM message) {
    const auto* forwarded = reinterpret_cast<const MSG*>(message);
    ::SendMessageW(child, forwarded->message, forwarded->wParam, forwarded->lParam);
    return TRUE;
}

}  // namespace

void RunContextHelpMode(HWND dialog) {
    HCURSOR helpCursor = ::LoadCursorW(nullptr, IDC_HELP);
    // The capture brings every pointer message of the thread here, the controls' own included.
    ::SetCapture(dialog);
    ::SetCursor(helpCursor);
    MSG msg;
    while (::GetCapture() == dialog) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // The quit message belongs to the loop outside.
            if (got == 0) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            }
            break;
        }
        if (!TakeHelpModeMessage(dialog, msg, helpCursor)) {
            break;
        }
    }
    if (::GetCapture() == dialog) {
        ::ReleaseCapture();
    }
}

void ForwardSysColorChange(HWND window, WPARAM wParam, LPARAM lParam) {
    MSG message{};
    message.message = WM_SYSCOLORCHANGE;
    message.wParam = wParam;
    message.lParam = lParam;
    ::EnumChildWindows(window, &ForwardToChild, reinterpret_cast<LPARAM>(&message));
}

}  // namespace kx
