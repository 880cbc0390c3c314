// Cutting a loaded strip into the frames of a movie, from the top of the picture down.
//
// Rows are bottom-up in memory, so the top of the picture is the end of the strip's data: frame 0
// takes the last frame-sized block, frame 1 the block before it, and so on. A last frame that the
// picture covers only partly gets the picture's bottom rows on top and the transparent index in
// its missing bottom rows. The frames are runs of rows of the strip's own block, so nothing is
// copied; only such a partly covered last frame gets a block of its own.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/cancel_watch.h"

namespace kx {

int MovieList::CutStrip(ProgressSink* progress, FrameChunk& strip, int32_t n, int32_t stripHeight,
                        int32_t frameHeight) {
    // The strip is used up whatever happens: its block becomes the frames' rows.
    SharedBlock block;
    try {
        block = strip.data.Release();
    } catch (const std::bad_alloc&) {
        strip.data.clear();
        return 0;
    }
    if (n <= 0 || stripHeight <= 0 || frameHeight <= 0) {
        return 0;
    }
    const size_t stripBytes = block.size;
    const uint64_t rowBytes = stripBytes / uint64_t(stripHeight);
    const uint64_t frameBytes = rowBytes * uint64_t(frameHeight);
    const uint64_t coveredRows = uint64_t(n) * uint64_t(frameHeight);
    if (rowBytes == 0 || frameBytes > kMaxBufferBytes || coveredRows < uint64_t(stripHeight) ||
        coveredRows - uint64_t(stripHeight) >= uint64_t(frameHeight)) {
        return 0;
    }
    const size_t filler = size_t(rowBytes * (coveredRows - uint64_t(stripHeight)));

    std::vector<FrameChunk>().swap(frames);
    std::vector<IndexEntry>().swap(index);
    try {
        frames.resize(size_t(n));
        index.resize(size_t(n));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!Report(progress, uint32_t(n), kPhaseComposing)) {
        return 0;
    }
    const size_t f = size_t(frameBytes);
    for (int32_t j = 0; j + 1 < n; ++j) {
        frames[size_t(j)].data = FrameBytes::View(block, stripBytes - size_t(j + 1) * f, f);
        if (!Report(progress, 1, kProgressStep)) {
            return 0;
        }
    }
    FrameBytes& last = frames[size_t(n) - 1].data;
    if (filler == 0) {
        last = FrameBytes::View(std::move(block), 0, f);
    } else {
        try {
            last.assign(f, transparentIndex);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        std::memcpy(last.data() + filler, block.bytes.get(), f - filler);
    }
    return Report(progress, 1, kProgressStep) ? 1 : 0;
}

int CAnimationDocument::ComposeFromStrip(ProgressSink* progress, int32_t frameHeight) {
    CancelWatch watch(progress);
    failureReason.clear();
    const int32_t stripHeight = headerList.stream.format.header.biHeight;
    if (frameCount != 1 || movieList.frames.size() != 1 || movieList.frames[0].data.empty() ||
        stripHeight <= 0) {
        return Fail("no strip loaded");
    }
    if (frameHeight < 1) {
        return Fail("frame height must be at least 1");
    }
    const int32_t n = stripHeight / frameHeight + (stripHeight % frameHeight != 0 ? 1 : 0);
    // The strip stays loaded when its frames would not fit.
    const uint64_t rowBytes = movieList.frames[0].data.size() / uint64_t(stripHeight);
    if (std::string budget = CheckMovieBudget(uint64_t(n), rowBytes * uint64_t(frameHeight));
        !budget.empty()) {
        return Fail(std::move(budget));
    }
    frameCount = n;

    std::vector<FrameChunk> old;
    try {
        std::vector<FrameChunk> fresh(1);
        old.swap(movieList.frames);
        movieList.frames.swap(fresh);
    } catch (const std::bad_alloc&) {
        ReleaseFrames();
        frameCount = 0;
        return Fail("out of memory");
    }
    const int cut = movieList.CutStrip(watch.Sink(), old[0], n, stripHeight, frameHeight);
    std::vector<FrameChunk>().swap(old);
    if (!cut || !RebuildHeaders(0, n, frameHeight, 0, 0)) {
        // Nothing half-cut stays behind for a caller that reads the frames anyway.
        ReleaseFrames();
        frameCount = 0;
        return Fail(watch.Cancelled() ? "cancelled" : "out of memory");
    }
    return 1;
}

}  // namespace kx
