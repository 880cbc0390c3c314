// Run-length decoding of a frame, BI_RLE8 and BI_RLE4, against the previous frame.
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
#include <cstring>
#include <new>
#include <string>
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
    // Whether the codes skipped a pixel, which then came from the base: a frame without skips
    // is whole in itself.
    bool TookPixelsFromBase() const { return tookPixels_; }

private:
    // Units [from, to) are skipped and come from the base. Skipping only the pad at the end of a
    // row takes no pixel.
    void Skip(uint64_t from, uint64_t to) {
        frame_.FromBase(from, to);
        if (from < to && !tookPixels_) {
            const uint64_t nextRow = (from / strideUnits_ + 1) * strideUnits_;
            tookPixels_ = from % strideUnits_ < rowUnits_ || to > nextRow;
        }
    }

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
        Skip(q_, q_ + skip);
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
                Skip(q_, rowEnd * unit_);
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
        Skip(q_, totalUnits_);
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
            Skip(q_, q_ + 1);
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
    bool tookPixels_ = false;
    std::string reason_;
};

}  // namespace

bool DecodeRleInto(const FrameBytes& codes, const Geometry& g, bool packed4,
                   const RleTarget& target, RleOutcome& outcome) {
    RleDecoder decoder(g, packed4, target.out, target.base, target.progress, target.cancelHonoured);
    ByteReader in(codes.data(), codes.size());
    const bool decoded = decoder.Decode(in);
    outcome.reason = decoder.Reason();
    outcome.tookPixelsFromBase = decoder.TookPixelsFromBase();
    return decoded;
}

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
    RleOutcome outcome;
    if (!DecodeRleInto(data, g, packed4, {plain.data(), base, progress, cancelHonoured}, outcome)) {
        return FailWith(reason, outcome.reason);
    }
    data.swap(plain);
    if (base == nullptr) {
        format.biCompression = uint32_t(Compression::Rgb);
    }
    return 1;
}

}  // namespace kx
