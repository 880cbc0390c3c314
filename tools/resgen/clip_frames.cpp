#include "clip_frames.h"

#include <cmath>

namespace kx::resgen {
namespace {

enum Colour : uint8_t {
    kFace,
    kWhite,
    kGrey,
    kBlack,
    kRed,
    kDarkRed,
    kPink,
    kYellow,
    kNavy,
    kBlue,
    kDarkGrey,
    kGreen,
    kCyan,
};

constexpr int32_t kFloorY = 40;     // first row of the floor line
constexpr int32_t kStripTop = 43;   // film strip rows kStripTop .. kClipHeight - 1
constexpr int32_t kHolePeriod = 7;  // sprocket hole spacing; 35 frames move 5 periods
constexpr int32_t kBallRadius = 7;
constexpr double kBounceHeight = 24;  // pixels the ball rises above the floor

class Canvas {
public:
    Canvas() : pixels_(size_t(kClipWidth) * kClipHeight, kFace) {}
    void Set(int32_t x, int32_t y, uint8_t c) {
        if (x >= 0 && x < kClipWidth && y >= 0 && y < kClipHeight) {
            pixels_[size_t(y) * kClipWidth + size_t(x)] = c;
        }
    }
    std::vector<uint8_t> Take() { return std::move(pixels_); }

private:
    std::vector<uint8_t> pixels_;
};

void DrawFilmStrip(Canvas& c, int32_t shift) {
    for (int32_t y = kStripTop; y < kClipHeight; ++y) {
        for (int32_t x = 0; x < kClipWidth; ++x) {
            // Position along the strip; the strip runs to the left by one pixel per frame.
            int32_t u = ((x + shift) % kHolePeriod + kHolePeriod) % kHolePeriod;
            int32_t row = y - kStripTop;
            uint8_t colour = kBlack;
            if ((row == 1 || row == 8) && u >= 2 && u <= 4) {
                colour = kWhite;  // sprocket holes along both edges
            } else if (row >= 3 && row <= 6 && u >= 1 && u <= 5) {
                colour = (row == 4 || row == 5) && u == 3 ? kBlue : kCyan;  // a frame window
            } else if (row == 0 || row == 9) {
                colour = kNavy;  // edge of the film base
            }
            c.Set(x, y, colour);
        }
    }
}

void DrawFloor(Canvas& c) {
    for (int32_t x = 0; x < kClipWidth; ++x) {
        c.Set(x, kFloorY, kGreen);
        c.Set(x, kFloorY + 1, kGrey);
    }
}

// The ball's shadow narrows as the ball rises.
void DrawShadow(Canvas& c, int32_t cx, double rise) {
    double half = 8.0 - 5.0 * rise / kBounceHeight;
    for (int32_t x = cx - 9; x <= cx + 9; ++x) {
        double d = std::abs(x - cx) / half;
        if (d <= 0.6) {
            c.Set(x, kFloorY - 1, kDarkGrey);
        } else if (d <= 1.0) {
            c.Set(x, kFloorY - 1, kGrey);
        }
    }
}

// An ellipse lit from the upper left: a white spot, pink light side, red body, dark red rim.
void DrawBall(Canvas& c, double cx, double cy, double rx, double ry) {
    for (int32_t y = int32_t(cy - ry) - 1; y <= int32_t(cy + ry) + 1; ++y) {
        for (int32_t x = int32_t(cx - rx) - 1; x <= int32_t(cx + rx) + 1; ++x) {
            double dx = (x + 0.5 - cx) / rx;
            double dy = (y + 0.5 - cy) / ry;
            double r = std::sqrt(dx * dx + dy * dy);
            if (r > 1.0) {
                continue;
            }
            double spot = std::hypot(dx + 0.4, dy + 0.4);
            uint8_t colour = kRed;
            if (r > 0.8) {
                colour = kDarkRed;
            } else if (spot < 0.22) {
                colour = kWhite;
            } else if (spot < 0.55) {
                colour = kPink;
            }
            c.Set(x, y, colour);
        }
    }
}

// A small four-pointed spark on each side of the ball when it lands.
void DrawSparks(Canvas& c, int32_t cx, int32_t size) {
    for (int32_t side : {-1, 1}) {
        int32_t sx = cx + side * 13;
        int32_t sy = kFloorY - 4;
        c.Set(sx, sy, kYellow);
        for (int32_t k = 1; k <= size; ++k) {
            c.Set(sx - k, sy, kYellow);
            c.Set(sx + k, sy, kYellow);
            c.Set(sx, sy - k, kYellow);
            c.Set(sx, sy + k, kYellow);
        }
    }
}

}  // namespace

const std::vector<Rgb>& ClipPalette() {
    static const std::vector<Rgb> palette = {
        {192, 192, 192}, {255, 255, 255}, {128, 128, 128}, {0, 0, 0},   {255, 0, 0},
        {128, 0, 0},     {255, 160, 160}, {255, 255, 0},   {0, 0, 128}, {0, 0, 255},
        {64, 64, 64},    {0, 128, 0},     {0, 255, 255},
    };
    return palette;
}

std::vector<uint8_t> DrawClipFrame(int32_t i) {
    Canvas c;
    const int32_t cx = kClipWidth / 2;
    // One bounce per loop: the ball touches the floor at frame 0 and is highest at the middle.
    const double phase = double(i) / kClipFrames;
    const double rise = kBounceHeight * 4.0 * phase * (1.0 - phase);
    DrawFloor(c);
    DrawShadow(c, cx, rise);
    if (i == 0) {
        // Squashed on impact.
        DrawBall(c, cx, kFloorY - 5.0, kBallRadius + 2.0, kBallRadius - 2.0);
    } else {
        DrawBall(c, cx, kFloorY - kBallRadius - rise, kBallRadius, kBallRadius);
    }
    if (i == 0 || i == 1 || i == kClipFrames - 1) {
        DrawSparks(c, cx, i == 0 ? 2 : 1);
    }
    DrawFilmStrip(c, i);
    return c.Take();
}

}  // namespace kx::resgen
