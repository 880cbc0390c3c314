// What the run-length decoder, the encoder and their movie drivers share: the geometry of a plain
// frame and the pace of their progress reports.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "doc/frame_bytes.h"
#include "doc/progress.h"

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

// Gives the reason to a caller that asked for it; the result of a failed operation.
inline int FailWith(std::string* reason, std::string text) {
    if (reason != nullptr) {
        *reason = std::move(text);
    }
    return 0;
}

// Where one frame's decoding writes and what it builds on.
struct RleTarget {
    uint8_t* out;         // the plain frame, g.total bytes
    const uint8_t* base;  // the frame before, or nullptr (skipped pixels stay as out holds them)
    ProgressSink* progress;
    bool cancelHonoured;
};

// What one frame's decoding found.
struct RleOutcome {
    std::string reason;               // on a failure: what was wrong and where, or "cancelled"
    bool tookPixelsFromBase = false;  // a skip passed over pixels of the frame
};

// Decodes the codes (BI_RLE8, or BI_RLE4 when packed4) into target.out; false with
// outcome.reason on a fault or an honoured Cancel. Against an 8-bit base every byte of the
// frame is written.
bool DecodeRleInto(const FrameBytes& codes, const Geometry& g, bool packed4,
                   const RleTarget& target, RleOutcome& outcome);

}  // namespace kx
