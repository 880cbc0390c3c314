#include "app/main_layout.h"

namespace kx {

namespace {

constexpr bool IsBelowPreview(int slot) {
    return slot != kViewBarSlot && slot != kPreviewSlot;
}

constexpr bool IsAnchoredRight(int slot) {
    switch (slot) {
        case kFrameNumberLabelSlot:
        case kFrameNumberSlot:
        case kSpeedLabelSlot:
        case kSpeedSlot:
        case kSpeedSpinSlot:
        case kSpeedUnitSlot:
        case kSizeGripSlot:
            return true;
        default:
            return false;
    }
}

constexpr int32_t NotNegative(int32_t value) {
    return value < 0 ? 0 : value;
}

ControlPlacement Resize(int32_t width, int32_t height) {
    return {false, true, {0, 0, NotNegative(width), NotNegative(height)}};
}

ControlPlacement Move(int32_t x, int32_t y) {
    return {true, false, {x, y, 0, 0}};
}

ControlPlacement MoveAndResize(int32_t x, int32_t y, int32_t width, int32_t height) {
    return {true, true, {x, y, NotNegative(width), NotNegative(height)}};
}

}  // namespace

MainLayout MeasureMainLayout(int32_t clientWidth, int32_t clientHeight,
                             const MainControlBoxes& controls) {
    MainLayout layout;
    const PixelRect& preview = controls[kPreviewSlot];
    layout.previewLeft = preview.left;
    layout.marginX = preview.left + (clientWidth - preview.Right());
    layout.marginY = preview.top + (clientHeight - preview.Bottom());
    layout.viewBarHeight = controls[kViewBarSlot].height;
    layout.panelHeight = controls[kSliderPanelSlot].height;
    layout.sliderHeight = controls[kSliderSlot].height;
    layout.playBarHeight = controls[kPlayBarSlot].height;
    const PixelRect& slider = controls[kSliderSlot];
    layout.sliderLeft = slider.left;
    layout.sliderMarginX = slider.left + clientWidth - slider.Right();
    layout.logoLeft = controls[kLogoSlot].left;
    for (int slot = 0; slot < kMainControlCount; ++slot) {
        if (IsBelowPreview(slot)) {
            layout.fromBottom[slot] = clientHeight - controls[slot].top;
        }
        if (IsAnchoredRight(slot)) {
            layout.fromRight[slot] = clientWidth - controls[slot].left;
        }
    }
    return layout;
}

MainPlacements ArrangeMainLayout(const MainLayout& layout, int32_t cw, int32_t ch) {
    const auto& bottom = layout.fromBottom;
    const auto& right = layout.fromRight;
    const int32_t stripWidth = cw - layout.marginX;
    MainPlacements p;
    p[kViewBarSlot] = Resize(stripWidth, layout.viewBarHeight);
    p[kPreviewSlot] = Resize(stripWidth, ch - layout.marginY);
    p[kSliderPanelSlot] = MoveAndResize(layout.previewLeft, ch - bottom[kSliderPanelSlot],
                                        stripWidth, layout.panelHeight);
    p[kSliderSlot] = MoveAndResize(layout.sliderLeft, ch - bottom[kSliderSlot],
                                   cw - layout.sliderMarginX, layout.sliderHeight);
    // Each label keeps its own distance from the bottom edge, so that a resize moves it no more
    // than the field it names.
    p[kFrameNumberLabelSlot] =
        Move(cw - right[kFrameNumberLabelSlot], ch - bottom[kFrameNumberLabelSlot]);
    p[kFrameNumberSlot] = Move(cw - right[kFrameNumberSlot], ch - bottom[kFrameNumberSlot]);
    p[kPlayBarSlot] = MoveAndResize(layout.previewLeft, ch - bottom[kPlayBarSlot], stripWidth,
                                    layout.playBarHeight);
    p[kSpeedLabelSlot] = Move(cw - right[kSpeedLabelSlot], ch - bottom[kSpeedLabelSlot]);
    p[kSpeedSlot] = Move(cw - right[kSpeedSlot], ch - bottom[kSpeedSlot]);
    p[kSpeedSpinSlot] = Move(cw - right[kSpeedSpinSlot], ch - bottom[kSpeedSlot]);
    p[kSpeedUnitSlot] = Move(cw - right[kSpeedUnitSlot], ch - bottom[kSpeedUnitSlot]);
    p[kLogoSlot] = Move(layout.logoLeft, ch - bottom[kLogoSlot]);
    p[kSizeGripSlot] = Move(cw - right[kSizeGripSlot], ch - bottom[kSizeGripSlot]);
    return p;
}

}  // namespace kx
