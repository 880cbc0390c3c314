// Run-length coding of frames: BI_RLE8 and BI_RLE4 decoding, BI_RLE8 encoding against the
// previous frame, and the drivers that code all frames of a movie.
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
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "doc/animation_document.h"
#include "doc/byte_io.h"

namespace kx {
namespace {

// Rows between two progress steps of the coders.
constexpr uint32_t kRowsPerStep = 128;
// The encoder writes into a buffer of this many times the plain frame.
constexpr uint64_t kCodeBufferFactor = 2;

// Geometry of a plain frame; every size in 64 bits so that absurd headers cannot wrap.
struct Geometry {
    uint64_t rowBytes = 0;  // bytes of pixels per row
    uint64_t stride = 0;    // rowBytes rounded up to a multiple of 4
    uint64_t pad = 0;
    uint64_t height = 0;
    uint64_t total = 0;
};

// False for a size that cannot be a frame: not positive or beyond kMaxBufferBytes.
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

// The decoder's output: the plain frame being filled, written forwards only.
class PlainWriter {
public:
    PlainWriter(std::vector<uint8_t>& out, const uint8_t* base, bool packed4)
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

    // Units [from, to) take the base's pixels; without a base they stay 0.
    void FromBase(uint64_t from, uint64_t to) {
        if (base_ == nullptr || from >= to) {
            return;
        }
        if (!packed4_) {
            std::memcpy(out_.data() + from, base_ + from, to - from);
            return;
        }
        for (; from < to && from % 2 != 0; ++from) {
            Put(from, base_[from / 2] & 0x0F);
        }
        const uint64_t wholeEnd = to / 2;
        if (from / 2 < wholeEnd) {
            std::memcpy(out_.data() + from / 2, base_ + from / 2, wholeEnd - from / 2);
            from = wholeEnd * 2;
        }
        if (from < to) {
            Put(from, base_[from / 2] >> 4);
        }
    }

private:
    std::vector<uint8_t>& out_;
    const uint8_t* base_;
    bool packed4_;
};

// Output of the encoder: a buffer of fixed capacity (twice the plain frame); a write that would
// pass it marks the encoding failed instead of growing.
class CodeWriter {
public:
    CodeWriter(uint8_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void Put(uint8_t v) {
        if (out < 0 || uint64_t(out) >= capacity_) {
            overflow = true;
            return;
        }
        buffer_[size_t(out)] = v;
        ++out;
    }
    void Put(uint8_t a, uint8_t b) {
        Put(a);
        Put(b);
    }

    int64_t out = 0;  // bytes written; moved back when written codes are replaced
    bool overflow = false;

private:
    uint8_t* buffer_;
    size_t capacity_;
};

// Eight bytes from p, in memory order.
uint64_t Load8(const uint8_t* p) {
    uint64_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// How many of the eight bytes loaded by Load8 come before the first one whose bits are set in
// differs (not 0). Where the memory order is not known to be the low byte first, none are
// skipped and the caller's byte-by-byte scan finds them.
int64_t SameLeadingBytes(uint64_t differs) {
    if constexpr (std::endian::native == std::endian::little) {
        return std::countr_zero(differs) / 8;
    }
    return 0;
}

// A byte eight times over.
uint64_t Repeat8(uint8_t b) {
    return uint64_t(b) * 0x0101010101010101u;
}

// Lengthens the run of P[at - 1] by the pixels from at that repeat it and, with a base Q, equal
// the base too, up to rowLimit and 255 pixels: eight at a time while they all qualify, then one
// at a time. Made twice, so that neither scan tests for the base.
template <bool kWithBase>
void ExtendRun(const uint8_t* P, const uint8_t* Q, int64_t rowLimit, int64_t& at, int64_t& length) {
    const uint64_t repeated = Repeat8(P[at - 1]);
    while (rowLimit - at >= 8 && length <= 255 - 8) {
        uint64_t differs = Load8(P + at) ^ repeated;
        if constexpr (kWithBase) {
            differs |= Load8(Q + at) ^ repeated;
        }
        if (differs != 0) {
            const int64_t same = SameLeadingBytes(differs);
            at += same;
            length += same;
            break;
        }
        at += 8;
        length += 8;
    }
    while (at != rowLimit && length < 255 && P[at] == P[at - 1] && (!kWithBase || P[at] == Q[at])) {
        ++at;
        ++length;
    }
}

// Replaces every pixel value v by its compacted index v - remap[v].
void RemapPixels(std::vector<uint8_t>& pixels, const std::array<uint8_t, 256>& remap) {
    for (uint8_t& v : pixels) {
        v = uint8_t(v - remap[v]);
    }
}

}  // namespace

int FrameChunk::DecodeRle(ProgressSink* progress, BitmapInfoHeader& format, const uint8_t* base,
                          bool cancelHonoured) {
    const bool packed4 = format.biCompression == uint32_t(Compression::Rle4);
    Geometry g;
    if (!MakeGeometry(format.biWidth, format.biHeight, packed4, g)) {
        return 0;
    }
    std::vector<uint8_t> plain;
    try {
        plain.resize(size_t(g.total));
    } catch (const std::bad_alloc&) {
        return 0;
    }

    // Positions count units: a byte of BI_RLE8 data, a nibble of BI_RLE4 data.
    const uint64_t unit = packed4 ? 2 : 1;
    const uint64_t strideUnits = g.stride * unit;
    const uint64_t rowUnits = g.rowBytes * unit;
    const uint64_t totalUnits = g.total * unit;
    PlainWriter frame(plain, base, packed4);
    uint64_t q = 0;
    // The row of q has all its pixels: q is just past them. With pad this is the same as q being
    // at the row's pixel end; without pad it tells that position from the next row's start.
    bool rowComplete = false;

    uint32_t rows = 0;  // rows passed since the last progress step
    // Reports the rows passed once there are enough of them; false on an honoured Cancel.
    auto step = [&]() {
        if (rows < kRowsPerStep) {
            return true;
        }
        const bool goOn = Report(progress, rows, kProgressStep);
        rows = 0;
        return goOn || !cancelHonoured;
    };
    // Pixels that can still be written in the row of q: a run is clipped at the row's end.
    auto room = [&]() {
        const uint64_t x = q % strideUnits;
        return x < rowUnits ? rowUnits - x : 0;
    };
    // Whether q is the end of a row's pixels when reached from the left.
    auto atRowEnd = [&]() { return q % strideUnits == rowUnits % strideUnits; };

    ByteReader in(data.data(), data.size());
    while (in.remaining() > 0) {
        const uint8_t first = in.u8();
        const uint8_t second = in.u8();
        if (!in.ok()) {
            return 0;  // half a code at the end
        }

        if (first != 0) {
            // Encoded run: first pixels of value second.
            if (q >= totalUnits) {
                return 0;
            }
            const uint64_t n = std::min<uint64_t>(first, room());
            for (uint64_t k = 0; k < n; ++k) {
                const uint8_t v = !packed4 ? second : (k % 2 == 0 ? second >> 4 : second & 0x0F);
                frame.Put(q + k, v);
            }
            if (n > 0) {
                q += n;
                rowComplete = atRowEnd();
            }
            continue;
        }

        if (second >= 3) {
            // Absolute run: its bytes are always consumed, even where the pixels are clipped.
            if (q >= totalUnits) {
                return 0;
            }
            uint8_t pixels[255];
            const size_t bytes = packed4 ? (second + 1u) / 2 : second;
            if (!in.bytes(pixels, bytes) || !in.skip(bytes % 2)) {
                return 0;
            }
            const uint64_t n = std::min<uint64_t>(second, room());
            for (uint64_t k = 0; k < n; ++k) {
                const uint8_t p = pixels[k / unit];
                const uint8_t v = !packed4 ? p : (k % 2 == 0 ? p >> 4 : p & 0x0F);
                frame.Put(q + k, v);
            }
            if (n > 0) {
                q += n;
                rowComplete = atRowEnd();
            }
            continue;
        }

        if (second == 2) {
            // Delta: dx pixels right and dy rows up, the skipped pixels from the base or 0
            // without one (a picture with holes, or a movie that starts with a delta frame).
            const uint8_t dx = in.u8();
            const uint8_t dy = in.u8();
            if (!in.ok()) {
                return 0;
            }
            const uint64_t skip = dx + strideUnits * dy;
            if (skip > totalUnits - std::min(q, totalUnits)) {
                return 0;
            }
            frame.FromBase(q, q + skip);
            q += skip;
            // Straight up keeps the column: a row start stays a row start, a row end a row end.
            if (dx > 0) {
                rowComplete = atRowEnd();
            }
            const uint64_t skippedRows = skip / strideUnits;
            rows += uint32_t(skippedRows);
            if (skippedRows > 0 && !step()) {
                return 0;
            }
            continue;
        }

        if (second == 0) {
            // End of line. A half-filled byte is completed first; its other nibble is a skipped
            // pixel (or the padding nibble of an odd width).
            if (q % unit != 0) {
                frame.FromBase(q, q + 1);
                ++q;
                rowComplete = atRowEnd();
            }
            uint64_t pos = q / unit;
            if (rowComplete) {
                // The row's pixels are complete: only its pad is left.
                if (pos + g.pad > g.total) {
                    return 0;
                }
            } else {
                const uint64_t rowStart = pos / g.stride * g.stride;
                const uint64_t rowEnd = rowStart + g.rowBytes;
                if (pos < rowEnd) {
                    if (rowEnd + g.pad > g.total) {
                        return 0;
                    }
                    frame.FromBase(q, rowEnd * unit);
                    pos = rowEnd;
                } else {
                    // Inside the pad (after a delta): the row's pixels are behind us.
                    pos = rowStart + g.rowBytes;
                }
            }
            // The pad bytes stay 0.
            q = (pos + g.pad) * unit;
            rowComplete = false;
            ++rows;
            if (!step()) {
                return 0;
            }
            if (in.remaining() > 0) {
                continue;
            }
            // The data ends with this end of line: it ends the bitmap.
        } else if (in.remaining() > 0) {
            return 0;  // codes after the end of bitmap
        }

        // End of bitmap: the rest of the frame is skipped.
        if (q % unit != 0) {
            frame.FromBase(q, q + 1);
            ++q;
        }
        const uint64_t pos = q / unit;
        frame.FromBase(q, totalUnits);
        rows += uint32_t((g.total - std::min(pos, g.total)) / g.stride);
        if (!Report(progress, rows + 1, kProgressStep) && cancelHonoured) {
            return 0;
        }
        data.swap(plain);
        if (base == nullptr) {
            format.biCompression = uint32_t(Compression::Rgb);
        }
        return 1;
    }
    return 0;  // no end of bitmap
}

int FrameChunk::EncodeRle8(ProgressSink* progress, BitmapInfoHeader& format, const uint8_t* pixels,
                           const uint8_t* base, const std::array<uint8_t, 256>& remap) {
    // Frames narrower than 5 pixels are kept plain: the codes would not be shorter.
    if (format.biWidth < 5) {
        data.clear();
        return 1;
    }
    Geometry g;
    if (!MakeGeometry(format.biWidth, format.biHeight, false, g) ||
        kCodeBufferFactor * g.total > kMaxBufferBytes) {
        return 0;
    }
    // Only the bytes written are ever read, so the buffer is not cleared first.
    const size_t capacity = size_t(kCodeBufferFactor * g.total);
    const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity]);
    if (!buffer) {
        return 0;
    }

    // Signed 64-bit positions: the cost estimate below may go negative.
    const uint8_t* P = pixels;
    const uint8_t* Q = base;
    const int64_t pad = int64_t(g.pad);
    const int64_t stride = int64_t(g.stride);
    const int64_t total = int64_t(g.total);
    CodeWriter w(buffer.get(), capacity);
    auto value = [&](int64_t at) { return uint8_t(P[at] - remap[P[at]]); };
    // Positions only move forward through the current row, so "just past the last pixel of a
    // row" is one position: rowLimit, kept with rowStart (no division per pixel).
    const int64_t width = stride - pad;
    int64_t rowLimit = width;
    auto rowEnd = [&](int64_t at) { return at == rowLimit; };

    // Writes the group of pixels that ends at e: lit single pixels (the first pixel of the final
    // run counted among them) followed by a run of the last run pixels.
    auto flush = [&](int64_t run, int64_t lit, int64_t e) {
        if (run > 1) {
            lit -= 1;  // the run's first pixel goes with the run
        } else {
            run = 0;  // a lone pixel stays in the group
        }
        if (lit >= 3) {
            // Three or more different pixels: one absolute run, padded to 16 bits.
            w.Put(0, uint8_t(lit));
            for (int64_t k = e - run - lit; k < e - run; ++k) {
                w.Put(value(k));
            }
            if (lit % 2 != 0) {
                w.Put(0);
            }
        } else if (lit == 2) {
            // Absolute runs hold at least 3 pixels: two pixels become two runs of 1.
            w.Put(1, value(e - run - 2));
            w.Put(1, value(e - run - 1));
        } else if (lit == 1) {
            w.Put(1, value(e - run - 1));
        }
        if (run > 1) {
            w.Put(uint8_t(run), value(e - 1));
        }
    };

    int64_t i = 0;
    int64_t run = 0;
    int64_t lit = 0;
    int64_t rowStart = 0;
    // State right after the last pixel that differs from the base: where the codes for the
    // unchanged stretch that follows it begin, should they be replaced by deltas.
    int64_t savedEnd = 0;
    int64_t savedOut = 0;
    int64_t savedRun = 1;
    int64_t savedLit = 0;
    bool unchanged = false;  // pixels equal to the base since the saved state
    uint32_t rows = 0;

    auto baseStep = [&]() {
        if (P[i] == Q[i]) {
            unchanged = true;
            return;
        }
        // Bytes spent on the unchanged stretch since the saved state: everything written after
        // it plus the pixels waiting in the group, less what the saved group costs anyway.
        int64_t cost = (w.out - savedOut) + lit - 1;
        int64_t s = savedLit;
        if (savedRun > 1) {
            cost -= 2;
            s -= 1;
        }
        if (s == 1) {
            cost -= 2;
        } else if (s > 1) {
            cost -= 2 + s % 2 + s;
        }
        const int64_t d = i - savedEnd;
        const int64_t dy = d / stride;
        int64_t dx = d % stride;
        // A skip that wraps round a row start needs an end of line first; the delta then counts
        // from the start of this row.
        const bool needEol = rowStart - dy * stride > savedEnd;
        if (needEol) {
            dx = i - rowStart;
            cost -= 2;
        }
        // Delta codes beyond the first, for skips of more than 255 pixels or rows.
        const int64_t extra = (std::max(dx, dy) - 1) / 255;
        // Use deltas only when they are strictly shorter than the codes they replace.
        if (cost - 4 * extra > 4) {
            w.out = savedOut;
            flush(savedRun, savedLit, savedEnd);
            if (needEol) {
                w.Put(0, 0);
            }
            int64_t restX = dx;
            int64_t restY = dy;
            while (restX != 0 || restY != 0) {
                const int64_t mx = std::min<int64_t>(restX, 255);
                const int64_t my = std::min<int64_t>(restY, 255);
                w.Put(0, 2);
                w.Put(uint8_t(mx), uint8_t(my));
                restX -= mx;
                restY -= my;
            }
            run = 1;  // pixel i starts a new group
            lit = 1;
        }
        savedEnd = i + 1;
        savedOut = w.out;
        savedRun = run;
        savedLit = lit;
        unchanged = false;
    };

    while (i < total) {
        // A group: single pixels followed by one run.
        lit += 1;
        run = 0;
        do {
            run += 1;
            if (Q != nullptr) {
                baseStep();
            }
            i += 1;
            // Pixels that repeat the one before and (with a base) equal the base only lengthen
            // the run: scan them in local variables, the bulk of every frame.
            int64_t at = i;
            int64_t length = run;
            if (Q != nullptr) {
                ExtendRun<true>(P, Q, rowLimit, at, length);
                unchanged = unchanged || at != i;
            } else {
                ExtendRun<false>(P, Q, rowLimit, at, length);
            }
            i = at;
            run = length;
            // The row end is tested first: past the last pixel of the frame P[i] is outside it.
        } while (!rowEnd(i) && P[i] == P[i - 1] && run < 255);

        // Write the group when its run is real, when an absolute run is full (254 pixels) or
        // at the end of the row (runs never cross a row end).
        if (run > 1 || lit == 254 || rowEnd(i)) {
            if (w.out + lit + 5 > 2 * total) {
                return 0;
            }
            flush(run, lit, i);
            lit = 0;
            if (rowEnd(i)) {
                i += pad;
                w.Put(0, 0);  // end of line; the pad bytes are never encoded
                if (savedEnd + pad == i) {
                    // The last changed pixel ended the row: a later skip starts at this row.
                    savedEnd = i;
                    savedOut = w.out;
                    savedRun = 1;
                    savedLit = 0;
                }
                rowStart = i;
                rowLimit = rowStart + width;
                if (++rows == kRowsPerStep) {
                    if (!Report(progress, 4 * rows, kProgressStep)) {
                        return 0;
                    }
                    rows = 0;
                }
            }
        }
    }

    // The frame ends with an end of bitmap, not with the last row's end of line.
    w.out -= 2;
    if (unchanged) {
        // The pixels after the last change equal the base: the end of bitmap skips them.
        w.out = savedOut;
        flush(savedRun, savedLit, savedEnd);
    }
    w.Put(0, 1);
    if (w.overflow) {
        return 0;
    }
    if (!Report(progress, 4 * rows, kProgressStep)) {
        return 0;
    }
    try {
        data.assign(buffer.get(), buffer.get() + w.out);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (base == nullptr) {
        format.biCompression = uint32_t(Compression::Rle8);
    }
    return 1;
}

int MovieList::DecodeFrames(ProgressSink* progress, BitmapInfoHeader& format, int32_t n,
                            bool cancelHonoured, int32_t initialFrames) {
    if (initialFrames < 0 || n <= initialFrames) {
        return 0;
    }
    const size_t slots = size_t(n) + size_t(initialFrames);
    if (slots > frames.size()) {
        return 0;
    }
    // Every frame is decoded with the compression the stream had at the start.
    const BitmapInfoHeader coded = format;
    const uint8_t* base = nullptr;
    // The initial frames (held after the movie's own) come first, then frames 0 ... n - 1.
    for (size_t k = 0; k < slots; ++k) {
        FrameChunk& frame = frames[(size_t(n) + k) % slots];
        BitmapInfoHeader work = coded;
        if (frame.DecodeRle(progress, work, base, cancelHonoured) == 0) {
            return 0;
        }
        if (k == 0) {
            format.biCompression = uint32_t(Compression::Rgb);
        }
        base = frame.data.data();
    }
    return 1;
}

namespace {

// Whether EncodeFrames writes an AVI (deltas against the previous frame) or a bitmap.
enum class Target { Avi, Bitmap };

// Common decoders behind players take a run-length frame whose size equals the plain frame size
// for a plain frame. Such a frame gets one more end of line before its end of bitmap: two bytes
// longer, decoded to the same pixels.
bool AvoidPlainSize(std::vector<uint8_t>& codes, uint64_t plainSize) {
    if (codes.size() != plainSize || codes.size() < 2) {
        return true;
    }
    try {
        const uint8_t eol[2] = {0, 0};
        codes.insert(codes.end() - 2, eol, eol + 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int EncodeFrames(MovieList& movie, ProgressSink* progress, BitmapInfoHeader& format, int32_t n,
                 Target target) {
    if (n <= 0 || size_t(n) > movie.frames.size()) {
        return 0;
    }
    std::vector<FrameChunk>& frames = movie.frames;
    const bool avi = target == Target::Avi;
    const uint32_t height = uint32_t(format.biHeight);
    const uint64_t plainSize = uint64_t(Stride8(format.biWidth)) * uint64_t(height);

    // The coder reads plain frames of exactly this size.
    auto plain = [&](const FrameChunk& frame) { return frame.data.size() == plainSize; };

    // Puts the movie back in plain form when the encoding of frame k stopped, whether by Cancel
    // or by a failure, so the movie stays usable: frames 0 ... k - 1 are decoded, and for an AVI,
    // whose palette is already compacted, the frames not yet encoded are remapped to match.
    auto restore = [&](int32_t k) {
        if (k > 0) {
            movie.DecodeFrames(progress, format, k, false, 0);
        }
        if (avi) {
            if (movie.remapped == 0) {
                for (int32_t r = k; r < n; ++r) {
                    RemapPixels(frames[size_t(r)].data, movie.remap);
                    Report(progress, 0, kProgressStep);
                }
            }
            movie.remapped = 1;
        }
        return 0;
    };

    FrameChunk coded;
    if (!plain(frames[0])) {
        return 0;
    }
    // Frames too large for the encoder's buffer are written plain, as frames whose codes come
    // out longer than the plain ones are.
    const bool encodable = kCodeBufferFactor * plainSize <= kMaxBufferBytes;
    if (encodable &&
        coded.EncodeRle8(progress, format, frames[0].data.data(), nullptr, movie.remap) == 0) {
        return restore(0);
    }
    if (coded.data.empty()) {
        // Too narrow or too large to encode: the frames stay plain.
        if (!avi || movie.remapped != 0) {
            return Report(progress, uint32_t(n) * height * 5, kProgressStep) ? 1 : 0;
        }
        int result = 1;
        for (int32_t k = 0; k < n; ++k) {
            RemapPixels(frames[size_t(k)].data, movie.remap);
            if (!Report(progress, height * 5, kProgressStep)) {
                result = 0;  // the remapping goes on: the palette is already compacted
            }
        }
        return result;
    }
    if (avi && !AvoidPlainSize(coded.data, plainSize)) {
        return 0;
    }

    // The base is the previous frame's plain pixels; only this one extra frame is held.
    std::vector<uint8_t> base = std::move(frames[0].data);
    frames[0].data = std::move(coded.data);
    uint64_t encodedTotal = frames[0].data.size();
    for (int32_t k = 1; k < n; ++k) {
        FrameChunk& frame = frames[size_t(k)];
        const uint8_t* against = avi ? base.data() : nullptr;
        int encoded = plain(frame) ? coded.EncodeRle8(progress, format, frame.data.data(), against,
                                                      movie.remap)
                                   : 0;
        if (encoded != 0 && avi) {
            encoded = AvoidPlainSize(coded.data, plainSize) ? 1 : 0;
        }
        if (encoded == 0) {
            // Cancel or failure alike: the frames never stay half encoded.
            Report(progress, 0, kProgressStep);
            return restore(k);
        }
        if (!avi) {
            // Frames after frame 0 end with an end of line, so that the frames written one after
            // another form one bitmap that ends with frame 0's end of bitmap.
            coded.data.back() = 0;
        }
        encodedTotal += coded.data.size();
        base.swap(frame.data);
        frame.data = std::move(coded.data);
    }

    int result = 1;
    if (encodedTotal > uint64_t(uint32_t(n)) * movie.largestFrame) {
        // The codes are longer than the plain frames: go back to plain (remapped) frames.
        if (!Report(progress, 0, kPhaseDecoding)) {
            result = 0;
        }
        result &= movie.DecodeFrames(progress, format, n, false, 0);
        if (!Report(progress, 0, kProgressStep)) {
            result = 0;
        }
    }
    if (avi) {
        movie.remapped = 1;
    }
    return result;
}

}  // namespace

int MovieList::EncodeFramesForAvi(ProgressSink* progress, BitmapInfoHeader& format, int32_t n) {
    return EncodeFrames(*this, progress, format, n, Target::Avi);
}

int MovieList::EncodeFramesForBitmap(ProgressSink* progress, BitmapInfoHeader& format, int32_t n) {
    return EncodeFrames(*this, progress, format, n, Target::Bitmap);
}

}  // namespace kx
