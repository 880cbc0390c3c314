// The start-up panel from the program's template: its look, its timer, and its keys.
#include "dialogs/splash_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "resources/resource.h"

namespace kx {
namespace {

// Dispatches this thread's messages, through the panel's pre-translation as a modal loop would,
// until done() or the deadline.
template <typename Done>
bool PumpUntil(CSplashWindow* splash, Done done, DWORD ms = 3000) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > ms) {
            return false;
        }
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return done();
            }
            if (splash == nullptr || !splash->PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        ::Sleep(10);
    }
    return true;
}

bool QuitPosted() {
    MSG msg;
    return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

class SplashWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::FindResourceW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SPLASH), RT_DIALOG) ==
            nullptr) {
            GTEST_SKIP() << "the program's resources are not linked in";
        }
    }
};

TEST_F(SplashWindowTest, ShowsOnTopWithoutCaptionOrTaskbarButtonUntilItsTimerEndsIt) {
    int ticks = 0;
    std::unique_ptr<CSplashWindow> splash;
    splash = std::make_unique<CSplashWindow>([&] {
        ++ticks;
        splash.reset();
    });
    ASSERT_TRUE(splash->Create());
    HWND hwnd = splash->m_hWnd;
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(0, ::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    EXPECT_EQ(WS_EX_TOPMOST, exStyle & WS_EX_TOPMOST);
    EXPECT_EQ(WS_EX_TOOLWINDOW, exStyle & WS_EX_TOOLWINDOW);
    EXPECT_EQ(IDR_MAINFRAME, static_cast<int>(splash->m_icon.m_nIconId));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_ICON_BUTTON)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDC_LOGO)));

    // Enter does nothing.
    ::PostMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 1);
    PumpUntil(
        splash.get(), [] { return false; }, 200);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(QuitPosted());

    const DWORD armed = ::GetTickCount();
    ASSERT_NE(0u, ::SetTimer(hwnd, kSplashTimerId, kSplashTimerMs, nullptr));
    EXPECT_TRUE(PumpUntil(nullptr, [&] { return ticks > 0; }));
    EXPECT_GE(::GetTickCount() - armed, kSplashTimerMs - 20);
    EXPECT_EQ(1, ticks);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(SplashWindowTest, EscapeEndsTheProgram) {
    CSplashWindow splash([] {});
    ASSERT_TRUE(splash.Create());
    ::PostMessageW(splash.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_TRUE(PumpUntil(&splash, QuitPosted));
    MSG quit;
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, quit.wParam);
}

}  // namespace
}  // namespace kx
