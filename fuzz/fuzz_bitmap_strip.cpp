// Hostile bitmap files: the strip reader must load or refuse each one cleanly, and a strip that
// loads must cut into frames of a height taken from the input.
#include <cstdint>
#include <cstdlib>

#include "doc/animation_document.h"
#include "fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kx::CAnimationDocument doc;
    if (doc.LoadBitmapStrip(nullptr, kx::fuzz::WriteInput(".bmp", data, size), 100) == 0) {
        if (doc.FailureReason().empty()) {
            std::abort();
        }
        return 0;
    }
    const int32_t height = doc.FrameHeight();
    if (doc.FrameCount() != 1 || height <= 0 ||
        doc.Frame(0).Size() != kx::Stride8(doc.FrameWidth()) * uint32_t(height)) {
        std::abort();
    }
    // The last byte chooses a frame height between 1 and the strip's height.
    const int32_t frameHeight = size == 0 ? 1 : 1 + int32_t(data[size - 1]) % height;
    if (doc.ComposeFromStrip(nullptr, frameHeight) == 1) {
        const int32_t frames = (height + frameHeight - 1) / frameHeight;
        if (doc.FrameCount() != frames || doc.FrameHeight() != frameHeight) {
            std::abort();
        }
    }
    return 0;
}
