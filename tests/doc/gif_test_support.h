// Small GIF files built block by block for the reader's checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "doc/byte_io.h"
#include "doc/gif_lzw.h"

namespace kx::test {

struct GifBuilder {
    std::vector<uint8_t> bytes;

    // Header and logical screen; colours as r, g, b triples (a count that is a power of two).
    GifBuilder(uint16_t width, uint16_t height, const std::vector<uint8_t>& colours) {
        ByteWriter out(bytes);
        out.bytes("GIF89a", 6);
        out.u16le(width);
        out.u16le(height);
        out.u8(colours.empty() ? 0 : uint8_t(0x80 | (TableBits(colours) - 1)));
        out.u8(0);
        out.u8(0);
        out.bytes(colours.data(), colours.size());
    }
    static int TableBits(const std::vector<uint8_t>& colours) {
        int bits = 1;
        while ((3u << bits) < colours.size()) {
            ++bits;
        }
        return bits;
    }
    GifBuilder& Control(uint8_t disposal, int transparent, uint16_t delay) {
        ByteWriter out(bytes);
        out.u8(0x21);
        out.u8(0xF9);
        out.u8(4);
        out.u8(uint8_t(disposal << 2 | (transparent >= 0 ? 1 : 0)));
        out.u16le(delay);
        out.u8(uint8_t(transparent >= 0 ? transparent : 0));
        out.u8(0);
        return *this;
    }
    // A frame of pixels (rows top-down) at left, top; with local colours when given.
    GifBuilder& Frame(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
                      const std::vector<uint8_t>& pixels, const std::vector<uint8_t>& local = {},
                      int minCodeSize = 2) {
        ByteWriter out(bytes);
        out.u8(0x2C);
        out.u16le(left);
        out.u16le(top);
        out.u16le(width);
        out.u16le(height);
        out.u8(local.empty() ? 0 : uint8_t(0x80 | (TableBits(local) - 1)));
        out.bytes(local.data(), local.size());
        out.u8(uint8_t(minCodeSize));
        const LzwStream stream = EncodeLzw({pixels.data(), nullptr, pixels.size(), false},
                                           minCodeSize, LzwFullTable::Clear);
        AppendSubBlocks(bytes, stream.bytes);
        return *this;
    }
    GifBuilder& End() {
        bytes.push_back(0x3B);
        return *this;
    }
};

}  // namespace kx::test
