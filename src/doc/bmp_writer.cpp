// Writing the movie back as one bitmap strip: the frames stacked vertically with frame 0 at the
// top, 8-bit plain or run-length compressed (BI_RLE8).
//
// A bitmap's rows run from the bottom, so the last frame is written first. Compressed frames are
// written one after another; every frame but frame 0 ends with an end of line (0 0) instead of
// an end of bitmap, and frame 0, written last, ends the whole picture with 0 1.
//
// The file is written beside the target and put in its place only when everything was written,
// so a failed or cancelled save leaves the old file as it was. Once the frames were encoded they
// are decoded back on every path, so the document stays usable whatever happens.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/bitmap_file.h"
#include "doc/byte_io.h"
#include "doc/cancel_watch.h"
#include "doc/file_io.h"

namespace kx {
namespace {

constexpr uint32_t kHeadersBytes = BitmapFileHeader::kBytes + BitmapInfoHeader::kBytes;
// Compressed frames never take more than plain ones (the writer falls back to plain): a movie
// within the budget always fits the 32-bit sizes of a bitmap file.
static_assert(kHeadersBytes + 4 * 256 + kMaxMovieBytes <= UINT32_MAX,
              "a movie within the budget always fits a bitmap file");

}  // namespace

int CAnimationDocument::SaveBitmap(ProgressSink* progress, const std::filesystem::path& path,
                                   bool compress) {
    CancelWatch watch(progress);
    ProgressSink* sink = watch.Sink();
    BitmapInfoHeader& format = headerList.stream.format.header;
    const int32_t n = frameCount;
    if (n <= 0 || movieList.frames.size() < size_t(n)) {
        return Fail("there are no frames to save");
    }
    // The picture is every frame's rows in turn; a frame of another size would shift the rest.
    const uint64_t frameBytes = uint64_t(Stride8(format.biWidth)) * uint32_t(format.biHeight);
    if (format.biWidth <= 0 || format.biHeight <= 0 || format.biBitCount != 8 ||
        format.biCompression != 0) {
        return Fail("the frames are not plain 8-bit pictures");
    }
    if (std::string fault = CheckFramesToWrite(n, frameBytes); !fault.empty()) {
        return Fail(std::move(fault));
    }
    const int64_t stripHeight = int64_t(format.biHeight) * n;
    if (stripHeight > INT32_MAX) {
        return Fail("the frames stacked would be taller than a bitmap can be");
    }
    if (palette.count < 0 || palette.count > 256) {
        return Fail("the palette has " + std::to_string(palette.count) + " entries");
    }
    const uint32_t entries = static_cast<uint32_t>(palette.count);

    // C: the plain total of frame bytes; S: rows of all frames.
    const uint32_t plainTotal = headerList.main.suggestedBufferSize;
    const uint32_t rows = static_cast<uint32_t>(stripHeight);
    const double perPlainByte = plainTotal != 0 ? 256.0 / plainTotal : 256.0;

    // Puts encoded frames back to plain ones; run on every path once encoding has begun.
    const auto restore = [&]() -> bool {
        if (format.biCompression != uint32_t(Compression::Rle8)) {
            return true;
        }
        if (Report(sink, 0, kPhaseDecoding)) {
            // Decoding back cannot be cancelled: the frames must end plain.
            Report(sink, 0, kProgressDisableCancel);
        }
        if (movieList.DecodeFrames(sink, format, n, false, 0) == 0) {
            return false;
        }
        headerList.stream.header.handler = fourcc::kRgb;
        return RebuildHeaders(0, 0, 0, 0, 0) != 0;
    };
    const auto failAfterEncoding = [&](std::string reason) {
        if (!restore()) {
            reason += "; the frames could not be decoded back";
        }
        return Fail(std::move(reason));
    };

    uint32_t dataBytes = plainTotal;
    if (compress) {
        // Without a palette CompactPalette only clears the remap table and cannot fail: a bitmap
        // keeps every palette entry (its biClrUsed says so), so the encoder must not renumber
        // the pixels as the AVI writer does after dropping unused entries.
        movieList.CompactPalette(sink, nullptr, n);
        if (!Report(sink, (plainTotal + 310) / 256 + 5 * rows, kPhaseEncoding)) {
            return Fail("cancelled");
        }
        if (movieList.EncodeFramesForBitmap(sink, format, n) == 0) {
            // The encoder has put the frames back in plain form, after Cancel and failure alike.
            return Fail(watch.Cancelled() ? "cancelled" : "out of memory while compressing");
        }
        if (format.biCompression == uint32_t(Compression::Rle8)) {
            headerList.stream.header.handler = fourcc::kRle;
        }
        if (RebuildHeaders(0, 0, 0, 0, 0) == 0) {
            return failAfterEncoding("out of memory");
        }
        dataBytes = headerList.main.suggestedBufferSize;
    }

    const uint64_t fileBytes = uint64_t(4) * entries + dataBytes + kHeadersBytes;
    std::vector<uint8_t> head;
    ByteWriter out(head);
    BitmapFileHeader fileHeader;
    fileHeader.bfSize = static_cast<uint32_t>(fileBytes);
    fileHeader.bfOffBits = 4 * entries + kHeadersBytes;
    fileHeader.Write(out);
    // The frames' own info header (resolution and compression as held), describing the strip.
    BitmapInfoHeader info = format;
    info.biSize = BitmapInfoHeader::kBytes;             // 40: only this much is written
    info.biHeight = static_cast<int32_t>(stripHeight);  // every frame's rows
    info.biSizeImage = dataBytes;                       // pixel bytes as written
    info.biClrUsed = entries;                           // the palette, uncompacted
    info.biClrImportant = 0;
    info.Write(out);
    palette.Write(out);
    if (!out.ok() || head.size() != kHeadersBytes + 4 * size_t(entries)) {
        return failAfterEncoding("out of memory");
    }

    // Progress units per byte written.
    double bytesPerStep = dataBytes * perPlainByte;
    if (bytesPerStep < 1) {
        bytesPerStep = 1;
    }
    int result = 1;
    OutputFile file;
    if (compress) {
        result = Report(sink, 0, kPhaseWriting) ? 1 : 0;
    } else if (!Report(sink, (plainTotal + 310) / 256, kPhaseWriting)) {
        return Fail("cancelled");
    }
    if (result == 1) {
        if (!file.Open(path)) {
            return failAfterEncoding("cannot create the file: " + file.Error());
        }
        if (!file.Write(head.data(), head.size())) {
            return failAfterEncoding("cannot write the file: " + file.Error());
        }
        result = Report(sink, 1, kProgressStep) ? 1 : 0;
    }
    // Frame 0 is the top of the picture, so it is written last.
    for (int32_t k = n - 1; result == 1 && k >= 0; --k) {
        if (Frame(k).WriteFrameData(sink, bytesPerStep, file, false) == 0) {
            return failAfterEncoding("cannot write the file: " + file.Error());
        }
        if (sink != nullptr && !Report(sink, 0, kProgressStep)) {
            result = 0;
        }
    }
    if (result == 1 && sink != nullptr && !Report(sink, 0, kProgressStep)) {
        result = 0;
    }
    // A Cancel inside a frame ended that frame early: such a file is never put in place, even
    // when the progress window answered go on again afterwards.
    if (watch.Cancelled()) {
        result = 0;
    }
    if (result == 1 && !file.Commit()) {
        return failAfterEncoding("cannot write the file: " + file.Error());
    }
    file.Discard();

    if (!restore()) {
        return Fail("the frames could not be decoded back");
    }
    return result == 1 ? 1 : Fail("cancelled");
}

}  // namespace kx
