#include "app/command_line.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(CommandLine, SwitchesAndTheFirstFileName) {
    struct Case {
        const wchar_t* text;
        int switches;
        const wchar_t* file;  // null: no file named
    };
    const Case cases[] = {
        {L"", 0, nullptr},
        {L"/n", kSwitchNoSplash, nullptr},
        {L"/N", kSwitchNoSplash, nullptr},
        {L"/r", kSwitchRemoveSettings, nullptr},
        {L"/R", kSwitchRemoveSettings, nullptr},
        {L"/n/r", kSwitchNoSplash | kSwitchRemoveSettings, nullptr},
        {L"\"C:\\a b\\x.avi\"/n", kSwitchNoSplash, L"C:\\a b\\x.avi"},
        {L"/n \"C:\\a b\\x.avi\"", kSwitchNoSplash, L"C:\\a b\\x.avi"},
        {L"a.bmp b.bmp", 0, L"a.bmp"},
        {L"a.bmp /n", kSwitchNoSplash, L"a.bmp"},
        {L"/x a.bmp", 0, L"/x"},
        {L"/nx a.bmp", 0, L"/nx"},
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
        ASSERT_EQ(c.file != nullptr, parsed.file.has_value());
        if (c.file != nullptr) {
            EXPECT_EQ(std::wstring(c.file), *parsed.file);
        }
    }
}

}  // namespace
}  // namespace kx
