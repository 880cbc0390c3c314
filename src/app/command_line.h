// The program's command line: one file name, optionally in double quotes, and the switches /n
// (no splash panel) and /r (close the running copies and remove the settings).
#ifndef KINETRIX_APP_COMMAND_LINE_H
#define KINETRIX_APP_COMMAND_LINE_H

#include <optional>
#include <string>
#include <string_view>

namespace kx {

constexpr int kSwitchNoSplash = 0x1;
constexpr int kSwitchRemoveSettings = 0x2;

struct CommandLine {
    int switches = 0;
    // The first file named; empty optional when none is.
    std::optional<std::wstring> file;
};

// Parses the text after the program name. A "/" is an option when the character two places on
// is another "/", a double quote, a blank or the end, so "/n" right after a quoted name counts
// (the form a second copy is started with) while "/nx" or "/x" is ordinary text. The first
// text that is neither an option nor a blank is the file name: after a double quote up to the
// next one, else up to the next blank; a second name is ignored.
CommandLine ParseCommandLine(std::wstring_view text);

}  // namespace kx

#endif  // KINETRIX_APP_COMMAND_LINE_H
