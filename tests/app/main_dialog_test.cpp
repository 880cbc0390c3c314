// The main window under real messages: start-up and settings, sizes, keys that must not close
// it, command states, help, and the common controls it is built with.
#include "app/main_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "app/main_window_fixture.h"

namespace kx::test {
namespace {

RECT WindowRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

SIZE ClientSize(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return {r.right, r.bottom};
}

TEST(MainWindowHelp, MapsMenuItemsAndControlsToTopics) {
    struct Case {
        int contextType;
        int id;
        DWORD ownContext;
        HelpCall expected;
    };
    const Case cases[] = {
        {HELPINFO_MENUITEM, ID_FILE_OPEN, 0, {true, 516, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_FILE_SAVE_AS, 0, {true, 517, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_PLAY_PAUSE, 0, {true, 518, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_PREV_FRAME, 0, {true, 519, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_NEXT_FRAME, 0, {true, 520, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_FIRST_FRAME, 0, {true, 521, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_LAST_FRAME, 0, {true, 522, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_VIEW_FIT, 0, {true, 526, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_PLAY_REPEAT, 0, {true, 527, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_VIEW_TRANSPARENT, 0, {true, 528, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_HELP_CONTENTS, 0, {true, 530, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_CONTEXT_HELP, 0, {true, 531, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_APP_EXIT, 0, {true, 532, HELP_CONTEXTPOPUP}},
        {HELPINFO_MENUITEM, ID_APP_ABOUT, 0, {true, 533, HELP_CONTEXTPOPUP}},
        // A popup menu's title or any other item: the general topic.
        {HELPINFO_MENUITEM, 0, 0, {true, 513, HELP_CONTEXT}},
        {HELPINFO_MENUITEM, IDC_PREVIEW, 0, {true, 513, HELP_CONTEXT}},
        {HELPINFO_WINDOW, IDC_PREVIEW, 0, {true, 514, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_FRAME_SLIDER, 0, {true, 515, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_SLIDER_PANEL, 0, {true, 523, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_FRAME_NUMBER, 0, {true, 524, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_FRAME_NUMBER_LABEL, 0, {true, 524, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_SPEED, 0, {true, 525, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_SPEED_SPIN, 0, {true, 525, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_SPEED_UNIT, 0, {true, 525, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_SPEED_LABEL, 0, {true, 525, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_VIEW_BAR, 0, {true, 529, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_LOGO, 0, {true, 2, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, IDC_SIZE_GRIP, 0, {true, 3, HELP_CONTEXTPOPUP}},
        // The lower strip gives help for its buttons itself.
        {HELPINFO_WINDOW, IDC_PLAY_BAR, 518, {false, 0, 0}},
        // Any other control: its own context, or the general topic when it has none.
        {HELPINFO_WINDOW, 4242, 777, {true, 777, HELP_CONTEXTPOPUP}},
        {HELPINFO_WINDOW, 4242, 0, {true, 513, HELP_CONTEXT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.contextType << " id " << c.id);
        const HelpCall got = MainWindowHelp(c.contextType, c.id, c.ownContext);
        EXPECT_EQ(c.expected.call, got.call);
        EXPECT_EQ(c.expected.context, got.context);
        EXPECT_EQ(c.expected.command, got.command);
    }
}

// What a start shows of the settings.
struct Shown {
    std::wstring speed;
    bool fit, repeat, transparent;
    SIZE size;
};

Step SeeSettingsThenResize(Shown& shown, int width, int height) {
    return Do([&shown, width, height](CMainDialog& d) {
        const RECT r = WindowRect(d.m_hWnd);
        shown = {TextOf(d.GetDlgItem(IDC_SPEED)),
                 MenuChecked(d, ID_VIEW_FIT),
                 MenuChecked(d, ID_PLAY_REPEAT),
                 MenuChecked(d, ID_VIEW_TRANSPARENT),
                 {r.right - r.left, r.bottom - r.top}};
        ::SetWindowPos(d.m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    });
}

TEST_F(MainWindowTest, SettingsAreReadAtStartAndWrittenAtClose) {
    CRegistrySettings setting = TestSettings(L"Setting");
    CRegistrySettings window = TestSettings(L"Window");
    // First start: nothing stored; the system's default size.
    HWND probe = ::CreateWindowExW(0, L"Static", L"", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 0, nullptr, nullptr, nullptr, nullptr);
    const RECT p = WindowRect(probe);
    ::DestroyWindow(probe);
    Shown first{};
    {
        CMainDialog dialog;
        EXPECT_EQ(IDOK, Run(dialog, {SeeSettingsThenResize(first, 600, 450)}));
    }
    EXPECT_EQ(L"100", first.speed);
    EXPECT_FALSE(first.fit);
    EXPECT_TRUE(first.repeat);
    EXPECT_FALSE(first.transparent);
    EXPECT_EQ(p.right - p.left, first.size.cx);
    EXPECT_EQ(p.bottom - p.top, first.size.cy);
    EXPECT_EQ(100, setting.ReadInt(L"Speed", -1));
    EXPECT_EQ(600, window.ReadInt(L"Width", -1));
    EXPECT_EQ(450, window.ReadInt(L"Height", -1));

    // Stored choices, and a stored path that no longer exists.
    setting.WriteInt(L"Speed", 250);
    setting.WriteInt(L"Fit", 1);
    setting.WriteInt(L"Repeat", 0);
    setting.WriteInt(L"Transparent", 1);
    setting.WriteString(L"Path", L"C:\\no such folder\\gone.bmp");
    Shown second{};
    {
        CMainDialog dialog;
        // A maximised window stores its restored size.
        EXPECT_EQ(IDOK, Run(dialog, {SeeSettingsThenResize(second, 720, 530),
                                     Do([](CMainDialog& d) { d.ShowWindow(SW_MAXIMIZE); })}));
    }
    EXPECT_EQ(L"250", second.speed);
    EXPECT_TRUE(second.fit);
    EXPECT_FALSE(second.repeat);
    EXPECT_TRUE(second.transparent);
    EXPECT_EQ(600, second.size.cx);
    EXPECT_EQ(450, second.size.cy);
    EXPECT_EQ(250, setting.ReadInt(L"Speed", -1));
    EXPECT_EQ(1, setting.ReadInt(L"Fit", -1));
    EXPECT_EQ(0, setting.ReadInt(L"Repeat", -1));
    EXPECT_EQ(1, setting.ReadInt(L"Transparent", -1));
    EXPECT_EQ(L"", setting.ReadString(L"Path", L"not written"));
    EXPECT_EQ(720, window.ReadInt(L"Width", -1));
    EXPECT_EQ(530, window.ReadInt(L"Height", -1));
}

TEST_F(MainWindowTest, StartSizeIsTheSmallestAndThePreviewGrowsWithTheWindow) {
    CMainDialog dialog;
    SIZE templateWindow{}, shrunk{}, previewBefore{}, previewAfter{};
    Run(dialog, {Do([&](CMainDialog& d) {
            // The template's client size with the frame, caption and menu around it.
            RECT r{0, 0, 141, 153};
            ::MapDialogRect(d.m_hWnd, &r);
            ::AdjustWindowRectEx(&r, DWORD(d.GetStyle()), TRUE,
                                 DWORD(::GetWindowLongW(d.m_hWnd, GWL_EXSTYLE)));
            templateWindow = {r.right - r.left, r.bottom - r.top};
            ::SetWindowPos(d.m_hWnd, nullptr, 0, 0, 40, 30, SWP_NOMOVE | SWP_NOZORDER);
            const RECT now = WindowRect(d.m_hWnd);
            shrunk = {now.right - now.left, now.bottom - now.top};
            previewBefore = ClientSize(d.GetDlgItem(IDC_PREVIEW));
            ::SetWindowPos(d.m_hWnd, nullptr, 0, 0, shrunk.cx + 200, shrunk.cy + 100,
                           SWP_NOMOVE | SWP_NOZORDER);
            previewAfter = ClientSize(d.GetDlgItem(IDC_PREVIEW));
        })});
    EXPECT_EQ(templateWindow.cx, shrunk.cx);
    EXPECT_EQ(templateWindow.cy, shrunk.cy);
    EXPECT_EQ(previewBefore.cx + 200, previewAfter.cx);
    EXPECT_EQ(previewBefore.cy + 100, previewAfter.cy);
}

TEST_F(MainWindowTest, OnlyCloseAndExitEndItAndOnlyWithAValidSpeed) {
    struct Case {
        const char* name;
        const wchar_t* speed;
        UINT message;
        WPARAM wParam;
        bool closes;
        const wchar_t* box;  // the message shown, nullptr for none
    };
    const Case cases[] = {
        // Keys go to the focused control, through the loop's dialog-key handling.
        {"Enter", L"100", WM_KEYDOWN, VK_RETURN, false, nullptr},
        {"Escape", L"100", WM_KEYDOWN, VK_ESCAPE, false, nullptr},
        {"IDOK", L"100", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), false, nullptr},
        {"IDCANCEL", L"100", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), false, nullptr},
        {"close", L"100", WM_CLOSE, 0, true, nullptr},
        {"system menu close", L"100", WM_SYSCOMMAND, SC_CLOSE, true, nullptr},
        {"exit", L"100", WM_COMMAND, ID_APP_EXIT, true, nullptr},
        {"close, speed no number", L"", WM_CLOSE, 0, false, L"整数を入力してください。"},
        {"exit, speed out of range", L"0", WM_COMMAND, ID_APP_EXIT, false,
         L"1 から 60000 までの整数を入力してください。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.boxes.clear();
        CMainDialog dialog;
        std::vector<Step> steps = {Do([c](CMainDialog& d) {
            ::SetWindowTextW(d.GetDlgItem(IDC_SPEED), c.speed);
            HWND focus = ::GetFocus();
            ::PostMessageW(c.message == WM_KEYDOWN && focus ? focus : d.m_hWnd, c.message, c.wParam,
                           c.message == WM_KEYDOWN ? 1 : 0);
        })};
        if (!c.closes) {
            // Still open a moment later: the test ends it.
            steps.push_back(Do([](CMainDialog&) {}));
            steps.push_back(Do([](CMainDialog& d) { d.EndDialog(IDRETRY); }));
        }
        const INT_PTR result = Run(dialog, steps, false);
        EXPECT_EQ(c.closes ? IDOK : IDRETRY, result);
        ASSERT_EQ(c.box ? 1u : 0u, app.boxes.size());
        if (c.box != nullptr) {
            EXPECT_EQ(std::wstring(c.box), app.boxes[0].text);
        }
    }
}

// What the window shows of the movie commands: for each, whether its menu item is enabled and
// its strip button is not disabled; and whether the slider, speed field and spin are enabled.
struct CommandView {
    std::vector<int> enabledMenus;
    std::vector<int> enabledButtons;
    std::vector<int> enabledControls;
};

CommandView ViewCommands(CMainDialog& d) {
    CommandView view;
    for (const MovieCommand& c : kMovieCommands) {
        if (!MenuGrayed(d, c.id)) {
            view.enabledMenus.push_back(c.id);
        }
        const CButtonStrip& strip = c.stripId == IDC_PLAY_BAR ? d.playBar : d.viewBar;
        if ((ButtonState(strip, c.id) & StripState::kDisabled) == 0) {
            view.enabledButtons.push_back(c.id);
        }
    }
    for (int id : {IDC_FRAME_SLIDER, IDC_SPEED, IDC_SPEED_SPIN}) {
        if (::IsWindowEnabled(d.GetDlgItem(id))) {
            view.enabledControls.push_back(id);
        }
    }
    return view;
}

TEST_F(MainWindowTest, MovieCommandsAreAvailableExactlyWhileAMovieIsShown) {
    const std::vector<int> all = {ID_FILE_SAVE_AS, ID_FIRST_FRAME, ID_PREV_FRAME,
                                  ID_PLAY_PAUSE,   ID_NEXT_FRAME,  ID_LAST_FRAME,
                                  ID_VIEW_FIT,     ID_PLAY_REPEAT, ID_VIEW_TRANSPARENT};
    const std::vector<int> controls = {IDC_FRAME_SLIDER, IDC_SPEED, IDC_SPEED_SPIN};
    struct Case {
        const char* name;
        std::function<void(CMainDialog&)> change;
        int32_t state;
        bool enabled;
        const wchar_t* caption;
    };
    const Case cases[] = {
        {"start", [](CMainDialog&) {}, CMainDialog::kNoMovie, false, L""},
        {"shown",
         [](CMainDialog& d) {
             FillMovie(d.document, 5);
             d.path = L"C:\\movies\\clip.anim.bmp";
             d.documentState = CMainDialog::kLoaded;
             d.ShowLoadedMovie();
         },
         CMainDialog::kShown, true, L"clip.anim"},
        {"discarded",
         [](CMainDialog& d) {
             d.documentState = CMainDialog::kLoading;
             d.DiscardMovie();
         },
         CMainDialog::kNoMovie, false, L""},
    };
    CMainDialog dialog;
    std::vector<Step> steps;
    for (const Case& c : cases) {
        steps.push_back(Do([&c, &all, &controls](CMainDialog& d) {
            SCOPED_TRACE(c.name);
            c.change(d);
            EXPECT_EQ(c.state, d.documentState);
            const CommandView view = ViewCommands(d);
            const std::vector<int> none;
            EXPECT_EQ(c.enabled ? all : none, view.enabledMenus);
            EXPECT_EQ(c.enabled ? all : none, view.enabledButtons);
            EXPECT_EQ(c.enabled ? controls : none, view.enabledControls);
            // Open, exit and about never change.
            EXPECT_FALSE(MenuGrayed(d, ID_FILE_OPEN));
            EXPECT_FALSE(MenuGrayed(d, ID_APP_EXIT));
            EXPECT_EQ(0, ButtonState(d.playBar, ID_FILE_OPEN) & StripState::kDisabled);
            EXPECT_EQ(std::wstring(c.caption), TextOf(d.viewBar.m_hWnd));
            EXPECT_EQ(L"Pelmor Kinetrix", TextOf(d.m_hWnd));
            EXPECT_EQ(c.enabled ? d.document.FrameCount() : 0, d.preview.frameCount);
            if (c.enabled) {
                EXPECT_EQ(1, d.slider.GetRangeMin());
                EXPECT_EQ(5, d.slider.GetRangeMax());
                EXPECT_EQ(1, d.slider.GetPos());
                EXPECT_EQ(L"1", TextOf(d.GetDlgItem(IDC_FRAME_NUMBER)));
            }
        }));
    }
    EXPECT_EQ(IDOK, Run(dialog, steps));
}

TEST_F(MainWindowTest, AcceleratorKeysActLikeMenuCommands) {
    CMainDialog dialog;
    Run(dialog,
        {Do([](CMainDialog& d) {
             // The system sends nothing for the key of a grayed item: a movie first.
             FillMovie(d.document, 3);
             d.documentState = CMainDialog::kLoaded;
             d.ShowLoadedMovie();
             // A real Ctrl+T with the window in front; it arrives as a command with
             // notification code 1.
             ::SetForegroundWindow(d.m_hWnd);
             ::SetFocus(d.GetDlgItem(IDC_FRAME_NUMBER));
             INPUT keys[4]{};
             const WORD sequence[4][2] = {
                 {VK_CONTROL, 0}, {'T', 0}, {'T', KEYEVENTF_KEYUP}, {VK_CONTROL, KEYEVENTF_KEYUP}};
             for (int k = 0; k < 4; ++k) {
                 keys[k].type = INPUT_KEYBOARD;
                 keys[k].ki.wVk = sequence[k][0];
                 keys[k].ki.dwFlags = sequence[k][1];
             }
             ::SendInput(4, keys, sizeof keys[0]);
         }),
         [](CMainDialog& d) { return d.transparent == 1; }});
    EXPECT_EQ(1, dialog.preview.transparent);
}

TEST_F(MainWindowTest, TestsRunWithVersion6OfTheCommonControls) {
    // Version 6 is the side-by-side assembly the manifest names; the library in the system
    // folder is version 5.
    HMODULE comctl = ::GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(nullptr, comctl);
    wchar_t file[MAX_PATH] = L"";
    ::GetModuleFileNameW(comctl, file, MAX_PATH);
    std::wstring path = file;
    for (wchar_t& c : path) {
        c = wchar_t(std::towlower(c));
    }
    EXPECT_NE(std::wstring::npos, path.find(L"microsoft.windows.common-controls"))
        << testing::PrintToString(std::wstring(file));
    EXPECT_NE(std::wstring::npos, path.find(L"_6.0."))
        << testing::PrintToString(std::wstring(file));
}

}  // namespace
}  // namespace kx::test
