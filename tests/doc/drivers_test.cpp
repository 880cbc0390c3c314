#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "doc/animation_document.h"
#include "doc/recording_progress.h"
#include "doc/rle_test_support.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;
using Reports = std::vector<test::RecordingProgress::Entry>;
using test::Frame8;
using test::MovieOf;
using test::RecordingProgress;

// 8 x 4 frames: rows of 1s, 2s, 3s, 4s; then the top row changed to 9s; then the same again.
std::vector<Bytes> ThreeFrames() {
    Bytes f0(32);
    for (size_t i = 0; i < f0.size(); ++i) {
        f0[i] = uint8_t(i / 8 + 1);
    }
    Bytes f1 = f0;
    std::fill(f1.begin() + 24, f1.end(), uint8_t(9));
    return {f0, f1, f1};
}

// The compaction of a palette whose entries 0 and 5 ... 8 are unused.
std::array<uint8_t, 256> SampleRemap() {
    std::array<uint8_t, 256> remap{};
    for (int v = 1; v <= 4; ++v) {
        remap[size_t(v)] = 1;
    }
    remap[9] = 5;
    return remap;
}

Bytes Remapped(Bytes pixels, const std::array<uint8_t, 256>& remap) {
    for (uint8_t& v : pixels) {
        v = uint8_t(v - remap[v]);
    }
    return pixels;
}

std::vector<Bytes> DataOf(const std::vector<FrameChunk>& chunks) {
    std::vector<Bytes> data;
    for (const FrameChunk& chunk : chunks) {
        data.push_back(chunk.data.Copy());
    }
    return data;
}

// Decodes AVI codes frame after frame, each against the frame before.
std::vector<Bytes> DecodeChain(std::vector<FrameChunk> codes, int32_t width, int32_t height) {
    MovieList movie;
    movie.frames = std::move(codes);
    BitmapInfoHeader format = Frame8(width, height);
    format.biCompression = 1;
    EXPECT_EQ(1, movie.DecodeFrames(nullptr, format, int32_t(movie.frames.size()), true, 0));
    return DataOf(movie.frames);
}

TEST(EncodeFramesForAvi, CodesAgainstThePreviousFrameAndLeavesTheFrames) {
    const std::vector<Bytes> original = ThreeFrames();
    MovieList movie = MovieOf(original);
    movie.remap = SampleRemap();
    const BitmapInfoHeader format = Frame8(8, 4);
    RecordingProgress sink;
    std::vector<FrameChunk> codes;
    ASSERT_EQ(1, movie.EncodeFramesForAvi(&sink, format, 3, codes));
    EXPECT_EQ((Reports{{16, 0}, {16, 0}, {16, 0}}), sink.reports);
    EXPECT_EQ((std::vector<Bytes>{{0x08, 0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00,
                                   0x00, 0x08, 0x03, 0x00, 0x01},
                                  {0x00, 0x02, 0x00, 0x03, 0x08, 0x04, 0x00, 0x01},
                                  {0x00, 0x01}}),
              DataOf(codes));
    EXPECT_EQ(original, DataOf(movie.frames));
    EXPECT_EQ(0, movie.remapped);

    movie.RemapFrames(3);
    std::vector<Bytes> remapped;
    for (const Bytes& frame : original) {
        remapped.push_back(Remapped(frame, movie.remap));
    }
    EXPECT_EQ(remapped, DataOf(movie.frames));
    EXPECT_EQ(remapped, DecodeChain(std::move(codes), 8, 4));
    movie.RemapFrames(3);  // once only
    EXPECT_EQ(remapped, DataOf(movie.frames));
}

TEST(EncodeFramesForAvi, WhenCodesArePlainSizedOrLonger) {
    // 8 x 1: 1 1 1 2 2 2 3 3 codes to 8 bytes, the plain frame size; noise codes longer.
    const Bytes pixels = {1, 1, 1, 2, 2, 2, 3, 3};
    const Bytes codes8 = {0x03, 0x01, 0x03, 0x02, 0x02, 0x03, 0x00, 0x01};
    Bytes noise(32);
    Bytes otherNoise(32);
    for (size_t i = 0; i < noise.size(); ++i) {
        noise[i] = uint8_t(i * 7 % 5 + i);  // no two neighbours alike
        otherNoise[i] = uint8_t(noise[i] + 100);
    }
    struct Case {
        const char* name;
        std::vector<Bytes> frames;
        int32_t width;
        bool avi;
        std::vector<Bytes> codes;  // empty: written plain
    } cases[] = {
        {"AVI frame gets one more end of line",
         {pixels, pixels},
         8,
         true,
         {{0x03, 0x01, 0x03, 0x02, 0x02, 0x03, 0x00, 0x00, 0x00, 0x01}, {0x00, 0x01}}},
        {"the two extra bytes count", {pixels}, 8, true, {}},
        {"bitmap keeps plain-sized codes",
         {pixels, pixels},
         8,
         false,
         {codes8, {0x03, 0x01, 0x03, 0x02, 0x02, 0x03, 0x00, 0x00}}},
        {"longer AVI codes", {noise, otherNoise}, 8, true, {}},
        {"narrow AVI frames", {{1, 2, 3, 4, 9, 9, 9, 9}}, 4, true, {}},
        {"narrow bitmap frames", {{1, 2, 3, 4, 9, 9, 9, 9}}, 4, false, {}},
    };
    for (const Case& c : cases) {
        MovieList movie = MovieOf(c.frames);
        const int32_t height = int32_t(c.frames[0].size()) / c.width;
        std::vector<FrameChunk> codes(1);
        const int result = c.avi ? movie.EncodeFramesForAvi(nullptr, Frame8(c.width, height),
                                                            int32_t(c.frames.size()), codes)
                                 : movie.EncodeFramesForBitmap(nullptr, Frame8(c.width, height),
                                                               int32_t(c.frames.size()), codes);
        EXPECT_EQ(1, result) << c.name;
        EXPECT_EQ(c.codes, DataOf(codes)) << c.name;
        EXPECT_EQ(c.frames, DataOf(movie.frames)) << c.name;
    }
}

TEST(EncodeFramesForAvi, NarrowFramesReportTheirRowsAtOnce) {
    MovieList movie = MovieOf({{1, 2, 3, 4, 9, 9, 9, 9}, {4, 3, 2, 1, 9, 1, 9, 1}});
    RecordingProgress sink;
    std::vector<FrameChunk> codes;
    ASSERT_EQ(1, movie.EncodeFramesForAvi(&sink, Frame8(4, 2), 2, codes));
    EXPECT_EQ((Reports{{16, 0}}), sink.reports);
    RecordingProgress cancel(1);
    EXPECT_EQ(0, movie.EncodeFramesForBitmap(&cancel, Frame8(4, 2), 2, codes));
}

TEST(EncodeFramesForAvi, CancelOrFailureLeavesNoCodesAndTheFramesAsTheyWere) {
    std::vector<Bytes> shortFrame = ThreeFrames();
    shortFrame[1].resize(20);  // not a plain frame
    struct Case {
        std::vector<Bytes> frames;
        size_t cancelAt;  // 0: never
        bool avi;
    } cases[] = {
        {ThreeFrames(), 1, true},  {ThreeFrames(), 2, true},  {ThreeFrames(), 3, true},
        {ThreeFrames(), 1, false}, {ThreeFrames(), 3, false}, {shortFrame, 0, true},
        {shortFrame, 0, false},
    };
    for (const Case& c : cases) {
        MovieList movie = MovieOf(c.frames);
        movie.remap = SampleRemap();
        movie.codingThreads = 4;  // a short frame may be a base on another thread
        RecordingProgress sink(c.cancelAt);
        std::vector<FrameChunk> codes;
        const int result = c.avi ? movie.EncodeFramesForAvi(&sink, Frame8(8, 4), 3, codes)
                                 : movie.EncodeFramesForBitmap(&sink, Frame8(8, 4), 3, codes);
        EXPECT_EQ(0, result) << c.cancelAt;
        EXPECT_TRUE(codes.empty()) << c.cancelAt;
        EXPECT_EQ(c.frames, DataOf(movie.frames)) << c.cancelAt;
        EXPECT_EQ(0, movie.remapped);
    }
    MovieList none = MovieOf({});
    std::vector<FrameChunk> codes;
    EXPECT_EQ(0, none.EncodeFramesForAvi(nullptr, Frame8(8, 4), 0, codes));
    EXPECT_EQ(0, none.EncodeFramesForAvi(nullptr, Frame8(8, 4), 1, codes));
}

TEST(EncodeFramesForBitmap, EveryFrameWithoutBaseAndChainedByEndsOfLine) {
    const std::vector<Bytes> original = ThreeFrames();
    MovieList movie = MovieOf(original);
    movie.remap = SampleRemap();  // a bitmap save clears it first; the coder applies what it has
    movie.remap.fill(0);
    RecordingProgress sink;
    std::vector<FrameChunk> codes;
    ASSERT_EQ(1, movie.EncodeFramesForBitmap(&sink, Frame8(8, 4), 3, codes));
    EXPECT_EQ((Reports{{16, 0}, {16, 0}, {16, 0}}), sink.reports);
    const Bytes topChanged = {0x08, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00, 0x00,
                              0x08, 0x03, 0x00, 0x00, 0x08, 0x09, 0x00, 0x00};
    EXPECT_EQ(topChanged, codes[1].data);
    EXPECT_EQ(topChanged, codes[2].data);
    EXPECT_EQ(0x01, codes[0].data.back());

    // Written last frame first, the codes form one bitmap of the frames stacked, frame 0 on top.
    FrameChunk strip;
    for (size_t k = 3; k-- > 0;) {
        strip.data.insert(strip.data.end(), codes[k].data.begin(), codes[k].data.end());
    }
    BitmapInfoHeader stripFormat = Frame8(8, 12);
    stripFormat.biCompression = 1;
    ASSERT_EQ(1, strip.DecodeRle(nullptr, stripFormat, nullptr, true));
    EXPECT_EQ(original[2], Bytes(strip.data.begin(), strip.data.begin() + 32));
    EXPECT_EQ(original[0], Bytes(strip.data.begin() + 64, strip.data.end()));
    EXPECT_EQ(original, DataOf(movie.frames));
}

TEST(DecodeFrames, InitialFramesComeFirstAndEachFrameUsesThePrevious) {
    // N = 2, I = 1: slot 2 (the initial frame) first, then slots 0 and 1.
    MovieList movie = MovieOf(
        {{0x00, 0x01}, {0x08, 0x05, 0x00, 0x01}, {0x08, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00, 0x01}});
    BitmapInfoHeader format = Frame8(8, 2);
    format.biCompression = 1;
    RecordingProgress sink;
    ASSERT_EQ(1, movie.DecodeFrames(&sink, format, 2, true, 1));
    EXPECT_EQ((Reports{{2, 0}, {3, 0}, {2, 0}}), sink.reports);
    const Bytes first = {1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2};
    EXPECT_EQ(first, movie.frames[2].data);
    EXPECT_EQ(first, movie.frames[0].data);
    EXPECT_EQ((Bytes{5, 5, 5, 5, 5, 5, 5, 5, 2, 2, 2, 2, 2, 2, 2, 2}), movie.frames[1].data);
    EXPECT_EQ(0u, format.biCompression);
}

TEST(DecodeFrames, AllFramesKeepTheStartingCompression) {
    // BI_RLE4, 8 x 1: the second frame's delta moves by pixels of 4 bits.
    MovieList movie =
        MovieOf({{0x08, 0x12, 0x00, 0x01}, {0x00, 0x02, 0x02, 0x00, 0x02, 0x34, 0x00, 0x01}});
    BitmapInfoHeader format = Frame8(8, 1);
    format.biBitCount = 4;
    format.biCompression = 2;
    ASSERT_EQ(1, movie.DecodeFrames(nullptr, format, 2, true, 0));
    EXPECT_EQ((Bytes{0x12, 0x12, 0x12, 0x12}), movie.frames[0].data);
    EXPECT_EQ((Bytes{0x12, 0x34, 0x12, 0x12}), movie.frames[1].data);
    EXPECT_EQ(0u, format.biCompression);
}

TEST(DecodeFrames, Failures) {
    const std::vector<Bytes> codes = {{0x08, 0x01, 0x00, 0x01}, {0x08, 0x01, 0x00, 0x01}};
    BitmapInfoHeader format = Frame8(8, 1);
    format.biCompression = 1;
    MovieList movie = MovieOf(codes);
    EXPECT_EQ(0, movie.DecodeFrames(nullptr, format, 2, true, 2));   // I must be below N
    EXPECT_EQ(0, movie.DecodeFrames(nullptr, format, 2, true, -1));  // and not negative
    EXPECT_EQ(0, movie.DecodeFrames(nullptr, format, 3, true, 0));   // more slots than frames
    EXPECT_EQ(0, movie.DecodeFrames(nullptr, format, 0, true, 0));
    EXPECT_EQ(1u, format.biCompression);

    MovieList broken = MovieOf({codes[0], {0x08, 0x01}});
    EXPECT_EQ(0, broken.DecodeFrames(nullptr, format, 2, true, 0));

    MovieList cancelled = MovieOf(codes);
    RecordingProgress sink(2);
    EXPECT_EQ(0, cancelled.DecodeFrames(&sink, format, 2, true, 0));
    EXPECT_EQ(codes[1], cancelled.frames[1].data);
    MovieList ignored = MovieOf(codes);
    RecordingProgress sink2(1);
    EXPECT_EQ(1, ignored.DecodeFrames(&sink2, format, 2, false, 0));
}

}  // namespace
}  // namespace kx
