// Buttons the program paints itself: a base that switches off the system button's own drawing
// and state, and a push button with press, capture and click.
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

}  // namespace kx

#endif  // KINETRIX_CONTROLS_DRAWN_CONTROL_H
