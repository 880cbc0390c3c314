// Helpers shared by the run-length and pixel tests.
#pragma once

#include <cstdint>
#include <vector>

#include "doc/animation_document.h"

namespace kx::test {

// An 8-bit plain frame format of the given size.
inline BitmapInfoHeader Frame8(int32_t width, int32_t height) {
    BitmapInfoHeader f;
    f.biWidth = width;
    f.biHeight = height;
    f.biBitCount = 8;
    return f;
}

// A movie list holding these plain frames, with its index computed.
inline MovieList MovieOf(const std::vector<std::vector<uint8_t>>& frames) {
    MovieList movie;
    for (const auto& pixels : frames) {
        FrameChunk frame;
        frame.data = pixels;
        movie.frames.push_back(frame);
    }
    movie.RecomputeIndex(int32_t(frames.size()));
    return movie;
}

}  // namespace kx::test
