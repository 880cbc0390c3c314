// The application object's start-up: the command line decides between the splash panel, no
// panel, and the removal of the settings without any window.
#include "app/movie_app.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/command_line.h"
#include "dialogs/splash_window.h"
#include "settings/registry_settings.h"

namespace kx {
namespace {

TEST(MovieAppTest, CommandLineChoosesSplashFileAndRemoval) {
    struct Case {
        const wchar_t* commandLine;
        BOOL goesOn;  // InitApplication's result
        bool splash;
        std::optional<std::wstring> file;
    };
    const Case cases[] = {
        {L"", TRUE, true, std::nullopt},
        {L"/n", TRUE, false, std::nullopt},
        {L"\"C:\\a b\\x.avi\"/n", TRUE, false, L"C:\\a b\\x.avi"},
        {L"a.bmp b.bmp", TRUE, true, L"a.bmp"},
        {L"/R", FALSE, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command line [" << c.commandLine << "]");
        CRegistrySettings settings;
        settings.SetSection(L"Setting");
        if (!c.goesOn) {
            ASSERT_TRUE(settings.WriteInt(L"Speed", 55));
        }
        CMovieApp app;
        app.m_commandLine = c.commandLine;
        EXPECT_EQ(c.goesOn, app.InitApplication());
        EXPECT_EQ(c.splash, app.splash != nullptr);
        if (app.splash != nullptr) {
            EXPECT_TRUE(::IsWindowVisible(app.splash->m_hWnd));
        }
        EXPECT_EQ(c.file, app.fileArgument);
        if (!c.goesOn) {
            EXPECT_EQ(100, settings.ReadInt(L"Speed", 100)) << "the settings are removed";
        }
        app.ExitInstance();
        EXPECT_EQ(nullptr, app.splash);
    }
}

}  // namespace
}  // namespace kx
