#include "doc/save_steps.h"

#include <exception>

#include "doc/animation_document.h"
#include "doc/file_io.h"

namespace kx {
namespace {

// The file's name for a failure reason. A Windows name may hold an unpaired surrogate, which
// has no UTF-8 form (the conversion throws); such a name is left out.
std::string NameForReason(const std::filesystem::path& path) {
    try {
        const std::u8string name = path.filename().u8string();
        return std::string(name.begin(), name.end());
    } catch (const std::exception&) {
        return "the file";
    }
}

}  // namespace

std::string WriteFailure(const std::filesystem::path& path, const OutputFile& file) {
    return "cannot write " + NameForReason(path) + ": " + file.Error();
}

CodedFramesInPlace::CodedFramesInPlace(CAnimationDocument& document, std::vector<FrameChunk>& codes)
    : document_(document), codes_(codes) {
    if (codes_.empty()) {
        return;
    }
    SwapFrames();
    inPlace_ = true;
    document_.headerList.stream.format.header.biCompression = uint32_t(Compression::Rle8);
    document_.headerList.stream.header.handler = fourcc::kRle;
}

void CodedFramesInPlace::SwapFrames() {
    std::vector<FrameChunk>& frames = document_.movieList.frames;
    for (size_t k = 0; k < codes_.size() && k < frames.size(); ++k) {
        frames[k].data.swap(codes_[k].data);
    }
}

bool CodedFramesInPlace::PutBack() {
    if (!inPlace_) {
        return true;
    }
    inPlace_ = false;
    SwapFrames();
    document_.headerList.stream.format.header.biCompression = uint32_t(Compression::Rgb);
    document_.headerList.stream.header.handler = fourcc::kRgb;
    return document_.RebuildHeaders(0, 0, 0, 0, 0) != 0;
}

}  // namespace kx
