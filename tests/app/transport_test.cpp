// The main window's transport on a movie of four frames: stepping wraps, first and last go to
// the ends, the slider moves the frame, and a typed speed sets the period with the framework's
// messages.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/main_window_fixture.h"

namespace kx::test {
namespace {

TEST_F(MainWindowTest, TransportCommandsMoveTheFrameAndTypedSpeedSetsThePeriod) {
    struct Case {
        const char* name;
        int command;           // 0: the slider is moved to sliderPosition, or the speed typed
        int sliderPosition;    // 0: the speed is typed
        const wchar_t* speed;  // typed text
        int32_t frameNumber;
        int32_t intervalMs;
        const wchar_t* box;  // the message shown, nullptr for none
    };
    const wchar_t* range = L"1 から 60000 までの整数を入力してください。";
    const Case cases[] = {
        {"back from the first frame wraps", ID_PREV_FRAME, 0, nullptr, 4, 100, nullptr},
        {"forward from the last frame wraps", ID_NEXT_FRAME, 0, nullptr, 1, 100, nullptr},
        {"last", ID_LAST_FRAME, 0, nullptr, 4, 100, nullptr},
        {"first", ID_FIRST_FRAME, 0, nullptr, 1, 100, nullptr},
        {"slider", 0, 3, nullptr, 3, 100, nullptr},
        {"speed", 0, 0, L"250", 3, 250, nullptr},
        // Text that is no number keeps the old speed; a number out of range is kept and sets
        // the period all the same (0 becomes 1).
        {"speed cleared", 0, 0, L"", 3, 250, L"整数を入力してください。"},
        {"speed 0", 0, 0, L"0", 3, 1, range},
        {"speed 60000", 0, 0, L"60000", 3, 60000, nullptr},
    };
    CMainDialog dialog;
    std::vector<Step> steps = {Do([](CMainDialog& d) {
        FillMovie(d.document, 4);
        d.documentState = CMainDialog::kLoaded;
        d.ShowLoadedMovie();
    })};
    for (const Case& c : cases) {
        steps.push_back(Do([&c, this](CMainDialog& d) {
            SCOPED_TRACE(c.name);
            app.boxes.clear();
            if (c.command != 0) {
                d.SendMessage(WM_COMMAND, WPARAM(c.command));
            } else if (c.sliderPosition != 0) {
                d.slider.SetPos(c.sliderPosition);
                d.SendMessage(WM_HSCROLL, TB_THUMBTRACK, LPARAM(d.slider.m_hWnd));
            } else {
                ::SetWindowTextW(d.GetDlgItem(IDC_SPEED), c.speed);
            }
            EXPECT_EQ(c.frameNumber, d.frameNumber);
            EXPECT_EQ(c.frameNumber - 1, d.preview.currentFrame);
            EXPECT_EQ(c.frameNumber, d.slider.GetPos());
            EXPECT_EQ(std::to_wstring(c.frameNumber), TextOf(d.GetDlgItem(IDC_FRAME_NUMBER)));
            EXPECT_EQ(c.intervalMs, d.preview.intervalMs);
            ASSERT_EQ(c.box ? 1u : 0u, app.boxes.size());
            if (c.box != nullptr) {
                EXPECT_EQ(std::wstring(c.box), app.boxes[0].text);
            }
        }));
    }
    EXPECT_EQ(IDOK, Run(dialog, steps));
}

}  // namespace
}  // namespace kx::test
