// The resource generators: pixel-art parsing, the bitmap and icon files they write, and the
// pictures of the animation clip.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "clip_document.h"
#include "clip_frames.h"
#include "image_files.h"
#include "pixel_art.h"

namespace {

using kx::resgen::PixelArt;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

const char* kThreeColours =
    "# a test picture\n"
    "legend\n"
    "  . 192 192 192\n"
    "  X 0 0 128\n"
    "  m 255 0 255\n"
    "pixels\n"
    "X..m.\n"
    ".XX..\n"
    "mmmmX\n";

TEST(PixelArtParse, ReadsLegendAndRows) {
    PixelArt art;
    std::string error;
    ASSERT_TRUE(kx::resgen::ParsePixelArt(kThreeColours, art, error)) << error;
    EXPECT_EQ(5, art.width);
    EXPECT_EQ(3, art.height);
    ASSERT_EQ(3u, art.palette.size());
    EXPECT_EQ((kx::resgen::Rgb{0, 0, 128}), art.palette[1]);
    EXPECT_EQ(-1, art.transparentIndex);
    EXPECT_EQ(1, art.At(0, 0));
    EXPECT_EQ(2, art.At(3, 0));
    EXPECT_EQ(1, art.At(4, 2));
    EXPECT_EQ((kx::resgen::Rgb{255, 0, 255}), art.ColourAt(0, 2));
}

TEST(PixelArtParse, RejectsMalformedPicturesWithTheLine) {
    struct Case {
        const char* text;
        const char* expectedError;
    };
    const Case cases[] = {
        {"legend\n. 1 2 3\npixels\n..\n...\n", "line 5: row of 3 pixels, expected 2"},
        {"legend\n. 1 2 3\npixels\n.x\n", "line 4: character 'x' is not in the legend"},
        {"legend\n. 1 2 300\npixels\n.\n",
         "line 2: a legend entry is 'C R G B' (0..255) or 'C transparent'"},
        {"legend\n. 1 2 3\n. 4 5 6\npixels\n.\n", "line 3: character '.' listed twice"},
        {"pixels\n..\n", "line 1: 'pixels' must follow the legend"},
        {". 1 2 3\n", "line 1: expected 'legend'"},
        {"legend\n. 1 2 3\npixels\n", "no pixel rows"},
        {"legend\nt transparent\nu transparent\npixels\ntu\n",
         "line 3: only one transparent character is allowed"},
    };
    for (const Case& c : cases) {
        PixelArt art;
        art.width = 77;
        std::string error;
        EXPECT_FALSE(kx::resgen::ParsePixelArt(c.text, art, error)) << c.text;
        EXPECT_EQ(std::string(c.expectedError), error) << c.text;
        EXPECT_EQ(77, art.width) << "a failed parse leaves the picture alone";
    }
}

TEST(BitmapFile, HeadersPaletteAndBottomUpNibbles) {
    PixelArt art;
    std::string error;
    ASSERT_TRUE(kx::resgen::ParsePixelArt(kThreeColours, art, error)) << error;
    std::vector<uint8_t> file;
    ASSERT_TRUE(kx::resgen::EncodeBmp4(art, file, error)) << error;
    const uint32_t offBits = 14 + 40 + 3 * 4;
    const uint32_t stride = 4;  // 5 pixels at 4 bits = 3 bytes, padded to 4
    ASSERT_EQ(size_t(offBits + stride * 3), file.size());
    EXPECT_EQ('B', file[0]);
    EXPECT_EQ('M', file[1]);
    EXPECT_EQ(file.size(), U32(file, 2));
    EXPECT_EQ(offBits, U32(file, 10));
    EXPECT_EQ(40u, U32(file, 14));
    EXPECT_EQ(5u, U32(file, 18));
    EXPECT_EQ(3u, U32(file, 22));  // positive: bottom-up
    EXPECT_EQ(1, U16(file, 26));
    EXPECT_EQ(4, U16(file, 28));
    EXPECT_EQ(0u, U32(file, 30));  // BI_RGB
    EXPECT_EQ(stride * 3, U32(file, 34));
    EXPECT_EQ(3u, U32(file, 46));  // colours used
    // Palette entries are blue, green, red, 0.
    EXPECT_EQ(128, file[54 + 4 + 0]);
    EXPECT_EQ(0, file[54 + 4 + 2]);
    EXPECT_EQ(255, file[54 + 8 + 0]);
    EXPECT_EQ(255, file[54 + 8 + 2]);
    // First stored row is the bottom one: "mmmmX" = 2 2 2 2 1.
    const std::vector<uint8_t> bottom(file.begin() + offBits, file.begin() + offBits + 4);
    EXPECT_EQ((std::vector<uint8_t>{0x22, 0x22, 0x10, 0x00}), bottom);
    // Last stored row is the top one: "X..m." = 1 0 0 2 0.
    const std::vector<uint8_t> top(file.begin() + offBits + 8, file.end());
    EXPECT_EQ((std::vector<uint8_t>{0x10, 0x02, 0x00, 0x00}), top);
}

TEST(BitmapFile, RefusesPicturesA4BitFileCannotHold) {
    std::string text = "legend\n";
    std::string row;
    for (int i = 0; i < 17; ++i) {
        text += std::string(1, char('a' + i)) + " " + std::to_string(i) + " 0 0\n";
        row += char('a' + i);
    }
    text += "pixels\n" + row + "\n";
    PixelArt art;
    std::string error;
    ASSERT_TRUE(kx::resgen::ParsePixelArt(text, art, error)) << error;
    std::vector<uint8_t> file;
    EXPECT_FALSE(kx::resgen::EncodeBmp4(art, file, error));
    EXPECT_EQ("a 4-bit bitmap holds at most 16 colours, the picture has 17", error);

    ASSERT_TRUE(
        kx::resgen::ParsePixelArt("legend\nt transparent\n. 1 1 1\npixels\nt.\n", art, error));
    EXPECT_FALSE(kx::resgen::EncodeBmp4(art, file, error));
    EXPECT_EQ("a bitmap has no transparent pixels", error);
}

TEST(IconFile, DirectoryImagesAndMask) {
    PixelArt small;
    std::string error;
    ASSERT_TRUE(kx::resgen::ParsePixelArt("legend\nt transparent\nr 255 0 0\npixels\ntr\nrr\n",
                                          small, error))
        << error;
    std::string big = "legend\nt transparent\nr 255 0 0\npixels\n";
    for (int y = 0; y < 33; ++y) {
        big += std::string(size_t(33), y == 0 ? 't' : 'r') + "\n";
    }
    PixelArt large;
    ASSERT_TRUE(kx::resgen::ParsePixelArt(big, large, error)) << error;
    std::vector<uint8_t> file;
    ASSERT_TRUE(kx::resgen::EncodeIco({small, large}, file, error)) << error;

    EXPECT_EQ(0, U16(file, 0));
    EXPECT_EQ(1, U16(file, 2));
    ASSERT_EQ(2, U16(file, 4));
    // First entry: 2 x 2, 16 colours, 4 bits.
    EXPECT_EQ(2, file[6]);
    EXPECT_EQ(2, file[7]);
    EXPECT_EQ(16, file[8]);
    EXPECT_EQ(4, U16(file, 6 + 6));
    const uint32_t size0 = U32(file, 6 + 8);
    const uint32_t offset0 = U32(file, 6 + 12);
    EXPECT_EQ(6u + 2 * 16, offset0);
    EXPECT_EQ(40u + 16 * 4 + 2 * 4 + 2 * 4, size0);  // header, palette, colour rows, mask rows
    EXPECT_EQ(offset0 + size0, U32(file, 22 + 12));  // the second image follows directly
    EXPECT_EQ(file.size(), U32(file, 22 + 12) + U32(file, 22 + 8));
    EXPECT_EQ(33, file[22]);
    // Image header: height counts colour and mask rows.
    EXPECT_EQ(2u, U32(file, offset0 + 4));
    EXPECT_EQ(4u, U32(file, offset0 + 8));
    EXPECT_EQ(4, U16(file, offset0 + 14));
    // Mask rows, bottom-up: bottom row "rr" opaque, top row "tr" has its left pixel masked.
    const size_t mask = offset0 + 40 + 64 + 8;
    EXPECT_EQ(0x00, file[mask]);
    EXPECT_EQ(0x80, file[mask + 4]);
    // The masked pixel is black in the colour rows (the transparent entry's colour).
    const size_t topColourRow = offset0 + 40 + 64 + 4;
    EXPECT_EQ(0x01, file[topColourRow]);  // indices 0 (transparent) and 1 (red)
    EXPECT_EQ(0, file[offset0 + 40 + 0]);
    EXPECT_EQ(0, file[offset0 + 40 + 2]);
}

TEST(IconFile, RefusesImagesOutOfRange) {
    PixelArt art;
    art.width = 257;
    art.height = 1;
    art.palette = {{0, 0, 0}};
    art.pixels.assign(257, 0);
    std::vector<uint8_t> file;
    std::string error;
    EXPECT_FALSE(kx::resgen::EncodeIco({art}, file, error));
    EXPECT_EQ("icon images are 1 to 256 pixels wide and high", error);
    EXPECT_FALSE(kx::resgen::EncodeIco({}, file, error));
}

TEST(ClipPictures, ThirteenColoursAllUsedAndEveryFrameDiffers) {
    ASSERT_EQ(13u, kx::resgen::ClipPalette().size());
    std::set<uint8_t> used;
    std::vector<uint8_t> previous;
    for (int32_t i = 0; i < kx::resgen::kClipFrames; ++i) {
        std::vector<uint8_t> frame = kx::resgen::DrawClipFrame(i);
        ASSERT_EQ(size_t(kx::resgen::kClipWidth * kx::resgen::kClipHeight), frame.size());
        EXPECT_EQ(0, frame[0]) << "frame " << i << ": the top-left pixel is the face colour";
        used.insert(frame.begin(), frame.end());
        EXPECT_NE(previous, frame) << "frame " << i;
        previous = std::move(frame);
    }
    EXPECT_EQ(13u, used.size());
    for (uint8_t index : used) {
        EXPECT_GT(13, index);
    }
}

// Top row of the red ball (its body and rim colours 4 and 5) in a frame; -1 when absent.
int BallTop(const std::vector<uint8_t>& frame) {
    for (int32_t y = 0; y < kx::resgen::kClipHeight; ++y) {
        for (int32_t x = 0; x < kx::resgen::kClipWidth; ++x) {
            uint8_t c = frame[size_t(y * kx::resgen::kClipWidth + x)];
            if (c == 4 || c == 5) {
                return y;
            }
        }
    }
    return -1;
}

TEST(ClipPictures, BallRisesToTheMiddleFrameAndFallsBack) {
    std::vector<int> tops;
    for (int32_t i = 0; i < kx::resgen::kClipFrames; ++i) {
        tops.push_back(BallTop(kx::resgen::DrawClipFrame(i)));
        ASSERT_LE(0, tops.back()) << "frame " << i;
    }
    const size_t middle = size_t(kx::resgen::kClipFrames / 2);
    for (size_t i = 1; i <= middle; ++i) {
        EXPECT_LE(tops[i], tops[i - 1]) << "rising at frame " << i;
    }
    for (size_t i = middle + 1; i < tops.size(); ++i) {
        EXPECT_GE(tops[i], tops[i - 1]) << "falling at frame " << i;
    }
    EXPECT_LT(20, tops[0] - tops[middle]) << "the bounce is high enough to see";
}

TEST(ClipFile, WrittenRunLengthEncodedAndReadsBackAsDrawn) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "kx_resgen_clip_test.avi";
    std::string error;
    ASSERT_TRUE(kx::resgen::WriteClip(path, error)) << error;

    kx::CAnimationDocument loaded;
    ASSERT_EQ(1, loaded.LoadAvi(nullptr, path)) << loaded.FailureReason();
    EXPECT_EQ(uint32_t(kx::Compression::Rle8), loaded.Source().compression);
    EXPECT_EQ(35, loaded.FrameCount());
    EXPECT_EQ(56, loaded.FrameWidth());
    EXPECT_EQ(53, loaded.FrameHeight());
    EXPECT_EQ(13, loaded.Palette().count);
    EXPECT_EQ(100000u, loaded.MicroSecPerFrame());
    // Frame 17 (bottom-up rows) against the drawing (top row first).
    const std::vector<uint8_t> drawn = kx::resgen::DrawClipFrame(17);
    const kx::FrameBytes& stored = loaded.Frame(17).data;
    ASSERT_EQ(size_t(56 * 53), stored.size());
    for (int32_t y = 0; y < 53; ++y) {
        for (int32_t x = 0; x < 56; ++x) {
            ASSERT_EQ(drawn[size_t(y * 56 + x)], stored[size_t((52 - y) * 56 + x)])
                << "pixel " << x << "," << y;
        }
    }
    std::filesystem::remove(path);
}

}  // namespace
