// What changes between two frames of a movie, and which colours a movie uses: the questions the
// animation writers (GIF, APNG) ask before they code a frame against the one shown before it.
//
// A FrameView looks at one plain 8-bit frame as the document keeps it (rows bottom-up, each
// padded to the stride) but answers in picture coordinates: row 0 is the top row. Rectangles are
// in the same coordinates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "doc/pixel_rect.h"

namespace kx {

class CAnimationDocument;

// What the user asks of an animation file (GIF, APNG) beyond the movie itself.
struct AnimationOptions {
    // The movie's transparent colour (its top-left pixel's index) is written as transparent.
    bool transparent = false;
    // How many times the animation plays; 0 = forever.
    uint32_t plays = 0;
};

class FrameView {
public:
    FrameView() = default;
    // pixels holds height rows of stride bytes, the bottom row first; stride >= width.
    FrameView(const uint8_t* pixels, int32_t width, int32_t height, uint32_t stride)
        : pixels_(pixels), width_(width), height_(height), stride_(stride) {}
    // Frame i of a document whose frames are plain; an empty view when it is not.
    static FrameView OfDocument(const CAnimationDocument& doc, int32_t i);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool Valid() const { return pixels_ != nullptr && width_ > 0 && height_ > 0; }
    // The pixels of picture row y (0 = top), width bytes.
    const uint8_t* Row(int32_t y) const {
        return pixels_ + size_t(stride_) * size_t(height_ - 1 - y);
    }
    uint8_t At(int32_t x, int32_t y) const { return Row(y)[x]; }
    PixelRect Whole() const { return {0, 0, width_, height_}; }

private:
    const uint8_t* pixels_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint32_t stride_ = 0;
};

// The smallest rectangle holding every pixel where the two frames (of one size) differ; empty
// when they are the same or their sizes differ.
PixelRect ChangedRect(const FrameView& before, const FrameView& after);

// Whether some pixel of rect holding another index in before holds index in after: where a
// pixel turns transparent, a frame drawn over the old one cannot show it without clearing first.
bool AnyPixelTurnsTo(const FrameView& before, const FrameView& after, const PixelRect& rect,
                     uint8_t index);

// How often each palette index occurs.
using ColourUses = std::array<uint64_t, 256>;
// Adds the uses of the pixels of rect to uses.
void CountColourUses(const FrameView& frame, const PixelRect& rect, ColourUses& uses);
// The uses of every pixel of the document's first frameCount frames (plain frames only).
ColourUses CountMovieColourUses(const CAnimationDocument& doc);

// The indices with at least one use, in ascending order.
std::vector<uint8_t> UsedColours(const ColourUses& uses);

// The highest index with a use (0 when none).
uint8_t HighestUsedIndex(const ColourUses& uses);

}  // namespace kx
