#include "doc/png_palette.h"

#include "doc/animation_document.h"

namespace kx {

// While mapping, opaque colours take indices 1, 2, ... in order of appearance and transparent
// pixels index 0. A 256th opaque colour is only usable when no pixel is transparent; it is
// written as 0 and Finish renumbers everything one down (0 becoming 255).

void RgbaPaletteBuilder::KeepPalette(const std::vector<png::Rgba>& colours) {
    keep_ = true;
    opaque_ = colours;
    indices_.clear();
    for (size_t i = colours.size(); i-- > 0;) {
        indices_[colours[i] | 0xFF000000u] = uint8_t(i);  // the first of equal entries wins
    }
}

void RgbaPaletteBuilder::CountBeyond(png::Rgba colour) {
    if (beyond_.empty()) {
        beyond_.assign(size_t(1) << 24, false);  // one bit per RGB colour
        for (const png::Rgba known : opaque_) {
            beyond_[known & 0xFFFFFFu] = true;
        }
        distinct_ = opaque_.size();
    }
    if (!beyond_[colour & 0xFFFFFFu]) {
        beyond_[colour & 0xFFFFFFu] = true;
        ++distinct_;
    }
}

uint8_t RgbaPaletteBuilder::Index(png::Rgba colour) {
    const uint8_t alpha = png::AlphaOf(colour);
    if (alpha == 0 && !keep_) {
        if (!sawTransparent_) {
            sawTransparent_ = true;
            transparentColour_ = colour;
        }
        return 0;
    }
    if (alpha != 255) {
        ++partialAlpha_;
        return 0;
    }
    if (const auto found = indices_.find(colour); found != indices_.end()) {
        return found->second;
    }
    if (keep_) {
        ++unknown_;
        return 0;
    }
    if (opaque_.size() >= 256 || !beyond_.empty()) {
        CountBeyond(colour);
        return 0;
    }
    opaque_.push_back(colour);
    const uint8_t index = uint8_t(opaque_.size() & 0xFF);  // 1 ... 255, then 0 for the 256th
    indices_.emplace(colour, index);
    return index;
}

void RgbaPaletteBuilder::Map(const std::vector<png::Rgba>& pixels, uint32_t width, uint32_t height,
                             uint32_t stride, uint8_t* out) {
    png::Rgba last = 0;
    uint8_t lastIndex = 0;
    bool haveLast = false;
    for (uint32_t y = 0; y < height; ++y) {
        const png::Rgba* row = pixels.data() + size_t(y) * width;
        uint8_t* dst = out + size_t(height - 1 - y) * stride;
        for (uint32_t x = 0; x < width; ++x) {
            // Neighbouring pixels mostly share a colour: skip the table for a repeat.
            if (!haveLast || row[x] != last) {
                last = row[x];
                lastIndex = Index(last);
                haveLast = png::AlphaOf(last) == 255 || png::AlphaOf(last) == 0;
            }
            dst[x] = lastIndex;
        }
    }
}

std::string RgbaPaletteBuilder::Problem() const {
    if (partialAlpha_ != 0) {
        return std::to_string(partialAlpha_) +
               " pixels are partly transparent (alpha 1 to 254); only fully transparent or "
               "opaque pixels can be opened";
    }
    if (unknown_ != 0) {
        return std::to_string(unknown_) + " pixels have colours outside the palette";
    }
    const uint64_t colours =
        (beyond_.empty() ? opaque_.size() : distinct_) + (sawTransparent_ ? 1 : 0);
    if (colours > 256) {
        return "the picture holds " + std::to_string(colours) +
               " colours; a palette holds at most 256";
    }
    return {};
}

void RgbaPaletteBuilder::Finish(PaletteTable& palette, std::array<uint8_t, 256>& renumber) const {
    for (int i = 0; i < 256; ++i) {
        renumber[size_t(i)] = uint8_t(i);
    }
    palette.count = 0;
    const auto add = [&palette](png::Rgba c) {
        RgbQuad& e = palette.entries[size_t(palette.count++)];
        e.red = uint8_t(c);
        e.green = uint8_t(c >> 8);
        e.blue = uint8_t(c >> 16);
        e.reserved = 0;
    };
    if (sawTransparent_) {
        // The program shows a background colour transparent only when common display modes
        // keep it exact (components of 255 or multiples of 16); black always is.
        const auto exact = [](png::Rgba c, int shift) {
            const uint8_t v = uint8_t(c >> shift);
            return v == 255 || (v & 0x0F) == 0;
        };
        const png::Rgba c = transparentColour_;
        add(exact(c, 0) && exact(c, 8) && exact(c, 16) ? c : 0);
    } else if (!keep_) {
        for (int i = 0; i < 256; ++i) {
            renumber[size_t(i)] = uint8_t(i - 1);  // 0, the 256th colour, becomes 255
        }
    }
    for (const png::Rgba c : opaque_) {
        add(c);
    }
}

}  // namespace kx
