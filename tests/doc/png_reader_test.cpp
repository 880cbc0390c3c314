// Opening PNG files: every colour type and depth, interlace, the palette a picture gets,
// animated PNG composition and speed, and the refusals of files that cannot or must not load.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/file_readers.h"
#include "doc/png_builder.h"
#include "doc/temp_folder.h"

namespace kx {
namespace {

using test::PngBuilder;
using test::PngImage;

// Colour of pixel (x, y) of frame k as 0xRRGGBB.
uint32_t ColourAt(const CAnimationDocument& doc, int32_t k, int32_t x, int32_t y) {
    const size_t row = size_t(doc.FrameHeight() - 1 - y) * Stride8(doc.FrameWidth());
    const RgbQuad& c = doc.Palette().entries[doc.Frame(k).data[row + size_t(x)]];
    return uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
}

uint8_t IndexAt(const CAnimationDocument& doc, int32_t k, int32_t x, int32_t y) {
    const size_t row = size_t(doc.FrameHeight() - 1 - y) * Stride8(doc.FrameWidth());
    return doc.Frame(k).data[row + size_t(x)];
}

int LoadBytes(CAnimationDocument& doc, const std::vector<uint8_t>& bytes) {
    test::TempFolder folder;
    test::WriteAll(folder / "in.png", bytes);
    return doc.LoadPng(nullptr, folder / "in.png", 100);
}

// Sample values of each depth and the 8-bit value each must become (16 bits: ffmpeg's rounding).
struct DepthSamples {
    uint8_t depth;
    std::vector<uint16_t> samples;
    std::vector<uint8_t> expected;
};
const DepthSamples kDepths[] = {
    {1, {0, 1}, {0, 255}},
    {2, {0, 1, 2, 3}, {0, 85, 170, 255}},
    {4, {0, 5, 9, 15}, {0, 85, 153, 255}},
    {8, {0, 7, 128, 255}, {0, 7, 128, 255}},
    {16, {0x0000, 0x127F, 0x1280, 0xC8C8, 0xFF7F, 0xFFFF}, {0x00, 0x12, 0x13, 0xC9, 0xFF, 0xFF}},
};

TEST(PngReaderTest, EveryGreyAndTruecolourDepthDecodesToItsValues) {
    for (const DepthSamples& d : kDepths) {
        for (const uint8_t type : {uint8_t(0), uint8_t(2), uint8_t(4), uint8_t(6)}) {
            if (type != 0 && d.depth < 8) {
                continue;  // only grey comes in fewer than 8 bits
            }
            for (const bool interlaced : {false, true}) {
                SCOPED_TRACE("type " + std::to_string(type) + ", depth " + std::to_string(d.depth) +
                             (interlaced ? ", interlaced" : ""));
                const PngImage image{11, 9, d.depth, type, interlaced};
                const size_t n = d.samples.size();
                // Red, green and blue take neighbouring samples; alpha is opaque.
                const auto sample = [&](uint32_t x, uint32_t y, size_t c) {
                    return (x + 2 * y + c) % n;
                };
                const uint16_t opaque = uint16_t((1u << d.depth) - 1);
                const auto samples = [&](uint32_t x, uint32_t y) {
                    std::vector<uint16_t> s;
                    const size_t colours = (type == 2 || type == 6) ? 3 : 1;
                    for (size_t c = 0; c < colours; ++c) {
                        s.push_back(d.samples[sample(x, y, c)]);
                    }
                    if (type == 4 || type == 6) {
                        s.push_back(opaque);
                    }
                    return s;
                };
                CAnimationDocument doc;
                ASSERT_EQ(
                    1,
                    LoadBytes(doc, PngBuilder().Header(image).Image(image, samples).End().Bytes()))
                    << doc.FailureReason();
                ASSERT_EQ(11, doc.FrameWidth());
                ASSERT_EQ(9, doc.FrameHeight());
                const bool grey = type == 0 || type == 4;
                for (uint32_t y = 0; y < 9; ++y) {
                    for (uint32_t x = 0; x < 11; ++x) {
                        const uint32_t r = d.expected[sample(x, y, 0)];
                        const uint32_t g = d.expected[sample(x, y, grey ? 0 : 1)];
                        const uint32_t b = d.expected[sample(x, y, grey ? 0 : 2)];
                        ASSERT_EQ(r << 16 | g << 8 | b, ColourAt(doc, 0, int32_t(x), int32_t(y)))
                            << "pixel " << x << ", " << y;
                    }
                }
            }
        }
    }
}

TEST(PngReaderTest, PaletteAndGreyImagesKeepTheirPalette) {
    // A palette image keeps every entry in its order, used or not.
    const PngImage indexed{5, 3, 4, 3, false};
    const std::vector<uint32_t> colours = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF, 0x405060};
    CAnimationDocument doc;
    ASSERT_EQ(1, LoadBytes(doc, PngBuilder()
                                    .Header(indexed)
                                    .Palette(colours)
                                    .Image(indexed,
                                           [](uint32_t x, uint32_t) {
                                               return std::vector<uint16_t>{uint16_t(3 - x % 3)};
                                           })
                                    .End()
                                    .Bytes()))
        << doc.FailureReason();
    EXPECT_EQ(5, doc.Palette().count);
    EXPECT_EQ(3, IndexAt(doc, 0, 0, 0));
    EXPECT_EQ(1, IndexAt(doc, 0, 2, 1));
    EXPECT_EQ(0x0000FFu, ColourAt(doc, 0, 0, 2));
    EXPECT_EQ(1u, doc.FrameCount());

    // A 2-bit grey image gets its four levels, the samples as indices.
    const PngImage grey{4, 1, 2, 0, false};
    ASSERT_EQ(1, LoadBytes(doc, PngBuilder()
                                    .Header(grey)
                                    .Image(grey,
                                           [](uint32_t x, uint32_t) {
                                               return std::vector<uint16_t>{uint16_t(3 - x)};
                                           })
                                    .End()
                                    .Bytes()))
        << doc.FailureReason();
    EXPECT_EQ(4, doc.Palette().count);
    EXPECT_EQ(3, IndexAt(doc, 0, 0, 0));
    EXPECT_EQ(0x555555u, ColourAt(doc, 0, 2, 0));
}

TEST(PngReaderTest, TruecolourTakesItsColoursInOrderAndTransparencyAtIndexZero) {
    // Opaque RGB: the colours in order of first appearance, row by row from the top.
    const PngImage rgba{4, 2, 8, 6, false};
    const auto picture = [](uint32_t x, uint32_t y) {
        const uint16_t v = uint16_t(x == 3 ? 0 : 50 * (x + 1) + y);
        return std::vector<uint16_t>{v, 0, 0, uint16_t(x == 3 ? 0 : 255)};
    };
    CAnimationDocument doc;
    ASSERT_EQ(1, LoadBytes(doc, PngBuilder().Header(rgba).Image(rgba, picture).End().Bytes()))
        << doc.FailureReason();
    // Column 3 is transparent: index 0, then 50, 100, 150 (row 0) and 51, 101, 151 (row 1).
    EXPECT_EQ(7, doc.Palette().count);
    const std::vector<uint8_t> expected = {1, 2, 3, 0, 4, 5, 6, 0};
    for (int32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(expected[size_t(i)], IndexAt(doc, 0, i % 4, i / 4)) << "pixel " << i;
    }
    EXPECT_EQ(0x320000u, ColourAt(doc, 0, 0, 0));
    EXPECT_EQ(0x000000u, ColourAt(doc, 0, 3, 0));  // the transparent colour
    EXPECT_EQ(1, doc.TransparentIndex());          // the top-left pixel's
}

TEST(PngReaderTest, FilesThatCannotOrMustNotLoadAreRefusedWithAReason) {
    const PngImage rgb{20, 20, 8, 2, false};
    const auto many = [](uint32_t x, uint32_t y) {  // 400 colours
        return std::vector<uint16_t>{uint16_t(x), uint16_t(y), 7};
    };
    const PngImage rgba{2, 1, 8, 6, false};
    const auto half = [](uint32_t, uint32_t) { return std::vector<uint16_t>{9, 9, 9, 128}; };
    const PngImage huge{60000, 60000, 8, 3, false};
    const PngImage small{4, 4, 8, 0, false};
    const auto black = [](uint32_t, uint32_t) { return std::vector<uint16_t>{0}; };
    std::vector<uint8_t> wrongCrc = PngBuilder().Header(small).Image(small, black).End().Bytes();
    wrongCrc[8 + 12 + 4] ^= 1;  // a byte of the IHDR data
    std::vector<uint8_t> cut = PngBuilder().Header(small).Image(small, black).End().Bytes();
    cut.resize(cut.size() - 20);
    // An image stream that inflates to more rows than the image holds.
    const PngImage taller{4, 400, 8, 0, false};

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* reason;  // a part of the reason
    };
    const Case cases[] = {
        {"too many colours", PngBuilder().Header(rgb).Image(rgb, many).End().Bytes(),
         "400 colours; a palette holds at most 256"},
        {"partial alpha", PngBuilder().Header(rgba).Image(rgba, half).End().Bytes(),
         "2 pixels are partly transparent"},
        {"huge canvas",
         PngBuilder().Header(huge).Palette({0}).Chunk(png::kIDAT, {1, 2, 3}).End().Bytes(),
         "a movie may use at most 512 MB"},
        {"wrong CRC", wrongCrc, "IHDR at byte 8 has a wrong CRC"},
        {"cut short", cut, "runs past the end of the file"},
        {"inflates beyond", PngBuilder().Header(small).Image(taller, black).End().Bytes(),
         "inflates beyond the image's 20 bytes"},
        {"ends early", PngBuilder().Header(taller).Image(small, black).End().Bytes(),
         "the image data ends early: 20 of 2000 bytes"},
        {"no palette", PngBuilder().Header(PngImage{}).Image(PngImage{}, black).End().Bytes(),
         "without a PLTE chunk"},
        {"index beyond",
         PngBuilder()
             .Header(PngImage{})
             .Palette({0})
             .Image(PngImage{}, [](uint32_t, uint32_t) { return std::vector<uint16_t>{5}; })
             .End()
             .Bytes(),
         "palette index 5 beyond the 1 entries"},
        {"unknown critical",
         PngBuilder()
             .Header(small)
             .Chunk(png::ChunkType("ABCD"), {})
             .Image(small, black)
             .End()
             .Bytes(),
         "unknown critical chunk ABCD"},
        {"not a PNG", {'P', 'N', 'G'}, "not a PNG file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAnimationDocument doc;
        EXPECT_EQ(0, LoadBytes(doc, c.bytes));
        EXPECT_NE(std::string::npos, doc.FailureReason().find(c.reason)) << doc.FailureReason();
        EXPECT_EQ(0, doc.FrameCount());
    }
}

// A 4 x 2 canvas; each frame is a solid palette colour over a part of it.
struct FrameSpec {
    uint32_t w, h, x, y;
    uint8_t dispose, blend, colour;
    uint16_t delayMs;
};

std::vector<uint8_t> Animation(const std::vector<FrameSpec>& frames) {
    const PngImage image{4, 2, 8, 3, false};
    PngBuilder b;
    b.Header(image).Palette({0x000000, 0xFF0000, 0x00FF00, 0x0000FF});
    b.Chunk(png::kTRNS, {0});  // index 0 transparent
    b.AnimationControl(uint32_t(frames.size()), 0);
    for (size_t k = 0; k < frames.size(); ++k) {
        const FrameSpec& f = frames[k];
        const auto solid = [&f](uint32_t, uint32_t) { return std::vector<uint16_t>{f.colour}; };
        b.FrameControl(f.w, f.h, f.x, f.y, f.delayMs, 1000, f.dispose, f.blend);
        if (k == 0) {
            b.Image(image, solid);
        } else {
            b.FrameData(image, f.w, f.h, solid);
        }
    }
    return b.End().Bytes();
}

// Frame k as text, one letter per pixel: . transparent (black), r g b.
std::string FrameText(const CAnimationDocument& doc, int32_t k) {
    std::string text;
    for (int32_t y = 0; y < doc.FrameHeight(); ++y) {
        for (int32_t x = 0; x < doc.FrameWidth(); ++x) {
            const uint32_t c = ColourAt(doc, k, x, y);
            text += c == 0 ? '.' : c == 0xFF0000 ? 'r' : c == 0x00FF00 ? 'g' : 'b';
        }
        text += y + 1 < doc.FrameHeight() ? "/" : "";
    }
    return text;
}

TEST(PngReaderTest, AnimatedFramesAreCompositedByTheirDisposeAndBlend) {
    struct Case {
        const char* what;
        FrameSpec second;
        FrameSpec third;
        const char* frames;
    };
    // Frame 0 is red over the whole canvas (dispose as given); frame 1 covers the left half,
    // frame 2 one pixel at the right end of the top row.
    const Case cases[] = {
        {"none, source",
         {2, 2, 0, 0, 0, 0, 2, 100},
         {1, 1, 3, 0, 0, 0, 3, 100},
         "rrrr/rrrr ggrr/ggrr ggrb/ggrr"},
        {"background after 1",
         {2, 2, 0, 0, 1, 0, 2, 100},
         {1, 1, 3, 0, 0, 0, 3, 100},
         "rrrr/rrrr ggrr/ggrr ..rb/..rr"},
        {"previous after 1",
         {2, 2, 0, 0, 2, 0, 2, 100},
         {1, 1, 3, 0, 0, 0, 3, 100},
         "rrrr/rrrr ggrr/ggrr rrrb/rrrr"},
        {"over with a transparent frame",
         {2, 2, 0, 0, 0, 1, 0, 100},
         {1, 1, 3, 0, 0, 1, 3, 100},
         "rrrr/rrrr rrrr/rrrr rrrb/rrrr"},
        {"source with a transparent frame",
         {2, 2, 0, 0, 0, 0, 0, 100},
         {1, 1, 3, 0, 0, 0, 3, 100},
         "rrrr/rrrr ..rr/..rr ..rb/..rr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAnimationDocument doc;
        ASSERT_EQ(1, LoadBytes(doc, Animation({{4, 2, 0, 0, 0, 0, 1, 100}, c.second, c.third})))
            << doc.FailureReason();
        ASSERT_EQ(3, doc.FrameCount());
        EXPECT_EQ(c.frames, FrameText(doc, 0) + " " + FrameText(doc, 1) + " " + FrameText(doc, 2));
    }
}

TEST(PngReaderTest, AnAnimationPlaysAtItsMostFrequentDelay) {
    CAnimationDocument doc;
    ASSERT_EQ(1, LoadBytes(doc, Animation({{4, 2, 0, 0, 0, 0, 1, 40},
                                           {1, 1, 0, 0, 0, 0, 2, 70},
                                           {1, 1, 1, 0, 0, 0, 2, 70},
                                           {1, 1, 2, 0, 0, 0, 2, 40},
                                           {1, 1, 3, 0, 0, 0, 2, 70}})))
        << doc.FailureReason();
    EXPECT_EQ(70000u, doc.MicroSecPerFrame());
    EXPECT_TRUE(doc.Source().delaysDiffer);
}

TEST(PngReaderTest, BrokenAnimationsAreRefusedWithAReason) {
    const PngImage image{4, 2, 8, 3, false};
    const auto red = [](uint32_t, uint32_t) { return std::vector<uint16_t>{1}; };
    const auto start = [&] {
        PngBuilder b;
        b.Header(image).Palette({0, 0xFF0000}).AnimationControl(2, 0);
        b.FrameControl(4, 2, 0, 0, 1, 10, 0, 0).Image(image, red);
        return b;
    };
    PngBuilder skipped = start();
    skipped.FrameControl(1, 1, 0, 0, 1, 10, 0, 0);
    // An fdAT whose sequence number repeats the fcTL's.
    std::vector<uint8_t> data;
    png::PutU32be(data, 2);
    const std::vector<uint8_t> stream = test::Zlib({0, 1});
    data.insert(data.end(), stream.begin(), stream.end());
    skipped.Chunk(png::kFDAT, data).Chunk(png::kFDAT, data).End();

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"frame outside", start().FrameControl(2, 2, 3, 0, 1, 10, 0, 0).End().Bytes(),
         "frame 1 (2 x 2 at 3, 0) lies outside the 4 x 2 canvas"},
        {"sequence repeated", skipped.Bytes(), "fdAT sequence number 2 out of order (expected 3)"},
        {"frame without data", start().FrameControl(1, 1, 0, 0, 1, 10, 0, 0).End().Bytes(),
         "frame 1 has no image data"},
        {"fewer frames than announced", start().End().Bytes(),
         "acTL announces 2 frames; the file holds 1"},
        {"more frames than announced",
         start()
             .FrameControl(1, 1, 0, 0, 1, 10, 0, 0)
             .FrameControl(1, 1, 0, 0, 1, 10, 0, 0)
             .Bytes(),
         "more frames than the 2 that acTL announces"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAnimationDocument doc;
        EXPECT_EQ(0, LoadBytes(doc, c.bytes));
        EXPECT_NE(std::string::npos, doc.FailureReason().find(c.reason)) << doc.FailureReason();
        EXPECT_EQ(0, doc.FrameCount());
    }
}

TEST(PngReaderTest, AStillIsAStripAndAnAnimationAMovie) {
    const PngImage image{4, 2, 8, 3, false};
    const auto red = [](uint32_t, uint32_t) { return std::vector<uint16_t>{1}; };
    test::TempFolder folder;
    test::WriteAll(
        folder / "still.png",
        PngBuilder().Header(image).Palette({0, 0xFF0000}).Image(image, red).End().Bytes());
    test::WriteAll(folder / "movie.png",
                   Animation({{4, 2, 0, 0, 0, 0, 1, 40}, {1, 1, 0, 0, 0, 0, 2, 40}}));
    for (const char* name : {"still.png", "movie.png"}) {
        SCOPED_TRACE(name);
        const ReaderChoice choice = ChooseReader(folder / name);
        ASSERT_NE(nullptr, choice.reader);
        EXPECT_STREQ("png", choice.reader->name);
        CAnimationDocument doc;
        ASSERT_EQ(1, choice.reader->load(doc, nullptr, folder / name, 40)) << doc.FailureReason();
        EXPECT_EQ(std::string(name) == "still.png", LoadedAsStrip(*choice.reader, doc));
    }
}

}  // namespace
}  // namespace kx
