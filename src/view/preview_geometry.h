// Where the preview puts a frame in its client area, and which bytes of a frame it copies.
//
// Pure arithmetic shared by the preview control and its tests: no window system involved.
#ifndef KINETRIX_VIEW_PREVIEW_GEOMETRY_H
#define KINETRIX_VIEW_PREVIEW_GEOMETRY_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "doc/pixel_rect.h"

namespace kx {

// The device bitmap of one drawn frame never holds more rows than this; taller frames show
// their top rows only.
constexpr int32_t kMaxDisplayRows = 4096;

// Rows of the frame that a draw shows: the shown height, but at most kMaxDisplayRows.
constexpr int32_t DisplayRows(int32_t shownHeight) {
    return shownHeight >= kMaxDisplayRows ? kMaxDisplayRows : shownHeight;
}

// The image inside a client area of clientWidth x clientHeight (left and top 0).
struct ImagePlacement {
    int32_t x = 0;  // origin, centred; an odd margin leaves its extra pixel right or bottom
    int32_t y = 0;
    int32_t width = 0;  // image size w x h
    int32_t height = 0;
    // Size of the blit destination at (x, y): a stretched image takes the odd pixel of a
    // centred dimension (clientWidth - 2x), a plain copy is exactly w x h.
    int32_t destWidth = 0;
    int32_t destHeight = 0;
};

// Places frameWidth x rows pixels in the client area. With fit the image is scaled to the
// client area keeping its aspect ratio; without, it is copied 1:1 and clipped to the client
// area, which shows the top-left part of a frame larger than the control. An empty frame
// places an empty image in the middle.
ImagePlacement PlaceImage(int32_t clientWidth, int32_t clientHeight, int32_t frameWidth,
                          int32_t rows, bool fit);

// The parts of the client area around the image (left, right, then top and bottom between
// them), in painting order. The image area itself is never among them.
std::vector<PixelRect> MarginRects(int32_t clientWidth, int32_t clientHeight,
                                   const ImagePlacement& image);

// Byte offset of the first row a draw copies from a frame's bottom-up data: 0 for a frame of at
// most kMaxDisplayRows rows, else the frame size minus the size of the drawn rows, so that the
// top rows are copied. -1 when the frame's data (dataSize bytes) does not hold the rows the copy
// reads (displayRows rows of the 8-bit stride of width) from that offset.
int64_t DisplayBitsOffset(int32_t width, int32_t frameHeight, uint32_t frameSizeImage,
                          int32_t displayRows, uint32_t displaySizeImage, size_t dataSize);

}  // namespace kx

#endif  // KINETRIX_VIEW_PREVIEW_GEOMETRY_H
