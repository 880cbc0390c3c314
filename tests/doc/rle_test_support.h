// Helpers shared by the run-length tests.
#pragma once

#include <cstdint>
#include <vector>

#include "doc/animation_document.h"

namespace kx::test {

// An 8-bit plain frame format of the given size.
inline BitmapInfoHeader Frame8(int32_t width, int32_t height) {
    BitmapInfoHeader f;
    f.biWidth = width;
    f.biHeight = height;
    f.biBitCount = 8;
    return f;
}

}  // namespace kx::test
