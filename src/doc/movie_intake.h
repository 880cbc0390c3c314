// What the readers of whole-file formats (GIF) hand the document: a movie already decoded into
// the document's own form, and the whole file they decode it from.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/progress.h"

namespace kx {

struct DecodedMovie {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<RgbQuad> palette;              // at most 256 colours
    std::vector<std::vector<uint8_t>> frames;  // plain 8-bit rows, bottom-up, padded to 4
    uint32_t periodMs = 100;                   // the most frequent delay
    bool delaysDiffer = false;
    bool transparentAtZero = false;  // palette index 0 stands for pixels left transparent
    uint16_t sourceBits = 8;         // bits per pixel the file had, for the command line's info
};

// Reads the whole file into bytes, in blocks of 10240 with a progress step after each (phase
// reading). Refuses a file larger than kMaxBufferBytes before reading it.
std::string ReadWholeFile(ProgressSink* progress, const std::filesystem::path& path,
                          std::vector<uint8_t>& bytes);

}  // namespace kx
