#include "app/main_window_fixture.h"

#include <commctrl.h>

#include "controls/logo_button.h"

namespace kx::test {

namespace {

constexpr wchar_t kTestSettingsApplication[] = L"KinetrixMainWindowTest";

std::vector<Step> g_steps;
size_t g_nextStep = 0;
int g_ticks = 0;
CMainDialog* g_dialog = nullptr;

void CALLBACK TakeStep(HWND, UINT, UINT_PTR, DWORD) {
    // Steps wait until the window shows, and none starts while another is still running (a step
    // may run a loop of its own). After 400 ticks the window is ended whatever runs.
    static bool running = false;
    if (g_dialog == nullptr || g_dialog->m_hWnd == nullptr) {
        return;
    }
    if (++g_ticks == 400) {
        ADD_FAILURE() << "the main window was still open after the steps";
        g_dialog->EndDialog(-7);
    }
    if (running || !::IsWindowVisible(g_dialog->m_hWnd) || g_nextStep >= g_steps.size()) {
        return;
    }
    running = true;
    if (g_steps[g_nextStep](*g_dialog)) {
        ++g_nextStep;
    }
    running = false;
}

}  // namespace

void ShowMovie(CMainDialog& d, int32_t frames) {
    CAnimationDocument& doc = d.document;
    doc.palette.count = 4;  // all black
    doc.headerList.stream.format.header.biWidth = 8;
    doc.movieList.frames.resize(size_t(frames));
    for (int32_t f = 0; f < frames; ++f) {
        doc.movieList.frames[size_t(f)].data.assign(Stride8(8) * 6, uint8_t(f % 4));
    }
    doc.frameCount = frames;
    EXPECT_EQ(1, doc.RebuildHeaders(4, frames, 6, 8, 100));
    d.documentState = CMainDialog::kLoaded;
    d.ShowLoadedMovie();
}

CRegistrySettings TestSettings(const wchar_t* section) {
    CRegistrySettings settings;
    settings.SetApplication(kTestSettingsApplication);
    settings.SetSection(section);
    return settings;
}

std::wstring TextOf(HWND window) {
    wchar_t buffer[256] = L"\x2603";  // sentinel: a failed call leaves it
    ::GetWindowTextW(window, buffer, 256);
    return buffer;
}

std::pair<std::wstring, UINT> OnlyMessage(const RecordingApp& app) {
    EXPECT_GE(1u, app.boxes.size()) << "more than one message";
    if (app.boxes.empty()) {
        return {L"", 0};
    }
    return {app.boxes[0].text, app.boxes[0].type};
}

void MainWindowTest::SetUp() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS |
                                                       ICC_ANIMATE_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24, -1,
                                IDB_LOGO_86X32);
    TestSettings(nullptr).DeleteKey(TRUE);
}

void MainWindowTest::TearDown() {
    TestSettings(nullptr).DeleteKey(TRUE);
    app.m_pMainWnd = nullptr;
}

INT_PTR MainWindowTest::Run(CMainDialog& dialog, std::vector<Step> steps, bool exitAtEnd) {
    dialog.m_settingsApplication = kTestSettingsApplication;
    g_steps = std::move(steps);
    if (exitAtEnd) {
        g_steps.push_back(Do([](CMainDialog& d) { d.PostMessage(WM_COMMAND, ID_APP_EXIT); }));
    }
    g_nextStep = 0;
    g_ticks = 0;
    g_dialog = &dialog;
    app.m_pMainWnd = &dialog;
    const UINT_PTR stepper = ::SetTimer(nullptr, 0, 50, &TakeStep);
    const INT_PTR result = dialog.DoModal();
    ::KillTimer(nullptr, stepper);
    EXPECT_EQ(g_steps.size(), g_nextStep) << "steps taken before the window closed";
    g_dialog = nullptr;
    g_steps.clear();
    return result;
}

}  // namespace kx::test
