// The tool strip's row arithmetic: placement of caption, cells and chevron; the entry under a
// point.
#include "controls/strip_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx {

std::ostream& operator<<(std::ostream& os, const StripGeometry& g) {
    return os << "{top " << g.stripTop << " cell " << g.cellSize << " row " << g.stripLeft << ".."
              << g.stripRight << " caption " << g.captionLeft << "+" << g.captionWidth
              << " buttons " << g.firstButtonX << "+" << g.buttonsWidth << " chevron " << g.chevronX
              << "+" << g.chevronWidth << "}";
}

namespace {

using namespace StripWindowStyle;

// Entries from a pattern: B a button, S a separator, H a hidden button, D a disabled button.
std::vector<StripButton> Entries(const std::string& pattern) {
    std::vector<StripButton> entries;
    int32_t id = 100;
    for (char c : pattern) {
        StripButton e;
        if (c != 'S') {
            e.id = id++;
            e.state = c == 'H' ? StripState::kHidden : c == 'D' ? StripState::kDisabled : 0;
        }
        entries.push_back(e);
    }
    return entries;
}

// The lower strip of the main window: open, save | first, previous | play | next, last.
constexpr char kPlayBar[] = "BBSBBSBSBB";
// The upper strip: fit, repeat, transparency | context help.
constexpr char kViewBar[] = "BBBSB";

struct LayoutCase {
    const char* name;
    const char* pattern;
    // Client width and height, style, picture size, caption, measured text width and height.
    StripMetrics metrics;
    // Top, cell, row left and right, caption left and width, first x and width of the placed
    // entries, chevron x and width.
    StripGeometry expected;
    std::vector<int32_t> xs;
};

TEST(StripLayout, PlacesCaptionCellsAndChevron) {
    const LayoutCase cases[] = {
        // Flat, centred vertically in 33 rows: (33 - 22) >> 1 = 5; everything from the left.
        {"lower strip, left",
         kPlayBar,
         {200, 33, kFlat | kVCenter | kLeft, 16, false, 0, 0},
         {5, 22, 0, 200, 0, 0, 0, 178, -1, 0},
         {0, 22, 44, 52, 74, 96, 104, 126, 134, 156}},
        // Framed: the row is 1..199 x 1..26; caption 13 / 2 + 40 = 46 wide at the left, the
        // buttons against the right edge, the cells on the bottom edge.
        {"upper strip, caption left",
         kViewBar,
         {200, 27, kBottom, 16, true, 40, 13},
         {4, 22, 1, 199, 1, 46, 103, 96, -1, 0},
         {103, 125, 147, 169, 177}},
        {"upper strip, right",
         kViewBar,
         {200, 27, kBottom | kRight, 16, true, 40, 13},
         {4, 22, 1, 199, 57, 46, 103, 96, -1, 0},
         {103, 125, 147, 169, 177}},
        // (198 - 46 - 96) >> 1 = 28 from the left edge 1.
        {"upper strip, centred",
         kViewBar,
         {200, 27, kBottom | kCenter, 16, true, 40, 13},
         {4, 22, 1, 199, 29, 46, 75, 96, -1, 0},
         {75, 97, 119, 141, 149}},
        // 100 wide: chevron 9 at 91, room 91; the entries from the end leave until 74 fits.
        {"overflow",
         kPlayBar,
         {100, 22, kFlat | kVCenter | kLeft, 16, false, 0, 0},
         {0, 22, 0, 100, 0, 0, 17, 74, 91, 9},
         {17, 39, 61, 69, -1, -1, -1, -1, -1, -1}},
        // Room 58 - 9 - 46 = 3: no button fits; the caption keeps its width.
        {"overflow, room for no button",
         kViewBar,
         {60, 24, kBottom, 16, true, 40, 13},
         {1, 22, 1, 59, 1, 46, 50, 0, 50, 9},
         {-1, -1, -1, -1, -1}},
        // Room 58 - 9 - 86 below 0: the caption takes the row up to the chevron.
        {"caption does not fit",
         kViewBar,
         {60, 24, kBottom, 16, true, 80, 13},
         {1, 22, 1, 59, 1, 49, -1, 0, 50, 9},
         {-1, -1, -1, -1, -1}},
        {"room exactly 0",
         "BB",
         {55, 22, kFlat, 16, true, 40, 12},
         {0, 22, 0, 55, 0, 46, -1, 0, 46, 9},
         {-1, -1}},
        // 15 rows: cells of 16 + 4 stick out, (15 - 20) >> 1 = -3.
        {"low row, vertical placement",
         "BB",
         {100, 15, kFlat | kVCenter, 16, false, 0, 0},
         {-3, 20, 0, 100, 0, 0, 60, 40, -1, 0},
         {60, 80}},
        // Without vertical placement the cells are as tall as the row (pictures shrink).
        {"no vertical placement",
         "B",
         {100, 14, kFlat | kLeft, 16, false, 0, 0},
         {0, 14, 0, 100, 0, 0, 0, 14, -1, 0},
         {0}},
        // A caption 26 high needs 28 rows: the cells grow to it.
        {"tall caption",
         "B",
         {100, 30, kFlat | kTop | kLeft, 16, true, 20, 26},
         {0, 28, 0, 100, 0, 33, 33, 28, -1, 0},
         {33}},
        {"hidden entries stay hidden in an overflow",
         "BHB",
         {40, 22, kFlat | kLeft, 16, false},
         {0, 22, 0, 40, 0, 0, 9, 22, 31, 9},
         {9, -2, -1}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<StripButton> entries = Entries(c.pattern);
        EXPECT_EQ(c.expected, LayOutStrip(c.metrics, entries));
        std::vector<int32_t> xs;
        for (const StripButton& e : entries) {
            xs.push_back(e.x);
        }
        EXPECT_EQ(c.xs, xs);
    }
}

TEST(StripLayout, HitTest) {
    // The lower strip, 100 wide: 17, 39, separator 61, 69, chevron 91..99, rows 0..21.
    std::vector<StripButton> entries = Entries(kPlayBar);
    const StripGeometry g = LayOutStrip({100, 22, kFlat | kVCenter | kLeft}, entries);
    struct Hit {
        int32_t x, y, expected;
    };
    const Hit hits[] = {{16, 5, kHitBeside},    {17, 0, 0},           {38, 21, 0},
                        {61, 5, kHitBeside},    {69, 5, 3},           {90, 5, 3},
                        {91, 5, kChevronIndex}, {100, 5, kHitBeside}, {20, -1, kHitOffRow},
                        {20, 22, kHitOffRow}};
    for (const Hit& c : hits) {
        EXPECT_EQ(c.expected, StripHitTest(g, entries, c.x, c.y)) << "at " << c.x << "," << c.y;
    }
}

}  // namespace
}  // namespace kx
