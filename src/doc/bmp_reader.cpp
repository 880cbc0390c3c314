// Reading a palette bitmap whose picture holds the frames of an animation stacked one above the
// other. The whole picture becomes frame 0 as plain 8-bit, bottom-up rows.
//
// Accepted: "BM" files with an info header of 40 bytes or more (the 108- and 124-byte versions
// and the 64-byte OS/2 2.x one share the first 40 bytes), 1, 4 or 8 bits per pixel, plain,
// BI_RLE8 (8-bit) or BI_RLE4 (4-bit) pixels. The palette follows the real info header; its entry
// count is (bfOffBits - biSize - 14) / 4 and the pixel data starts at bfOffBits.
#include <algorithm>
#include <cerrno>
#include <new>
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

// Progress units of the read phase: one per 128 bytes of pixel data.
constexpr uint32_t kReadBytesPerUnit = 128;

// Bytes of one packed row of the file: bits x width rounded up to 32 bits.
uint64_t SourceStride(int32_t width, uint16_t bits) {
    return (uint64_t(uint32_t(width)) * bits + 31) / 32 * 4;
}

// Why a header is refused, or empty when it is acceptable.
std::string CheckInfoHeader(const BitmapInfoHeader& info) {
    const uint16_t bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8) {
        if (bits == 16 || bits == 24 || bits == 32) {
            return std::to_string(bits) + " bits per pixel is not a palette image";
        }
        return "unsupported pixel depth of " + std::to_string(bits) + " bits";
    }
    switch (info.biCompression) {
        case uint32_t(Compression::Rgb):
            break;
        case uint32_t(Compression::Rle8):
            if (bits != 8) {
                return "8-bit run-length data in a " + std::to_string(bits) + "-bit picture";
            }
            break;
        case uint32_t(Compression::Rle4):
            if (bits != 4) {
                return "4-bit run-length data in a " + std::to_string(bits) + "-bit picture";
            }
            break;
        case 3:
            return "compression 3 (bit fields or Huffman) is not supported";
        default:
            return "unsupported compression " + std::to_string(info.biCompression);
    }
    if (info.biWidth <= 0) {
        return "invalid width " + std::to_string(info.biWidth);
    }
    if (info.biHeight == 0) {
        return "invalid height 0";
    }
    if (info.biHeight < 0 && info.biCompression != uint32_t(Compression::Rgb)) {
        return "run-length data in a top-down bitmap";
    }
    // The whole picture is the movie's one frame until it is cut.
    const uint64_t rows =
        info.biHeight < 0 ? uint64_t(-int64_t(info.biHeight)) : uint64_t(info.biHeight);
    const uint64_t stride8 = (uint64_t(uint32_t(info.biWidth)) + 3) / 4 * 4;
    if (std::string budget = CheckMovieBudget(1, stride8 * rows); !budget.empty()) {
        return "picture of " + std::to_string(info.biWidth) + " x " + std::to_string(rows) +
               " pixels: " + budget;
    }
    return {};
}

}  // namespace

int CAnimationDocument::LoadBitmapStrip(ProgressSink* progress, const std::filesystem::path& path,
                                        int32_t framePeriodMs) {
    CancelWatch watch(progress);
    ProgressSink* sink = watch.Sink();
    failureReason.clear();
    source = SourceInfo{};
    // A failed load leaves no strip behind: data stopped half way (run-length codes, packed
    // rows) is not a picture, and cutting it would make frames shorter than one.
    const auto failed = [this](std::string reason) {
        frameCount = 0;
        ReleaseFrames();
        return Fail(std::move(reason));
    };

    frameCount = 1;
    movieList.frames.clear();
    movieList.index.clear();
    displayInfo.clear();
    try {
        movieList.frames.resize(1);
        movieList.index.resize(1);
    } catch (const std::bad_alloc&) {
        return failed("out of memory");
    }

    InputFile file;
    if (!file.Open(path)) {
        return failed(errno == ENOENT ? "no such file" : DescribeFileError(errno));
    }

    uint8_t headerBytes[BitmapFileHeader::kBytes + BitmapInfoHeader::kBytes];
    if (!file.ReadExact(headerBytes, sizeof headerBytes)) {
        return failed(file.Size() >= 2 && headerBytes[0] == 'B' && headerBytes[1] == 'M'
                          ? "the bitmap headers end early"
                          : "not a BMP file");
    }
    ByteReader in(headerBytes, sizeof headerBytes);
    BitmapFileHeader fileHeader;
    BitmapInfoHeader info;
    fileHeader.Read(in);
    info.Read(in);
    if (fileHeader.bfType != BitmapFileHeader::kType) {
        return failed("not a BMP file");
    }
    if (info.biSize < BitmapInfoHeader::kBytes) {
        return failed("info header of " + std::to_string(info.biSize) +
                      " bytes is shorter than 40 (old OS/2 bitmaps are not supported)");
    }
    if (std::string reason = CheckInfoHeader(info); !reason.empty()) {
        return failed(std::move(reason));
    }

    // The palette lies between the real info header and the pixel data.
    const uint64_t paletteStart = uint64_t(BitmapFileHeader::kBytes) + info.biSize;
    if (fileHeader.bfOffBits < paletteStart) {
        return failed("pixel data offset " + std::to_string(fileHeader.bfOffBits) +
                      " lies inside the headers");
    }
    const uint32_t paletteEntries =
        (fileHeader.bfOffBits - info.biSize - BitmapFileHeader::kBytes) / 4;
    if (paletteEntries > 256) {
        return failed("palette of " + std::to_string(paletteEntries) + " entries");
    }
    if (paletteEntries == 0) {
        return failed("the bitmap has no palette");
    }
    if (!file.Skip(info.biSize - BitmapInfoHeader::kBytes)) {
        return failed("the bitmap headers end early");
    }
    std::vector<uint8_t> paletteBytes(size_t(paletteEntries) * 4);
    if (!file.ReadExact(paletteBytes.data(), paletteBytes.size())) {
        return failed("the palette ends early");
    }
    ByteReader paletteIn(paletteBytes.data(), paletteBytes.size());
    if (!palette.Read(paletteIn, paletteEntries)) {
        return failed("the palette ends early");
    }
    if (!file.Skip(fileHeader.bfOffBits - file.Position())) {
        return failed("pixel data ends early");
    }

    const bool topDown = info.biHeight < 0;
    const int32_t height = topDown ? -info.biHeight : info.biHeight;
    const uint64_t sourceStride = SourceStride(info.biWidth, info.biBitCount);
    if (info.biCompression == uint32_t(Compression::Rgb)) {
        // Plain rows are exactly stride x height bytes, whatever biSizeImage claims; a file
        // that holds fewer is refused rather than drawn beyond its data.
        const uint64_t plainBytes = sourceStride * uint64_t(height);
        if (plainBytes > file.Remaining()) {
            return failed("pixel data ends early: " + std::to_string(file.Remaining()) + " of " +
                          std::to_string(plainBytes) + " bytes");
        }
        info.biSizeImage = uint32_t(plainBytes);
    } else if (info.biSizeImage == 0) {
        info.biSizeImage = fileHeader.bfSize - fileHeader.bfOffBits;
    }
    if (info.biSizeImage == 0) {
        return failed("no pixel data");
    }
    if (info.biSizeImage > file.Remaining()) {
        return failed("pixel data ends early: " + std::to_string(file.Remaining()) + " of " +
                      std::to_string(info.biSizeImage) + " bytes");
    }

    const uint32_t passes = (info.biCompression != 0 ? 1u : 0u) + (info.biBitCount != 8 ? 1u : 0u);
    if (!Report(sink, uint32_t(height) * passes + info.biSizeImage / kReadBytesPerUnit,
                kPhaseReading)) {
        return failed("cancelled");
    }
    FrameChunk& strip = movieList.frames[0];
    if (!strip.ReadFrameData(sink, info.biSizeImage, file)) {
        return failed(watch.Cancelled() ? "cancelled" : "pixel data ends early");
    }
    file.Close();
    if (topDown) {
        FlipRows(strip.data, size_t(sourceStride));
    }

    source.kind = SourceInfo::Kind::Bmp;
    source.bitCount = info.biBitCount;
    source.compression = info.biCompression;
    source.infoHeaderSize = info.biSize;

    BitmapInfoHeader& format = headerList.stream.format.header;
    format = info;
    // The document keeps a plain 40-byte header of bottom-up rows whatever the file had.
    format.biSize = BitmapInfoHeader::kBytes;
    format.biHeight = height;

    if (format.biCompression != uint32_t(Compression::Rgb)) {
        if (!Report(sink, 0, kPhaseDecoding)) {
            return failed("cancelled");
        }
        std::string why;
        if (!strip.DecodeRle(sink, format, nullptr, true, &why)) {
            return failed(watch.Cancelled() ? "cancelled" : "damaged run-length data: " + why);
        }
    }
    headerList.stream.header.handler = fourcc::kRgb;

    if (format.biBitCount != 8) {
        if (!Report(sink, 0, kPhaseConverting)) {
            return failed("cancelled");
        }
        if (!strip.ExpandTo8Bit(sink, format, info.biBitCount)) {
            return failed(watch.Cancelled() ? "cancelled" : "pixel data ends early");
        }
    }

    if (!RebuildHeaders(int32_t(paletteEntries), 1, height, format.biWidth, framePeriodMs)) {
        return failed("out of memory");
    }
    movieList.FindTransparentIndex(palette, height);
    movieList.remapped = 0;
    return 1;
}

}  // namespace kx
