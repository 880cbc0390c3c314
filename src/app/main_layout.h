// Where the main window puts its thirteen controls for a client size.
//
// Pure arithmetic on the client size and on distances measured once, when the window starts at
// its template size; no window system involved, so that the table of positions is tested
// natively. The preview and the two tool strips grow with the window, the slider row and the
// lower strip follow the bottom edge, the frame number, the speed field and the size grip follow
// the bottom right corner, the logo the bottom left.
#ifndef KINETRIX_APP_MAIN_LAYOUT_H
#define KINETRIX_APP_MAIN_LAYOUT_H

#include <array>
#include <cstdint>

#include "doc/pixel_rect.h"

namespace kx {

// The controls in the order of the layout table; kMainControlIds of the window gives their ids.
enum MainControl : int {
    kViewBarSlot,
    kPreviewSlot,
    kSliderPanelSlot,
    kSliderSlot,
    kFrameNumberLabelSlot,
    kFrameNumberSlot,
    kPlayBarSlot,
    kSpeedLabelSlot,
    kSpeedSlot,
    kSpeedSpinSlot,
    kSpeedUnitSlot,
    kLogoSlot,
    kSizeGripSlot,
    kMainControlCount
};

// The distances taken at start-up.
struct MainLayout {
    int32_t previewLeft = 0;  // the preview's left edge
    int32_t marginX = 0;      // the preview's left plus right margin
    int32_t marginY = 0;      // the preview's top plus bottom margin
    int32_t viewBarHeight = 0;
    int32_t panelHeight = 0;
    int32_t sliderHeight = 0;
    int32_t playBarHeight = 0;
    int32_t sliderLeft = 0;
    int32_t sliderMarginX = 0;  // the slider's own left plus right margin
    int32_t logoLeft = 0;
    // Client height minus top, for the controls below the preview; 0 for the others.
    std::array<int32_t, kMainControlCount> fromBottom{};
    // Client width minus left, for the controls anchored on the right; 0 for the others.
    std::array<int32_t, kMainControlCount> fromRight{};

    bool operator==(const MainLayout&) const = default;
};

// Where one control goes: a move, a resize, or both. What is not changed keeps its value.
struct ControlPlacement {
    bool move = false;
    bool resize = false;
    PixelRect box;  // in client coordinates

    bool operator==(const ControlPlacement&) const = default;
};

// The controls' rectangles in client coordinates.
using MainControlBoxes = std::array<PixelRect, kMainControlCount>;
using MainPlacements = std::array<ControlPlacement, kMainControlCount>;

// Measures the distances from the controls as they stand in a client area of the given size.
MainLayout MeasureMainLayout(int32_t clientWidth, int32_t clientHeight,
                             const MainControlBoxes& controls);

// Places the controls for a client area of cw x ch. Sizes never go below 0 (a minimised window
// reports a client area of 0 x 0).
MainPlacements ArrangeMainLayout(const MainLayout& layout, int32_t cw, int32_t ch);

}  // namespace kx

#endif  // KINETRIX_APP_MAIN_LAYOUT_H
