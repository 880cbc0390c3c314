// The main window's layout: distances measured at the start size give where each control goes
// for a client size.
#include "app/main_layout.h"

#include <gtest/gtest.h>

#include <array>

namespace kx {
namespace {

// Client 282 x 306 with the controls of the main window's template at two pixels per dialog
// unit, in the order of the layout table.
constexpr int32_t kStartWidth = 282;
constexpr int32_t kStartHeight = 306;
const MainControlBoxes kStart = {{
    {6, 0, 270, 36},     // upper strip
    {6, 38, 270, 136},   // preview
    {6, 176, 270, 36},   // panel behind the slider
    {10, 180, 180, 28},  // slider
    {194, 184, 24, 18},  // "No."
    {220, 180, 52, 24},  // frame number
    {6, 214, 270, 40},   // lower strip
    {86, 266, 52, 18},   // "Speed:"
    {138, 262, 62, 24},  // speed
    {200, 262, 18, 24},  // spin
    {202, 266, 72, 18},  // " ms/frame"
    {0, 264, 80, 40},    // logo
    {266, 288, 16, 18},  // size grip
}};

TEST(MainLayout, PlacesEachControlForTheClientSize) {
    struct Case {
        const char* name;
        int32_t cw, ch;
        int slot;
        ControlPlacement expected;
    };
    const Case cases[] = {
        // Grown to 500 x 400: the strips, panel, slider and preview widen, the preview also
        // grows in height; the rest follows its corner.
        {"grown upper strip", 500, 400, kViewBarSlot, {false, true, {0, 0, 488, 36}}},
        {"grown preview", 500, 400, kPreviewSlot, {false, true, {0, 0, 488, 230}}},
        {"grown panel", 500, 400, kSliderPanelSlot, {true, true, {6, 270, 488, 36}}},
        {"grown slider", 500, 400, kSliderSlot, {true, true, {10, 274, 398, 28}}},
        {"grown label", 500, 400, kFrameNumberLabelSlot, {true, false, {412, 278, 0, 0}}},
        {"grown number", 500, 400, kFrameNumberSlot, {true, false, {438, 274, 0, 0}}},
        {"grown lower strip", 500, 400, kPlayBarSlot, {true, true, {6, 308, 488, 40}}},
        {"grown speed label", 500, 400, kSpeedLabelSlot, {true, false, {304, 360, 0, 0}}},
        {"grown speed", 500, 400, kSpeedSlot, {true, false, {356, 356, 0, 0}}},
        {"grown spin", 500, 400, kSpeedSpinSlot, {true, false, {418, 356, 0, 0}}},
        {"grown unit", 500, 400, kSpeedUnitSlot, {true, false, {420, 360, 0, 0}}},
        {"grown logo", 500, 400, kLogoSlot, {true, false, {0, 358, 0, 0}}},
        {"grown grip", 500, 400, kSizeGripSlot, {true, false, {484, 382, 0, 0}}},
        // Minimised (0 x 0): sizes stop at 0, positions go where the arithmetic puts them.
        {"minimised slider", 0, 0, kSliderSlot, {true, true, {10, -126, 0, 28}}},
        {"minimised grip", 0, 0, kSizeGripSlot, {true, false, {-16, -18, 0, 0}}},
    };
    const MainLayout layout = MeasureMainLayout(kStartWidth, kStartHeight, kStart);
    // Moved, resized, and the box.
    auto values = [](const ControlPlacement& p) {
        return std::array<int32_t, 6>{p.move,    p.resize,    p.box.left,
                                      p.box.top, p.box.width, p.box.height};
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(values(c.expected), values(ArrangeMainLayout(layout, c.cw, c.ch)[c.slot]));
    }
}

// A layout at the size the distances were measured at moves nothing.
TEST(MainLayout, TheStartSizeLeavesEveryControlWhereItStands) {
    const MainPlacements placed = ArrangeMainLayout(
        MeasureMainLayout(kStartWidth, kStartHeight, kStart), kStartWidth, kStartHeight);
    for (int slot = 0; slot < kMainControlCount; ++slot) {
        const PixelRect& box = placed[size_t(slot)].box;
        if (placed[size_t(slot)].move) {
            EXPECT_EQ(kStart[size_t(slot)].left, box.left) << "slot " << slot;
            EXPECT_EQ(kStart[size_t(slot)].top, box.top) << "slot " << slot;
        }
        if (placed[size_t(slot)].resize) {
            EXPECT_EQ(kStart[size_t(slot)].width, box.width) << "slot " << slot;
            EXPECT_EQ(kStart[size_t(slot)].height, box.height) << "slot " << slot;
        }
    }
}

}  // namespace
}  // namespace kx
