// GDI owners and selection guards, and the file dialog's filter form.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/file_dialog.h"
#include "framework/gdi.h"

namespace kx {
namespace {

TEST(GdiObject, DeletesOnceAndMovesOwnership) {
    HBRUSH raw = ::CreateSolidBrush(RGB(1, 2, 3));
    {
        Brush first(raw);
        Brush second(std::move(first));
        EXPECT_EQ(nullptr, first.Get());
        EXPECT_EQ(raw, second.Get());
        EXPECT_EQ(OBJ_BRUSH, ::GetObjectType(raw));
    }
    EXPECT_EQ(0u, ::GetObjectType(raw)) << "the brush is deleted when its owner goes";
}

TEST(GdiObject, ResetDeletesTheOldHandle) {
    HBITMAP a = ::CreateBitmap(2, 2, 1, 1, nullptr);
    HBITMAP b = ::CreateBitmap(2, 2, 1, 1, nullptr);
    Bitmap owner(a);
    owner.Reset(b);
    EXPECT_EQ(0u, ::GetObjectType(a));
    EXPECT_EQ(b, owner.Get());
    EXPECT_EQ(OBJ_BITMAP, ::GetObjectType(b));
}

TEST(SelectGuard, PutsThePreviousObjectsBack) {
    MemoryDC dc(nullptr);
    ASSERT_NE(nullptr, dc.Get());
    HGDIOBJ originalBitmap = ::GetCurrentObject(dc.Get(), OBJ_BITMAP);
    HGDIOBJ originalPalette = ::GetCurrentObject(dc.Get(), OBJ_PAL);
    Bitmap bitmap(::CreateBitmap(4, 4, 1, 1, nullptr));
    LOGPALETTE logical{0x300, 1, {{10, 20, 30, 0}}};
    Palette palette(::CreatePalette(&logical));
    {
        SelectGuard selected(dc.Get(), bitmap.Get());
        PaletteGuard realised(dc.Get(), palette.Get(), FALSE);
        EXPECT_TRUE(selected.Selected());
        EXPECT_EQ(static_cast<HGDIOBJ>(bitmap.Get()), ::GetCurrentObject(dc.Get(), OBJ_BITMAP));
        EXPECT_EQ(static_cast<HGDIOBJ>(palette.Get()), ::GetCurrentObject(dc.Get(), OBJ_PAL));
    }
    EXPECT_EQ(originalBitmap, ::GetCurrentObject(dc.Get(), OBJ_BITMAP));
    EXPECT_EQ(originalPalette, ::GetCurrentObject(dc.Get(), OBJ_PAL));
}

TEST(FilterFromBars, BecomesADoubleZeroTerminatedList) {
    using namespace std::string_literals;
    EXPECT_EQ(L"AVI (*.avi)\0*.avi\0All\0*.*\0\0"s, FilterFromBars(L"AVI (*.avi)|*.avi|All|*.*||"));
    EXPECT_EQ(L"BMP\0*.bmp\0\0"s, FilterFromBars(L"BMP|*.bmp"));
    EXPECT_EQ(L"\0"s, FilterFromBars(nullptr));
}

TEST(FileDialog, StartsWithTheGivenNameAndFlags) {
    CFileDialog dialog(FALSE, L"avi", L"C:\\movies\\clip", OFN_OVERWRITEPROMPT, L"AVI|*.avi||");
    EXPECT_EQ(L"C:\\movies\\clip", dialog.GetPathName());
    EXPECT_EQ(L"clip", dialog.GetFileName());
    EXPECT_EQ(L"", dialog.GetFileExt());
    EXPECT_EQ(1u, dialog.GetFilterIndex());
    EXPECT_EQ(DWORD{OFN_OVERWRITEPROMPT}, dialog.m_ofn.Flags & OFN_OVERWRITEPROMPT);
    EXPECT_STREQ(L"avi", dialog.m_ofn.lpstrDefExt);
}

}  // namespace
}  // namespace kx
