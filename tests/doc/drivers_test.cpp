#include <gtest/gtest.h>

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
    Bytes f0;
    for (uint8_t v = 1; v <= 4; ++v) {
        f0.insert(f0.end(), 8, v);
    }
    Bytes f1(f0.begin(), f0.begin() + 24);
    f1.insert(f1.end(), 8, 9);
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

TEST(EncodeFramesForAvi, EncodesAgainstThePreviousFrame) {
    const std::vector<Bytes> original = ThreeFrames();
    MovieList movie = MovieOf(original);
    movie.remap = SampleRemap();
    BitmapInfoHeader format = Frame8(8, 4);
    RecordingProgress sink;
    ASSERT_EQ(1, movie.EncodeFramesForAvi(&sink, format, 3));
    EXPECT_EQ((Reports{{16, 0}, {16, 0}, {16, 0}}), sink.reports);
    EXPECT_EQ(1u, format.biCompression);
    EXPECT_EQ(1, movie.remapped);
    EXPECT_EQ((Bytes{0x08, 0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00, 0x00, 0x08,
                     0x03, 0x00, 0x01}),
              movie.frames[0].data);
    EXPECT_EQ((Bytes{0x00, 0x02, 0x00, 0x03, 0x08, 0x04, 0x00, 0x01}), movie.frames[1].data);
    EXPECT_EQ((Bytes{0x00, 0x01}), movie.frames[2].data);

    RecordingProgress decoding;
    ASSERT_EQ(1, movie.DecodeFrames(&decoding, format, 3, true, 0));
    EXPECT_EQ((Reports{{4, 0}, {4, 0}, {5, 0}}), decoding.reports);
    EXPECT_EQ(0u, format.biCompression);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(Remapped(original[k], movie.remap), movie.frames[k].data) << k;
    }
}

TEST(EncodeFramesForAvi, PlainSizedFrameGetsOneMoreEndOfLine) {
    // 8 x 1: 1 1 1 2 2 2 3 3 encodes to 8 bytes, the plain frame size.
    const Bytes pixels = {1, 1, 1, 2, 2, 2, 3, 3};
    const Bytes codes = {0x03, 0x01, 0x03, 0x02, 0x02, 0x03, 0x00, 0x01};
    {
        MovieList movie = MovieOf({pixels, pixels});
        BitmapInfoHeader format = Frame8(8, 1);
        ASSERT_EQ(1, movie.EncodeFramesForAvi(nullptr, format, 2));
        EXPECT_EQ((Bytes{0x03, 0x01, 0x03, 0x02, 0x02, 0x03, 0x00, 0x00, 0x00, 0x01}),
                  movie.frames[0].data);
        EXPECT_EQ((Bytes{0x00, 0x01}), movie.frames[1].data);
        ASSERT_EQ(1, movie.DecodeFrames(nullptr, format, 2, true, 0));
        EXPECT_EQ(pixels, movie.frames[0].data);
        EXPECT_EQ(pixels, movie.frames[1].data);
    }
    {
        // The two extra bytes count: 10 bytes for one 8-byte frame go back to plain.
        MovieList movie = MovieOf({pixels});
        BitmapInfoHeader format = Frame8(8, 1);
        RecordingProgress sink;
        ASSERT_EQ(1, movie.EncodeFramesForAvi(&sink, format, 1));
        // Decoding counts the extra end of line as a row: 1 + 1.
        EXPECT_EQ((Reports{{4, 0}, {0, kPhaseDecoding}, {2, 0}, {0, 0}}), sink.reports);
        EXPECT_EQ(pixels, movie.frames[0].data);
        EXPECT_EQ(0u, format.biCompression);
    }
    {
        // Bitmaps keep the plain-sized codes; the second frame ends with an end of line.
        MovieList movie = MovieOf({pixels, pixels});
        BitmapInfoHeader format = Frame8(8, 1);
        ASSERT_EQ(1, movie.EncodeFramesForBitmap(nullptr, format, 2));
        EXPECT_EQ(codes, movie.frames[0].data);
        EXPECT_EQ((Bytes{0x03, 0x01, 0x03, 0x02, 0x02, 0x03, 0x00, 0x00}), movie.frames[1].data);
    }
}

TEST(EncodeFramesForAvi, LongerCodesFallBackToPlainRemappedFrames) {
    std::mt19937 rng(7);
    std::vector<Bytes> original(2, Bytes(32));
    for (Bytes& f : original) {
        for (size_t i = 0; i < f.size(); ++i) {
            f[i] = uint8_t(i * 7 + rng() % 5);  // no two neighbours alike
        }
    }
    MovieList movie = MovieOf(original);
    movie.remap = SampleRemap();
    BitmapInfoHeader format = Frame8(8, 4);
    RecordingProgress sink;
    ASSERT_EQ(1, movie.EncodeFramesForAvi(&sink, format, 2));
    EXPECT_EQ((Reports{{16, 0}, {16, 0}, {0, kPhaseDecoding}, {4, 0}, {4, 0}, {0, 0}}),
              sink.reports);
    EXPECT_EQ(0u, format.biCompression);
    EXPECT_EQ(1, movie.remapped);
    EXPECT_EQ(Remapped(original[0], movie.remap), movie.frames[0].data);
    EXPECT_EQ(Remapped(original[1], movie.remap), movie.frames[1].data);

    // A Cancel during the way back still ends with plain frames, but fails.
    MovieList again = MovieOf(original);
    BitmapInfoHeader f = Frame8(8, 4);
    RecordingProgress cancel(3);
    EXPECT_EQ(0, again.EncodeFramesForAvi(&cancel, f, 2));
    EXPECT_EQ(original[1], again.frames[1].data);
    EXPECT_EQ(0u, f.biCompression);
}

TEST(EncodeFramesForAvi, NarrowFramesAreRemappedInPlace) {
    const std::vector<Bytes> original = {{1, 2, 3, 4, 9, 9, 9, 9}, {4, 3, 2, 1, 9, 1, 9, 1}};
    {
        MovieList movie = MovieOf(original);
        movie.remap = SampleRemap();
        BitmapInfoHeader format = Frame8(4, 2);
        RecordingProgress sink;
        ASSERT_EQ(1, movie.EncodeFramesForAvi(&sink, format, 2));
        EXPECT_EQ((Reports{{10, 0}, {10, 0}}), sink.reports);
        EXPECT_EQ((Bytes{0, 1, 2, 3, 4, 4, 4, 4}), movie.frames[0].data);
        EXPECT_EQ(0, movie.remapped);  // left as it was
        EXPECT_EQ(0u, format.biCompression);
    }
    {
        // Cancel fails the call, but every frame is remapped to match the compacted palette.
        MovieList movie = MovieOf(original);
        movie.remap = SampleRemap();
        BitmapInfoHeader format = Frame8(4, 2);
        RecordingProgress sink(1);
        EXPECT_EQ(0, movie.EncodeFramesForAvi(&sink, format, 2));
        EXPECT_EQ(2u, sink.reports.size());
        EXPECT_EQ(Remapped(original[1], SampleRemap()), movie.frames[1].data);
    }
    {
        MovieList movie = MovieOf(original);
        movie.remapped = 1;
        BitmapInfoHeader format = Frame8(4, 2);
        RecordingProgress sink;
        ASSERT_EQ(1, movie.EncodeFramesForAvi(&sink, format, 2));
        EXPECT_EQ((Reports{{20, 0}}), sink.reports);
        EXPECT_EQ(original[0], movie.frames[0].data);
    }
    {
        MovieList movie = MovieOf(original);
        movie.remap = SampleRemap();
        BitmapInfoHeader format = Frame8(4, 2);
        RecordingProgress sink;
        ASSERT_EQ(1, movie.EncodeFramesForBitmap(&sink, format, 2));
        EXPECT_EQ((Reports{{20, 0}}), sink.reports);
        EXPECT_EQ(original[1], movie.frames[1].data);
    }
}

TEST(EncodeFramesForAvi, CancelRestoresPlainRemappedFrames) {
    const std::vector<Bytes> original = ThreeFrames();
    // Cancel at frame 1's report: frame 0 is decoded back, frames 1 and 2 are remapped.
    MovieList movie = MovieOf(original);
    movie.remap = SampleRemap();
    BitmapInfoHeader format = Frame8(8, 4);
    RecordingProgress sink(2);
    EXPECT_EQ(0, movie.EncodeFramesForAvi(&sink, format, 3));
    EXPECT_EQ((Reports{{16, 0}, {16, 0}, {0, 0}, {4, 0}, {0, 0}, {0, 0}}), sink.reports);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(Remapped(original[k], movie.remap), movie.frames[k].data) << k;
    }
    EXPECT_EQ(0u, format.biCompression);
    EXPECT_EQ(1, movie.remapped);

    // At every report: the call fails and the frames end plain, 8-bit and consistent.
    for (size_t cancelAt = 1; cancelAt <= 3; ++cancelAt) {
        MovieList m = MovieOf(original);
        m.remap = SampleRemap();
        BitmapInfoHeader f = Frame8(8, 4);
        RecordingProgress cancel(cancelAt);
        EXPECT_EQ(0, m.EncodeFramesForAvi(&cancel, f, 3)) << cancelAt;
        EXPECT_EQ(0u, f.biCompression) << cancelAt;
        // Even when frame 0 itself was cancelled the pixels follow the compacted palette.
        EXPECT_EQ(1, m.remapped) << cancelAt;
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(Remapped(original[k], m.remap), m.frames[k].data)
                << cancelAt << " frame " << k;
        }
    }
}

TEST(EncodeFramesForAvi, FailureWithoutCancelRestoresPlainFrames) {
    std::vector<Bytes> frames = ThreeFrames();
    frames[1].resize(20);  // not a plain frame
    MovieList movie = MovieOf(frames);
    movie.remap = SampleRemap();
    BitmapInfoHeader format = Frame8(8, 4);
    RecordingProgress sink;
    EXPECT_EQ(0, movie.EncodeFramesForAvi(&sink, format, 3));
    EXPECT_EQ((Reports{{16, 0}, {0, 0}, {4, 0}, {0, 0}, {0, 0}}), sink.reports);
    // Frame 0 is decoded back and the rest follow the compacted palette: nothing stays encoded.
    EXPECT_EQ(Remapped(frames[0], movie.remap), movie.frames[0].data);
    EXPECT_EQ(Remapped(frames[2], movie.remap), movie.frames[2].data);
    EXPECT_EQ(0u, format.biCompression);
    EXPECT_EQ(1, movie.remapped);

    MovieList none = MovieOf({});
    EXPECT_EQ(0, none.EncodeFramesForAvi(nullptr, format, 0));
    EXPECT_EQ(0, none.EncodeFramesForAvi(nullptr, format, 1));
}

TEST(EncodeFramesForBitmap, EveryFrameWithoutBaseAndChainedByEndsOfLine) {
    const std::vector<Bytes> original = ThreeFrames();
    MovieList movie = MovieOf(original);
    BitmapInfoHeader format = Frame8(8, 4);
    RecordingProgress sink;
    ASSERT_EQ(1, movie.EncodeFramesForBitmap(&sink, format, 3));
    EXPECT_EQ((Reports{{16, 0}, {16, 0}, {16, 0}}), sink.reports);
    EXPECT_EQ(1u, format.biCompression);
    EXPECT_EQ(0, movie.remapped);
    const Bytes topChanged = {0x08, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00, 0x00,
                              0x08, 0x03, 0x00, 0x00, 0x08, 0x09, 0x00, 0x00};
    EXPECT_EQ(topChanged, movie.frames[1].data);
    EXPECT_EQ(topChanged, movie.frames[2].data);
    EXPECT_EQ(0x01, movie.frames[0].data.back());

    // Written last frame first, the codes form one bitmap of the frames stacked, frame 0 on top.
    FrameChunk strip;
    for (size_t k = 3; k-- > 0;) {
        strip.data.insert(strip.data.end(), movie.frames[k].data.begin(),
                          movie.frames[k].data.end());
    }
    BitmapInfoHeader stripFormat = Frame8(8, 12);
    stripFormat.biCompression = 1;
    ASSERT_EQ(1, strip.DecodeRle(nullptr, stripFormat, nullptr, true));
    EXPECT_EQ(original[2], Bytes(strip.data.begin(), strip.data.begin() + 32));
    EXPECT_EQ(original[0], Bytes(strip.data.begin() + 64, strip.data.end()));

    ASSERT_EQ(1, movie.DecodeFrames(nullptr, format, 3, true, 0));
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(original[k], movie.frames[k].data) << k;
    }
}

TEST(EncodeFramesForBitmap, FailureWithoutCancelDecodesBack) {
    std::vector<Bytes> frames = ThreeFrames();
    frames[2].resize(20);  // not a plain frame
    MovieList movie = MovieOf(frames);
    BitmapInfoHeader format = Frame8(8, 4);
    RecordingProgress sink;
    EXPECT_EQ(0, movie.EncodeFramesForBitmap(&sink, format, 3));
    EXPECT_EQ(frames[0], movie.frames[0].data);
    EXPECT_EQ(frames[1], movie.frames[1].data);
    EXPECT_EQ(20u, movie.frames[2].Size());
    EXPECT_EQ(0u, format.biCompression);
    EXPECT_EQ(0, movie.remapped);
}

TEST(EncodeFramesForBitmap, CancelDecodesBackWithoutRemapping) {
    const std::vector<Bytes> original = ThreeFrames();
    MovieList movie = MovieOf(original);
    movie.remap = SampleRemap();  // applied by the encoder, not undone on the way back
    BitmapInfoHeader format = Frame8(8, 4);
    RecordingProgress sink(3);
    EXPECT_EQ(0, movie.EncodeFramesForBitmap(&sink, format, 3));
    // Frame 1 ends with its fourth end of line: 4 rows + 1.
    EXPECT_EQ((Reports{{16, 0}, {16, 0}, {16, 0}, {0, 0}, {4, 0}, {5, 0}}), sink.reports);
    EXPECT_EQ(Remapped(original[0], movie.remap), movie.frames[0].data);
    EXPECT_EQ(Remapped(original[1], movie.remap), movie.frames[1].data);
    EXPECT_EQ(original[2], movie.frames[2].data);
    EXPECT_EQ(0u, format.biCompression);
    EXPECT_EQ(0, movie.remapped);
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
