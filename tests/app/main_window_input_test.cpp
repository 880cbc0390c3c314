// The main window under the real mouse and keyboard (input through the system's queue, so that
// capture, focus, accelerators and painting take part) and as the screen shows it.
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "app/main_window_fixture.h"
#include "framework/real_input.h"

namespace kx::test {
namespace {

// Waits until ready holds, at most ticks ticks of the stepper; a wait that runs out fails the
// test with what.
Step Until(std::function<bool(CMainDialog&)> ready, const char* what, int ticks = 60) {
    auto left = std::make_shared<int>(ticks);
    return [=](CMainDialog& d) {
        if (ready(d)) {
            return true;
        }
        if (--*left > 0) {
            return false;
        }
        ADD_FAILURE() << what;
        return true;
    };
}

// Lets the window take its messages for a few ticks.
Step Pause(int ticks) {
    auto left = std::make_shared<int>(ticks);
    return [=](CMainDialog&) { return --*left <= 0; };
}

// The middle of a strip button on the screen.
POINT ButtonCentre(const CButtonStrip& strip, int commandId) {
    const int32_t index = strip.FindById(commandId, 0);
    const StripGeometry& g = strip.Geometry();
    POINT p{strip.Buttons()[size_t(index)].x + g.cellSize / 2, g.stripTop + g.cellSize / 2};
    ::ClientToScreen(strip.m_hWnd, &p);
    return p;
}

RECT ScreenRect(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

// The window in front with a movie of 8 frames, the pointer away from it.
Step ShownInFront() {
    return Do([](CMainDialog& d) {
        ShowMovie(d, 8);
        ::SetForegroundWindow(d.m_hWnd);
        MovePointer(POINT{0, 0});
    });
}

TEST_F(MainWindowTest, AcceleratorsWorkWhileThePointerRestsOnAStripButton) {
    RecordingMainDialog dialog;
    int32_t frameBefore = 0;
    Run(dialog, {ShownInFront(),
                 Do([](CMainDialog& d) { ClickAt(ButtonCentre(d.playBar, ID_PLAY_PAUSE)); }),
                 Until([](CMainDialog& d) { return d.playing != 0; }, "the click did not play"),
                 Pause(4), Do([](CMainDialog&) { PressKeys({VK_F5}); }),
                 Until([](CMainDialog& d) { return d.playing == 0; }, "F5 did not pause"),
                 Do([&](CMainDialog& d) {
                     frameBefore = d.frameNumber;
                     PressKeys({VK_CONTROL, VK_RIGHT});
                 }),
                 Until([&](CMainDialog& d) { return d.frameNumber == frameBefore % 8 + 1; },
                       "Ctrl+Right did not step")});
}

}  // namespace
}  // namespace kx::test
