// Our GIFs against the GIF tools: gifdiff sees the same animation as gifsicle's optimised one,
// ffmpeg decodes them to the movie's pixels, and GIFs other tools write open to the pixels
// ffmpeg decodes from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/temp_folder.h"
#include "peer/run_program.h"

#include "support/build_paths.h"

namespace kx {
namespace {

std::string Q(const std::filesystem::path& path) {
    return test::Quote(path.string());
}

int Shell(const std::string& command) {
    return test::RunProgram(command + " >/dev/null 2>&1").status;
}

std::vector<uint8_t> Decode(const std::filesystem::path& path, const char* pixelFormat) {
    const auto run =
        test::RunProgram("ffmpeg -nostdin -v error -i " + Q(path) +
                         " -fps_mode passthrough -f rawvideo -pix_fmt " + pixelFormat + " -");
    EXPECT_EQ(0, run.status) << path;
    return run.out;
}

bool HaveTools() {
    return test::HaveProgram("ffmpeg") && test::HaveProgram("gifsicle") &&
           test::HaveProgram("gifdiff") && test::HaveProgram("convert");
}

// A movie of the test generator's kind, 64 x 48, 8 frames, as a strip.
std::filesystem::path MakeStrip(const test::TempFolder& folder, const std::string& kind) {
    const auto strip = folder / (kind + ".bmp");
    EXPECT_EQ(0, Shell(test::BuildPath("moviegen") + " " + kind + " " + Q(strip) + " 64 48 8"));
    return strip;
}

struct GifCase {
    const char* kind;
    bool transparent;
};

TEST(GifPeer, OursShowTheMovieAndAreNoLargerThanGifsicles) {
    if (!HaveTools()) {
        GTEST_SKIP() << "ffmpeg, gifsicle or ImageMagick is not installed";
    }
    const GifCase cases[] = {
        {"sprite", false}, {"sprite", true}, {"scene", false}, {"scene", true}, {"plasma", false}};
    test::TempFolder folder;
    for (const GifCase& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + (c.transparent ? " transparent" : ""));
        const auto strip = MakeStrip(folder, c.kind);
        const auto ours = folder / "ours.gif";
        const auto avi = folder / "movie.avi";
        const std::string options = c.transparent ? " --transparent" : "";
        ASSERT_EQ(0, Shell(test::BuildPath("cli") + " convert " + Q(strip) + " " + Q(ours) +
                           " --frame-height 48 --quiet" + options));
        ASSERT_EQ(0, Shell(test::BuildPath("cli") + " convert " + Q(strip) + " " + Q(avi) +
                           " --frame-height 48 --quiet"));
        // gifsicle's best from the same frames, each drawn whole.
        const auto full = folder / "full.gif";
        const auto theirs = folder / "theirs.gif";
        ASSERT_EQ(0, Shell("gifsicle --unoptimize " + Q(ours) + " -o " + Q(full)));
        ASSERT_EQ(0, Shell("gifsicle -O3 " + Q(full) + " -o " + Q(theirs)));
        EXPECT_EQ(0, Shell("gifdiff " + Q(ours) + " " + Q(theirs)));
        EXPECT_LE(std::filesystem::file_size(ours), std::filesystem::file_size(theirs));

        // ffmpeg sees the movie's pixels, transparent exactly where the transparent colour is.
        const auto rgba = Decode(ours, "rgba");
        const auto rgb = Decode(avi, "rgb24");
        ASSERT_EQ(rgb.size() / 3, rgba.size() / 4);
        const std::vector<uint8_t> corner(rgb.begin(), rgb.begin() + 3);
        size_t wrong = 0;
        for (size_t i = 0; i < rgb.size() / 3; ++i) {
            const bool clear = rgba[4 * i + 3] == 0;
            const bool cornerColour = std::equal(corner.begin(), corner.end(), &rgb[3 * i]);
            const bool same = std::equal(&rgb[3 * i], &rgb[3 * i + 3], &rgba[4 * i]);
            wrong += clear ? !(c.transparent && cornerColour) : !same;
        }
        EXPECT_EQ(0u, wrong);
    }
}

TEST(GifPeer, DelaysAndLoopsReadBack) {
    if (!HaveTools()) {
        GTEST_SKIP() << "gifsicle is not installed";
    }
    struct Row {
        const char* options;
        const char* delay;  // as gifsicle --info shows it
        const char* loop;   // "" when there is no loop block
    };
    const Row rows[] = {
        {"--speed 80", "delay 0.08s", "loop forever"},
        {"--speed 125 --loop 3", "delay 0.13s", "loop count 2"},
        {"--speed 5 --loop 1", "delay 0.02s", ""},
        {"--speed 60000 --loop 0", "delay 60.00s", "loop forever"},
    };
    test::TempFolder folder;
    const auto strip = MakeStrip(folder, "sprite");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options);
        const auto gif = folder / "d.gif";
        ASSERT_EQ(0, Shell(test::BuildPath("cli") + " convert " + Q(strip) + " " + Q(gif) +
                           " --frame-height 48 --quiet " + row.options));
        const auto info = test::RunProgram("gifsicle --info " + Q(gif));
        const std::string text(info.out.begin(), info.out.end());
        size_t delays = 0;
        for (size_t at = text.find(row.delay); at != text.npos; at = text.find(row.delay, at + 1)) {
            ++delays;
        }
        EXPECT_EQ(8u, delays) << text;
        if (*row.loop != '\0') {
            EXPECT_NE(text.npos, text.find(row.loop)) << text;
        } else {
            EXPECT_EQ(text.npos, text.find("loop")) << text;
        }
    }
}

TEST(GifPeer, OtherToolsGifsOpenToThePixelsFfmpegDecodes) {
    if (!HaveTools()) {
        GTEST_SKIP() << "ffmpeg, gifsicle or ImageMagick is not installed";
    }
    test::TempFolder folder;
    struct Maker {
        const char* name;
        const char* kind;
        std::string command;  // {in} the strip, {avi} its AVI, {out} the GIF
    };
    const Maker makers[] = {
        {"ffmpeg", "scene", "ffmpeg -nostdin -v error -i {avi} -y {out}"},
        {"ImageMagick", "scene",
         "convert {in} -crop 64x48 +repage -set delay 7 -layers optimize {out}"},
        {"ImageMagick transparent", "sprite",
         "convert {in} -crop 64x48 +repage -set delay 9 -transparent black -set dispose "
         "background -layers optimize {out}"},
        {"ImageMagick interlaced", "plasma",
         "convert {in} -crop 64x48 +repage -interlace GIF {out}"},
        {"gifsicle previous", "sprite",
         "convert {in} -crop 64x48 +repage {out}.im.gif && gifsicle -O3 --disposal previous "
         "{out}.im.gif -o {out}"},
        {"ImageMagick local tables", "sprite",
         "convert \\( {in} -crop 64x48+0+0 +repage \\) \\( {plasma} -crop 64x48+0+0 +repage \\) "
         "\\( {in} -crop 64x48+0+48 +repage \\) {out}"},
    };
    // Frames of another palette, for a GIF with a local colour table.
    const auto plasma = MakeStrip(folder, "plasma");
    for (const Maker& m : makers) {
        SCOPED_TRACE(m.name);
        const auto strip = MakeStrip(folder, m.kind);
        const auto avi = folder / "source.avi";
        ASSERT_EQ(0, Shell(test::BuildPath("cli") + " convert " + Q(strip) + " " + Q(avi) +
                           " --frame-height 48 --quiet"));
        const auto gif = folder / "theirs.gif";
        std::string command = m.command;
        for (const auto& [key, value] : {std::pair{std::string("{in}"), Q(strip)},
                                         {std::string("{avi}"), Q(avi)},
                                         {std::string("{plasma}"), Q(plasma)},
                                         {std::string("{out}"), gif.string()}}) {
            for (size_t at = command.find(key); at != command.npos; at = command.find(key)) {
                command.replace(at, key.size(), value);
            }
        }
        ASSERT_EQ(0, Shell(command)) << command;
        const auto converted = folder / "converted.avi";
        ASSERT_EQ(0, Shell(test::BuildPath("cli") + " convert " + Q(gif) + " " + Q(converted) +
                           " --quiet"));
        const auto rgba = Decode(gif, "rgba");
        const auto rgb = Decode(converted, "rgb24");
        ASSERT_EQ(rgba.size() / 4, rgb.size() / 3);
        ASSERT_FALSE(rgb.empty());
        size_t wrong = 0;
        for (size_t i = 0; i < rgb.size() / 3; ++i) {
            // Where the GIF is transparent the movie holds its transparent colour instead.
            wrong +=
                rgba[4 * i + 3] == 255 && !std::equal(&rgb[3 * i], &rgb[3 * i + 3], &rgba[4 * i]);
        }
        EXPECT_EQ(0u, wrong);
    }
}

}  // namespace
}  // namespace kx
