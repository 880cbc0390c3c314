// Placement of a frame in the preview's client area, its margins, and the rows a draw copies.
#include "view/preview_geometry.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace kx {

std::ostream& operator<<(std::ostream& os, const PixelRect& r) {
    return os << "{" << r.left << "," << r.top << " " << r.width << "x" << r.height << "}";
}

namespace {

struct PlacementCase {
    const char* name;
    int32_t clientWidth, clientHeight, frameWidth, rows;
    bool fit;
    int32_t x, y, w, h, destWidth, destHeight;
};

TEST(PreviewGeometry, PlacesTheImageCentredOrFitted) {
    const PlacementCase cases[] = {
        // 101 x 100 control, 50 x 100 frame: the odd margin pixel goes to the right.
        {"plain, odd width", 101, 100, 50, 100, false, 25, 0, 50, 100, 50, 100},
        // rx = 2.02 > ry = 1.0: w = 1.0 x 50, stretched to CW - 2x = 51.
        {"fit, odd width", 101, 100, 50, 100, true, 25, 0, 50, 100, 51, 100},
        {"fit, same ratio", 200, 100, 40, 20, true, 0, 0, 200, 100, 200, 100},
        {"fit, same ratio shrinks", 60, 30, 400, 200, true, 0, 0, 60, 30, 60, 30},
        // rx = 0.5 < ry = 1.0: full width, height 0.5 x 90 = 45, centred in 100 rows.
        {"fit, wide frame", 100, 100, 200, 90, true, 0, 27, 100, 45, 100, 46},
        // rx = 3 > ry = 2: height 100, width 2 x 33 = 66.
        {"fit, tall frame", 99, 100, 33, 50, true, 16, 0, 66, 100, 67, 100},
        // rx = 100/3, w truncated: 7 x (100/3) = 233.33 rows -> 233.
        {"fit, truncation", 100, 300, 3, 7, true, 0, 33, 100, 233, 100, 234},
        {"plain, small frame", 100, 80, 40, 20, false, 30, 30, 40, 20, 40, 20},
        // Larger than the control: clipped at the top-left corner, no margins.
        {"plain, large frame", 100, 80, 640, 480, false, 0, 0, 100, 80, 100, 80},
        {"fit, large frame", 100, 80, 640, 480, true, 0, 2, 100, 75, 100, 76},
        {"fit, empty client", 0, 0, 640, 480, true, 0, 0, 0, 0, 0, 0},
        {"fit, no frame", 100, 80, 0, 0, true, 50, 40, 0, 0, 0, 0},
    };
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ImagePlacement p =
            PlaceImage(c.clientWidth, c.clientHeight, c.frameWidth, c.rows, c.fit);
        EXPECT_EQ(c.x, p.x);
        EXPECT_EQ(c.y, p.y);
        EXPECT_EQ(c.w, p.width);
        EXPECT_EQ(c.h, p.height);
        EXPECT_EQ(c.destWidth, p.destWidth);
        EXPECT_EQ(c.destHeight, p.destHeight);
    }
}

TEST(PreviewGeometry, DisplayRowsStopAt4096) {
    EXPECT_EQ(1, DisplayRows(1));
    EXPECT_EQ(4095, DisplayRows(4095));
    EXPECT_EQ(4096, DisplayRows(4096));
    EXPECT_EQ(4096, DisplayRows(5000));
}

TEST(PreviewGeometry, MarginsSurroundTheImageWithTheOddPixelRightAndBottom) {
    // 101 x 100 with a 50 x 100 image at x 25: left margin 25 wide, right margin 26.
    const ImagePlacement across = PlaceImage(101, 100, 50, 100, false);
    EXPECT_EQ((std::vector<PixelRect>{{0, 0, 25, 100}, {75, 0, 26, 100}}),
              MarginRects(101, 100, across));

    // Margins on all four sides: the top and bottom ones lie between the left and right ones.
    const ImagePlacement small = PlaceImage(100, 81, 40, 20, false);
    EXPECT_EQ((std::vector<PixelRect>{
                  {0, 0, 30, 81}, {70, 0, 30, 81}, {30, 0, 40, 30}, {30, 50, 40, 31}}),
              MarginRects(100, 81, small));

    // An image touching the left edge but one column short of the right one.
    const ImagePlacement oneColumn = PlaceImage(41, 20, 40, 20, false);
    EXPECT_EQ((std::vector<PixelRect>{{40, 0, 1, 20}}), MarginRects(41, 20, oneColumn));

    const ImagePlacement filling = PlaceImage(100, 80, 640, 480, false);
    EXPECT_TRUE(MarginRects(100, 80, filling).empty());
}

TEST(PreviewGeometry, TallFramesCopyTheirTopRows) {
    // 10 pixels wide (stride 12), 5000 rows: the top 4096 rows are the last 4096 x 12 bytes.
    const uint32_t frameBytes = 12 * 5000;
    const uint32_t shownBytes = 12 * 4096;
    EXPECT_EQ(int64_t(12 * 904),
              DisplayBitsOffset(10, 5000, frameBytes, 4096, shownBytes, frameBytes));
    // Frames of at most 4096 rows are copied from their first byte.
    EXPECT_EQ(0, DisplayBitsOffset(10, 4096, 12 * 4096, 4096, 12 * 4096, 12 * 4096));
    EXPECT_EQ(0, DisplayBitsOffset(10, 30, 360, 30, 360, 360));
}

TEST(PreviewGeometry, FramesTooShortForTheCopyAreRefused) {
    // One byte short of 30 rows of stride 12.
    EXPECT_EQ(-1, DisplayBitsOffset(10, 30, 360, 30, 360, 359));
    // A frame with no data at all.
    EXPECT_EQ(-1, DisplayBitsOffset(10, 30, 360, 30, 360, 0));
    // A tall frame whose data is shorter than its header says.
    EXPECT_EQ(-1, DisplayBitsOffset(10, 5000, 12 * 5000, 4096, 12 * 4096, 12 * 4999));
    // Headers that disagree: the drawn part larger than the frame.
    EXPECT_EQ(-1, DisplayBitsOffset(10, 5000, 100, 4096, 12 * 4096, 12 * 5000));
    EXPECT_EQ(-1, DisplayBitsOffset(0, 30, 360, 30, 360, 360));
    EXPECT_EQ(-1, DisplayBitsOffset(10, 30, 360, 31, 360, 12 * 31));
}

}  // namespace
}  // namespace kx
