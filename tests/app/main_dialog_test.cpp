// The main window under real messages: start-up and settings, sizes, keys that must not close
// it, command states, help, and the common controls it is built with.
#include "app/main_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>
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

TEST_F(MainWindowTest, HelpRequestsReachTheApplicationThroughTheWindow) {
    CMainDialog dialog;
    LRESULT preview = 0;
    LRESULT lowerStrip = 0;
    size_t callsAfterLowerStrip = 0;
    INT_PTR result = Run(dialog, {Do([&](CMainDialog& d) {
                                      HELPINFO info{};
                                      info.cbSize = sizeof info;
                                      info.iContextType = HELPINFO_WINDOW;
                                      info.iCtrlId = IDC_PREVIEW;
                                      info.hItemHandle = d.GetDlgItem(IDC_PREVIEW);
                                      preview = d.SendMessage(WM_HELP, 0, LPARAM(&info));
                                      info.iCtrlId = IDC_PLAY_BAR;
                                      info.hItemHandle = d.GetDlgItem(IDC_PLAY_BAR);
                                      lowerStrip = d.SendMessage(WM_HELP, 0, LPARAM(&info));
                                      callsAfterLowerStrip = app.helpCalls.size();
                                      d.PostMessage(WM_COMMAND, ID_HELP_CONTENTS);
                                  }),
                                  Do([](CMainDialog&) {})});
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(TRUE, preview);
    EXPECT_EQ(TRUE, lowerStrip);
    EXPECT_EQ(1u, callsAfterLowerStrip);
    // Preview topic, contents, then the help window closed with the main window.
    ASSERT_EQ(3u, app.helpCalls.size());
    EXPECT_EQ(514u, app.helpCalls[0].first);
    EXPECT_EQ(UINT(HELP_CONTEXTPOPUP), app.helpCalls[0].second);
    EXPECT_EQ(1u, app.helpCalls[1].first);
    EXPECT_EQ(UINT(HELP_CONTEXT), app.helpCalls[1].second);
    EXPECT_EQ(UINT(HELP_QUIT), app.helpCalls[2].second);
}

TEST_F(MainWindowTest, FirstStartTakesTheDefaultsAndTheSystemsDefaultSize) {
    CMainDialog dialog;
    std::wstring speed;
    bool repeatChecked = false;
    bool fitChecked = true;
    bool transparentChecked = true;
    uint16_t repeatButton = 0;
    SIZE size{};
    SIZE defaultSize{};
    std::wstring caption;
    Run(dialog, {Do([&](CMainDialog& d) {
            speed = TextOf(d.GetDlgItem(IDC_SPEED));
            repeatChecked = MenuChecked(d, ID_PLAY_REPEAT);
            fitChecked = MenuChecked(d, ID_VIEW_FIT);
            transparentChecked = MenuChecked(d, ID_VIEW_TRANSPARENT);
            repeatButton = ButtonState(d.viewBar, ID_PLAY_REPEAT);
            caption = TextOf(d.m_hWnd);
            const RECT r = WindowRect(d.m_hWnd);
            size = {r.right - r.left, r.bottom - r.top};
            HWND probe =
                ::CreateWindowExW(0, L"Static", L"", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, nullptr, nullptr);
            const RECT p = WindowRect(probe);
            ::DestroyWindow(probe);
            defaultSize = {p.right - p.left, p.bottom - p.top};
        })});
    EXPECT_EQ(L"Pelmor Kinetrix", caption);
    EXPECT_EQ(L"100", speed);
    EXPECT_TRUE(repeatChecked);
    EXPECT_FALSE(fitChecked);
    EXPECT_FALSE(transparentChecked);
    EXPECT_EQ(StripState::kChecked | StripState::kDisabled, repeatButton);
    EXPECT_EQ(defaultSize.cx, size.cx);
    EXPECT_EQ(defaultSize.cy, size.cy);
}

TEST_F(MainWindowTest, SettingsAreReadAtStartAndWrittenAtClose) {
    CRegistrySettings setting = TestSettings(L"Setting");
    setting.WriteInt(L"Speed", 250);
    setting.WriteInt(L"Fit", 1);
    setting.WriteInt(L"Repeat", 0);
    setting.WriteInt(L"Transparent", 1);
    setting.WriteString(L"Path", L"C:\\no such folder\\gone.bmp");
    CRegistrySettings window = TestSettings(L"Window");
    window.WriteInt(L"Width", 700);
    window.WriteInt(L"Height", 500);

    CMainDialog dialog;
    std::wstring speed;
    SIZE started{};
    bool fitChecked = false;
    bool repeatChecked = true;
    bool transparentChecked = false;
    uint16_t fitButton = 0;
    const INT_PTR result = Run(
        dialog, {Do([&](CMainDialog& d) {
                     speed = TextOf(d.GetDlgItem(IDC_SPEED));
                     const RECT r = WindowRect(d.m_hWnd);
                     started = {r.right - r.left, r.bottom - r.top};
                     fitChecked = MenuChecked(d, ID_VIEW_FIT);
                     repeatChecked = MenuChecked(d, ID_PLAY_REPEAT);
                     transparentChecked = MenuChecked(d, ID_VIEW_TRANSPARENT);
                     fitButton = ButtonState(d.viewBar, ID_VIEW_FIT);
                     ::SetWindowPos(d.m_hWnd, nullptr, 0, 0, 720, 530, SWP_NOMOVE | SWP_NOZORDER);
                 }),
                 // A maximised window stores its restored size.
                 Do([](CMainDialog& d) { d.ShowWindow(SW_MAXIMIZE); })});
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(L"250", speed);
    EXPECT_EQ(700, started.cx);
    EXPECT_EQ(500, started.cy);
    EXPECT_TRUE(fitChecked);
    EXPECT_FALSE(repeatChecked);
    EXPECT_TRUE(transparentChecked);
    EXPECT_EQ(StripState::kChecked | StripState::kDisabled, fitButton);

    EXPECT_EQ(250, setting.ReadInt(L"Speed", -1));
    EXPECT_EQ(1, setting.ReadInt(L"Fit", -1));
    EXPECT_EQ(0, setting.ReadInt(L"Repeat", -1));
    EXPECT_EQ(1, setting.ReadInt(L"Transparent", -1));
    // The path that no longer exists was dropped, and is stored empty.
    EXPECT_EQ(L"", setting.ReadString(L"Path", L"not written"));
    EXPECT_EQ(720, window.ReadInt(L"Width", -1));
    EXPECT_EQ(530, window.ReadInt(L"Height", -1));
}

TEST_F(MainWindowTest, StartSizeIsTheSmallestAndThePreviewGrowsWithTheWindow) {
    CMainDialog dialog;
    MINMAXINFO asked{};
    SIZE templateWindow{};
    SIZE shrunk{};
    SIZE previewBefore{};
    SIZE previewAfter{};
    POINT gripFromCorner{};
    POINT gripFromCornerAfter{};
    auto gripDistance = [](CMainDialog& d) {
        const RECT grip = WindowRect(d.GetDlgItem(IDC_SIZE_GRIP));
        POINT corner{0, 0};
        const SIZE client = ClientSize(d.m_hWnd);
        ::ClientToScreen(d.m_hWnd, &corner);
        return POINT{corner.x + client.cx - grip.left, corner.y + client.cy - grip.top};
    };
    Run(dialog, {Do([&](CMainDialog& d) {
            // The template's client size with the frame, caption and menu around it.
            RECT r{0, 0, 141, 153};
            ::MapDialogRect(d.m_hWnd, &r);
            ::AdjustWindowRectEx(&r, DWORD(d.GetStyle()), TRUE,
                                 DWORD(::GetWindowLongW(d.m_hWnd, GWL_EXSTYLE)));
            templateWindow = {r.right - r.left, r.bottom - r.top};
            d.SendMessage(WM_GETMINMAXINFO, 0, LPARAM(&asked));
            ::SetWindowPos(d.m_hWnd, nullptr, 0, 0, 40, 30, SWP_NOMOVE | SWP_NOZORDER);
            const RECT now = WindowRect(d.m_hWnd);
            shrunk = {now.right - now.left, now.bottom - now.top};
            previewBefore = ClientSize(d.GetDlgItem(IDC_PREVIEW));
            gripFromCorner = gripDistance(d);
            ::SetWindowPos(d.m_hWnd, nullptr, 0, 0, shrunk.cx + 200, shrunk.cy + 100,
                           SWP_NOMOVE | SWP_NOZORDER);
            previewAfter = ClientSize(d.GetDlgItem(IDC_PREVIEW));
            gripFromCornerAfter = gripDistance(d);
        })});
    EXPECT_EQ(templateWindow.cx, dialog.minWidth);
    EXPECT_EQ(templateWindow.cy, dialog.minHeight);
    EXPECT_EQ(dialog.minWidth, asked.ptMinTrackSize.x);
    EXPECT_EQ(dialog.minHeight, asked.ptMinTrackSize.y);
    EXPECT_EQ(dialog.minWidth, shrunk.cx);
    EXPECT_EQ(dialog.minHeight, shrunk.cy);
    EXPECT_EQ(previewBefore.cx + 200, previewAfter.cx);
    EXPECT_EQ(previewBefore.cy + 100, previewAfter.cy);
    EXPECT_EQ(gripFromCorner.x, gripFromCornerAfter.x);
    EXPECT_EQ(gripFromCorner.y, gripFromCornerAfter.y);
}

TEST_F(MainWindowTest, EnterEscapeAndTheDialogButtonsNeverCloseIt) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {"Enter", WM_KEYDOWN, VK_RETURN},
        {"Escape", WM_KEYDOWN, VK_ESCAPE},
        {"IDOK", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},
        {"IDCANCEL", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)},
    };
    CMainDialog dialog;
    std::vector<Step> steps;
    std::vector<std::string> survived;
    for (const Case& c : cases) {
        steps.push_back(Do([c](CMainDialog& d) {
            // Keys go to the focused control, through the loop's dialog-key handling.
            HWND focus = ::GetFocus();
            ::PostMessageW(c.message == WM_KEYDOWN && focus ? focus : d.m_hWnd, c.message, c.wParam,
                           c.message == WM_KEYDOWN ? 1 : 0);
        }));
        steps.push_back(Do([&survived, c](CMainDialog& d) {
            if (d.m_hWnd != nullptr && ::IsWindowVisible(d.m_hWnd)) {
                survived.push_back(c.name);
            }
        }));
    }
    EXPECT_EQ(IDOK, Run(dialog, steps));
    EXPECT_EQ((std::vector<std::string>{"Enter", "Escape", "IDOK", "IDCANCEL"}), survived);
}

TEST_F(MainWindowTest, CloseAndExitEndItOnlyWithAValidSpeed) {
    struct Case {
        const char* name;
        const wchar_t* speed;
        UINT message;
        WPARAM wParam;
        INT_PTR result;  // kWatchdogResult: still open
        const wchar_t* box;
    };
    const Case cases[] = {
        {"close", L"100", WM_CLOSE, 0, IDOK, nullptr},
        {"system menu close", L"100", WM_SYSCOMMAND, SC_CLOSE, IDOK, nullptr},
        {"exit", L"100", WM_COMMAND, ID_APP_EXIT, IDOK, nullptr},
        {"close, speed no number", L"", WM_CLOSE, 0, kWatchdogResult, L"整数を入力してください。"},
        {"exit, speed out of range", L"0", WM_COMMAND, ID_APP_EXIT, kWatchdogResult,
         L"1 から 60000 までの整数を入力してください。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.boxes.clear();
        CMainDialog dialog;
        std::vector<Step> steps = {Do([c](CMainDialog& d) {
            ::SetWindowTextW(d.GetDlgItem(IDC_SPEED), c.speed);
            d.PostMessage(c.message, c.wParam);
        })};
        if (c.result == kWatchdogResult) {
            // Still open a moment later: the test ends it.
            steps.push_back(Do([](CMainDialog&) {}));
            steps.push_back(Do([](CMainDialog& d) { d.EndDialog(int(kWatchdogResult)); }));
        }
        EXPECT_EQ(c.result, Run(dialog, steps, false));
        if (c.box == nullptr) {
            EXPECT_EQ(0u, app.boxes.size());
        } else {
            ASSERT_EQ(1u, app.boxes.size());
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

TEST_F(MainWindowTest, AcceleratorCommandsActLikeMenuCommands) {
    CMainDialog dialog;
    int32_t fitAfterCommand = 0;
    bool menuAfterCommand = false;
    uint16_t buttonAfterCommand = 0;
    Run(dialog,
        {Do([](CMainDialog& d) {
             // What an accelerator sends: the command with notification code 1.
             d.PostMessage(WM_COMMAND, MAKEWPARAM(ID_VIEW_FIT, 1));
         }),
         Do([&](CMainDialog& d) {
             fitAfterCommand = d.fit;
             menuAfterCommand = MenuChecked(d, ID_VIEW_FIT);
             buttonAfterCommand = ButtonState(d.viewBar, ID_VIEW_FIT);
             // A real Ctrl+T with the window in front goes through the accelerator table; the
             // system sends nothing for the key of a grayed item, so a movie is shown first.
             FillMovie(d.document, 3);
             d.documentState = CMainDialog::kLoaded;
             d.ShowLoadedMovie();
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
    EXPECT_EQ(1, fitAfterCommand);
    EXPECT_TRUE(menuAfterCommand);
    EXPECT_EQ(StripState::kChecked, buttonAfterCommand & StripState::kCheckMask);
    EXPECT_EQ(1, dialog.preview.fit);
    EXPECT_EQ(1, dialog.preview.transparent);
}

// The open dialog of this thread once it shows: a visible dialog with the file dialog's Help
// button.
HWND FindFileDialog() {
    for (HWND w = ::FindWindowW(L"#32770", nullptr); w != nullptr;
         w = ::FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        if (::GetWindowThreadProcessId(w, nullptr) == ::GetCurrentThreadId() &&
            ::IsWindowVisible(w) && ::GetDlgItem(w, pshHelp) != nullptr) {
            return w;
        }
    }
    return nullptr;
}

TEST_F(MainWindowTest, OpenCommandShowsTheOpenDialogWithItsTitleFilterAndHelp) {
    CMainDialog dialog;
    std::wstring title;
    std::wstring firstType;
    bool helpShown = false;
    HWND owner = nullptr;
    Run(dialog, {Do([](CMainDialog& d) { d.PostMessage(WM_COMMAND, ID_FILE_OPEN); }),
                 [&](CMainDialog& d) {
                     HWND open = FindFileDialog();
                     if (open == nullptr) {
                         return false;
                     }
                     title = TextOf(open);
                     wchar_t type[128] = L"";
                     ::SendDlgItemMessageW(open, cmb1, CB_GETLBTEXT, 0, LPARAM(type));
                     firstType = type;
                     helpShown = ::IsWindowVisible(::GetDlgItem(open, pshHelp)) != FALSE;
                     owner = ::GetWindow(open, GW_OWNER);
                     ::SendMessageW(open, WM_COMMAND, MAKEWPARAM(pshHelp, BN_CLICKED),
                                    LPARAM(::GetDlgItem(open, pshHelp)));
                     ::PostMessageW(open, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                     EXPECT_EQ(d.m_hWnd, owner);
                     return true;
                 },
                 [](CMainDialog&) { return FindFileDialog() == nullptr; }});
    EXPECT_EQ(L"画像の読み込み", title);
    EXPECT_EQ(L"画像ファイル(*.bmp;*.avi)", firstType);
    EXPECT_TRUE(helpShown);
    ASSERT_LE(1u, app.helpCalls.size());
    EXPECT_EQ(534u, app.helpCalls[0].first);
    EXPECT_EQ(UINT(HELP_CONTEXT), app.helpCalls[0].second);
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
