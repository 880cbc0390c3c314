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

// Reads the file and info headers and judges them.
std::string ReadHeaders(InputFile& file, BitmapFileHeader& fileHeader, BitmapInfoHeader& info) {
    uint8_t headerBytes[BitmapFileHeader::kBytes + BitmapInfoHeader::kBytes];
    if (!file.ReadExact(headerBytes, sizeof headerBytes)) {
        return file.Size() >= 2 && headerBytes[0] == 'B' && headerBytes[1] == 'M'
                   ? "the bitmap headers end early"
                   : "not a BMP file";
    }
    ByteReader in(headerBytes, sizeof headerBytes);
    fileHeader.Read(in);
    info.Read(in);
    if (fileHeader.bfType != BitmapFileHeader::kType) {
        return "not a BMP file";
    }
    if (info.biSize < BitmapInfoHeader::kBytes) {
        return "info header of " + std::to_string(info.biSize) +
               " bytes is shorter than 40 (old OS/2 bitmaps are not supported)";
    }
    return CheckInfoHeader(info);
}

// Reads the palette, which lies between the real info header and the pixel data, and moves to
// the pixel data.
std::string ReadPalette(InputFile& file, const BitmapFileHeader& fileHeader,
                        const BitmapInfoHeader& info, PaletteTable& palette) {
    const uint64_t paletteStart = uint64_t(BitmapFileHeader::kBytes) + info.biSize;
    if (fileHeader.bfOffBits < paletteStart) {
        return "pixel data offset " + std::to_string(fileHeader.bfOffBits) +
               " lies inside the headers";
    }
    const uint32_t entries = (fileHeader.bfOffBits - info.biSize - BitmapFileHeader::kBytes) / 4;
    if (entries > 256) {
        return "palette of " + std::to_string(entries) + " entries";
    }
    if (entries == 0) {
        return "the bitmap has no palette";
    }
    if (!file.Skip(info.biSize - BitmapInfoHeader::kBytes)) {
        return "the bitmap headers end early";
    }
    std::vector<uint8_t> paletteBytes(size_t(entries) * 4);
    ByteReader paletteIn(paletteBytes.data(), paletteBytes.size());
    if (!file.ReadExact(paletteBytes.data(), paletteBytes.size()) ||
        !palette.Read(paletteIn, entries)) {
        return "the palette ends early";
    }
    if (!file.Skip(fileHeader.bfOffBits - file.Position())) {
        return "pixel data ends early";
    }
    return {};
}

// Sets info.biSizeImage to the bytes of pixel data to read, checked against the file.
std::string MeasurePixelData(const InputFile& file, const BitmapFileHeader& fileHeader,
                             BitmapInfoHeader& info, int32_t height) {
    if (info.biCompression == uint32_t(Compression::Rgb)) {
        // Plain rows are exactly stride x height bytes, whatever biSizeImage claims; a file
        // that holds fewer is refused rather than drawn beyond its data.
        const uint64_t plainBytes = SourceStride(info.biWidth, info.biBitCount) * uint64_t(height);
        if (plainBytes > file.Remaining()) {
            return "pixel data ends early: " + std::to_string(file.Remaining()) + " of " +
                   std::to_string(plainBytes) + " bytes";
        }
        info.biSizeImage = uint32_t(plainBytes);
    } else if (info.biSizeImage == 0) {
        info.biSizeImage = fileHeader.bfSize - fileHeader.bfOffBits;
    }
    if (info.biSizeImage == 0) {
        return "no pixel data";
    }
    if (info.biSizeImage > file.Remaining()) {
        return "pixel data ends early: " + std::to_string(file.Remaining()) + " of " +
               std::to_string(info.biSizeImage) + " bytes";
    }
    return {};
}

// Turns the strip's run-length codes or packed rows into plain 8-bit rows.
std::string MakePlain8Bit(FrameChunk& strip, BitmapInfoHeader& format, uint16_t sourceBits,
                          CancelWatch& watch) {
    ProgressSink* sink = watch.Sink();
    if (format.biCompression != uint32_t(Compression::Rgb)) {
        if (!Report(sink, 0, kPhaseDecoding)) {
            return "cancelled";
        }
        std::string why;
        if (!strip.DecodeRle(sink, format, nullptr, true, &why)) {
            return watch.Cancelled() ? "cancelled" : "damaged run-length data: " + why;
        }
    }
    if (format.biBitCount != 8) {
        if (!Report(sink, 0, kPhaseConverting)) {
            return "cancelled";
        }
        if (!strip.ExpandTo8Bit(sink, format, sourceBits)) {
            return watch.Cancelled() ? "cancelled" : "pixel data ends early";
        }
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
    if (!StartLoad(1)) {
        return FailLoad("out of memory");
    }
    InputFile file;
    if (!file.Open(path)) {
        return FailLoad(errno == ENOENT ? "no such file" : DescribeFileError(errno));
    }
    BitmapFileHeader fileHeader;
    BitmapInfoHeader info;
    if (std::string reason = ReadHeaders(file, fileHeader, info); !reason.empty()) {
        return FailLoad(std::move(reason));
    }
    if (std::string reason = ReadPalette(file, fileHeader, info, palette); !reason.empty()) {
        return FailLoad(std::move(reason));
    }
    const bool topDown = info.biHeight < 0;
    const int32_t height = topDown ? -info.biHeight : info.biHeight;
    if (std::string reason = MeasurePixelData(file, fileHeader, info, height); !reason.empty()) {
        return FailLoad(std::move(reason));
    }

    const uint32_t passes = (info.biCompression != 0 ? 1u : 0u) + (info.biBitCount != 8 ? 1u : 0u);
    if (!Report(sink, uint32_t(height) * passes + info.biSizeImage / kReadBytesPerUnit,
                kPhaseReading)) {
        return FailLoad("cancelled");
    }
    FrameChunk& strip = movieList.frames[0];
    if (!strip.ReadFrameData(sink, info.biSizeImage, file)) {
        return FailLoad(watch.Cancelled() ? "cancelled" : "pixel data ends early");
    }
    file.Close();
    if (topDown) {
        FlipRows(strip.data, size_t(SourceStride(info.biWidth, info.biBitCount)));
    }
    source.bitCount = info.biBitCount;
    source.compression = info.biCompression;
    source.infoHeaderSize = info.biSize;

    BitmapInfoHeader& format = headerList.stream.format.header;
    format = info;
    // The document keeps a plain 40-byte header of bottom-up rows whatever the file had.
    format.biSize = BitmapInfoHeader::kBytes;
    format.biHeight = height;
    if (std::string reason = MakePlain8Bit(strip, format, info.biBitCount, watch);
        !reason.empty()) {
        return FailLoad(std::move(reason));
    }
    headerList.stream.header.handler = fourcc::kRgb;
    return FinishLoad(palette.count, 1, height, format.biWidth, framePeriodMs);
}

}  // namespace kx
