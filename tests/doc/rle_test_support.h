// Helpers shared by the run-length and pixel tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
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

// n frames of w x h that change a little from one to the next: runs, noise and unchanged
// stretches, so that runs, absolute runs and deltas all occur.
inline std::vector<std::vector<uint8_t>> RandomMovie(std::mt19937& random, int32_t w, int32_t h,
                                                     int32_t n) {
    const uint32_t stride = Stride8(w);
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> frame(size_t(stride) * uint32_t(h), 0);
    for (int32_t k = 0; k < n; ++k) {
        const int changes = int(random() % 40);
        for (int c = 0; c < changes; ++c) {
            const uint32_t y = random() % uint32_t(h);
            const uint32_t x = random() % uint32_t(w);
            const uint32_t length = std::min<uint32_t>(random() % 30 + 1, uint32_t(w) - x);
            const bool noise = random() % 2 == 0;
            const uint8_t v = uint8_t(random() % 6);
            for (uint32_t i = 0; i < length; ++i) {
                frame[y * stride + x + i] = noise ? uint8_t(random() % 6) : v;
            }
        }
        frames.push_back(frame);
    }
    return frames;
}

}  // namespace kx::test
