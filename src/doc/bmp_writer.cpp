// Writing the movie back as one bitmap strip: the frames stacked vertically with frame 0 at the
// top, 8-bit plain or run-length compressed (BI_RLE8).
//
// A bitmap's rows run from the bottom, so the last frame is written first. Compressed frames are
// written one after another; every frame but frame 0 ends with an end of line (0 0) instead of
// an end of bitmap, and frame 0, written last, ends the whole picture with 0 1.
//
// The file is written beside the target and put in its place only when everything was written,
// so a failed or cancelled save leaves the old file as it was. The codes are kept apart from the
// frames, which stay plain whatever happens.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/bitmap_file.h"
#include "doc/byte_io.h"
#include "doc/cancel_watch.h"
#include "doc/file_io.h"
#include "doc/rle_frame.h"
#include "doc/save_steps.h"

namespace kx {
namespace {

constexpr uint32_t kHeadersBytes = BitmapFileHeader::kBytes + BitmapInfoHeader::kBytes;
// Compressed frames never take more than plain ones (the writer falls back to plain): a movie
// within the budget always fits the 32-bit sizes of a bitmap file.
static_assert(kHeadersBytes + 4 * 256 + kMaxMovieBytes <= UINT32_MAX,
              "a movie within the budget always fits a bitmap file");

// The file and info headers of the strip and the palette; empty when out of memory.
std::vector<uint8_t> StripHeaders(const CAnimationDocument& doc, int64_t stripHeight,
                                  uint32_t dataBytes) {
    const uint32_t entries = uint32_t(doc.palette.count);
    std::vector<uint8_t> head;
    ByteWriter out(head);
    BitmapFileHeader fileHeader;
    fileHeader.bfSize = uint32_t(uint64_t(4) * entries + dataBytes + kHeadersBytes);
    fileHeader.bfOffBits = 4 * entries + kHeadersBytes;
    fileHeader.Write(out);
    // The frames' own info header (resolution and compression as held), describing the strip.
    BitmapInfoHeader info = doc.headerList.stream.format.header;
    info.biSize = BitmapInfoHeader::kBytes;  // 40: only this much is written
    info.biHeight = int32_t(stripHeight);    // every frame's rows
    info.biSizeImage = dataBytes;            // pixel bytes as written
    info.biClrUsed = entries;                // the palette, uncompacted
    info.biClrImportant = 0;
    info.Write(out);
    doc.palette.Write(out);
    if (!out.ok() || head.size() != kHeadersBytes + 4 * size_t(entries)) {
        return {};
    }
    return head;
}

// Writes the headers and the frames, frame 0 (the top of the picture) last, to a temporary file
// that replaces the target once complete; empty on success, else the reason.
std::string WriteStripFile(const CAnimationDocument& doc, CancelWatch& watch,
                           const std::filesystem::path& path, const std::vector<uint8_t>& head,
                           double bytesPerStep) {
    ProgressSink* sink = watch.Sink();
    OutputFile file;
    if (!file.Open(path) || !file.Write(head.data(), head.size())) {
        return WriteFailure(path, file);
    }
    bool goOn = Report(sink, 1, kProgressStep);
    for (int32_t k = doc.FrameCount() - 1; goOn && k >= 0; --k) {
        if (doc.Frame(k).WriteFrameData(sink, bytesPerStep, file, false) == 0) {
            return WriteFailure(path, file);
        }
        goOn = sink == nullptr || Report(sink, 0, kProgressStep);
    }
    goOn = goOn && (sink == nullptr || Report(sink, 0, kProgressStep));
    // A Cancel inside a frame ended that frame early: such a file is never put in place, even
    // when the progress window answered go on again afterwards.
    if (!goOn || watch.Cancelled()) {
        return "cancelled";
    }
    if (!file.Commit()) {
        return WriteFailure(path, file);
    }
    return {};
}

// Writes the frames, or the codes standing in their place when coded, as the strip; empty on
// success, else the reason.
std::string WriteStrip(CAnimationDocument& doc, CancelWatch& watch,
                       const std::filesystem::path& path, int64_t stripHeight, uint32_t plainTotal,
                       bool compress, bool coded) {
    uint32_t dataBytes = plainTotal;
    if (coded) {
        if (doc.RebuildHeaders(0, 0, 0, 0, 0) == 0) {
            return "out of memory";
        }
        dataBytes = doc.headerList.main.suggestedBufferSize;
    }
    const std::vector<uint8_t> head = StripHeaders(doc, stripHeight, dataBytes);
    if (head.empty()) {
        return "out of memory";
    }
    if (!Report(watch.Sink(), compress ? 0 : (plainTotal + 310) / 256, kPhaseWriting)) {
        return "cancelled";
    }
    // Progress units per byte written.
    const double perPlainByte = plainTotal != 0 ? 256.0 / plainTotal : 256.0;
    const double bytesPerStep = std::max(1.0, dataBytes * perPlainByte);
    return WriteStripFile(doc, watch, path, head, bytesPerStep);
}

}  // namespace

int CAnimationDocument::SaveBitmap(ProgressSink* progress, const std::filesystem::path& path,
                                   bool compress) {
    CancelWatch watch(progress);
    ProgressSink* sink = watch.Sink();
    if (std::string fault = CheckMovieToSave(false); !fault.empty()) {
        return Fail(std::move(fault));
    }
    BitmapInfoHeader& format = headerList.stream.format.header;
    const int32_t n = frameCount;
    // The picture is every frame's rows in turn.
    const int64_t stripHeight = int64_t(format.biHeight) * n;
    if (stripHeight > INT32_MAX) {
        return Fail("the frames stacked would be taller than a bitmap can be");
    }
    if (palette.count < 0 || palette.count > 256) {
        return Fail("the palette has " + std::to_string(palette.count) + " entries");
    }
    const uint32_t plainTotal = headerList.main.suggestedBufferSize;
    const uint32_t rows = uint32_t(stripHeight);

    std::vector<FrameChunk> codes;
    if (compress) {
        // Without a palette CompactPalette only clears the remap table and cannot fail: a bitmap
        // keeps every palette entry (its biClrUsed says so), so the encoder must not renumber
        // the pixels as the AVI writer does after dropping unused entries.
        movieList.CompactPalette(sink, nullptr, n);
        if (!Report(sink, (plainTotal + 310) / 256 + kEncodeUnitsPerRow * rows, kPhaseEncoding)) {
            return Fail("cancelled");
        }
        if (movieList.EncodeFramesForBitmap(sink, format, n, codes) == 0) {
            return Fail(watch.Cancelled() ? "cancelled" : "out of memory while compressing");
        }
    }
    CodedFramesInPlace inPlace(*this, codes);
    std::string reason =
        WriteStrip(*this, watch, path, stripHeight, plainTotal, compress, !codes.empty());
    if (!inPlace.PutBack() && reason.empty()) {
        reason = "out of memory";
    }
    return reason.empty() ? 1 : Fail(std::move(reason));
}

}  // namespace kx
