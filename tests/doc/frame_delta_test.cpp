#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "doc/frame_delta.h"

namespace kx {

std::ostream& operator<<(std::ostream& os, const PixelRect& r) {
    return os << "{" << r.left << "," << r.top << " " << r.width << "x" << r.height << "}";
}

namespace {

// A frame drawn as text rows from the top, one digit per pixel, kept bottom-up with a stride of
// the width rounded up to 4 as the document keeps it.
struct TextFrame {
    explicit TextFrame(const std::vector<std::string>& rows)
        : width(int32_t(rows[0].size())),
          height(int32_t(rows.size())),
          stride((uint32_t(width) + 3) / 4 * 4),
          pixels(size_t(stride) * rows.size(), 0xEE) {
        for (size_t y = 0; y < rows.size(); ++y) {
            for (size_t x = 0; x < rows[y].size(); ++x) {
                pixels[(rows.size() - 1 - y) * stride + x] = uint8_t(rows[y][x] - '0');
            }
        }
    }
    FrameView View() const { return FrameView(pixels.data(), width, height, stride); }

    int32_t width, height;
    uint32_t stride;
    std::vector<uint8_t> pixels;
};

TEST(FrameDelta, ChangedRectTable) {
    struct Row {
        const char* what;
        std::vector<std::string> before, after;
        PixelRect expected;
    };
    const Row rows[] = {
        {"same", {"123", "456"}, {"123", "456"}, {}},
        {"one pixel", {"000", "000", "000"}, {"000", "050", "000"}, {1, 1, 1, 1}},
        {"corners", {"00000", "00000", "00000"}, {"10000", "00000", "00002"}, {0, 0, 5, 3}},
        {"right column", {"000", "000"}, {"001", "000"}, {2, 0, 1, 1}},
        {"bottom row", {"000", "000"}, {"000", "110"}, {0, 1, 2, 1}},
        {"two spots", {"00000", "00000", "00000"}, {"00000", "03000", "00030"}, {1, 1, 3, 2}},
    };
    for (const Row& row : rows) {
        const TextFrame a(row.before), b(row.after);
        EXPECT_EQ(row.expected, ChangedRect(a.View(), b.View())) << row.what;
    }
}

TEST(FrameDelta, SizesThatDifferGiveNoRect) {
    const TextFrame a({"00", "00"}), b({"000", "001"});
    EXPECT_TRUE(ChangedRect(a.View(), b.View()).Empty());
}

TEST(FrameDelta, PixelTurningTransparentIsSeenOnlyInsideTheRect) {
    const TextFrame a({"1200", "0000"}), b({"0200", "0000"});
    EXPECT_TRUE(AnyPixelTurnsTo(a.View(), b.View(), {0, 0, 1, 1}, 0));
    EXPECT_FALSE(AnyPixelTurnsTo(a.View(), b.View(), {1, 0, 3, 2}, 0));
    EXPECT_FALSE(AnyPixelTurnsTo(b.View(), a.View(), {0, 0, 4, 2}, 0));
}

TEST(FrameDelta, ColourUsesOfARectAndTheUsedList) {
    const TextFrame a({"1227", "0337"});
    ColourUses uses{};
    CountColourUses(a.View(), {1, 0, 3, 2}, uses);
    EXPECT_EQ(2u, uses[2]);
    EXPECT_EQ(2u, uses[3]);
    EXPECT_EQ(2u, uses[7]);
    EXPECT_EQ(0u, uses[1]);
    EXPECT_EQ((std::vector<uint8_t>{2, 3, 7}), UsedColours(uses));
    EXPECT_EQ(7, HighestUsedIndex(uses));
}

}  // namespace
}  // namespace kx
