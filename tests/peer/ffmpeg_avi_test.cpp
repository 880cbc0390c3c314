// Every AVI we write decodes in ffmpeg to exactly the pixels of our frames, and files other
// tools write load to the pixels ffmpeg decodes from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/avi_builder.h"
#include "doc/temp_folder.h"
#include "peer/run_program.h"
#include "support/same_bytes.h"
#include "support/source_dir.h"

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
        EXPECT_TRUE(test::SameBytes(expected, decoded.out));
    }
    // Most of these movies must have gone through the run-length encoder.
    EXPECT_LE(7, encoded);
}

using test::AviParts;
using test::Bytes;

// ffmpeg's movie of three pictures in `colours` colours of palettes of their own: it marks each
// change with a palette-change chunk before the frame.
std::filesystem::path FfmpegPaletteMovie(const test::TempFolder& folder, int colours) {
    for (int seed = 1; seed <= 3; ++seed) {
        CAnimationDocument doc;
        MakeMovie(doc, MovieCase{16, 8, 1, colours, Content::Random});
        auto& data = doc.movieList.frames[0].data;
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = uint8_t(i % size_t(colours));
            doc.palette.entries[data[i]] = RgbQuad{uint8_t(i), uint8_t(i * 7), uint8_t(seed), 0};
        }
        // Appended piece by piece: "p" + to_string(...) draws a false -Wrestrict from GCC 12
        // at -O3.
        std::string name = "p";
        name += std::to_string(seed);
        name += ".bmp";
        EXPECT_EQ(1, doc.SaveBitmap(nullptr, folder / name, false));
    }
    const auto path = folder / "changes.avi";
    EXPECT_EQ(0, test::RunProgram("ffmpeg -nostdin -v error -y -i " +
                                  test::Quote((folder / "p%d.bmp").string()) +
                                  " -c:v rawvideo -pix_fmt pal8 " + test::Quote(path.string()))
                     .status);
    const auto bytes = test::ReadAll(path);
    EXPECT_NE(bytes.end(), std::search(bytes.begin(), bytes.end(), "00pc", "00pc" + 4));
    return path;
}

// Frames `first` to 4 of a movie of 6 x 3 pixels, with empty chunks (an unchanged frame to a
// recorder) at `empty`: plain, or a key frame 0 and deltas that set pixel k of the bottom row to
// index k % 4. With `changes`, entry 1 changes before frame 1 and entries 0 to 2 before frame 2
// (first entry, count, flags, then red, green, blue and flags of each).
Bytes Movie(bool runLength, size_t first, const std::vector<size_t>& empty, bool changes = false) {
    AviParts p;
    p.width = 6;
    p.height = 3;
    p.compression = runLength ? 1 : 0;
    Bytes movi = {'m', 'o', 'v', 'i'};
    for (size_t k = first; k < 5; ++k) {
        p.frames.push_back(
            std::count(empty.begin(), empty.end(), k) != 0 ? Bytes{}
            : !runLength                                   ? test::PlainFrame(p, int(k))
            : k == 0 ? Bytes{0x06, 0x01, 0x00, 0x00, 0x06, 0x02, 0x00, 0x00, 0x06, 0x03, 0x00, 0x01}
                     : Bytes{0x00, 0x02, uint8_t(k), 0x00, 0x01, uint8_t(k % 4), 0x00, 0x01});
        if (changes && (k == 1 || k == 2)) {
            test::Append(
                movi, test::Chunk(MakeFourCC("00pc"), k == 1 ? Bytes{1, 1, 0, 0, 9, 99, 199, 0}
                                                             : Bytes{0, 3, 0, 0, 1, 2, 250, 0, 0, 0,
                                                                     0, 0, 7, 7, 7, 0}));
        }
        test::Append(movi, test::Chunk(p.frameId, p.frames.back(), false));
    }
    return test::Riff({test::Hdrl(p), test::Chunk(fourcc::kList, movi, false), test::Idx1For(p)});
}

// Loads the file and compares its frames with what ffmpeg decodes from it; a file that must not
// load fails with the reason that it needs more than 256 colours.
void ExpectLoadsToFfmpegPixels(const std::filesystem::path& path, bool loads) {
    CAnimationDocument doc;
    const bool bitmap = path.extension() == ".bmp";
    ASSERT_EQ(loads ? 1 : 0,
              bitmap ? doc.LoadBitmapStrip(nullptr, path, 100) : doc.LoadAvi(nullptr, path))
        << doc.FailureReason();
    if (!loads) {
        EXPECT_NE(std::string::npos, doc.FailureReason().find("more than 256 colours"))
            << doc.FailureReason();
        return;
    }
    // ffmpeg drops empty chunks and keeps the others' times; its frame-rate filter then shows
    // each frame until the next one, as players do.
    const auto decoded =
        test::RunProgram("ffmpeg -nostdin -v error -i " + test::Quote(path.string()) +
                         " -vf fps=25 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(0, decoded.status);
    const auto ours = ExpectedRgb(doc);
    ASSERT_EQ(decoded.out.size(), ours.size());
    EXPECT_TRUE(test::SameBytes(ours, decoded.out));
}

TEST(FfmpegPeer, FilesOtherToolsWriteLoadToTheirPixels) {
    if (!test::HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const struct {
        const char* what;
        Bytes avi;
        int colours;  // of each picture ffmpeg makes a movie of, 0 for the movie in avi
        bool loads;
    } cases[] = {
        {"deltas before a base frame", Movie(true, 1, {}), 0, true},
        {"ffmpeg's palette changes between plain frames", {}, 80, true},
        {"palette changes that need 300 entries", {}, 100, false},
        {"palette changes between delta frames", Movie(true, 0, {}, true), 0, true},
        {"empty plain chunks", Movie(false, 0, {1, 2}), 0, true},
        {"empty run-length chunks", Movie(true, 0, {2, 3}), 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder;
        std::filesystem::path path = folder / "m.avi";
        if (c.colours != 0) {
            path = FfmpegPaletteMovie(folder, c.colours);
        } else {
            test::WriteAll(path, c.avi);
        }
        ExpectLoadsToFfmpegPixels(path, c.loads);
    }
}

// Run-length bitmaps of the bitmap test corpus beside the source tree, with transparent and cut
// off rows.
TEST(FfmpegPeer, CorpusRunLengthBitmapsLoadToTheirPixels) {
    if (!test::HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const auto corpus = test::SourceDir() / ".." / "shared" / "corpus" / "bmpsuite" / "q";
    const char* names[] = {"pal8rletrns.bmp", "pal4rletrns.bmp", "pal8rlecut.bmp",
                           "pal4rlecut.bmp"};
    std::string missing;
    for (const char* name : names) {
        if (!std::filesystem::exists(corpus / name)) {
            missing += std::string(missing.empty() ? "" : ", ") + name;
        }
    }
    if (!missing.empty()) {
        GTEST_SKIP() << "no corpus file " << missing << " in " << corpus.string();
    }
    for (const char* name : names) {
        SCOPED_TRACE(name);
        ExpectLoadsToFfmpegPixels(corpus / name, true);
    }
}

}  // namespace
}  // namespace kx
