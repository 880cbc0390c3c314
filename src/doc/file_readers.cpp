#include "doc/file_readers.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "doc/animation_document.h"
#include "doc/file_io.h"

namespace kx {
namespace {

int LoadStrip(CAnimationDocument& document, ProgressSink* progress,
              const std::filesystem::path& path, int32_t stripPeriodMs) {
    return document.LoadBitmapStrip(progress, path, stripPeriodMs);
}

int LoadPng(CAnimationDocument& document, ProgressSink* progress, const std::filesystem::path& path,
            int32_t stripPeriodMs) {
    return document.LoadPng(progress, path, stripPeriodMs);
}

int LoadMovie(CAnimationDocument& document, ProgressSink* progress,
              const std::filesystem::path& path, int32_t) {
    return document.LoadAvi(progress, path);
}

int LoadGifFile(CAnimationDocument& document, ProgressSink* progress,
                const std::filesystem::path& path, int32_t stripPeriodMs) {
    return document.LoadGif(progress, path, stripPeriodMs);
}

// One row per kind of file; the first whose signature matches reads the file.
constexpr FileReader kReaders[] = {
    {"bmp", "BM", true, LoadStrip},
    {"avi", "RIFF", false, LoadMovie},
    {"gif", "GIF8", false, LoadGifFile, true},
    {"png", std::string_view("\x89PNG\r\n\x1a\n", 8), false, LoadPng, true},
};

// Room for the longest signature.
constexpr size_t kHeadBytes = 16;
static_assert(std::all_of(std::begin(kReaders), std::end(kReaders),
                          [](const FileReader& r) { return r.signature.size() <= kHeadBytes; }));

// "not a BMP or AVI file", naming every kind of the table.
std::string UnknownKindText() {
    std::string text = "not a ";
    const size_t count = std::size(kReaders);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += i + 1 == count ? " or " : ", ";
        }
        for (const char* c = kReaders[i].name; *c != '\0'; ++c) {
            text += char(*c >= 'a' && *c <= 'z' ? *c - 'a' + 'A' : *c);
        }
    }
    return text + " file";
}

}  // namespace

bool LoadedAsStrip(const FileReader& reader, const CAnimationDocument& document) {
    return reader.isStrip || (reader.stripWhenOnePicture && document.FrameCount() == 1);
}

ReaderChoice ChooseReader(const std::filesystem::path& path) {
    InputFile file;
    if (!file.Open(path)) {
        const int error = errno;
        return {ReaderChoice::Outcome::Unreadable, nullptr,
                error == ENOENT ? "no such file" : DescribeFileError(error)};
    }
    std::array<char, kHeadBytes> head{};
    const std::string_view read(head.data(), file.Read(head.data(), head.size()));
    for (const FileReader& reader : kReaders) {
        if (read.starts_with(reader.signature)) {
            return {ReaderChoice::Outcome::Chosen, &reader, {}};
        }
    }
    return {ReaderChoice::Outcome::Unknown, nullptr, UnknownKindText()};
}

}  // namespace kx
