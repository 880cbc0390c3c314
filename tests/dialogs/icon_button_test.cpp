// The icon button painted through its dialog's WM_DRAWITEM: where the icon goes and how large
// it is, the frame, and the pressed look.
#include "dialogs/icon_button.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "controls/canvas.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "resources/resource.h"

namespace kx {
namespace {

class IconButtonTest : public ::testing::Test {
protected:
    IconButtonTest() : layout(WS_POPUP | WS_VISIBLE, 100, 80, L"") {
        layout.Add(L"Button", IDC_ICON_BUTTON, BS_OWNERDRAW | WS_DISABLED, 26, 11, 40, 38);
    }
    void SetUp() override {
        HICON probe = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                      MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                      32, 32, LR_DEFAULTCOLOR));
        if (probe == nullptr) {
            GTEST_SKIP() << "the program's icon is not linked in";
        }
        ::DestroyIcon(probe);
        ASSERT_TRUE(owner.CreateIndirect(layout.Get()));
        ASSERT_TRUE(button.SubclassDlgItem(IDC_ICON_BUTTON, &owner));
    }
    void TearDown() override { owner.DestroyWindow(); }

    // Asks the dialog to paint the button into the canvas, as the system does.
    LRESULT DrawThroughTheDialog(test::Canvas& canvas, int width, int height, UINT state) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = IDC_ICON_BUTTON;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = button.m_hWnd;
        item.hDC = canvas.Dc();
        item.rcItem = RECT{0, 0, width, height};
        return owner.SendMessage(WM_DRAWITEM, IDC_ICON_BUTTON, reinterpret_cast<LPARAM>(&item));
    }

    test::DialogTemplate layout;
    CDialog owner{static_cast<const DLGTEMPLATE*>(nullptr)};
    CIconButton button;
};

TEST_F(IconButtonTest, TheIconIsTheLargestSquareThatFitsWherePlaced) {
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    struct Case {
        const char* name;
        int width, height;
        uint32_t style;
        UINT state;
        RECT icon;  // where the icon is drawn, at its size
    };
    const Case cases[] = {
        // Inset 2 left and top, 3 right and bottom: 55 x 35, centred square of 35.
        {"wide, centred", 60, 40, 0, 0, {12, 2, 47, 37}},
        {"wide, right", 60, 40, CIconButton::kRight, 0, {22, 2, 57, 37}},
        {"tall, bottom", 30, 60, CIconButton::kBottom, 0, {2, 32, 27, 57}},
        // Pressed: a sunken outline, 2 off every side, and the icon one pixel right and down.
        {"pressed", 40, 40, 0, ODS_SELECTED, {5, 5, 36, 36}},
        // The frame takes 3 on every side first.
        {"frame", 40, 40, CIconButton::kFrame, 0, {5, 5, 34, 34}},
        // The well: 60 x 40 made square at the left, then 4 in on every side.
        {"square well", 60, 40, CIconButton::kSquareWell | CIconButton::kLeft, 0, {4, 4, 36, 36}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        button.SetStyle(c.style);
        button.SetIcon(IDR_MAINFRAME);
        test::Canvas drawn(c.width, c.height);
        EXPECT_EQ(TRUE, DrawThroughTheDialog(drawn, c.width, c.height, c.state));

        // The same icon at the expected place and size on plain face.
        const int size = c.icon.right - c.icon.left;
        test::Canvas expected(c.width, c.height);
        const RECT all = expected.All();
        ::FillRect(expected.Dc(), &all, ::GetSysColorBrush(COLOR_BTNFACE));
        HICON icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                     size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(nullptr, icon);
        ::DrawIconEx(expected.Dc(), c.icon.left, c.icon.top, icon, size, size, 0, nullptr,
                     DI_NORMAL);
        ::DestroyIcon(icon);
        EXPECT_EQ(expected.Pixels(c.icon), drawn.Pixels(c.icon));
        if (c.style == 0 && c.state == 0) {
            // Nothing but face around the icon.
            EXPECT_EQ(expected.Pixels(all), drawn.Pixels(all));
        }
    }
    // The pressed outline: shadow at the top and left, highlight at the bottom and right.
    button.SetStyle(0);
    test::Canvas pressed(40, 40);
    DrawThroughTheDialog(pressed, 40, 40, ODS_SELECTED);
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), pressed.At(0, 20));
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), pressed.At(20, 0));
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), pressed.At(39, 20));
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), pressed.At(20, 39));

    // Without an icon only the face is drawn.
    button.SetIcon(0);
    test::Canvas empty(60, 40);
    DrawThroughTheDialog(empty, 60, 40, 0);
    EXPECT_EQ(std::vector<COLORREF>(60 * 40, face), empty.Pixels(empty.All()));
}

}  // namespace
}  // namespace kx
