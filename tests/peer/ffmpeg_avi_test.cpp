// Every AVI we write decodes in ffmpeg to exactly the pixels of our frames, and files other
// tools write load to the pixels ffmpeg decodes from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/avi_builder.h"
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

// Our frames equal ffmpeg's decoding of the file (every frame as rgb24, top row first; the
// options choose which frames ffmpeg puts out).
void ExpectFfmpegPixels(const CAnimationDocument& doc, const std::filesystem::path& path,
                        const std::string& options = "-fps_mode passthrough") {
    const auto decoded =
        test::RunProgram("ffmpeg -nostdin -v error -i " + test::Quote(path.string()) + " " +
                         options + " -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(0, decoded.status);
    const auto ours = ExpectedRgb(doc);
    ASSERT_EQ(decoded.out.size(), ours.size());
    EXPECT_TRUE(decoded.out == ours);
}

std::filesystem::path CorpusFolder() {
    const char* root = std::getenv("KX_SOURCE_DIR");
    return std::filesystem::path(root != nullptr ? root : KX_SOURCE_DIR) / ".." / "shared" /
           "corpus" / "bmpsuite";
}

using test::AviParts;
using test::Bytes;

// A run-length movie whose first frame is a delta frame: the codes of a movie cut after its key
// frame. 8 x 4 pixels, rows bottom-up.
Bytes CutAfterKeyFrame() {
    AviParts p;
    p.width = 8;
    p.height = 4;
    p.compression = 1;
    p.frames = {
        // Skip 2 pixels and a row, three pixels, end of line, a run, end of bitmap.
        {0x00, 0x02, 0x02, 0x01, 0x03, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00, 0x01},
        // Against the frame before: one pixel changed.
        {0x00, 0x02, 0x05, 0x00, 0x01, 0x03, 0x00, 0x01},
    };
    return test::BuildAvi(p);
}

TEST(FfmpegPeer, DeltasWithoutAFrameBeforeSkipWithIndexZero) {
    if (!test::HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const struct {
        const char* name;  // a bitmap of the corpus, or the movie built here
        bool avi;
    } cases[] = {
        {"q/pal8rletrns.bmp", false},      {"q/pal4rletrns.bmp", false},
        {"q/pal8rlecut.bmp", false},       {"q/pal4rlecut.bmp", false},
        {"cut after its key frame", true},
    };
    test::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::path path = CorpusFolder() / c.name;
        if (c.avi) {
            path = folder / "cut.avi";
            test::WriteAll(path, CutAfterKeyFrame());
        } else if (!std::filesystem::exists(path)) {
            std::printf("no corpus file %s\n", path.string().c_str());
            continue;
        }
        CAnimationDocument doc;
        ASSERT_EQ(1, c.avi ? doc.LoadAvi(nullptr, path) : doc.LoadBitmapStrip(nullptr, path, 100))
            << doc.FailureReason();
        ExpectFfmpegPixels(doc, path);
    }
}

// A bitmap of one 16 x 8 picture in all `colours` colours of a palette of its own (seeded).
void WritePicture(const std::filesystem::path& path, int colours, int seed) {
    CAnimationDocument doc;
    MovieCase c{16, 8, 1, colours, Content::Random};
    MakeMovie(doc, c);
    for (int i = 0; i < colours; ++i) {
        doc.palette.entries[size_t(i)] =
            RgbQuad{uint8_t(seed * 40 + i), uint8_t(i * 7), uint8_t(255 - seed * 30 - i), 0};
    }
    auto& data = doc.movieList.frames[0].data;
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = uint8_t((i + size_t(seed)) % size_t(colours));
    }
    ASSERT_EQ(1, doc.SaveBitmap(nullptr, path, false)) << doc.FailureReason();
}

// ffmpeg's movie of pictures whose palettes differ: it marks each change with a palette-change
// chunk before the frame.
std::filesystem::path FfmpegPaletteMovie(const test::TempFolder& folder, int colours) {
    for (const char* name : {"p1.bmp", "p2.bmp", "p3.bmp"}) {
        WritePicture(folder / name, colours, name[1] - '0');
    }
    const auto path = folder / "changes.avi";
    EXPECT_EQ(0, test::RunProgram("ffmpeg -nostdin -v error -y -i " +
                                  test::Quote((folder / "p%d.bmp").string()) +
                                  " -c:v rawvideo -pix_fmt pal8 " + test::Quote(path.string()))
                     .status);
    return path;
}

// A palette-change chunk: entries from `first`, each red, green, blue, flags.
Bytes PaletteChange(uint8_t first, const std::vector<RgbQuad>& entries) {
    Bytes body = {first, uint8_t(entries.size()), 0, 0};
    for (const RgbQuad& e : entries) {
        body.insert(body.end(), {e.red, e.green, e.blue, 0});
    }
    return test::Chunk(MakeFourCC("00pc"), body);
}

// Frames with palette changes between them, written here: entry 1 changes before frame 1 and
// entries 0 and 2 before frame 2. Plain, or run-length with delta frames that keep the indices
// of the frame before.
Bytes HandMadeChanges(bool runLength) {
    AviParts p;
    p.width = 6;
    p.height = 2;
    p.compression = runLength ? 1 : 0;
    if (runLength) {
        p.frames = {{0x02, 0x00, 0x02, 0x01, 0x02, 0x02, 0x00, 0x00, 0x06, 0x03, 0x00, 0x01},
                    {0x00, 0x02, 0x01, 0x00, 0x01, 0x03, 0x00, 0x01},
                    {0x00, 0x01}};
    } else {
        p.frames = {test::PlainFrame(p, 0), test::PlainFrame(p, 1), test::PlainFrame(p, 2)};
    }
    const auto frame = [&p](size_t k) { return test::Chunk(p.frameId, p.frames[k], false); };
    const Bytes movi = test::List(
        fourcc::kMovi, {frame(0), PaletteChange(1, {{9, 99, 199, 0}}), frame(1),
                        PaletteChange(0, {{1, 2, 250, 0}, {0, 0, 0, 0}, {7, 7, 7, 0}}), frame(2)});
    return test::Riff({test::Hdrl(p), movi, test::Idx1For(p)});
}

TEST(FfmpegPeer, PaletteChangesAreMergedIntoOnePalette) {
    if (!test::HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const struct {
        const char* what;
        int source;  // 0: ffmpeg's movie, 1: plain frames made here, 2: run-length frames
        int colours;
        bool loads;
    } cases[] = {
        {"ffmpeg's movie of three 5-colour pictures", 0, 5, true},
        {"ffmpeg's movie of three 80-colour pictures", 0, 80, true},
        {"changes of some entries between plain frames", 1, 0, true},
        {"changes between delta frames", 2, 0, true},
        {"three 100-colour pictures need 300 entries", 0, 100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder;
        std::filesystem::path path = folder / "made.avi";
        if (c.source == 0) {
            path = FfmpegPaletteMovie(folder, c.colours);
            const auto bytes = test::ReadAll(path);
            ASSERT_NE(bytes.end(), std::search(bytes.begin(), bytes.end(), "00pc", "00pc" + 4));
        } else {
            test::WriteAll(path, HandMadeChanges(c.source == 2));
        }
        CAnimationDocument doc;
        ASSERT_EQ(c.loads ? 1 : 0, doc.LoadAvi(nullptr, path)) << doc.FailureReason();
        if (!c.loads) {
            EXPECT_NE(std::string::npos, doc.FailureReason().find("more than 256 colours"))
                << doc.FailureReason();
            continue;
        }
        ExpectFfmpegPixels(doc, path);
        EXPECT_GE(256, doc.Palette().count);
    }
}

// Movies with empty frame chunks, as recorders write an unchanged frame.
Bytes WithEmptyChunks(bool runLength, std::vector<size_t> empty) {
    AviParts p;
    p.width = 6;
    p.height = 3;
    p.compression = runLength ? 1 : 0;
    for (size_t k = 0; k < 5; ++k) {
        if (std::find(empty.begin(), empty.end(), k) != empty.end()) {
            p.frames.push_back({});
        } else if (runLength) {
            // A key frame, then deltas that change pixel k of the bottom row.
            p.frames.push_back(
                k == 0
                    ? Bytes{0x06, 0x01, 0x00, 0x00, 0x06, 0x02, 0x00, 0x00, 0x06, 0x03, 0x00, 0x01}
                    : Bytes{0x00, 0x02, uint8_t(k), 0x00, 0x01, 0x00, 0x00, 0x01});
        } else {
            p.frames.push_back(test::PlainFrame(p, int(k)));
        }
    }
    return test::BuildAvi(p);
}

TEST(FfmpegPeer, EmptyFrameChunksRepeatTheFrameBefore) {
    if (!test::HaveProgram("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const struct {
        const char* what;
        bool runLength;
        std::vector<size_t> empty;
    } cases[] = {
        {"plain, frame 2 empty", false, {2}},
        {"plain, frames 1 and 2 empty", false, {1, 2}},
        {"plain, frames 1 and 3 empty", false, {1, 3}},
        {"run-length, frame 1 empty", true, {1}},
        {"run-length, frames 2 and 3 empty", true, {2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder;
        const auto path = folder / "empty.avi";
        test::WriteAll(path, WithEmptyChunks(c.runLength, c.empty));
        CAnimationDocument doc;
        ASSERT_EQ(1, doc.LoadAvi(nullptr, path)) << doc.FailureReason();
        EXPECT_EQ(5, doc.FrameCount());
        // ffmpeg skips the empty chunks and keeps the time of the others; its frame-rate filter
        // then shows each frame until the next one, as players do.
        ExpectFfmpegPixels(doc, path, "-vf fps=25");
    }
}

}  // namespace
}  // namespace kx
