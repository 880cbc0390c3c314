#include "doc/frame_rules.h"

#include <algorithm>

namespace kx {

FrameFields FieldsFromHeight(int32_t stripHeight, int32_t height) {
    const int32_t h = std::clamp(height, 1, stripHeight);
    const int32_t remainder = stripHeight % h;
    return {h, stripHeight / h + (remainder != 0 ? 1 : 0), remainder};
}

FrameFields FieldsFromCount(int32_t stripHeight, int32_t count) {
    const int32_t n = std::clamp(count, 1, stripHeight);
    // Some counts cannot be had (100 rows in 51 frames takes height 2, which makes 50).
    return FieldsFromHeight(stripHeight, stripHeight / n + (stripHeight % n != 0 ? 1 : 0));
}

int32_t ProposedFrameHeight(int32_t stripWidth, int32_t stripHeight, int32_t remembered) {
    const bool rememberedFits = remembered >= 1 && stripHeight % remembered == 0;
    const bool squareFrames =
        stripWidth >= 1 && stripHeight % stripWidth == 0 && stripHeight / stripWidth >= 2;
    if (!rememberedFits && squareFrames) {
        return stripWidth;
    }
    return remembered >= 1 ? remembered : stripHeight;
}

}  // namespace kx
