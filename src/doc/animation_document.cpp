#include "doc/animation_document.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

#include "doc/byte_io.h"

namespace kx {

std::string FourCCText(uint32_t fourcc) {
    std::string text;
    for (int shift = 0; shift < 32; shift += 8) {
        const char c = static_cast<char>((fourcc >> shift) & 0xFF);
        // Keep the text printable for the command line and logs.
        text += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return text;
}

std::string CheckMovieBudget(uint64_t frames, uint64_t frameBytes) {
    // In floating point: absurd counts from a damaged header must not wrap round.
    const double bytes = double(frames) * (double(frameBytes) + double(kFrameBookkeepingBytes));
    if (bytes <= double(kMaxMovieBytes)) {
        return {};
    }
    const double megabytes = std::ceil(bytes / double(uint64_t(1) << 20));
    char amount[32];
    std::snprintf(amount, sizeof amount, "%.0f", megabytes);
    return "the movie would take " + std::string(amount) + " MB (" + std::to_string(frames) +
           " frames of " + std::to_string(frameBytes) +
           " bytes and their bookkeeping); a movie may use at most " +
           std::to_string(kMaxMovieBytes >> 20) + " MB";
}

uint32_t Stride8(int32_t width) {
    if (width <= 0) {
        return 0;
    }
    return (static_cast<uint32_t>(width) + 3u) & ~3u;
}

// Each Read fills the fields in file order and returns false when the data ends early; the
// callers judge the values.

void RiffHeader::Write(ByteWriter& out) const {
    out.u32le(id);    // "RIFF"
    out.u32le(size);  // bytes after this field
    out.u32le(form);  // "AVI "
}

void ListHeader::Write(ByteWriter& out) const {
    out.u32le(id);    // "LIST"
    out.u32le(size);  // bytes after this field
    out.u32le(type);  // list type
}

bool RiffHeader::Read(ByteReader& in) {
    id = in.u32le();
    size = in.u32le();
    form = in.u32le();
    return in.ok();
}

void MainHeader::Write(ByteWriter& out) const {
    out.u32le(id);                   // "avih"
    out.u32le(size);                 // 56
    out.u32le(microSecPerFrame);     // dwMicroSecPerFrame
    out.u32le(maxBytesPerSec);       // dwMaxBytesPerSec
    out.u32le(paddingGranularity);   // dwPaddingGranularity
    out.u32le(flags);                // dwFlags
    out.u32le(totalFrames);          // dwTotalFrames
    out.u32le(initialFrames);        // dwInitialFrames
    out.u32le(streams);              // dwStreams
    out.u32le(suggestedBufferSize);  // dwSuggestedBufferSize
    out.u32le(width);                // dwWidth
    out.u32le(height);               // dwHeight
    for (uint32_t r : reserved) {
        out.u32le(r);  // dwReserved[4]
    }
}

bool MainHeader::ReadBody(ByteReader& in) {
    microSecPerFrame = in.u32le();
    maxBytesPerSec = in.u32le();
    paddingGranularity = in.u32le();
    flags = in.u32le();
    totalFrames = in.u32le();
    initialFrames = in.u32le();
    streams = in.u32le();
    suggestedBufferSize = in.u32le();
    width = in.u32le();
    height = in.u32le();
    for (uint32_t& r : reserved) {
        r = in.u32le();
    }
    return in.ok();
}

void StreamHeader::Write(ByteWriter& out) const {
    out.u32le(id);                   // "strh"
    out.u32le(size);                 // 56
    out.u32le(type);                 // fccType "vids"
    out.u32le(handler);              // fccHandler
    out.u32le(flags);                // dwFlags
    out.u16le(priority);             // wPriority
    out.u16le(language);             // wLanguage
    out.u32le(initialFrames);        // dwInitialFrames
    out.u32le(scale);                // dwScale
    out.u32le(rate);                 // dwRate
    out.u32le(start);                // dwStart
    out.u32le(length);               // dwLength
    out.u32le(suggestedBufferSize);  // dwSuggestedBufferSize
    out.u32le(quality);              // dwQuality
    out.u32le(sampleSize);           // dwSampleSize
    for (int16_t edge : frame) {
        out.i16le(edge);  // rcFrame: left, top, right, bottom
    }
}

bool StreamHeader::ReadAfterType(ByteReader& in) {
    handler = in.u32le();
    flags = in.u32le();
    priority = in.u16le();
    language = in.u16le();
    initialFrames = in.u32le();
    scale = in.u32le();
    rate = in.u32le();
    start = in.u32le();
    length = in.u32le();
    suggestedBufferSize = in.u32le();
    quality = in.u32le();
    sampleSize = in.u32le();
    for (int16_t& edge : frame) {
        edge = in.i16le();
    }
    return in.ok();
}

void BitmapInfoHeader::Write(ByteWriter& out) const {
    out.u32le(biSize);           // 40
    out.i32le(biWidth);          // pixels
    out.i32le(biHeight);         // pixels, bottom-up rows
    out.u16le(biPlanes);         // 1
    out.u16le(biBitCount);       // bits per pixel
    out.u32le(biCompression);    // 0 plain, 1 BI_RLE8, 2 BI_RLE4
    out.u32le(biSizeImage);      // bytes of pixel data
    out.i32le(biXPelsPerMeter);  // horizontal resolution
    out.i32le(biYPelsPerMeter);  // vertical resolution
    out.u32le(biClrUsed);        // palette entries
    out.u32le(biClrImportant);   // 0 = all
}

bool BitmapInfoHeader::Read(ByteReader& in) {
    biSize = in.u32le();
    biWidth = in.i32le();
    biHeight = in.i32le();
    biPlanes = in.u16le();
    biBitCount = in.u16le();
    biCompression = in.u32le();
    biSizeImage = in.u32le();
    biXPelsPerMeter = in.i32le();
    biYPelsPerMeter = in.i32le();
    biClrUsed = in.u32le();
    biClrImportant = in.u32le();
    return in.ok();
}

void StreamFormat::Write(ByteWriter& out) const {
    out.u32le(id);    // "strf"
    out.u32le(size);  // 40 + 4 x palette entries
    header.Write(out);
}

void PaletteTable::Write(ByteWriter& out) const {
    const int32_t n = count < 0 ? 0 : (count > 256 ? 256 : count);
    for (int32_t i = 0; i < n; ++i) {
        const RgbQuad& e = entries[size_t(i)];
        out.u8(e.blue);
        out.u8(e.green);
        out.u8(e.red);
        out.u8(e.reserved);
    }
}

bool PaletteTable::Read(ByteReader& in, uint32_t n) {
    if (n > 256 || in.remaining() < size_t(n) * 4) {
        return false;
    }
    std::array<RgbQuad, 256> read{};
    for (uint32_t i = 0; i < n; ++i) {
        read[i].blue = in.u8();
        read[i].green = in.u8();
        read[i].red = in.u8();
        read[i].reserved = in.u8();
    }
    if (!in.ok()) {
        return false;
    }
    entries = read;
    count = static_cast<int32_t>(n);
    return true;
}

void IndexEntry::Write(ByteWriter& out) const {
    out.u32le(id);      // chunk id "00dc"
    out.u32le(flags);   // dwFlags
    out.u32le(offset);  // from the "movi" type field
    out.u32le(size);    // chunk data bytes
}

bool IndexEntry::Read(ByteReader& in) {
    id = in.u32le();
    flags = in.u32le();
    offset = in.u32le();
    size = in.u32le();
    return in.ok();
}

void MovieList::RecomputeIndex(int32_t count) {
    if (count <= 0) {
        return;
    }
    const size_t n = std::min(size_t(count), frames.size());
    if (index.size() < n) {
        try {
            index.resize(n);
        } catch (const std::bad_alloc&) {
            return;
        }
    }
    // The chunk sizes are 32-bit fields of the file; the writers refuse a movie whose sizes do
    // not fit, so plain 32-bit sums are what the file would hold.
    uint32_t sum = 0;
    uint32_t largest = 0;
    uint32_t offset = 4;  // the first chunk follows the "movi" type field
    for (size_t i = 0; i < n; ++i) {
        const uint32_t frameSize = frames[i].Size();
        if (i > 0) {
            offset += frames[i - 1].Size() + 8;
        }
        index[i].offset = offset;
        if (frameSize != 0) {
            index[i].size = frameSize;
        }
        sum += frameSize;
        largest = std::max(largest, frameSize);
    }
    list.size = 4 + sum + 8 * uint32_t(count);
    largestFrame = largest;
    indexSize = 16 * uint32_t(count);
}

void CAnimationDocument::SetSpeed(int32_t framePeriodMs) {
    headerList.stream.header.scale = uint32_t(framePeriodMs);
    headerList.stream.header.rate = 1000;
    headerList.main.microSecPerFrame = uint32_t(framePeriodMs) * 1000u;
}

void CAnimationDocument::ReleaseFrames() {
    // Swapping with empty vectors gives the memory back, which clear() does not promise.
    std::vector<FrameChunk>().swap(movieList.frames);
    std::vector<IndexEntry>().swap(movieList.index);
    std::vector<uint8_t>().swap(displayInfo);
}

int CAnimationDocument::RebuildHeaders(int32_t paletteEntries, int32_t frameCountArg,
                                       int32_t frameHeight, int32_t width, int32_t framePeriodMs) {
    movieList.RecomputeIndex(frameCount);
    const uint32_t dataBytes = movieList.list.size - 8 * uint32_t(frameCount) - 4;
    const uint32_t largest = movieList.largestFrame;

    StreamFormat& format = headerList.stream.format;
    if (paletteEntries != 0) {
        const uint32_t paletteBytes = 4 * uint32_t(paletteEntries);
        headerList.list.size = 192 + paletteBytes;
        headerList.stream.list.size = 116 + paletteBytes;
        format.size = 40 + paletteBytes;
        format.header.biClrUsed = uint32_t(paletteEntries);
        format.header.biClrImportant = 0;
    }

    UpdateMainHeader(dataBytes, frameCountArg, frameHeight, width, framePeriodMs);
    UpdateStreamHeader(largest, frameCountArg, framePeriodMs);
    if (largest != 0) {
        format.header.biSizeImage = largest;
    }
    if (frameHeight != 0) {
        format.header.biHeight = frameHeight;
    }
    riff.size = movieList.indexSize + headerList.list.size + movieList.list.size + 28;
    return RebuildDisplayInfo();
}

int CAnimationDocument::Fail(std::string reason) {
    failureReason = std::move(reason);
    return 0;
}

void CAnimationDocument::UpdateMainHeader(uint32_t dataBytes, int32_t frameCountArg,
                                          int32_t frameHeight, int32_t width,
                                          int32_t framePeriodMs) {
    MainHeader& main = headerList.main;
    if (dataBytes != 0) {
        main.suggestedBufferSize = dataBytes;  // the writers take it as the total data size
    }
    if (frameCountArg != 0) {
        main.totalFrames = uint32_t(frameCountArg);
    }
    if (frameHeight != 0) {
        main.height = uint32_t(frameHeight);
    }
    if (width != 0) {
        main.maxBytesPerSec = 0;
        main.paddingGranularity = 0;
        main.flags = 0x00000610;
        main.width = uint32_t(width);
        main.reserved = {};
    }
    if (framePeriodMs != 0) {
        main.microSecPerFrame = uint32_t(framePeriodMs) * 1000u;
    }
    main.initialFrames = 0;
    main.streams = 1;
}

void CAnimationDocument::UpdateStreamHeader(uint32_t largest, int32_t frameCountArg,
                                            int32_t framePeriodMs) {
    StreamHeader& stream = headerList.stream.header;
    if (largest != 0) {
        stream.suggestedBufferSize = largest;
    }
    if (frameCountArg != 0) {
        stream.length = uint32_t(frameCountArg);
    }
    if (framePeriodMs != 0) {
        stream.flags = 0;
        stream.priority = 0;
        stream.language = 0;
        stream.scale = uint32_t(framePeriodMs);
        stream.rate = 1000;
        stream.start = 0;
        stream.quality = 8500;
        stream.sampleSize = 0;
        stream.frame = {};
    }
    stream.initialFrames = 0;
}

int CAnimationDocument::RebuildDisplayInfo() {
    // The drawing copy of the format: only the top 4096 rows of a taller frame are drawn.
    std::vector<uint8_t>().swap(displayInfo);
    BitmapInfoHeader shown = headerList.stream.format.header;
    if (shown.biHeight > 4096) {
        shown.biSizeImage = shown.biSizeImage / uint32_t(shown.biHeight) * 4096u;
        shown.biHeight = 4096;
    }
    const int32_t entries = std::clamp(palette.count, 0, 256);
    // The header announces exactly the index table that follows it: a file's biClrUsed may be 0
    // (all 2^bits colours) or any other number beside the palette it really holds.
    shown.biClrUsed = uint32_t(entries);
    try {
        displayInfo.reserve(BitmapInfoHeader::kBytes + 2 * size_t(entries));
    } catch (const std::bad_alloc&) {
        return Fail("out of memory for the display header");
    }
    ByteWriter out(displayInfo);
    shown.Write(out);
    for (int32_t i = 0; i < entries; ++i) {
        out.u16le(uint16_t(i));  // DIB_PAL_COLORS: entry i draws palette colour i
    }
    return 1;
}

bool CAnimationDocument::StartLoad(int32_t count) {
    frameCount = count;
    movieList.frames.clear();
    movieList.index.clear();
    displayInfo.clear();
    try {
        movieList.frames.resize(size_t(count));
        movieList.index.resize(size_t(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int CAnimationDocument::FailLoad(std::string reason) {
    frameCount = 0;
    ReleaseFrames();
    return Fail(std::move(reason));
}

int CAnimationDocument::FinishLoad(int32_t paletteEntries, int32_t count, int32_t frameHeight,
                                   int32_t width, int32_t framePeriodMs) {
    if (!RebuildHeaders(paletteEntries, count, frameHeight, width, framePeriodMs)) {
        return FailLoad("out of memory");
    }
    movieList.FindTransparentIndex(palette, headerList.stream.format.header.biHeight);
    movieList.remapped = 0;
    return 1;
}

std::string CAnimationDocument::CheckMovieToSave(bool withIndex) const {
    const int32_t n = frameCount;
    if (n <= 0 || movieList.frames.size() < size_t(n) ||
        (withIndex && movieList.index.size() < size_t(n))) {
        return "no movie to save";
    }
    const BitmapInfoHeader& format = headerList.stream.format.header;
    if (format.biWidth <= 0 || format.biHeight <= 0 || format.biBitCount != 8 ||
        format.biCompression != uint32_t(Compression::Rgb)) {
        return "the frames are not plain 8-bit pictures";
    }
    const uint64_t frameBytes = uint64_t(Stride8(format.biWidth)) * uint32_t(format.biHeight);
    if (std::string budget = CheckMovieBudget(uint64_t(n), frameBytes); !budget.empty()) {
        return budget;
    }
    for (int32_t k = 0; k < n; ++k) {
        if (Frame(k).Size() != frameBytes) {
            return "frame " + std::to_string(k) + " holds " + std::to_string(Frame(k).Size()) +
                   " bytes instead of " + std::to_string(frameBytes);
        }
    }
    return {};
}

}  // namespace kx
