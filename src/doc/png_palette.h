// Turning decoded RGBA pictures into palette indices for the document.
//
// Pictures of a palette or grey image without transparent pixels keep the image's own palette
// (KeepPalette). Everything else gets a palette of its colours in the order they first appear;
// pixels of alpha 0 all become one transparent colour at index 0. Partial alpha and more than
// 256 colours (the transparent one included) are refused with the count.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "doc/png_decoder.h"

namespace kx {

struct PaletteTable;

class RgbaPaletteBuilder {
public:
    // Maps to the given colours (opaque, at most 256) instead of building a palette.
    void KeepPalette(const std::vector<png::Rgba>& colours);

    // Maps a picture of width x height pixels (rows top-down) into out: height rows of stride
    // bytes, bottom-up as the document keeps frames. Fills only what it can; Problem() says
    // whether the pictures can be used.
    void Map(const std::vector<png::Rgba>& pixels, uint32_t width, uint32_t height, uint32_t stride,
             uint8_t* out);

    // Why the pictures mapped so far cannot be used, naming the count; empty when they can.
    std::string Problem() const;
    // The palette of the pictures, and the renumbering Map's output still needs (identity when
    // nothing is to be done). Only meaningful when Problem() is empty.
    void Finish(PaletteTable& palette, std::array<uint8_t, 256>& renumber) const;

private:
    uint8_t Index(png::Rgba colour);
    void CountBeyond(png::Rgba colour);

    bool keep_ = false;
    std::unordered_map<png::Rgba, uint8_t> indices_;
    std::vector<png::Rgba> opaque_;  // in order of first appearance (or the kept palette)
    bool sawTransparent_ = false;
    png::Rgba transparentColour_ = 0;
    uint64_t partialAlpha_ = 0;
    uint64_t unknown_ = 0;      // pixels of colours a kept palette does not hold
    std::vector<bool> beyond_;  // every opaque colour once there are more than 256
    uint64_t distinct_ = 0;
};

}  // namespace kx
