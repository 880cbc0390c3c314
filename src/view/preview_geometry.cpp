#include "view/preview_geometry.h"

#include <algorithm>

#include "doc/animation_document.h"

namespace kx {

ImagePlacement PlaceImage(int32_t clientWidth, int32_t clientHeight, int32_t frameWidth,
                          int32_t rows, bool fit) {
    const int32_t cw = std::max(clientWidth, 0);
    const int32_t ch = std::max(clientHeight, 0);
    ImagePlacement p;
    if (frameWidth <= 0 || rows <= 0) {
        // Nothing to scale: a ratio against zero would be infinite.
        p.width = 0;
        p.height = 0;
    } else if (fit) {
        const double rx = double(cw) / double(frameWidth);
        const double ry = double(ch) / double(rows);
        if (rx < ry) {
            p.width = cw;
            p.height = int32_t(rx * double(rows));  // truncated toward zero
        } else if (rx > ry) {
            p.width = int32_t(ry * double(frameWidth));
            p.height = ch;
        } else {
            p.width = cw;
            p.height = ch;
        }
    } else {
        p.width = std::min(frameWidth, cw);
        p.height = std::min(rows, ch);
    }
    p.x = (cw - p.width) >> 1;
    p.y = (ch - p.height) >> 1;
    p.destWidth = fit ? cw - 2 * p.x : p.width;
    p.destHeight = fit ? ch - 2 * p.y : p.height;
    return p;
}

std::vector<PixelRect> MarginRects(int32_t clientWidth, int32_t clientHeight,
                                   const ImagePlacement& image) {
    std::vector<PixelRect> margins;
    // The columns the top and bottom margins span: the image's once left and right are taken.
    int32_t left = 0;
    int32_t width = clientWidth;
    if (clientWidth > image.width) {
        const int32_t right = image.x + image.width;
        if (image.x > 0) {
            margins.push_back({0, 0, image.x, clientHeight});
        }
        margins.push_back({right, 0, clientWidth - right, clientHeight});
        left = image.x;
        width = image.width;
    }
    if (clientHeight > image.height) {
        const int32_t bottom = image.y + image.height;
        if (image.y > 0) {
            margins.push_back({left, 0, width, image.y});
        }
        margins.push_back({left, bottom, width, clientHeight - bottom});
    }
    return margins;
}

int64_t DisplayBitsOffset(int32_t width, int32_t frameHeight, uint32_t frameSizeImage,
                          int32_t displayRows, uint32_t displaySizeImage, size_t dataSize) {
    if (width <= 0 || frameHeight <= 0 || displayRows <= 0 || displayRows > frameHeight) {
        return -1;
    }
    int64_t offset = 0;
    if (frameHeight > kMaxDisplayRows) {
        if (displaySizeImage > frameSizeImage) {
            return -1;
        }
        offset = int64_t(frameSizeImage) - int64_t(displaySizeImage);
    }
    const int64_t rowsBytes = int64_t(Stride8(width)) * displayRows;
    if (offset + rowsBytes > int64_t(dataSize)) {
        return -1;
    }
    return offset;
}

}  // namespace kx
