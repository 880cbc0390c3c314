// The command-line tool as a whole: exit status, one-line reasons, info output and conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/temp_folder.h"
#include "peer/run_program.h"
#include "support/build_paths.h"
#include "support/same_bytes.h"

namespace kx {
namespace {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

CliResult Cli(const test::TempFolder& folder, const std::string& arguments) {
    const auto errFile = folder / "stderr.txt";
    const auto run = test::RunProgram(test::BuildPath("cli") + " " + arguments + " 2>" +
                                      test::Quote(errFile.string()));
    CliResult result;
    result.status = run.status;
    result.out.assign(run.out.begin(), run.out.end());
    const auto err = test::ReadAll(errFile);
    result.err.assign(err.begin(), err.end());
    std::filesystem::remove(errFile);
    return result;
}

std::string Q(const std::filesystem::path& path) {
    return test::Quote(path.string());
}

// An 8-bit plain strip, width x height, with a magenta background and a bar in each band of 10
// rows.
std::vector<uint8_t> StripBmp(int32_t width, int32_t height) {
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    const uint32_t stride = Stride8(width);
    const uint32_t off = 14 + 40 + 4 * 3;
    out.u16le(0x4D42);
    out.u32le(off + stride * uint32_t(height));
    out.u32le(0);
    out.u32le(off);
    BitmapInfoHeader info;
    info.biWidth = width;
    info.biHeight = height;
    info.biSizeImage = stride * uint32_t(height);
    info.biClrUsed = 3;
    info.Write(out);
    for (uint8_t v : {255, 0, 255, 0, 0, 0, 0, 0, 0, 255, 0, 0}) {
        out.u8(v);  // magenta, black, blue
    }
    for (int32_t row = 0; row < height; ++row) {
        for (uint32_t x = 0; x < stride; ++x) {
            out.u8(x < uint32_t(width) && int32_t(x) == row % 10 ? uint8_t(1 + row / 10 % 2) : 0);
        }
    }
    return bytes;
}

std::string Line(const std::string& key, const std::string& value) {
    return key + ": " + value + "\n";
}

TEST(Cli, InfoOfAStrip) {
    test::TempFolder folder;
    test::WriteAll(folder / "s.bmp", StripBmp(13, 40));
    const auto r = Cli(folder, "info " + Q(folder / "s.bmp"));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(Line("kind", "bmp") + Line("width", "13") + Line("height", "40") +
                  Line("frames", "1") + Line("bits", "8") + Line("compression", "rgb") +
                  Line("palette", "3") + Line("speed", "100") + Line("transparent", "0") +
                  Line("transparency-usable", "yes"),
              r.out);
}

TEST(Cli, ConvertsAStripToAnAviAndReadsItBack) {
    test::TempFolder folder;
    test::WriteAll(folder / "s.bmp", StripBmp(13, 40));
    auto r = Cli(folder, "convert " + Q(folder / "s.bmp") + " " + Q(folder / "m.AVI") +
                             " --frames 3 --speed 40");
    ASSERT_EQ(0, r.status) << r.err;
    // Not a terminal: no progress bar.
    EXPECT_EQ("", r.err);
    r = Cli(folder, "info " + Q(folder / "m.AVI"));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find(Line("kind", "avi")));
    EXPECT_NE(std::string::npos, r.out.find(Line("height", "14")));  // 40 / 3 rounded up
    EXPECT_NE(std::string::npos, r.out.find(Line("frames", "3")));
    EXPECT_NE(std::string::npos, r.out.find(Line("speed", "40")));

    r = Cli(folder, "convert " + Q(folder / "s.bmp") + " " + Q(folder / "n.avi") +
                        " --frame-height 10 --quiet");
    ASSERT_EQ(0, r.status) << r.err;
    r = Cli(folder, "info " + Q(folder / "n.avi"));
    EXPECT_NE(std::string::npos, r.out.find(Line("frames", "4")));
    EXPECT_NE(std::string::npos, r.out.find(Line("speed", "100")));
}

TEST(Cli, BadFilesFailWithOneLineAndStatusOne) {
    test::TempFolder folder;
    test::WriteAll(folder / "text.bmp", {'h', 'e', 'l', 'l', 'o'});
    auto truncated = StripBmp(13, 40);
    truncated.resize(300);
    test::WriteAll(folder / "short.bmp", truncated);
    auto deep = StripBmp(13, 40);
    deep[28] = 24;
    test::WriteAll(folder / "deep.bmp", deep);
    test::WriteAll(folder / "riff.avi", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '});
    // Run-length codes whose delta climbs past the top of an 8 x 2 picture.
    auto damaged = StripBmp(8, 2);
    const std::vector<uint8_t> codes = {8, 1, 0, 0, 0, 2, 0, 5, 0, 1};
    damaged.resize(14 + 40 + 4 * 3);
    damaged.insert(damaged.end(), codes.begin(), codes.end());
    damaged[30] = 1;                      // biCompression: BI_RLE8
    damaged[34] = uint8_t(codes.size());  // biSizeImage
    test::WriteAll(folder / "damaged.bmp", damaged);
    const struct {
        std::string command;
        std::string reason;
    } cases[] = {
        {"info " + Q(folder / "absent.bmp"), "no such file"},
        {"info " + Q(folder / "text.bmp"), "not a BMP, AVI, GIF or PNG file"},
        {"info " + Q(folder / "short.bmp"), "pixel data ends early"},
        {"info " + Q(folder / "deep.bmp"), "24 bits per pixel is not a palette image"},
        {"info " + Q(folder / "riff.avi"), "riff.avi: "},
        {"convert " + Q(folder / "short.bmp") + " " + Q(folder / "o.avi"), "ends early"},
        {"convert " + Q(folder / "text.bmp") + " " + Q(folder / "o.avi"), "not a BMP"},
        {"convert " + Q(folder / "damaged.bmp") + " " + Q(folder / "o.avi"),
         "damaged.bmp: damaged run-length data: a delta passes the end of the frame at row 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const auto r = Cli(folder, c.command);
        EXPECT_EQ(1, r.status);
        EXPECT_NE(std::string::npos, r.err.find(c.reason)) << r.err;
        EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "o.avi"));
}

TEST(Cli, FailedConversionKeepsAnExistingTarget) {
    test::TempFolder folder;
    test::WriteAll(folder / "s.bmp", StripBmp(13, 40));
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    test::WriteAll(folder / "m.avi", old);
    auto broken = StripBmp(13, 40);
    broken.resize(200);
    test::WriteAll(folder / "b.bmp", broken);
    EXPECT_EQ(1, Cli(folder, "convert " + Q(folder / "b.bmp") + " " + Q(folder / "m.avi")).status);
    EXPECT_TRUE(test::SameBytes(old, test::ReadAll(folder / "m.avi")));
    EXPECT_EQ(0, Cli(folder, "convert " + Q(folder / "s.bmp") + " " + Q(folder / "m.avi")).status);
    EXPECT_NE(old, test::ReadAll(folder / "m.avi"));
}

TEST(Cli, HelpAndVersionOnStandardOutput) {
    test::TempFolder folder;
    for (const char* arguments : {"--help", "convert a.bmp b.gif --help", "-h"}) {
        const auto r = Cli(folder, arguments);
        EXPECT_EQ(0, r.status) << arguments;
        EXPECT_EQ(0u, r.out.find("usage: kinetrix-cli")) << arguments;
        EXPECT_NE(std::string::npos, r.out.find("--loop N")) << arguments;
        EXPECT_EQ("", r.err) << arguments;
    }
    const auto r = Cli(folder, "--version");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.find("kinetrix-cli 1.")) << r.out;
}

TEST(Cli, GifDelayRaisedAndDelaysThatDifferAreSaid) {
    test::TempFolder folder;
    test::WriteAll(folder / "s.bmp", StripBmp(13, 40));
    const auto fast = Cli(folder, "convert " + Q(folder / "s.bmp") + " " + Q(folder / "f.gif") +
                                      " --frames 4 --speed 15 --quiet");
    EXPECT_EQ(0, fast.status) << fast.err;
    EXPECT_NE(std::string::npos, fast.err.find("uses 20 ms instead of 15 ms")) << fast.err;
    const auto slow = Cli(folder, "convert " + Q(folder / "s.bmp") + " " + Q(folder / "g.gif") +
                                      " --frames 4 --speed 30 --quiet");
    EXPECT_EQ("", slow.err);
    // A GIF whose frames show 30, 30 and 70 ms: the movie takes 30 and says so.
    const std::vector<uint8_t> gif = {
        'G', 'I', 'F',  '8',  '9',  'a',  1,    0, 1, 0,    0x80, 0,    0,    0,    0,
        0,   255, 255,  255,  0x21, 0xF9, 4,    0, 3, 0,    0,    0,    0x2C, 0,    0,
        0,   0,   1,    0,    1,    0,    0,    2, 2, 0x44, 0x01, 0,    0x21, 0xF9, 4,
        0,   3,   0,    0,    0,    0x2C, 0,    0, 0, 0,    1,    0,    1,    0,    0,
        2,   2,   0x44, 0x01, 0,    0x21, 0xF9, 4, 0, 7,    0,    0,    0,    0x2C, 0,
        0,   0,   0,    1,    0,    1,    0,    0, 2, 2,    0x44, 0x01, 0,    0x3B};
    test::WriteAll(folder / "d.gif", gif);
    const auto mixed =
        Cli(folder, "convert " + Q(folder / "d.gif") + " " + Q(folder / "d.avi") + " --quiet");
    EXPECT_EQ(0, mixed.status) << mixed.err;
    EXPECT_NE(std::string::npos, mixed.err.find("different delays")) << mixed.err;
    EXPECT_NE(std::string::npos, mixed.err.find("30 ms")) << mixed.err;
    const auto info = Cli(folder, "info " + Q(folder / "d.gif"));
    EXPECT_NE(std::string::npos, info.out.find("frames: 3\nbits: 1")) << info.out;
    EXPECT_NE(std::string::npos, info.out.find("speed: 30\n")) << info.out;
    EXPECT_NE(std::string::npos, info.out.find("delays: differ\n")) << info.out;
}

TEST(Cli, UsageErrorsGiveStatusTwoAndTheUsage) {
    test::TempFolder folder;
    test::WriteAll(folder / "s.bmp", StripBmp(13, 40));
    const std::string s = Q(folder / "s.bmp");
    const std::string o = Q(folder / "o.avi");
    const std::vector<std::string> usageErrors = {
        std::string(""),
        std::string("frobnicate"),
        "info",
        "info " + s + " " + s,
        "convert " + s,
        "convert " + s + " " + Q(folder / "o.tif"),
        "convert " + s + " " + Q(folder / "o.gif") + " --rle",
        "convert " + s + " " + o + " --transparent",
        "convert " + s + " " + Q(folder / "o.gif") + " --loop",
        "convert " + s + " " + Q(folder / "o.gif") + " --loop -1",
        "convert " + s + " " + Q(folder / "o.gif") + " --loop 65537",
        "convert " + s + " " + o + " --frames 0",
        "convert " + s + " " + o + " --speed x",
        "convert " + s + " " + o + " --speed 60001",
        "convert " + s + " " + o + " --speed 4294968",
        "convert " + s + " " + o + " --frames 2 --frame-height 3",
        "convert " + s + " " + o + " --rle",
        "convert " + s + " " + o + " --bogus",
        "convert " + s + " " + o + " --frame-height"};
    for (const std::string& arguments : usageErrors) {
        SCOPED_TRACE(arguments);
        const auto r = Cli(folder, arguments);
        EXPECT_EQ(2, r.status);
        EXPECT_NE(std::string::npos, r.err.find("usage: kinetrix-cli")) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "o.avi"));
}

TEST(Cli, ConvertsAnAviToAnAvi) {
    test::TempFolder folder;
    test::WriteAll(folder / "s.bmp", StripBmp(8, 30));
    ASSERT_EQ(0, Cli(folder, "convert " + Q(folder / "s.bmp") + " " + Q(folder / "a.avi") +
                                 " --frame-height 10")
                     .status);
    const auto r = Cli(
        folder, "convert " + Q(folder / "a.avi") + " " + Q(folder / "b.avi") + " --speed 60000");
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos,
              Cli(folder, "info " + Q(folder / "b.avi")).out.find(Line("speed", "60000")));
    EXPECT_EQ(
        2, Cli(folder, "convert " + Q(folder / "a.avi") + " " + Q(folder / "c.avi") + " --frames 2")
               .status);
}

TEST(Cli, RoundTripThroughABitmapKeepsThePicture) {
    test::TempFolder folder;
    test::WriteAll(folder / "s.bmp", StripBmp(13, 40));
    ASSERT_EQ(0, Cli(folder, "convert " + Q(folder / "s.bmp") + " " + Q(folder / "m.avi") +
                                 " --frame-height 10")
                     .status);
    const auto r =
        Cli(folder, "convert " + Q(folder / "m.avi") + " " + Q(folder / "back.Bmp") + " --rle");
    ASSERT_EQ(0, r.status) << r.err;
    const auto info = Cli(folder, "info " + Q(folder / "back.Bmp")).out;
    EXPECT_NE(std::string::npos, info.find(Line("compression", "rle8"))) << info;
    EXPECT_NE(std::string::npos, info.find(Line("height", "40"))) << info;
    CAnimationDocument original;
    CAnimationDocument back;
    ASSERT_EQ(1, original.LoadBitmapStrip(nullptr, folder / "s.bmp", 100));
    ASSERT_EQ(1, back.LoadBitmapStrip(nullptr, folder / "back.Bmp", 100));
    ASSERT_EQ(original.Frame(0).Size(), back.Frame(0).Size());
    for (size_t i = 0; i < original.Frame(0).data.size(); ++i) {
        const RgbQuad& a = original.Palette().entries[original.Frame(0).data[i]];
        const RgbQuad& b = back.Palette().entries[back.Frame(0).data[i]];
        ASSERT_EQ(a.red * 65536 + a.green * 256 + a.blue, b.red * 65536 + b.green * 256 + b.blue)
            << i;
    }
}

}  // namespace
}  // namespace kx
