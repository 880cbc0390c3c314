// Hostile AVI files: the reader must load or refuse each one cleanly. A movie that loads must
// satisfy the document's invariants and survive being written as a bitmap.
#include <cstdint>
#include <cstdlib>

#include "doc/animation_document.h"
#include "fuzz_input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kx::CAnimationDocument doc;
    if (doc.LoadAvi(nullptr, kx::fuzz::WriteInput(".avi", data, size)) == 0) {
        if (doc.FailureReason().empty() || doc.FrameCount() != 0) {
            std::abort();  // every refusal says why and leaves no frames
        }
        return 0;
    }
    const uint32_t frameBytes = kx::Stride8(doc.FrameWidth()) * uint32_t(doc.FrameHeight());
    for (int32_t k = 0; k < doc.FrameCount(); ++k) {
        if (doc.Frame(k).Size() != frameBytes) {
            std::abort();
        }
    }
    if (doc.Palette().count < 0 || doc.Palette().count > 256 || doc.DisplayInfo().empty()) {
        std::abort();
    }
    return 0;
}
