// The tool strips of the main window on real button windows: mouse and key sequences and the
// commands they send, the chevron's menu, help, tooltips, and what the cells look like.
#include "controls/button_strip.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <tuple>
#include <vector>

#include "app/main_commands.h"
#include "framework/canvas.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "framework/real_input.h"
#include "framework/recording_app.h"
#include "resources/resource.h"

namespace kx {
namespace {

using namespace StripState;

// A strip whose chevron menu is answered by the test: it records the items and chooses one.
class TestStrip : public CButtonStrip {
public:
    std::vector<std::wstring> items;  // "-" for a separator; checked and disabled items marked
    UINT choice = 0;

protected:
    UINT TrackChevronMenu(HMENU menu, UINT, POINT, const TPMPARAMS&) override {
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            wchar_t text[256] = {};
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 256;
            ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
            items.push_back(info.fType == MFT_SEPARATOR
                                ? L"-"
                                : std::wstring(text) + (info.fState & MFS_CHECKED ? L" [x]" : L"") +
                                      (info.fState & MFS_DISABLED ? L" [off]" : L""));
        }
        return choice;
    }
};

// The main window in small: it records the commands it gets, hands help to the application, and
// counts the requests for the context-help mode.
class Owner : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<std::pair<int, int>> commands;  // id, check bits of its entry at that moment
    int presses = 0;
    int contextHelpModes = 0;
    CButtonStrip* strip = nullptr;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        const int id = LOWORD(wParam);
        if (msg == WM_COMMAND && (id == IDC_PLAY_BAR || id == IDC_VIEW_BAR)) {
            ++presses;
        } else if (msg == WM_COMMAND) {
            commands.emplace_back(
                id, strip->Buttons()[size_t(strip->FindById(id, 0))].state & kCheckMask);
        } else if (msg == WM_HELP) {
            AfxGetApp()->WinHelp(reinterpret_cast<HELPINFO*>(lParam)->dwContextId,
                                 HELP_CONTEXTPOPUP);
            return TRUE;
        } else if (msg == WM_SYSCOMMAND && wParam == SC_CONTEXTHELP) {
            ++contextHelpModes;
        } else {
            return CDialog::WindowProc(msg, wParam, lParam);
        }
        return 0;
    }
};

class ButtonStripTest : public ::testing::Test {
protected:
    void SetUp() override {
        layout.Add(L"Button", IDC_VIEW_BAR, WS_TABSTOP | WS_GROUP | BS_BOTTOM, 0, 0, 100, 14);
        layout.Add(L"Button", IDC_PLAY_BAR, WS_TABSTOP | BS_FLAT | BS_VCENTER | BS_LEFT, 0, 20, 100,
                   14);
        // As the main window: pictures and buttons before the windows exist.
        view.SetBitmap(IDB_VIEW_BAR, RGB(192, 192, 192), RGB(0, 0, 128));
        view.SetButtons(kViewBarButtons);
        play.SetBitmap(IDB_PLAY_BAR, RGB(0, 255, 255), RGB(128, 0, 128));
        play.SetButtons(kPlayBarButtons);
        ASSERT_TRUE(owner.CreateIndirect(layout.Get()));
        ::SetWindowPos(owner.GetDlgItem(IDC_VIEW_BAR), nullptr, 0, 0, 240, 26, SWP_NOZORDER);
        ::SetWindowPos(owner.GetDlgItem(IDC_PLAY_BAR), nullptr, 0, 40, 240, 24, SWP_NOZORDER);
        ASSERT_TRUE(view.SubclassDlgItem(IDC_VIEW_BAR, &owner));
        ASSERT_TRUE(play.SubclassDlgItem(IDC_PLAY_BAR, &owner));
        owner.strip = &play;
        for (const StripButton& entry : play.Buttons()) {
            play.SetButtonDisabled(entry.id, 0);
        }
        ::SetForegroundWindow(owner.m_hWnd);
        ::SetActiveWindow(owner.m_hWnd);
    }
    void TearDown() override { owner.DestroyWindow(); }

    // The middle of an entry's cell, or of the chevron.
    POINT Centre(int32_t index) const {
        const StripGeometry& g = play.Geometry();
        const int32_t x = index == kChevronIndex ? g.chevronX + g.chevronWidth / 2
                                                 : play.Buttons()[size_t(index)].x + 11;
        return POINT{x, g.stripTop + g.cellSize / 2};
    }
    // A mouse message at a client point, with the pointer there, as the system sends it.
    void Mouse(UINT msg, POINT at) {
        POINT screen = at;
        ::ClientToScreen(play.m_hWnd, &screen);
        ::SetCursorPos(screen.x, screen.y);
        const WPARAM keys = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK ? MK_LBUTTON : 0;
        play.SendMessage(msg, keys, MAKELPARAM(at.x, at.y));
    }
    // The entry drawn hot, -1 for none.
    int32_t HotEntry() const {
        const auto entries = play.Buttons();
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].state & kHot) {
                return static_cast<int32_t>(i);
            }
        }
        return -1;
    }
    // The top left pixel of the chevron as the strip paints it: shadow while it is pressed.
    COLORREF ChevronCorner() {
        test::Canvas canvas(240, 24);
        play.Draw(canvas.Dc());
        return canvas.At(play.Geometry().chevronX, play.Geometry().stripTop);
    }
    // The tooltip window that holds the tools of a strip.
    static HWND ToolTipOf(HWND strip) {
        struct Search {
            HWND strip;
            HWND found;
        } search{strip, nullptr};
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND window, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                wchar_t name[64] = {};
                ::GetClassNameW(window, name, 64);
                if (std::wstring(name) != TOOLTIPS_CLASSW) {
                    return TRUE;
                }
                TTTOOLINFOW tool{};
                tool.cbSize = sizeof tool;
                tool.hwnd = s->strip;
                tool.uId = 1;
                if (::SendMessageW(window, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    static void Pump() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&msg);
        }
    }

    test::RecordingApp app;
    test::DialogTemplate layout{WS_POPUP | WS_VISIBLE, 200, 60, L""};
    Owner owner{static_cast<const DLGTEMPLATE*>(nullptr)};
    CButtonStrip view;
    TestStrip play;
};

TEST_F(ButtonStripTest, MouseSequencesSendOneCommandPerClick) {
    play.SetButtonDisabled(ID_FILE_SAVE_AS, kDisabled);
    // Steps: m move, d press, c double click, u release; at entry 0-9 or x above the strip.
    // Entry 1 is disabled; 6 is the check button, toggled before its command.
    struct Case {
        const char* name;
        const char* script;
        std::vector<std::pair<int, int>> commands;
        int presses;
    };
    const Case cases[] = {
        {"click", "m0 d0 u0", {{ID_FILE_OPEN, 0}}, 1},
        {"drag off", "m0 d0 mx ux", {}, 1},
        {"drag off and back", "d0 mx m0 u0", {{ID_FILE_OPEN, 0}}, 1},
        {"disabled button", "m1 d1 u1", {}, 0},
        {"double click", "d0 u0 c0 u0", {{ID_FILE_OPEN, 0}, {ID_FILE_OPEN, 0}}, 2},
        {"check button", "d6 u6 d6 u6", {{ID_PLAY_PAUSE, kChecked}, {ID_PLAY_PAUSE, 0}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        owner.commands.clear();
        owner.presses = 0;
        for (const char* step = c.script; step[0] != 0; step += step[2] == 0 ? 2 : 3) {
            const UINT msg = step[0] == 'm'   ? WM_MOUSEMOVE
                             : step[0] == 'd' ? WM_LBUTTONDOWN
                             : step[0] == 'c' ? WM_LBUTTONDBLCLK
                                              : WM_LBUTTONUP;
            const int where = step[1] - '0';
            Mouse(msg, step[1] == 'x' ? POINT{30, -20} : Centre(where));
        }
        EXPECT_EQ(c.commands, owner.commands);
        EXPECT_EQ(c.presses, owner.presses);
        EXPECT_EQ(0, play.Buttons()[0].state & kPressed);
        EXPECT_EQ(0, play.SendMessage(BM_GETSTATE) & BST_PUSHED) << "no press left over";
        // Off the strip, nothing stays hot and the capture is given back.
        Mouse(WM_MOUSEMOVE, POINT{30, -20});
        EXPECT_EQ(nullptr, ::GetCapture());
    }
}

TEST_F(ButtonStripTest, ArrowsMoveTheHotButtonAndSpaceClicksIt) {
    play.SetButtonDisabled(ID_PREV_FRAME, kDisabled);
    ::SetFocus(play.m_hWnd);
    // From 0: separators and the disabled previous frame (4) are skipped; no chevron, so it wraps.
    std::vector<int32_t> hot;
    for (const WPARAM key : {VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_LEFT}) {
        play.SendMessage(WM_KEYDOWN, key, 0);
        hot.push_back(HotEntry());
    }
    EXPECT_EQ((std::vector<int32_t>{1, 3, 6, 8, 9, 0, 9}), hot);
    play.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(BST_FOCUS | BST_PUSHED, play.SendMessage(BM_GETSTATE));
    EXPECT_TRUE(owner.commands.empty());
    play.SendMessage(WM_KEYUP, VK_SPACE, 0);
    play.SendMessage(WM_KEYUP, VK_SPACE, 0);  // a release without its press clicks nothing
    EXPECT_EQ((std::vector<std::pair<int, int>>{{ID_LAST_FRAME, 0}}), owner.commands);
}

TEST_F(ButtonStripTest, TheChevronMenuListsWhatDidNotFitAndItsChoiceIsAClick) {
    play.SetButtonCheck(ID_PLAY_PAUSE, 1);
    play.SetButtonDisabled(ID_NEXT_FRAME, kDisabled);
    ::SetWindowPos(play.m_hWnd, nullptr, 0, 0, 100, 24, SWP_NOMOVE | SWP_NOZORDER);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const std::vector<std::wstring> listed = {L"コマ戻し\tCtrl+Left",        L"-",
                                              L"再生/一時停止\tF5 [x]",      L"-",
                                              L"コマ送り\tCtrl+Right [off]", L"最後まで送る"};
    // Nothing chosen; a check button, toggled before its command.
    for (const UINT choice : {0, ID_PLAY_PAUSE}) {
        owner.commands.clear();
        play.items.clear();
        play.choice = choice;
        Mouse(WM_LBUTTONDOWN, Centre(kChevronIndex));
        EXPECT_EQ(shadow, ChevronCorner()) << "pressed: sunken";
        Mouse(WM_LBUTTONUP, Centre(kChevronIndex));
        EXPECT_EQ(listed, play.items);
        EXPECT_EQ((choice ? std::vector<std::pair<int, int>>{{choice, 0}}
                          : std::vector<std::pair<int, int>>{}),
                  owner.commands);
        EXPECT_NE(shadow, ChevronCorner()) << "released after the menu";
        Pump();
    }
}

TEST_F(ButtonStripTest, HelpGoesToTheApplicationWithTheButtonsHelpId) {
    ::SetWindowPos(play.m_hWnd, nullptr, 0, 0, 100, 24, SWP_NOMOVE | SWP_NOZORDER);
    struct Case {
        const char* name;
        int type;  // a click in context-help mode at the point, or F1 on an item of the menu
        POINT at;
        UINT choice;
        DWORD_PTR helped;  // 0: none
        int contextHelpModes;
    };
    const POINT chevron = Centre(kChevronIndex);
    const Case cases[] = {
        {"open button", HELPINFO_WINDOW, Centre(0), 0, 516, 0},
        {"chevron, a choice", HELPINFO_WINDOW, chevron, ID_PLAY_PAUSE, 518, 0},
        {"chevron, cancelled: context help again", HELPINFO_WINDOW, chevron, 0, 0, 1},
        {"F1 on the last frame in the menu", HELPINFO_MENUITEM, POINT{}, 0, 522, 0},
    };
    for (const Case& c : cases) {
        app.helpCalls.clear();
        owner.contextHelpModes = 0;
        play.choice = c.choice;
        const int id = c.type == HELPINFO_WINDOW ? IDC_PLAY_BAR : ID_LAST_FRAME;
        HELPINFO info{sizeof info, c.type, id, play.m_hWnd, 777, c.at};
        ::ClientToScreen(play.m_hWnd, &info.MousePos);
        play.SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(c.helped, app.helpCalls.empty() ? 0 : app.helpCalls[0].first) << c.name;
        EXPECT_GE(1u, app.helpCalls.size()) << c.name;
        EXPECT_EQ(c.contextHelpModes, owner.contextHelpModes) << c.name;
        Pump();
    }
}

TEST_F(ButtonStripTest, TooltipsShowTheTextWithTheAcceleratorInParentheses) {
    // Tool 1 is the open button, tool 3 a separator.
    for (const auto& [tool, result, text] :
         {std::tuple{1, TRUE, L"ファイルを開く (Ctrl+O)"}, std::tuple{3, FALSE, L"unchanged"}}) {
        NMTTDISPINFOW info{};
        info.hdr = {ToolTipOf(play.m_hWnd), UINT_PTR(tool), UINT(TTN_NEEDTEXTW)};
        std::wcscpy(info.szText, L"unchanged");
        EXPECT_EQ(result, play.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(std::wstring(text), std::wstring(info.szText)) << "tool " << tool;
    }
}

TEST_F(ButtonStripTest, CellsShowTheirStates) {
    play.SetButtonDisabled(ID_LAST_FRAME, kDisabled);
    play.SetButtonCheck(ID_PLAY_PAUSE, 1);
    play.SetButtonState(3, kHot, kHot);
    play.SetButtonState(4, kPressed, kPressed);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    test::Canvas canvas(240, 24);
    play.Draw(canvas.Dc());
    const int top = play.Geometry().stripTop;
    const int cell = play.Geometry().cellSize;
    auto x = [&](int entry) { return static_cast<int>(play.Buttons()[size_t(entry)].x); };
    // The glyph of the pictures is drawn in the text colour.
    auto glyph = [&](int entry) { return canvas.Where(x(entry) + 3, top + 3, 16, text); };
    EXPECT_FALSE(glyph(0).empty()) << "normal: the picture";
    // Top left and bottom right corners: normal flat, hot raised, pressed and checked sunken.
    std::vector<std::pair<COLORREF, COLORREF>> corners;
    for (int entry : {0, 3, 4, 6}) {
        corners.emplace_back(canvas.At(x(entry), top),
                             canvas.At(x(entry) + cell - 1, top + cell - 1));
    }
    EXPECT_EQ((std::vector<std::pair<COLORREF, COLORREF>>{
                  {face, face}, {light, shadow}, {shadow, light}, {shadow, light}}),
              corners);
    // Disabled: no glyph in the text colour, an embossed one in shadow over highlight.
    EXPECT_TRUE(glyph(9).empty());
    EXPECT_FALSE(canvas.Where(x(9) + 3, top + 3, 16, shadow).empty());
    EXPECT_FALSE(canvas.Where(x(9) + 4, top + 4, 16, light).empty());
    // Separator: an etched line in its middle.
    EXPECT_EQ(shadow, canvas.At(x(7) + 3, top + cell / 2));
    EXPECT_EQ(light, canvas.At(x(7) + 4, top + cell / 2));

    // The chevron of a narrow strip: a triangle in the text colour, 5, 3 and 1 pixels tall.
    ::SetWindowPos(play.m_hWnd, nullptr, 0, 0, 100, 24, SWP_NOMOVE | SWP_NOZORDER);
    play.Draw(canvas.Dc());
    std::vector<int> columns;
    for (int x0 = play.Geometry().chevronX + 3, k = 0; k < 4; ++k) {
        columns.push_back(8 - canvas.CountOther(x0 + k, top + 2, x0 + k + 1, top + 10, text));
    }
    EXPECT_EQ((std::vector<int>{5, 3, 1, 0}), columns);
}

TEST_F(ButtonStripTest, StartingStylesGiveTheFirstStates) {
    using namespace StripStyle;
    const StripButtonDef defs[] = {
        {ID_FILE_OPEN, IDS_TIP_OPEN, kStartsHidden, 516},
        {ID_FILE_SAVE_AS, IDS_TIP_SAVE_AS, kStartsDisabled, 517},
        {ID_PLAY_PAUSE, IDS_TIP_PLAY_PAUSE, kCheck | kStartsHidden | kStartsDisabled, 518},
        {ID_LAST_FRAME, IDS_TIP_LAST_FRAME, 0, 522},
    };
    ASSERT_TRUE(play.SetButtons(defs));
    std::vector<uint16_t> states;
    for (const StripButton& entry : play.Buttons()) {
        states.push_back(entry.state);
    }
    constexpr uint16_t kGone = StripState::kHidden;
    EXPECT_EQ((std::vector<uint16_t>{kGone, kDisabled, kGone | kDisabled, 0}), states);
    // Hidden buttons take no cell: the two others stand side by side.
    const auto entries = play.Buttons();
    EXPECT_EQ(kx::kHidden, entries[0].x);
    EXPECT_EQ(kx::kHidden, entries[2].x);
    EXPECT_EQ(entries[1].x + play.Geometry().cellSize, entries[3].x);
}

TEST_F(ButtonStripTest, F1OnTheFocusedStripAsksForHelpOnce) {
    // The pointer rests on a button, where the system's own F1 request would point too.
    POINT resting = Centre(3);
    ::ClientToScreen(play.m_hWnd, &resting);
    ::SetFocus(play.m_hWnd);
    test::MovePointer(resting);
    test::PumpFor(200, owner.m_hWnd);
    ASSERT_EQ(3, HotEntry());
    test::PressKeys({VK_F1});
    test::PumpFor(300, owner.m_hWnd);
    EXPECT_EQ((std::vector<std::pair<DWORD_PTR, UINT>>{
                  {DWORD_PTR(play.Buttons()[3].helpId), HELP_CONTEXTPOPUP}}),
              app.helpCalls);
}

TEST_F(ButtonStripTest, LosingTheFocusOrTheCaptureEndsAPressWithoutAClick) {
    INPUT space[2]{};
    space[0].type = space[1].type = INPUT_KEYBOARD;
    space[0].ki.wVk = space[1].ki.wVk = VK_SPACE;
    space[1].ki.dwFlags = KEYEVENTF_KEYUP;
    // Space held on the focused strip while the focus goes elsewhere, then released.
    ::SetFocus(play.m_hWnd);
    ::SendInput(1, &space[0], sizeof(INPUT));
    test::PumpFor(100, owner.m_hWnd);
    EXPECT_EQ(BST_FOCUS | BST_PUSHED, play.SendMessage(BM_GETSTATE));
    ::SetFocus(view.m_hWnd);
    EXPECT_EQ(0, play.SendMessage(BM_GETSTATE));
    EXPECT_EQ(0, play.Buttons()[0].state & kPressed);
    ::SendInput(1, &space[1], sizeof(INPUT));
    test::PumpFor(100, owner.m_hWnd);

    // A mouse press on the open button while another window takes the capture, then released.
    POINT open = Centre(0);
    ::ClientToScreen(play.m_hWnd, &open);
    test::MovePointer(open);
    test::LeftButton(true);
    test::PumpFor(100, owner.m_hWnd);
    EXPECT_EQ(kPressed, play.Buttons()[0].state & kPressed);
    ::SetCapture(owner.m_hWnd);
    EXPECT_EQ(0, play.SendMessage(BM_GETSTATE));
    EXPECT_EQ(0, play.Buttons()[0].state & kPressed);
    test::LeftButton(false);
    ::ReleaseCapture();
    test::PumpFor(100, owner.m_hWnd);
    EXPECT_TRUE(owner.commands.empty());
    // Hot tracking goes on at once.
    POINT next = Centre(3);
    ::ClientToScreen(play.m_hWnd, &next);
    test::MovePointer(next);
    test::PumpFor(200, owner.m_hWnd);
    EXPECT_EQ(3, HotEntry());
}

TEST_F(ButtonStripTest, ANewColourSchemeReachesTheStrips) {
    const int element = COLOR_BTNTEXT;
    const COLORREF old = ::GetSysColor(element);
    const COLORREF changed = RGB(200, 30, 160);
    // The system tells the top-level windows; the owner passes it on.
    ASSERT_TRUE(::SetSysColors(1, &element, &changed));
    test::Canvas canvas(240, 24);
    play.Draw(canvas.Dc());
    ::SetSysColors(1, &element, &old);
    const int top = play.Geometry().stripTop;
    EXPECT_FALSE(canvas.Where(play.Buttons()[0].x + 3, top + 3, 16, changed).empty())
        << "the picture's glyph keeps the old text colour";
}

// The system tells the controls of a dialog to hide their focus cues while it was opened with
// the mouse, and to show them once the keyboard is used.
TEST_F(ButtonStripTest, TheFocusCueFollowsWhatTheSystemSaysToShow) {
    view.SetWindowText(L"walker");
    // The dialog gave the strip the focus before it was subclassed.
    ::SetFocus(play.m_hWnd);
    ::SetFocus(view.m_hWnd);
    const StripGeometry& g = view.Geometry();
    // The left edge of the focus rectangle, beside the centred caption, on the screen.
    auto cueShown = [&] {
        test::PumpFor(100, owner.m_hWnd);
        POINT left{g.captionLeft + 1, g.stripTop + g.cellSize / 2};
        ::ClientToScreen(view.m_hWnd, &left);
        const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
        return test::ScreenPixel(left) != face ||
               test::ScreenPixel(POINT{left.x, left.y + 1}) != face;
    };
    for (const auto& [action, shown] : {std::pair{UIS_SET, false}, std::pair{UIS_CLEAR, true}}) {
        SCOPED_TRACE(action == UIS_SET ? "hidden" : "shown");
        ::SendMessageW(view.m_hWnd, WM_UPDATEUISTATE, MAKEWPARAM(action, UISF_HIDEFOCUS), 0);
        EXPECT_EQ(shown, cueShown());
        // A repaint of the whole strip shows the same.
        view.Invalidate(TRUE);
        EXPECT_EQ(shown, cueShown());
    }
}

TEST_F(ButtonStripTest, TheCaptionIsTheWindowTextKeptAsUtf16) {
    const std::wstring title = L"歩く人のアニメ";
    view.SetWindowText(title.c_str());
    EXPECT_EQ(title, view.GetWindowText());
    EXPECT_LT(0, view.Geometry().captionWidth);
    view.SetWindowText(std::wstring(300, L'x').c_str());
    EXPECT_EQ(std::wstring(255, L'x'), view.GetWindowText());
    view.SetWindowText(L"");
    EXPECT_EQ(0, view.Geometry().captionWidth) << "no caption while the text is empty";
}

}  // namespace
}  // namespace kx
