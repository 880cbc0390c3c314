#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "doc/gif_lzw.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(const Bytes& pixels, int minCodeSize, LzwFullTable full = LzwFullTable::Clear) {
    return EncodeLzw({pixels.data(), nullptr, pixels.size(), false}, minCodeSize, full).bytes;
}

std::string Decode(const Bytes& stream, int minCodeSize, Bytes& out) {
    return DecodeLzw(stream.data(), stream.size(), minCodeSize, out.data(), out.size());
}

TEST(GifLzw, OnePixelIsClearPixelEnd) {
    // Codes of 3 bits, least significant first: Clear 4, pixel 0, End 5 -> 0x44 0x01.
    EXPECT_EQ((Bytes{0x44, 0x01}), Encode({0}, 2));
}

TEST(GifLzw, RoundTripTable) {
    std::mt19937 random(7);
    struct Row {
        const char* what;
        size_t count;
        int minCodeSize;
        uint32_t colours;  // pixels drawn from 0 to colours - 1
        uint32_t runLength;
    };
    const Row rows[] = {
        {"runs of one colour", 5000, 2, 1, 5000},
        {"two colours in runs", 3000, 2, 2, 37},
        {"noise of 4", 20000, 2, 4, 1},
        {"noise of 16", 40000, 4, 16, 1},
        {"noise of 256", 30000, 8, 256, 1},
        {"short runs of 200", 60000, 8, 200, 3},
        {"a code size wider than needed", 999, 7, 3, 2},
    };
    for (const Row& row : rows) {
        Bytes pixels(row.count);
        uint8_t v = 0;
        for (size_t i = 0; i < row.count; ++i) {
            if (i % row.runLength == 0) {
                v = uint8_t(random() % row.colours);
            }
            pixels[i] = v;
        }
        for (LzwFullTable full : {LzwFullTable::Clear, LzwFullTable::Keep}) {
            const Bytes stream = Encode(pixels, row.minCodeSize, full);
            Bytes out(pixels.size(), 0xEE);
            EXPECT_EQ("", Decode(stream, row.minCodeSize, out)) << row.what;
            EXPECT_EQ(pixels, out) << row.what << (full == LzwFullTable::Keep ? " kept" : "");
        }
    }
}

TEST(GifLzw, KeptTableIsSmallerOnRepeatsAndFillsOnce) {
    // A pattern of 16 random pixels again and again: once learnt, a kept table codes it in
    // long strings, a cleared table learns it again and again.
    std::mt19937 random(3);
    Bytes pattern(1000);
    for (auto& p : pattern) {
        p = uint8_t(random() % 16);
    }
    Bytes pixels;
    for (int k = 0; k < 40; ++k) {
        pixels.insert(pixels.end(), pattern.begin(), pattern.end());
    }
    const LzwPixels input{pixels.data(), nullptr, pixels.size(), false};
    const LzwStream cleared = EncodeLzw(input, 4, LzwFullTable::Clear);
    const LzwStream kept = EncodeLzw(input, 4, LzwFullTable::Keep);
    EXPECT_TRUE(cleared.tableFilled);
    EXPECT_LT(kept.bytes.size(), cleared.bytes.size());
}

TEST(GifLzw, ChoicesDecodeToOneOfTheTwoAndShorten) {
    // A background of colour 3 with stripes; where the second value is 0 a pixel may be either.
    std::mt19937 random(11);
    Bytes first(8000), second(8000);
    for (size_t i = 0; i < first.size(); ++i) {
        first[i] = uint8_t(i % 97 < 10 ? 1 + random() % 2 : 3 + random() % 3);
        second[i] = i % 97 < 10 ? first[i] : 0;  // changed pixels have no choice
    }
    for (const bool preferSecond : {false, true}) {
        const LzwStream chosen = EncodeLzw(
            {first.data(), second.data(), first.size(), preferSecond}, 3, LzwFullTable::Clear);
        Bytes out(first.size());
        ASSERT_EQ("", Decode(chosen.bytes, 3, out));
        for (size_t i = 0; i < out.size(); ++i) {
            ASSERT_TRUE(out[i] == first[i] || out[i] == second[i]) << "pixel " << i;
        }
        // Leaning to the colours may find nothing shorter; leaning to 0 joins the background.
        if (preferSecond) {
            EXPECT_LT(chosen.bytes.size(), Encode(first, 3).size() * 3 / 4);
        } else {
            EXPECT_LE(chosen.bytes.size(), Encode(first, 3).size());
        }
    }
}

TEST(GifLzw, SubBlocks) {
    Bytes stream(600);
    for (size_t i = 0; i < stream.size(); ++i) {
        stream[i] = uint8_t(i);
    }
    Bytes out;
    AppendSubBlocks(out, stream);
    ASSERT_EQ(SubBlockedSize(600), out.size());
    EXPECT_EQ(604u, out.size());  // 255 + 255 + 90, three counts and the ending 0
    EXPECT_EQ(255, out[0]);
    EXPECT_EQ(255, out[256]);
    EXPECT_EQ(90, out[512]);
    EXPECT_EQ(0, out.back());
    EXPECT_EQ(1u, SubBlockedSize(0));
}

TEST(GifLzw, BrokenStreamsAreRefusedWithAReason) {
    struct Row {
        const char* what;
        Bytes stream;
        int minCodeSize;
        size_t count;
        std::string reason;
    };
    const Row rows[] = {
        // Clear 4, pixel 0, then code 7 while the next free code is 6.
        {"code beyond the table", {0xC4, 0x01}, 2, 4, "LZW code 7 is not in the table"},
        // Clear, then code 6 before any string: nothing to repeat yet.
        {"new code first", {0x34}, 2, 2, "LZW code 6 is not in the table"},
        {"ends early", {0x44, 0x01}, 2, 3, "the picture data ends after 1 of 3 pixels"},
        {"no data", {}, 2, 1, "the picture data ends after 0 of 1 pixels"},
        {"code size 1", {0x44}, 1, 1, "LZW minimum code size 1 is not 2 to 8"},
        {"code size 12", {0x44}, 12, 1, "LZW minimum code size 12 is not 2 to 8"},
    };
    for (const Row& row : rows) {
        Bytes out(row.count, 0xEE);
        const std::string reason = Decode(row.stream, row.minCodeSize, out);
        EXPECT_EQ(row.reason, reason.substr(0, row.reason.size())) << row.what;
    }
}

TEST(GifLzw, PixelsBeyondTheFrameAreDropped) {
    const Bytes stream = Encode({1, 2, 3, 1, 2, 3, 1, 2, 3}, 2);
    Bytes out(4, 0xEE);
    EXPECT_EQ("", Decode(stream, 2, out));
    EXPECT_EQ((Bytes{1, 2, 3, 1}), out);
}

}  // namespace
}  // namespace kx
