// Buttons the program paints itself: a base that switches off the system button's own drawing
// and state, a push button with press, capture and click, and the logo picture button.
#ifndef KINETRIX_CONTROLS_DRAWN_CONTROL_H
#define KINETRIX_CONTROLS_DRAWN_CONTROL_H

#include <windows.h>

#include <cstdint>

#include "framework/controls.h"

namespace kx {

class CDrawnControl : public CButton {
public:
    // Paints the whole control on dc.
    virtual void Draw(HDC dc);
    // Paints at once through a window DC.
    virtual void RedrawNow();

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Replaces the low word of the window style with that of style; TRUE when it changed.
    bool ApplyStyleLowWord(WPARAM style, LPARAM redraw);
};

class CDrawnPushButton : public CDrawnControl {
public:
    static constexpr int32_t kPushed = BST_PUSHED;
    static constexpr int32_t kFocused = BST_FOCUS;

    // Pressed (kPushed) and focused (kFocused) bits.
    int32_t state = 0;

    // The button was clicked at (screenX, screenY).
    virtual void OnClicked(int screenX, int screenY);
    // Whether a point in client coordinates is on the clickable area.
    virtual bool HitTest(POINT point);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void SetState(int32_t value, int32_t mask);

private:
    void ClickAtMessagePosition();
};

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

#endif  // KINETRIX_CONTROLS_DRAWN_CONTROL_H
