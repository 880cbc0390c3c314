// Coding a palette movie as an animated PNG (colour type 3), as small as the encoder can make it.
//
// The palette is trimmed to the colours the frames use (the transparent colour first, so that
// one tRNS entry marks it). The first frame is the default image (IDAT), so a viewer without
// animation support shows it. Every later frame is coded against the picture the viewer holds
// before it, and the encoder tries, per frame: what the frame before leaves behind (dispose
// none, background or previous), how the frame is laid on it (blend source, or over with
// unchanged pixels made transparent), the rectangle that changed, and rows unfiltered against
// adaptively filtered; each candidate is deflated at the strongest level and the smallest kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/frame_delta.h"
#include "doc/progress.h"

namespace kx {

// The frames (all of one size) and what the file says about them.
struct PaletteMovieView {
    std::vector<FrameView> frames;
    const PaletteTable* palette = nullptr;
    int32_t transparentIndex = -1;  // palette index shown transparent, or -1 for none
    uint32_t delayMs = 100;         // every frame's delay
    uint32_t loops = 0;             // plays of the animation; 0 = forever
};

// Codes the movie into out (the whole file). Reports one step per frame through progress;
// false when cancelled or out of memory, with a reason.
bool EncodeApng(const PaletteMovieView& movie, ProgressSink* progress, std::vector<uint8_t>& out,
                std::string& reason);

}  // namespace kx
