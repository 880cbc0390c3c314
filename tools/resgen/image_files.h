// Bitmap and icon files from pixel art, written byte by byte in little-endian order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pixel_art.h"

namespace kx::resgen {

// A 4-bit BI_RGB .bmp (file header, 40-byte info header, one palette entry per legend colour,
// rows bottom-up padded to 4 bytes). Fails when the art has more than 16 colours or a
// transparent character (bitmaps have no mask).
bool EncodeBmp4(const PixelArt& art, std::vector<uint8_t>& file, std::string& error);

// An .ico holding one image per picture, in the given order. Each image is 4-bit (16 palette
// entries) when the art has at most 16 colours, else 8-bit (256 entries), followed by its 1-bit
// mask: the transparent character's pixels are masked (and black in the colour image). Sides
// must be 1..256 pixels.
bool EncodeIco(const std::vector<PixelArt>& images, std::vector<uint8_t>& file, std::string& error);

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace kx::resgen
