// The size grip on a real button window: which corner a press resizes from and its cursor; and
// that the system button (version 6, as the program's manifest asks) never paints over it.
#include "controls/size_grip.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "framework/canvas.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "resources/resource.h"

namespace kx {
namespace {

// Keeps the system commands it gets instead of running the system's sizing loop.
class Owner : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<std::pair<WPARAM, LPARAM>> sysCommands;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SYSCOMMAND) {
            sysCommands.emplace_back(wParam, lParam);
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

class SizeGripTest : public ::testing::Test {
protected:
    static constexpr int kSide = 24;

    SizeGripTest() : layout(WS_POPUP | WS_VISIBLE, 100, 60, L"") {
        layout.Add(L"Button", IDC_SIZE_GRIP, WS_GROUP | BS_RIGHT, 80, 40, 8, 9);
    }
    void SetUp() override {
        ASSERT_TRUE(owner.CreateIndirect(layout.Get()));
        ::SetWindowPos(owner.GetDlgItem(IDC_SIZE_GRIP), nullptr, 40, 30, kSide, kSide,
                       SWP_NOZORDER);
        ASSERT_TRUE(grip.SubclassDlgItem(IDC_SIZE_GRIP, &owner));
        Paint();
    }
    void TearDown() override { owner.DestroyWindow(); }

    void Paint() { ::RedrawWindow(grip.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    std::vector<COLORREF> Drawn() {
        test::Canvas canvas(kSide, kSide);
        grip.Draw(canvas.Dc());
        return canvas.Pixels(canvas.All());
    }
    std::vector<COLORREF> OnScreen() {
        HDC dc = ::GetDC(grip.m_hWnd);
        std::vector<COLORREF> pixels;
        for (int i = 0; i < kSide * kSide; ++i) {
            pixels.push_back(::GetPixel(dc, i % kSide, i / kSide));
        }
        ::ReleaseDC(grip.m_hWnd, dc);
        return pixels;
    }

    test::DialogTemplate layout;
    Owner owner{static_cast<const DLGTEMPLATE*>(nullptr)};
    CSizeGrip grip;
};

TEST_F(SizeGripTest, APressResizesFromTheGripsCornerWithItsCursor) {
    struct Case {
        const char* name;
        LONG style;
        bool paint;
        UINT press;
        WPARAM command;
        const wchar_t* cursor;
    };
    const Case cases[] = {
        {"lower right", BS_RIGHT, true, WM_LBUTTONDOWN, SC_SIZE + WMSZ_BOTTOMRIGHT, IDC_SIZENWSE},
        // Until the next paint the old direction stays in force.
        {"left, not painted yet", BS_LEFT, false, WM_LBUTTONDOWN, SC_SIZE + WMSZ_BOTTOMRIGHT,
         IDC_SIZENWSE},
        {"lower left, a double click", BS_LEFT, true, WM_LBUTTONDBLCLK, SC_SIZE + WMSZ_BOTTOMLEFT,
         IDC_SIZENESW},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        grip.SendMessage(BM_SETSTYLE, static_cast<WPARAM>(c.style), FALSE);
        if (c.paint) {
            Paint();
        }
        owner.sysCommands.clear();
        grip.SendMessage(c.press, MK_LBUTTON, MAKELPARAM(3, 4));
        POINT screen{3, 4};
        ::ClientToScreen(grip.m_hWnd, &screen);
        ASSERT_EQ(1u, owner.sysCommands.size());
        EXPECT_EQ(c.command, owner.sysCommands[0].first);
        EXPECT_EQ(MAKELPARAM(screen.x, screen.y), owner.sysCommands[0].second);
        EXPECT_EQ(TRUE, grip.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(grip.m_hWnd),
                                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(::LoadCursorW(nullptr, c.cursor), ::GetCursor());
        // The grip keeps no press of its own.
        EXPECT_EQ(nullptr, ::GetCapture());
    }
}

// Sits under a drawn control in the window's chain and notes what reaches the system button.
class Spy : public CButton {
public:
    std::vector<UINT> seen;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SETTEXT || msg == WM_ENABLE || msg == WM_SETFOCUS || msg == WM_KILLFOCUS) {
            seen.push_back(msg);
        }
        return CButton::WindowProc(msg, wParam, lParam);
    }
};

TEST_F(SizeGripTest, TheSystemButtonNeverPaintsOverTheDrawnFace) {
    HWND window = grip.UnsubclassWindow();
    Spy spy;
    ASSERT_TRUE(spy.SubclassWindow(window));
    ASSERT_TRUE(grip.SubclassWindow(window));
    struct Case {
        const char* name;
        void (*change)(CSizeGrip&);
    };
    const Case cases[] = {
        {"text", [](CSizeGrip& g) { g.SetWindowText(L"Grip"); }},
        {"disabled", [](CSizeGrip& g) { g.EnableWindow(FALSE); }},
        {"enabled", [](CSizeGrip& g) { g.EnableWindow(TRUE); }},
        {"focus", [](CSizeGrip& g) { ::SetFocus(g.m_hWnd); }},
        {"focus lost", [](CSizeGrip& g) { ::SetFocus(::GetParent(g.m_hWnd)); }},
    };
    ::SetForegroundWindow(owner.m_hWnd);
    const std::vector<COLORREF> drawn = Drawn();
    for (const Case& c : cases) {
        c.change(grip);
        ::UpdateWindow(grip.m_hWnd);
        EXPECT_EQ(drawn, OnScreen()) << c.name;
        EXPECT_EQ(std::vector<UINT>{}, spy.seen) << c.name;
    }
    // The text is kept all the same.
    EXPECT_EQ(L"Grip", grip.GetWindowText());
    grip.UnsubclassWindow();
}

}  // namespace
}  // namespace kx
