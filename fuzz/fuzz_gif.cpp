// Hostile GIF files: decoding must succeed or fail with a reason, without touching memory outside
// its buffers or taking memory beyond the movie budget; what decodes is a whole movie.
#include <cstdint>
#include <cstdlib>

#include "doc/gif_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kx::DecodedMovie movie;
    const std::string fault = kx::DecodeGif(data, size, nullptr, movie);
    if (!fault.empty()) {
        return 0;
    }
    const size_t frameBytes = size_t(kx::Stride8(movie.width)) * size_t(movie.height);
    if (movie.frames.empty() || movie.palette.empty() || movie.palette.size() > 256) {
        std::abort();
    }
    for (const auto& frame : movie.frames) {
        if (frame.size() != frameBytes) {
            std::abort();
        }
        for (const uint8_t index : frame) {
            if (index >= movie.palette.size()) {
                std::abort();
            }
        }
    }
    return 0;
}
