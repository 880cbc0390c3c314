// The main window under the real mouse and keyboard (input through the system's queue, so that
// capture, focus, accelerators and painting take part) and as the screen shows it.
#include <windows.h>

#include <algorithm>
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

// The middle of the window's maximise button on the screen, found by asking the window what
// stands at each point of its top; (-1, -1) without one.
POINT MaximiseButton(HWND window) {
    const RECT r = ScreenRect(window);
    RECT button{r.right, r.bottom, r.left, r.top};
    for (LONG y = r.top; y < r.top + 48; ++y) {
        for (LONG x = r.left; x < r.right; ++x) {
            if (::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTMAXBUTTON) {
                button = {std::min(button.left, x), std::min(button.top, y),
                          std::max(button.right, x), std::max(button.bottom, y)};
            }
        }
    }
    if (button.left > button.right) {
        return POINT{-1, -1};
    }
    return POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
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

// Where a control stands on the screen shows its own pixels: the speed field's inside has the
// window colour at its new place, and none is left at its old one.
void ExpectSpeedFieldPaintedWhereItStands(CMainDialog& d, const RECT& before, const char* when) {
    SCOPED_TRACE(when);
    if (const char* folder = std::getenv("KX_SCREEN_DIR")) {
        const std::string path = std::string(folder) + "/" + when + ".bmp";
        SaveScreen(std::wstring(path.begin(), path.end()).c_str());
    }
    const RECT now = ScreenRect(d.GetDlgItem(IDC_SPEED));
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    // Beside the digits, which stand on the right.
    EXPECT_EQ(window, ScreenPixel(POINT{now.left + 4, (now.top + now.bottom) / 2}));
    EXPECT_NE(window, ScreenPixel(POINT{before.left + 4, (before.top + before.bottom) / 2}))
        << "the field's old place still shows it";
}

TEST_F(MainWindowTest, AfterAResizeTheControlsBelowThePreviewArePaintedWhereTheyStand) {
    RecordingMainDialog dialog;
    RECT field{};
    POINT grip{};
    int32_t heightBefore = 0;
    auto dragTo = [&](int dy) {
        return Do([&, dy](CMainDialog&) { MovePointer({grip.x, grip.y + dy}); });
    };
    Run(dialog, {ShownInFront(), Pause(4), Do([&](CMainDialog& d) {
                     field = ScreenRect(d.GetDlgItem(IDC_SPEED));
                     heightBefore = ScreenRect(d.m_hWnd).bottom - ScreenRect(d.m_hWnd).top;
                     grip = CentreOf(d.GetDlgItem(IDC_SIZE_GRIP));
                     MovePointer(grip);
                     LeftButton(true);
                 }),
                 dragTo(30), dragTo(80), dragTo(140), Do([](CMainDialog&) { LeftButton(false); }),
                 Until(
                     [&](CMainDialog& d) {
                         return ScreenRect(d.m_hWnd).bottom - ScreenRect(d.m_hWnd).top >=
                                heightBefore + 120;
                     },
                     "the drag of the size grip did not make the window taller"),
                 Pause(6), Do([&](CMainDialog& d) {
                     ExpectSpeedFieldPaintedWhereItStands(d, field, "taller");
                     // "No." stands as the template puts it beside the frame number (2 units
                     // lower), after the start-up layout and the resize alike.
                     RECT template_{0, 90, 0, 92};
                     ::MapDialogRect(d.m_hWnd, &template_);
                     EXPECT_EQ(template_.bottom - template_.top,
                               ScreenRect(d.GetDlgItem(IDC_FRAME_NUMBER_LABEL)).top -
                                   ScreenRect(d.GetDlgItem(IDC_FRAME_NUMBER)).top);
                     field = ScreenRect(d.GetDlgItem(IDC_SPEED));
                     const POINT maximise = MaximiseButton(d.m_hWnd);
                     ASSERT_NE(-1, maximise.x) << "no maximise button on the caption";
                     ClickAt(maximise);
                 }),
                 Until([](CMainDialog& d) { return ::IsZoomed(d.m_hWnd) != FALSE; },
                       "the click on the maximise button did not maximise"),
                 Pause(6), Do([&](CMainDialog& d) {
                     ExpectSpeedFieldPaintedWhereItStands(d, field, "maximised");
                     d.ShowWindow(SW_RESTORE);
                 })});
}

int FirstVisibleCharacter(HWND edit) {
    return static_cast<int>(::SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
}

TEST_F(MainWindowTest, EverySpeedInRangeCanBeTypedAndIsShownWhole) {
    RecordingMainDialog dialog;
    HWND field = nullptr;
    Run(dialog,
        {ShownInFront(), Do([&](CMainDialog& d) {
             field = d.GetDlgItem(IDC_SPEED);
             ClickAt(CentreOf(field));
             PressKeys({VK_HOME});
             PressKeys({VK_SHIFT, VK_END});
             TypeDigits(L"60000");
         }),
         Until([](CMainDialog& d) { return d.speedMs == 60000; }, "60000 could not be typed"),
         Do([&](CMainDialog& d) {
             EXPECT_EQ(L"60000", TextOf(field));
             EXPECT_EQ(0, FirstVisibleCharacter(field)) << "60000 is not shown whole";
             // The up arrow of the spin from 9999.
             ::SetWindowTextW(field, L"9999");
             RECT spin{};
             ::GetWindowRect(d.GetDlgItem(IDC_SPEED_SPIN), &spin);
             ClickAt(POINT{(spin.left + spin.right) / 2, spin.top + 3});
         }),
         Until([](CMainDialog& d) { return d.speedMs == 10000; }, "the spin did not go up"),
         Do([&](CMainDialog&) {
             EXPECT_EQ(L"10000", TextOf(field));
             EXPECT_EQ(0, FirstVisibleCharacter(field)) << "10000 is not shown whole";
         })});
}

// The context-help button of the upper strip starts the question-mark pointer; the next click
// asks help for the control under it instead of working it.
TEST_F(MainWindowTest, TheContextHelpButtonAsksHelpForTheNextControlClicked) {
    RecordingMainDialog dialog;
    Run(dialog, {ShownInFront(),
                 Do([](CMainDialog& d) { ClickAt(ButtonCentre(d.viewBar, ID_CONTEXT_HELP)); }),
                 Pause(4), Do([](CMainDialog& d) {
                     EXPECT_EQ(::LoadCursorW(nullptr, IDC_HELP), ::GetCursor());
                     ClickAt(CentreOf(d.GetDlgItem(IDC_SPEED)));
                 }),
                 Until([this](CMainDialog&) { return !app.helpCalls.empty(); },
                       "the click asked for no help"),
                 Pause(4), Do([&](CMainDialog& d) {
                     EXPECT_EQ(1u, app.helpCalls.size());
                     EXPECT_NE(d.GetDlgItem(IDC_SPEED), ::GetFocus())
                         << "the click worked the field";
                     // Escape ends the mode without help.
                     app.helpCalls.clear();
                     ClickAt(ButtonCentre(d.viewBar, ID_CONTEXT_HELP));
                 }),
                 Pause(4), Do([](CMainDialog&) { PressKeys({VK_ESCAPE}); }), Pause(4),
                 Do([&](CMainDialog& d) { ClickAt(CentreOf(d.GetDlgItem(IDC_SPEED))); }), Pause(4),
                 Do([&](CMainDialog& d) {
                     EXPECT_TRUE(app.helpCalls.empty());
                     EXPECT_EQ(d.GetDlgItem(IDC_SPEED), ::GetFocus());
                 })});
}

}  // namespace
}  // namespace kx::test
