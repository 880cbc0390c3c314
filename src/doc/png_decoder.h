// Reading a PNG or animated PNG file in memory: the chunk walk that collects the image header,
// palette, transparency and the frames with their data pieces, and the decoding of one image
// (any colour type and bit depth, Adam7 interlace) into 8-bit RGBA pixels.
//
// Every count and size is checked before memory is taken for it: the walk only keeps pointers
// into the file, and DecodeImage inflates into a buffer of exactly the image's filtered size.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "doc/png_chunks.h"

namespace kx::png {

// A pixel as red | green << 8 | blue << 16 | alpha << 24.
using Rgba = uint32_t;
constexpr Rgba MakeRgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16 | uint32_t(a) << 24;
}
constexpr uint8_t AlphaOf(Rgba c) {
    return uint8_t(c >> 24);
}

enum ColourType : uint8_t { kGrey = 0, kTruecolour = 2, kIndexed = 3, kGreyAlpha = 4, kRgba = 6 };

struct ImageHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t depth = 0;
    uint8_t colourType = 0;
    bool interlaced = false;
};

// fcTL's fields.
struct FrameControl {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t x = 0;
    uint32_t y = 0;
    uint16_t delayNum = 0;
    uint16_t delayDen = 0;
    uint8_t dispose = 0;  // a DisposeOp once checked
    uint8_t blend = 0;    // a BlendOp once checked
};

// A piece of one image's zlib stream (an IDAT's data, an fdAT's after its sequence number).
struct DataPiece {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

struct AnimationFrame {
    FrameControl control;
    std::vector<DataPiece> pieces;
};

struct PngFile {
    ImageHeader header;
    std::vector<Rgba> palette;  // PLTE with tRNS alphas
    // tRNS of a grey or truecolour image: the one sample value (grey, or red, green, blue)
    // shown transparent, compared at the image's own depth.
    bool hasKey = false;
    std::array<uint16_t, 3> key{};
    std::vector<DataPiece> image;  // the default image (IDAT)
    bool animated = false;         // an acTL chunk came before the image
    uint32_t plays = 0;
    std::vector<AnimationFrame> frames;  // of an animation; the first may be the default image
};

// Walks the chunks of a whole file; false with a reason for a file that is not a PNG, a damaged
// or misplaced chunk, a wrong CRC, fcTL/fdAT sequence numbers out of order or a frame outside
// the canvas.
bool ParsePng(const uint8_t* data, size_t size, PngFile& png, std::string& reason);

// Bytes of the filtered rows of a width x height image of the file's format (all seven passes
// when interlaced), or 0 when that exceeds maxBytes.
uint64_t FilteredImageBytes(const ImageHeader& header, uint32_t width, uint32_t height,
                            uint64_t maxBytes);

// Decodes a width x height image from its pieces into RGBA pixels, rows top-down; false with
// a reason. Samples of 16 bits become 8 as ffmpeg reduces them (rounded, v + 128 >> 8).
bool DecodeImage(const PngFile& png, const std::vector<DataPiece>& pieces, uint32_t width,
                 uint32_t height, std::vector<Rgba>& pixels, std::string& reason);

// Reduces a 16-bit sample to 8 bits.
constexpr uint8_t Reduce16(uint32_t v) {
    return v >= 0xFF80 ? 0xFF : uint8_t((v + 128) >> 8);
}

}  // namespace kx::png
