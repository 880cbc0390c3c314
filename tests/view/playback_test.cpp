// Playback on the preview's timer: passes, wrapping, the owner's notifications, the interval
// and stopping.
#include <windows.h>

#include <gtest/gtest.h>

#include "view/preview_fixture.h"

namespace kx::test {
namespace {

const std::vector<COLORREF> kFrameColours = {kRed, kGreen, kBlue, kYellow};

class PlaybackTest : public PreviewTest {
protected:
    void SetUp() override {
        PreviewTest::SetUp();
        Resize(8, 8);
    }
    // A movie whose frame f is filled with colour f.
    void Bind(int32_t frames, int32_t periodMs = 100) {
        movie = MakeMovie(
            8, 8, frames, kFrameColours, [](int32_t f, int32_t, int32_t) { return uint8_t(f % 4); },
            periodMs);
        preview.SetDocument(movie.get());
    }
    void Tick() { preview.SendMessage(WM_TIMER, CPreviewWindow::kPlaybackTimer, 0); }
    COLORREF Shown() {
        HDC dc = ::GetDC(preview.m_hWnd);
        const COLORREF c = ::GetPixel(dc, 0, 0);
        ::ReleaseDC(preview.m_hWnd, dc);
        return c;
    }
    std::vector<int32_t> NoticeFrames() const {
        std::vector<int32_t> frames;
        for (const Owner::Notice& n : owner.notices) {
            frames.push_back(n.currentFrame);
        }
        return frames;
    }

    std::unique_ptr<CAnimationDocument> movie;
};

TEST_F(PlaybackTest, OnePassFromTheFirstFrameShowsEachFrameThenStopsOnTheLast) {
    Bind(4);
    preview.Play(1);
    EXPECT_EQ(1, preview.currentFrame);
    EXPECT_EQ(1, preview.passesLeft);
    EXPECT_EQ(kGreen, Shown());
    EXPECT_TRUE(owner.notices.empty());

    Tick();
    Tick();
    Tick();
    EXPECT_EQ((std::vector<int32_t>{2, 3, 3}), NoticeFrames());
    ASSERT_EQ(3u, owner.notices.size());
    EXPECT_EQ(1, owner.notices[0].passesLeft);
    EXPECT_EQ(1, owner.notices[1].passesLeft);
    EXPECT_EQ(0, owner.notices[2].passesLeft);
    for (const Owner::Notice& n : owner.notices) {
        EXPECT_EQ(WPARAM(MAKEWPARAM(kPreviewId, 0)), n.wParam);
        EXPECT_EQ(reinterpret_cast<LPARAM>(preview.m_hWnd), n.lParam);
    }
    // The owner hears of each step before the new frame is drawn.
    EXPECT_EQ(kGreen, owner.notices[0].shown);
    EXPECT_EQ(kBlue, owner.notices[1].shown);
    EXPECT_EQ(kYellow, owner.notices[2].shown);
    EXPECT_EQ(kYellow, Shown());
    EXPECT_FALSE(TimerFires(60));
}

TEST_F(PlaybackTest, RealTimerTicksPlayThePassToTheEnd) {
    Bind(4, 5);
    preview.Play(1);
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (preview.passesLeft > 0 && ::GetTickCount() - start < 5000) {
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&msg);
        } else {
            ::Sleep(1);
        }
    }
    EXPECT_EQ((std::vector<int32_t>{2, 3, 3}), NoticeFrames());
    EXPECT_EQ(0, preview.passesLeft);
    EXPECT_FALSE(TimerFires(60));
}

TEST_F(PlaybackTest, RepeatWrapsToTheFirstFrameAndCountsOnePassPerWrap) {
    Bind(3);
    preview.Play(CPreviewWindow::kRepeatPasses);
    Tick();
    Tick();
    Tick();
    Tick();
    EXPECT_EQ((std::vector<int32_t>{2, 0, 1, 2}), NoticeFrames());
    EXPECT_EQ(CPreviewWindow::kRepeatPasses - 1, preview.passesLeft);
    EXPECT_EQ(kBlue, Shown());
    EXPECT_TRUE(TimerFires(1000));
}

TEST_F(PlaybackTest, OneFrameMovieWithRepeatKeepsTicking) {
    Bind(1, 5);
    preview.Play(CPreviewWindow::kRepeatPasses);
    EXPECT_EQ(0, preview.currentFrame);
    Tick();
    Tick();
    EXPECT_EQ((std::vector<int32_t>{0, 0}), NoticeFrames());
    EXPECT_EQ(CPreviewWindow::kRepeatPasses - 2, preview.passesLeft);
    EXPECT_TRUE(TimerFires(1000));
}

TEST_F(PlaybackTest, PlayOnTheLastFrameStartsAgainAtTheFirst) {
    Bind(4);
    preview.SetFrame(3);
    preview.Play(1);
    EXPECT_EQ(0, preview.currentFrame);
    EXPECT_EQ(kRed, Shown());
}

TEST_F(PlaybackTest, PlayWithoutFramesDoesNothing) {
    preview.Play(1);
    EXPECT_EQ(0, preview.passesLeft);
    EXPECT_EQ(0, preview.currentFrame);
    EXPECT_FALSE(TimerFires(60));

    Bind(0);
    preview.Play(CPreviewWindow::kRepeatPasses);
    EXPECT_EQ(0, preview.passesLeft);
    EXPECT_FALSE(TimerFires(60));
}

TEST_F(PlaybackTest, PlayZeroStopsAndKeepsTheFrame) {
    Bind(4, 5);
    preview.Play(CPreviewWindow::kRepeatPasses);
    Tick();
    preview.Play(0);
    EXPECT_EQ(0, preview.passesLeft);
    EXPECT_EQ(2, preview.currentFrame);
    EXPECT_EQ(kBlue, Shown());
    EXPECT_FALSE(TimerFires(60));
}

TEST_F(PlaybackTest, TicksWhileStoppedChangeNothing) {
    Bind(4);
    preview.SetFrame(3);
    Tick();
    EXPECT_EQ(3, preview.currentFrame);
    EXPECT_EQ(0, preview.passesLeft);
    EXPECT_TRUE(owner.notices.empty());

    preview.SetDocument(nullptr);
    Tick();
    EXPECT_EQ(0, preview.currentFrame);
    EXPECT_EQ(0, preview.passesLeft);
    EXPECT_TRUE(owner.notices.empty());
}

TEST_F(PlaybackTest, SetIntervalDuringPlaybackTakesEffectAtOnce) {
    Bind(4, 60000);
    EXPECT_EQ(60000, preview.intervalMs);
    preview.Play(1);
    EXPECT_FALSE(TimerFires(60));
    preview.SetInterval(5);
    EXPECT_EQ(5, preview.intervalMs);
    EXPECT_TRUE(TimerFires(1000));
}

TEST_F(PlaybackTest, SetIntervalWhileStoppedArmsNoTimer) {
    Bind(4);
    preview.SetInterval(5);
    EXPECT_EQ(5, preview.intervalMs);
    EXPECT_FALSE(TimerFires(60));
    // Only 0 is raised to 1.
    preview.SetInterval(0);
    EXPECT_EQ(1, preview.intervalMs);
    preview.SetInterval(-3);
    EXPECT_EQ(-3, preview.intervalMs);
}

TEST_F(PlaybackTest, UnbindingStopsPlayback) {
    Bind(4, 5);
    preview.Play(CPreviewWindow::kRepeatPasses);
    preview.SetDocument(nullptr);
    EXPECT_EQ(0, preview.passesLeft);
    EXPECT_EQ(0, preview.frameCount);
    EXPECT_EQ(0, preview.intervalMs);
    EXPECT_FALSE(TimerFires(60));
    EXPECT_EQ(ButtonFace(), Shown());
    EXPECT_TRUE(owner.notices.empty());
}

}  // namespace
}  // namespace kx::test
