// Run-length decoding of frames, BI_RLE8 and BI_RLE4, against the previous frame, and the driver
// that decodes all frames of a movie.
//
// Code grammar (bytes of the data, read two at a time):
//
//   data     := code* end
//   code     := run | absolute | delta | eol
//   run      := n v                 n >= 1: n pixels of value v (BI_RLE4: the two nibbles of v
//                                   alternately, high nibble first)
//   absolute := 00 n p1 ... pk pad  n >= 3: n pixels given one by one; k = n bytes (BI_RLE8) or
//                                   ceil(n / 2) bytes (BI_RLE4), then pad bytes up to a 16-bit
//                                   boundary of the data
//   delta    := 00 02 dx dy         skip dx pixels to the right and dy rows up
//   eol      := 00 00               skip to the start of the next row
//   end      := 00 01               skip to the end of the frame; nothing may follow
//
// Rows are bottom-up in memory and padded to 4 bytes. Skipped pixels (delta, end of line, end of
// bitmap) are taken from the base frame (the previous frame's plain pixels) or are 0 without one;
// pad bytes written by an end of line are 0. Data that ends with an end of line instead of an end
// of bitmap ends there as if it had an end of bitmap.
//
// Positions are linear offsets in the plain frame, counted in pixels of the packed rows: bytes for
// BI_RLE8, nibbles for BI_RLE4. A run that would pass the end of its row's pixel bytes is clipped
// there (other writers encode the padding pixels, or one pixel more); the next end of line then
// starts the next row. A run that starts at the end of the frame, and any delta or end of line
// that would pass it, fails.
//
// Without row padding the end of one row's pixels is the same position as the start of the next
// row, so the decoder also keeps whether the codes reached that position from the left (a run, an
// absolute run or a delta to the right ended the row) or as the start of a row (the frame's start,
// an end of line, a delta straight up from a row start). An end of line always goes to the start
// of the next row: at a row start with no pixels yet it skips that whole row.
//
// A failure says what was wrong and where, rows counted from the bottom of the frame as they are
// stored ("a delta passes the end of the frame at row 7").
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/rle_frame.h"

namespace kx {

bool MakeGeometry(int32_t width, int32_t height, bool packed4, Geometry& g) {
    if (width <= 0 || height <= 0) {
        return false;
    }
    g.rowBytes = packed4 ? (uint64_t(width) + 1) / 2 : uint64_t(width);
    g.stride = (g.rowBytes + 3) / 4 * 4;
    g.pad = g.stride - g.rowBytes;
    g.height = uint64_t(height);
    g.total = g.stride * g.height;
    return g.total <= kMaxBufferBytes;
}

namespace {

// Gives the reason to a caller that asked for it; the result of a failed operation.
int FailWith(std::string* reason, std::string text) {
    if (reason != nullptr) {
        *reason = std::move(text);
    }
    return 0;
}

// The decoder's output: the plain frame being filled, written forwards only.
class PlainWriter {
public:
    PlainWriter(uint8_t* out, const uint8_t* base, bool packed4)
        : out_(out), base_(base), packed4_(packed4) {}

    // Writes one pixel at unit q (the caller checked the bounds).
    void Put(uint64_t q, uint8_t v) {
        if (!packed4_) {
            out_[q] = v;
        } else if (q % 2 == 0) {
            out_[q / 2] = uint8_t((out_[q / 2] & 0x0F) | (v << 4));
        } else {
            out_[q / 2] = uint8_t((out_[q / 2] & 0xF0) | (v & 0x0F));
        }
    }

    // n pixels of value v from unit q, or n pixels given one by one (the caller checked the
    // bounds). BI_RLE4 values alternate between the two nibbles of each byte, high first.
    void Fill(uint64_t q, uint64_t n, uint8_t v) {
        if (!packed4_) {
            std::memset(out_ + q, v, n);
            return;
        }
        for (uint64_t k = 0; k < n; ++k) {
            Put(q + k, k % 2 == 0 ? v >> 4 : v & 0x0F);
        }
    }
    void Copy(uint64_t q, uint64_t n, const uint8_t* pixels) {
        if (!packed4_) {
            std::memcpy(out_ + q, pixels, n);
            return;
        }
        for (uint64_t k = 0; k < n; ++k) {
            const uint8_t p = pixels[k / 2];
            Put(q + k, k % 2 == 0 ? p >> 4 : p & 0x0F);
        }
    }

    // Bytes [from, to) of a row's pad become 0.
    void ClearPad(uint64_t from, uint64_t to) {
        if (from < to) {
            std::memset(out_ + from, 0, to - from);
        }
    }

    // Units [from, to) take the base's pixels; without a base they stay 0.
    void FromBase(uint64_t from, uint64_t to) {
        if (base_ == nullptr || from >= to) {
            return;
        }
        if (!packed4_) {
            std::memcpy(out_ + from, base_ + from, to - from);
            return;
        }
        for (; from < to && from % 2 != 0; ++from) {
            Put(from, base_[from / 2] & 0x0F);
        }
        const uint64_t wholeEnd = to / 2;
        if (from / 2 < wholeEnd) {
            std::memcpy(out_ + from / 2, base_ + from / 2, wholeEnd - from / 2);
            from = wholeEnd * 2;
        }
        if (from < to) {
            Put(from, base_[from / 2] >> 4);
        }
    }

private:
    // The plain frame: cleared, or, against an 8-bit base, written byte by byte here (every
    // pixel comes from the codes or the base, the pads from an end of line or the base).
    uint8_t* out_;
    const uint8_t* base_;
    bool packed4_;
};

// Decodes one frame's codes into a plain frame, one function per code.
class RleDecoder {
public:
    RleDecoder(const Geometry& g, bool packed4, uint8_t* plain, const uint8_t* base,
               ProgressSink* progress, bool cancelHonoured)
        : g_(g),
          unit_(packed4 ? 2 : 1),
          strideUnits_(g.stride * unit_),
          rowUnits_(g.rowBytes * unit_),
          totalUnits_(g.total * unit_),
          packed4_(packed4),
          frame_(plain, base, packed4),
          progress_(progress),
          cancelHonoured_(cancelHonoured) {}

    // Decodes the codes to their end of bitmap; false with Reason() on a fault or an honoured
    // Cancel.
    bool Decode(ByteReader& in) {
        while (in.remaining() > 0) {
            const uint8_t first = in.u8();
            const uint8_t second = in.u8();
            if (!in.ok()) {
                return Fail("the data ends in the middle of a code");
            }
            if (first != 0) {
                if (!Run(first, second)) {
                    return false;
                }
            } else if (second >= 3) {
                if (!Absolute(in, second)) {
                    return false;
                }
            } else if (second == 2) {
                if (!Delta(in)) {
                    return false;
                }
            } else if (second == 0) {
                if (!EndOfLine()) {
                    return false;
                }
                // Data that ends with an end of line ends the bitmap there.
                if (in.remaining() == 0) {
                    return EndOfBitmap();
                }
            } else if (in.remaining() > 0) {
                return Fail("codes follow the end of the bitmap");
            } else {
                return EndOfBitmap();
            }
        }
        return Fail("the data has no end of bitmap");
    }

    const std::string& Reason() const { return reason_; }

private:
    // An encoded run: count pixels of value (BI_RLE4: the two nibbles of value alternately).
    bool Run(uint8_t count, uint8_t value) {
        if (q_ >= totalUnits_) {
            return Fail("a run starts past the end of the frame");
        }
        const uint64_t n = std::min<uint64_t>(count, Room());
        frame_.Fill(q_, n, value);
        Advance(n);
        return true;
    }

    // An absolute run: its bytes are always consumed, even where the pixels are clipped.
    bool Absolute(ByteReader& in, uint8_t count) {
        if (q_ >= totalUnits_) {
            return Fail("an absolute run starts past the end of the frame");
        }
        uint8_t pixels[255];
        const size_t bytes = packed4_ ? (count + 1u) / 2 : count;
        if (!in.bytes(pixels, bytes) || !in.skip(bytes % 2)) {
            return Fail("an absolute run is cut short by the end of the data");
        }
        const uint64_t n = std::min<uint64_t>(count, Room());
        frame_.Copy(q_, n, pixels);
        Advance(n);
        return true;
    }

    // A delta: dx pixels right and dy rows up, the skipped pixels from the base or 0 without one
    // (a picture with holes, or a movie that starts with a delta frame).
    bool Delta(ByteReader& in) {
        const uint8_t dx = in.u8();
        const uint8_t dy = in.u8();
        if (!in.ok()) {
            return Fail("a delta is cut short by the end of the data");
        }
        const uint64_t skip = dx + strideUnits_ * dy;
        if (skip > totalUnits_ - std::min(q_, totalUnits_)) {
            return Fail("a delta passes the end of the frame");
        }
        frame_.FromBase(q_, q_ + skip);
        q_ += skip;
        // Straight up keeps the column: a row start stays a row start, a row end a row end.
        if (dx > 0) {
            rowComplete_ = AtRowEnd();
        }
        const uint64_t skippedRows = skip / strideUnits_;
        rows_ += uint32_t(skippedRows);
        return skippedRows == 0 || Step();
    }

    // An end of line: on to the start of the next row, the rest of this one from the base.
    bool EndOfLine() {
        CompleteHalfByte();
        uint64_t pos = q_ / unit_;
        if (rowComplete_) {
            // The row's pixels are complete: only its pad is left.
            if (pos + g_.pad > g_.total) {
                return Fail("an end of line passes the end of the frame");
            }
            frame_.ClearPad(pos, pos + g_.pad);
        } else {
            const uint64_t rowStart = pos / g_.stride * g_.stride;
            const uint64_t rowEnd = rowStart + g_.rowBytes;
            if (pos < rowEnd) {
                if (rowEnd + g_.pad > g_.total) {
                    return Fail("an end of line passes the end of the frame");
                }
                frame_.FromBase(q_, rowEnd * unit_);
            }
            // Inside the pad (after a delta) the row's pixels are already behind.
            pos = std::max(pos, rowEnd);
            frame_.ClearPad(pos, rowEnd + g_.pad);
            pos = rowEnd;
        }
        q_ = (pos + g_.pad) * unit_;
        rowComplete_ = false;
        ++rows_;
        return Step();
    }

    // The end of bitmap: the rest of the frame is skipped.
    bool EndOfBitmap() {
        CompleteHalfByte();
        const uint64_t pos = q_ / unit_;
        frame_.FromBase(q_, totalUnits_);
        rows_ += uint32_t((g_.total - std::min(pos, g_.total)) / g_.stride);
        if (!Report(progress_, rows_ + 1, kProgressStep) && cancelHonoured_) {
            return Fail("cancelled");
        }
        return true;
    }

    // A half-filled byte is completed first; its other nibble is a skipped pixel (or the padding
    // nibble of an odd width).
    void CompleteHalfByte() {
        if (q_ % unit_ != 0) {
            frame_.FromBase(q_, q_ + 1);
            ++q_;
            rowComplete_ = AtRowEnd();
        }
    }

    // After n pixels written from q.
    void Advance(uint64_t n) {
        if (n > 0) {
            q_ += n;
            rowComplete_ = AtRowEnd();
        }
    }

    // Pixels that can still be written in the row of q: a run is clipped at the row's end.
    uint64_t Room() const {
        const uint64_t x = q_ % strideUnits_;
        return x < rowUnits_ ? rowUnits_ - x : 0;
    }
    // Whether q is the end of a row's pixels when reached from the left.
    bool AtRowEnd() const { return q_ % strideUnits_ == rowUnits_ % strideUnits_; }

    // Reports the rows passed once there are enough of them; false on an honoured Cancel.
    bool Step() {
        if (rows_ < kRowsPerStep) {
            return true;
        }
        const bool goOn = Report(progress_, rows_, kProgressStep);
        rows_ = 0;
        return goOn || !cancelHonoured_ || Fail("cancelled");
    }

    bool Fail(const char* what) {
        reason_ = what;
        if (reason_ != "cancelled") {
            reason_ += " at row " + std::to_string(q_ / strideUnits_);
        }
        return false;
    }

    const Geometry& g_;
    const uint64_t unit_;  // a position counts bytes of BI_RLE8 data, nibbles of BI_RLE4 data
    const uint64_t strideUnits_;
    const uint64_t rowUnits_;
    const uint64_t totalUnits_;
    const bool packed4_;
    PlainWriter frame_;
    ProgressSink* progress_;
    const bool cancelHonoured_;
    uint64_t q_ = 0;
    // The row of q has all its pixels: q is just past them. With pad this is the same as q being
    // at the row's pixel end; without pad it tells that position from the next row's start.
    bool rowComplete_ = false;
    uint32_t rows_ = 0;  // rows passed since the last progress step
    std::string reason_;
};

// One block for the plain pixels of n frames of the format, taken with large pages where the
// system has them: the frames decode into runs of it instead of n blocks of their own. An empty
// block where that is not possible; each frame then takes a block of its own.
SharedBlock FramesBlock(const BitmapInfoHeader& format, size_t n) {
    Geometry g;
    const bool packed4 = format.biCompression == uint32_t(Compression::Rle4);
    if (n == 0 || !MakeGeometry(format.biWidth, format.biHeight, packed4, g) ||
        g.total * n > kMaxMovieBytes) {
        return {};
    }
    try {
        return SharedBlock::Uncleared(size_t(g.total * n));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// Makes the frames of a block ready for decoding, one after another on a thread of its own,
// while the caller decodes into those already done: the first frame is cleared, and so are the
// others unless the decoder writes every byte of a frame with a base itself (8-bit codes); their
// pages are then only touched. The first touch of fresh memory is where the system clears its
// pages; on another core that runs beside the decoding, which cannot itself be shared out when
// frames build on the frames before them. Without a second core or thread the caller clears
// everything at once.
class FramePreparer {
public:
    FramePreparer(const SharedBlock& block, size_t frameBytes, bool basesWriteAll)
        : block_(block),
          frameBytes_(frameBytes),
          frames_(frameBytes != 0 ? block.size / frameBytes : 0),
          basesWriteAll_(basesWriteAll) {
        if (frames_ == 0) {
            return;
        }
        if (frames_ > 1 && std::thread::hardware_concurrency() > 1) {
            try {
                thread_ = std::thread([this] { PrepareAll(); });
                return;
            } catch (const std::system_error&) {
            }
        }
        std::memset(block_.bytes.get(), 0, block_.size);
        ready_ = frames_;
    }
    ~FramePreparer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    FramePreparer(const FramePreparer&) = delete;
    FramePreparer& operator=(const FramePreparer&) = delete;

    // Returns once frame k is ready.
    void WaitFor(size_t k) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_ > k; });
    }

private:
    static constexpr size_t kPageBytes = 4096;

    void PrepareAll() {
        for (size_t k = 0; k < frames_ && !stop_; ++k) {
            uint8_t* frame = block_.bytes.get() + k * frameBytes_;
            if (k == 0 || !basesWriteAll_) {
                std::memset(frame, 0, frameBytes_);
            } else {
                for (size_t at = 0; at < frameBytes_; at += kPageBytes) {
                    frame[at] = 0;
                }
            }
            std::lock_guard lock(mutex_);
            ready_ = k + 1;
            changed_.notify_all();
        }
    }

    const SharedBlock& block_;
    const size_t frameBytes_;
    const size_t frames_;
    const bool basesWriteAll_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t ready_ = 0;
    std::thread thread_;
};

}  // namespace

int FrameChunk::DecodeRle(ProgressSink* progress, BitmapInfoHeader& format, const uint8_t* base,
                          bool cancelHonoured, std::string* reason, FrameBytes* into) {
    const bool packed4 = format.biCompression == uint32_t(Compression::Rle4);
    Geometry g;
    if (!MakeGeometry(format.biWidth, format.biHeight, packed4, g)) {
        return FailWith(reason, "a frame of " + std::to_string(format.biWidth) + " x " +
                                    std::to_string(format.biHeight) + " pixels cannot be decoded");
    }
    FrameBytes plain;
    if (into != nullptr && into->size() == g.total) {
        plain.swap(*into);
    } else {
        try {
            plain.assign(size_t(g.total), 0);
        } catch (const std::bad_alloc&) {
            return FailWith(reason, "out of memory");
        }
    }
    RleDecoder decoder(g, packed4, plain.data(), base, progress, cancelHonoured);
    ByteReader in(data.data(), data.size());
    if (!decoder.Decode(in)) {
        return FailWith(reason, decoder.Reason());
    }
    data.swap(plain);
    if (base == nullptr) {
        format.biCompression = uint32_t(Compression::Rgb);
    }
    return 1;
}

int MovieList::DecodeFrames(ProgressSink* progress, BitmapInfoHeader& format, int32_t n,
                            bool cancelHonoured, int32_t initialFrames, std::string* reason) {
    if (initialFrames < 0 || n <= initialFrames) {
        return 0;
    }
    const size_t slots = size_t(n) + size_t(initialFrames);
    if (slots > frames.size()) {
        return 0;
    }
    // Every frame is decoded with the compression the stream had at the start.
    const BitmapInfoHeader coded = format;
    const SharedBlock plain = FramesBlock(coded, slots);
    const size_t frameBytes = plain.size / slots;
    FramePreparer preparer(plain, frameBytes, coded.biCompression == uint32_t(Compression::Rle8));
    const uint8_t* base = nullptr;
    // The initial frames (held after the movie's own) come first, then frames 0 ... n - 1.
    for (size_t k = 0; k < slots; ++k) {
        FrameChunk& frame = frames[(size_t(n) + k) % slots];
        BitmapInfoHeader work = coded;
        std::string why;
        FrameBytes into;
        if (frameBytes != 0) {
            preparer.WaitFor(k);
            into = FrameBytes::View(plain, k * frameBytes, frameBytes);
        }
        if (frame.DecodeRle(progress, work, base, cancelHonoured, &why, &into) == 0) {
            const size_t number = (size_t(n) + k) % slots;
            return FailWith(reason, "frame " + std::to_string(number) + ": " + why);
        }
        if (k == 0) {
            format.biCompression = uint32_t(Compression::Rgb);
        }
        base = frame.data.data();
    }
    return 1;
}

}  // namespace kx
