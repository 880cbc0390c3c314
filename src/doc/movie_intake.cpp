// Handing a decoded movie to the document.
#include "doc/movie_intake.h"

#include <cerrno>
#include <new>

#include "doc/file_io.h"

namespace kx {

std::string ReadWholeFile(ProgressSink* progress, const std::filesystem::path& path,
                          std::vector<uint8_t>& bytes) {
    InputFile file;
    if (!file.Open(path)) {
        return errno == ENOENT ? "no such file" : DescribeFileError(errno);
    }
    if (file.Size() > kMaxBufferBytes) {
        return "the file of " + std::to_string(file.Size()) + " bytes is larger than " +
               std::to_string(kMaxBufferBytes >> 20) + " MB";
    }
    constexpr size_t kBlock = 10240;
    if (!Report(progress, uint32_t(file.Size() / kBlock + 1), kPhaseReading)) {
        return "cancelled";
    }
    try {
        bytes.resize(size_t(file.Size()));
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    for (size_t at = 0; at < bytes.size(); at += kBlock) {
        const size_t n = std::min(kBlock, bytes.size() - at);
        if (!file.ReadExact(bytes.data() + at, n)) {
            return "the file could not be read to its end";
        }
        if (!Report(progress, 1, kProgressStep)) {
            return "cancelled";
        }
    }
    return {};
}

int CAnimationDocument::TakeMovie(DecodedMovie& movie, int32_t periodMs) {
    const int32_t n = int32_t(movie.frames.size());
    const int32_t count = int32_t(movie.palette.size());
    if (n <= 0 || count <= 0 || count > 256) {
        return FailLoad("no movie decoded");
    }
    if (!StartLoad(n)) {
        return FailLoad("out of memory");
    }
    for (int32_t k = 0; k < n; ++k) {
        movieList.frames[size_t(k)].data.swap(movie.frames[size_t(k)]);
    }
    palette.count = count;
    std::copy(movie.palette.begin(), movie.palette.end(), palette.entries.begin());
    BitmapInfoHeader& format = headerList.stream.format.header;
    format = BitmapInfoHeader{};
    format.biWidth = movie.width;
    format.biHeight = movie.height;
    format.biSizeImage = Stride8(movie.width) * uint32_t(movie.height);
    headerList.stream.header.handler = fourcc::kRgb;
    return FinishLoad(count, n, movie.height, movie.width, periodMs);
}

}  // namespace kx
