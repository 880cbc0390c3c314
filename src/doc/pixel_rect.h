// An integer rectangle in pixels, left and top first: a frame's changed region, a control's
// place in its parent's client area, a margin beside the preview's image. Portable, so that the
// core and the window code share it.
#pragma once

#include <cstdint>

namespace kx {

struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    // One past the last column and row, as a Win32 RECT has them.
    int32_t Right() const { return left + width; }
    int32_t Bottom() const { return top + height; }
    bool Empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect&) const = default;
};

}  // namespace kx
