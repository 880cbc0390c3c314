#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
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

const std::array<uint8_t, 256> kNoRemap{};

// Encodes pixels (plain rows of the given width) against base or none; fails the test when the
// encoder fails.
Bytes Encode(int32_t width, int32_t height, const Bytes& pixels, const Bytes* base = nullptr,
             const std::array<uint8_t, 256>& remap = kNoRemap) {
    BitmapInfoHeader format = Frame8(width, height);
    FrameChunk chunk;
    EXPECT_EQ(
        1, chunk.EncodeRle8(nullptr, format, pixels.data(), base ? base->data() : nullptr, remap));
    return chunk.data.Copy();
}

struct RowCase {
    Bytes row;
    Bytes codes;
};

TEST(EncodeRle8, OneRowOfEight) {
    const RowCase cases[] = {
        {{5, 5, 5, 5, 5, 5, 5, 5}, {0x08, 0x05, 0x00, 0x01}},
        {{1, 2, 3, 4, 5, 6, 7, 8}, {0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8, 0x00, 0x01}},
        {{1, 2, 3, 3, 3, 4, 5, 6},
         {0x01, 0x01, 0x01, 0x02, 0x03, 0x03, 0x00, 0x03, 0x04, 0x05, 0x06, 0x00, 0x00, 0x01}},
        {{1, 1, 2, 3, 3, 4, 4, 4}, {0x02, 0x01, 0x01, 0x02, 0x02, 0x03, 0x03, 0x04, 0x00, 0x01}},
    };
    for (const RowCase& c : cases) {
        EXPECT_EQ(c.codes, Encode(8, 1, c.row));
    }
}

TEST(EncodeRle8, TwoRowsEndWithEndOfBitmapNotEndOfLine) {
    const Bytes pixels = {5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6};
    EXPECT_EQ((Bytes{0x08, 0x05, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01}), Encode(8, 2, pixels));
}

TEST(EncodeRle8, LongRunsAndLongAbsoluteRuns) {
    EXPECT_EQ((Bytes{0xFF, 0x09, 0x2D, 0x09, 0x00, 0x01}), Encode(300, 1, Bytes(300, 9)));

    Bytes different(600);
    for (size_t i = 0; i < different.size(); ++i) {
        different[i] = uint8_t(i % 2 == 0 ? i % 251 : 255 - i % 7);
    }
    for (size_t i = 1; i < different.size(); ++i) {
        ASSERT_NE(different[i - 1], different[i]) << i;
    }
    const Bytes codes = Encode(600, 1, different);
    // 00 254 (254 pixels), 00 254 (254 pixels), 00 92 (92 pixels), 00 01.
    ASSERT_EQ(2 + 254 + 2 + 254 + 2 + 92 + 2u, codes.size());
    EXPECT_EQ(0, codes[0]);
    EXPECT_EQ(254, codes[1]);
    EXPECT_EQ(Bytes(different.begin(), different.begin() + 254),
              Bytes(codes.begin() + 2, codes.begin() + 256));
    EXPECT_EQ(0, codes[256]);
    EXPECT_EQ(254, codes[257]);
    EXPECT_EQ(0, codes[512]);
    EXPECT_EQ(92, codes[513]);
    EXPECT_EQ(different[599], codes[513 + 92]);
    EXPECT_EQ((Bytes{0, 1}), Bytes(codes.end() - 2, codes.end()));
}

TEST(EncodeRle8, OddAbsoluteRunsArePaddedAndNarrowFramesAreNotEncoded) {
    // Width 5: stride 8, the 3 pad bytes are never encoded.
    EXPECT_EQ((Bytes{0x00, 0x05, 1, 2, 3, 4, 5, 0x00, 0x00, 0x01}),
              Encode(5, 1, {1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ((Bytes{0x00, 0x07, 1, 2, 3, 4, 5, 6, 7, 0x00, 0x00, 0x01}),
              Encode(7, 1, {1, 2, 3, 4, 5, 6, 7, 0xEE}));

    BitmapInfoHeader format = Frame8(4, 2);
    FrameChunk chunk;
    chunk.data = {9, 9, 9};
    const Bytes pixels(8, 1);
    EXPECT_EQ(1, chunk.EncodeRle8(nullptr, format, pixels.data(), nullptr, kNoRemap));
    EXPECT_EQ(0u, chunk.Size());
    EXPECT_EQ(0u, format.biCompression);
}

TEST(EncodeRle8, RemapTableAndCompression) {
    std::array<uint8_t, 256> remap{};
    remap[7] = 5;
    remap[9] = 6;
    BitmapInfoHeader format = Frame8(8, 1);
    FrameChunk chunk;
    const Bytes pixels = {7, 7, 7, 9, 0, 9, 7, 0};
    ASSERT_EQ(1, chunk.EncodeRle8(nullptr, format, pixels.data(), nullptr, remap));
    EXPECT_EQ((Bytes{0x03, 0x02, 0x00, 0x05, 0x03, 0x00, 0x03, 0x02, 0x00, 0x00, 0x00, 0x01}),
              chunk.data);
    EXPECT_EQ(1u, format.biCompression);

    // With a base the format is left alone.
    BitmapInfoHeader later = Frame8(8, 1);
    const Bytes base(8, 0);
    ASSERT_EQ(1, chunk.EncodeRle8(nullptr, later, pixels.data(), base.data(), remap));
    EXPECT_EQ(0u, later.biCompression);
}

// An 8 x 3 frame with rows of 1s, 2s and 3s (bottom up).
Bytes Rows123() {
    Bytes f;
    for (uint8_t v = 1; v <= 3; ++v) {
        f.insert(f.end(), 8, v);
    }
    return f;
}

TEST(EncodeRle8, AgainstABase) {
    const Bytes frame = Rows123();
    EXPECT_EQ((Bytes{0x00, 0x01}), Encode(8, 3, frame, &frame));

    // Bases that differ in one whole row.
    auto differIn = [&frame](size_t row) {
        Bytes base = frame;
        std::fill(base.begin() + 8 * row, base.begin() + 8 * row + 8, 9);
        return base;
    };
    const Bytes top = differIn(2);
    EXPECT_EQ((Bytes{0x00, 0x02, 0x00, 0x02, 0x08, 0x03, 0x00, 0x01}), Encode(8, 3, frame, &top));

    const Bytes bottom = differIn(0);
    EXPECT_EQ((Bytes{0x08, 0x01, 0x00, 0x00, 0x00, 0x01}), Encode(8, 3, frame, &bottom));

    const Bytes middle = differIn(1);
    EXPECT_EQ((Bytes{0x08, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00, 0x00, 0x00, 0x01}),
              Encode(8, 3, frame, &middle));
}

TEST(EncodeRle8, DeltaWithinARowAgainstABase) {
    // 16 x 2, both rows 0 ... 15; the base differs only at row 1, column 8.
    Bytes frame;
    for (int r = 0; r < 2; ++r) {
        for (uint8_t x = 0; x < 16; ++x) {
            frame.push_back(x);
        }
    }
    Bytes base = frame;
    base[16 + 8] = 0xEE;
    EXPECT_EQ((Bytes{0x00, 0x02, 0x08, 0x01, 0x01, 0x08, 0x00, 0x01}), Encode(16, 2, frame, &base));
}

TEST(EncodeRle8, FailuresLeaveChunkAndFormat) {
    FrameChunk chunk;
    chunk.data = {1, 2};
    const Bytes pixels(16, 3);
    BitmapInfoHeader empty = Frame8(8, 0);
    EXPECT_EQ(0, chunk.EncodeRle8(nullptr, empty, pixels.data(), nullptr, kNoRemap));
    BitmapInfoHeader absurd = Frame8(0x40000000, 0x40000000);
    EXPECT_EQ(0, chunk.EncodeRle8(nullptr, absurd, pixels.data(), nullptr, kNoRemap));
    EXPECT_EQ((Bytes{1, 2}), chunk.data);
    EXPECT_EQ(0u, absurd.biCompression);
}

TEST(EncodeRle8, ProgressEvery128RowsAndCancel) {
    const Bytes pixels(8 * 300, 4);
    BitmapInfoHeader format = Frame8(8, 300);
    FrameChunk chunk;
    RecordingProgress sink;
    ASSERT_EQ(1, chunk.EncodeRle8(&sink, format, pixels.data(), nullptr, kNoRemap));
    EXPECT_EQ((std::vector<RecordingProgress::Entry>{{512, 0}, {512, 0}, {176, 0}}), sink.reports);

    for (size_t cancelAt = 1; cancelAt <= 3; ++cancelAt) {
        BitmapInfoHeader f = Frame8(8, 300);
        FrameChunk c;
        c.data = {7};
        RecordingProgress cancel(cancelAt);
        EXPECT_EQ(0, c.EncodeRle8(&cancel, f, pixels.data(), nullptr, kNoRemap)) << cancelAt;
        EXPECT_EQ(cancelAt, cancel.reports.size());
        EXPECT_EQ((Bytes{7}), c.data);
        EXPECT_EQ(0u, f.biCompression);
    }
}

// Checks the form of encoded data: runs of 1 to 255 pixels and absolute runs of 3 to 254 that
// stay inside their row, deltas that stay inside the frame, one end of bitmap at the very end.
void ExpectWellFormed(const Bytes& codes, int32_t width, int32_t height, const std::string& what) {
    int64_t x = 0;
    int64_t row = 0;
    size_t at = 0;
    while (at + 1 < codes.size()) {
        const uint8_t a = codes[at];
        const uint8_t b = codes[at + 1];
        at += 2;
        if (a != 0) {
            ASSERT_LE(x + a, width) << what << " run crosses the row end at byte " << at - 2;
            x += a;
        } else if (b == 0) {
            ++row;
            x = 0;
        } else if (b == 1) {
            ASSERT_EQ(codes.size(), at) << what << " codes after the end of bitmap";
            ASSERT_LE(row, height - 1) << what;
            return;
        } else if (b == 2) {
            ASSERT_LE(at + 2, codes.size()) << what;
            x += codes[at];
            row += codes[at + 1];
            at += 2;
            ASSERT_LT(x, width) << what << " delta leaves the row";
            ASSERT_LT(row, height) << what << " delta leaves the frame";
        } else {
            ASSERT_LE(b, 254) << what;
            ASSERT_LE(x + b, width) << what << " absolute run crosses the row end";
            x += b;
            at += b + b % 2;
        }
        ASSERT_LT(row, height) << what;
    }
    FAIL() << what << " no end of bitmap";
}

// A frame of runs, noise over a few values and noise over all values; pad bytes 0.
Bytes RandomFrame(std::mt19937& rng, int32_t width, int32_t height) {
    const uint32_t stride = Stride8(width);
    Bytes f(size_t(stride) * uint32_t(height), 0);
    for (int32_t r = 0; r < height; ++r) {
        int32_t x = 0;
        while (x < width) {
            const int32_t len = std::min<int32_t>(width - x, int32_t(rng() % 300) + 1);
            const uint32_t kind = rng() % 3;
            const uint8_t v = uint8_t(rng());
            for (int32_t k = 0; k < len; ++k, ++x) {
                uint8_t p = v;
                if (kind == 1) {
                    p = uint8_t(rng() % 3);
                } else if (kind == 2) {
                    p = uint8_t(rng());
                }
                f[size_t(r) * stride + size_t(x)] = p;
            }
        }
    }
    return f;
}

// A base that equals the frame except in a few random spans (which may cross rows).
Bytes RandomBase(std::mt19937& rng, const Bytes& frame, int32_t width) {
    const uint32_t stride = Stride8(width);
    Bytes base = frame;
    const uint32_t spans = rng() % 6;
    for (uint32_t s = 0; s < spans; ++s) {
        const size_t from = rng() % frame.size();
        const size_t len = rng() % 3 == 0 ? rng() % 600 : rng() % 8 + 1;
        for (size_t i = from; i < std::min(frame.size(), from + len); ++i) {
            if (i % stride < uint32_t(width)) {
                base[i] = uint8_t(base[i] + 1 + rng() % 255);
            }
        }
    }
    return base;
}

// The pixels as the decoder gives them back: remapped, pad bytes 0.
Bytes Remapped(Bytes pixels, int32_t width, const std::array<uint8_t, 256>& remap) {
    const uint32_t stride = Stride8(width);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = i % stride < uint32_t(width) ? uint8_t(pixels[i] - remap[pixels[i]]) : 0;
    }
    return pixels;
}

TEST(EncodeRle8, RoundTripOfRandomFramesAndBases) {
    std::mt19937 rng(20240611);
    const int32_t widths[] = {5, 6, 7, 8, 9, 254, 255, 256, 257, 258, 259, 260, 600};
    const int32_t heights[] = {1, 2, 3, 5, 9, 140};
    int encodedWithDeltas = 0;
    for (int32_t width : widths) {
        for (int32_t height : heights) {
            if (width >= 254 && height > 9) {
                continue;
            }
            for (int trial = 0; trial < 6; ++trial) {
                std::array<uint8_t, 256> remap{};
                if (trial % 2 == 1) {
                    for (uint8_t& r : remap) {
                        r = uint8_t(rng());
                    }
                }
                const Bytes frame = RandomFrame(rng, width, height);
                const Bytes base =
                    trial < 4 ? RandomBase(rng, frame, width) : RandomFrame(rng, width, height);
                const std::string what = std::to_string(width) + "x" + std::to_string(height) +
                                         " trial " + std::to_string(trial);
                const uint64_t total = uint64_t(Stride8(width)) * uint64_t(height);
                const Bytes expected = Remapped(frame, width, remap);

                // Without a base.
                const Bytes plainCodes = Encode(width, height, frame, nullptr, remap);
                EXPECT_LE(plainCodes.size(), 2 * total) << what;
                ExpectWellFormed(plainCodes, width, height, what + " no base");
                BitmapInfoHeader format = Frame8(width, height);
                format.biCompression = 1;
                FrameChunk chunk;
                chunk.data = plainCodes;
                ASSERT_EQ(1, chunk.DecodeRle(nullptr, format, nullptr, true)) << what;
                EXPECT_EQ(expected, chunk.data) << what << " no base";

                // Against the base: the decoder's base is the previous frame as decoded, that
                // is remapped with zero pad bytes.
                const Bytes codes = Encode(width, height, frame, &base, remap);
                EXPECT_LE(codes.size(), 2 * total) << what;
                ExpectWellFormed(codes, width, height, what + " base");
                const Bytes decodedBase = Remapped(base, width, remap);
                FrameChunk against;
                against.data = codes;
                BitmapInfoHeader f = Frame8(width, height);
                f.biCompression = 1;
                ASSERT_EQ(1, against.DecodeRle(nullptr, f, decodedBase.data(), true)) << what;
                EXPECT_EQ(expected, against.data) << what << " base";
                if (codes.size() < plainCodes.size()) {
                    ++encodedWithDeltas;
                }
            }
        }
    }
    EXPECT_LT(100, encodedWithDeltas);  // the base feature was exercised
}

// A 64-bit FNV-1a hash of the bytes.
uint64_t Fnv1a(const Bytes& bytes, uint64_t hash = 14695981039346656037u) {
    for (const uint8_t b : bytes) {
        hash = (hash ^ b) * 1099511628211u;
    }
    return hash;
}

// Movies whose frames mostly repeat the frame before, as animations do: the codes of each frame
// against the one before must stay exactly what this encoder wrote when they were recorded. Pad
// bytes hold noise (frames cut from a strip keep the file's), runs are long and short, and the
// changes fall at row starts and ends, in long unchanged stretches and in none.
TEST(EncodeRle8, MoviesKeepTheirCodesByteForByte) {
    const struct {
        int32_t width;
        int32_t height;
        int background;  // 0 noise, 1 gradient runs of 16, 2 one value, 3 runs over few values
        bool band;       // rows 1 to 4 noise that changes in every frame
        uint64_t expected;
    } cases[] = {
        {5, 40, 0, false, 3554051694994081199u},    {8, 300, 2, false, 16714061033051800207u},
        {13, 64, 1, false, 5647903344304695686u},   {64, 64, 3, false, 3061509600350091746u},
        {255, 20, 2, false, 5544040020789837647u},  {256, 300, 1, false, 6125054710880081351u},
        {257, 30, 3, false, 15546689997405439822u}, {300, 270, 2, false, 8464345521700412942u},
        {600, 12, 1, false, 13257564695684555315u}, {256, 256, 1, true, 14856596520529463626u},
        {300, 40, 2, true, 13945282896698248360u},  {40, 30, 3, true, 10603873833078923357u},
        {700, 40, 0, false, 211952555337838655u},
    };
    for (const auto& c : cases) {
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                 " background " + std::to_string(c.background);
        uint32_t seed = uint32_t(c.width * 7919 + c.height * 31 + c.background);
        const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
        const uint32_t stride = Stride8(c.width);
        Bytes frame(size_t(stride) * uint32_t(c.height));
        for (size_t i = 0; i < frame.size(); ++i) {
            const uint32_t x = uint32_t(i % stride);
            const uint32_t y = uint32_t(i / stride);
            const uint8_t values[] = {uint8_t(next()), uint8_t((x + y) / 16 % 32), 9,
                                      uint8_t((x / 5 + y) % 3)};
            frame[i] = x < uint32_t(c.width) ? values[c.background] : uint8_t(next());
        }
        uint64_t hash = Fnv1a({});
        Bytes before;
        for (int k = 0; k < 12; ++k) {
            Bytes current = frame;
            // Changes: a few pixels, a row end and the next row start, a block, or none.
            const uint32_t style = uint32_t(k % 4);
            for (uint32_t n = 0; style == 0 && n < 3; ++n) {
                current[next() % current.size()] ^= uint8_t(1 + next() % 255);
            }
            if (style == 1) {
                const size_t row = next() % uint32_t(c.height);
                current[row * stride + uint32_t(c.width) - 1] ^= 0x55;
                current[(row + 1) % uint32_t(c.height) * stride] ^= 0x33;
            }
            // A band of noise over whole rows, new in every frame.
            for (size_t i = stride; c.band && i < std::min<size_t>(current.size(), 5 * stride);
                 ++i) {
                current[i] = uint8_t(next());
            }
            for (uint32_t y = 0; style == 2 && y < std::min<uint32_t>(uint32_t(c.height), 9); ++y) {
                const uint32_t x0 = next() % uint32_t(c.width);
                for (uint32_t x = x0; x < std::min<uint32_t>(uint32_t(c.width), x0 + 6); ++x) {
                    current[y * 3 % uint32_t(c.height) * stride + x] = uint8_t(next());
                }
            }
            const Bytes codes = Encode(c.width, c.height, current, k > 0 ? &before : nullptr);
            hash = Fnv1a(codes, Fnv1a(Bytes(8, uint8_t(codes.size())), hash));
            before = current;
            frame = current;
        }
        EXPECT_EQ(c.expected, hash) << what;
    }
}

}  // namespace
}  // namespace kx
