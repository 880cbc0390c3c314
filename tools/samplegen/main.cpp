// samplegen: draws a small looping walk cycle as a bitmap strip, 8 bits per pixel, run-length
// compressed, frames stacked with frame 0 at the top, on a flat magenta background that the
// preview can show as transparent.
//
//   samplegen OUTPUT.bmp
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/file_io.h"

namespace {

// Square frames, so the strip's width is a frame height that divides it.
constexpr int kWidth = 48;
constexpr int kFrameHeight = 48;
constexpr int kFrames = 12;
constexpr int kHeight = kFrameHeight * kFrames;
// The figure's axis.
constexpr double kAxis = kWidth / 2.0;

enum Colour : uint8_t { kBackground, kOutline, kSkin, kShirt, kTrousers, kGround, kColours };

// Blue, green, red of each palette entry; the background is a multiple-of-16 colour.
constexpr std::array<std::array<uint8_t, 3>, kColours> kPalette = {{
    {255, 0, 255},    // background: magenta
    {32, 32, 32},     // outline
    {150, 200, 255},  // skin
    {200, 96, 32},    // shirt
    {96, 48, 48},     // trousers
    {128, 128, 128},  // ground
}};

class Canvas {
public:
    Canvas() : pixels_(size_t(kx::Stride8(kWidth)) * kHeight, kBackground) {}

    // x to the right, y down from the top of frame f.
    void Dot(int f, double x, double y, double radius, Colour c) {
        const int top = f * kFrameHeight;
        const int reach = int(std::ceil(radius));
        for (int dy = -reach; dy <= reach; ++dy) {
            for (int dx = -reach; dx <= reach; ++dx) {
                const int px = int(std::lround(x)) + dx;
                const int py = int(std::lround(y)) + dy;
                if (dx * dx + dy * dy > radius * radius || px < 0 || px >= kWidth || py < 0 ||
                    py >= kFrameHeight) {
                    continue;
                }
                // Rows are stored bottom-up: the picture's top row is the last one in memory.
                const int row = kHeight - 1 - (top + py);
                pixels_[size_t(row) * kx::Stride8(kWidth) + size_t(px)] = c;
            }
        }
    }

    void Line(int f, double x0, double y0, double x1, double y1, double radius, Colour c) {
        const int steps = int(std::ceil(std::hypot(x1 - x0, y1 - y0) * 2)) + 1;
        for (int i = 0; i <= steps; ++i) {
            const double t = double(i) / steps;
            Dot(f, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, radius, c);
        }
    }

    const std::vector<uint8_t>& Pixels() const { return pixels_; }

private:
    std::vector<uint8_t> pixels_;
};

void DrawFrame(Canvas& canvas, int f) {
    const double phase = 2 * std::numbers::pi * f / kFrames;
    const double swing = std::sin(phase);
    const double bob = std::fabs(std::cos(phase)) * 1.5;
    const double hipY = 31 - bob;
    const double neckY = 18 - bob;
    canvas.Line(f, 2, 45, kWidth - 3, 45, 1, kGround);
    // Far limbs first, near limbs over the body.
    canvas.Line(f, kAxis, hipY, kAxis - 7 * swing, 44, 1.5, kTrousers);
    canvas.Line(f, kAxis, neckY + 3, kAxis + 6 * swing, neckY + 12, 1, kSkin);
    canvas.Line(f, kAxis, neckY, kAxis, hipY, 2.5, kShirt);
    canvas.Line(f, kAxis, hipY, kAxis + 7 * swing, 44, 1.5, kTrousers);
    canvas.Line(f, kAxis, neckY + 3, kAxis - 6 * swing, neckY + 12, 1, kSkin);
    canvas.Dot(f, kAxis, neckY - 5, 4.5, kOutline);
    canvas.Dot(f, kAxis, neckY - 5, 3.2, kSkin);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: samplegen OUTPUT.bmp\n", stderr);
        return 2;
    }
    Canvas canvas;
    for (int f = 0; f < kFrames; ++f) {
        DrawFrame(canvas, f);
    }

    // The whole picture is one run-length bitmap, encoded by the document's own encoder.
    kx::BitmapInfoHeader info;
    info.biWidth = kWidth;
    info.biHeight = kHeight;
    info.biBitCount = 8;
    kx::FrameChunk encoded;
    const std::array<uint8_t, 256> noRemap{};
    if (!encoded.EncodeRle8(nullptr, info, canvas.Pixels().data(), nullptr, noRemap) ||
        encoded.Size() == 0) {
        std::fputs("samplegen: encoding failed\n", stderr);
        return 1;
    }

    const uint32_t paletteBytes = 4 * kColours;
    const uint32_t offBits = 14 + kx::BitmapInfoHeader::kBytes + paletteBytes;
    std::vector<uint8_t> bytes;
    kx::ByteWriter out(bytes);
    out.u16le(0x4D42);                    // bfType "BM"
    out.u32le(offBits + encoded.Size());  // bfSize
    out.u16le(0);                         // bfReserved1
    out.u16le(0);                         // bfReserved2
    out.u32le(offBits);                   // bfOffBits
    info.biCompression = uint32_t(kx::Compression::Rle8);
    info.biSizeImage = encoded.Size();
    info.biClrUsed = kColours;
    info.Write(out);
    for (const auto& bgr : kPalette) {
        out.u8(bgr[0]);
        out.u8(bgr[1]);
        out.u8(bgr[2]);
        out.u8(0);
    }
    out.bytes(encoded.data.data(), encoded.data.size());
    if (!out.ok() || bytes.size() != offBits + encoded.Size()) {
        std::fputs("samplegen: out of memory\n", stderr);
        return 1;
    }

    kx::OutputFile file;
    if (!file.Open(argv[1]) || !file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
        std::fprintf(stderr, "samplegen: cannot write %s: %s\n", argv[1], file.Error().c_str());
        return 1;
    }
    return 0;
}
