// Every AVI we write decodes in ffmpeg to exactly the pixels of our frames.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/temp_folder.h"
#include "peer/run_program.h"

namespace kx {
namespace {

enum class Content { Static, Moving, Random, Stripes, PlainSized };

struct MovieCase {
    int32_t width;
    int32_t height;
    int32_t frames;
    int32_t colours;
    Content content;
};

std::string Describe(const MovieCase& c) {
    static const char* names[] = {"static", "moving", "random", "stripes", "plain-sized"};
    return std::to_string(c.width) + "x" + std::to_string(c.height) + "x" +
           std::to_string(c.frames) + " " + std::to_string(c.colours) + " colours " +
           names[int(c.content)];
}

void MakeMovie(CAnimationDocument& doc, const MovieCase& c) {
    const uint32_t stride = Stride8(c.width);
    uint32_t seed = uint32_t(c.width * 7919 + c.colours * 31 + int(c.content));
    auto random = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    doc.frameCount = c.frames;
    doc.movieList.frames.assign(size_t(c.frames), FrameChunk{});
    doc.movieList.index.assign(size_t(c.frames), IndexEntry{});
    for (int f = 0; f < c.frames; ++f) {
        auto& data = doc.movieList.frames[size_t(f)].data;
        data.assign(size_t(stride) * size_t(c.height), 0);
        for (int row = 0; row < c.height; ++row) {
            for (int x = 0; x < c.width; ++x) {
                uint32_t v = 0;
                switch (c.content) {
                    case Content::Static:
                        v = uint32_t(x / 3 + row);
                        break;
                    case Content::Moving:
                        // A block walking over a background with a fixed pattern.
                        v = (x >= f * 2 && x < f * 2 + 4 && row % 7 < 4) ? 1u : uint32_t(row / 5);
                        break;
                    case Content::Random:
                        v = random();
                        break;
                    case Content::Stripes:
                        v = uint32_t((x + f) / 2 + row * 3);
                        break;
                    case Content::PlainSized:
                        // Runs of 3, 3, 3, 2 and 1 encode to exactly the 12 plain bytes of a
                        // row, which a reader takes for plain data unless the frame says
                        // otherwise.
                        v = uint32_t(x < 9 ? x / 3 : (x < 11 ? 3 : 4));
                        break;
                }
                data[size_t(row) * stride + size_t(x)] = uint8_t(v % uint32_t(c.colours));
            }
        }
    }
    doc.palette.count = c.colours;
    for (int i = 0; i < c.colours; ++i) {
        doc.palette.entries[size_t(i)] =
            RgbQuad{uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
    }
    doc.headerList.stream.format.header.biWidth = c.width;
    doc.headerList.stream.format.header.biHeight = c.height;
    ASSERT_EQ(1, doc.RebuildHeaders(c.colours, c.frames, c.height, c.width, 80));
    doc.movieList.FindTransparentIndex(doc.palette, c.height);
}

// Our frames as rgb24, top row first, as ffmpeg's rawvideo output lays them out.
std::vector<uint8_t> ExpectedRgb(const CAnimationDocument& doc) {
    std::vector<uint8_t> rgb;
    const int32_t w = doc.FrameWidth();
    const int32_t h = doc.FrameHeight();
    for (int32_t f = 0; f < doc.FrameCount(); ++f) {
        const auto& data = doc.Frame(f).data;
        for (int32_t y = 0; y < h; ++y) {
            const size_t row = size_t(h - 1 - y) * Stride8(w);
            for (int32_t x = 0; x < w; ++x) {
                const RgbQuad& e = doc.Palette().entries[data[row + size_t(x)]];
                rgb.push_back(e.red);
                rgb.push_back(e.green);
                rgb.push_back(e.blue);
            }
        }
    }
    return rgb;
}

TEST(FfmpegPeer, DecodesOurAvisToOurPixels) {
    if (!test::HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const MovieCase cases[] = {
        {4, 6, 3, 2, Content::Moving},      {4, 5, 4, 256, Content::Random},
        {5, 5, 4, 3, Content::Moving},      {5, 9, 3, 16, Content::Stripes},
        {7, 3, 5, 2, Content::Static},      {13, 11, 6, 16, Content::Moving},
        {16, 16, 4, 256, Content::Random},  {17, 8, 8, 200, Content::Stripes},
        {31, 20, 6, 5, Content::Moving},    {32, 32, 3, 16, Content::Static},
        {33, 17, 5, 256, Content::Stripes}, {64, 40, 10, 7, Content::Moving},
        {300, 4, 3, 256, Content::Stripes}, {9, 1, 3, 4, Content::Moving},
        {12, 1, 3, 5, Content::PlainSized},
    };
    test::TempFolder folder;
    int encoded = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(Describe(c));
        CAnimationDocument doc;
        MakeMovie(doc, c);
        const auto path = folder / "m.avi";
        ASSERT_EQ(1, doc.SaveAvi(nullptr, path)) << doc.FailureReason();
        const auto file = test::ReadAll(path);
        const bool rle = file.size() > 116 && file[112] == 'R' && file[113] == 'L';
        encoded += rle;
        if (rle && c.content == Content::PlainSized) {
            // Frame 0's chunk: an encoded frame never has the plain frame's size.
            const size_t chunk = 224 + 4 * size_t(doc.Palette().count);
            const uint32_t size = file.at(chunk + 4) | file.at(chunk + 5) << 8;
            EXPECT_NE(Stride8(c.width) * uint32_t(c.height), size);
        }
        const auto decoded =
            test::RunProgram("ffmpeg -nostdin -v error -i " + test::Quote(path.string()) +
                             " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -");
        ASSERT_EQ(0, decoded.status);
        // After the save the document holds the compacted palette and the remapped pixels,
        // which is what the file says.
        const auto expected = ExpectedRgb(doc);
        ASSERT_EQ(expected.size(), decoded.out.size());
        EXPECT_TRUE(expected == decoded.out);
    }
    // Most of these movies must have gone through the run-length encoder.
    EXPECT_LE(7, encoded);
}

}  // namespace
}  // namespace kx
