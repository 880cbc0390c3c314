// moviegen: draws one of three kinds of palette animation as a plain 8-bit bitmap strip, frames
// stacked with frame 0 at the top. The kinds are what people animate and share:
//   sprite  a small figure moving on a flat background (index 0, the transparent colour)
//   scene   an opaque, detailed background with two sprites moving over it
//   plasma  frames that change everywhere (a smooth colour field that flows)
//
//   moviegen KIND OUTPUT.bmp [WIDTH FRAME_HEIGHT FRAMES]    default 160 120 24
//
// The output depends only on the arguments, so sizes measured on it can be compared across runs.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/bitmap_file.h"
#include "doc/byte_io.h"
#include "doc/file_io.h"

namespace {

struct Size {
    int width = 160;
    int frameHeight = 120;
    int frames = 24;
};

using Palette = std::vector<std::array<uint8_t, 3>>;  // red, green, blue

// Frame f's picture, top row first; every kind fills all of it.
class Strip {
public:
    explicit Strip(Size size)
        : size_(size), pixels_(size_t(size.width) * size.frameHeight * size.frames, 0) {}

    void Set(int f, int x, int y, uint8_t index) {
        if (x < 0 || y < 0 || x >= size_.width || y >= size_.frameHeight) {
            return;
        }
        pixels_[(size_t(f) * size_.frameHeight + size_t(y)) * size_.width + size_t(x)] = index;
    }

    void Disc(int f, double cx, double cy, double r, uint8_t index) {
        for (int y = int(cy - r); y <= int(cy + r) + 1; ++y) {
            for (int x = int(cx - r); x <= int(cx + r) + 1; ++x) {
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) {
                    Set(f, x, y, index);
                }
            }
        }
    }

    void Box(int f, int x0, int y0, int w, int h, uint8_t index) {
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) {
                Set(f, x, y, index);
            }
        }
    }

    const Size& size() const { return size_; }
    const std::vector<uint8_t>& pixels() const { return pixels_; }

private:
    Size size_;
    std::vector<uint8_t> pixels_;
};

// A round figure with eyes and swinging feet, centred at (cx, cy), colours from first on.
void DrawFigure(Strip& s, int f, double cx, double cy, double phase, uint8_t first) {
    const double swing = 4 * std::sin(phase);
    s.Disc(f, cx - 5 + swing, cy + 13, 4, uint8_t(first + 3));
    s.Disc(f, cx + 5 - swing, cy + 13, 4, uint8_t(first + 3));
    s.Disc(f, cx, cy, 12, uint8_t(first));
    s.Disc(f, cx, cy, 10, uint8_t(first + 1));
    s.Disc(f, cx - 4, cy - 3, 2, uint8_t(first + 2));
    s.Disc(f, cx + 4, cy - 3, 2, uint8_t(first + 2));
}

Palette DrawSprite(Strip& s) {
    const Size& z = s.size();
    for (int f = 0; f < z.frames; ++f) {
        const double t = double(f) / z.frames;
        const double cx = z.width * (0.2 + 0.6 * t);
        const double cy = z.frameHeight * 0.5 - 10 * std::fabs(std::sin(2 * std::numbers::pi * t));
        DrawFigure(s, f, cx, cy, 4 * std::numbers::pi * t, 1);
    }
    return {{255, 0, 255}, {40, 40, 40}, {250, 200, 60}, {20, 20, 90}, {200, 60, 40}};
}

Palette DrawScene(Strip& s) {
    const Size& z = s.size();
    Palette palette;
    // 32 sky shades, 16 ground shades, brick colours, then the two figures' colours.
    for (int i = 0; i < 32; ++i) {
        palette.push_back({uint8_t(60 + i * 3), uint8_t(120 + i * 3), uint8_t(230 - i)});
    }
    for (int i = 0; i < 16; ++i) {
        palette.push_back({uint8_t(70 + i * 5), uint8_t(110 + i * 6), uint8_t(40 + i * 2)});
    }
    palette.push_back({150, 60, 40});
    palette.push_back({190, 90, 60});
    const uint8_t figureA = uint8_t(palette.size());
    palette.insert(palette.end(), {{40, 40, 40}, {250, 200, 60}, {20, 20, 90}, {200, 60, 40}});
    const uint8_t figureB = uint8_t(palette.size());
    palette.insert(palette.end(), {{30, 30, 60}, {120, 220, 240}, {90, 10, 10}, {60, 60, 200}});
    const int horizon = z.frameHeight * 2 / 3;
    for (int f = 0; f < z.frames; ++f) {
        for (int y = 0; y < z.frameHeight; ++y) {
            for (int x = 0; x < z.width; ++x) {
                const bool brick = y > horizon - 20 && y < horizon && x % 40 < 24;
                const bool mortar = brick && (y % 6 == 0 || (x + (y / 6) * 6) % 12 == 0);
                uint8_t index = y < horizon ? uint8_t(y * 32 / horizon)
                                            : uint8_t(32 + ((x / 4 + y / 3) * 7 + y) % 16);
                if (brick) {
                    index = mortar ? 49 : 48;
                }
                s.Set(f, x, y, index);
            }
        }
        const double t = double(f) / z.frames;
        DrawFigure(s, f, z.width * (0.15 + 0.7 * t), horizon - 14, 4 * std::numbers::pi * t,
                   figureA);
        DrawFigure(s, f, z.width * (0.85 - 0.5 * t), horizon + 10, 6 * std::numbers::pi * t,
                   figureB);
    }
    return palette;
}

Palette DrawPlasma(Strip& s) {
    const Size& z = s.size();
    constexpr int kShades = 128;
    Palette palette;
    for (int i = 0; i < kShades; ++i) {
        const double a = 2 * std::numbers::pi * i / kShades;
        palette.push_back({uint8_t(128 + 127 * std::sin(a)), uint8_t(128 + 127 * std::sin(a + 2)),
                           uint8_t(128 + 127 * std::sin(a + 4))});
    }
    for (int f = 0; f < z.frames; ++f) {
        const double t = 2 * std::numbers::pi * f / z.frames;
        for (int y = 0; y < z.frameHeight; ++y) {
            for (int x = 0; x < z.width; ++x) {
                const double v =
                    std::sin(x / 13.0 + t) + std::sin(y / 9.0 - t) +
                    std::sin((x + y) / 17.0 + 2 * t) +
                    std::sin(std::hypot(x - z.width / 2.0, y - z.frameHeight / 2.0) / 8.0);
                s.Set(f, x, y, uint8_t(int((v + 4) / 8 * kShades) % kShades));
            }
        }
    }
    return palette;
}

// A plain 8-bit bitmap: file header, info header, palette, rows bottom-up.
std::vector<uint8_t> BitmapBytes(const Strip& s, const Palette& palette) {
    const Size& z = s.size();
    const int32_t height = z.frameHeight * z.frames;
    const uint32_t stride = kx::Stride8(z.width);
    kx::BitmapInfoHeader info;
    info.biWidth = z.width;
    info.biHeight = height;
    info.biSizeImage = stride * uint32_t(height);
    info.biClrUsed = uint32_t(palette.size());
    kx::BitmapFileHeader file;
    file.bfOffBits =
        kx::BitmapFileHeader::kBytes + kx::BitmapInfoHeader::kBytes + 4 * uint32_t(palette.size());
    file.bfSize = file.bfOffBits + info.biSizeImage;

    std::vector<uint8_t> bytes;
    kx::ByteWriter out(bytes);
    file.Write(out);
    info.Write(out);
    for (const auto& rgb : palette) {
        out.u8(rgb[2]);
        out.u8(rgb[1]);
        out.u8(rgb[0]);
        out.u8(0);
    }
    std::vector<uint8_t> row(stride, 0);
    for (int32_t y = height - 1; y >= 0; --y) {
        std::memcpy(row.data(), s.pixels().data() + size_t(y) * z.width, size_t(z.width));
        out.bytes(row.data(), row.size());
    }
    return bytes;
}

bool ParseSize(int argc, char** argv, Size& size) {
    if (argc == 3) {
        return true;
    }
    if (argc != 6) {
        return false;
    }
    size.width = std::atoi(argv[3]);
    size.frameHeight = std::atoi(argv[4]);
    size.frames = std::atoi(argv[5]);
    return size.width >= 32 && size.width <= 4096 && size.frameHeight >= 32 &&
           size.frameHeight <= 4096 && size.frames >= 1 && size.frames <= 1024;
}

}  // namespace

int main(int argc, char** argv) {
    Size size;
    if (!ParseSize(argc, argv, size)) {
        std::fputs("usage: moviegen sprite|scene|plasma OUTPUT.bmp [WIDTH FRAME_HEIGHT FRAMES]\n",
                   stderr);
        return 2;
    }
    const std::string kind = argv[1];
    Strip strip(size);
    Palette palette;
    if (kind == "sprite") {
        palette = DrawSprite(strip);
    } else if (kind == "scene") {
        palette = DrawScene(strip);
    } else if (kind == "plasma") {
        palette = DrawPlasma(strip);
    } else {
        std::fprintf(stderr, "moviegen: unknown kind %s\n", kind.c_str());
        return 2;
    }
    const std::vector<uint8_t> bytes = BitmapBytes(strip, palette);
    kx::OutputFile file;
    if (!file.Open(argv[2]) || !file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
        std::fprintf(stderr, "moviegen: cannot write %s: %s\n", argv[2], file.Error().c_str());
        return 1;
    }
    return 0;
}
