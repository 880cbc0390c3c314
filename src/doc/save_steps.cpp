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

bool PlainFramesGuard::PutBack() {
    if (done_) {
        return putBack_;
    }
    done_ = true;
    BitmapInfoHeader& format = document_.headerList.stream.format.header;
    if (format.biCompression != uint32_t(Compression::Rle8)) {
        return putBack_;
    }
    if (Report(progress_, 0, kPhaseDecoding)) {
        // Decoding back cannot be cancelled: the frames must end plain.
        Report(progress_, 0, kProgressDisableCancel);
    }
    putBack_ = document_.movieList.DecodeFrames(progress_, format, n_, false, 0) != 0;
    if (putBack_) {
        document_.headerList.stream.header.handler = fourcc::kRgb;
        putBack_ = document_.RebuildHeaders(0, 0, 0, 0, 0) != 0;
    }
    return putBack_;
}

std::string PlainFramesGuard::WithPutBackFailure(const std::string& reason) {
    const char* failure = "the frames could not be decoded back";
    return reason.empty() ? failure : reason + "; " + failure;
}

}  // namespace kx
