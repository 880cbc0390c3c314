#include "app/main_window_fixture.h"

#include "controls/drawn_control.h"

namespace kx::test {

namespace {

std::vector<Step> g_steps;
size_t g_nextStep = 0;
CMainDialog* g_dialog = nullptr;

void CALLBACK TakeStep(HWND, UINT, UINT_PTR, DWORD) {
    // Steps wait until the window shows, and none starts while another is still running (a step
    // may run a loop of its own).
    static bool running = false;
    if (running || g_dialog == nullptr || g_dialog->m_hWnd == nullptr ||
        !::IsWindowVisible(g_dialog->m_hWnd) || g_nextStep >= g_steps.size()) {
        return;
    }
    running = true;
    if (g_steps[g_nextStep](*g_dialog)) {
        ++g_nextStep;
    }
    running = false;
}

void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    if (g_dialog != nullptr && g_dialog->m_hWnd != nullptr) {
        ADD_FAILURE() << "the main window was still open after the steps";
        g_dialog->EndDialog(static_cast<int>(MainWindowTest::kWatchdogResult));
    }
}

void DeleteTestSettings() {
    TestSettings(nullptr).DeleteKey(TRUE);
}

}  // namespace

void MainWindowTest::SetUp() {
    if (::FindResourceW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG) ==
        nullptr) {
        GTEST_SKIP() << "the program's resources are not linked in";
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS |
                                                       ICC_ANIMATE_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24, -1,
                                IDB_LOGO_86X32);
    DeleteTestSettings();
}

void MainWindowTest::TearDown() {
    DeleteTestSettings();
    app.m_pMainWnd = nullptr;
}

INT_PTR MainWindowTest::Run(CMainDialog& dialog, std::vector<Step> steps, bool exitAtEnd) {
    dialog.settingsApplication = kTestSettingsApplication;
    g_steps = std::move(steps);
    if (exitAtEnd) {
        g_steps.push_back(Do([](CMainDialog& d) { d.PostMessage(WM_COMMAND, ID_APP_EXIT); }));
    }
    g_nextStep = 0;
    g_dialog = &dialog;
    app.m_pMainWnd = &dialog;
    const UINT_PTR stepper = ::SetTimer(nullptr, 0, 50, &TakeStep);
    const UINT_PTR watchdog = ::SetTimer(nullptr, 0, 20000, &Watchdog);
    const INT_PTR result = dialog.DoModal();
    ::KillTimer(nullptr, stepper);
    ::KillTimer(nullptr, watchdog);
    EXPECT_EQ(g_steps.size(), g_nextStep) << "steps taken before the window closed";
    g_dialog = nullptr;
    g_steps.clear();
    return result;
}

}  // namespace kx::test
