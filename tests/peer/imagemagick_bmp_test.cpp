// Run-length bitmaps written by ImageMagick load to the pixels ImageMagick itself reports.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/temp_folder.h"
#include "peer/run_program.h"
#include "support/same_bytes.h"

namespace kx {
namespace {

struct PictureCase {
    int width;
    int height;
    int colours;
    bool runs;  // long runs of one colour rather than noise
};

// A binary PPM of at most `colours` distinct colours.
std::vector<uint8_t> MakePpm(const PictureCase& c) {
    const std::string head =
        "P6\n" + std::to_string(c.width) + " " + std::to_string(c.height) + "\n255\n";
    std::vector<uint8_t> ppm(head.begin(), head.end());
    uint32_t seed = uint32_t(c.width * 131 + c.height * 17 + c.colours);
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int v = c.runs ? (x / 6 + y / 3) % c.colours : int(seed >> 16) % c.colours;
            ppm.push_back(uint8_t(v * 37));
            ppm.push_back(uint8_t(255 - v * 11));
            ppm.push_back(uint8_t(v * 5 + 3));
        }
    }
    return ppm;
}

// Our frame 0 as rgb24, top row first.
std::vector<uint8_t> OurRgb(const CAnimationDocument& doc) {
    std::vector<uint8_t> rgb;
    const int32_t w = doc.FrameWidth();
    const int32_t h = doc.FrameHeight();
    for (int32_t y = 0; y < h; ++y) {
        const size_t row = size_t(h - 1 - y) * Stride8(w);
        for (int32_t x = 0; x < w; ++x) {
            const RgbQuad& e = doc.Palette().entries[doc.Frame(0).data[row + size_t(x)]];
            rgb.push_back(e.red);
            rgb.push_back(e.green);
            rgb.push_back(e.blue);
        }
    }
    return rgb;
}

TEST(ImageMagickPeer, RunLengthBitmapsLoadToTheirPixels) {
    if (!test::HaveProgram("convert")) {
        GTEST_SKIP() << "ImageMagick is not installed";
    }
    const PictureCase cases[] = {
        {16, 8, 20, true},  {17, 9, 40, true},   {5, 5, 30, false},  {7, 12, 200, false},
        {64, 3, 256, true}, {33, 20, 100, true}, {300, 2, 60, true}, {13, 13, 250, false},
    };
    test::TempFolder folder;
    const auto ppm = folder / "in.ppm";
    const auto png = folder / "in.png";
    const auto bmp = folder / "out.bmp";
    int runLength = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " " +
                     std::to_string(c.colours));
        test::WriteAll(ppm, MakePpm(c));
        ASSERT_EQ(0, test::RunProgram("convert " + test::Quote(ppm.string()) + " -type Palette " +
                                      test::Quote(png.string()))
                         .status);
        ASSERT_EQ(0, test::RunProgram("convert " + test::Quote(png.string()) +
                                      " -compress RLE BMP3:" + test::Quote(bmp.string()))
                         .status);
        const auto file = test::ReadAll(bmp);
        ASSERT_LE(34u, file.size());
        runLength += file[30] == 1;
        const auto reference = test::RunProgram("convert " + test::Quote(bmp.string()) + " rgb:-");
        ASSERT_EQ(0, reference.status);

        CAnimationDocument doc;
        ASSERT_EQ(1, doc.LoadBitmapStrip(nullptr, bmp, 100)) << doc.FailureReason();
        EXPECT_EQ(c.width, doc.FrameWidth());
        EXPECT_EQ(c.height, doc.FrameHeight());
        const auto ours = OurRgb(doc);
        ASSERT_EQ(reference.out.size(), ours.size());
        EXPECT_TRUE(test::SameBytes(reference.out, ours));
    }
    // ImageMagick chose run-length coding for (nearly) all of them.
    EXPECT_LE(6, runLength);
}

// Runs that pass the right edge of a row are clipped at the row's end, as ImageMagick reads them.
TEST(ImageMagickPeer, RunsPastTheRowEndAreClippedAlike) {
    if (!test::HaveProgram("convert")) {
        GTEST_SKIP() << "ImageMagick is not installed";
    }
    // 5 x 3: a run of 7, an absolute run that ends a row with a run after it, a run of 9.
    const std::vector<uint8_t> codes = {7, 1, 0, 0, 2, 2, 0, 3, 3, 1, 2, 0, 4, 1, 0, 0, 9, 3, 0, 1};
    const std::vector<uint8_t> palette = {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};
    std::vector<uint8_t> file;
    ByteWriter out(file);
    const uint32_t off = 14 + 40 + uint32_t(palette.size());
    out.u16le(0x4D42);
    out.u32le(off + uint32_t(codes.size()));
    out.u32le(0);
    out.u32le(off);
    BitmapInfoHeader info;
    info.biWidth = 5;
    info.biHeight = 3;
    info.biCompression = uint32_t(Compression::Rle8);
    info.biSizeImage = uint32_t(codes.size());
    info.biClrUsed = 4;
    info.Write(out);
    out.bytes(palette.data(), palette.size());
    out.bytes(codes.data(), codes.size());
    test::TempFolder folder;
    const auto bmp = folder / "over.bmp";
    test::WriteAll(bmp, file);
    const auto reference = test::RunProgram("convert " + test::Quote(bmp.string()) + " rgb:-");
    ASSERT_EQ(0, reference.status);
    CAnimationDocument doc;
    ASSERT_EQ(1, doc.LoadBitmapStrip(nullptr, bmp, 100)) << doc.FailureReason();
    EXPECT_EQ((std::vector<uint8_t>{1, 1, 1, 1, 1, 0, 0, 0, 2, 2, 3, 1,
                                    2, 0, 0, 0, 3, 3, 3, 3, 3, 0, 0, 0}),
              doc.Frame(0).data);
    const auto ours = OurRgb(doc);
    ASSERT_EQ(reference.out.size(), ours.size());
    EXPECT_TRUE(test::SameBytes(reference.out, ours));
}

}  // namespace
}  // namespace kx
