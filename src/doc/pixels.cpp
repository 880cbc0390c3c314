// Pixel depth expansion, palette compaction and the transparent colour.
#include <algorithm>
#include <new>

#include "doc/animation_document.h"

namespace kx {
namespace {

// Marks the values of n bytes; returns how many were not marked before.
int32_t MarkBytes(const uint8_t* p, size_t n, std::array<bool, 256>& used) {
    int32_t fresh = 0;
    for (size_t i = 0; i < n; ++i) {
        fresh += used[p[i]] ? 0 : 1;
        used[p[i]] = true;
    }
    return fresh;
}

// Marks the values met in the first frameBytes of pixels (or as far as they go); returns how
// many were not marked before. Eight bytes equal to those at the same place of the frame before
// (before, already marked), or without it to the eight bytes before them, hold nothing new and
// are passed over: a movie mostly repeats itself, so most of it is only compared.
int32_t MarkUsed(const FrameBytes& pixels, const FrameBytes* before, size_t frameBytes,
                 std::array<bool, 256>& used) {
    const size_t m = std::min(frameBytes, pixels.size());
    const uint8_t* p = pixels.data();  // once: writes to used could alias the frame's own fields
    const bool withBefore = before != nullptr && before->size() >= m;
    const uint8_t* reference = withBefore ? before->data() : p;
    const size_t lag = withBefore ? 0 : 8;
    size_t i = std::min(lag, m);
    int32_t fresh = MarkBytes(p, i, used);
    for (; i + 8 <= m; i += 8) {
        if (Load8(p + i) != Load8(reference + i - lag)) {
            fresh += MarkBytes(p + i, 8, used);
        }
    }
    return fresh + MarkBytes(p + i, m - i, used);
}

}  // namespace

int FrameChunk::ExpandTo8Bit(ProgressSink* progress, BitmapInfoHeader& format, int sourceBits) {
    if (sourceBits != 1 && sourceBits != 4) {
        return 0;
    }
    if (format.biWidth <= 0 || format.biHeight <= 0) {
        return 0;
    }
    const uint64_t width = uint64_t(format.biWidth);
    const uint64_t height = uint64_t(format.biHeight);
    const uint64_t stride8 = Stride8(format.biWidth);
    const uint64_t total = stride8 * height;  // both below 2^32: no overflow in 64 bits
    if (total > kMaxBufferBytes) {
        return 0;
    }
    // Packed source rows are padded to 32 bits.
    const uint64_t sourceStride = (width * uint64_t(sourceBits) + 31) / 32 * 4;
    // Bytes of a source row that hold the stride8 pixels taken from it (padding bits included).
    const uint64_t sourceUsed = (stride8 * uint64_t(sourceBits) + 7) / 8;

    std::vector<uint8_t> out;
    try {
        out.resize(size_t(total));
    } catch (const std::bad_alloc&) {
        return 0;
    }

    const unsigned mask = (1u << sourceBits) - 1;
    uint32_t rowsSinceReport = 0;
    for (uint64_t row = 0; row < height; ++row) {
        const uint64_t start = row * sourceStride;
        if (start > data.size() || data.size() - start < sourceUsed) {
            return 0;  // the source ends before the frame is complete
        }
        const uint8_t* src = data.data() + start;
        uint8_t* dst = out.data() + row * stride8;
        for (uint64_t x = 0; x < stride8; ++x) {
            // Most significant bits first: bit 7 for 1-bit pixels, the high nibble for 4-bit.
            const uint64_t bit = x * uint64_t(sourceBits);
            const unsigned shift = 8 - unsigned(sourceBits) - unsigned(bit % 8);
            dst[x] = uint8_t((src[bit / 8] >> shift) & mask);
        }
        if (++rowsSinceReport == 128) {
            if (!Report(progress, rowsSinceReport, kProgressStep)) {
                return 0;
            }
            rowsSinceReport = 0;
        }
    }

    data.swap(out);
    format.biBitCount = 8;
    format.biSizeImage = uint32_t(total);
    // A Cancel here fails the call although the frame is already converted.
    return Report(progress, rowsSinceReport, kProgressStep) ? 1 : 0;
}

int MovieList::CompactPalette(ProgressSink* progress, PaletteTable* palette, int32_t n) {
    if (palette == nullptr || remapped != 0) {
        remap.fill(0);
        return 1;
    }
    if (n <= 0 || palette->count <= 0 || size_t(n) > frames.size()) {
        return 0;
    }

    // Every frame has the size of frame 0; a shorter one is only read as far as it goes.
    std::array<bool, 256> used{};
    const size_t frameBytes = frames[0].data.size();
    const uint32_t step = largestFrame * 4u / 1024u;
    const int32_t count = std::min(palette->count, 256);
    int32_t seen = 0;
    for (int32_t k = 0; k < n; ++k) {
        // Once every entry is seen, the rest of the frames cannot change the outcome.
        if (seen < count) {
            const FrameBytes* before = k > 0 ? &frames[size_t(k) - 1].data : nullptr;
            seen += MarkUsed(frames[size_t(k)].data, before, frameBytes, used);
        }
        if (!Report(progress, step, kProgressStep)) {
            return 0;
        }
    }

    PaletteTable compacted;
    remap.fill(0);
    int32_t unused = 0;
    for (int32_t v = 0; v < count; ++v) {
        if (!used[size_t(v)]) {
            ++unused;
            continue;
        }
        remap[size_t(v)] = uint8_t(unused);
        compacted.entries[size_t(v - unused)] = palette->entries[size_t(v)];
    }
    compacted.count = count - unused;
    *palette = compacted;
    return 1;
}

void MovieList::FindTransparentIndex(const PaletteTable& palette, int32_t height) {
    transparentIndex = 0;
    transparencyUsable = 0;
    if (frames.empty() || height <= 0) {
        return;
    }
    // The first pixel of the last row in memory is the top-left pixel of the picture.
    const FrameBytes& pixels = frames[0].data;
    const size_t at = pixels.size() / size_t(height) * size_t(height - 1);
    if (at >= pixels.size()) {
        return;
    }
    transparentIndex = pixels[at];
    // Colours that survive the reduction of common display modes unchanged: each component is
    // 255 or a multiple of 16.
    const RgbQuad& c = palette.entries[transparentIndex];
    auto exact = [](uint8_t v) { return v == 255 || (v & 0x0F) == 0; };
    transparencyUsable = (exact(c.blue) && exact(c.green) && exact(c.red)) ? 1 : 0;
}

}  // namespace kx
