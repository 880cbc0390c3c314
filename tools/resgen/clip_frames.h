// The pictures of the small looping clip shown by the About box and the progress dialog: a red
// ball bouncing over a film strip that runs to the left, on the light grey button face.
#pragma once

#include <cstdint>
#include <vector>

#include "pixel_art.h"

namespace kx::resgen {

constexpr int32_t kClipWidth = 56;
constexpr int32_t kClipHeight = 53;
constexpr int32_t kClipFrames = 35;
constexpr int32_t kClipFramePeriodMs = 100;

// The 13 colours of the clip; index 0 is the button face (the top-left pixel of every frame).
const std::vector<Rgb>& ClipPalette();

// Frame i (0 .. kClipFrames - 1) as palette indices, top row first. The last frame leads
// smoothly into the first, so the clip loops without a jump.
std::vector<uint8_t> DrawClipFrame(int32_t i);

}  // namespace kx::resgen
