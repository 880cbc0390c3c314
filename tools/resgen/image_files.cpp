#include "image_files.h"

#include <cstdio>

namespace kx::resgen {
namespace {

class Appender {
public:
    explicit Appender(std::vector<uint8_t>& out) : out_(out) {}
    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    size_t size() const { return out_.size(); }

private:
    std::vector<uint8_t>& out_;
};

constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kIconDirBytes = 6;
constexpr uint32_t kIconEntryBytes = 16;

uint32_t RowBytes(int32_t width, int bits) {
    return ((uint32_t(width) * uint32_t(bits) + 31) / 32) * 4;
}

void WriteInfoHeader(Appender& out, int32_t width, int32_t height, uint16_t bits,
                     uint32_t imageBytes, uint32_t coloursUsed) {
    out.u32(kInfoHeaderBytes);  // biSize
    out.i32(width);             // biWidth
    out.i32(height);            // biHeight: positive, rows bottom-up
    out.u16(1);                 // biPlanes
    out.u16(bits);              // biBitCount
    out.u32(0);                 // biCompression: BI_RGB
    out.u32(imageBytes);        // biSizeImage
    out.i32(0);                 // biXPelsPerMeter
    out.i32(0);                 // biYPelsPerMeter
    out.u32(coloursUsed);       // biClrUsed: 0 means the full table of 2^bits entries
    out.u32(0);                 // biClrImportant: all
}

void WritePalette(Appender& out, const std::vector<Rgb>& palette, size_t entries) {
    for (size_t i = 0; i < entries; ++i) {
        Rgb c = i < palette.size() ? palette[i] : Rgb{};
        out.u8(c.blue);
        out.u8(c.green);
        out.u8(c.red);
        out.u8(0);
    }
}

// Colour rows, bottom row first, 4 or 8 bits per pixel, high nibble first for 4 bits.
void WritePixels(Appender& out, const PixelArt& art, int bits) {
    const uint32_t stride = RowBytes(art.width, bits);
    for (int32_t y = art.height - 1; y >= 0; --y) {
        uint32_t written = 0;
        if (bits == 4) {
            for (int32_t x = 0; x < art.width; x += 2) {
                uint8_t hi = art.At(x, y);
                uint8_t lo = x + 1 < art.width ? art.At(x + 1, y) : 0;
                out.u8(uint8_t(hi << 4 | lo));
                ++written;
            }
        } else {
            for (int32_t x = 0; x < art.width; ++x) {
                out.u8(art.At(x, y));
                ++written;
            }
        }
        for (; written < stride; ++written) {
            out.u8(0);
        }
    }
}

// The icon's AND mask: 1 where the screen shows through.
void WriteMask(Appender& out, const PixelArt& art) {
    const uint32_t stride = RowBytes(art.width, 1);
    for (int32_t y = art.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int32_t x = 0; x < art.width; ++x) {
            if (art.At(x, y) == art.transparentIndex) {
                row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
            }
        }
        for (uint8_t b : row) {
            out.u8(b);
        }
    }
}

}  // namespace

bool EncodeBmp4(const PixelArt& art, std::vector<uint8_t>& file, std::string& error) {
    if (art.palette.size() > 16) {
        error = "a 4-bit bitmap holds at most 16 colours, the picture has " +
                std::to_string(art.palette.size());
        return false;
    }
    if (art.transparentIndex >= 0) {
        error = "a bitmap has no transparent pixels";
        return false;
    }
    if (art.width <= 0 || art.height <= 0) {
        error = "empty picture";
        return false;
    }
    const uint32_t paletteBytes = uint32_t(art.palette.size()) * 4;
    const uint32_t imageBytes = RowBytes(art.width, 4) * uint32_t(art.height);
    const uint32_t offBits = kFileHeaderBytes + kInfoHeaderBytes + paletteBytes;
    file.clear();
    Appender out(file);
    out.u8('B');  // bfType
    out.u8('M');
    out.u32(offBits + imageBytes);  // bfSize
    out.u16(0);                     // bfReserved1
    out.u16(0);                     // bfReserved2
    out.u32(offBits);               // bfOffBits
    WriteInfoHeader(out, art.width, art.height, 4, imageBytes, uint32_t(art.palette.size()));
    WritePalette(out, art.palette, art.palette.size());
    WritePixels(out, art, 4);
    if (out.size() != offBits + imageBytes) {
        error = "internal size mismatch";
        return false;
    }
    return true;
}

bool EncodeIco(const std::vector<PixelArt>& images, std::vector<uint8_t>& file,
               std::string& error) {
    if (images.empty() || images.size() > 64) {
        error = "an icon holds 1 to 64 images";
        return false;
    }
    struct Layout {
        int bits;
        uint32_t bytes;
    };
    std::vector<Layout> layouts;
    for (const PixelArt& art : images) {
        if (art.width < 1 || art.width > 256 || art.height < 1 || art.height > 256) {
            error = "icon images are 1 to 256 pixels wide and high";
            return false;
        }
        int bits = art.palette.size() <= 16 ? 4 : 8;
        uint32_t bytes = kInfoHeaderBytes + (uint32_t(1) << bits) * 4 +
                         RowBytes(art.width, bits) * uint32_t(art.height) +
                         RowBytes(art.width, 1) * uint32_t(art.height);
        layouts.push_back({bits, bytes});
    }
    file.clear();
    Appender out(file);
    out.u16(0);                        // idReserved
    out.u16(1);                        // idType: icon
    out.u16(uint16_t(images.size()));  // idCount
    uint32_t offset = kIconDirBytes + kIconEntryBytes * uint32_t(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const PixelArt& art = images[i];
        out.u8(uint8_t(art.width == 256 ? 0 : art.width));    // bWidth (0 means 256)
        out.u8(uint8_t(art.height == 256 ? 0 : art.height));  // bHeight
        out.u8(layouts[i].bits == 4 ? 16 : 0);                // bColorCount (0 for 256)
        out.u8(0);                                            // bReserved
        out.u16(1);                                           // wPlanes
        out.u16(uint16_t(layouts[i].bits));                   // wBitCount
        out.u32(layouts[i].bytes);                            // dwBytesInRes
        out.u32(offset);                                      // dwImageOffset
        offset += layouts[i].bytes;
    }
    for (size_t i = 0; i < images.size(); ++i) {
        const PixelArt& art = images[i];
        const int bits = layouts[i].bits;
        const uint32_t imageBytes = RowBytes(art.width, bits) * uint32_t(art.height) +
                                    RowBytes(art.width, 1) * uint32_t(art.height);
        // An icon image's height counts the colour rows and the mask rows together.
        WriteInfoHeader(out, art.width, art.height * 2, uint16_t(bits), imageBytes, 0);
        WritePalette(out, art.palette, size_t(1) << bits);
        WritePixels(out, art, bits);
        WriteMask(out, art);
    }
    if (out.size() != offset) {
        error = "internal size mismatch";
        return false;
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        error = path + ": cannot create";
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        error = path + ": write failed";
        std::remove(path.c_str());
    }
    return ok;
}

}  // namespace kx::resgen
