// The logo button on a real button window: layout at several sizes and alignments, mouse and
// keyboard clicks, and the colours it paints in each state.
#include "controls/logo_button.h"
#include "controls/drawn_control.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "resources/resource.h"

namespace kx {
namespace {

constexpr int kLogo = IDC_LOGO;

// A dialog that records the commands its controls send.
class Owner : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<std::pair<WPARAM, LPARAM>> commands;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && LOWORD(wParam) == kLogo) {
            commands.emplace_back(wParam, lParam);
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

class LogoButtonTest : public ::testing::Test {
protected:
    LogoButtonTest() : layout(WS_POPUP | WS_VISIBLE, 200, 100, L"") {
        layout.Add(L"Button", kLogo, BS_LEFT, 0, 0, 10, 10);
    }
    void SetUp() override {
        CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24,
                                    -1, IDB_LOGO_86X32);
        ASSERT_TRUE(owner.CreateIndirect(layout.Get()));
    }
    void TearDown() override { CLogoButton::SetLogoBitmaps(-1, -1, -1, -1, -1, -1); }

    // Sizes the template's button in pixels, gives it a horizontal style and subclasses it.
    void Make(int width, int height, LONG align) {
        HWND button = owner.GetDlgItem(kLogo);
        const LONG style = static_cast<LONG>(::GetWindowLongPtrW(button, GWL_STYLE));
        ::SetWindowLongPtrW(button, GWL_STYLE, (style & ~(BS_LEFT | BS_RIGHT)) | align);
        ::SetWindowPos(button, nullptr, 5, 5, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(logo.SubclassWindow(button));
    }
    LRESULT Mouse(UINT msg, int px, int py) {
        return logo.SendMessage(msg, msg == WM_MOUSEMOVE ? 0 : MK_LBUTTON, MAKELPARAM(px, py));
    }

    test::DialogTemplate layout;
    Owner owner{static_cast<const DLGTEMPLATE*>(nullptr)};
    CLogoButton logo;
};

struct Placement {
    int32_t id, x, y, cx, cy;
    bool operator==(const Placement&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Placement& p) {
    return os << "{id " << p.id << " at " << p.x << "," << p.y << " size " << p.cx << "x" << p.cy
              << "}";
}
Placement PlacementOf(const CLogoButton& b) {
    return {b.selectedId, b.x, b.y, b.cx, b.cy};
}

TEST_F(LogoButtonTest, ChoosesTheLargestBitmapThatFitsAndPlacesItOnTheBottomEdge) {
    struct Case {
        int w, h;
        LONG align;
        Placement expected;
    };
    const Case cases[] = {
        {100, 40, BS_LEFT, {IDB_LOGO_86X32, 0, 8, 86, 32}},
        {86, 32, BS_RIGHT, {IDB_LOGO_86X32, 0, 0, 86, 32}},
        {85, 32, 0, {IDB_LOGO_66X24, 9, 8, 66, 24}},  // centred: (85 - 66) >> 1
        {86, 31, BS_RIGHT, {IDB_LOGO_66X24, 20, 7, 66, 24}},
        {80, 30, BS_LEFT, {IDB_LOGO_66X24, 0, 6, 66, 24}},  // slot 76x28 has no bitmap
        {52, 20, BS_RIGHT, {IDB_LOGO_52X20, 0, 0, 52, 20}},
        {51, 20, BS_RIGHT, {IDB_LOGO_42X16, 9, 4, 42, 16}},
        {41, 40, BS_LEFT, {IDB_LOGO_32X12, 0, 28, 32, 12}},
        // Smaller than the smallest: scaled down with its 8:3 proportions.
        {20, 12, BS_LEFT, {IDB_LOGO_32X12, 0, 5, 20, 7}},
        {32, 6, 0, {IDB_LOGO_32X12, 8, 0, 16, 6}},
        {31, 30, BS_RIGHT, {IDB_LOGO_32X12, 0, 19, 31, 11}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " style " << c.align);
        Make(c.w, c.h, c.align);
        EXPECT_EQ(c.expected, PlacementOf(logo));
        logo.UnsubclassWindow();
    }
}

TEST_F(LogoButtonTest, ResizingChoosesAgainAndStyleChangesMoveThePictureAtOnce) {
    Make(100, 40, BS_LEFT);
    ::SetWindowPos(logo.m_hWnd, nullptr, 0, 0, 60, 22, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ((Placement{IDB_LOGO_52X20, 0, 2, 52, 20}), PlacementOf(logo));

    logo.SendMessage(BM_SETSTYLE, BS_RIGHT, TRUE);
    EXPECT_EQ((Placement{IDB_LOGO_52X20, 8, 2, 52, 20}), PlacementOf(logo));
    EXPECT_EQ(BS_RIGHT, logo.GetStyle() & (BS_LEFT | BS_RIGHT));
    // The high word of the style is kept.
    EXPECT_TRUE(logo.GetStyle() & WS_VISIBLE);
    logo.SendMessage(BM_SETSTYLE, BS_CENTER, FALSE);
    EXPECT_EQ(4, logo.x);
    // The system never turns the control into a default push button.
    EXPECT_EQ(0, logo.SendMessage(BM_GETCHECK));
}

TEST_F(LogoButtonTest, WithoutBitmapsNothingIsShownOrClickable) {
    CLogoButton::SetLogoBitmaps(-1, -1, -1, -1, -1, -1);
    Make(100, 40, BS_LEFT);
    EXPECT_EQ((Placement{-1, -1, -1, 0, 0}), PlacementOf(logo));
    Mouse(WM_LBUTTONDOWN, 0, 39);
    Mouse(WM_LBUTTONUP, 0, 39);
    EXPECT_EQ(0u, owner.commands.size());
}

TEST_F(LogoButtonTest, AClickOnThePictureSendsOneCommand) {
    Make(100, 40, BS_LEFT);  // picture at (0, 8) to (86, 40)
    Mouse(WM_LBUTTONDOWN, 10, 20);
    EXPECT_EQ(logo.m_hWnd, ::GetCapture());
    EXPECT_EQ(CDrawnPushButton::kPushed, logo.SendMessage(BM_GETSTATE));
    EXPECT_EQ(0u, owner.commands.size());
    Mouse(WM_LBUTTONUP, 10, 20);
    ASSERT_EQ(1u, owner.commands.size());
    EXPECT_EQ(MAKEWPARAM(kLogo, BN_CLICKED), owner.commands[0].first);
    EXPECT_EQ(reinterpret_cast<LPARAM>(logo.m_hWnd), owner.commands[0].second);
    EXPECT_EQ(nullptr, ::GetCapture());
    EXPECT_EQ(0, logo.state);
}

TEST_F(LogoButtonTest, DraggingOffAndBackFollowsThePointer) {
    Make(100, 40, BS_LEFT);
    Mouse(WM_LBUTTONDOWN, 10, 20);
    Mouse(WM_MOUSEMOVE, 95, 20);  // beside the picture, still in the control
    EXPECT_EQ(0, logo.state);
    Mouse(WM_MOUSEMOVE, 10, 4);  // above the picture
    EXPECT_EQ(0, logo.state);
    Mouse(WM_MOUSEMOVE, 85, 39);
    EXPECT_EQ(CDrawnPushButton::kPushed, logo.state);
    Mouse(WM_LBUTTONUP, 85, 39);
    EXPECT_EQ(1u, owner.commands.size());
}

TEST_F(LogoButtonTest, ReleasingOffThePictureSendsNothing) {
    Make(100, 40, BS_LEFT);
    Mouse(WM_LBUTTONDOWN, 10, 20);
    Mouse(WM_MOUSEMOVE, 300, 20);
    Mouse(WM_LBUTTONUP, 300, 20);
    EXPECT_EQ(0u, owner.commands.size());
    EXPECT_EQ(nullptr, ::GetCapture());
    // A press beside the picture does not even start.
    Mouse(WM_LBUTTONDOWN, 90, 20);
    EXPECT_EQ(nullptr, ::GetCapture());
    Mouse(WM_LBUTTONUP, 10, 20);
    EXPECT_EQ(0u, owner.commands.size());
}

TEST_F(LogoButtonTest, LosingTheCaptureCancelsThePress) {
    Make(100, 40, BS_LEFT);
    Mouse(WM_LBUTTONDOWN, 10, 20);
    ::SetCapture(owner.m_hWnd);
    EXPECT_EQ(0, logo.state);
    ::ReleaseCapture();
    Mouse(WM_LBUTTONUP, 10, 20);
    EXPECT_EQ(0u, owner.commands.size());
}

TEST_F(LogoButtonTest, SpaceAndBmClickClick) {
    Make(100, 40, BS_LEFT);
    logo.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(CDrawnPushButton::kPushed, logo.state);
    logo.SendMessage(WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(1u, owner.commands.size());
    logo.SendMessage(WM_KEYUP, VK_SPACE, 0);  // no press before it
    EXPECT_EQ(1u, owner.commands.size());
    logo.SendMessage(BM_CLICK);
    EXPECT_EQ(2u, owner.commands.size());
    EXPECT_EQ(DLGC_BUTTON, logo.SendMessage(WM_GETDLGCODE));
}

TEST_F(LogoButtonTest, ADisabledLogoIgnoresInput) {
    Make(100, 40, BS_LEFT);
    logo.EnableWindow(FALSE);
    Mouse(WM_LBUTTONDOWN, 10, 20);
    EXPECT_EQ(nullptr, ::GetCapture());
    EXPECT_EQ(0, logo.state);
    Mouse(WM_LBUTTONUP, 10, 20);
    logo.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    logo.SendMessage(WM_KEYUP, VK_SPACE, 0);
    logo.SendMessage(BM_CLICK);
    EXPECT_EQ(0u, owner.commands.size());
}

// Reference colours of the pictures, found in the bitmap as stored.
std::map<COLORREF, POINT> FindReferenceColours(int id, int width, int height) {
    std::map<COLORREF, POINT> found;
    HBITMAP raw =
        static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (raw == nullptr) {
        return found;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, raw, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(raw);
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            const DWORD bgr = pixels[static_cast<size_t>(py) * width + px];
            const COLORREF colour = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
            found.emplace(colour, POINT{px, py});
        }
    }
    return found;
}

TEST_F(LogoButtonTest, PaintsTheReferenceColoursMappedForEachState) {
    Make(100, 40, BS_LEFT);  // 86 x 32 drawn unscaled at (0, 8)
    const std::map<COLORREF, POINT> where = FindReferenceColours(IDB_LOGO_86X32, 86, 32);
    // The art uses the bevel colours and at least one of each colour pair.
    ASSERT_TRUE(where.count(RGB(192, 192, 192)) && where.count(RGB(255, 255, 255)) &&
                where.count(RGB(128, 128, 128)));

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 100;
    info.bmiHeader.biHeight = 40;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP target = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, target);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ previous = ::SelectObject(dc, target);

    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF dark = ::GetSysColor(COLOR_3DDKSHADOW);
    const COLORREF white = RGB(255, 255, 255);
    struct StateCase {
        int32_t state;
        std::map<COLORREF, COLORREF> map;
    };
    const StateCase states[] = {
        {0,
         {{RGB(192, 192, 192), face},
          {RGB(255, 255, 255), light},
          {RGB(128, 128, 128), shadow},
          {RGB(255, 0, 255), white},
          {RGB(128, 0, 0), RGB(128, 0, 0)},
          {RGB(0, 255, 255), white},
          {RGB(0, 128, 0), RGB(0, 128, 0)}}},
        {CDrawnPushButton::kFocused,
         {{RGB(192, 192, 192), face},
          {RGB(255, 255, 255), light},
          {RGB(128, 128, 128), dark},
          {RGB(255, 0, 255), white},
          {RGB(128, 0, 0), RGB(128, 0, 0)}}},
        {CDrawnPushButton::kPushed,
         {{RGB(192, 192, 192), face},
          {RGB(255, 255, 255), shadow},
          {RGB(128, 128, 128), light},
          {RGB(255, 0, 255), RGB(128, 0, 0)},
          {RGB(128, 0, 0), white},
          {RGB(0, 255, 255), RGB(0, 128, 0)},
          {RGB(0, 128, 0), white}}},
    };
    int checked = 0;
    for (const StateCase& s : states) {
        SCOPED_TRACE(testing::Message() << "state " << s.state);
        logo.state = s.state;
        ::SelectClipRgn(dc, nullptr);
        RECT all{0, 0, 100, 40};
        ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        logo.Draw(dc);
        for (const auto& [reference, expected] : s.map) {
            const auto at = where.find(reference);
            if (at == where.end()) {
                continue;
            }
            EXPECT_EQ(expected, ::GetPixel(dc, at->second.x, 8 + at->second.y))
                << "reference colour " << std::hex << reference;
            ++checked;
        }
        // Beside and above the picture: button face.
        EXPECT_EQ(face, ::GetPixel(dc, 95, 20));
        EXPECT_EQ(face, ::GetPixel(dc, 10, 2));
    }
    EXPECT_LE(9, checked);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    ::DeleteObject(target);
}

}  // namespace
}  // namespace kx
