// The size grip on a real button window: which corner a press resizes from and its cursor; and
// that the system button (version 6, as the program's manifest asks) never paints over it.
#include "controls/size_grip.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
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

    void SetUp() override {
        layout.Add(L"Button", IDC_SIZE_GRIP, WS_GROUP | BS_RIGHT, 80, 40, 8, 9);
        ASSERT_TRUE(owner.CreateIndirect(layout.Get()));
        ::SetWindowPos(owner.GetDlgItem(IDC_SIZE_GRIP), nullptr, 40, 30, kSide, kSide,
                       SWP_NOZORDER);
        ASSERT_TRUE(grip.SubclassDlgItem(IDC_SIZE_GRIP, &owner));
        Paint();
    }
    void TearDown() override { owner.DestroyWindow(); }
    void Paint() { ::RedrawWindow(grip.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

    test::DialogTemplate layout{WS_POPUP | WS_VISIBLE, 100, 60, L""};
    Owner owner{static_cast<const DLGTEMPLATE*>(nullptr)};
    CSizeGrip grip;
};

TEST_F(SizeGripTest, APressResizesFromTheGripsCornerWithItsCursor) {
    struct Case {
        LONG style;
        UINT press;
        WPARAM command;
        const wchar_t* cursor;
    };
    const Case cases[] = {{BS_RIGHT, WM_LBUTTONDOWN, SC_SIZE + WMSZ_BOTTOMRIGHT, IDC_SIZENWSE},
                          {BS_LEFT, WM_LBUTTONDBLCLK, SC_SIZE + WMSZ_BOTTOMLEFT, IDC_SIZENESW}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style);
        grip.SendMessage(BM_SETSTYLE, static_cast<WPARAM>(c.style), FALSE);
        Paint();  // the corner is taken from the style when the grip paints
        owner.sysCommands.clear();
        grip.SendMessage(c.press, MK_LBUTTON, MAKELPARAM(3, 4));
        POINT screen{3, 4};  // the command carries the press in screen coordinates
        ::ClientToScreen(grip.m_hWnd, &screen);
        EXPECT_EQ(
            (std::vector<std::pair<WPARAM, LPARAM>>{{c.command, MAKELPARAM(screen.x, screen.y)}}),
            owner.sysCommands);
        EXPECT_EQ(TRUE, grip.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(grip.m_hWnd),
                                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(::LoadCursorW(nullptr, c.cursor), ::GetCursor());
        EXPECT_EQ(nullptr, ::GetCapture()) << "the grip keeps no press of its own";
    }
}

// Sits under the grip in the window's chain and notes what reaches the system button.
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
    ::SetForegroundWindow(owner.m_hWnd);
    test::Canvas canvas(kSide, kSide);
    grip.Draw(canvas.Dc());
    const std::vector<COLORREF> drawn = canvas.Pixels(canvas.All());
    // Text, disabled, enabled, focus, focus lost.
    const std::function<void()> changes[] = {
        [&] { grip.SetWindowText(L"Grip"); }, [&] { grip.EnableWindow(FALSE); },
        [&] { grip.EnableWindow(TRUE); }, [&] { ::SetFocus(grip.m_hWnd); },
        [&] { ::SetFocus(owner.m_hWnd); }};
    for (size_t i = 0; i < std::size(changes); ++i) {
        changes[i]();
        ::UpdateWindow(grip.m_hWnd);
        HDC dc = ::GetDC(grip.m_hWnd);
        std::vector<COLORREF> onScreen;
        for (int p = 0; p < kSide * kSide; ++p) {
            onScreen.push_back(::GetPixel(dc, p % kSide, p / kSide));
        }
        ::ReleaseDC(grip.m_hWnd, dc);
        EXPECT_EQ(drawn, onScreen) << "change " << i;
        EXPECT_EQ(std::vector<UINT>{}, spy.seen) << "change " << i;
    }
    EXPECT_EQ(L"Grip", grip.GetWindowText()) << "the text is kept all the same";
    grip.UnsubclassWindow();
}

}  // namespace
}  // namespace kx
