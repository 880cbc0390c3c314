// PNG and animated PNG against ffmpeg, ImageMagick and apngasm: our animated PNGs decode in
// ffmpeg to exactly the movie's pixels with their delays and plays, and the PNG strips and
// animations other programs write convert to AVIs that ffmpeg decodes exactly as it decodes the
// source (transparent pixels excepted).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/frame_delta.h"
#include "doc/temp_folder.h"
#include "peer/run_program.h"

#include "support/build_paths.h"

namespace kx {
namespace {

using std::filesystem::path;

std::string Q(const path& p) {
    return test::Quote(p.string());
}

bool HaveTools(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (!test::HaveProgram(name)) {
            return false;
        }
    }
    return true;
}

// Every frame of a file as ffmpeg decodes it, in RGBA; each frame once, whatever its delay.
std::vector<uint8_t> FfmpegRgba(const path& file) {
    const auto r = test::RunProgram("ffmpeg -v error -i " + Q(file) +
                                    " -fps_mode passthrough -f rawvideo -pix_fmt rgba -");
    return r.status == 0 ? r.out : std::vector<uint8_t>{};
}

// The movie's frames as RGBA; the transparent colour with alpha 0 when asked.
std::vector<uint8_t> MovieRgba(const CAnimationDocument& doc, bool transparent) {
    std::vector<uint8_t> rgba;
    for (int32_t k = 0; k < doc.FrameCount(); ++k) {
        const FrameView frame = FrameView::OfDocument(doc, k);
        for (int32_t y = 0; y < frame.Height(); ++y) {
            for (int32_t x = 0; x < frame.Width(); ++x) {
                const uint8_t i = frame.At(x, y);
                const RgbQuad& c = doc.Palette().entries[i];
                const bool clear = transparent && i == doc.TransparentIndex();
                rgba.insert(rgba.end(),
                            {clear ? uint8_t(0) : c.red, clear ? uint8_t(0) : c.green,
                             clear ? uint8_t(0) : c.blue, clear ? uint8_t(0) : uint8_t(255)});
            }
        }
    }
    return rgba;
}

// Pixels of two RGBA decodings that differ, leaving out those transparent in the source.
size_t DifferingPixels(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& source) {
    if (ours.size() != source.size() || ours.empty()) {
        return size_t(-1);
    }
    size_t differing = 0;
    for (size_t i = 0; i < ours.size(); i += 4) {
        const bool clear = source[i + 3] == 0;
        const bool same = ours[i] == source[i] && ours[i + 1] == source[i + 1] &&
                          ours[i + 2] == source[i + 2] && ours[i + 3] == source[i + 3];
        differing += clear || same ? 0 : 1;
    }
    return differing;
}

// The three kinds of movie of the benchmarks, 120 rows a frame.
void LoadKind(CAnimationDocument& doc, const test::TempFolder& folder, const std::string& kind) {
    const path strip = folder / (kind + ".bmp");
    ASSERT_EQ(0, test::RunProgram(test::BuildPath("moviegen") + " " + kind + " " + Q(strip) +
                                  " 96 72 10 >/dev/null")
                     .status);
    ASSERT_EQ(1, doc.LoadBitmapStrip(nullptr, strip, 70)) << doc.FailureReason();
    ASSERT_EQ(1, doc.ComposeFromStrip(nullptr, 72)) << doc.FailureReason();
}

TEST(PngPeer, FfmpegDecodesOurAnimatedPngToTheMoviesPixels) {
    if (!HaveTools({"ffmpeg", "ffprobe"})) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const struct {
        const char* kind;
        AnimationOptions options;
    } cases[] = {
        {"sprite", {true, 0}},
        {"sprite", {false, 3}},
        {"scene", {false, 0}},
        {"plasma", {true, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + (c.options.transparent ? ", transparent" : ""));
        test::TempFolder folder;
        CAnimationDocument doc;
        LoadKind(doc, folder, c.kind);
        ASSERT_EQ(1, doc.SaveApng(nullptr, folder / "a.png", c.options)) << doc.FailureReason();
        EXPECT_EQ(0u, DifferingPixels(FfmpegRgba(folder / "a.png"),
                                      MovieRgba(doc, c.options.transparent)));
        // Every frame lasts 70 ms (ffmpeg's time base for APNG is 1/100000 s).
        const auto packets = test::RunProgram(
            "ffprobe -v error -show_entries packet=duration "
            "-of csv=p=0 " +
            Q(folder / "a.png"));
        EXPECT_EQ(std::string(10, 'x'), [&] {
            std::string marks;
            for (size_t at = 0; at + 4 < packets.out.size(); ++at) {
                marks += std::string(packets.out.begin() + long(at),
                                     packets.out.begin() + long(at) + 5) == "7000\n"
                             ? "x"
                             : "";
            }
            return marks;
        }()) << std::string(packets.out.begin(), packets.out.end());
        const auto trace = test::RunProgram("ffprobe -v trace " + Q(folder / "a.png") + " 2>&1");
        const std::string plays = "num_play: " + std::to_string(c.options.plays);
        EXPECT_NE(std::string::npos, std::string(trace.out.begin(), trace.out.end()).find(plays));
    }
}

// A picture of `colours` distinct colours (at most 1280) in bands, as a binary PPM.
std::vector<uint8_t> BandsPpm(int width, int height, int colours) {
    const std::string head =
        "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> ppm(head.begin(), head.end());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int v = (x / 3 + y * 14) % colours;
            ppm.insert(ppm.end(),
                       {uint8_t(v), uint8_t(255 - v / 256 * 50 - v % 7 * 3), uint8_t(v * 5 + 3)});
        }
    }
    return ppm;
}

// Converts with our command-line tool to an AVI and compares ffmpeg's decodings of both.
size_t ConvertAndCompare(const test::TempFolder& folder, const path& source) {
    const path avi = folder / "ours.avi";
    const auto r = test::RunProgram(test::BuildPath("cli") + " convert " + Q(source) + " " +
                                    Q(avi) + " --quiet 2>&1");
    EXPECT_EQ(0, r.status) << std::string(r.out.begin(), r.out.end());
    return DifferingPixels(FfmpegRgba(avi), FfmpegRgba(source));
}

TEST(PngPeer, StripsImageMagickWritesConvertToTheSamePixels) {
    if (!HaveTools({"ffmpeg", "convert"})) {
        GTEST_SKIP() << "ffmpeg or ImageMagick is not installed";
    }
    const struct {
        const char* what;
        int colours;
        std::string options;  // ImageMagick's, between the input and the output
    } cases[] = {
        {"palette, 8 bits", 200, "-type Palette PNG8:"},
        {"palette, 4 bits", 12, "-type Palette -define png:bit-depth=4 PNG8:"},
        {"palette, 2 bits", 4, "-type Palette -define png:bit-depth=2 PNG8:"},
        {"palette, 1 bit", 2, "-type Palette -define png:bit-depth=1 PNG8:"},
        {"grey, 8 bits", 40, "-colorspace Gray -depth 8 PNG:"},
        {"grey, 2 bits", 4, "-colorspace Gray -depth 2 PNG:"},
        {"grey, 16 bits", 30, "-colorspace Gray -depth 16 PNG:"},
        {"truecolour", 150, "PNG24:"},
        {"truecolour, interlaced", 150, "-interlace PNG PNG24:"},
        {"palette, interlaced", 60, "-interlace PNG -type Palette PNG8:"},
        {"RGBA, transparent background", 50, "-transparent 'rgb(0,255,3)' PNG32:"},
        {"grey and alpha, interlaced", 20,
         "-colorspace Gray -alpha set -region 10x10+0+0 -alpha transparent +region "
         "-define png:color-type=4 -interlace PNG -depth 8 PNG:"},
    };
    test::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteAll(folder / "in.ppm", BandsPpm(41, 37, c.colours));
        const path png = folder / "in.png";
        ASSERT_EQ(
            0,
            test::RunProgram("convert " + Q(folder / "in.ppm") + " " + c.options + Q(png)).status);
        EXPECT_EQ(0u, ConvertAndCompare(folder, png));
    }
}

// ffmpeg reduces 16-bit RGB through a path that rounds a few values differently from its grey
// path (and from any one formula); the check is that we read the same 16-bit samples and reduce
// them by the rounding of ffmpeg's grey path, v + 128 >> 8.
TEST(PngPeer, SixteenBitTruecolourReducesBySixteenBitSamples) {
    if (!HaveTools({"ffmpeg", "convert"})) {
        GTEST_SKIP() << "ffmpeg or ImageMagick is not installed";
    }
    test::TempFolder folder;
    test::WriteAll(folder / "in.ppm", BandsPpm(41, 37, 90));
    const path png = folder / "in.png";
    ASSERT_EQ(
        0,
        test::RunProgram("convert " + Q(folder / "in.ppm") + " -depth 16 PNG48:" + Q(png)).status);
    CAnimationDocument doc;
    ASSERT_EQ(1, doc.LoadPng(nullptr, png, 100)) << doc.FailureReason();
    const auto wide =
        test::RunProgram("ffmpeg -v error -i " + Q(png) + " -f rawvideo -pix_fmt rgb48le -");
    ASSERT_EQ(size_t(41 * 37 * 6), wide.out.size());
    std::vector<uint8_t> reduced;
    for (size_t i = 0; i < wide.out.size(); i += 2) {
        const uint32_t v = wide.out[i] | uint32_t(wide.out[i + 1]) << 8;
        reduced.push_back(v >= 0xFF80 ? 255 : uint8_t((v + 128) >> 8));
        if (i % 6 == 4) {
            reduced.push_back(255);
        }
    }
    EXPECT_EQ(0u, DifferingPixels(MovieRgba(doc, false), reduced));
}

TEST(PngPeer, AnimationsApngasmAndFfmpegWriteConvertToTheSamePixels) {
    if (!HaveTools({"ffmpeg", "apngasm"})) {
        GTEST_SKIP() << "ffmpeg or apngasm is not installed";
    }
    for (const char* kind : {"sprite", "scene", "plasma"}) {
        SCOPED_TRACE(kind);
        test::TempFolder folder;
        CAnimationDocument doc;
        LoadKind(doc, folder, kind);
        // The frames as RGBA pictures, transparent where the sprite's background is.
        ASSERT_EQ(1, doc.SaveApng(nullptr, folder / "ours.png", AnimationOptions{true, 0}));
        ASSERT_EQ(0, test::RunProgram("ffmpeg -v error -i " + Q(folder / "ours.png") + " " +
                                      Q(folder / "f%03d.png"))
                         .status);
        ASSERT_EQ(0, test::RunProgram("cd " + Q(folder.Path()) +
                                      " && apngasm asm.png f*.png 7 100 >/dev/null")
                         .status);
        ASSERT_EQ(0, test::RunProgram("ffmpeg -v error -i " + Q(folder / "f%03d.png") +
                                      " -plays 0 -f apng " + Q(folder / "ff.png"))
                         .status);
        EXPECT_EQ(0u, ConvertAndCompare(folder, folder / "asm.png"));
        EXPECT_EQ(0u, ConvertAndCompare(folder, folder / "ff.png"));
    }
}

TEST(PngPeer, APictureOfMoreThan256ColoursIsRefusedNaming256) {
    if (!HaveTools({"convert"})) {
        GTEST_SKIP() << "ImageMagick is not installed";
    }
    test::TempFolder folder;
    test::WriteAll(folder / "in.ppm", BandsPpm(50, 50, 300));
    ASSERT_EQ(
        0, test::RunProgram("convert " + Q(folder / "in.ppm") + " PNG24:" + Q(folder / "many.png"))
               .status);
    const auto r = test::RunProgram(test::BuildPath("cli") + " convert " + Q(folder / "many.png") +
                                    " " + Q(folder / "o.avi") + " 2>&1");
    EXPECT_EQ(1, r.status);
    const std::string said(r.out.begin(), r.out.end());
    EXPECT_NE(std::string::npos, said.find("300 colours; a palette holds at most 256")) << said;
    EXPECT_FALSE(std::filesystem::exists(folder / "o.avi"));
}

}  // namespace
}  // namespace kx
