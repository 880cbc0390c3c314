#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kx {
namespace {

TEST(CommandLine, SwitchesAndTheFirstFileName) {
    struct Case {
        const wchar_t* text;
        int switches;
        std::optional<std::wstring> file;
    };
    const Case cases[] = {
        {L"", 0, std::nullopt},
        {L"/n", kSwitchNoSplash, std::nullopt},
        {L"/N", kSwitchNoSplash, std::nullopt},
        {L"/r", kSwitchRemoveSettings, std::nullopt},
        {L"/n/r", kSwitchNoSplash | kSwitchRemoveSettings, std::nullopt},
        {L"\"C:\\a b\\x.avi\"/n", kSwitchNoSplash, L"C:\\a b\\x.avi"},
        {L"/n \"C:\\a b\\x.avi\"", kSwitchNoSplash, L"C:\\a b\\x.avi"},
        {L"a.bmp b.bmp", 0, L"a.bmp"},
        {L"a.bmp /n", kSwitchNoSplash, L"a.bmp"},
        {L"/x a.bmp", 0, L"/x"},
        {L"a.bmp /", 0, L"a.bmp"},
        {L"/", 0, L"/"},
        {L"\"unterminated name", 0, L"unterminated name"},
        {L"\"\" /n", kSwitchNoSplash, L""},
        {L"  \t walker.bmp\t/r", kSwitchRemoveSettings, L"walker.bmp"},
        {L"\"歩く 人.bmp\"/n", kSwitchNoSplash, L"歩く 人.bmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command line [" << c.text << "]");
        const CommandLine parsed = ParseCommandLine(c.text);
        EXPECT_EQ(c.switches, parsed.switches);
        EXPECT_EQ(c.file, parsed.file);
    }
}

}  // namespace
}  // namespace kx
