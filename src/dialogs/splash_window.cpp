#include "dialogs/splash_window.h"

#include <utility>

#include "framework/app.h"
#include "resources/resource.h"

namespace kx {

namespace {

constexpr UINT_PTR kRaiseTimerId = 111;
constexpr UINT kRaiseDelayMs = 150;

}  // namespace

CSplashWindow::CSplashWindow(std::function<void()> timeUp)
    : CDialog(IDD_SPLASH), m_timeUp(std::move(timeUp)) {}

CSplashWindow::~CSplashWindow() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

BOOL CSplashWindow::Create() {
    return CDialog::Create(IDD_SPLASH, nullptr);
}

BOOL CSplashWindow::OnInitDialog() {
    CDialog::OnInitDialog();
    m_icon.SubclassDlgItem(IDC_ICON_BUTTON, this);
    m_icon.SetStyle(0);
    m_icon.SetIcon(IDR_MAINFRAME);
    m_logo.SubclassDlgItem(IDC_LOGO, this);
    return TRUE;
}

void CSplashWindow::OnCancel() {
    ::PostQuitMessage(0);
}

LRESULT CSplashWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE: {
            if (CDialog::WindowProc(msg, wParam, lParam) == -1) {
                return -1;
            }
            // Above every window, and no taskbar button.
            ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            const LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
            ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, exStyle | WS_EX_TOOLWINDOW);
            return 0;
        }
        case kSplashRaise:
            ::SetTimer(m_hWnd, kRaiseTimerId, kRaiseDelayMs, nullptr);
            return 0;
        case WM_TIMER:
            if (wParam == kRaiseTimerId) {
                // Mapped again, the panel's window is stacked above every window shown since.
                ::KillTimer(m_hWnd, kRaiseTimerId);
                ::ShowWindow(m_hWnd, SW_HIDE);
                ::ShowWindow(m_hWnd, SW_SHOWNA);
                return 0;
            }
            if (wParam == kSplashTimerId) {
                ::KillTimer(m_hWnd, kSplashTimerId);
                // The callback destroys this window and may delete this object: nothing of it
                // is touched afterwards.
                if (m_timeUp) {
                    std::function<void()> timeUp = m_timeUp;
                    timeUp();
                }
                return 0;
            }
            break;
        case WM_DESTROY:
            ::KillTimer(m_hWnd, kSplashTimerId);
            ::KillTimer(m_hWnd, kRaiseTimerId);
            break;
        default:
            break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

}  // namespace kx
