#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/recording_progress.h"
#include "doc/rle_test_support.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Frame8;
using test::RecordingProgress;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

BitmapInfoHeader Rle8(int32_t width, int32_t height) {
    BitmapInfoHeader f = Frame8(width, height);
    f.biCompression = 1;
    return f;
}

BitmapInfoHeader Rle4(int32_t width, int32_t height) {
    BitmapInfoHeader f = Frame8(width, height);
    f.biBitCount = 4;
    f.biCompression = 2;
    return f;
}

// Decodes codes and returns the plain frame; empty when the decoder fails.
Bytes Decode(BitmapInfoHeader format, const Bytes& codes, const Bytes* base = nullptr) {
    FrameChunk chunk;
    chunk.data = codes;
    if (chunk.DecodeRle(nullptr, format, base ? base->data() : nullptr, true) == 0) {
        EXPECT_EQ(codes, chunk.data) << "a failed decoding changed the frame";
        return {};
    }
    return chunk.data.Copy();
}

TEST(DecodeRle8, RunsAbsoluteRunsAndLineEnds) {
    BitmapInfoHeader format = Rle8(8, 2);
    FrameChunk chunk;
    chunk.data = {0x08, 0x05, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01};
    ASSERT_EQ(1, chunk.DecodeRle(nullptr, format, nullptr, true));
    EXPECT_EQ((Bytes{5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6}), chunk.data);
    EXPECT_EQ(0u, format.biCompression);

    // Width 5 (pad 3): an odd absolute run with its pad byte, a short row filled with 0.
    EXPECT_EQ(
        (Bytes{1, 2, 3, 4, 5, 0, 0, 0, 7, 7, 0, 0, 0, 0, 0, 0}),
        Decode(Rle8(5, 2), {0x00, 0x05, 1, 2, 3, 4, 5, 0x00, 0x00, 0x00, 0x02, 0x07, 0x00, 0x01}));
}

TEST(DecodeRle8, SkippedPixelsComeFromTheBase) {
    const Bytes base = {1, 1, 1, 1, 1, 9, 9, 9, 2, 2, 2, 2,
                        2, 9, 9, 9, 3, 3, 3, 3, 3, 9, 9, 9};  // 5 x 3, pad bytes 9 to see them
    // A pixel, a delta of 2 pixels, a pixel, end of line (rest of row from the base, pad 0),
    // then end of bitmap (everything else from the base, pad included).
    EXPECT_EQ(
        (Bytes{7, 1, 1, 7, 1, 0, 0, 0, 2, 2, 2, 2, 2, 9, 9, 9, 3, 3, 3, 3, 3, 9, 9, 9}),
        Decode(Rle8(5, 3), {0x01, 0x07, 0x00, 0x02, 0x02, 0x00, 0x01, 0x07, 0x00, 0x00, 0x00, 0x01},
               &base));
    // A delta up one row and right by 1.
    EXPECT_EQ((Bytes{1, 1, 1, 1, 1, 9, 9, 9, 2, 6, 2, 2, 2, 9, 9, 9, 3, 3, 3, 3, 3, 9, 9, 9}),
              Decode(Rle8(5, 3), {0x00, 0x02, 0x01, 0x01, 0x01, 0x06, 0x00, 0x01}, &base));
}

TEST(DecodeRle8, DataEndingWithEndOfLineEndsTheBitmap) {
    const Bytes base = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ((Bytes{4, 4, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
              Decode(Rle8(8, 2), {0x02, 0x04, 0x00, 0x00}, &base));
    EXPECT_EQ((Bytes{4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
              Decode(Rle8(8, 2), {0x02, 0x04, 0x00, 0x00}));
}

TEST(DecodeRle8, RunsPastTheRowEndAreClipped) {
    // Width 5, stride 8: a writer that encodes the pad pixels, one that writes one pixel more,
    // and an absolute run of 7 whose last 2 pixels are dropped (its bytes still consumed).
    const Bytes expected = {4, 4, 4, 4, 4, 0, 0, 0, 6, 6, 6, 6, 6, 0, 0, 0, 1, 2, 3, 4, 5, 0, 0, 0};
    EXPECT_EQ(expected,
              Decode(Rle8(5, 3), {0x08, 0x04, 0x00, 0x00, 0x06, 0x06, 0x00, 0x00, 0x00, 0x07,
                                  1,    2,    3,    4,    5,    6,    7,    0x00, 0x00, 0x01}));
    // A second run at the row's end is dropped too; the end of line starts the next row.
    EXPECT_EQ((Bytes{4, 4, 4, 4, 4, 0, 0, 0, 6, 6, 6, 6, 6, 0, 0, 0}),
              Decode(Rle8(5, 2), {0x05, 0x04, 0x02, 0x09, 0x00, 0x00, 0x05, 0x06, 0x00, 0x01}));
}

// Rows of the given pixel bytes of one value each, every row followed by padBytes bytes of pad.
Bytes Rows(std::initializer_list<uint8_t> values, size_t pixelBytes, size_t padBytes = 0,
           uint8_t pad = 0) {
    Bytes out;
    for (const uint8_t v : values) {
        out.insert(out.end(), pixelBytes, v);
        out.insert(out.end(), padBytes, pad);
    }
    return out;
}

struct LineCase {
    const char* what;
    BitmapInfoHeader format;
    Bytes codes;
    Bytes withBase;     // empty: only decoded without a base
    Bytes withoutBase;  // empty: only decoded against the base
};

void CheckLineCases(const Bytes& base, const std::vector<LineCase>& cases) {
    for (const LineCase& c : cases) {
        if (!c.withBase.empty()) {
            EXPECT_EQ(c.withBase, Decode(c.format, c.codes, &base)) << c.what << ", with a base";
        }
        if (!c.withoutBase.empty()) {
            EXPECT_EQ(c.withoutBase, Decode(c.format, c.codes)) << c.what << ", without a base";
        }
    }
}

TEST(DecodeRle8, EndOfLineWithoutPixelsSkipsTheRowOfAnUnpaddedFrame) {
    // Width 8: rows of 8 bytes without pad, so a row start is also the previous row's end.
    const Bytes base = Rows({1, 2, 3, 4}, 8);
    CheckLineCases(
        base,
        {
            {"end of line at the start of the data",
             Rle8(8, 3),
             {0x00, 0x00, 0x08, 0x05, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01},
             Rows({1, 5, 6}, 8),
             Rows({0, 5, 6}, 8)},
            {"two ends of line one after the other",
             Rle8(8, 3),
             {0x08, 0x05, 0x00, 0x00, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01},
             Rows({5, 2, 6}, 8),
             Rows({5, 0, 6}, 8)},
            {"a bare end of line as the last code",
             Rle8(8, 3),
             {0x08, 0x05, 0x00, 0x00, 0x00, 0x00},
             Rows({5, 2, 3}, 8),
             Rows({5, 0, 0}, 8)},
            {"delta up a row from column 0, then end of line",
             Rle8(8, 4),
             {0x08, 0x05, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01},
             Rows({5, 2, 3, 6}, 8),
             {}},
            {"delta up from the start of the data, then end of line",
             Rle8(8, 4),
             {0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01},
             Rows({1, 2, 6, 4}, 8),
             {}},
            // A delta right onto the end of a row's pixels completes that row.
            {"delta right to the row's end, then end of line",
             Rle8(8, 4),
             {0x08, 0x05, 0x00, 0x00, 0x00, 0x02, 0x08, 0x00, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01},
             Rows({5, 2, 6, 4}, 8),
             {}},
            {"delta right and up to a row's end, then end of line",
             Rle8(8, 4),
             {0x04, 0x05, 0x00, 0x02, 0x04, 0x01, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01},
             Bytes{5, 5, 5, 5, 1, 1, 1, 1} + Rows({2, 6, 4}, 8),
             {}},
        });
}

TEST(DecodeRle8, EndOfLineWithoutPixelsSkipsTheRowOfAPaddedFrame) {
    // Width 6, stride 8: the pad tells a row's end from the next row's start. Base pad bytes are
    // 9: the end of bitmap copies them, an end of line writes 0.
    const Bytes base = Rows({1, 2, 3}, 6, 2, 9);
    CheckLineCases(base, {
                             {"end of line at the start of the data",
                              Rle8(6, 3),
                              {0x00, 0x00, 0x06, 0x05, 0x00, 0x00, 0x06, 0x06, 0x00, 0x01},
                              Rows({1, 5}, 6, 2) + Rows({6}, 6, 2, 9),
                              Rows({0, 5, 6}, 6, 2)},
                             {"two ends of line one after the other",
                              Rle8(6, 3),
                              {0x06, 0x05, 0x00, 0x00, 0x00, 0x00, 0x06, 0x06, 0x00, 0x01},
                              Rows({5, 2}, 6, 2) + Rows({6}, 6, 2, 9),
                              Rows({5, 0, 6}, 6, 2)},
                             {"delta up a row from column 0, then end of line",
                              Rle8(6, 3),
                              {0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x06, 0x06, 0x00, 0x01},
                              Rows({1}, 6, 2, 9) + Rows({2}, 6, 2) + Rows({6}, 6, 2, 9),
                              {}},
                         });
}

TEST(DecodeRle8, LineEndsPastAnUnpaddedFrameFail) {
    // As in padded frames: once the last row has ended, an end of line would skip a row that the
    // frame does not have.
    const Bytes base = Rows({1, 2}, 8);
    const struct {
        const char* what;
        Bytes codes;
    } cases[] = {
        {"end of line after the last row's end of line",
         {0x08, 0x05, 0x00, 0x00, 0x08, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}},
        {"bare ends of line for more rows than the frame has",
         {0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {"delta just past the last row, then end of line",
         {0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01}},
    };
    for (const auto& c : cases) {
        BitmapInfoHeader format = Rle8(8, 2);
        FrameChunk chunk;
        chunk.data = c.codes;
        EXPECT_EQ(0, chunk.DecodeRle(nullptr, format, base.data(), true)) << c.what;
        EXPECT_EQ(c.codes, chunk.data) << c.what;
    }
    // One end of line after the last row, before the end of bitmap, is that row's own.
    EXPECT_EQ(Rows({5, 6}, 8),
              Decode(Rle8(8, 2), {0x08, 0x05, 0x00, 0x00, 0x08, 0x06, 0x00, 0x00, 0x00, 0x01}));
}

TEST(DecodeRle4, EndOfLineWithoutPixelsSkipsTheRowOfAnUnpaddedFrame) {
    // Width 8: 4 bytes of packed pixels per row, no pad.
    const Bytes base = Rows({0xAA, 0xBB, 0xCC}, 4);
    CheckLineCases(base, {
                             {"end of line at the start of the data",
                              Rle4(8, 3),
                              {0x00, 0x00, 0x08, 0x12, 0x00, 0x00, 0x08, 0x34, 0x00, 0x01},
                              Rows({0xAA, 0x12, 0x34}, 4),
                              Rows({0x00, 0x12, 0x34}, 4)},
                             {"two ends of line one after the other",
                              Rle4(8, 3),
                              {0x08, 0x12, 0x00, 0x00, 0x00, 0x00, 0x08, 0x34, 0x00, 0x01},
                              Rows({0x12, 0xBB, 0x34}, 4),
                              Rows({0x12, 0x00, 0x34}, 4)},
                             // Width 7: the row's last byte is completed by the end of line (its
                             // padding nibble), which makes the row complete.
                             {"odd width whose last byte the end of line completes",
                              Rle4(7, 2),
                              {0x07, 0x12, 0x00, 0x00, 0x07, 0x34, 0x00, 0x01},
                              Bytes{0x12, 0x12, 0x12, 0x1A, 0x34, 0x34, 0x34, 0x3B},
                              Bytes{0x12, 0x12, 0x12, 0x10, 0x34, 0x34, 0x34, 0x30}},
                         });
}

TEST(DecodeRle, DeltasWithoutABaseSkipWithZero) {
    const struct {
        BitmapInfoHeader format;
        Bytes codes;
        Bytes plain;
    } cases[] = {
        // 8 bits: a row up, then a run; a pixel right, a run, an end of line; 4 bits.
        {Rle8(4, 2), {0x00, 0x02, 0x01, 0x01, 0x02, 0x09, 0x00, 0x01}, {0, 0, 0, 0, 0, 9, 9, 0}},
        {Rle8(3, 2),
         {0x00, 0x02, 0x01, 0x00, 0x01, 0x05, 0x00, 0x00, 0x03, 0x06, 0x00, 0x01},
         {0, 5, 0, 0, 6, 6, 6, 0}},
        {Rle4(6, 1), {0x00, 0x02, 0x03, 0x00, 0x02, 0xAB, 0x00, 0x01}, {0x00, 0x0A, 0xB0, 0x00}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.plain, Decode(c.format, c.codes)) << "row " << &c - cases;
    }
}

TEST(DecodeRle8, FaultsFailWithTheirReasonAndLeaveTheFrame) {
    const Bytes base(16, 3);
    const struct {
        const char* what;
        Bytes codes;
        bool withBase;
        const char* reason;
    } cases[] = {
        {"run after the last row's end of line",
         {0x05, 0x01, 0x00, 0x00, 0x01, 0x02, 0x00, 0x01},
         false,
         "a run starts past the end of the frame at row 1"},
        {"absolute run after the last row",
         {0x05, 0x01, 0x00, 0x00, 0x00, 0x03, 1, 2, 3, 0, 0x00, 0x01},
         false,
         "an absolute run starts past the end of the frame at row 1"},
        {"end of line past the frame",
         {0x05, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01},
         false,
         "an end of line passes the end of the frame at row 1"},
        {"delta past the frame",
         {0x00, 0x02, 0x00, 0x02, 0x00, 0x01},
         true,
         "a delta passes the end of the frame at row 0"},
        {"delta right past the frame",
         {0x00, 0x02, 0x09, 0x01, 0x00, 0x01},
         true,
         "a delta passes the end of the frame at row 0"},
        {"codes after the end of bitmap",
         {0x00, 0x01, 0x05, 0x01},
         false,
         "codes follow the end of the bitmap at row 0"},
        {"no end of bitmap", {0x05, 0x01}, false, "the data has no end of bitmap at row 0"},
        {"half a code",
         {0x05, 0x01, 0x00},
         false,
         "the data ends in the middle of a code at row 0"},
        {"truncated absolute run",
         {0x00, 0x05, 1, 2, 3},
         false,
         "an absolute run is cut short by the end of the data at row 0"},
        {"truncated delta",
         {0x00, 0x02, 0x01},
         true,
         "a delta is cut short by the end of the data at row 0"},
        {"empty data", {}, false, "the data has no end of bitmap at row 0"},
    };
    for (const auto& c : cases) {
        BitmapInfoHeader format = Rle8(5, 1);
        FrameChunk chunk;
        chunk.data = c.codes;
        std::string reason;
        EXPECT_EQ(
            0, chunk.DecodeRle(nullptr, format, c.withBase ? base.data() : nullptr, true, &reason))
            << c.what;
        EXPECT_EQ(c.reason, reason) << c.what;
        EXPECT_EQ(c.codes, chunk.data) << c.what;
        EXPECT_EQ(1u, format.biCompression) << c.what;
    }
}

TEST(DecodeRle8, AFailingFrameIsNamedByTheMovieDecoder) {
    MovieList movie;
    movie.frames.resize(2);
    movie.frames[0].data = {0x05, 0x01, 0x00, 0x01};
    movie.frames[1].data = {0x00, 0x02, 0x00, 0x03, 0x00, 0x01};
    BitmapInfoHeader format = Rle8(5, 2);
    std::string reason;
    EXPECT_EQ(0, movie.DecodeFrames(nullptr, format, 2, true, 0, &reason));
    EXPECT_EQ("frame 1: a delta passes the end of the frame at row 0", reason);
}

TEST(DecodeRle8, AbsurdSizesFailWithoutAllocating) {
    FrameChunk chunk;
    chunk.data = {0x00, 0x01};
    BitmapInfoHeader huge = Rle8(0x7FFFFFFF, 0x7FFFFFFF);
    EXPECT_EQ(0, chunk.DecodeRle(nullptr, huge, nullptr, true));
    BitmapInfoHeader negative = Rle8(8, -2);
    EXPECT_EQ(0, chunk.DecodeRle(nullptr, negative, nullptr, true));
    BitmapInfoHeader justOver = Rle8(1 << 16, (1 << 13) + 1);  // 512 MiB + one row
    EXPECT_EQ(0, chunk.DecodeRle(nullptr, justOver, nullptr, true));
    EXPECT_EQ((Bytes{0x00, 0x01}), chunk.data);
}

TEST(DecodeRle4, RunsAlternateNibblesAndContinueAHalfByte) {
    // Width 5: rows of 3 bytes padded to 4.
    EXPECT_EQ((Bytes{0x12, 0x12, 0x10, 0x00}), Decode(Rle4(5, 1), {0x05, 0x12, 0x00, 0x01}));
    // 1 2 1, then 3 4 continues the half-filled byte.
    EXPECT_EQ((Bytes{0x12, 0x13, 0x40, 0x00}),
              Decode(Rle4(5, 1), {0x03, 0x12, 0x02, 0x34, 0x00, 0x01}));
    // Absolute runs: 5 nibbles from 3 bytes, padded to 4 bytes of data; then 3 nibbles from 2.
    EXPECT_EQ((Bytes{0x12, 0x34, 0x50, 0x00, 0xAB, 0xC0, 0x00, 0x00}),
              Decode(Rle4(5, 2), {0x00, 0x05, 0x12, 0x34, 0x50, 0x00, 0x00, 0x00, 0x00, 0x03, 0xAB,
                                  0xC0, 0x00, 0x01}));
}

TEST(DecodeRle4, DeltaMovesByPixelsAndKeepsTheOtherNibbleFromTheBase) {
    // 8 x 2: rows of 4 bytes. Pixel 7, skip 3 pixels, pixel 9, then the rest from the base.
    const Bytes base(8, 0xAB);
    EXPECT_EQ(
        (Bytes{0x7B, 0xAB, 0x9B, 0xAB, 0xAB, 0xAB, 0xAB, 0xAB}),
        Decode(Rle4(8, 2), {0x01, 0x70, 0x00, 0x02, 0x03, 0x00, 0x01, 0x90, 0x00, 0x01}, &base));
    // Up one row and right by 1 pixel from the start: the low nibble of row 1's first byte.
    EXPECT_EQ((Bytes{0xAB, 0xAB, 0xAB, 0xAB, 0xA5, 0xAB, 0xAB, 0xAB}),
              Decode(Rle4(8, 2), {0x00, 0x02, 0x01, 0x01, 0x01, 0x50, 0x00, 0x01}, &base));
}

TEST(DecodeRle4, HalfFilledByteAtALineEndTakesTheSkippedPixelFromTheBase) {
    const Bytes base(8, 0xAB);
    // One pixel, end of line: the low nibble of byte 0 and the rest of row 0 come from the base;
    // one pixel, end of bitmap: likewise for row 1.
    EXPECT_EQ((Bytes{0x7B, 0xAB, 0xAB, 0xAB, 0x8B, 0xAB, 0xAB, 0xAB}),
              Decode(Rle4(8, 2), {0x01, 0x70, 0x00, 0x00, 0x01, 0x80, 0x00, 0x01}, &base));
    // Without a base the skipped nibble is 0.
    EXPECT_EQ((Bytes{0x70, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00}),
              Decode(Rle4(8, 2), {0x01, 0x70, 0x00, 0x00, 0x01, 0x80, 0x00, 0x01}));
}

TEST(DecodeRle4, RunsAreClippedAtTheRowsPixelBytes) {
    // Width 5: 3 pixel bytes per row; a run of 8 fills them (the padding nibble included).
    EXPECT_EQ((Bytes{0x12, 0x12, 0x12, 0x00, 0x33, 0x30, 0x00, 0x00}),
              Decode(Rle4(5, 2), {0x08, 0x12, 0x00, 0x00, 0x03, 0x33, 0x00, 0x01}));
}

TEST(DecodeRle, ProgressCountsRowsAndCancel) {
    // 8 x 300: 299 ends of line, then the end of bitmap.
    Bytes codes;
    for (int r = 0; r < 300; ++r) {
        codes.insert(codes.end(), {0x08, uint8_t(r), 0x00, 0x00});
    }
    codes.back() = 0x01;
    {
        BitmapInfoHeader format = Rle8(8, 300);
        FrameChunk chunk;
        chunk.data = codes;
        RecordingProgress sink;
        ASSERT_EQ(1, chunk.DecodeRle(&sink, format, nullptr, true));
        EXPECT_EQ((std::vector<RecordingProgress::Entry>{{128, 0}, {128, 0}, {44, 0}}),
                  sink.reports);
        EXPECT_EQ(8u * 300, chunk.Size());
    }
    for (size_t cancelAt = 1; cancelAt <= 3; ++cancelAt) {
        BitmapInfoHeader format = Rle8(8, 300);
        FrameChunk chunk;
        chunk.data = codes;
        RecordingProgress honoured(cancelAt);
        EXPECT_EQ(0, chunk.DecodeRle(&honoured, format, nullptr, true)) << cancelAt;
        EXPECT_EQ(cancelAt, honoured.reports.size());
        EXPECT_EQ(codes, chunk.data);
        EXPECT_EQ(1u, format.biCompression);

        RecordingProgress ignored(cancelAt);
        EXPECT_EQ(1, chunk.DecodeRle(&ignored, format, nullptr, false)) << cancelAt;
        EXPECT_EQ(3u, ignored.reports.size());
        EXPECT_EQ(0u, format.biCompression);
        format.biCompression = 1;
    }

    // Skipped rows count: a delta of 200 rows reports, the end of bitmap reports rest + 1.
    const Bytes base(8 * 300, 1);
    BitmapInfoHeader format = Rle8(8, 300);
    FrameChunk chunk;
    chunk.data = {0x00, 0x02, 0x00, 0xC8, 0x00, 0x01};
    RecordingProgress sink;
    ASSERT_EQ(1, chunk.DecodeRle(&sink, format, base.data(), true));
    EXPECT_EQ((std::vector<RecordingProgress::Entry>{{200, 0}, {101, 0}}), sink.reports);
    EXPECT_EQ(base, chunk.data);
    EXPECT_EQ(1u, format.biCompression);  // decoded against a base: the format stays
}

// 8-bit codes against a base write every byte of the frame, so a frame decoded into memory that
// holds old bytes comes out as one decoded into cleared memory. Random codes of every kind, with
// deltas that end inside a row's pad and line ends anywhere; frames 5, 8 and 13 pixels wide.
TEST(DecodeRle8, AgainstABaseEveryByteIsWrittenWhateverTheMemoryHeld) {
    uint32_t seed = 7;
    const auto next = [&seed](uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    int decoded = 0;
    for (const int32_t width : {5, 8, 13}) {
        const int32_t height = 6;
        const size_t total = size_t(Stride8(width)) * size_t(height);
        for (int trial = 0; trial < 300; ++trial) {
            Bytes base(total);
            for (size_t i = 0; i < total; ++i) {
                base[i] = i % Stride8(width) < uint32_t(width) ? uint8_t(next(256)) : 0;
            }
            Bytes codes;
            for (uint32_t n = next(12); n > 0; --n) {
                switch (next(4)) {
                    case 0:
                        codes = codes + Bytes{uint8_t(1 + next(6)), uint8_t(next(256))};
                        break;
                    case 1:
                        codes = codes + Bytes{0, 3, 1, 2, 3, 0};
                        break;
                    case 2:
                        codes = codes + Bytes{0, 2, uint8_t(next(9)), uint8_t(next(2))};
                        break;
                    default:
                        codes = codes + Bytes{0, 0};
                        break;
                }
            }
            codes = codes + Bytes{0, 1};
            const Bytes cleared = Decode(Rle8(width, height), codes, &base);

            SharedBlock block = SharedBlock::Uncleared(total);
            std::memset(block.bytes.get(), 0xCD, total);
            FrameBytes into = FrameBytes::View(block, 0, total);
            FrameChunk chunk;
            chunk.data = codes;
            BitmapInfoHeader format = Rle8(width, height);
            const int result = chunk.DecodeRle(nullptr, format, base.data(), true, nullptr, &into);
            ASSERT_EQ(cleared.empty() ? 0 : 1, result) << width << " trial " << trial;
            if (result == 1) {
                ASSERT_EQ(cleared, chunk.data.Copy()) << width << " trial " << trial;
                ++decoded;
            }
        }
    }
    EXPECT_LT(300, decoded);  // most random codes fit their frame
}

}  // namespace
}  // namespace kx
