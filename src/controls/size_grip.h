// The size grip in a corner of a dialog: draws the system's grip pattern and, when pressed,
// makes the system resize the parent window from that corner.
#ifndef KINETRIX_CONTROLS_SIZE_GRIP_H
#define KINETRIX_CONTROLS_SIZE_GRIP_H

#include <windows.h>

#include "controls/drawn_control.h"

namespace kx {

class CSizeGrip : public CDrawnControl {
public:
    // True when the grip serves the lower left corner: the style's horizontal alignment is
    // BS_LEFT. Recomputed at every paint, so a style change takes effect with the next paint.
    bool leftHanded = false;

    void Draw(HDC dc) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace kx

#endif  // KINETRIX_CONTROLS_SIZE_GRIP_H
