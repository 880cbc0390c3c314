// The main window under real messages: help, settings, sizes, keys that must not close it and
// command states.
#include "app/main_dialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "app/main_commands.h"
#include "app/main_window_fixture.h"

namespace kx::test {
namespace {

const auto SizeOf = [](const RECT& r) { return SIZE{r.right - r.left, r.bottom - r.top}; };
const auto SizeText = [](SIZE s) { return std::to_wstring(s.cx) + L"x" + std::to_wstring(s.cy); };

SIZE WindowSize(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return SizeOf(r);
}

void Resize(HWND window, int width, int height) {
    ::SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

bool MenuIs(const CMainDialog& d, int id, UINT flag) {
    return (::GetMenuState(::GetMenu(d.m_hWnd), UINT(id), MF_BYCOMMAND) & flag) != 0;
}

TEST(MainWindowHelp, MapsMenuItemsAndControlsToTopics) {
    constexpr int kMenu = HELPINFO_MENUITEM;
    constexpr int kWindow = HELPINFO_WINDOW;
    constexpr UINT kPopup = HELP_CONTEXTPOPUP;
    struct Case {
        int contextType, id;
        DWORD ownContext;
        HelpCall expected;
    };
    const Case cases[] = {
        {kMenu, ID_FILE_OPEN, 0, {true, 516, kPopup}},
        {kMenu, ID_APP_ABOUT, 0, {true, 533, kPopup}},
        {kWindow, IDC_PREVIEW, 0, {true, 514, kPopup}},
        {kWindow, IDC_SPEED_SPIN, 0, {true, 525, kPopup}},
        {kWindow, IDC_VIEW_BAR, 0, {true, 529, kPopup}},
        {kWindow, IDC_LOGO, 0, {true, 2, kPopup}},
        {kWindow, IDC_FRAME_NUMBER_LABEL, 0, {true, 524, kPopup}},
        // A popup menu's title or any other item: the general topic.
        {kMenu, 0, 0, {true, 513, HELP_CONTEXT}},
        {kMenu, IDC_PREVIEW, 0, {true, 513, HELP_CONTEXT}},
        // The lower strip gives help for its buttons itself.
        {kWindow, IDC_PLAY_BAR, 518, {false, 0, 0}},
        // Any other control: its own context, or the general topic when it has none.
        {kWindow, 4242, 777, {true, 777, kPopup}},
        {kWindow, 4242, 0, {true, 513, HELP_CONTEXT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.contextType << " id " << c.id);
        const HelpCall got = MainWindowHelp(c.contextType, c.id, c.ownContext);
        EXPECT_EQ(std::tuple(c.expected.call, c.expected.context, c.expected.command),
                  std::tuple(got.call, got.context, got.command));
    }
}

// The command ids of a menu and its submenus.
void CommandsOf(HMENU menu, std::vector<int>& ids) {
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        if (HMENU sub = ::GetSubMenu(menu, i)) {
            CommandsOf(sub, ids);
        } else if (const UINT id = ::GetMenuItemID(menu, i); id != 0 && id != UINT(-1)) {
            ids.push_back(static_cast<int>(id));
        }
    }
}

TEST(MainCommands, EveryMenuItemAndButtonHasARowAndEveryRowIsUsed) {
    HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    ASSERT_NE(nullptr, menu);
    std::vector<int> used;
    CommandsOf(menu, used);
    ::DestroyMenu(menu);
    ASSERT_LE(10u, used.size());
    // A menu item without a row would get the general help topic and never be grayed.
    for (const int id : used) {
        EXPECT_NE(nullptr, FindMainCommand(id)) << "menu item " << id;
    }
    using Strip = std::span<const StripButtonDef>;
    for (const Strip strip : {Strip(kViewBarButtons), Strip(kPlayBarButtons)}) {
        for (const StripButtonDef& button : strip) {
            used.push_back(button.id);
        }
    }
    for (const MainCommand& command : kMainCommands) {
        EXPECT_NE(used.end(), std::find(used.begin(), used.end(), command.id))
            << "command " << command.id << " is neither in the menu nor on a strip";
    }
}

// The settings as stored, in one line.
std::wstring Stored() {
    CRegistrySettings setting = TestSettings(L"Setting");
    CRegistrySettings window = TestSettings(L"Window");
    std::wstring text;
    for (const wchar_t* name : {L"Speed", L"Fit", L"Repeat", L"Transparent"}) {
        text += std::wstring(name) + L"=" + std::to_wstring(setting.ReadInt(name, -1)) + L" ";
    }
    return text + L"Path=" + setting.ReadString(L"Path", L"none") + L" " +
           SizeText({window.ReadInt(L"Width", -1), window.ReadInt(L"Height", -1)});
}

TEST_F(MainWindowTest, SettingsAreReadAtStartAndWrittenAtClose) {
    // A start: what the window shows of the settings; then it is resized (and maximised, which
    // stores the restored size) and closed.
    auto start = [this](int width, int height, bool maximise) {
        std::wstring shown;
        CMainDialog dialog;
        EXPECT_EQ(IDOK, Run(dialog, {Do([&](CMainDialog& d) {
                                shown = TextOf(d.GetDlgItem(IDC_SPEED));
                                for (int id : {ID_VIEW_FIT, ID_PLAY_REPEAT, ID_VIEW_TRANSPARENT}) {
                                    shown += MenuIs(d, id, MF_CHECKED) ? L" on" : L" off";
                                }
                                shown += L" " + SizeText(WindowSize(d.m_hWnd));
                                Resize(d.m_hWnd, width, height);
                                d.ShowWindow(maximise ? SW_MAXIMIZE : SW_SHOW);
                            })}));
        return shown;
    };
    // Nothing stored: the system's default size.
    RECT system{};
    ASSERT_TRUE(DefaultWindowRect(CW_USEDEFAULT, 0, &system));
    EXPECT_EQ(L"100 off on off " + SizeText(SizeOf(system)), start(600, 450, false));
    EXPECT_EQ(L"Speed=100 Fit=0 Repeat=1 Transparent=0 Path= 600x450", Stored());
    // Stored choices, and a stored path that no longer exists.
    CRegistrySettings setting = TestSettings(L"Setting");
    for (auto [name, value] :
         {std::pair{L"Speed", 250}, {L"Fit", 1}, {L"Repeat", 0}, {L"Transparent", 1}}) {
        setting.WriteInt(name, value);
    }
    setting.WriteString(L"Path", L"C:\\no such folder\\gone.bmp");
    EXPECT_EQ(L"250 on off on 600x450", start(720, 530, true));
    EXPECT_EQ(L"Speed=250 Fit=1 Repeat=0 Transparent=1 Path= 720x530", Stored());
}

TEST_F(MainWindowTest, StartSizeIsTheSmallestAndThePreviewGrowsWithTheWindow) {
    // Shrunk to 40 x 30 it keeps the template's client size with the frame, caption and menu
    // around it; 200 x 100 more widen the preview as much.
    CMainDialog dialog;
    std::wstring expected, seen;
    Run(dialog, {Do([&](CMainDialog& d) {
            RECT r{0, 0, 141, 153};
            ::MapDialogRect(d.m_hWnd, &r);
            ::AdjustWindowRectEx(&r, DWORD(d.GetStyle()), TRUE,
                                 DWORD(::GetWindowLongW(d.m_hWnd, GWL_EXSTYLE)));
            Resize(d.m_hWnd, 40, 30);
            const SIZE shrunk = WindowSize(d.m_hWnd),
                       preview = WindowSize(d.GetDlgItem(IDC_PREVIEW));
            expected = SizeText(SizeOf(r)) + L" " + SizeText({preview.cx + 200, preview.cy + 100});
            Resize(d.m_hWnd, shrunk.cx + 200, shrunk.cy + 100);
            seen = SizeText(shrunk) + L" " + SizeText(WindowSize(d.GetDlgItem(IDC_PREVIEW)));
        })});
    EXPECT_EQ(expected, seen);
}

TEST_F(MainWindowTest, OnlyCloseAndExitEndItAndOnlyWithAValidSpeed) {
    struct Case {
        const char* name;
        const wchar_t* speed;
        UINT message;
        WPARAM wParam;
        bool closes;
        std::wstring box;  // the message shown, empty for none
    };
    const Case cases[] = {
        // Keys go to the focused control, through the loop's dialog-key handling.
        {"Enter", L"100", WM_KEYDOWN, VK_RETURN, false, L""},
        {"Escape", L"100", WM_KEYDOWN, VK_ESCAPE, false, L""},
        {"close", L"100", WM_CLOSE, 0, true, L""},
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
            const bool key = c.message == WM_KEYDOWN;
            ::PostMessageW(key && ::GetFocus() ? ::GetFocus() : d.m_hWnd, c.message, c.wParam,
                           key ? 1 : 0);
        })};
        if (!c.closes) {
            // Still open a moment later: the test ends it.
            steps.push_back(Do([](CMainDialog&) {}));
            steps.push_back(Do([](CMainDialog& d) { d.EndDialog(IDRETRY); }));
        }
        EXPECT_EQ(c.closes ? IDOK : IDRETRY, Run(dialog, steps, false));
        EXPECT_EQ(c.box, OnlyMessage(app).first);
    }
}

// The document state; per command M for an enabled menu item and B for an enabled strip button;
// E per enabled slider, speed field and spin; the upper strip's name; the frames and the slider.
std::wstring MovieView(CMainDialog& d) {
    std::wstring text = std::to_wstring(d.documentState) + L" ";
    for (int id : {ID_FILE_SAVE_AS, ID_FIRST_FRAME, ID_PREV_FRAME, ID_PLAY_PAUSE, ID_NEXT_FRAME,
                   ID_LAST_FRAME, ID_VIEW_FIT, ID_PLAY_REPEAT, ID_VIEW_TRANSPARENT, ID_FILE_OPEN,
                   ID_APP_EXIT}) {
        const bool upper = id == ID_VIEW_FIT || id == ID_PLAY_REPEAT || id == ID_VIEW_TRANSPARENT;
        const CButtonStrip& strip = upper ? d.viewBar : d.playBar;
        const int32_t i = strip.FindById(id, 0);
        text += MenuIs(d, id, MF_GRAYED) ? L"-" : L"M";
        text += i >= 0 && (strip.Buttons()[size_t(i)].state & StripState::kDisabled) == 0 ? L"B "
                                                                                          : L"- ";
    }
    for (int id : {IDC_FRAME_SLIDER, IDC_SPEED, IDC_SPEED_SPIN}) {
        text += ::IsWindowEnabled(d.GetDlgItem(id)) ? L"E" : L"-";
    }
    text += L" [" + TextOf(d.viewBar.m_hWnd) + L"] " + std::to_wstring(d.preview.frameCount);
    if (d.preview.frameCount != 0) {
        text += L" " + std::to_wstring(d.slider.SendMessage(TBM_GETRANGEMIN)) + L"-" +
                std::to_wstring(d.slider.SendMessage(TBM_GETRANGEMAX)) + L" at " +
                std::to_wstring(d.slider.GetPos()) + L" No. " +
                TextOf(d.GetDlgItem(IDC_FRAME_NUMBER));
    }
    return text;
}

// Ctrl+T as a person types it, with the window in front.
void PressCtrlT(CMainDialog& d) {
    ::SetForegroundWindow(d.m_hWnd);
    ::SetFocus(d.GetDlgItem(IDC_FRAME_NUMBER));
    INPUT keys[4] = {};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = i == 0 || i == 3 ? VK_CONTROL : 'T';
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    ::SendInput(4, keys, sizeof keys[0]);
}

// The accelerator key acts as the menu command, and does nothing while the command is grayed: had
// the first Ctrl+T toggled the view, the second would toggle it back.
TEST_F(MainWindowTest, MovieCommandsAreAvailableExactlyWhileAMovieIsShown) {
    std::vector<std::wstring> seen;
    auto seeAndPressCtrlT = [&](CMainDialog& d) {
        seen.push_back(MovieView(d));
        PressCtrlT(d);
    };
    CMainDialog dialog;
    EXPECT_EQ(IDOK, Run(dialog,
                        {Do(seeAndPressCtrlT), Do([&](CMainDialog& d) {
                             d.path = L"C:\\movies\\clip.anim.bmp";
                             ShowMovie(d, 5);
                             seeAndPressCtrlT(d);
                         }),
                         [](CMainDialog& d) { return d.transparent == 1; }, Do([&](CMainDialog& d) {
                             EXPECT_EQ(1, d.preview.transparent);
                             d.documentState = CMainDialog::kLoading;
                             d.DiscardMovie();
                             seen.push_back(MovieView(d));
                         })}));
    const std::wstring none = L"-1 -- -- -- -- -- -- -- -- -- MB M- --- [] 0";
    EXPECT_EQ(
        (std::vector<std::wstring>{
            none, L"1 MB MB MB MB MB MB MB MB MB MB M- EEE [clip.anim] 5 1-5 at 1 No. 1", none}),
        seen);
}

}  // namespace
}  // namespace kx::test
