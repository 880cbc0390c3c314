// Writing the movie as a single-stream AVI file of 8-bit palette frames.
//
// Unused palette entries are dropped first, then every frame is run-length encoded against the
// previous one (or written plain when that is smaller). The file goes to a temporary name beside
// the target and replaces it only when complete; whatever happens after encoding began, the
// frames are decoded back so that the movie in memory stays usable.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/cancel_watch.h"
#include "doc/file_io.h"

namespace kx {
namespace {

// Progress units of the encode phase: one per 1024 bytes of the file, five per row encoded.
constexpr uint32_t kBytesPerUnit = 1024;
constexpr uint32_t kUnitsPerRow = 5;
// Index progress: one unit per 128 bytes.
constexpr uint32_t kIndexBytesPerUnit = 128;

// Encoded frames never take more than plain ones (the writer falls back to plain), and a frame
// takes more of the movie's budget than its chunk header, a possible extra end of line and its
// index entry take in the file: a movie within the budget always fits the 32-bit sizes of the
// RIFF file.
constexpr uint64_t kLargestHeaders = RiffHeader::kBytes + HeaderList::kListHeaderBytes +
                                     MainHeader::kBytes + StreamList::kListHeaderBytes +
                                     StreamHeader::kBytes + StreamFormat::kBytes + 4 * 256 +
                                     MovieList::kListHeaderBytes + 8;
static_assert(8 + 2 + IndexEntry::kBytes <= kFrameBookkeepingBytes &&
                  kLargestHeaders + kMaxMovieBytes <= UINT32_MAX,
              "a movie within the budget always fits an AVI file");

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

void WriteListHeader(ByteWriter& out, uint32_t id, uint32_t size, uint32_t type) {
    out.u32le(id);    // "LIST"
    out.u32le(size);  // bytes after this field
    out.u32le(type);  // list type
}

}  // namespace

int CAnimationDocument::SaveAvi(ProgressSink* progress, const std::filesystem::path& path) {
    CancelWatch watch(progress);
    ProgressSink* sink = watch.Sink();
    failureReason.clear();
    const int32_t n = frameCount;
    if (n <= 0 || movieList.frames.size() < size_t(n) || movieList.index.size() < size_t(n)) {
        return Fail("no movie to save");
    }
    BitmapInfoHeader& format = headerList.stream.format.header;
    const int32_t height = format.biHeight;
    if (format.biWidth <= 0 || height <= 0 || format.biBitCount != 8 || format.biCompression != 0) {
        return Fail("the frames are not plain 8-bit pictures");
    }
    const uint64_t frameBytes = uint64_t(Stride8(format.biWidth)) * uint32_t(height);
    if (std::string fault = CheckFramesToWrite(n, frameBytes); !fault.empty()) {
        return Fail(std::move(fault));
    }
    const uint32_t plainTotal = headerList.main.suggestedBufferSize;

    // The range covers the bytes to write and the rows to encode and decode.
    const uint32_t bytesToWrite =
        movieList.remapped ? riff.size - 40 : riff.size + 4 * plainTotal - 40;
    const uint32_t rows = uint32_t(height) * uint32_t(n);
    if (!Report(sink, bytesToWrite / kBytesPerUnit + kUnitsPerRow * rows, kPhaseEncoding)) {
        return Fail("cancelled");
    }
    if (!movieList.CompactPalette(sink, &palette, n)) {
        if (watch.Cancelled()) {
            return Fail("cancelled");
        }
        return Fail("the movie has no palette");
    }
    if (!movieList.EncodeFramesForAvi(sink, format, n)) {
        // The encoder has put the frames back in plain form, remapped to the compacted palette;
        // the headers and the transparent index follow them so the movie stays usable.
        RebuildHeaders(palette.count, 0, 0, 0, 0);
        movieList.FindTransparentIndex(palette, height);
        return Fail(watch.Cancelled() ? "cancelled" : "out of memory while encoding");
    }
    headerList.stream.header.handler =
        format.biCompression == uint32_t(Compression::Rle8) ? fourcc::kRle : fourcc::kRgb;

    // Only the 40-byte info header is held and written; the palette follows it directly.
    format.biSize = BitmapInfoHeader::kBytes;

    const std::string name = NameForReason(path);
    std::string reason;
    int result = 0;
    OutputFile file;
    if (!RebuildHeaders(palette.count, 0, 0, 0, 0)) {
        reason = "out of memory";
    } else {
        result = 1;
    }
    if (result == 1) {
        // Progress units per byte written, measured against the plain size.
        const double bytesPerStep =
            plainTotal == 0 ? 1.0
                            : std::max(1.0, double(headerList.main.suggestedBufferSize) *
                                                kBytesPerUnit / double(plainTotal));
        result = 0;
        if (!Report(sink, 0, kPhaseWriting)) {
            reason = "cancelled";
        } else if (!file.Open(path)) {
            reason = "cannot write " + name + ": " + file.Error();
        } else {
            std::vector<uint8_t> headers;
            ByteWriter out(headers);
            riff.Write(out);
            WriteListHeader(out, headerList.id, headerList.size, headerList.type);
            headerList.main.Write(out);
            WriteListHeader(out, headerList.stream.id, headerList.stream.size,
                            headerList.stream.type);
            headerList.stream.header.Write(out);
            headerList.stream.format.Write(out);
            palette.Write(out);
            const size_t expected = RiffHeader::kBytes + HeaderList::kListHeaderBytes +
                                    MainHeader::kBytes + StreamList::kListHeaderBytes +
                                    StreamHeader::kBytes + StreamFormat::kBytes +
                                    4 * size_t(palette.count);
            WriteListHeader(out, movieList.id, movieList.size, movieList.type);
            if (!out.ok() || headers.size() != expected + MovieList::kListHeaderBytes) {
                reason = "out of memory";
            } else if (!file.Write(headers.data(), expected)) {
                reason = "cannot write " + name + ": " + file.Error();
            } else if (!Report(sink, headerList.size / kBytesPerUnit, kProgressStep)) {
                reason = "cancelled";
            } else if (!file.Write(headers.data() + expected, MovieList::kListHeaderBytes)) {
                reason = "cannot write " + name + ": " + file.Error();
            } else {
                result = 1;
            }
        }
        for (int32_t i = 0; result == 1 && i < n; ++i) {
            if (!movieList.frames[size_t(i)].WriteFrameData(sink, bytesPerStep, file, true)) {
                reason = "cannot write " + name + ": " + file.Error();
                result = 0;
            } else if (sink != nullptr && !Report(sink, 0, kProgressStep)) {
                reason = "cancelled";
                result = 0;
            }
        }
        if (result == 1) {
            std::vector<uint8_t> index;
            ByteWriter out(index);
            out.u32le(movieList.indexId);    // "idx1"
            out.u32le(movieList.indexSize);  // 16 x frame count
            for (int32_t i = 0; i < n; ++i) {
                movieList.index[size_t(i)].Write(out);
            }
            if (!out.ok() || index.size() != 8 + size_t(movieList.indexSize)) {
                reason = "out of memory";
                result = 0;
            } else if (!file.Write(index.data(), index.size())) {
                reason = "cannot write " + name + ": " + file.Error();
                result = 0;
            } else {
                Report(sink, movieList.indexSize / kIndexBytesPerUnit, kProgressStep);
                if (sink != nullptr && !Report(sink, 0, kProgressStep)) {
                    reason = "cancelled";
                    result = 0;
                }
            }
        }
        // A Cancel inside a frame ended that frame early: such a file is never put in place, even
        // when the progress window answered go on again afterwards.
        if (result == 1 && watch.Cancelled()) {
            reason = "cancelled";
            result = 0;
        }
        if (result == 1 && !file.Commit()) {
            reason = "cannot write " + name + ": " + file.Error();
            result = 0;
        }
        // Without a Commit the temporary file goes and the target stays as it was.
        file.Discard();
    }

    // Back to plain frames, whether the file was written, cancelled or failed.
    if (format.biCompression == uint32_t(Compression::Rle8)) {
        if (Report(sink, 0, kPhaseDecoding)) {
            Report(sink, 0, kProgressDisableCancel);
        }
        if (!movieList.DecodeFrames(sink, format, n, false, 0)) {
            return Fail("cannot decode the frames back");
        }
        headerList.stream.header.handler = fourcc::kRgb;
        if (!RebuildHeaders(0, 0, 0, 0, 0)) {
            return Fail("out of memory");
        }
    }
    movieList.FindTransparentIndex(palette, height);
    return result == 1 ? 1 : Fail(reason);
}

}  // namespace kx
