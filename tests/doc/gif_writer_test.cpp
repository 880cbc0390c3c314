#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/gif_format.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;
using Pixel = std::function<uint8_t(int f, int x, int y)>;  // y from the top

// A composed movie of n frames of width x height; palette entry i is (i, 255 - i, 7 i).
void MakeMovie(CAnimationDocument& doc, int32_t width, int32_t height, int32_t n,
               int32_t paletteEntries, const Pixel& pixel) {
    const uint32_t stride = Stride8(width);
    doc.frameCount = n;
    doc.movieList.frames.assign(size_t(n), FrameChunk{});
    doc.movieList.index.assign(size_t(n), IndexEntry{});
    for (int f = 0; f < n; ++f) {
        auto& data = doc.movieList.frames[size_t(f)].data;
        data.assign(size_t(stride) * size_t(height), 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                data[size_t(height - 1 - y) * stride + size_t(x)] = pixel(f, x, y);
            }
        }
    }
    doc.palette.count = paletteEntries;
    for (int i = 0; i < paletteEntries; ++i) {
        doc.palette.entries[size_t(i)] = RgbQuad{uint8_t(7 * i), uint8_t(255 - i), uint8_t(i), 0};
    }
    auto& format = doc.headerList.stream.format.header;
    format.biWidth = width;
    format.biHeight = height;
    ASSERT_EQ(1, doc.RebuildHeaders(paletteEntries, n, height, width, 80));
    doc.movieList.FindTransparentIndex(doc.palette, height);
}

// Each pixel of each frame (rows bottom-up, padding left out) as 0xRRGGBB, or -1 for a pixel
// holding index clear.
std::vector<int64_t> Colours(const std::vector<RgbQuad>& palette, const std::vector<Bytes>& frames,
                             int32_t width, int32_t height, int clear) {
    std::vector<int64_t> out;
    for (const Bytes& frame : frames) {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t v = frame[size_t(y) * Stride8(width) + size_t(x)];
                const RgbQuad& c = palette[v];
                out.push_back(int(v) == clear ? -1 : c.red << 16 | c.green << 8 | c.blue);
            }
        }
    }
    return out;
}

struct MovieCase {
    const char* what;
    int32_t width, height, frames, colours;
    Pixel pixel;
};

const MovieCase kMovies[] = {
    {"sprite on background", 23, 17, 6, 8,
     [](int f, int x, int y) {
         return uint8_t(x >= 2 * f && x < 2 * f + 5 && y >= f && y < f + 6 ? 1 + (x + y) % 3 : 0);
     }},
    {"sprite over a scene", 30, 12, 5, 40,
     [](int f, int x, int y) {
         return uint8_t(x >= 3 * f && x < 3 * f + 4 && y > 3 && y < 9 ? 39 : (x / 4 + y) % 30);
     }},
    {"changing everywhere", 16, 16, 4, 200,
     [](int f, int x, int y) { return uint8_t((x * 37 + y * 101 + f * 13) % 200); }},
    {"sprite leaving", 9, 9, 4, 4,
     [](int f, int x, int y) {
         return uint8_t(f < 2 && x > 2 && x < 6 && y > 2 && y < 6 ? 3 : 0);
     }},
    {"one frame", 5, 3, 1, 3, [](int, int x, int y) { return uint8_t((x + y) % 3); }},
    {"unchanged frames", 4, 4, 3, 2, [](int, int x, int) { return uint8_t(x % 2); }},
};

TEST(GifWriter, DecodesToTheMovieWithAndWithoutTransparency) {
    for (const MovieCase& m : kMovies) {
        for (const bool transparent : {false, true}) {
            SCOPED_TRACE(std::string(m.what) + (transparent ? " transparent" : ""));
            CAnimationDocument doc;
            MakeMovie(doc, m.width, m.height, m.frames, m.colours, m.pixel);
            AnimationOptions options;
            options.transparent = transparent;
            Bytes gif;
            ASSERT_EQ("", EncodeGif(doc, options, nullptr, gif));
            DecodedMovie movie;
            ASSERT_EQ("", DecodeGif(gif.data(), gif.size(), nullptr, movie));
            ASSERT_EQ(size_t(m.frames), movie.frames.size());
            std::vector<Bytes> frames;
            for (int32_t f = 0; f < m.frames; ++f) {
                frames.push_back(doc.Frame(f).data.Copy());
            }
            const std::vector<RgbQuad> palette(doc.Palette().entries.begin(),
                                               doc.Palette().entries.end());
            // Transparent pixels come back as index 0, a colour of their own.
            EXPECT_EQ(Colours(palette, frames, m.width, m.height,
                              transparent ? doc.TransparentIndex() : -1),
                      Colours(movie.palette, movie.frames, m.width, m.height,
                              movie.transparentAtZero ? 0 : -1));
        }
    }
}

TEST(GifWriter, TableTrimmedToUsedColoursLoopBlockAndCroppedFrames) {
    // 5 colours used of a palette of 200: a table of 8. A dot moves; frame 1 covers old and new.
    CAnimationDocument doc;
    MakeMovie(doc, 20, 10, 2, 200, [](int f, int x, int y) {
        return uint8_t(x == 5 + 4 * f && y == 3 ? 150 : (x + y) % 4);
    });
    struct Row {
        uint32_t plays;
        bool loopBlock;
        uint16_t repeats;
    };
    for (const Row& row : {Row{0, true, 0}, Row{1, false, 0}, Row{5, true, 4}}) {
        AnimationOptions options;
        options.plays = row.plays;
        Bytes gif;
        ASSERT_EQ("", EncodeGif(doc, options, nullptr, gif));
        EXPECT_EQ(0x80, gif[10] & 0x80);
        EXPECT_EQ(2, gif[10] & 7) << "8 colours";
        size_t at = 13 + 3 * 8;
        EXPECT_EQ(row.loopBlock, gif[at] == 0x21 && gif[at + 1] == 0xFF) << row.plays;
        if (row.loopBlock) {
            EXPECT_EQ(row.repeats, gif[at + 16] | gif[at + 17] << 8);
        }
    }
    // The second frame: its rectangle is the two dot positions on row 3.
    Bytes gif;
    ASSERT_EQ("", EncodeGif(doc, {}, nullptr, gif));
    size_t images = 0;
    for (size_t at = 13 + 24; at + 9 < gif.size(); ++at) {
        if (gif[at] == 0x2C && gif[at - 8] == 0x21 && gif[at - 7] == 0xF9 && ++images == 2) {
            EXPECT_EQ(5, gif[at + 1]);  // left
            EXPECT_EQ(3, gif[at + 3]);  // top
            EXPECT_EQ(5, gif[at + 5]);  // width: x 5 to 9
            EXPECT_EQ(1, gif[at + 7]);  // height
        }
    }
    EXPECT_EQ(2u, images);
}

TEST(GifWriter, DelayRule) {
    struct Row {
        uint32_t microSec;
        uint16_t delay;
        bool raised;
    };
    const Row rows[] = {{80000, 8, false}, {125000, 13, false},    {124999, 12, false},
                        {20000, 2, false}, {19999, 2, true},       {5000, 2, true},
                        {1000, 2, true},   {60000000, 6000, false}};
    for (const Row& row : rows) {
        EXPECT_EQ(row.delay, GifDelay(row.microSec)) << row.microSec;
        EXPECT_EQ(row.raised, GifDelayRaised(row.microSec)) << row.microSec;
    }
}

}  // namespace
}  // namespace kx
