// What the AVI and bitmap writers share: how a failed write is worded and the guard that puts
// the plain frames back in place of their codes however a save ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "doc/progress.h"

namespace kx {

class CAnimationDocument;
class FrameChunk;
class OutputFile;

// "cannot write NAME: why" for a failed open, write or commit of the file at path.
std::string WriteFailure(const std::filesystem::path& path, const OutputFile& file);

// While a writer writes coded frames, the codes stand in the movie in place of the plain frames,
// so the headers and the frame writing see what goes to the file. The guard keeps the plain
// frames aside and puts them back, with the headers of plain frames, however the save ends.
class CodedFramesInPlace {
public:
    // Puts codes (one chunk a frame, or none for frames written plain) in the frames' place and
    // marks the format and the stream as run-length coded.
    CodedFramesInPlace(CAnimationDocument& document, std::vector<FrameChunk>& codes);
    ~CodedFramesInPlace() { PutBack(); }
    CodedFramesInPlace(const CodedFramesInPlace&) = delete;
    CodedFramesInPlace& operator=(const CodedFramesInPlace&) = delete;

    // Puts the plain frames back, once; false when the headers could not be rebuilt.
    bool PutBack();

private:
    void SwapFrames();

    CAnimationDocument& document_;
    std::vector<FrameChunk>& codes_;
    bool inPlace_ = false;
};

}  // namespace kx
