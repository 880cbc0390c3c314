// The icon button painted through its dialog's WM_DRAWITEM: where the icon goes and how large
// it is, with a frame, a well or pressed.
#include "dialogs/icon_button.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "framework/canvas.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "resources/resource.h"

namespace kx {
namespace {

TEST(IconButtonTest, TheIconIsTheLargestSquareThatFitsWherePlaced) {
    test::DialogTemplate layout(WS_POPUP | WS_VISIBLE, 100, 80, L"");
    layout.Add(L"Button", IDC_ICON_BUTTON, BS_OWNERDRAW | WS_DISABLED, 26, 11, 40, 38);
    CDialog owner{static_cast<const DLGTEMPLATE*>(nullptr)};
    ASSERT_TRUE(owner.CreateIndirect(layout.Get()));
    CIconButton button;
    ASSERT_TRUE(button.SubclassDlgItem(IDC_ICON_BUTTON, &owner));
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
        const RECT all{0, 0, c.width, c.height};
        // The dialog paints the button into a canvas, as the system asks it to.
        test::Canvas drawn(c.width, c.height);
        DRAWITEMSTRUCT item{ODT_BUTTON, IDC_ICON_BUTTON, 0,          ODA_DRAWENTIRE,
                            c.state,    button.m_hWnd,   drawn.Dc(), all,
                            0};
        EXPECT_EQ(TRUE, owner.SendMessage(WM_DRAWITEM, IDC_ICON_BUTTON, LPARAM(&item)));
        // The same icon at the expected place and size on plain face.
        const int size = c.icon.right - c.icon.left;
        test::Canvas expected(c.width, c.height);
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
    owner.DestroyWindow();
}

}  // namespace
}  // namespace kx
