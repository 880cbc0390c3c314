// What the AVI and bitmap writers share: how a failed write is worded and the guard that puts
// encoded frames back in plain form however a save ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "doc/progress.h"

namespace kx {

class CAnimationDocument;
class OutputFile;

// "cannot write NAME: why" for a failed open, write or commit of the file at path.
std::string WriteFailure(const std::filesystem::path& path, const OutputFile& file);

// The writers encode the frames in place; once they did, the frames must be plain again when the
// save ends, written, cancelled or failed, so that the movie in memory stays usable.
class PlainFramesGuard {
public:
    PlainFramesGuard(CAnimationDocument& document, ProgressSink* progress, int32_t n)
        : document_(document), progress_(progress), n_(n) {}
    ~PlainFramesGuard() { PutBack(); }
    PlainFramesGuard(const PlainFramesGuard&) = delete;
    PlainFramesGuard& operator=(const PlainFramesGuard&) = delete;

    // Decodes encoded frames back, once; false when they could not be decoded.
    bool PutBack();

    // The reason of a save whose frames could not be put back, added to the save's own reason.
    static std::string WithPutBackFailure(const std::string& reason);

private:
    CAnimationDocument& document_;
    ProgressSink* progress_;
    int32_t n_;
    bool done_ = false;
    bool putBack_ = true;
};

}  // namespace kx
