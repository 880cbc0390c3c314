// Reading an AVI movie of palette frames into the document.
//
// The RIFF tree is walked by one chunk loop at every level (the file, the header list, a stream
// list, the frame list): with R the bytes left in the enclosing list, read an 8-byte chunk
// header (fourcc, u32 size), stop when it cannot be read or when R < size + 8, hand the chunk to
// the level's handler, and go on while R >= 8. R is kept as the distance from the file position
// to the end of the list, so a member that was only partly read (a stream list whose walk
// stopped early) never throws the parent walk out of step. Unknown chunks are skipped with their
// pad byte; a "LIST" inside "strl" or "movi" (a "rec " list, for instance) is entered: only its
// type is stepped over and its members belong to the walk.
//
// Frame chunks ("00dc", "00db", "01dc": '0' first, 'd' third) fill N + I slots, N the total
// frames of "avih" and I the initial frames of "strh": chunk k goes to slot (N + k) mod (N + I),
// so the I chunks that precede frame 0 land after the movie's own frames. The index fills the
// same slots by the same rule. An empty frame chunk repeats the frame before it.
//
// Palette-change chunks ("00pc": first entry, entry count with 0 for 256, flags, then red, green,
// blue and flags per entry) change the palette from the next frame chunk on. The document keeps
// one palette, so the colours that the frames use under all the palettes are merged into one
// (at most 256 entries) and the frames renumbered to it.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
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

constexpr uint32_t kChunkHeaderBytes = 8;
// What follows the chunk header of a list and of the two header chunks, as the records have it.
constexpr uint32_t kListTypeBytes = ListHeader::kBytes - kChunkHeaderBytes;
constexpr uint32_t kAvihBodyBytes = MainHeader::kBytes - kChunkHeaderBytes;
constexpr uint32_t kStrhBodyBytes = StreamHeader::kBytes - kChunkHeaderBytes;
constexpr uint32_t kStrhTypeBytes = 4;
constexpr uint32_t kMaxPaletteEntries = 256;
// Reading reports one progress unit per 128 bytes.
constexpr uint64_t kBytesPerUnit = 128;
// A frame chunk is at least its header (an empty one repeats the frame before it): the least room
// a promised frame takes in the file.
constexpr uint64_t kLeastFrameChunkBytes = kChunkHeaderBytes;
// A palette change: first entry, entry count and flags, then four bytes per entry.
constexpr uint32_t kPaletteChangeHeadBytes = 4;
// Index entries are read in batches of this many.
constexpr size_t kIndexBatchEntries = 640;

uint64_t Rounded(uint32_t size) {
    return uint64_t(size) + (size & 1u);
}

struct ChunkHeader {
    uint32_t id = 0;
    uint32_t size = 0;
    uint64_t start = 0;  // file position of the header

    uint64_t End() const { return start + kChunkHeaderBytes + size; }
    // Where the chunk ends with its pad byte.
    uint64_t PaddedEnd() const { return start + kChunkHeaderBytes + Rounded(size); }
};

bool IsFrameId(uint32_t id) {
    return (id & 0xFF) == '0' && ((id >> 16) & 0xFF) == 'd';
}

bool IsPaletteChangeId(uint32_t id) {
    return (id & 0xFF) == '0' && (id >> 16) == ('p' | 'c' << 8);
}

// The entries a palette-change chunk sets, before frame chunk `before` (counted in file order).
struct PaletteChange {
    uint64_t before = 0;
    uint32_t first = 0;
    uint32_t count = 0;
    size_t at = 0;  // of its entries in the walker's pool
};

uint32_t Units(uint64_t bytes) {
    return static_cast<uint32_t>(bytes / kBytesPerUnit);
}

class AviWalker {
public:
    AviWalker(CAnimationDocument& doc, InputFile& file, CancelWatch& watch)
        : doc_(doc), file_(file), watch_(watch) {}

    // Walks the top level; false on a failure that ends the load whatever was recognised.
    bool WalkTop();

    int Parts() const { return parts_; }
    const std::string& Problem() const { return problem_; }
    const std::vector<PaletteChange>& Changes() const { return changes_; }
    const std::vector<RgbQuad>& ChangedEntries() const { return changedEntries_; }

private:
    // Reads a chunk header and notes where it starts. With maybePad it may follow an odd-sized
    // chunk written with or without its pad byte.
    bool ReadHeaderAfter(bool maybePad, uint64_t end, ChunkHeader& header);
    bool ReadU32(uint32_t& value);
    // Moves forward to an absolute file position (no-op when already there or past it).
    bool SkipTo(uint64_t position);
    uint64_t Left(uint64_t end) const {
        return end > file_.Position() ? end - file_.Position() : 0;
    }
    // Records why a walk stopped, for the failure reason of the load.
    bool Stop(std::string reason) {
        problem_ = std::move(reason);
        return false;
    }
    // Cancel always ends the load.
    bool Step(uint64_t units) {
        if (!Report(watch_.Sink(), static_cast<uint32_t>(units), kProgressStep)) {
            return Stop("cancelled");
        }
        return true;
    }

    // How a walk goes on after a chunk: past it with its pad byte (as far as the list's end);
    // from where its handler left the file (inside a list whose members belong to the walk, or
    // after a chunk the handler read or stepped over itself); from there with a pad byte that may
    // come first (after a chunk written without one); ending with what was read; or failing.
    enum class Walk { On, Here, HereMaybePad, End, Fail };
    // Where a walk runs: only the file's top level says why a chunk header that is cut short or
    // larger than the rest ends it; a list's walk just ends there and its parent goes on.
    enum class Level { File, List };
    // The one chunk loop: hands every chunk that fits before end to handle, which says how the
    // walk goes on. False when the handler failed.
    template <class Handle>
    bool WalkChunks(Level level, uint64_t end, Handle handle);
    // The members of a list whose type was just read.
    template <class Handle>
    bool WalkList(uint32_t listSize, Handle handle) {
        return WalkChunks(Level::List, file_.Position() + (listSize - kListTypeBytes), handle);
    }
    // Steps over a list's type: its members belong to the walk.
    Walk EnterList() {
        uint32_t type = 0;
        return ReadU32(type) ? Walk::Here : Walk::End;
    }
    // Steps over a chunk the walk does not read, with a reason at the top level when the file
    // ends inside it.
    Walk PassOver(const ChunkHeader& chunk, Level level);

    Walk TopChunk(const ChunkHeader& chunk);
    Walk TopHeaderList(const ChunkHeader& chunk, uint32_t type);
    Walk TopMovieList(const ChunkHeader& chunk, uint32_t type);
    Walk TopIndex(const ChunkHeader& chunk);
    bool WalkHeaderList(uint32_t listSize);
    Walk HeaderChunk(const ChunkHeader& chunk, int& counted);
    bool WalkStreamList(uint32_t listSize);
    Walk ReadStreamHeader(const ChunkHeader& chunk);
    bool ReadStreamFormat(uint32_t size);
    bool WalkMovieList(uint32_t listSize);
    Walk MovieChunk(const ChunkHeader& chunk);
    // Reads a frame chunk's data into the next slot.
    bool ReadFrameChunk(uint32_t size);
    bool ReadPaletteChange(uint32_t size);
    bool ReadIndex(uint32_t size);
    bool AfterHeader();
    bool AllocateSlots();
    uint32_t NextSlot() {
        const uint64_t slots = uint64_t(n_) + i_;
        return static_cast<uint32_t>((uint64_t(n_) + placed_++) % slots);
    }

    CAnimationDocument& doc_;
    InputFile& file_;
    CancelWatch& watch_;
    int parts_ = 0;
    bool headerDone_ = false;
    bool slotsAllocated_ = false;
    uint32_t n_ = 0;
    uint32_t i_ = 0;
    uint64_t placed_ = 0;
    std::string problem_;
    std::vector<PaletteChange> changes_;
    std::vector<RgbQuad> changedEntries_;
};

bool AviWalker::ReadU32(uint32_t& value) {
    std::array<uint8_t, 4> bytes{};
    if (!file_.ReadExact(bytes.data(), bytes.size())) {
        return false;
    }
    ByteReader in(bytes.data(), bytes.size());
    value = in.u32le();
    return in.ok();
}

bool AviWalker::SkipTo(uint64_t position) {
    return position <= file_.Position() || file_.Skip(position - file_.Position());
}

bool AviWalker::ReadHeaderAfter(bool maybePad, uint64_t end, ChunkHeader& header) {
    std::array<uint8_t, kChunkHeaderBytes + 1> bytes{};
    if (!file_.ReadExact(bytes.data(), kChunkHeaderBytes)) {
        return false;
    }
    // Frame chunks and the frame list are written without a pad byte after an odd size, but
    // writers that follow the RIFF rule add one. A chunk id never starts with a zero byte, so a
    // zero there can only be such a pad.
    size_t at = 0;
    if (maybePad && bytes[0] == 0 && Left(end) >= 1) {
        if (!file_.ReadExact(bytes.data() + kChunkHeaderBytes, 1)) {
            return false;
        }
        at = 1;
    }
    ByteReader in(bytes.data() + at, kChunkHeaderBytes);
    header.id = in.u32le();
    header.size = in.u32le();
    header.start = file_.Position() - kChunkHeaderBytes;
    return in.ok();
}

template <class Handle>
bool AviWalker::WalkChunks(Level level, uint64_t end, Handle handle) {
    const bool sayWhy = level == Level::File;
    bool maybePad = false;
    while (Left(end) >= kChunkHeaderBytes) {
        ChunkHeader chunk;
        if (!ReadHeaderAfter(maybePad, end, chunk)) {
            if (sayWhy) {
                Stop("the file ends inside a chunk header");
            }
            break;
        }
        if (Left(end) < uint64_t(chunk.size)) {
            if (sayWhy) {
                Stop("chunk \"" + FourCCText(chunk.id) + "\" is larger than the file says");
            }
            break;
        }
        const Walk next = handle(chunk);
        if (next == Walk::Fail) {
            return false;
        }
        if (next == Walk::End) {
            break;
        }
        maybePad = next == Walk::HereMaybePad && (chunk.size & 1u) != 0;
        if (next == Walk::On && !SkipTo(std::min(chunk.PaddedEnd(), end))) {
            break;
        }
    }
    return true;
}

AviWalker::Walk AviWalker::PassOver(const ChunkHeader& chunk, Level level) {
    if (!SkipTo(chunk.PaddedEnd())) {
        if (level == Level::File) {
            Stop("the file ends inside chunk \"" + FourCCText(chunk.id) + "\"");
        }
        return Walk::End;
    }
    return Step(Units(Rounded(chunk.size) + kChunkHeaderBytes)) ? Walk::Here : Walk::Fail;
}

bool AviWalker::WalkTop() {
    const RiffHeader& riff = doc_.riff;
    const uint64_t end = file_.Position() + (riff.size >= 4 ? riff.size - 4 : 0);
    return WalkChunks(Level::File, end, [&](const ChunkHeader& chunk) { return TopChunk(chunk); });
}

AviWalker::Walk AviWalker::TopChunk(const ChunkHeader& chunk) {
    uint32_t type = 0;
    const bool isList = chunk.id == fourcc::kList && chunk.size >= kListTypeBytes;
    if (isList && !ReadU32(type)) {
        Stop("the file ends inside a list header");
        return Walk::End;
    }
    if (isList && type == fourcc::kHdrl) {
        return TopHeaderList(chunk, type);
    }
    if (isList && type == fourcc::kMovi) {
        return TopMovieList(chunk, type);
    }
    if (chunk.id == fourcc::kIdx1) {
        return TopIndex(chunk);
    }
    // Any other chunk or list is stepped over whole.
    return PassOver(chunk, Level::File);
}

AviWalker::Walk AviWalker::TopHeaderList(const ChunkHeader& chunk, uint32_t type) {
    // The slots are sized by the first header list's counts; a movie has only one.
    if (headerDone_) {
        Stop("the file holds more than one header list");
        return Walk::Fail;
    }
    doc_.headerList.list = {chunk.id, chunk.size, type};
    if (!WalkHeaderList(chunk.size) || !AfterHeader()) {
        return Walk::Fail;
    }
    ++parts_;
    if (!SkipTo(chunk.PaddedEnd())) {
        Stop("the file ends inside the header list");
        return Walk::End;
    }
    return Step(doc_.headerList.list.size / kBytesPerUnit) ? Walk::Here : Walk::Fail;
}

AviWalker::Walk AviWalker::TopMovieList(const ChunkHeader& chunk, uint32_t type) {
    doc_.movieList.list = {chunk.id, chunk.size, type};
    if (!WalkMovieList(chunk.size)) {
        return Walk::Fail;
    }
    ++parts_;
    // The list is left without counting a pad byte: its own writer adds none.
    if (!SkipTo(chunk.End())) {
        Stop("the file ends inside the frame list");
        return Walk::End;
    }
    return Walk::HereMaybePad;
}

AviWalker::Walk AviWalker::TopIndex(const ChunkHeader& chunk) {
    if (!ReadIndex(chunk.size)) {
        return Walk::Fail;
    }
    ++parts_;
    return Step((uint64_t(chunk.size) + kChunkHeaderBytes) / kBytesPerUnit) ? Walk::Here
                                                                            : Walk::Fail;
}

bool AviWalker::WalkHeaderList(uint32_t listSize) {
    // Notes left by a stream list that was passed over explain the failure only if the header
    // list as a whole fails.
    problem_.clear();
    int counted = 0;
    WalkList(listSize, [&](const ChunkHeader& chunk) { return HeaderChunk(chunk, counted); });
    if (counted != 2) {
        return !problem_.empty()
                   ? false
                   : Stop("the header list does not hold one main header and one video stream");
    }
    problem_.clear();
    return true;
}

AviWalker::Walk AviWalker::HeaderChunk(const ChunkHeader& chunk, int& counted) {
    if (chunk.id == fourcc::kAvih && chunk.size == kAvihBodyBytes) {
        std::array<uint8_t, kAvihBodyBytes> body{};
        if (!file_.ReadExact(body.data(), body.size())) {
            return Walk::End;
        }
        ByteReader in(body.data(), body.size());
        doc_.headerList.main.id = chunk.id;
        doc_.headerList.main.size = chunk.size;
        doc_.headerList.main.ReadBody(in);
        ++counted;
    } else if (chunk.id == fourcc::kAvih) {
        Stop("the main header (\"avih\") has " + std::to_string(chunk.size) +
             " bytes instead of 56");
    } else if (chunk.id == fourcc::kList && chunk.size >= kListTypeBytes) {
        uint32_t type = 0;
        if (!ReadU32(type)) {
            return Walk::End;
        }
        if (type == fourcc::kStrl) {
            doc_.headerList.stream.list = {chunk.id, chunk.size, type};
            counted += WalkStreamList(chunk.size) ? 1 : 0;
        }
    }
    return Walk::On;
}

AviWalker::Walk AviWalker::ReadStreamHeader(const ChunkHeader& chunk) {
    uint32_t type = 0;
    if (!ReadU32(type)) {
        return Walk::End;
    }
    if (type != fourcc::kVids) {
        file_.Skip(kStrhBodyBytes - kStrhTypeBytes);
        Stop("the stream is of type \"" + FourCCText(type) + "\", not a video stream");
        return Walk::Fail;
    }
    std::array<uint8_t, kStrhBodyBytes - kStrhTypeBytes> body{};
    if (!file_.ReadExact(body.data(), body.size())) {
        return Walk::End;
    }
    ByteReader in(body.data(), body.size());
    StreamHeader& header = doc_.headerList.stream.header;
    header.id = chunk.id;
    header.size = chunk.size;
    header.type = type;
    header.ReadAfterType(in);
    return Walk::On;
}

bool AviWalker::WalkStreamList(uint32_t listSize) {
    int counted = 0;
    const bool walked = WalkList(listSize, [&](const ChunkHeader& chunk) {
        if (chunk.id == fourcc::kStrh && chunk.size == kStrhBodyBytes) {
            const Walk next = ReadStreamHeader(chunk);
            counted += next == Walk::On ? 1 : 0;
            return next;
        }
        if (chunk.id == fourcc::kStrf && chunk.size >= BitmapInfoHeader::kBytes) {
            if (!ReadStreamFormat(chunk.size)) {
                return Walk::Fail;
            }
            ++counted;
        } else if (chunk.id == fourcc::kList && chunk.size >= kListTypeBytes) {
            return EnterList();
        }
        return Walk::On;
    });
    return walked && counted == 2;
}

bool AviWalker::ReadStreamFormat(uint32_t size) {
    std::array<uint8_t, BitmapInfoHeader::kBytes> bytes{};
    if (!file_.ReadExact(bytes.data(), bytes.size())) {
        return Stop("the file ends inside the stream format");
    }
    StreamFormat& format = doc_.headerList.stream.format;
    format.size = size;
    ByteReader in(bytes.data(), bytes.size());
    format.header.Read(in);
    const BitmapInfoHeader& info = format.header;
    if (info.biCompression > uint32_t(Compression::Rle4)) {
        return Stop("frames compressed as " + FourCCText(info.biCompression) +
                    " are not supported (only plain, RLE8 and RLE4)");
    }
    if (info.biBitCount != 1 && info.biBitCount != 4 && info.biBitCount != 8) {
        return Stop(std::to_string(info.biBitCount) +
                    "-bit frames are not supported (only 1-, 4- and 8-bit palette frames)");
    }
    // RLE8 codes make bytes and RLE4 codes nibbles: any other pairing decodes into a frame of
    // the wrong size.
    if ((info.biCompression == uint32_t(Compression::Rle8) && info.biBitCount != 8) ||
        (info.biCompression == uint32_t(Compression::Rle4) && info.biBitCount != 4)) {
        return Stop("run-length type " + std::to_string(info.biCompression) + " with " +
                    std::to_string(info.biBitCount) + "-bit frames is not a valid pairing");
    }
    // The palette follows the whole info header, which may be larger than the 40 bytes kept.
    if (info.biSize < BitmapInfoHeader::kBytes || info.biSize > size) {
        return Stop("the stream format's info header claims " + std::to_string(info.biSize) +
                    " bytes, which does not fit");
    }
    const uint32_t extra = info.biSize - BitmapInfoHeader::kBytes;
    if (!file_.Skip(extra)) {
        return Stop("the file ends inside the stream format");
    }
    format.header.biSize = BitmapInfoHeader::kBytes;
    const uint32_t entries = (size - BitmapInfoHeader::kBytes - extra) / 4;
    if (entries > kMaxPaletteEntries) {
        return Stop("the stream format holds " + std::to_string(entries) +
                    " palette entries; at most 256 are allowed");
    }
    std::vector<uint8_t> table(size_t(entries) * 4);
    if (!file_.ReadExact(table.data(), table.size())) {
        return Stop("the file ends inside the palette");
    }
    ByteReader paletteIn(table.data(), table.size());
    return doc_.palette.Read(paletteIn, entries) || Stop("the palette cannot be read");
}

// The header list is known: take the frame count, check the frame geometry once, and announce
// the reading phase with its full range.
bool AviWalker::AfterHeader() {
    headerDone_ = true;
    const MainHeader& main = doc_.headerList.main;
    BitmapInfoHeader& info = doc_.headerList.stream.format.header;
    n_ = main.totalFrames;
    i_ = doc_.headerList.stream.header.initialFrames;
    if (n_ == 0) {
        return Stop("the movie has no frames (total frames 0)");
    }
    if (n_ > uint32_t(INT32_MAX) || i_ >= n_) {
        return Stop("the header gives " + std::to_string(n_) + " frames and " + std::to_string(i_) +
                    " initial frames, which cannot be");
    }
    // Every promised frame needs a chunk in the file; this keeps a damaged count from
    // reserving slots for frames that are not there.
    if ((uint64_t(n_) + i_) * kLeastFrameChunkBytes > file_.Size()) {
        return Stop("the header promises " + std::to_string(uint64_t(n_) + i_) +
                    " frames, more than a file of " + std::to_string(file_.Size()) +
                    " bytes can hold");
    }
    if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN) {
        return Stop("the frame size " + std::to_string(info.biWidth) + " x " +
                    std::to_string(info.biHeight) + " is not a picture");
    }
    const uint32_t height =
        static_cast<uint32_t>(info.biHeight < 0 ? -info.biHeight : info.biHeight);
    // Every slot becomes a plain 8-bit frame, whatever the file holds.
    if (std::string budget =
            CheckMovieBudget(uint64_t(n_) + i_, uint64_t(Stride8(info.biWidth)) * height);
        !budget.empty()) {
        return Stop(std::move(budget));
    }
    doc_.frameCount = static_cast<int32_t>(n_);

    const uint32_t passes =
        n_ * (info.biCompression != 0 ? 1u : 0u) + n_ * (info.biBitCount != 8 ? 1u : 0u);
    const uint32_t range = height * passes + (doc_.riff.size - 36u) / 128u;
    // Only the range changes here; Cancel is heard at the step that follows.
    Report(watch_.Sink(), range, kPhaseReading);
    return true;
}

bool AviWalker::AllocateSlots() {
    if (slotsAllocated_) {
        return true;
    }
    if (!headerDone_) {
        return Stop("frames or index come before the header list");
    }
    const size_t slots = size_t(uint64_t(n_) + i_);
    // The previous movie's frames and index go now, before the new ones are made.
    doc_.movieList.frames.clear();
    doc_.movieList.frames.shrink_to_fit();
    doc_.movieList.index.clear();
    doc_.movieList.index.shrink_to_fit();
    try {
        doc_.movieList.frames.resize(slots);
        doc_.movieList.index.resize(slots);
    } catch (const std::bad_alloc&) {
        return Stop("out of memory for " + std::to_string(slots) + " frames");
    }
    slotsAllocated_ = true;
    placed_ = 0;
    return true;
}

bool AviWalker::WalkMovieList(uint32_t listSize) {
    if (!AllocateSlots()) {
        return false;
    }
    placed_ = 0;
    if (!WalkList(listSize, [&](const ChunkHeader& chunk) { return MovieChunk(chunk); })) {
        return false;
    }
    const uint64_t slots = uint64_t(n_) + i_;
    if (placed_ == 0 || placed_ % slots != 0) {
        return Stop("the frame list holds " + std::to_string(placed_) + " frames where " +
                    std::to_string(slots) + " were announced");
    }
    return true;
}

AviWalker::Walk AviWalker::MovieChunk(const ChunkHeader& chunk) {
    if (IsFrameId(chunk.id)) {
        // Read to its end; a pad byte may follow an odd size or not.
        return ReadFrameChunk(chunk.size) ? Walk::HereMaybePad : Walk::Fail;
    }
    if (IsPaletteChangeId(chunk.id)) {
        if (!ReadPaletteChange(chunk.size)) {
            return Walk::Fail;
        }
        return SkipTo(chunk.PaddedEnd()) ? Walk::Here : Walk::End;
    }
    if (chunk.id == fourcc::kList && chunk.size >= kListTypeBytes) {
        return EnterList();
    }
    return PassOver(chunk, Level::List);
}

bool AviWalker::ReadFrameChunk(uint32_t size) {
    const uint64_t k = placed_;
    FrameChunk& frame = doc_.movieList.frames[NextSlot()];
    if (size > kMaxBufferBytes) {
        return Stop("frame chunk " + std::to_string(k) + " holds " + std::to_string(size) +
                    " bytes, more than the " + std::to_string(kMaxBufferBytes >> 20) +
                    " MB one chunk may hold");
    }
    if (size == 0) {
        // Recorders write an unchanged frame as an empty chunk: filled in after the walk.
        frame.data.clear();
        return true;
    }
    if (size > file_.Remaining()) {
        return Stop("frame chunk " + std::to_string(k) + " runs past the end of the file");
    }
    if (frame.ReadFrameData(watch_.Sink(), size, file_) == 0) {
        return Stop(watch_.Cancelled() ? "cancelled"
                                       : "frame chunk " + std::to_string(k) +
                                             " cannot be read (out of memory or a read error)");
    }
    return true;
}

bool AviWalker::ReadPaletteChange(uint32_t size) {
    const std::string name = "palette change " + std::to_string(changes_.size());
    std::array<uint8_t, kPaletteChangeHeadBytes> head{};
    if (size < head.size() || !file_.ReadExact(head.data(), head.size())) {
        return Stop(name + " is cut short");
    }
    PaletteChange change;
    change.before = placed_;
    change.first = head[0];
    change.count = head[1] == 0 ? kMaxPaletteEntries : head[1];
    if (change.first + change.count > kMaxPaletteEntries || size < head.size() + 4 * change.count) {
        return Stop(name + " sets " + std::to_string(change.count) + " entries from entry " +
                    std::to_string(change.first) + " in " + std::to_string(size) +
                    " bytes, which does not fit a palette of 256");
    }
    // The entries take no more memory than their bytes in the file; a file of nothing but
    // palette changes is still capped like one buffer.
    if ((changedEntries_.size() + change.count) * sizeof(RgbQuad) > kMaxBufferBytes) {
        return Stop("the palette changes hold more than " + std::to_string(kMaxBufferBytes >> 20) +
                    " MB of entries");
    }
    std::array<uint8_t, 4 * kMaxPaletteEntries> bytes{};
    if (!file_.ReadExact(bytes.data(), 4 * size_t(change.count))) {
        return Stop(name + " is cut short");
    }
    try {
        change.at = changedEntries_.size();
        for (uint32_t e = 0; e < change.count; ++e) {
            // Red, green, blue, flags: the order of a palette entry, not of a bitmap's table.
            changedEntries_.push_back(RgbQuad{bytes[4 * e + 2], bytes[4 * e + 1], bytes[4 * e], 0});
        }
        changes_.push_back(change);
    } catch (const std::bad_alloc&) {
        return Stop("out of memory for the palette changes");
    }
    return true;
}

bool AviWalker::ReadIndex(uint32_t size) {
    if (!AllocateSlots()) {
        return false;
    }
    if (uint64_t(size) > file_.Remaining()) {
        return Stop("the index runs past the end of the file");
    }
    placed_ = 0;
    uint64_t entries = size / IndexEntry::kBytes;
    std::vector<uint8_t> batch;
    while (entries > 0) {
        const size_t count = size_t(std::min<uint64_t>(entries, kIndexBatchEntries));
        batch.resize(count * IndexEntry::kBytes);
        if (!file_.ReadExact(batch.data(), batch.size())) {
            return Stop("the file ends inside the index");
        }
        ByteReader in(batch.data(), batch.size());
        for (size_t e = 0; e < count; ++e) {
            const uint32_t id = in.u32le();
            if (!IsFrameId(id)) {
                in.skip(IndexEntry::kBytes - 4);
                continue;
            }
            IndexEntry& entry = doc_.movieList.index[NextSlot()];
            entry.id = fourcc::k00dc;
            entry.flags = in.u32le();
            entry.offset = in.u32le();
            entry.size = in.u32le();
        }
        entries -= count;
    }
    SkipTo(file_.Position() + Rounded(size) - (size - size % IndexEntry::kBytes));
    const uint64_t slots = uint64_t(n_) + i_;
    if (placed_ == 0 || placed_ % slots != 0) {
        return Stop("the index holds " + std::to_string(placed_) + " frame entries where " +
                    std::to_string(slots) + " were announced");
    }
    return true;
}

// Gives the frames of empty chunks their picture: a repeat of the frame before in file order.
// A run-length frame becomes an end of bitmap, which takes every pixel from the frame decoded
// before it (0 for the first); a plain frame becomes a copy of the bytes before (0 for the first).
bool FillRepeatedFrames(std::vector<FrameChunk>& frames, size_t n, bool coded, size_t plainBytes) {
    const size_t slots = frames.size();
    try {
        for (size_t k = 0; k < slots; ++k) {
            FrameBytes& data = frames[(n + k) % slots].data;
            if (!data.empty()) {
                continue;
            }
            if (coded) {
                const uint8_t endOfBitmap[2] = {0, 1};
                data.assign(endOfBitmap, endOfBitmap + 2);
            } else if (k == 0) {
                data.assign(plainBytes, 0);
            } else {
                data = frames[(n + k - 1) % slots].data;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// One palette for frames that were drawn with the palettes the changes made: the colours the
// frames use, in the order they are met, and the frames renumbered to it. Returns the reason
// when they need more than 256 entries. Frames are plain, rows of stride bytes.
std::string MergePalettes(std::vector<FrameChunk>& frames, size_t n, uint32_t width,
                          uint32_t height, uint32_t stride, PaletteTable& palette,
                          const std::vector<PaletteChange>& changes,
                          const std::vector<RgbQuad>& entries) {
    const size_t slots = frames.size();
    std::array<RgbQuad, kMaxPaletteEntries> current = palette.entries;
    PaletteTable merged;
    std::array<int, kMaxPaletteEntries> mapped{};
    mapped.fill(-1);
    size_t next = 0;
    for (size_t k = 0; k < slots; ++k) {
        bool changed = false;
        for (; next < changes.size() && changes[next].before <= k; ++next) {
            const PaletteChange& c = changes[next];
            std::copy_n(entries.begin() + std::ptrdiff_t(c.at), c.count,
                        current.begin() + std::ptrdiff_t(c.first));
            changed = true;
        }
        if (changed) {
            mapped.fill(-1);
        }
        const size_t slot = (n + k) % slots;
        if (slot >= n) {
            continue;  // an initial frame, not part of the movie
        }
        FrameBytes& data = frames[slot].data;
        std::array<bool, kMaxPaletteEntries> used{};
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = data.data() + size_t(y) * stride;
            for (uint32_t x = 0; x < width; ++x) {
                used[row[x]] = true;
            }
        }
        std::array<uint8_t, kMaxPaletteEntries> to{};
        for (size_t v = 0; v < kMaxPaletteEntries; ++v) {
            if (used[v] && mapped[v] < 0) {
                const RgbQuad& c = current[v];
                int found = 0;
                while (found < merged.count && (merged.entries[size_t(found)].red != c.red ||
                                                merged.entries[size_t(found)].green != c.green ||
                                                merged.entries[size_t(found)].blue != c.blue)) {
                    ++found;
                }
                if (found == int(kMaxPaletteEntries)) {
                    return "with its " + std::to_string(changes.size()) +
                           " palette changes the movie uses more than 256 colours, more than "
                           "one palette can hold";
                }
                if (found == merged.count) {
                    merged.entries[size_t(found)] = RgbQuad{c.blue, c.green, c.red, 0};
                    ++merged.count;
                }
                mapped[v] = found;
            }
            to[v] = uint8_t(std::max(mapped[v], 0));
        }
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = data.data() + size_t(y) * stride;
            for (uint32_t x = 0; x < width; ++x) {
                row[x] = to[row[x]];
            }
        }
    }
    palette = merged;
    return {};
}

// Checks that every plain frame holds a whole picture of the stream's depth.
std::string CheckPlainFrames(const MovieList& movie, int32_t n, uint32_t width, uint32_t height,
                             uint64_t sourceStride) {
    const uint64_t needed = sourceStride * height;
    for (int32_t k = 0; k < n; ++k) {
        const uint32_t got = movie.frames[size_t(k)].Size();
        if (got < needed) {
            return "frame " + std::to_string(k) + " holds " + std::to_string(got) +
                   " bytes; a plain frame of " + std::to_string(width) + " x " +
                   std::to_string(height) + " pixels needs " + std::to_string(needed);
        }
    }
    return {};
}

// Turns the frames into plain 8-bit pictures: run-length codes decoded, packed rows unpacked.
std::string MakeFramesPlain8Bit(MovieList& movie, BitmapInfoHeader& format, int32_t n,
                                int32_t initial, CancelWatch& watch) {
    const int sourceBits = format.biBitCount;
    if (format.biCompression != uint32_t(Compression::Rgb)) {
        if (!Report(watch.Sink(), 0, kPhaseDecoding)) {
            return "cancelled";
        }
        std::string why;
        if (movie.DecodeFrames(watch.Sink(), format, n, true, initial, &why) == 0) {
            return watch.Cancelled() ? "cancelled" : "damaged run-length data in " + why;
        }
    }
    if (sourceBits == 8) {
        return {};
    }
    if (!Report(watch.Sink(), 0, kPhaseConverting)) {
        return "cancelled";
    }
    for (int32_t k = 0; k < n; ++k) {
        if (movie.frames[size_t(k)].ExpandTo8Bit(watch.Sink(), format, sourceBits) == 0) {
            return watch.Cancelled()
                       ? "cancelled"
                       : "frame " + std::to_string(k) + " cannot be converted to 8 bits";
        }
    }
    return {};
}

// Every frame must hold exactly one picture: bytes beyond it are dropped, a frame that decoded
// short is refused. Top-down frames are turned bottom-up.
std::string FitFrames(MovieList& movie, int32_t n, uint32_t width, uint32_t height, bool topDown) {
    const uint32_t stride = Stride8(static_cast<int32_t>(width));
    const uint32_t frameBytes = stride * height;
    for (int32_t k = 0; k < n; ++k) {
        FrameBytes& data = movie.frames[size_t(k)].data;
        if (data.size() < frameBytes) {
            return "frame " + std::to_string(k) + " holds " + std::to_string(data.size()) +
                   " bytes after decoding; " + std::to_string(frameBytes) + " are needed";
        }
        if (data.size() > frameBytes) {
            try {
                FrameBytes(std::vector<uint8_t>(data.begin(), data.begin() + frameBytes))
                    .swap(data);
            } catch (const std::bad_alloc&) {
                return "out of memory";
            }
        }
        if (topDown) {
            FlipRows(data, stride);
        }
    }
    return {};
}

// Opens the file, checks its RIFF header and walks its chunks into the document.
std::string WalkFile(CAnimationDocument& doc, InputFile& file, AviWalker& walker,
                     const std::filesystem::path& path, CancelWatch& watch) {
    if (!file.Open(path)) {
        return "cannot open the file: " + DescribeFileError(errno);
    }
    std::array<uint8_t, RiffHeader::kBytes> head{};
    const bool readHead = file.ReadExact(head.data(), head.size());
    ByteReader headIn(head.data(), head.size());
    doc.riff.Read(headIn);
    if (!readHead || doc.riff.id != fourcc::kRiff || doc.riff.form != fourcc::kAvi) {
        doc.riff.id = fourcc::kRiff;
        doc.riff.form = fourcc::kAvi;
        return "not an AVI file (no RIFF \"AVI \" header)";
    }
    if (!Report(watch.Sink(), (doc.riff.size * 2u) / 128u, kPhaseReading)) {
        return "cancelled";
    }
    const bool walked = walker.WalkTop();
    file.Close();
    if (walked && walker.Parts() == 3) {
        return {};
    }
    if (!walker.Problem().empty()) {
        return walker.Problem();
    }
    return walker.Parts() > 3 ? "the file holds more than one header list, frame list or index"
                              : "the file lacks a header list, a frame list or an index";
}

}  // namespace

int CAnimationDocument::LoadAvi(ProgressSink* progress, const std::filesystem::path& path) {
    source = SourceInfo{};
    CancelWatch watch(progress);
    InputFile file;
    AviWalker walker(*this, file, watch);
    if (std::string reason = WalkFile(*this, file, walker, path, watch); !reason.empty()) {
        return FailLoad(std::move(reason));
    }
    BitmapInfoHeader& format = headerList.stream.format.header;
    source.bitCount = format.biBitCount;
    source.compression = format.biCompression;
    source.infoHeaderSize = format.biSize;

    const int32_t n = frameCount;
    const uint32_t width = static_cast<uint32_t>(format.biWidth);
    const bool topDown = format.biHeight < 0;
    const uint32_t height = static_cast<uint32_t>(topDown ? -format.biHeight : format.biHeight);
    if (topDown && format.biCompression != 0) {
        return FailLoad("run-length frames stored top-down (negative height) are not allowed");
    }
    format.biHeight = static_cast<int32_t>(height);

    const uint64_t sourceStride = (uint64_t(width) * format.biBitCount + 31) / 32 * 4;
    if (!FillRepeatedFrames(movieList.frames, size_t(n), format.biCompression != 0,
                            size_t(sourceStride * height))) {
        return FailLoad("out of memory for the repeated frames");
    }
    std::string reason = format.biCompression == 0
                             ? CheckPlainFrames(movieList, n, width, height, sourceStride)
                             : std::string();
    if (reason.empty()) {
        const auto initial = static_cast<int32_t>(headerList.stream.header.initialFrames);
        reason = MakeFramesPlain8Bit(movieList, format, n, initial, watch);
    }
    headerList.stream.header.handler = fourcc::kRgb;
    if (reason.empty()) {
        reason = FitFrames(movieList, n, width, height, topDown);
    }
    if (reason.empty() && !walker.Changes().empty()) {
        reason = MergePalettes(movieList.frames, size_t(n), width, height,
                               Stride8(static_cast<int32_t>(width)), palette, walker.Changes(),
                               walker.ChangedEntries());
    }
    if (!reason.empty()) {
        return FailLoad(std::move(reason));
    }
    return FinishLoad(walker.Changes().empty() ? 0 : palette.count, 0, 0, 0, 0);
}

}  // namespace kx
