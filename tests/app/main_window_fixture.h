// The main window from the program's template, run modally with steps taken on a timer while its
// loop runs, settings under a key of its own, and movies built in memory.
#ifndef KINETRIX_TESTS_APP_MAIN_WINDOW_FIXTURE_H
#define KINETRIX_TESTS_APP_MAIN_WINDOW_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_dialog.h"
#include "framework/recording_app.h"
#include "resources/resource.h"
#include "settings/registry_settings.h"

namespace kx::test {

// A step returns true when done; a step that returns false is taken again at the next tick.
using Step = std::function<bool(CMainDialog&)>;

inline Step Do(std::function<void(CMainDialog&)> action) {
    return [action](CMainDialog& d) {
        action(d);
        return true;
    };
}

// A movie of 8 x 6 pixels, frame f all of palette index f % 4.
void ShowMovie(CMainDialog& d, int32_t frames);
// The settings the tests' main windows use instead of the program's own.
CRegistrySettings TestSettings(const wchar_t* section);
std::wstring TextOf(HWND window);
// The one message shown, as its text and type; an empty text and 0 for none.
std::pair<std::wstring, UINT> OnlyMessage(const RecordingApp& app);

// The main window with the shell call replaced: what it would start is kept instead.
class RecordingMainDialog : public CMainDialog {
public:
    std::vector<SecondCopyStart> started;

protected:
    void StartSecondCopy(const SecondCopyStart& start) override { started.push_back(start); }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the window, taking the steps and then the Exit command; a window still open after
    // 20 s (400 ticks) fails the test and is ended with -7.
    INT_PTR Run(CMainDialog& dialog, std::vector<Step> steps, bool exitAtEnd = true);

    RecordingApp app;
};

}  // namespace kx::test

#endif  // KINETRIX_TESTS_APP_MAIN_WINDOW_FIXTURE_H
