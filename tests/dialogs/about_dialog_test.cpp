// The About box from the program's template, run modally: help, logo and clip.
#include "dialogs/about_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/recording_app.h"
#include "resources/resource.h"

namespace kx {
namespace {

// Steps run one per timer tick while the box's modal loop runs.
std::vector<std::function<void(HWND)>> g_steps;
size_t g_nextStep = 0;

void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = ::FindWindowW(L"#32770", L"About Pelmor Kinetrix");
    if (box == nullptr) {
        return;
    }
    if (g_nextStep < g_steps.size()) {
        g_steps[g_nextStep++](box);
    } else {
        ::KillTimer(nullptr, timer);
    }
}

class AboutDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_ANIMATE_CLASS};
        ::InitCommonControlsEx(&controls);
        CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24,
                                    -1, IDB_LOGO_86X32);
        g_steps.clear();
        g_nextStep = 0;
    }
    // Runs the box, taking the steps and then Escape; a box still open after 10 s is closed.
    INT_PTR Run(CAboutDialog& about) {
        g_steps.push_back(
            [](HWND box) { ::PostMessageW(::GetDlgItem(box, IDOK), WM_KEYDOWN, VK_ESCAPE, 1); });
        const UINT_PTR stepper = ::SetTimer(nullptr, 0, 50, &RunStep);
        const UINT_PTR watchdog = ::SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) {
            ::PostMessageW(::FindWindowW(L"#32770", L"About Pelmor Kinetrix"), WM_CLOSE, 0, 0);
        });
        const INT_PTR result = about.DoModal();
        ::KillTimer(nullptr, stepper);
        ::KillTimer(nullptr, watchdog);
        return result;
    }

    test::RecordingApp app;
};

TEST_F(AboutDialogTest, F1AsksTheApplicationForHelpContext257) {
    CAboutDialog about;
    g_steps.push_back([](HWND box) {
        // A real F1 key press with the box in front; the system turns it into WM_HELP.
        ::SetForegroundWindow(box);
        ::SetFocus(::GetDlgItem(box, IDOK));
        INPUT keys[2]{};
        keys[0].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = VK_F1;
        keys[1] = keys[0];
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, keys, sizeof keys[0]);
    });
    g_steps.push_back([](HWND) {});  // time for the key to arrive
    g_steps.push_back([](HWND box) {
        // A help request naming another control gives the same topic.
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = IDC_ANIMATE;
        info.hItemHandle = ::GetDlgItem(box, IDC_ANIMATE);
        ::SendMessageW(box, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    });
    EXPECT_EQ(IDCANCEL, Run(about));
    const std::vector<std::pair<DWORD_PTR, UINT>> expected = {{257, HELP_CONTEXT},
                                                              {257, HELP_CONTEXT}};
    EXPECT_EQ(expected, app.helpCalls);
}

TEST_F(AboutDialogTest, TheLogoIsSubclassedDisabledAndTheClipIsOpen) {
    CAboutDialog about;
    HWND logo = nullptr;
    bool logoEnabled = true;
    CWnd* logoObject = nullptr;
    // Playing from the start again succeeds only with a clip open.
    LRESULT playing = -1;
    g_steps.push_back([&](HWND box) {
        logo = ::GetDlgItem(box, IDC_LOGO);
        logoEnabled = ::IsWindowEnabled(logo) != FALSE;
        logoObject = CWnd::FromHandle(logo);
        playing = ::SendMessageW(::GetDlgItem(box, IDC_ANIMATE), ACM_PLAY, static_cast<WPARAM>(-1),
                                 MAKELPARAM(0, 0xFFFF));
        // A click on the display-only logo does nothing.
        ::SendMessageW(logo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, 25));
        ::SendMessageW(logo, WM_LBUTTONUP, 0, MAKELPARAM(80, 25));
    });
    EXPECT_EQ(IDCANCEL, Run(about));
    EXPECT_EQ(&about.m_logo, logoObject);
    EXPECT_FALSE(logoEnabled);
    EXPECT_NE(-1, about.m_logo.selectedId);
    EXPECT_EQ(nullptr, about.m_logo.m_hWnd);
    EXPECT_EQ(nullptr, about.m_animate.m_hWnd);
    EXPECT_EQ(TRUE, playing);
}

}  // namespace
}  // namespace kx
