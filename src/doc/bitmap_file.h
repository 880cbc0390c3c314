// Pieces shared by the bitmap reader and writer and by the AVI reader: the 14-byte file header
// of a bitmap and turning top-down rows bottom-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "doc/frame_bytes.h"

namespace kx {

class ByteReader;
class ByteWriter;

// The 14-byte BITMAPFILEHEADER.
struct BitmapFileHeader {
    static constexpr uint32_t kBytes = 14;
    static constexpr uint16_t kType = 0x4D42;  // "BM"

    uint16_t bfType = kType;
    uint32_t bfSize = 0;
    uint16_t bfReserved1 = 0;
    uint16_t bfReserved2 = 0;
    uint32_t bfOffBits = 0;

    void Write(ByteWriter& out) const;
    bool Read(ByteReader& in);
};

// Reverses the order of the rows of stride bytes in data (whole rows only), turning a top-down
// picture bottom-up.
void FlipRows(FrameBytes& data, size_t stride);

}  // namespace kx
