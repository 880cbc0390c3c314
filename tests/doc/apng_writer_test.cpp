// Writing animated PNGs: the frames read back exactly (through our reader; the peer tests ask
// ffmpeg), and the chunks say what the movie says: delays, plays, palette and transparency.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/frame_delta.h"
#include "doc/png_decoder.h"
#include "doc/temp_folder.h"

namespace kx {
namespace {

using PixelSource = std::function<uint8_t(int32_t frame, int32_t x, int32_t y)>;

// A movie of n frames of w x h pixels over a palette of 40 distinct colours.
void MakeMovie(CAnimationDocument& doc, int32_t n, int32_t w, int32_t h, int32_t periodMs,
               const PixelSource& pixel) {
    doc.palette.count = 40;
    for (int i = 0; i < 40; ++i) {
        doc.palette.entries[size_t(i)] = RgbQuad{uint8_t(6 * i), uint8_t(255 - 5 * i), 7, 0};
    }
    doc.movieList.frames.assign(size_t(n), FrameChunk{});
    doc.movieList.index.assign(size_t(n), IndexEntry{});
    for (int32_t k = 0; k < n; ++k) {
        kx::FrameBytes& data = doc.movieList.frames[size_t(k)].data;
        data.assign(size_t(Stride8(w)) * size_t(h), 0);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                data[size_t(h - 1 - y) * Stride8(w) + size_t(x)] = pixel(k, x, y);
            }
        }
    }
    doc.frameCount = n;
    doc.headerList.stream.format.header.biWidth = w;
    doc.headerList.stream.format.header.biHeight = h;
    ASSERT_EQ(1, doc.RebuildHeaders(40, n, h, w, periodMs));
    doc.movieList.FindTransparentIndex(doc.palette, h);
}

uint32_t ColourAt(const CAnimationDocument& doc, int32_t k, int32_t x, int32_t y) {
    const FrameView view = FrameView::OfDocument(doc, k);
    const RgbQuad& c = doc.Palette().entries[view.At(x, y)];
    return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
}

struct MovieCase {
    const char* what;
    int32_t frames;
    bool transparent;
    PixelSource pixel;
};

const MovieCase kMovies[] = {
    {"sprite on a transparent background", 12, true,
     [](int32_t k, int32_t x, int32_t y) {
         return uint8_t((x - k) / 3 == 2 && y > 3 && y < 9 ? 1 + (x + y) % 4 : 0);
     }},
    {"opaque scene with a moving sprite", 10, false,
     [](int32_t k, int32_t x, int32_t y) {
         return uint8_t(x >= k && x < k + 3 && y >= 2 && y < 6 ? 30 : 5 + (x / 4 + y / 3) % 6);
     }},
    {"everything changes", 6, false,
     [](int32_t k, int32_t x, int32_t y) { return uint8_t((x * 7 + y * 3 + k * 11) % 40); }},
    {"frames that repeat and turn transparent", 5, true,
     [](int32_t k, int32_t x, int32_t) { return uint8_t(k % 2 == 0 || x < 4 ? 0 : 9); }},
    {"one frame", 1, false, [](int32_t, int32_t x, int32_t y) { return uint8_t((x + y) % 16); }},
};

TEST(ApngWriterTest, TheFramesReadBackExactly) {
    for (const MovieCase& m : kMovies) {
        SCOPED_TRACE(m.what);
        test::TempFolder folder;
        CAnimationDocument doc;
        MakeMovie(doc, m.frames, 17, 11, 80, m.pixel);
        ASSERT_EQ(1, doc.SaveApng(nullptr, folder / "a.png", AnimationOptions{m.transparent, 0}))
            << doc.FailureReason();
        CAnimationDocument back;
        ASSERT_EQ(1, back.LoadPng(nullptr, folder / "a.png", 100)) << back.FailureReason();
        ASSERT_EQ(m.frames, back.FrameCount());
        const uint8_t transparent = doc.TransparentIndex();
        for (int32_t k = 0; k < m.frames; ++k) {
            for (int32_t y = 0; y < 11; ++y) {
                for (int32_t x = 0; x < 17; ++x) {
                    const bool clear = m.transparent && m.pixel(k, x, y) == transparent;
                    // Transparent pixels come back as the reader's transparent index 0.
                    if (clear) {
                        ASSERT_EQ(0, FrameView::OfDocument(back, k).At(x, y));
                    } else {
                        ASSERT_EQ(ColourAt(doc, k, x, y), ColourAt(back, k, x, y))
                            << "frame " << k << " pixel " << x << ", " << y;
                    }
                }
            }
        }
        // A single image opens as a strip, at the period the user gives it.
        EXPECT_EQ(m.frames > 1 ? 80000u : 100000u, back.MicroSecPerFrame());
    }
}

TEST(ApngWriterTest, TheChunksCarryDelaysPlaysPaletteAndTransparency) {
    struct Case {
        const MovieCase* movie;
        AnimationOptions options;
        int32_t periodMs;
        size_t paletteEntries;  // the colours used, and a helper entry for opaque animations
        bool transparencyChunk;
    };
    const Case cases[] = {
        {&kMovies[0], {true, 0}, 40, 5, true},
        {&kMovies[0], {false, 3}, 1234, 6, true},
        {&kMovies[1], {false, 1}, 100, 8, true},
        {&kMovies[4], {false, 0}, 60000, 16, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.movie->what) + ", " + std::to_string(c.periodMs) + " ms");
        test::TempFolder folder;
        CAnimationDocument doc;
        MakeMovie(doc, c.movie->frames, 17, 11, c.periodMs, c.movie->pixel);
        ASSERT_EQ(1, doc.SaveApng(nullptr, folder / "a.png", c.options)) << doc.FailureReason();
        const std::vector<uint8_t> bytes = test::ReadAll(folder / "a.png");
        png::PngFile file;
        std::string reason;
        ASSERT_TRUE(png::ParsePng(bytes.data(), bytes.size(), file, reason)) << reason;
        EXPECT_EQ(3, file.header.colourType);
        EXPECT_EQ(c.paletteEntries, file.palette.size());
        // One tRNS entry at most: index 0 transparent, the rest opaque.
        EXPECT_EQ(c.transparencyChunk ? 0 : 255, png::AlphaOf(file.palette[0]));
        EXPECT_EQ(255, png::AlphaOf(file.palette.back()));
        ASSERT_TRUE(file.animated);
        EXPECT_EQ(c.options.plays, file.plays);
        ASSERT_EQ(size_t(c.movie->frames), file.frames.size());
        // The first frame is the default image.
        EXPECT_EQ(file.image.front().data, file.frames[0].pieces.front().data);
        for (const png::AnimationFrame& f : file.frames) {
            EXPECT_EQ(c.periodMs, f.control.delayNum);
            EXPECT_EQ(1000, f.control.delayDen);
        }
    }
}

}  // namespace
}  // namespace kx
