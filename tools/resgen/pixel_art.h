// Pictures drawn as text: a legend maps characters to colours, then rows of characters give the
// pixels. The resource generators turn these into bitmap and icon files.
//
// Grammar, one item per line (blank lines and lines starting with '#' are ignored):
//   legend
//     C R G B          a character C (any printable, not blank) and its colour, 0..255 each
//     C transparent    for icons: a character for pixels the icon's mask leaves see-through
//   pixels
//     CCCC...          one line per row, top row first, all rows the same length
// Legend entries number the palette in the order they are listed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx::resgen {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

struct PixelArt {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Rgb> palette;
    int32_t transparentIndex = -1;  // palette index of the see-through character; -1 when none
    std::vector<uint8_t> pixels;    // palette indices, width x height, top row first

    uint8_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    Rgb ColourAt(int32_t x, int32_t y) const { return palette[At(x, y)]; }
};

// Parses the text; on failure returns false and says why (with the line number) in error.
bool ParsePixelArt(std::string_view text, PixelArt& art, std::string& error);

// Reads and parses a file; the error names the file.
bool LoadPixelArt(const std::string& path, PixelArt& art, std::string& error);

}  // namespace kx::resgen
