// The main window from the program's template, run modally with steps taken on a timer while its
// loop runs, settings under a key of its own, and movies built in memory.
#ifndef KINETRIX_TESTS_APP_MAIN_WINDOW_FIXTURE_H
#define KINETRIX_TESTS_APP_MAIN_WINDOW_FIXTURE_H

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "framework/recording_app.h"
#include "resources/resource.h"
#include "settings/registry_settings.h"

namespace kx::test {

// The settings key the tests' main windows use instead of the program's own.
constexpr wchar_t kTestSettingsApplication[] = L"KinetrixMainWindowTest";

// A step returns true when done; a step that returns false is taken again at the next tick.
using Step = std::function<bool(CMainDialog&)>;

inline Step Do(std::function<void(CMainDialog&)> action) {
    return [action](CMainDialog& d) {
        action(d);
        return true;
    };
}

// Fills a movie of frames frames of 8 x 6 pixels, frame f all of palette index f % 4.
inline void FillMovie(CAnimationDocument& doc, int32_t frames) {
    constexpr int32_t kWidth = 8;
    constexpr int32_t kHeight = 6;
    const RgbQuad colours[4] = {{200, 16, 16, 0}, {16, 160, 32, 0}, {32, 48, 224, 0}, {0, 0, 0, 0}};
    for (int i = 0; i < 4; ++i) {
        doc.palette.entries[size_t(i)] = colours[i];
    }
    doc.palette.count = 4;
    doc.headerList.stream.format.header.biWidth = kWidth;
    doc.movieList.frames.resize(size_t(frames));
    for (int32_t f = 0; f < frames; ++f) {
        doc.movieList.frames[size_t(f)].data.assign(Stride8(kWidth) * size_t(kHeight),
                                                    uint8_t(f % 4));
    }
    doc.frameCount = frames;
    EXPECT_EQ(1, doc.RebuildHeaders(4, frames, kHeight, kWidth, 100));
}

inline CRegistrySettings TestSettings(const wchar_t* section) {
    CRegistrySettings settings;
    settings.SetApplication(kTestSettingsApplication);
    settings.SetSection(section);
    return settings;
}

inline std::wstring TextOf(HWND window) {
    wchar_t buffer[256] = L"\x2603";  // sentinel: a failed call leaves it
    ::GetWindowTextW(window, buffer, 256);
    return buffer;
}

inline bool MenuChecked(const CMainDialog& d, int id) {
    return (::GetMenuState(::GetMenu(d.m_hWnd), UINT(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
}

inline bool MenuGrayed(const CMainDialog& d, int id) {
    return (::GetMenuState(::GetMenu(d.m_hWnd), UINT(id), MF_BYCOMMAND) & MF_GRAYED) != 0;
}

// The state bits of a strip's button, by command id; 0xFFFF when the strip has no such button.
inline uint16_t ButtonState(const CButtonStrip& strip, int id) {
    const int32_t index = strip.FindById(id, 0);
    return index < 0 ? uint16_t(0xFFFF) : strip.Buttons()[size_t(index)].state;
}

class MainWindowTest : public ::testing::Test {
public:
    static constexpr INT_PTR kWatchdogResult = -7;

protected:

    void SetUp() override;
    void TearDown() override;

    // Runs the window, taking the steps and then the Exit command; a window still open after
    // 20 s is ended with kWatchdogResult.
    INT_PTR Run(CMainDialog& dialog, std::vector<Step> steps, bool exitAtEnd = true);

    RecordingApp app;
};

}  // namespace kx::test

#endif  // KINETRIX_TESTS_APP_MAIN_WINDOW_FIXTURE_H
