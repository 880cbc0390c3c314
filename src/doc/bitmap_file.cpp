#include "doc/bitmap_file.h"

#include <algorithm>

#include "doc/byte_io.h"

namespace kx {

void BitmapFileHeader::Write(ByteWriter& out) const {
    out.u16le(bfType);       // "BM"
    out.u32le(bfSize);       // bytes of the whole file
    out.u16le(bfReserved1);  // 0
    out.u16le(bfReserved2);  // 0
    out.u32le(bfOffBits);    // where the pixel data starts
}

bool BitmapFileHeader::Read(ByteReader& in) {
    bfType = in.u16le();
    bfSize = in.u32le();
    bfReserved1 = in.u16le();
    bfReserved2 = in.u16le();
    bfOffBits = in.u32le();
    return in.ok();
}

void FlipRows(FrameBytes& data, size_t stride) {
    if (stride == 0) {
        return;
    }
    const size_t rows = data.size() / stride;
    for (size_t top = 0, bottom = rows; top + 1 < bottom; ++top, --bottom) {
        std::swap_ranges(data.begin() + std::ptrdiff_t(top * stride),
                         data.begin() + std::ptrdiff_t((top + 1) * stride),
                         data.begin() + std::ptrdiff_t((bottom - 1) * stride));
    }
}

}  // namespace kx
