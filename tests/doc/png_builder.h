// Builds PNG and animated PNG files for the reader tests, chunk by chunk, from pictures given as
// sample values: every colour type, depth and Adam7 interlace, and deliberately broken files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "doc/png_chunks.h"

namespace kx::test {

// The samples of pixel (x, y): one for grey or palette, two for grey + alpha, three for RGB,
// four for RGBA.
using SampleSource = std::function<std::vector<uint16_t>(uint32_t x, uint32_t y)>;

struct PngImage {
    uint32_t width = 1;
    uint32_t height = 1;
    uint8_t depth = 8;
    uint8_t colourType = 3;
    bool interlaced = false;
};

// The image's filtered rows (filter type 0), pass after pass when interlaced.
inline std::vector<uint8_t> FilteredRows(const PngImage& image, const SampleSource& samples) {
    struct Pass {
        uint32_t x0, y0, dx, dy;
    };
    const std::vector<Pass> passes =
        image.interlaced ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                         : std::vector<Pass>{{0, 0, 1, 1}};
    std::vector<uint8_t> out;
    for (const Pass& p : passes) {
        for (uint32_t y = p.y0; y < image.height; y += p.dy) {
            std::vector<uint16_t> row;
            for (uint32_t x = p.x0; x < image.width; x += p.dx) {
                for (uint16_t s : samples(x, y)) {
                    row.push_back(s);
                }
            }
            if (row.empty()) {
                break;  // a pass without columns has no rows either
            }
            out.push_back(0);  // filter type 0
            uint32_t bits = 0;
            uint32_t acc = 0;
            for (uint16_t s : row) {
                if (image.depth == 16) {
                    out.push_back(uint8_t(s >> 8));
                    out.push_back(uint8_t(s));
                    continue;
                }
                acc = acc << image.depth | s;
                bits += image.depth;
                if (bits == 8) {
                    out.push_back(uint8_t(acc));
                    acc = 0;
                    bits = 0;
                }
            }
            if (bits != 0) {
                out.push_back(uint8_t(acc << (8 - bits)));
            }
        }
    }
    return out;
}

inline std::vector<uint8_t> Zlib(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> stream;
    png::Deflate(data, 0, stream);
    return stream;
}

class PngBuilder {
public:
    PngBuilder() : bytes_(std::begin(png::kSignature), std::end(png::kSignature)) {}

    PngBuilder& Chunk(uint32_t type, const std::vector<uint8_t>& data) {
        png::AppendChunk(bytes_, type, data);
        return *this;
    }
    PngBuilder& Header(const PngImage& image) {
        std::vector<uint8_t> d;
        png::PutU32be(d, image.width);
        png::PutU32be(d, image.height);
        d.insert(d.end(), {image.depth, image.colourType, 0, 0, uint8_t(image.interlaced)});
        return Chunk(png::kIHDR, d);
    }
    PngBuilder& Palette(const std::vector<uint32_t>& rgb) {
        std::vector<uint8_t> d;
        for (uint32_t c : rgb) {
            d.insert(d.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        }
        return Chunk(png::kPLTE, d);
    }
    PngBuilder& Image(const PngImage& image, const SampleSource& samples) {
        return Chunk(png::kIDAT, Zlib(FilteredRows(image, samples)));
    }
    PngBuilder& AnimationControl(uint32_t frames, uint32_t plays) {
        std::vector<uint8_t> d;
        png::PutU32be(d, frames);
        png::PutU32be(d, plays);
        return Chunk(png::kACTL, d);
    }
    // fcTL with the next sequence number.
    PngBuilder& FrameControl(uint32_t w, uint32_t h, uint32_t x, uint32_t y, uint16_t delayNum,
                             uint16_t delayDen, uint8_t dispose, uint8_t blend) {
        std::vector<uint8_t> d;
        for (uint32_t v : {sequence_++, w, h, x, y}) {
            png::PutU32be(d, v);
        }
        png::PutU16be(d, delayNum);
        png::PutU16be(d, delayDen);
        d.insert(d.end(), {dispose, blend});
        return Chunk(png::kFCTL, d);
    }
    // fdAT of an image of w x h in the header's format, with the next sequence number.
    PngBuilder& FrameData(PngImage image, uint32_t w, uint32_t h, const SampleSource& samples) {
        image.width = w;
        image.height = h;
        std::vector<uint8_t> d;
        png::PutU32be(d, sequence_++);
        const std::vector<uint8_t> stream = Zlib(FilteredRows(image, samples));
        d.insert(d.end(), stream.begin(), stream.end());
        return Chunk(png::kFDAT, d);
    }
    PngBuilder& End() { return Chunk(png::kIEND, {}); }
    std::vector<uint8_t> Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    uint32_t sequence_ = 0;
};

}  // namespace kx::test
