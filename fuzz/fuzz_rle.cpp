// Hostile run-length data: decoding must succeed or fail cleanly without touching memory
// outside the frame, and whatever decodes must survive an 8-bit encode and decode unchanged.
//
// Input: width - 1, height - 1 (mod 64), flags (bit 0: BI_RLE4, bit 1: against a base frame),
// then the codes.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "doc/animation_document.h"

namespace {

// A base frame whose pad bytes are 0, as every frame the document holds.
std::vector<uint8_t> BaseFrame(uint32_t stride, uint32_t rowBytes, uint32_t height) {
    std::vector<uint8_t> base(size_t(stride) * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < rowBytes; ++x) {
            base[size_t(y) * stride + x] = uint8_t(x * 7 + y * 3 + 1);
        }
    }
    return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    const uint32_t width = 1u + data[0];
    const uint32_t height = 1u + data[1] % 64u;
    const bool rle4 = (data[2] & 1) != 0;
    const bool withBase = (data[2] & 2) != 0;
    const uint32_t rowBytes = rle4 ? (width + 1) / 2 : width;
    const uint32_t stride = (rowBytes + 3) & ~3u;
    const std::vector<uint8_t> base = BaseFrame(stride, rowBytes, height);

    kx::BitmapInfoHeader format;
    format.biWidth = int32_t(width);
    format.biHeight = int32_t(height);
    format.biBitCount = rle4 ? 4 : 8;
    format.biCompression = rle4 ? 2 : 1;
    kx::FrameChunk frame;
    frame.data.assign(data + 3, data + size);
    const std::vector<uint8_t> codes = frame.data.Copy();
    if (frame.DecodeRle(nullptr, format, withBase ? base.data() : nullptr, true) == 0) {
        if (frame.data != codes) {
            std::abort();  // a failed decoding keeps the encoded data
        }
        return 0;
    }
    if (frame.data.size() != base.size() || (!withBase && format.biCompression != 0)) {
        std::abort();
    }
    if (rle4 || width < 5) {
        return 0;
    }

    // The picture as the document would hold it: pad bytes 0.
    std::vector<uint8_t> picture = frame.data.Copy();
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = width; x < stride; ++x) {
            picture[size_t(y) * stride + x] = 0;
        }
    }
    kx::BitmapInfoHeader plain;
    plain.biWidth = int32_t(width);
    plain.biHeight = int32_t(height);
    const std::array<uint8_t, 256> identity{};
    kx::FrameChunk packed;
    if (packed.EncodeRle8(nullptr, plain, picture.data(), withBase ? base.data() : nullptr,
                          identity) == 0) {
        return 0;
    }
    plain.biCompression = 1;
    if (packed.DecodeRle(nullptr, plain, withBase ? base.data() : nullptr, true) == 0 ||
        packed.data != picture) {
        std::abort();
    }
    return 0;
}
