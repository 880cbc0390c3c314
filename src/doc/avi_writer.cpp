// Writing the movie as a single-stream AVI file of 8-bit palette frames.
//
// Unused palette entries are dropped first, then every frame is run-length encoded against the
// previous one (or written plain when that is smaller). The codes are kept apart from the frames,
// which stay plain and usable whatever happens. The file goes to a temporary name beside the
// target and replaces it only when complete.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/cancel_watch.h"
#include "doc/file_io.h"
#include "doc/rle_frame.h"
#include "doc/save_steps.h"

namespace kx {
namespace {

// Progress units of the encode phase: one per 1024 bytes of the file.
constexpr uint32_t kBytesPerUnit = 1024;
// Index progress: one unit per 128 bytes.
constexpr uint32_t kIndexBytesPerUnit = 128;

// Encoded frames never take more than plain ones (the writer falls back to plain), and a frame
// takes more of the movie's budget than its chunk header, a possible extra end of line and its
// index entry take in the file: a movie within the budget always fits the 32-bit sizes of the
// RIFF file.
constexpr uint64_t kLargestHeaders = RiffHeader::kBytes + ListHeader::kBytes + MainHeader::kBytes +
                                     ListHeader::kBytes + StreamHeader::kBytes +
                                     StreamFormat::kBytes + 4 * 256 + ListHeader::kBytes + 8;
static_assert(8 + 2 + IndexEntry::kBytes <= kFrameBookkeepingBytes &&
                  kLargestHeaders + kMaxMovieBytes <= UINT32_MAX,
              "a movie within the budget always fits an AVI file");

// Writes the headers up to the frame list's own list header; empty on success, else the reason.
std::string WriteAviHeaders(const CAnimationDocument& doc, ProgressSink* sink, OutputFile& file,
                            const std::filesystem::path& path) {
    std::vector<uint8_t> headers;
    ByteWriter out(headers);
    doc.riff.Write(out);
    doc.headerList.list.Write(out);
    doc.headerList.main.Write(out);
    doc.headerList.stream.list.Write(out);
    doc.headerList.stream.header.Write(out);
    doc.headerList.stream.format.Write(out);
    doc.palette.Write(out);
    const size_t expected = RiffHeader::kBytes + ListHeader::kBytes + MainHeader::kBytes +
                            ListHeader::kBytes + StreamHeader::kBytes + StreamFormat::kBytes +
                            4 * size_t(doc.palette.count);
    doc.movieList.list.Write(out);
    if (!out.ok() || headers.size() != expected + ListHeader::kBytes) {
        return "out of memory";
    }
    if (!file.Write(headers.data(), expected)) {
        return WriteFailure(path, file);
    }
    if (!Report(sink, doc.headerList.list.size / kBytesPerUnit, kProgressStep)) {
        return "cancelled";
    }
    if (!file.Write(headers.data() + expected, ListHeader::kBytes)) {
        return WriteFailure(path, file);
    }
    return {};
}

std::string WriteAviFrames(const CAnimationDocument& doc, ProgressSink* sink, OutputFile& file,
                           const std::filesystem::path& path, double bytesPerStep) {
    for (int32_t i = 0; i < doc.FrameCount(); ++i) {
        if (!doc.Frame(i).WriteFrameData(sink, bytesPerStep, file, true)) {
            return WriteFailure(path, file);
        }
        if (sink != nullptr && !Report(sink, 0, kProgressStep)) {
            return "cancelled";
        }
    }
    return {};
}

std::string WriteAviIndex(const CAnimationDocument& doc, ProgressSink* sink, OutputFile& file,
                          const std::filesystem::path& path) {
    const MovieList& movie = doc.movieList;
    std::vector<uint8_t> index;
    ByteWriter out(index);
    out.u32le(movie.indexId);    // "idx1"
    out.u32le(movie.indexSize);  // 16 x frame count
    for (int32_t i = 0; i < doc.FrameCount(); ++i) {
        movie.index[size_t(i)].Write(out);
    }
    if (!out.ok() || index.size() != 8 + size_t(movie.indexSize)) {
        return "out of memory";
    }
    if (!file.Write(index.data(), index.size())) {
        return WriteFailure(path, file);
    }
    Report(sink, movie.indexSize / kIndexBytesPerUnit, kProgressStep);
    if (sink != nullptr && !Report(sink, 0, kProgressStep)) {
        return "cancelled";
    }
    return {};
}

// Writes the encoded movie to a temporary file that replaces the target once complete; empty on
// success, else the reason.
std::string WriteAviFile(const CAnimationDocument& doc, CancelWatch& watch,
                         const std::filesystem::path& path, uint32_t plainTotal) {
    ProgressSink* sink = watch.Sink();
    // Progress units per byte written, measured against the plain size.
    const double bytesPerStep =
        plainTotal == 0 ? 1.0
                        : std::max(1.0, double(doc.headerList.main.suggestedBufferSize) *
                                            kBytesPerUnit / double(plainTotal));
    if (!Report(sink, 0, kPhaseWriting)) {
        return "cancelled";
    }
    OutputFile file;
    if (!file.Open(path)) {
        return WriteFailure(path, file);
    }
    std::string reason = WriteAviHeaders(doc, sink, file, path);
    if (reason.empty()) {
        reason = WriteAviFrames(doc, sink, file, path, bytesPerStep);
    }
    if (reason.empty()) {
        reason = WriteAviIndex(doc, sink, file, path);
    }
    // A Cancel inside a frame ended that frame early: such a file is never put in place, even
    // when the progress window answered go on again afterwards.
    if (reason.empty() && watch.Cancelled()) {
        reason = "cancelled";
    }
    if (reason.empty() && !file.Commit()) {
        reason = WriteFailure(path, file);
    }
    // Without a Commit the file's destructor removes the temporary file; the target stays.
    return reason;
}

}  // namespace

int CAnimationDocument::SaveAvi(ProgressSink* progress, const std::filesystem::path& path) {
    CancelWatch watch(progress);
    ProgressSink* sink = watch.Sink();
    failureReason.clear();
    const int32_t n = frameCount;
    if (std::string fault = CheckMovieToSave(true); !fault.empty()) {
        return Fail(std::move(fault));
    }
    BitmapInfoHeader& format = headerList.stream.format.header;
    const int32_t height = format.biHeight;
    const uint32_t plainTotal = headerList.main.suggestedBufferSize;

    // The range covers the bytes to write, the palette compaction's pass over the frames and the
    // rows to encode.
    const uint32_t bytesToWrite =
        movieList.remapped ? riff.size - 40 : riff.size + 4 * plainTotal - 40;
    const uint32_t rows = uint32_t(height) * uint32_t(n);
    if (!Report(sink, bytesToWrite / kBytesPerUnit + kEncodeUnitsPerRow * rows, kPhaseEncoding)) {
        return Fail("cancelled");
    }
    if (!movieList.CompactPalette(sink, &palette, n)) {
        return Fail(watch.Cancelled() ? "cancelled" : "the movie has no palette");
    }
    std::vector<FrameChunk> codes;
    const int coded = movieList.EncodeFramesForAvi(sink, format, n, codes);
    // The palette is compacted whether or not the coding went through: the frames follow it.
    movieList.RemapFrames(n);
    if (!coded) {
        RebuildHeaders(palette.count, 0, 0, 0, 0);
        movieList.FindTransparentIndex(palette, height);
        return Fail(watch.Cancelled() ? "cancelled" : "out of memory while encoding");
    }
    // Only the 40-byte info header is held and written; the palette follows it directly.
    format.biSize = BitmapInfoHeader::kBytes;

    CodedFramesInPlace inPlace(*this, codes);
    std::string reason = RebuildHeaders(palette.count, 0, 0, 0, 0)
                             ? WriteAviFile(*this, watch, path, plainTotal)
                             : "out of memory";
    if (!inPlace.PutBack() && reason.empty()) {
        reason = "out of memory";
    }
    movieList.FindTransparentIndex(palette, height);
    return reason.empty() ? 1 : Fail(std::move(reason));
}

}  // namespace kx
