// The logo: a picture button that shows the largest of the program's logo bitmaps that fits its
// window (scaled down when none fits), on its bottom edge, and reports a click on the picture to
// its parent as BN_CLICKED.
#ifndef KINETRIX_CONTROLS_LOGO_BUTTON_H
#define KINETRIX_CONTROLS_LOGO_BUTTON_H

#include <windows.h>

#include <cstdint>

#include "controls/drawn_control.h"

namespace kx {

class CLogoButton : public CDrawnPushButton {
public:
    // Natural sizes of the six slots, smallest first.
    static constexpr SIZE kSlotSizes[6] = {{32, 12}, {42, 16}, {52, 20},
                                           {66, 24}, {76, 28}, {86, 32}};

    // Fills the table of bitmap resource ids shared by all logos; -1 for a size without bitmap.
    static void SetLogoBitmaps(int id32x12, int id42x16, int id52x20, int id66x24, int id76x28,
                               int id86x32);

    int32_t selectedId = -1;
    int32_t x = -1;
    int32_t y = -1;
    int32_t cx = 0;
    int32_t cy = 0;
    int32_t bitmapWidth = 0;
    int32_t bitmapHeight = 0;

    void Draw(HDC dc) override;
    bool HitTest(POINT point) override;
    void OnClicked(int screenX, int screenY) override;
    // Chooses the bitmap for the client size and places it.
    void Layout();

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PreSubclassWindow() override;

private:
    static int s_bitmapIds[6];
};

}  // namespace kx

#endif  // KINETRIX_CONTROLS_LOGO_BUTTON_H
