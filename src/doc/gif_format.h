// Animated GIF (GIF89a) as Kinetrix writes and reads it.
//
// File grammar: "GIF89a"; the logical screen (width, height, flags, background index, aspect);
// the global colour table (3 x 2^n bytes, red green blue); then blocks until the trailer 0x3B.
// An extension block is 0x21, a label and sub-blocks: 0xF9 graphic control (disposal of the
// frame after it is shown, transparent index, delay in 1/100 s) before a frame, 0xFF application
// ("NETSCAPE2.0": loop count). A frame is 0x2C, its rectangle, flags (local table, interlace),
// the local table, the LZW minimum code size and the code stream in sub-blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/frame_delta.h"
#include "doc/movie_intake.h"
#include "doc/progress.h"

namespace kx {

namespace gif {
// The byte a block starts with.
enum Introducer : uint8_t { kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B };
// The label after kExtension of the extensions Kinetrix writes and reads; the others (comments,
// plain text) are skipped whole.
enum ExtensionLabel : uint8_t { kGraphicControl = 0xF9, kApplication = 0xFF };

// What happens to a frame's rectangle after it was shown, before the next frame is drawn.
enum class Disposal : uint8_t { Unspecified = 0, None = 1, Background = 2, Previous = 3 };

// Browsers show delays below this (in 1/100 s) as 10, so the writer never writes less.
constexpr uint32_t kShortestDelay = 2;
}  // namespace gif

// The delay a GIF holds for a frame period: rounded to 1/100 s, at least kShortestDelay, at most
// 65535.
uint16_t GifDelay(uint32_t microSecPerFrame);
// Whether the period is below kShortestDelay, so that the GIF shows the frames longer.
bool GifDelayRaised(uint32_t microSecPerFrame);

class CAnimationDocument;

// Codes the document's frames (plain, as the document keeps them) as an animated GIF into out,
// advancing progress by one step a frame. Returns why it cannot ("" on success); "cancelled"
// when the progress sink asked to stop.
std::string EncodeGif(const CAnimationDocument& doc, const AnimationOptions& options,
                      ProgressSink* progress, std::vector<uint8_t>& out);

}  // namespace kx

namespace kx {

// Decodes a whole GIF file: every frame the whole picture, drawn through the frames before it
// (disposal none, background, previous), in one palette of the colours the frames use; pixels
// left transparent get index 0, a colour of their own. The period is the most frequent delay.
// Refuses, with the reason, anything that is not a sound GIF of at most 256 colours whose
// frames fit the movie budget; the budget is checked before any pixel is decoded.
std::string DecodeGif(const uint8_t* data, size_t size, ProgressSink* progress,
                      DecodedMovie& movie);

}  // namespace kx
