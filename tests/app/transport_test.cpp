// The main window's transport commands on a movie in memory: stepping, first and last frame,
// the slider, the speed field, play/pause, repeat and the notifications of a running play.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/main_window_fixture.h"

namespace kx::test {
namespace {

constexpr int32_t kFrames = 4;

Step ShowMovie() {
    return Do([](CMainDialog& d) {
        FillMovie(d.document, kFrames);
        d.path = L"C:\\movies\\walk.bmp";
        d.documentState = CMainDialog::kLoaded;
        d.ShowLoadedMovie();
    });
}

TEST_F(MainWindowTest, StepsWrapAroundAndFirstAndLastGoToTheEnds) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        int sliderPosition;  // for the slider: where it is moved to first
        int32_t frameNumber;
    };
    const Case cases[] = {
        {"back from the first frame wraps to the last", WM_COMMAND, ID_PREV_FRAME, 0, 4},
        {"forward from the last frame wraps to the first", WM_COMMAND, ID_NEXT_FRAME, 0, 1},
        {"forward", WM_COMMAND, ID_NEXT_FRAME, 0, 2},
        {"back", WM_COMMAND, ID_PREV_FRAME, 0, 1},
        {"last", WM_COMMAND, ID_LAST_FRAME, 0, 4},
        {"last again", WM_COMMAND, ID_LAST_FRAME, 0, 4},
        {"first", WM_COMMAND, ID_FIRST_FRAME, 0, 1},
        {"first again", WM_COMMAND, ID_FIRST_FRAME, 0, 1},
        {"accelerator forward", WM_COMMAND, MAKEWPARAM(ID_NEXT_FRAME, 1), 0, 2},
        {"slider dragged", WM_HSCROLL, TB_THUMBTRACK, 3, 3},
        {"slider paged", WM_HSCROLL, TB_PAGEDOWN, 1, 1},
    };
    CMainDialog dialog;
    std::vector<Step> steps = {ShowMovie()};
    for (const Case& c : cases) {
        steps.push_back(Do([&c](CMainDialog& d) {
            SCOPED_TRACE(c.name);
            if (c.message == WM_HSCROLL) {
                d.slider.SetPos(c.sliderPosition);
                d.SendMessage(WM_HSCROLL, c.wParam, LPARAM(d.slider.m_hWnd));
            } else {
                d.SendMessage(c.message, c.wParam);
            }
            EXPECT_EQ(c.frameNumber, d.frameNumber);
            EXPECT_EQ(c.frameNumber - 1, d.preview.currentFrame);
            EXPECT_EQ(c.frameNumber, d.slider.GetPos());
            EXPECT_EQ(std::to_wstring(c.frameNumber), TextOf(d.GetDlgItem(IDC_FRAME_NUMBER)));
        }));
    }
    EXPECT_EQ(IDOK, Run(dialog, steps));
}

TEST_F(MainWindowTest, TypedSpeedSetsThePeriodAndShowsTheFrameworkMessages) {
    struct Case {
        const wchar_t* text;
        int32_t speedMs;
        int32_t intervalMs;
        const wchar_t* box;  // nullptr: no message
    };
    const Case cases[] = {
        {L"250", 250, 250, nullptr},
        // Not a number: the old speed stays, and the period with it.
        {L"", 250, 250, L"整数を入力してください。"},
        {L"1", 1, 1, nullptr},
        // Out of range: kept all the same, and the period follows (0 is raised to 1).
        {L"0", 0, 1, L"1 から 60000 までの整数を入力してください。"},
        {L"60000", 60000, 60000, nullptr},
        {L"60001", 60001, 60001, L"1 から 60000 までの整数を入力してください。"},
        {L"40", 40, 40, nullptr},
    };
    CMainDialog dialog;
    std::vector<Step> steps = {ShowMovie()};
    for (const Case& c : cases) {
        steps.push_back(Do([&c, this](CMainDialog& d) {
            SCOPED_TRACE(testing::Message() << "speed text \"" << c.text << "\"");
            app.boxes.clear();
            ::SetWindowTextW(d.GetDlgItem(IDC_SPEED), c.text);
            EXPECT_EQ(c.speedMs, d.speedMs);
            EXPECT_EQ(c.intervalMs, d.preview.intervalMs);
            if (c.box == nullptr) {
                EXPECT_EQ(0u, app.boxes.size());
            } else {
                ASSERT_EQ(1u, app.boxes.size());
                EXPECT_EQ(std::wstring(c.box), app.boxes[0].text);
            }
        }));
    }
    EXPECT_EQ(IDOK, Run(dialog, steps));
}

TEST_F(MainWindowTest, SpeedFieldIsIgnoredWithoutAMovie) {
    CMainDialog dialog;
    int32_t interval = -1;
    Run(dialog, {Do([&](CMainDialog& d) {
            ::SetWindowTextW(d.GetDlgItem(IDC_SPEED), L"");
            interval = d.preview.intervalMs;
            ::SetWindowTextW(d.GetDlgItem(IDC_SPEED), L"100");
        })});
    EXPECT_EQ(0u, app.boxes.size());
    EXPECT_EQ(100, interval);
}

TEST_F(MainWindowTest, PlayPauseMarksFollowThePlayAndASinglePassEndsOnTheLastFrame) {
    CMainDialog dialog;
    struct Seen {
        int32_t playing;
        bool menu;
        uint16_t button;
        int32_t passes;
    };
    auto see = [](CMainDialog& d) {
        return Seen{d.playing, MenuChecked(d, ID_PLAY_PAUSE),
                    uint16_t(ButtonState(d.playBar, ID_PLAY_PAUSE) & StripState::kCheckMask),
                    d.preview.passesLeft};
    };
    Seen playingRepeat{}, paused{}, playingOnce{}, ended{};
    int32_t endFrame = 0;
    Run(dialog, {ShowMovie(), Do([&](CMainDialog& d) {
                     d.SendMessage(WM_COMMAND, ID_PLAY_PAUSE);
                     playingRepeat = see(d);
                     d.SendMessage(WM_COMMAND, ID_PLAY_PAUSE);
                     paused = see(d);
                     // One pass at 10 ms per frame, from the first frame.
                     ::SetWindowTextW(d.GetDlgItem(IDC_SPEED), L"10");
                     d.SendMessage(WM_COMMAND, ID_FIRST_FRAME);
                     d.SendMessage(WM_COMMAND, ID_PLAY_REPEAT);
                     d.SendMessage(WM_COMMAND, ID_PLAY_PAUSE);
                     playingOnce = see(d);
                 }),
                 [&](CMainDialog& d) {
                     if (d.playing) {
                         return false;
                     }
                     ended = see(d);
                     endFrame = d.frameNumber;
                     return true;
                 }});
    EXPECT_EQ(1, playingRepeat.playing);
    EXPECT_TRUE(playingRepeat.menu);
    EXPECT_EQ(StripState::kChecked, playingRepeat.button);
    EXPECT_EQ(CPreviewWindow::kRepeatPasses, playingRepeat.passes);
    EXPECT_EQ(0, paused.playing);
    EXPECT_FALSE(paused.menu);
    EXPECT_EQ(0, paused.button);
    EXPECT_EQ(0, paused.passes);
    EXPECT_EQ(1, playingOnce.passes);
    EXPECT_TRUE(playingOnce.menu);
    EXPECT_FALSE(ended.menu);
    EXPECT_EQ(0, ended.button);
    EXPECT_EQ(kFrames, endFrame);
}

TEST_F(MainWindowTest, RepeatToggledDuringAPlayRestartsThePassCount) {
    CMainDialog dialog;
    int32_t passesAfterOff = 0;
    int32_t passesAfterOn = 0;
    bool menuOff = true;
    uint16_t buttonOff = 1;
    Run(dialog, {ShowMovie(), Do([&](CMainDialog& d) {
                     ::SetWindowTextW(d.GetDlgItem(IDC_SPEED), L"60000");
                     d.SendMessage(WM_COMMAND, ID_PLAY_PAUSE);
                     d.SendMessage(WM_COMMAND, ID_PLAY_REPEAT);
                     passesAfterOff = d.preview.passesLeft;
                     menuOff = MenuChecked(d, ID_PLAY_REPEAT);
                     buttonOff = ButtonState(d.viewBar, ID_PLAY_REPEAT) & StripState::kCheckMask;
                     d.SendMessage(WM_COMMAND, ID_PLAY_REPEAT);
                     passesAfterOn = d.preview.passesLeft;
                 })});
    EXPECT_EQ(1, passesAfterOff);
    EXPECT_FALSE(menuOff);
    EXPECT_EQ(0, buttonOff);
    EXPECT_EQ(CPreviewWindow::kRepeatPasses, passesAfterOn);
}

}  // namespace
}  // namespace kx::test
