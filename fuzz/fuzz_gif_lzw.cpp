// Hostile LZW code streams: decoding must succeed or fail with a reason without writing outside
// the frame, and whatever decodes must survive our encoder and decoder unchanged.
//
// Input: the minimum code size (2 + byte % 7), the pixel count - 1 (two bytes, little-endian),
// then the code stream.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "doc/gif_lzw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    const int minCodeSize = 2 + data[0] % 7;
    const size_t count = 1 + (size_t(data[1]) | size_t(data[2]) << 8);
    std::vector<uint8_t> pixels(count);
    if (!kx::DecodeLzw(data + 3, size - 3, minCodeSize, pixels.data(), count).empty()) {
        return 0;
    }
    for (const auto full : {kx::LzwFullTable::Clear, kx::LzwFullTable::Keep}) {
        const kx::LzwStream stream =
            kx::EncodeLzw({pixels.data(), nullptr, pixels.size(), false}, minCodeSize, full);
        std::vector<uint8_t> again(count);
        if (!kx::DecodeLzw(stream.bytes.data(), stream.bytes.size(), minCodeSize, again.data(),
                           count)
                 .empty() ||
            again != pixels) {
            std::abort();
        }
    }
    return 0;
}
