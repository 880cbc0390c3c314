// What the run-length decoder, the encoder and their movie drivers share: the geometry of a plain
// frame and the pace of their progress reports.
#pragma once

#include <cstdint>

namespace kx {

// Rows between two progress steps of the coders.
constexpr uint32_t kRowsPerStep = 128;
// Progress units the encoder reports for each row it codes.
constexpr uint32_t kEncodeUnitsPerRow = 4;
// The encoder writes into a buffer of this many times the plain frame.
constexpr uint64_t kCodeBufferFactor = 2;

// Geometry of a plain frame; every size in 64 bits so that absurd headers cannot wrap.
struct Geometry {
    uint64_t rowBytes = 0;  // bytes of pixels per row
    uint64_t stride = 0;    // rowBytes rounded up to a multiple of 4
    uint64_t pad = 0;
    uint64_t height = 0;
    uint64_t total = 0;
};

// False for a size that cannot be a frame: not positive or beyond kMaxBufferBytes.
bool MakeGeometry(int32_t width, int32_t height, bool packed4, Geometry& g);

}  // namespace kx
