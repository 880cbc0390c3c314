// How a strip is cut into frames and how fast a movie may play: the rules the frame settings
// dialog, the main window and the converter all follow.
#pragma once

#include <cstdint>

namespace kx {

// Milliseconds per frame the program accepts. Longer periods would no longer fit the movie's
// microsecond field.
constexpr int32_t kShortestFramePeriodMs = 1;
constexpr int32_t kLongestFramePeriodMs = 60000;

// The frame height, the frame count and the rows the last frame lacks, for a strip of
// stripHeight rows.
struct FrameFields {
    int32_t height;
    int32_t count;
    int32_t remainder;
    bool operator==(const FrameFields&) const = default;
};

// From an entered height: the height kept within 1 .. stripHeight, the count of frames including
// a partly filled last one, and the rows that last frame lacks.
FrameFields FieldsFromHeight(int32_t stripHeight, int32_t height);
// From an entered count kept within 1 .. stripHeight: the smallest height that cuts the strip
// into at most that many frames, the count that height really gives, and the rows the last frame
// lacks.
FrameFields FieldsFromCount(int32_t stripHeight, int32_t count);

// The height proposed for a freshly read strip. remembered is the stored height, 0 (or any value
// below 1) when there is none. A strip whose width divides its height into two frames or more
// most likely holds square frames: the width is proposed when there is no remembered height or
// the remembered one does not divide the strip. Otherwise the remembered height, or the whole
// strip.
int32_t ProposedFrameHeight(int32_t stripWidth, int32_t stripHeight, int32_t remembered);

}  // namespace kx
