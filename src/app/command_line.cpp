#include "app/command_line.h"

namespace kx {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The switch bit of an option letter, 0 for a letter that is no option.
int SwitchOf(wchar_t letter) {
    switch (letter) {
        case L'N':
        case L'n':
            return kSwitchNoSplash;
        case L'R':
        case L'r':
            return kSwitchRemoveSettings;
        default:
            return 0;
    }
}

}  // namespace

CommandLine ParseCommandLine(std::wstring_view text) {
    CommandLine result;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const wchar_t c = text[i];
        if (c == L'/' && i + 1 < n) {
            const bool ends =
                i + 2 >= n || text[i + 2] == L'/' || text[i + 2] == L'"' || IsBlank(text[i + 2]);
            const int bit = ends ? SwitchOf(text[i + 1]) : 0;
            if (bit != 0) {
                result.switches |= bit;
                i += 2;
                continue;
            }
        }
        if (!result.file && !IsBlank(c)) {
            const bool quoted = c == L'"';
            const size_t start = quoted ? i + 1 : i;
            size_t end = start;
            while (end < n && (quoted ? text[end] != L'"' : !IsBlank(text[end]))) {
                ++end;
            }
            result.file = std::wstring(text.substr(start, end - start));
            // Scanning goes on after the delimiter; a name without one runs to the end.
            i = end + 1;
            continue;
        }
        ++i;
    }
    return result;
}

}  // namespace kx
