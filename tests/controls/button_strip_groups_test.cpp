// A tool strip with radio groups, a three-state button and two entries that share a command id:
// real clicks step their check states and send the commands, and the owner's changes by id and by
// entry index reach exactly the entries they name; what the cells then show is read off the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/button_strip.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "resources/resource.h"

namespace kx {
namespace {

using namespace StripState;

constexpr int kStripId = 300;
// Radio group A (3 entries) | three-state, radio group B (2 entries), a check button that shares
// the three-state's id.
constexpr int kA1 = 401, kA2 = 402, kA3 = 403, kThree = 404, kB1 = 405, kB2 = 406;
constexpr uint16_t kRadioGroup = StripStyle::kRadio | StripStyle::kGroup;
constexpr StripButtonDef kButtons[] = {
    {kA1, 0, kRadioGroup, 0},
    {kA2, 0, StripStyle::kRadio, 0},
    {kA3, 0, StripStyle::kRadio, 0},
    {},
    {kThree, 0, StripStyle::kThreeState, 0},
    {kB1, 0, kRadioGroup, 0},
    {kB2, 0, StripStyle::kRadio, 0},
    {kThree, 0, StripStyle::kCheck, 0},
};

class Owner : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<int> commands;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && LOWORD(wParam) != kStripId) {
            commands.push_back(LOWORD(wParam));
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

class ButtonStripGroupsTest : public ::testing::Test {
protected:
    void SetUp() override {
        layout.Add(L"Button", kStripId, WS_TABSTOP, 0, 0, 150, 14);
        strip.SetBitmap(IDB_PLAY_BAR, RGB(0, 255, 255), RGB(128, 0, 128));
        strip.SetButtons(kButtons);
        ASSERT_TRUE(owner.CreateIndirect(layout.Get()));
        ::SetWindowPos(owner.m_hWnd, HWND_TOP, 40, 40, 320, 60, SWP_SHOWWINDOW);
        ::SetWindowPos(owner.GetDlgItem(kStripId), nullptr, 0, 0, 300, 26, SWP_NOZORDER);
        ASSERT_TRUE(strip.SubclassDlgItem(kStripId, &owner));
        ::SetForegroundWindow(owner.m_hWnd);
        Pump();
    }
    void TearDown() override { owner.DestroyWindow(); }

    static void Pump() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    // The check bits of every entry, "-" for the separator: "1" checked, "2" indeterminate.
    std::string Checks() const {
        std::string text;
        for (const StripButton& entry : strip.Buttons()) {
            text += entry.IsSeparator() ? '-' : char('0' + (entry.state & kCheckMask));
        }
        return text;
    }
    // The middle of an entry's cell on the screen.
    POINT CellCentre(int index) const {
        const StripGeometry& g = strip.Geometry();
        POINT at{strip.Buttons()[size_t(index)].x + g.cellSize / 2, g.stripTop + g.cellSize / 2};
        ::ClientToScreen(strip.m_hWnd, &at);
        return at;
    }
    // A left click as the user makes it, then the messages it brings until the strip has sent
    // its command (or a second has passed).
    void Click(int index) {
        const POINT at = CellCentre(index);
        ::SetCursorPos(at.x, at.y);
        INPUT clicks[2]{};
        clicks[0].type = clicks[1].type = INPUT_MOUSE;
        clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        const size_t before = owner.commands.size();
        ::SendInput(2, clicks, sizeof clicks[0]);
        const DWORD deadline = ::GetTickCount() + 1000;
        while (owner.commands.size() == before && ::GetTickCount() < deadline) {
            Pump();
            ::Sleep(10);
        }
        Pump();
    }
    // A pixel of the screen inside an entry's cell, at (dx, dy) from its top left corner.
    COLORREF ScreenPixel(int index, int dx, int dy) const {
        const StripGeometry& g = strip.Geometry();
        POINT at{strip.Buttons()[size_t(index)].x + dx, g.stripTop + dy};
        ::ClientToScreen(strip.m_hWnd, &at);
        HDC screen = ::GetDC(nullptr);
        const COLORREF pixel = ::GetPixel(screen, at.x, at.y);
        ::ReleaseDC(nullptr, screen);
        return pixel;
    }

    test::DialogTemplate layout{WS_POPUP | WS_VISIBLE, 200, 40, L""};
    Owner owner{static_cast<const DLGTEMPLATE*>(nullptr)};
    CButtonStrip strip;
};

TEST_F(ButtonStripGroupsTest, ClicksCheckRadioButtonsInTheirGroupAndStepTheThreeStateButton) {
    struct Step {
        int click;
        int command;  // a radio button answers with its group's first id
        const char* checks;
    };
    const Step steps[] = {
        {1, kA1, "010-0000"},    {2, kA1, "001-0000"},    {2, kA1, "001-0000"},
        {6, kB1, "001-0010"},    {0, kA1, "100-0010"},    {4, kThree, "100-1010"},
        {4, kThree, "100-2010"}, {4, kThree, "100-0010"}, {5, kB1, "100-0100"},
    };
    ASSERT_EQ("000-0000", Checks());
    for (const Step& s : steps) {
        SCOPED_TRACE("click on entry " + std::to_string(s.click));
        owner.commands.clear();
        Click(s.click);
        EXPECT_EQ(std::vector<int>{s.command}, owner.commands);
        EXPECT_EQ(s.checks, Checks());
    }
}

TEST_F(ButtonStripGroupsTest, ChangesByIdReachEveryEntryWithItAndByIndexOnlyThatEntry) {
    constexpr uint32_t kIndex = CButtonStrip::kByIndex;
    struct Change {
        const char* what;
        bool disable;  // SetButtonDisabled, else SetButtonCheck
        int32_t key;
        uint32_t value;
        const char* checks;
        const char* disabled;  // "1" for a disabled entry
    };
    const Change changes[] = {
        {"check the shared id", false, kThree, 1, "000-1001", "00000000"},
        {"uncheck entry 7 only", false, 7, kIndex | 0, "000-1000", "00000000"},
        {"indeterminate by id", false, kThree, 2, "000-2002", "00000000"},
        {"radio entry 2 by index", false, 2, kIndex | 1, "001-2002", "00000000"},
        {"radio indeterminate is checked", false, 1, kIndex | 2, "010-2002", "00000000"},
        {"radio by id unchecks its group", false, kA1, 1, "100-2002", "00000000"},
        {"disable entry 7 only", true, 7, kIndex | kDisabled, "100-2002", "00000001"},
        {"disable the shared id", true, kThree, kDisabled, "100-2002", "00001001"},
        {"enable entry 4 only", true, 4, kIndex | 0, "100-2002", "00000001"},
        {"the separator is no entry", true, 3, kIndex | kDisabled, "100-2002", "00000001"},
        {"past the last entry", false, 8, kIndex | 1, "100-2002", "00000001"},
        {"an id no entry has", false, 999, 1, "100-2002", "00000001"},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        if (c.disable) {
            strip.SetButtonDisabled(c.key, c.value);
        } else {
            strip.SetButtonCheck(c.key, c.value);
        }
        EXPECT_EQ(c.checks, Checks());
        std::string disabled;
        for (const StripButton& entry : strip.Buttons()) {
            disabled += (entry.state & kDisabled) ? '1' : '0';
        }
        EXPECT_EQ(c.disabled, disabled);
    }
    EXPECT_TRUE(owner.commands.empty()) << "changes by the owner send no command";
}

// An indeterminate button shows its picture flat in shadow, sunken; a checked one its picture in
// the glyph colour; the cells are read off the screen after real clicks painted them.
TEST_F(ButtonStripGroupsTest, TheScreenShowsCheckedAndIndeterminateCells) {
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    const int cell = strip.Geometry().cellSize;
    auto countIn = [&](int index, COLORREF colour) {
        int n = 0;
        for (int y = 3; y < cell - 3; ++y) {
            for (int x = 3; x < cell - 3; ++x) {
                n += ScreenPixel(index, x, y) == colour ? 1 : 0;
            }
        }
        return n;
    };
    Click(4);
    ::SetCursorPos(0, 0);
    Pump();
    ::UpdateWindow(strip.m_hWnd);
    EXPECT_LT(10, countIn(4, text)) << "checked: the picture's glyph in the text colour";
    Click(4);
    ::SetCursorPos(0, 0);
    Pump();
    ::UpdateWindow(strip.m_hWnd);
    ASSERT_EQ("000-2000", Checks());
    EXPECT_EQ(0, countIn(4, text)) << "indeterminate: no glyph in the text colour";
    EXPECT_LT(10, countIn(4, shadow)) << "indeterminate: the picture flat in shadow";
    // Sunken: shadow at the top left corner, highlight at the bottom right.
    EXPECT_EQ(shadow, ScreenPixel(4, 0, 0));
    EXPECT_EQ(light, ScreenPixel(4, cell - 1, cell - 1));
}

}  // namespace
}  // namespace kx
