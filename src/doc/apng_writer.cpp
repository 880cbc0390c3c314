// Writing the movie as an animated PNG. The frames are read where they are (plain 8-bit,
// bottom-up); the whole file is coded in memory first and written in one go through a
// temporary file, so a failed or cancelled save leaves the old file as it was.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/apng_encoder.h"
#include "doc/cancel_watch.h"
#include "doc/file_io.h"
#include "doc/frame_delta.h"
#include "doc/save_steps.h"

namespace kx {

int CAnimationDocument::SaveApng(ProgressSink* progress, const std::filesystem::path& path,
                                 const AnimationOptions& options) {
    CancelWatch watch(progress);
    ProgressSink* sink = watch.Sink();
    failureReason.clear();
    if (std::string fault = CheckMovieToSave(false); !fault.empty()) {
        return Fail(std::move(fault));
    }
    const int32_t n = frameCount;
    PaletteMovieView view;
    view.palette = &palette;
    view.transparentIndex = options.transparent ? int32_t(TransparentIndex()) : -1;
    view.delayMs = std::max<uint32_t>(1, MicroSecPerFrame() / 1000);
    view.loops = options.plays;
    for (int32_t k = 0; k < n; ++k) {
        view.frames.push_back(FrameView::OfDocument(*this, k));
    }

    std::vector<uint8_t> bytes;
    std::string reason;
    if (!Report(sink, uint32_t(n), kPhaseEncoding)) {
        return Fail("cancelled");
    }
    if (!EncodeApng(view, sink, bytes, reason)) {
        return Fail(watch.Cancelled() ? "cancelled" : reason);
    }
    if (!Report(sink, 0, kPhaseWriting)) {
        return Fail("cancelled");
    }
    OutputFile file;
    if (!file.Open(path) || !file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
        return Fail(WriteFailure(path, file));
    }
    return 1;
}

}  // namespace kx
