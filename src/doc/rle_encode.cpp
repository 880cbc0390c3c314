// Run-length encoding of 8-bit frames as BI_RLE8, each against the previous frame or alone.
//
// The encoder cuts each row into groups: single pixels followed by one run. A group is written
// as runs of 1 or an absolute run for its single pixels, then an encoded run; runs never cross a
// row end, and every row ends with an end of line (the last one becomes the end of bitmap).
// Against a base frame, a stretch of pixels equal to the base may be skipped with deltas (and an
// end of line where the skip wraps round a row start) where that is strictly shorter than the
// codes written for it; the codes since the last changed pixel are the candidate for that.
#include <algorithm>
#include <bit>
#include <memory>
#include <new>

#include "doc/animation_document.h"
#include "doc/rle_frame.h"

namespace kx {
namespace {

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

// How many of the bytes at [from, to) differ from the byte before them, eight at a time.
int64_t ValueChanges(const uint8_t* P, int64_t from, int64_t to) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    int64_t changes = 0;
    int64_t at = from;
    for (; to - at >= 8; at += 8) {
        const uint64_t differs = Load8(P + at) ^ Load8(P + at - 1);
        // The high bit of each byte that is not 0, moved to the low bit and summed by a
        // multiply (a popcount instruction is not in the baseline instruction set).
        const uint64_t nonZero = ((((differs & kLow7) + kLow7) | differs) & ~kLow7) >> 7;
        changes += int64_t((nonZero * 0x0101010101010101u) >> 56);
    }
    for (; at < to; ++at) {
        changes += P[at] != P[at - 1] ? 1 : 0;
    }
    return changes;
}

// The first position in [from, to) where P and Q differ, or to.
int64_t FirstDifference(const uint8_t* P, const uint8_t* Q, int64_t from, int64_t to) {
    int64_t at = from;
    while (to - at >= 8) {
        const uint64_t differs = Load8(P + at) ^ Load8(Q + at);
        if (differs != 0) {
            at += SameLeadingBytes(differs);
            break;
        }
        at += 8;
    }
    while (at < to && P[at] == Q[at]) {
        ++at;
    }
    return at;
}

// Lengthens the run of P[at - 1] by the pixels from at that repeat it and, with a base Q, equal
// the base too, up to rowLimit and 255 pixels: eight at a time while they all qualify, then one
// at a time. Made twice, so that neither scan tests for the base.
template <bool kWithBase>
void ExtendRun(const uint8_t* P, const uint8_t* Q, int64_t rowLimit, int64_t& at, int64_t& length) {
    // Single pixels, as in noise, end here.
    if (at == rowLimit || P[at] != P[at - 1]) {
        return;
    }
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

// The state right after the last pixel that differs from the base: where the codes for the
// unchanged stretch that follows it begin, should deltas replace them.
struct DeltaCandidate {
    int64_t end = 0;  // the position after that pixel
    int64_t out = 0;  // bytes written up to there
    int64_t run = 1;  // the group waiting at that point
    int64_t lit = 0;
    bool unchanged = false;  // pixels equal to the base since then

    void Save(int64_t at, int64_t written, int64_t groupRun, int64_t groupLit) {
        end = at;
        out = written;
        run = groupRun;
        lit = groupLit;
    }

    // Bytes the codes from here to position i cost beyond what the saved group costs anyway,
    // with lit pixels of the current group not yet written.
    int64_t CodesSince(int64_t written, int64_t groupLit) const {
        int64_t cost = (written - out) + groupLit - 1;
        int64_t s = lit;
        if (run > 1) {
            cost -= 2;
            s -= 1;
        }
        if (s == 1) {
            cost -= 2;
        } else if (s > 1) {
            cost -= 2 + s % 2 + s;
        }
        return cost;
    }
};

// The deltas that skip from the candidate to a changed pixel.
struct DeltaPlan {
    int64_t dx = 0;
    int64_t dy = 0;
    bool needEol = false;  // the skip wraps round a row start: an end of line comes first
    int64_t extra = 0;     // delta codes beyond the first, for skips of more than 255

    // Whether the deltas are strictly shorter than codes that cost this much beyond the group
    // saved with the candidate.
    bool Pays(int64_t cost) const {
        if (needEol) {
            cost -= 2;
        }
        return cost - 4 * extra > 4;
    }
};

// A stretch of pixels equal to the base, from a group's start: where the next changed pixel
// is, the row it is in, and at least how many bytes of codes the encoder writes for the rows
// the stretch ends (each run of one value costs a byte or more, each end of line two).
struct Unchanged {
    int64_t end = 0;
    int64_t endRowStart = 0;
    int64_t rowsEnded = 0;
    int64_t leastCodes = 0;
};

// Encodes one frame P (against base Q, or alone when Q is null) into a fixed buffer.
class Rle8Encoder {
public:
    Rle8Encoder(const Geometry& g, const uint8_t* pixels, const uint8_t* base,
                const std::array<uint8_t, 256>& remap, uint8_t* buffer, size_t capacity,
                ProgressSink* progress)
        : P(pixels),
          Q(base),
          remap_(remap),
          pad_(int64_t(g.pad)),
          stride_(int64_t(g.stride)),
          width_(int64_t(g.stride - g.pad)),
          total_(int64_t(g.total)),
          mostDeltas_((std::max(stride_, total_ / stride_) - 1) / 255),
          w_(buffer, capacity),
          progress_(progress),
          rowLimit_(width_) {}

    // Encodes the whole frame; the number of bytes written, or -1 on Cancel or a full buffer.
    int64_t Encode() {
        while (i_ < total_) {
            if (Q != nullptr && lit_ == 0 && i_ >= scannedTo_ && !SkipUnchanged()) {
                return -1;
            }
            if (i_ == total_) {
                break;
            }
            if (Q != nullptr) {
                TakeChangedSingles();
            }
            ScanGroup();
            // Write the group when its run is real, when an absolute run is full (254 pixels)
            // or at the end of the row (runs never cross a row end).
            if (run_ > 1 || lit_ == 254 || RowEnd(i_)) {
                if (w_.out + lit_ + 5 > 2 * total_) {
                    return -1;
                }
                Flush(run_, lit_, i_);
                lit_ = 0;
                if (RowEnd(i_) && !EndRow()) {
                    return -1;
                }
            }
        }
        return Finish();
    }

private:
    // The compacted palette index of the pixel at.
    uint8_t Value(int64_t at) const { return uint8_t(P[at] - remap_[P[at]]); }
    // Positions only move forward through the current row, so "just past the last pixel of a
    // row" is one position: rowLimit, kept with rowStart (no division per pixel).
    bool RowEnd(int64_t at) const { return at == rowLimit_; }

    // One group: single pixels followed by one run, as far as the run goes.
    void ScanGroup() {
        lit_ += 1;
        run_ = 0;
        do {
            run_ += 1;
            if (Q != nullptr) {
                BaseStep();
            }
            i_ += 1;
            // Pixels that repeat the one before and (with a base) equal the base only lengthen
            // the run: scan them in local variables, the bulk of every frame.
            int64_t at = i_;
            int64_t length = run_;
            if (Q != nullptr) {
                ExtendRun<true>(P, Q, rowLimit_, at, length);
                candidate_.unchanged = candidate_.unchanged || at != i_;
            } else {
                ExtendRun<false>(P, Q, rowLimit_, at, length);
            }
            i_ = at;
            run_ = length;
            // The row end is tested first: past the last pixel of the frame P[i] is outside it.
        } while (!RowEnd(i_) && P[i_] == P[i_ - 1] && run_ < 255);
    }

    // Changed pixels straight after a changed pixel, each unlike the pixel after it, as in
    // noise: each only joins the group's single pixels and becomes the candidate, as ScanGroup
    // would do it (deltas that skip nothing never pay). The pixel that would make 254 single
    // pixels and a row's last pixel are left to ScanGroup, which writes the group.
    void TakeChangedSingles() {
        if (deltaDecided_ || candidate_.end != i_ || candidate_.out != w_.out ||
            candidate_.run != 1 || candidate_.lit != lit_) {
            return;
        }
        while (lit_ < 253 && i_ + 1 < rowLimit_ && P[i_] != Q[i_] && P[i_ + 1] != P[i_]) {
            lit_ += 1;
            i_ += 1;
            candidate_.Save(i_, w_.out, 1, lit_);
            candidate_.unchanged = false;
            run_ = 1;
        }
    }

    // Pixel i against the base: a changed pixel after an unchanged stretch may replace the
    // stretch's codes by deltas, and becomes the new candidate.
    void BaseStep() {
        if (P[i_] == Q[i_]) {
            candidate_.unchanged = true;
            return;
        }
        const DeltaPlan plan = PlanDelta(i_, rowStart_);
        // Use deltas only when they are strictly shorter than the codes they replace.
        if (deltaDecided_ || plan.Pays(candidate_.CodesSince(w_.out, lit_))) {
            w_.out = candidate_.out;
            Flush(candidate_.run, candidate_.lit, candidate_.end);
            if (plan.needEol) {
                w_.Put(0, 0);
            }
            PutDeltas(plan.dx, plan.dy);
            run_ = 1;  // pixel i starts a new group
            lit_ = 1;
        }
        deltaDecided_ = false;
        candidate_.Save(i_ + 1, w_.out, run_, lit_);
        candidate_.unchanged = false;
    }

    // The deltas from the candidate to the changed pixel at, in the row that starts at rowStart.
    DeltaPlan PlanDelta(int64_t at, int64_t rowStart) const {
        DeltaPlan plan;
        // Most changed pixels follow a changed pixel in the same row: no division for them.
        const int64_t d = at - candidate_.end;
        plan.dy = d < stride_ ? 0 : d / stride_;
        plan.dx = d < stride_ ? d : d % stride_;
        // A skip that wraps round a row start counts from the start of the changed pixel's row.
        plan.needEol = rowStart - plan.dy * stride_ > candidate_.end;
        if (plan.needEol) {
            plan.dx = at - rowStart;
        }
        plan.extra = (std::max(plan.dx, plan.dy) - 1) / 255;
        return plan;
    }

    // From a group's start i: the pixels equal to the base up to the next changed one, rows
    // ended on the way counted. The codes are counted only up to enough.
    Unchanged ScanUnchanged(int64_t enough) const {
        Unchanged u;
        int64_t at = i_;
        u.endRowStart = rowStart_;
        int64_t limit = rowLimit_;
        while (true) {
            u.end = FirstDifference(P, Q, at, limit);
            if (u.end < limit) {
                return u;
            }
            if (u.leastCodes < enough) {
                u.leastCodes += 1 + ValueChanges(P, at + 1, limit) + 2;
            }
            ++u.rowsEnded;
            at = limit + pad_;
            if (at >= total_) {
                u.end = total_;
                return u;
            }
            u.endRowStart = at;
            limit = at + width_;
        }
    }

    // At a group's start, jumps over pixels equal to the base that run past a row end when the
    // deltas that will replace their codes are sure to be shorter than those codes, or when
    // they reach the end of the frame (the end of bitmap skips them). The codes written are
    // the same as without the jump: only codes that would be dropped are not written. The
    // rows passed report their progress; false on Cancel.
    bool SkipUnchanged() {
        // With at least this many bytes of codes dropped, deltas pay for any skip in the frame.
        const int64_t enough = 7 + 4 * mostDeltas_ - candidate_.CodesSince(w_.out, 1);
        const Unchanged u = ScanUnchanged(enough);
        scannedTo_ = u.end;
        if (u.rowsEnded == 0) {
            return true;
        }
        if (u.end < total_) {
            const int64_t least = candidate_.CodesSince(w_.out + u.leastCodes, 1);
            if (!PlanDelta(u.end, u.endRowStart).Pays(least)) {
                return true;
            }
            deltaDecided_ = true;
        }
        for (int64_t r = 0; r < u.rowsEnded; ++r) {
            if (!CountRow()) {
                return false;
            }
        }
        candidate_.unchanged = true;
        i_ = u.end;
        rowStart_ = u.endRowStart;
        rowLimit_ = rowStart_ + width_;
        return true;
    }

    void PutDeltas(int64_t dx, int64_t dy) {
        while (dx != 0 || dy != 0) {
            const int64_t mx = std::min<int64_t>(dx, 255);
            const int64_t my = std::min<int64_t>(dy, 255);
            w_.Put(0, 2);
            w_.Put(uint8_t(mx), uint8_t(my));
            dx -= mx;
            dy -= my;
        }
    }

    // Writes the group of pixels that ends at e: lit single pixels (the first pixel of the final
    // run counted among them) followed by a run of the last run pixels.
    void Flush(int64_t run, int64_t lit, int64_t e) {
        if (run > 1) {
            lit -= 1;  // the run's first pixel goes with the run
        } else {
            run = 0;  // a lone pixel stays in the group
        }
        if (lit >= 3) {
            // Three or more different pixels: one absolute run, padded to 16 bits.
            w_.Put(0, uint8_t(lit));
            for (int64_t k = e - run - lit; k < e - run; ++k) {
                w_.Put(Value(k));
            }
            if (lit % 2 != 0) {
                w_.Put(0);
            }
        } else if (lit == 2) {
            // Absolute runs hold at least 3 pixels: two pixels become two runs of 1.
            w_.Put(1, Value(e - run - 2));
            w_.Put(1, Value(e - run - 1));
        } else if (lit == 1) {
            w_.Put(1, Value(e - run - 1));
        }
        if (run > 1) {
            w_.Put(uint8_t(run), Value(e - 1));
        }
    }

    // The end of a row: an end of line, past the pad; false on Cancel.
    bool EndRow() {
        i_ += pad_;
        w_.Put(0, 0);  // the pad bytes are never encoded
        if (candidate_.end + pad_ == i_) {
            // The last changed pixel ended the row: a later skip starts at this row.
            candidate_.Save(i_, w_.out, 1, 0);
        }
        rowStart_ = i_;
        rowLimit_ = rowStart_ + width_;
        return CountRow();
    }

    // One more row done: progress every kRowsPerStep rows; false on Cancel.
    bool CountRow() {
        if (++rows_ == kRowsPerStep) {
            if (!Report(progress_, kEncodeUnitsPerRow * rows_, kProgressStep)) {
                return false;
            }
            rows_ = 0;
        }
        return true;
    }

    // The frame ends with an end of bitmap, not with the last row's end of line.
    int64_t Finish() {
        w_.out -= 2;
        if (candidate_.unchanged) {
            // The pixels after the last change equal the base: the end of bitmap skips them.
            w_.out = candidate_.out;
            Flush(candidate_.run, candidate_.lit, candidate_.end);
        }
        w_.Put(0, 1);
        if (w_.overflow || !Report(progress_, kEncodeUnitsPerRow * rows_, kProgressStep)) {
            return -1;
        }
        return w_.out;
    }

    const uint8_t* P;
    const uint8_t* Q;
    const std::array<uint8_t, 256>& remap_;
    // Signed 64-bit positions: the cost estimate may go negative.
    const int64_t pad_;
    const int64_t stride_;
    const int64_t width_;
    const int64_t total_;
    // Delta codes beyond the first that the longest skip in the frame takes: one more per 255
    // pixels or rows.
    const int64_t mostDeltas_;
    CodeWriter w_;
    ProgressSink* progress_;
    int64_t i_ = 0;
    int64_t run_ = 0;
    int64_t lit_ = 0;
    int64_t rowStart_ = 0;
    int64_t rowLimit_;
    DeltaCandidate candidate_;
    bool deltaDecided_ = false;  // SkipUnchanged found that the next changed pixel takes deltas
    int64_t scannedTo_ = 0;      // SkipUnchanged looked at the pixels before this
    uint32_t rows_ = 0;
};

}  // namespace

int FrameChunk::EncodeRle8(ProgressSink* progress, BitmapInfoHeader& format, const uint8_t* pixels,
                           const uint8_t* base, const std::array<uint8_t, 256>& remap,
                           std::vector<uint8_t>* scratch) {
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
    const size_t capacity = size_t(kCodeBufferFactor * g.total);
    std::vector<uint8_t> own;
    std::vector<uint8_t>& buffer = scratch != nullptr ? *scratch : own;
    try {
        // Only the bytes written are ever read; the buffer is cleared only as it grows.
        if (buffer.size() < capacity) {
            buffer.resize(capacity);
        }
        const int64_t written =
            Rle8Encoder(g, pixels, base, remap, buffer.data(), capacity, progress).Encode();
        if (written < 0) {
            return 0;
        }
        data.assign(buffer.data(), buffer.data() + written);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (base == nullptr) {
        format.biCompression = uint32_t(Compression::Rle8);
    }
    return 1;
}

}  // namespace kx
