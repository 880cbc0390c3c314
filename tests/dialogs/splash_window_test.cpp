// The start-up panel from the program's template: its look, its timer, and its keys.
#include "dialogs/splash_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "resources/resource.h"

namespace kx {
namespace {

bool QuitPosted() {
    MSG msg;
    return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

// Dispatches this thread's messages, through the panel's pre-translation as a modal loop would,
// until done() or the deadline; a posted quit stays queued.
template <typename Done>
bool PumpUntil(CSplashWindow* splash, Done done, DWORD ms = 3000) {
    for (const DWORD start = ::GetTickCount(); !done(); ::Sleep(10)) {
        if (::GetTickCount() - start > ms) {
            return false;
        }
        MSG msg;
        while (!QuitPosted() && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (splash == nullptr || !splash->PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
    return true;
}

TEST(SplashWindowTest, ShowsOnTopWithoutCaptionOrTaskbarButtonUntilItsTimerEndsIt) {
    int ticks = 0;
    std::unique_ptr<CSplashWindow> splash = std::make_unique<CSplashWindow>([&] {
        ++ticks;
        splash.reset();
    });
    ASSERT_TRUE(splash->Create());
    HWND hwnd = splash->m_hWnd;
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(0, ::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    EXPECT_EQ(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, exStyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW));
    EXPECT_EQ(IDR_MAINFRAME, static_cast<int>(splash->m_icon.m_nIconId));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_ICON_BUTTON)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_LOGO)));

    // Enter does nothing; Escape ends the program.
    ::PostMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 1);
    PumpUntil(
        splash.get(), [] { return false; }, 200);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(QuitPosted());
    ::PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(PumpUntil(splash.get(), QuitPosted));
    MSG quit;
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, quit.wParam);

    const DWORD armed = ::GetTickCount();
    ASSERT_NE(0u, ::SetTimer(hwnd, kSplashTimerId, kSplashTimerMs, nullptr));
    EXPECT_TRUE(PumpUntil(nullptr, [&] { return ticks > 0; }));
    EXPECT_GE(::GetTickCount() - armed, kSplashTimerMs - 20);
    EXPECT_EQ(1, ticks);
    EXPECT_FALSE(::IsWindow(hwnd));
}

}  // namespace
}  // namespace kx
