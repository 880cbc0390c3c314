#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/recording_progress.h"
#include "doc/rle_test_support.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;
using test::MovieOf;
using test::RecordingProgress;

BitmapInfoHeader Format(int32_t width, int32_t height, uint16_t bits) {
    BitmapInfoHeader f;
    f.biWidth = width;
    f.biHeight = height;
    f.biBitCount = bits;
    return f;
}

TEST(ExpandTo8Bit, FourBitRowsTakeThePaddingNibbles) {
    // 5 pixels wide: source rows of 4 bytes; output pixels 5 ... 7 come from the padding nibbles.
    FrameChunk frame;
    frame.data = {0x12, 0x34, 0x5A, 0xBC,   // row 0: 1 2 3 4 5, padding A B C
                  0xFE, 0xDC, 0xBA, 0x98};  // row 1
    BitmapInfoHeader f = Format(5, 2, 4);
    ASSERT_EQ(1, frame.ExpandTo8Bit(nullptr, f, 4));
    EXPECT_EQ((Bytes{1, 2, 3, 4, 5, 0xA, 0xB, 0xC, 0xF, 0xE, 0xD, 0xC, 0xB, 0xA, 9, 8}),
              frame.data);
    EXPECT_EQ(8, f.biBitCount);
    EXPECT_EQ(16u, f.biSizeImage);
}

TEST(ExpandTo8Bit, OneBitRowsOf36Pixels) {
    // 36 pixels: stride8 36, source rows of 8 bytes of which the first 5 hold the pixels.
    Bytes source = {0x80, 0x01, 0xFF, 0x00, 0xA0, 0x77, 0x77, 0x77,   // row 0
                    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};  // row 1
    FrameChunk frame;
    frame.data = source;
    BitmapInfoHeader f = Format(36, 2, 1);
    ASSERT_EQ(1, frame.ExpandTo8Bit(nullptr, f, 1));
    ASSERT_EQ(72u, frame.data.size());
    Bytes row0(36, 0);
    row0[0] = 1;
    row0[15] = 1;
    for (int i = 16; i < 24; ++i) {
        row0[size_t(i)] = 1;
    }
    row0[32] = 1;
    row0[34] = 1;
    EXPECT_EQ(row0, Bytes(frame.data.begin(), frame.data.begin() + 36));
    Bytes row1(36, 0);
    row1[31] = 1;
    EXPECT_EQ(row1, Bytes(frame.data.begin() + 36, frame.data.end()));
    EXPECT_EQ(36u * 2, f.biSizeImage);
}

TEST(ExpandTo8Bit, FailuresLeaveTheFrameAsItWas) {
    // The last row needs 3 bytes of the 4-bit source (5 pixels + padding = 8 nibbles = 4 bytes).
    FrameChunk frame;
    frame.data = {0x12, 0x34, 0x56, 0x78, 0x12, 0x34, 0x56};
    const Bytes before = frame.data.Copy();
    BitmapInfoHeader f = Format(5, 2, 4);
    EXPECT_EQ(0, frame.ExpandTo8Bit(nullptr, f, 4));
    EXPECT_EQ(before, frame.data);
    EXPECT_EQ(4, f.biBitCount);

    EXPECT_EQ(0, frame.ExpandTo8Bit(nullptr, f, 2));  // only 1 and 4 bits are expanded
    BitmapInfoHeader absurd = Format(0x7FFFFFFF, 0x7FFFFFFF, 1);
    EXPECT_EQ(0, frame.ExpandTo8Bit(nullptr, absurd, 1));
    BitmapInfoHeader empty = Format(0, 3, 1);
    EXPECT_EQ(0, frame.ExpandTo8Bit(nullptr, empty, 1));
    EXPECT_EQ(before, frame.data);
}

TEST(ExpandTo8Bit, ReportsEvery128RowsAndTheRest) {
    FrameChunk frame;
    frame.data.assign(4 * 300, 0xFF);  // 1-bit, 8 wide: 4-byte rows
    BitmapInfoHeader f = Format(8, 300, 1);
    RecordingProgress sink;
    ASSERT_EQ(1, frame.ExpandTo8Bit(&sink, f, 1));
    EXPECT_EQ((std::vector<RecordingProgress::Entry>{{128, 0}, {128, 0}, {44, 0}}), sink.reports);
    EXPECT_EQ(Bytes(8 * 300, 1), frame.data);
}

TEST(ExpandTo8Bit, Cancel) {
    // Cancel at a 128-row step: the frame stays packed.
    FrameChunk frame;
    frame.data.assign(4 * 300, 0xFF);
    BitmapInfoHeader f = Format(8, 300, 1);
    RecordingProgress early(2);
    EXPECT_EQ(0, frame.ExpandTo8Bit(&early, f, 1));
    EXPECT_EQ(2u, early.reports.size());
    EXPECT_EQ(4u * 300, frame.data.size());
    EXPECT_EQ(1, f.biBitCount);

    // Cancel at the last report fails although the frame is already converted.
    RecordingProgress late(3);
    EXPECT_EQ(0, frame.ExpandTo8Bit(&late, f, 1));
    EXPECT_EQ(8u * 300, frame.data.size());
    EXPECT_EQ(8, f.biBitCount);
}

PaletteTable NumberedPalette(int32_t count) {
    PaletteTable p;
    for (int32_t i = 0; i < count; ++i) {
        p.entries[size_t(i)] = {uint8_t(i), uint8_t(i + 100), uint8_t(i + 200), 0};
    }
    p.count = count;
    return p;
}

TEST(CompactPalette, DropsUnusedEntries) {
    MovieList movie = MovieOf({{0, 3, 3, 0, 7, 7, 0, 0}, {7, 3, 0, 0, 0, 0, 3, 3}});
    PaletteTable palette = NumberedPalette(16);
    movie.remap.fill(0xEE);
    ASSERT_EQ(1, movie.CompactPalette(nullptr, &palette, 2));
    EXPECT_EQ(3, palette.count);
    EXPECT_EQ(0, movie.remap[0]);
    EXPECT_EQ(2, movie.remap[3]);
    EXPECT_EQ(5, movie.remap[7]);
    EXPECT_EQ(0, movie.remap[5]);  // unused entries map to 0
    EXPECT_EQ(0, palette.entries[0].blue);
    EXPECT_EQ(3, palette.entries[1].blue);
    EXPECT_EQ(7, palette.entries[2].blue);
    EXPECT_EQ(207, palette.entries[2].red);
    EXPECT_EQ(0, palette.entries[3].blue);  // the rest is zero
    EXPECT_EQ(0, palette.entries[15].red);
}

TEST(CompactPalette, AValueMetOnceIsFoundWhereverItIs) {
    // Frames of 36 bytes (four whole words and a part word) that repeat, or repeat their own
    // words, but for one pixel of value 9.
    const struct {
        size_t frame;
        size_t at;
    } cases[] = {{0, 0}, {0, 7}, {0, 8}, {0, 17}, {0, 35}, {1, 0}, {1, 12}, {1, 32}, {2, 35}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.frame) + ", " + std::to_string(c.at));
        std::vector<Bytes> frames(3, Bytes(36, 5));
        frames[c.frame][c.at] = 9;
        MovieList movie = MovieOf(frames);
        PaletteTable palette = NumberedPalette(16);
        ASSERT_EQ(1, movie.CompactPalette(nullptr, &palette, 3));
        EXPECT_EQ(2, palette.count);
        EXPECT_EQ(8, movie.remap[9]);  // 9 becomes entry 1
    }
}

TEST(CompactPalette, RowPaddingCountsEntryZero) {
    // Width 5: padding bytes are 0, so entry 0 is used although no pixel shows it.
    MovieList movie = MovieOf({{4, 4, 4, 4, 4, 0, 0, 0}});
    PaletteTable palette = NumberedPalette(8);
    ASSERT_EQ(1, movie.CompactPalette(nullptr, &palette, 1));
    EXPECT_EQ(2, palette.count);
    EXPECT_EQ(3, movie.remap[4]);
}

TEST(CompactPalette, FailuresAndTheSkipPath) {
    MovieList movie = MovieOf({{1, 2, 3, 4}});
    PaletteTable empty;
    EXPECT_EQ(0, movie.CompactPalette(nullptr, &empty, 1));
    PaletteTable palette = NumberedPalette(8);
    EXPECT_EQ(0, movie.CompactPalette(nullptr, &palette, 0));
    EXPECT_EQ(0, movie.CompactPalette(nullptr, &palette, 2));  // more frames than held
    EXPECT_EQ(8, palette.count);

    movie.remap.fill(9);
    ASSERT_EQ(1, movie.CompactPalette(nullptr, nullptr, 1));
    EXPECT_EQ(0, movie.remap[9]);
    movie.remap.fill(9);
    movie.remapped = 1;
    ASSERT_EQ(1, movie.CompactPalette(nullptr, &palette, 1));
    EXPECT_EQ(0, movie.remap[200]);
    EXPECT_EQ(8, palette.count);
}

TEST(CompactPalette, ReportsPerFrameAndCancelKeepsThePalette) {
    MovieList movie = MovieOf({Bytes(1000, 1), Bytes(1000, 2), Bytes(1000, 3)});
    PaletteTable palette = NumberedPalette(4);
    RecordingProgress sink;
    ASSERT_EQ(1, movie.CompactPalette(&sink, &palette, 3));
    EXPECT_EQ((std::vector<RecordingProgress::Entry>{{3, 0}, {3, 0}, {3, 0}}), sink.reports);

    MovieList again = MovieOf({Bytes(1000, 1), Bytes(1000, 2), Bytes(1000, 3)});
    PaletteTable kept = NumberedPalette(4);
    RecordingProgress cancel(2);
    EXPECT_EQ(0, again.CompactPalette(&cancel, &kept, 3));
    EXPECT_EQ(2u, cancel.reports.size());
    EXPECT_EQ(4, kept.count);
    EXPECT_EQ(1, kept.entries[1].blue);
}

struct TransparencyCase {
    uint8_t red, green, blue;
    uint8_t usable;
};

TEST(FindTransparentIndex, TopLeftPixelAndUsableColours) {
    const TransparencyCase cases[] = {
        {255, 0, 255, 1}, {0, 0, 0, 1},      {128, 128, 128, 1}, {250, 0, 0, 0},
        {1, 2, 3, 0},     {16, 255, 240, 1}, {255, 255, 17, 0},
    };
    for (const TransparencyCase& c : cases) {
        // 4 x 3 frame: the top-left pixel is the first byte of the last row.
        MovieList movie = MovieOf({{1, 1, 1, 1, 1, 1, 1, 1, 5, 1, 1, 1}});
        PaletteTable palette;
        palette.count = 8;
        palette.entries[5] = {c.blue, c.green, c.red, 0};
        movie.FindTransparentIndex(palette, 3);
        EXPECT_EQ(5, movie.transparentIndex);
        EXPECT_EQ(c.usable, movie.transparencyUsable)
            << int(c.red) << "," << int(c.green) << "," << int(c.blue);
    }
}

TEST(FindTransparentIndex, NoFrameGivesIndexZero) {
    MovieList movie;
    movie.transparentIndex = 7;
    movie.transparencyUsable = 1;
    movie.FindTransparentIndex(PaletteTable{}, 3);
    EXPECT_EQ(0, movie.transparentIndex);
    EXPECT_EQ(0, movie.transparencyUsable);
}

}  // namespace
}  // namespace kx
