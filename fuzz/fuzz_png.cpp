// Hostile PNG and animated PNG files: the reader must load or refuse each one cleanly; whatever
// loads must be frames of the picture's size whose indices all lie inside the palette, and a
// small movie must survive being written as an animated PNG and read back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/apng_encoder.h"
#include "doc/frame_delta.h"
#include "doc/png_decoder.h"
#include "fuzz_input_file.h"

namespace {

void CheckFrames(const kx::CAnimationDocument& doc) {
    const int32_t w = doc.FrameWidth();
    const int32_t h = doc.FrameHeight();
    const int32_t colours = doc.Palette().count;
    if (doc.FrameCount() < 1 || w <= 0 || h <= 0 || colours < 1 || colours > 256) {
        std::abort();
    }
    for (int32_t k = 0; k < doc.FrameCount(); ++k) {
        const kx::FrameView frame = kx::FrameView::OfDocument(doc, k);
        if (doc.Frame(k).Size() != kx::Stride8(w) * uint32_t(h) || !frame.Valid()) {
            std::abort();
        }
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                if (frame.At(x, y) >= colours) {
                    std::abort();
                }
            }
        }
    }
}

// Writes the movie as an animated PNG in memory and checks that the file parses back.
void CheckRewrite(const kx::CAnimationDocument& doc) {
    kx::PaletteMovieView view;
    for (int32_t k = 0; k < doc.FrameCount(); ++k) {
        view.frames.push_back(kx::FrameView::OfDocument(doc, k));
    }
    view.palette = &doc.Palette();
    view.transparentIndex = doc.TransparentIndex();
    std::vector<uint8_t> bytes;
    std::string reason;
    kx::png::PngFile file;
    if (!kx::EncodeApng(view, nullptr, bytes, reason) ||
        !kx::png::ParsePng(bytes.data(), bytes.size(), file, reason) ||
        file.frames.size() != size_t(doc.FrameCount())) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kx::CAnimationDocument doc;
    if (doc.LoadPng(nullptr, kx::fuzz::WriteInput(".png", data, size), 100) == 0) {
        if (doc.FailureReason().empty() || doc.FrameCount() != 0) {
            std::abort();
        }
        return 0;
    }
    CheckFrames(doc);
    // Only small movies: the writer tries many codings of every frame.
    if (int64_t(doc.FrameWidth()) * doc.FrameHeight() * doc.FrameCount() <= 4096) {
        CheckRewrite(doc);
    }
    return 0;
}
