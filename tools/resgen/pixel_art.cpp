#include "pixel_art.h"

#include <array>
#include <charconv>
#include <fstream>
#include <sstream>

namespace kx::resgen {
namespace {

constexpr size_t kMaxColours = 256;
constexpr int32_t kMaxSide = 1024;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Splits on blanks and tabs.
std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) {
            ++i;
        }
        size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(s.substr(start, i - start));
        }
    }
    return words;
}

bool ParseComponent(std::string_view word, uint8_t& value) {
    unsigned v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
    if (ec != std::errc() || end != word.data() + word.size() || v > 255) {
        return false;
    }
    value = static_cast<uint8_t>(v);
    return true;
}

}  // namespace

bool ParsePixelArt(std::string_view text, PixelArt& art, std::string& error) {
    enum class Section { None, Legend, Pixels } section = Section::None;
    std::array<int, 256> indexOf;
    indexOf.fill(-1);
    PixelArt result;
    int lineNumber = 0;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) {
            eol = text.size();
        }
        std::string_view raw = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNumber;
        std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line == "legend") {
            if (section != Section::None) {
                return fail("'legend' must come first and only once");
            }
            section = Section::Legend;
            continue;
        }
        if (line == "pixels") {
            if (section != Section::Legend) {
                return fail("'pixels' must follow the legend");
            }
            section = Section::Pixels;
            continue;
        }
        if (section == Section::None) {
            return fail("expected 'legend'");
        }
        if (section == Section::Legend) {
            std::vector<std::string_view> w = Words(line);
            if (w.empty() || w[0].size() != 1) {
                return fail("a legend entry starts with one character");
            }
            unsigned char c = static_cast<unsigned char>(w[0][0]);
            if (indexOf[c] != -1) {
                return fail(std::string("character '") + char(c) + "' listed twice");
            }
            if (result.palette.size() >= kMaxColours) {
                return fail("more than 256 colours");
            }
            Rgb rgb;
            if (w.size() == 2 && w[1] == "transparent") {
                if (result.transparentIndex >= 0) {
                    return fail("only one transparent character is allowed");
                }
                result.transparentIndex = static_cast<int32_t>(result.palette.size());
            } else if (w.size() != 4 || !ParseComponent(w[1], rgb.red) ||
                       !ParseComponent(w[2], rgb.green) || !ParseComponent(w[3], rgb.blue)) {
                return fail("a legend entry is 'C R G B' (0..255) or 'C transparent'");
            }
            indexOf[c] = static_cast<int>(result.palette.size());
            result.palette.push_back(rgb);
            continue;
        }
        // Pixel rows keep their blanks only as an error: a blank is never a legend character.
        std::string_view row = Trim(raw);
        if (result.height == 0) {
            if (row.size() > size_t(kMaxSide)) {
                return fail("row longer than 1024 pixels");
            }
            result.width = static_cast<int32_t>(row.size());
        } else if (row.size() != size_t(result.width)) {
            return fail("row of " + std::to_string(row.size()) + " pixels, expected " +
                        std::to_string(result.width));
        }
        if (result.height >= kMaxSide) {
            return fail("more than 1024 rows");
        }
        for (char ch : row) {
            int index = indexOf[static_cast<unsigned char>(ch)];
            if (index < 0) {
                return fail(std::string("character '") + ch + "' is not in the legend");
            }
            result.pixels.push_back(static_cast<uint8_t>(index));
        }
        ++result.height;
    }
    lineNumber = 0;
    if (section != Section::Pixels || result.height == 0) {
        error = "no pixel rows";
        return false;
    }
    art = std::move(result);
    return true;
}

bool LoadPixelArt(const std::string& path, PixelArt& art, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!ParsePixelArt(text.str(), art, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace kx::resgen
