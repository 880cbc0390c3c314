#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/gif_format.h"
#include "doc/gif_test_support.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;
using test::GifBuilder;

// Black, white, red, green.
const Bytes kColours = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 255, 0};

std::string Decode(const Bytes& file, DecodedMovie& movie) {
    return DecodeGif(file.data(), file.size(), nullptr, movie);
}

// Frame k of the movie as text rows from the top, one digit (palette index) per pixel.
std::vector<std::string> Rows(const DecodedMovie& movie, size_t k) {
    std::vector<std::string> rows;
    const size_t stride = Stride8(movie.width);
    for (int32_t y = movie.height - 1; y >= 0; --y) {
        std::string row;
        for (int32_t x = 0; x < movie.width; ++x) {
            row += char('0' + movie.frames[k][size_t(y) * stride + size_t(x)]);
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(GifReader, DisposalNoneBackgroundAndPrevious) {
    // A 3 x 2 picture: a full opaque first frame, then a pixel drawn with each disposal.
    GifBuilder gif(3, 2, kColours);
    gif.Control(1, -1, 10).Frame(0, 0, 3, 2, {1, 1, 1, 1, 1, 1});  // white, kept
    gif.Control(3, -1, 10).Frame(0, 0, 1, 1, {2});                 // red, then put back
    gif.Control(2, -1, 10).Frame(1, 1, 1, 1, {3});                 // green, then cleared
    gif.Control(1, 0, 10).Frame(2, 0, 1, 2, {0, 2}).End();         // transparent over, red
    DecodedMovie movie;
    ASSERT_EQ("", Decode(gif.bytes, movie));
    ASSERT_EQ(4u, movie.frames.size());
    // Index 0 is the transparent colour (the cleared pixel); then white, red, green.
    ASSERT_EQ(4u, movie.palette.size());
    EXPECT_EQ((std::vector<std::string>{"111", "111"}), Rows(movie, 0));
    EXPECT_EQ((std::vector<std::string>{"211", "111"}), Rows(movie, 1));
    EXPECT_EQ((std::vector<std::string>{"111", "131"}), Rows(movie, 2));
    EXPECT_EQ((std::vector<std::string>{"111", "102"}), Rows(movie, 3));
    EXPECT_EQ(100u, movie.periodMs);
    EXPECT_FALSE(movie.delaysDiffer);
}

TEST(GifReader, LocalTablesMergeAndTheMostFrequentDelayWins) {
    // Two frames share black and white; the second's table has blue where red was.
    const Bytes local = {0, 0, 0, 255, 255, 255, 0, 0, 255, 0, 0, 0};
    GifBuilder gif(2, 1, kColours);
    gif.Control(1, -1, 5).Frame(0, 0, 2, 1, {0, 2});
    gif.Control(1, -1, 7).Frame(0, 0, 2, 1, {1, 2}, local);
    gif.Control(1, -1, 5).Frame(0, 0, 2, 1, {1, 0}).End();
    DecodedMovie movie;
    ASSERT_EQ("", Decode(gif.bytes, movie));
    ASSERT_EQ(4u, movie.palette.size());  // black, red, white, blue in order of first use
    EXPECT_EQ((std::vector<std::string>{"01"}), Rows(movie, 0));
    EXPECT_EQ((std::vector<std::string>{"23"}), Rows(movie, 1));
    EXPECT_EQ((std::vector<std::string>{"20"}), Rows(movie, 2));
    EXPECT_EQ(255, movie.palette[3].blue);
    EXPECT_EQ(50u, movie.periodMs);
    EXPECT_TRUE(movie.delaysDiffer);
}

TEST(GifReader, InterlacedRowsComeBackInOrder) {
    Bytes pixels;  // 1 x 10 sent in interlace order: rows 0 8 | 4 | 2 6 | 1 3 5 7 9
    for (const uint8_t row : {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}) {
        pixels.push_back(row % 4);
    }
    GifBuilder gif(1, 10, kColours);
    gif.bytes.push_back(0x2C);
    ByteWriter out(gif.bytes);
    out.u16le(0);
    out.u16le(0);
    out.u16le(1);
    out.u16le(10);
    out.u8(0x40);  // interlaced
    out.u8(2);
    AppendSubBlocks(
        gif.bytes,
        EncodeLzw({pixels.data(), nullptr, pixels.size(), false}, 2, LzwFullTable::Clear).bytes);
    gif.End();
    DecodedMovie movie;
    ASSERT_EQ("", Decode(gif.bytes, movie));
    std::string column;
    for (const std::string& row : Rows(movie, 0)) {
        column += row;
    }
    EXPECT_EQ("0123012301", column);
}

TEST(GifReader, HostileFilesAreRefusedWithAReason) {
    const Bytes okFrame = GifBuilder(2, 2, kColours).Frame(0, 0, 2, 2, {0, 1, 2, 3}).End().bytes;
    Bytes many(3 * 256);
    for (size_t i = 0; i < many.size(); ++i) {
        many[i] = uint8_t(i / 3 + i % 3);
    }
    Bytes local(3 * 256);
    for (size_t i = 0; i < local.size(); ++i) {
        local[i] = uint8_t(255 - i / 3);
    }
    Bytes all(256), truncated = okFrame;
    for (size_t i = 0; i < all.size(); ++i) {
        all[i] = uint8_t(i);
    }
    truncated.resize(truncated.size() - 5);
    struct Row {
        const char* what;
        Bytes file;
        std::string reason;
    };
    const Row rows[] = {
        {"not a GIF", {'G', 'I', 'F', '9', '0', 'a', 1, 0, 1, 0, 0, 0, 0}, "not a GIF file"},
        {"header cut", {'G', 'I', 'F', '8', '9', 'a', 1}, "the GIF header ends early"},
        {"no picture", GifBuilder(2, 2, kColours).End().bytes, "the GIF holds no picture"},
        {"empty screen", GifBuilder(0, 2, kColours).Frame(0, 0, 1, 1, {0}).End().bytes,
         "the GIF picture is 0 x 2 pixels"},
        {"frame outside", GifBuilder(2, 2, kColours).Frame(1, 0, 2, 2, {0, 1, 2, 3}).End().bytes,
         "frame 1 (2 x 2 at 1, 0) is not inside the 2 x 2 picture"},
        {"no table", GifBuilder(2, 2, {}).Frame(0, 0, 2, 2, {0, 1, 0, 1}).End().bytes,
         "frame 1 has no colour table"},
        {"cut inside a frame", truncated, "the file ends inside frame 1"},
        {"index beyond the table",
         GifBuilder(2, 1, {0, 0, 0, 9, 9, 9}).Frame(0, 0, 2, 1, {0, 3}).End().bytes,
         "frame 1: colour 3 beyond the table of 2"},
        {"huge canvas", GifBuilder(65535, 65535, kColours).Frame(0, 0, 1, 1, {0}).End().bytes,
         "the movie would take"},
        {"more than 256 colours",
         GifBuilder(256, 1, many)
             .Frame(0, 0, 256, 1, all, {}, 8)
             .Frame(0, 0, 256, 1, all, local, 8)
             .End()
             .bytes,
         "the GIF uses 512 colours; a movie holds at most 256"},
    };
    for (const Row& row : rows) {
        DecodedMovie movie;
        const std::string reason = Decode(row.file, movie);
        EXPECT_EQ(row.reason, reason.substr(0, row.reason.size())) << row.what;
    }
}

}  // namespace
}  // namespace kx
