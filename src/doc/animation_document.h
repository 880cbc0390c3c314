// The movie in memory: a single-stream AVI header set, the frames as "00dc" chunks, the "idx1"
// index and a few working values for drawing and saving.
//
// Frames are always kept as 8-bit palette indices, one byte per pixel, rows bottom-up and padded
// to a multiple of 4 bytes. Readers convert to that form; writers encode into buffers of their
// own and leave the frames as they are. Every record is serialized explicitly little-endian,
// field by field, so the writers write exactly the bytes described next to each field.
//
// Operations return 1 for success and 0 for failure or Cancel; they never throw. When one fails,
// FailureReason() says why in plain words (for the command line; the UI shows its own messages).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "doc/frame_bytes.h"
#include "doc/progress.h"

namespace kx {

class ByteReader;
class ByteWriter;
struct AnimationOptions;
struct DecodedMovie;

// A fourcc: four ASCII bytes held in a 32-bit field, first character in the low byte.
constexpr uint32_t MakeFourCC(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}
std::string FourCCText(uint32_t fourcc);

namespace fourcc {
constexpr uint32_t kRiff = MakeFourCC("RIFF");
constexpr uint32_t kAvi = MakeFourCC("AVI ");
constexpr uint32_t kList = MakeFourCC("LIST");
constexpr uint32_t kHdrl = MakeFourCC("hdrl");
constexpr uint32_t kAvih = MakeFourCC("avih");
constexpr uint32_t kStrl = MakeFourCC("strl");
constexpr uint32_t kStrh = MakeFourCC("strh");
constexpr uint32_t kStrf = MakeFourCC("strf");
constexpr uint32_t kVids = MakeFourCC("vids");
constexpr uint32_t kMovi = MakeFourCC("movi");
constexpr uint32_t kIdx1 = MakeFourCC("idx1");
constexpr uint32_t k00dc = MakeFourCC("00dc");
constexpr uint32_t kRgb = MakeFourCC("RGB ");
constexpr uint32_t kRle = MakeFourCC("RLE ");
}  // namespace fourcc

// biCompression values met in palette bitmaps.
enum class Compression : uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2 };

// Largest buffer the core allocates for one frame or one file block. Sizes come from untrusted
// files; anything larger is refused as absurd instead of exhausting memory.
constexpr uint64_t kMaxBufferBytes = uint64_t(512) << 20;
// The memory one movie may take: every frame's pixels and what the document keeps for each frame
// beside them. Loading, composing and both writers check it before they begin, so whatever loads
// can be cut, saved and read back.
constexpr uint64_t kMaxMovieBytes = uint64_t(512) << 20;

// RIFF header (12 bytes).
struct RiffHeader {
    uint32_t id = fourcc::kRiff;
    uint32_t size = 224;  // bytes after this field; recomputed by RebuildHeaders
    uint32_t form = fourcc::kAvi;

    static constexpr uint32_t kBytes = 12;
    void Write(ByteWriter& out) const;
    bool Read(ByteReader& in);
};

// "avih" chunk, 64 bytes with its chunk header.
struct MainHeader {
    uint32_t id = fourcc::kAvih;
    uint32_t size = 56;
    uint32_t microSecPerFrame = 100000;  // frame period x 1000
    uint32_t maxBytesPerSec = 0;
    uint32_t paddingGranularity = 0;
    uint32_t flags = 0x00000610;
    uint32_t totalFrames = 0;
    uint32_t initialFrames = 0;
    uint32_t streams = 1;
    uint32_t suggestedBufferSize = 0;  // sum of all frame sizes in bytes
    uint32_t width = 0;
    uint32_t height = 0;  // of one frame
    std::array<uint32_t, 4> reserved{};

    static constexpr uint32_t kBytes = 64;
    void Write(ByteWriter& out) const;
    // Reads the 56 bytes after the chunk header (id and size are not read).
    bool ReadBody(ByteReader& in);
};

// "strh" chunk, 64 bytes with its chunk header.
struct StreamHeader {
    uint32_t id = fourcc::kStrh;
    uint32_t size = 56;
    uint32_t type = fourcc::kVids;
    uint32_t handler = 0;  // "RGB " while frames are plain, "RLE " while encoded for writing
    uint32_t flags = 0;
    uint16_t priority = 0;
    uint16_t language = 0;
    uint32_t initialFrames = 0;
    uint32_t scale = 100;  // frame period in milliseconds
    uint32_t rate = 1000;
    uint32_t start = 0;
    uint32_t length = 1;               // frame count
    uint32_t suggestedBufferSize = 0;  // largest frame in bytes
    uint32_t quality = 8500;
    uint32_t sampleSize = 0;
    std::array<int16_t, 4> frame{};  // left, top, right, bottom

    static constexpr uint32_t kBytes = 64;
    void Write(ByteWriter& out) const;
    // Reads the 52 bytes after the type field (handler to frame rectangle).
    bool ReadAfterType(ByteReader& in);
};

// The 40-byte BITMAPINFOHEADER.
struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;  // bottom-up rows
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 8;
    uint32_t biCompression = 0;  // 0 plain, 1 BI_RLE8 while encoded, 2 BI_RLE4 only while reading
    uint32_t biSizeImage = 0;    // largest frame size in bytes
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;

    static constexpr uint32_t kBytes = 40;
    void Write(ByteWriter& out) const;
    bool Read(ByteReader& in);
};

// "strf" chunk, 48 bytes with its chunk header; the palette follows it in the file.
struct StreamFormat {
    uint32_t id = fourcc::kStrf;
    uint32_t size = 40;  // 40 + 4 x palette entries once a palette is set
    BitmapInfoHeader header;

    static constexpr uint32_t kBytes = 48;
    void Write(ByteWriter& out) const;
};

// The 12 bytes that open a "LIST".
struct ListHeader {
    uint32_t id = fourcc::kList;
    uint32_t size = 4;  // bytes after this field
    uint32_t type = 0;

    static constexpr uint32_t kBytes = 12;
    void Write(ByteWriter& out) const;
};

struct StreamList {
    // size: 116 + 4 x palette entries once a palette is set
    ListHeader list{fourcc::kList, 116, fourcc::kStrl};
    StreamHeader header;
    StreamFormat format;
};

struct HeaderList {
    // size: 192 + 4 x palette entries once a palette is set
    ListHeader list{fourcc::kList, 192, fourcc::kHdrl};
    MainHeader main;
    StreamList stream;
};

struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
};

struct PaletteTable {
    std::array<RgbQuad, 256> entries{};
    int32_t count = 0;  // entries in use, 0 to 256; only these are read and written

    // Writes the first count entries (4 bytes each).
    void Write(ByteWriter& out) const;
    // Reads n entries and makes n the count; n must be at most 256.
    bool Read(ByteReader& in, uint32_t n);
};

// Frame geometry of plain rows: 8-bit rows are the width rounded up to a multiple of 4.
uint32_t Stride8(int32_t width);

class FrameChunk {
public:
    uint32_t id = fourcc::k00dc;
    FrameBytes data;  // empty = no data; the chunk size is data.size()

    uint32_t Size() const { return static_cast<uint32_t>(data.size()); }

    // Reads size bytes from the file in blocks of 10240 with a step of 80 after each block and
    // a step of (remainder / 128) after the last partial block. Fails on size 0, a short read,
    // a size beyond kMaxBufferBytes or Cancel.
    int ReadFrameData(ProgressSink* progress, uint32_t size, class InputFile& file);

    // Writes the data (with the 8-byte chunk header when withHeader) in blocks of 10240 bytes,
    // a step of 10240 / bytesPerStep after each full block and remainder / bytesPerStep after
    // the last partial one. Cancel after a block ends the frame early with success; a short
    // write fails.
    int WriteFrameData(ProgressSink* progress, double bytesPerStep, class OutputFile& file,
                       bool withHeader) const;

    // Run-length decoding of this frame's data (BI_RLE8, or BI_RLE4 when the format says 2),
    // against base (the previous frame's plain pixels, total bytes) or none. On success the
    // data is the plain frame and, when no base was given, format.biCompression becomes 0.
    // On failure the data is left as it was and reason, when given, says what was wrong and at
    // which row ("cancelled" for an honoured Cancel).
    // into, when given and of the plain frame's size, is decoded into in place of a new block.
    // Its bytes must be 0, except that BI_RLE8 against a base writes every byte itself.
    int DecodeRle(ProgressSink* progress, BitmapInfoHeader& format, const uint8_t* base,
                  bool cancelHonoured, std::string* reason = nullptr, FrameBytes* into = nullptr);

    // Encodes pixels (a plain 8-bit frame of the format's size) as BI_RLE8 into this chunk,
    // against base or none, applying the remap table. Frames narrower than 5 pixels are not
    // encoded: the chunk then has size 0 and the result is success. Without a base,
    // format.biCompression becomes 1.
    // scratch, when given, is the working buffer, kept for the next frame a thread codes.
    int EncodeRle8(ProgressSink* progress, BitmapInfoHeader& format, const uint8_t* pixels,
                   const uint8_t* base, const std::array<uint8_t, 256>& remap,
                   std::vector<uint8_t>* scratch = nullptr);

    // Unpacks 1- or 4-bit rows to one byte per pixel (rows padded to 4 bytes). On success
    // format.biBitCount becomes 8 and biSizeImage the new size. sourceBits is the depth the
    // data is in (the stream's depth before expansion began).
    int ExpandTo8Bit(ProgressSink* progress, BitmapInfoHeader& format, int sourceBits);
};

struct IndexEntry {
    uint32_t id = fourcc::k00dc;
    uint32_t flags = 0;
    uint32_t offset = 0;
    uint32_t size = 0;

    static constexpr uint32_t kBytes = 16;
    void Write(ByteWriter& out) const;
    bool Read(ByteReader& in);
};

// The bookkeeping of one frame: its chunk and index records and the heap block of its pixels.
constexpr uint64_t kFrameBookkeepingBytes = sizeof(FrameChunk) + sizeof(IndexEntry) + 32;

// Why a movie of frames frames of frameBytes plain bytes each does not fit kMaxMovieBytes, naming
// the limit; empty when it fits.
std::string CheckMovieBudget(uint64_t frames, uint64_t frameBytes);

// Writes the 8-byte header of a chunk (its id, then its size) to file.
bool WriteChunkHeader(class OutputFile& file, uint32_t id, uint32_t size);

// Takes frame k's codes from the coding of a save; false stops the coding.
using CodedFrameHandOver = std::function<bool(int32_t k, const FrameChunk& codes)>;

class MovieList {
public:
    // size: 4 + sum(8 + frame size)
    ListHeader list{fourcc::kList, 4, fourcc::kMovi};
    std::vector<FrameChunk> frames;
    uint32_t indexId = fourcc::kIdx1;
    uint32_t indexSize = 0;  // 16 x frame count
    std::vector<IndexEntry> index;
    uint32_t largestFrame = 0;
    std::array<uint8_t, 256> remap{};  // compacted index = old index - remap[old index]
    uint8_t transparentIndex = 0;      // palette index of the top-left pixel of frame 0
    uint8_t transparencyUsable = 0;    // 1 when that colour may be swapped for the background
    uint8_t remapped = 0;              // 1 once an AVI save has compacted and remapped the pixels
    // Threads that code the frames for a save or decode those of a load; 0 gives one per core.
    // The results are the same whatever the number.
    int32_t codingThreads = 0;

    // Sizes, offsets and the largest frame from the frames of the first count slots.
    void RecomputeIndex(int32_t count);

    // Cuts the strip (frame 0 of the old array, handed over here) into n frames of frameHeight
    // rows from the top of the picture down; the last frame's missing rows take the transparent
    // index.
    int CutStrip(ProgressSink* progress, FrameChunk& strip, int32_t n, int32_t stripHeight,
                 int32_t frameHeight);

    // Palette compaction: marks used entries, fills the remap table and compacts the palette.
    // With palette == nullptr or the remapped flag set, clears the remap table only.
    int CompactPalette(ProgressSink* progress, PaletteTable* palette, int32_t n);

    // Index of the top-left pixel of frame 0 and whether its colour is usable as transparent.
    void FindTransparentIndex(const PaletteTable& palette, int32_t height);

    // Decodes the frames of n + initialFrames slots, each against the one decoded before it. On
    // failure reason, when given, names the frame and what was wrong with it.
    int DecodeFrames(ProgressSink* progress, BitmapInfoHeader& format, int32_t n,
                     bool cancelHonoured, int32_t initialFrames, std::string* reason = nullptr);

    // Codes the frames of the first n slots for a save into codes, one chunk a frame, and leaves
    // the frames as they are: for an AVI each frame against the one before it, renumbered by the
    // remap table, with one more end of line where the codes would have the plain frame's size;
    // for a bitmap each frame alone, every frame after frame 0 ending with an end of line. codes
    // stays empty where the frames are to be written plain: narrower than 5 pixels, too large
    // for the encoder, or coded longer than plain. 0 on a failure or Cancel.
    // handOver, when given, is called on the calling thread with each frame's codes in frame
    // order as soon as they are ready (a writer may write them while later frames are coded);
    // false from it stops the coding as a failure. codes can still end up empty afterwards.
    int EncodeFramesForAvi(ProgressSink* progress, const BitmapInfoHeader& format, int32_t n,
                           std::vector<FrameChunk>& codes,
                           const CodedFrameHandOver& handOver = {}) const;
    int EncodeFramesForBitmap(ProgressSink* progress, const BitmapInfoHeader& format, int32_t n,
                              std::vector<FrameChunk>& codes) const;
    // Renumbers the plain frames of the first n slots by the remap table, once: after an AVI
    // save compacted the palette, the frames follow it.
    void RemapFrames(int32_t n);
};

// What a load found in the file, before conversion (for the command line's info).
struct SourceInfo {
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t infoHeaderSize = 0;
    bool delaysDiffer = false;  // an animation whose frames had other delays than its speed
};

class CAnimationDocument {
public:
    CAnimationDocument() = default;
    CAnimationDocument(const CAnimationDocument&) = delete;
    CAnimationDocument& operator=(const CAnimationDocument&) = delete;

    // Media operations; each returns 1 for success, 0 for failure or Cancel.
    int LoadBitmapStrip(ProgressSink* progress, const std::filesystem::path& path,
                        int32_t framePeriodMs);
    int ComposeFromStrip(ProgressSink* progress, int32_t frameHeight);
    int LoadAvi(ProgressSink* progress, const std::filesystem::path& path);
    void SetSpeed(int32_t framePeriodMs);
    int SaveAvi(ProgressSink* progress, const std::filesystem::path& path);
    int SaveBitmap(ProgressSink* progress, const std::filesystem::path& path, bool compress);
    // An animated GIF, or a single-image one as a strip of one frame (gif_reader.cpp).
    int LoadGif(ProgressSink* progress, const std::filesystem::path& path, int32_t stripPeriodMs);
    // Makes a decoded movie the document's (its frames are taken); 0, with the reason, only when
    // out of memory.
    int TakeMovie(DecodedMovie& movie, int32_t periodMs);
    // An animated GIF of the frames (gif_writer.cpp).
    int SaveGif(ProgressSink* progress, const std::filesystem::path& path,
                const AnimationOptions& options);
    // An animated PNG of the frames at the movie's speed; the movie in memory is not changed.
    int SaveApng(ProgressSink* progress, const std::filesystem::path& path,
                 const AnimationOptions& options);
    // A PNG still image as a strip (like LoadBitmapStrip), or an animated PNG as a movie.
    int LoadPng(ProgressSink* progress, const std::filesystem::path& path, int32_t framePeriodMs);
    void ReleaseFrames();
    // Each argument 0 leaves that value unchanged. Returns 0 only when DisplayInfo cannot be
    // allocated.
    int RebuildHeaders(int32_t paletteEntries, int32_t frameCount, int32_t frameHeight,
                       int32_t width, int32_t framePeriodMs);

    // Read access for drawing and the command line.
    int32_t FrameCount() const { return frameCount; }
    int32_t FrameWidth() const { return headerList.stream.format.header.biWidth; }
    int32_t FrameHeight() const { return headerList.stream.format.header.biHeight; }
    const FrameChunk& Frame(int32_t i) const { return movieList.frames[size_t(i)]; }
    const PaletteTable& Palette() const { return palette; }
    // 40-byte BITMAPINFOHEADER (height clamped to 4096 rows) followed by one u16 per palette
    // entry holding 0, 1, 2, ...: drawn with palette-index colours. Empty when none.
    const std::vector<uint8_t>& DisplayInfo() const { return displayInfo; }
    uint32_t MicroSecPerFrame() const { return headerList.main.microSecPerFrame; }
    uint8_t TransparentIndex() const { return movieList.transparentIndex; }
    bool TransparencyUsable() const { return movieList.transparencyUsable != 0; }
    const SourceInfo& Source() const { return source; }
    const std::string& FailureReason() const { return failureReason; }

    // The records, in file order.
    RiffHeader riff;
    HeaderList headerList;
    PaletteTable palette;
    MovieList movieList;
    int32_t frameCount = 0;

private:
    int Fail(std::string reason);
    // The parts of RebuildHeaders: each argument 0 leaves that value unchanged.
    void UpdateMainHeader(uint32_t dataBytes, int32_t frameCountArg, int32_t frameHeight,
                          int32_t width, int32_t framePeriodMs);
    void UpdateStreamHeader(uint32_t largest, int32_t frameCountArg, int32_t framePeriodMs);
    int RebuildDisplayInfo();
    // The steps every reader shares. StartLoad empties the movie and makes count empty frame
    // slots; FailLoad leaves no frames behind, so nothing can read a frame count the frames do
    // not match; FinishLoad rebuilds the headers (arguments as RebuildHeaders takes them) and
    // finds the transparent colour of the fresh movie.
    bool StartLoad(int32_t count);
    int FailLoad(std::string reason);
    int FinishLoad(int32_t paletteEntries, int32_t count, int32_t frameHeight, int32_t width,
                   int32_t framePeriodMs);
    // Why the movie cannot be written: no frames (or, withIndex, no index records for them),
    // frames that are not plain 8-bit, the movie budget or a frame of another size; empty when
    // it can.
    std::string CheckMovieToSave(bool withIndex) const;

    std::vector<uint8_t> displayInfo;
    SourceInfo source;
    std::string failureReason;
};

}  // namespace kx
