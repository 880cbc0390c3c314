// Writing the movie as a single-stream AVI file of 8-bit palette frames.
//
// Unused palette entries are dropped first, then every frame is run-length encoded against the
// previous one (or written plain when that is smaller). The codes are kept apart from the frames,
// which stay plain and usable whatever happens. Each frame's codes go to the file as soon as the
// coding hands them over, behind room kept for the headers, which are written last. The file
// goes to a temporary name beside the target and replaces it only when complete.
#include <algorithm>
#include <cstdint>
#include <new>
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

// The length of the headers before the first frame chunk: fixed once the palette is.
size_t AviHeaderBytes(const CAnimationDocument& doc) {
    return RiffHeader::kBytes + ListHeader::kBytes + MainHeader::kBytes + ListHeader::kBytes +
           StreamHeader::kBytes + StreamFormat::kBytes + 4 * size_t(doc.palette.count) +
           ListHeader::kBytes;
}

// The bytes of the headers before the first frame chunk, the frame list's own list header
// last; empty when out of memory.
std::vector<uint8_t> AviHeaders(const CAnimationDocument& doc) {
    std::vector<uint8_t> headers;
    ByteWriter out(headers);
    doc.riff.Write(out);
    doc.headerList.list.Write(out);
    doc.headerList.main.Write(out);
    doc.headerList.stream.list.Write(out);
    doc.headerList.stream.header.Write(out);
    doc.headerList.stream.format.Write(out);
    doc.palette.Write(out);
    doc.movieList.list.Write(out);
    if (!out.ok() || headers.size() != AviHeaderBytes(doc)) {
        return {};
    }
    return headers;
}

// Writes the headers up to the frame list's own list header; empty on success, else the reason.
std::string WriteAviHeaders(const CAnimationDocument& doc, ProgressSink* sink, OutputFile& file,
                            const std::filesystem::path& path) {
    const std::vector<uint8_t> headers = AviHeaders(doc);
    if (headers.empty()) {
        return "out of memory";
    }
    const size_t beforeFrameList = headers.size() - ListHeader::kBytes;
    if (!file.Write(headers.data(), beforeFrameList)) {
        return WriteFailure(path, file);
    }
    if (!Report(sink, doc.headerList.list.size / kBytesPerUnit, kProgressStep)) {
        return "cancelled";
    }
    if (!file.Write(headers.data() + beforeFrameList, ListHeader::kBytes)) {
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

// Ends the file once its frames and index are written: Cancel heard inside a frame ended that
// frame early, and such a file is never put in place, even when the progress window answered go
// on again afterwards. Without a Commit the file's destructor removes the temporary file; the
// target stays.
std::string CommitAviFile(CancelWatch& watch, OutputFile& file, const std::filesystem::path& path) {
    if (watch.Cancelled()) {
        return "cancelled";
    }
    return file.Commit() ? std::string() : WriteFailure(path, file);
}

// Writes the movie as its frames hold it, from the start (reopening file at path); empty on
// success, else the reason.
std::string WriteAviFile(const CAnimationDocument& doc, CancelWatch& watch, OutputFile& file,
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
    return reason.empty() ? CommitAviFile(watch, file, path) : reason;
}

// Writes each frame's codes to the file as the coding hands them over, behind room kept for the
// headers: those are written last, once the sizes of all frames are known. The file is written
// while the later frames are still being coded, and the disk takes it meanwhile.
class StreamedFrames {
public:
    StreamedFrames(const CAnimationDocument& doc, ProgressSink* sink, OutputFile& file)
        : doc_(doc), sink_(sink), file_(file) {}

    // Writes frame k's chunk; frames come in order, 0 first. False on a failed write (Failed()
    // then says so) or a Cancel.
    bool Put(int32_t k, const FrameChunk& codes) {
        if (k == 0 && !HoldHeaderRoom()) {
            return false;
        }
        if (!WriteChunkHeader(file_, doc_.Frame(k).id, codes.Size()) ||
            !file_.Write(codes.data.data(), codes.data.size())) {
            failed_ = true;
            return false;
        }
        return Report(sink_, Units(k + 1) - Units(k), kProgressStep);
    }

    bool Failed() const { return failed_; }

    // Writes the headers of the coded frames in the room kept for them, then the index; empty
    // on success, else the reason.
    std::string Finish(CancelWatch& watch, const std::filesystem::path& path) {
        if (!Report(sink_, 0, kPhaseWriting)) {
            return "cancelled";
        }
        const std::vector<uint8_t> headers = AviHeaders(doc_);
        if (headers.empty()) {
            return "out of memory";
        }
        if (!file_.WriteAt(0, headers.data(), headers.size())) {
            return WriteFailure(path, file_);
        }
        if (!Report(sink_, doc_.headerList.list.size / kBytesPerUnit, kProgressStep)) {
            return "cancelled";
        }
        std::string reason = WriteAviIndex(doc_, sink_, file_, path);
        return reason.empty() ? CommitAviFile(watch, file_, path) : reason;
    }

private:
    bool HoldHeaderRoom() {
        try {
            const std::vector<uint8_t> zeros(AviHeaderBytes(doc_));
            failed_ = !file_.Write(zeros.data(), zeros.size());
        } catch (const std::bad_alloc&) {
            failed_ = true;
        }
        return !failed_;
    }

    // The progress units of writing the first k frames: every frame its share of the plain
    // movie, as the frames written plain report theirs.
    uint32_t Units(int32_t k) const {
        return uint32_t(uint64_t(uint32_t(k)) * doc_.Frame(0).Size() / kBytesPerUnit);
    }

    const CAnimationDocument& doc_;
    ProgressSink* sink_;
    OutputFile& file_;
    bool failed_ = false;
};

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
    // The frames go to a temporary file while they are coded. A target that can only be written
    // in place is left alone until the coding is through, so that a Cancel keeps it.
    OutputFile file;
    const bool streaming = file.Open(path, false);
    if (!streaming && !file.NeedsInPlace()) {
        return Fail(WriteFailure(path, file));
    }
    if (!movieList.CompactPalette(sink, &palette, n)) {
        return Fail(watch.Cancelled() ? "cancelled" : "the movie has no palette");
    }
    std::vector<FrameChunk> codes;
    StreamedFrames streamed(*this, sink, file);
    const int coded = movieList.EncodeFramesForAvi(
        sink, format, n, codes,
        streaming ? [&](int32_t k, const FrameChunk& c) { return streamed.Put(k, c); }
                  : CodedFrameHandOver());
    // The palette is compacted whether or not the coding went through: the frames follow it.
    movieList.RemapFrames(n);
    if (!coded) {
        RebuildHeaders(palette.count, 0, 0, 0, 0);
        movieList.FindTransparentIndex(palette, height);
        return Fail(watch.Cancelled()   ? "cancelled"
                    : streamed.Failed() ? WriteFailure(path, file)
                                        : "out of memory while encoding");
    }
    // Only the 40-byte info header is held and written; the palette follows it directly.
    format.biSize = BitmapInfoHeader::kBytes;

    // Frames left uncoded (too narrow, too large, or longer coded than plain) are written plain
    // into a file begun afresh; a target written in place is written only now.
    CodedFramesInPlace inPlace(*this, codes);
    std::string reason = !RebuildHeaders(palette.count, 0, 0, 0, 0) ? "out of memory"
                         : codes.empty() || !streaming
                             ? WriteAviFile(*this, watch, file, path, plainTotal)
                             : streamed.Finish(watch, path);
    if (!inPlace.PutBack() && reason.empty()) {
        reason = "out of memory";
    }
    movieList.FindTransparentIndex(palette, height);
    return reason.empty() ? 1 : Fail(std::move(reason));
}

}  // namespace kx
