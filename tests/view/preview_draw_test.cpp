// Frames drawn by the preview and read back: palette colours, margins, fitting, transparency,
// tall frames, and the frame and height setters.
#include <windows.h>

#include <gtest/gtest.h>

#include "view/preview_fixture.h"

namespace kx::test {
namespace {

const std::vector<COLORREF> kColours = {kRed, kGreen, kBlue, kMagenta, kYellow};

// Index (x + 2y) mod 4 at every pixel: neighbours differ in both directions.
uint8_t Diagonal(int32_t, int32_t x, int32_t y) {
    return uint8_t((x + 2 * y) % 4);
}

using PreviewDrawTest = PreviewTest;

TEST_F(PreviewDrawTest, WithoutFramesTheControlIsButtonFaceOnly) {
    Resize(40, 30);
    Canvas canvas(40, 30);
    EXPECT_EQ(1, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 40, 30, ButtonFace()));

    // A bound movie with no frames draws the same, even without erase.
    auto empty = MakeMovie(8, 8, 0, kColours, Diagonal);
    preview.SetDocument(empty.get());
    canvas.Fill(Canvas::kSentinel);
    EXPECT_EQ(1, preview.Draw(canvas.Dc(), FALSE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 40, 30, ButtonFace()));
}

TEST_F(PreviewDrawTest, PixelsAreThePaletteColoursOfTheFrameTopRowFirst) {
    Resize(40, 30);
    auto movie = MakeMovie(40, 30, 1, kColours, Diagonal);
    preview.SetDocument(movie.get());
    EXPECT_EQ(40, preview.frameWidth);
    EXPECT_EQ(30, preview.frameHeight);
    EXPECT_EQ(30, preview.shownHeight);
    EXPECT_EQ(100, preview.intervalMs);
    ASSERT_TRUE(preview.palette);

    Canvas canvas(40, 30);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    int wrong = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            wrong += canvas.At(x, y) != kColours[Diagonal(0, x, y)] ? 1 : 0;
        }
    }
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(kRed, canvas.At(0, 0));
    EXPECT_EQ(kBlue, canvas.At(0, 1));
}

TEST_F(PreviewDrawTest, EveryOf256PaletteEntriesReachesTheScreen) {
    Resize(256, 2);
    std::vector<COLORREF> colours;
    for (int i = 0; i < 256; ++i) {
        colours.push_back(RGB(i, 255 - i, (i * 7) & 0xFF));
    }
    auto movie = MakeMovie(256, 2, 1, colours, [](int32_t, int32_t x, int32_t y) {
        return uint8_t(y == 0 ? x : 255 - x);
    });
    preview.SetDocument(movie.get());
    Canvas canvas(256, 2);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    int wrong = 0;
    for (int x = 0; x < 256; ++x) {
        wrong += canvas.At(x, 0) != colours[size_t(x)] ? 1 : 0;
        wrong += canvas.At(x, 1) != colours[size_t(255 - x)] ? 1 : 0;
    }
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(colours[255], canvas.At(255, 0));
}

TEST_F(PreviewDrawTest, CentredFrameHasButtonFaceMarginsWithTheOddColumnOnTheRight) {
    Resize(101, 100);
    auto movie = MakeMovie(50, 100, 1, kColours, [](int32_t, int32_t, int32_t) { return 1; });
    preview.SetDocument(movie.get());
    Canvas canvas(101, 100);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 25, 100, ButtonFace()));
    EXPECT_EQ(0, canvas.CountOther(25, 0, 75, 100, kGreen));
    EXPECT_EQ(0, canvas.CountOther(75, 0, 101, 100, ButtonFace()));

    // Fitted, the same frame is stretched over 51 columns from x 25.
    preview.SetFit(TRUE);
    canvas.Fill(Canvas::kSentinel);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 25, 100, ButtonFace()));
    EXPECT_EQ(0, canvas.CountOther(25, 0, 76, 100, kGreen));
    EXPECT_EQ(0, canvas.CountOther(76, 0, 101, 100, ButtonFace()));
}

TEST_F(PreviewDrawTest, DrawWithoutEraseLeavesTheMarginsAlone) {
    Resize(60, 20);
    auto movie = MakeMovie(20, 20, 1, kColours, [](int32_t, int32_t, int32_t) { return 2; });
    preview.SetDocument(movie.get());
    Canvas canvas(60, 20);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), FALSE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 20, 20, Canvas::kSentinel));
    EXPECT_EQ(0, canvas.CountOther(20, 0, 40, 20, kBlue));
    EXPECT_EQ(0, canvas.CountOther(40, 0, 60, 20, Canvas::kSentinel));
}

TEST_F(PreviewDrawTest, FitScalesTheFrameKeepingItsShape) {
    Resize(80, 40);
    // Quadrants of a 10 x 10 frame: red, green over blue, yellow.
    auto movie = MakeMovie(10, 10, 1, kColours, [](int32_t, int32_t x, int32_t y) {
        return uint8_t(y < 5 ? (x < 5 ? 0 : 1) : (x < 5 ? 2 : 4));
    });
    preview.SetDocument(movie.get());
    preview.SetFit(TRUE);
    Canvas canvas(80, 40);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    // 40 x 40 at x 20, each quadrant 20 x 20.
    EXPECT_EQ(0, canvas.CountOther(0, 0, 20, 40, ButtonFace()));
    EXPECT_EQ(0, canvas.CountOther(20, 0, 40, 20, kRed));
    EXPECT_EQ(0, canvas.CountOther(40, 0, 60, 20, kGreen));
    EXPECT_EQ(0, canvas.CountOther(20, 20, 40, 40, kBlue));
    EXPECT_EQ(0, canvas.CountOther(40, 20, 60, 40, kYellow));
    EXPECT_EQ(0, canvas.CountOther(60, 0, 80, 40, ButtonFace()));
}

TEST_F(PreviewDrawTest, FrameLargerThanTheControlShowsItsTopLeftCorner) {
    Resize(30, 20);
    auto movie = MakeMovie(64, 48, 1, kColours, [](int32_t, int32_t x, int32_t y) {
        return uint8_t(x < 30 && y < 20 ? 1 : 0);
    });
    preview.SetDocument(movie.get());
    Canvas canvas(30, 20);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 30, 20, kGreen));
}

TEST_F(PreviewDrawTest, TransparencyRecolorsTheTransparentIndexOnly) {
    Resize(16, 8);
    // Left half magenta (index 3, the transparent colour), right half red.
    auto movie = MakeMovie(16, 8, 1, kColours,
                           [](int32_t, int32_t x, int32_t) { return uint8_t(x < 8 ? 3 : 0); });
    movie->movieList.transparentIndex = 3;
    movie->movieList.transparencyUsable = 1;
    const std::vector<uint8_t> before = movie->Frame(0).data.Copy();
    preview.SetDocument(movie.get());
    Canvas canvas(16, 8);

    preview.SetTransparent(TRUE);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 8, 8, ButtonFace()));
    EXPECT_EQ(0, canvas.CountOther(8, 0, 16, 8, kRed));
    EXPECT_EQ(before, movie->Frame(0).data);
    EXPECT_EQ(255, movie->Palette().entries[3].red);

    preview.SetTransparent(FALSE);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 8, 8, kMagenta));
    EXPECT_EQ(0, canvas.CountOther(8, 0, 16, 8, kRed));
}

TEST_F(PreviewDrawTest, TransparencyIsLeftAloneWhenTheMovieSaysItIsUnusable) {
    Resize(16, 8);
    auto unusable = MakeMovie(16, 8, 1, kColours, [](int32_t, int32_t, int32_t) { return 3; });
    unusable->movieList.transparentIndex = 3;
    unusable->movieList.transparencyUsable = 0;
    preview.SetDocument(unusable.get());
    preview.SetTransparent(TRUE);
    Canvas canvas(16, 8);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 16, 8, kMagenta));

    // The setting is remembered and applies to the next movie bound.
    auto usable = MakeMovie(16, 8, 1, kColours, [](int32_t, int32_t, int32_t) { return 3; });
    usable->movieList.transparentIndex = 3;
    usable->movieList.transparencyUsable = 1;
    preview.SetDocument(usable.get());
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 16, 8, ButtonFace()));
}

TEST_F(PreviewDrawTest, RefreshPaletteRebuildsFromTheMovieAndKeepsTransparency) {
    Resize(8, 4);
    auto movie = MakeMovie(8, 4, 1, kColours,
                           [](int32_t, int32_t x, int32_t) { return uint8_t(x < 4 ? 3 : 0); });
    movie->movieList.transparentIndex = 3;
    movie->movieList.transparencyUsable = 1;
    preview.SetDocument(movie.get());
    preview.SetTransparent(TRUE);
    movie->palette.entries[0] = {0, 208, 224, 0};  // red becomes yellow
    Canvas canvas(8, 4);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(kRed, canvas.At(6, 0));

    preview.RefreshPalette(nullptr);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(kRed, canvas.At(6, 0));

    preview.RefreshPalette(movie.get());
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(kYellow, canvas.At(6, 0));
    EXPECT_EQ(ButtonFace(), canvas.At(1, 0));
}

TEST_F(PreviewDrawTest, FrameOf5000RowsShowsItsTop4096Rows) {
    Resize(4, 4096);
    // Row 0 red, row 4095 green, rows below 4095 blue, the rest magenta.
    auto movie = MakeMovie(4, 5000, 1, kColours, [](int32_t, int32_t, int32_t y) {
        return uint8_t(y == 0 ? 0 : y == 4095 ? 1 : y > 4095 ? 2 : 3);
    });
    EXPECT_EQ(4096,
              reinterpret_cast<const BITMAPINFOHEADER*>(movie->DisplayInfo().data())->biHeight);
    preview.SetDocument(movie.get());
    EXPECT_EQ(5000, preview.shownHeight);
    Canvas canvas(4, 4096);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 4, 1, kRed));
    EXPECT_EQ(0, canvas.CountOther(0, 1, 4, 4095, kMagenta));
    EXPECT_EQ(0, canvas.CountOther(0, 4095, 4, 4096, kGreen));

    // Fitted into 4 x 2048 the 4096 rows are halved (and so is the width: 2 columns at x 1);
    // the rows below them still do not appear.
    Resize(4, 2048);
    preview.SetFit(TRUE);
    Canvas half(4, 2048);
    EXPECT_NE(0, preview.Draw(half.Dc(), TRUE));
    EXPECT_EQ(0, half.CountOther(0, 0, 1, 2048, ButtonFace()));
    EXPECT_EQ(0, half.CountOther(3, 0, 4, 2048, ButtonFace()));
    EXPECT_EQ(2 * 2048, half.CountOther(1, 0, 3, 2048, kBlue));
    EXPECT_GT(8, half.CountOther(1, 0, 3, 2048, kMagenta));
}

TEST_F(PreviewDrawTest, ShownHeightShowsTheTopRowsCentred) {
    Resize(10, 30);
    auto movie = MakeMovie(10, 30, 1, kColours,
                           [](int32_t, int32_t, int32_t y) { return uint8_t(y < 10 ? 4 : 2); });
    preview.SetDocument(movie.get());
    preview.SetShownHeight(10);
    EXPECT_EQ(10, preview.shownHeight);
    Canvas canvas(10, 30);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 10, 10, ButtonFace()));
    EXPECT_EQ(0, canvas.CountOther(0, 10, 10, 20, kYellow));
    EXPECT_EQ(0, canvas.CountOther(0, 20, 10, 30, ButtonFace()));

    preview.SetShownHeight(0);
    EXPECT_EQ(1, preview.shownHeight);
    preview.SetShownHeight(-7);
    EXPECT_EQ(1, preview.shownHeight);
    preview.SetShownHeight(31);
    EXPECT_EQ(30, preview.shownHeight);
}

TEST_F(PreviewDrawTest, SetFrameClampsToTheMovie) {
    Resize(4, 4);
    auto movie =
        MakeMovie(4, 4, 3, kColours, [](int32_t f, int32_t, int32_t) { return uint8_t(f); });
    preview.SetDocument(movie.get());
    Canvas canvas(4, 4);
    preview.SetFrame(2);
    EXPECT_EQ(2, preview.currentFrame);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(kBlue, canvas.At(0, 0));
    preview.SetFrame(-5);
    EXPECT_EQ(0, preview.currentFrame);
    preview.SetFrame(3 + 3);
    EXPECT_EQ(2, preview.currentFrame);
    preview.SetFrame(1);
    EXPECT_NE(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(kGreen, canvas.At(0, 0));
}

TEST_F(PreviewDrawTest, FramesShorterThanTheirHeaderAreNotDrawn) {
    Resize(8, 8);
    auto movie = MakeMovie(8, 8, 2, kColours, [](int32_t, int32_t, int32_t) { return 1; });
    movie->movieList.frames[1].data.resize(8 * 8 - 1);
    preview.SetDocument(movie.get());
    preview.SetFrame(1);
    Canvas canvas(8, 8);
    EXPECT_EQ(0, preview.Draw(canvas.Dc(), TRUE));
    EXPECT_EQ(0, canvas.CountOther(0, 0, 8, 8, Canvas::kSentinel));
}

TEST_F(PreviewDrawTest, PaintingTheWindowShowsTheFrameOnScreen) {
    Resize(60, 20);
    auto movie = MakeMovie(20, 20, 1, kColours, [](int32_t, int32_t, int32_t) { return 0; });
    preview.SetDocument(movie.get());
    ::InvalidateRect(preview.m_hWnd, nullptr, TRUE);
    ::UpdateWindow(preview.m_hWnd);
    HDC dc = ::GetDC(preview.m_hWnd);
    EXPECT_EQ(ButtonFace(), ::GetPixel(dc, 5, 10));
    EXPECT_EQ(kRed, ::GetPixel(dc, 30, 10));
    EXPECT_EQ(ButtonFace(), ::GetPixel(dc, 55, 10));
    ::ReleaseDC(preview.m_hWnd, dc);

    preview.SetDocument(nullptr);
    dc = ::GetDC(preview.m_hWnd);
    EXPECT_EQ(ButtonFace(), ::GetPixel(dc, 30, 10));
    ::ReleaseDC(preview.m_hWnd, dc);
    EXPECT_EQ(20, preview.frameHeight);
    EXPECT_EQ(0, preview.shownHeight);
}

TEST_F(PreviewDrawTest, ResizingRedrawsAtOnceWithTheNewMargins) {
    Resize(20, 20);
    auto movie = MakeMovie(20, 20, 1, kColours, [](int32_t, int32_t, int32_t) { return 2; });
    preview.SetDocument(movie.get());
    // No message is pumped after the resize: what is on screen comes from WM_SIZE itself.
    Resize(60, 20);
    HDC dc = ::GetDC(preview.m_hWnd);
    EXPECT_EQ(ButtonFace(), ::GetPixel(dc, 5, 10));
    EXPECT_EQ(kBlue, ::GetPixel(dc, 30, 10));
    EXPECT_EQ(ButtonFace(), ::GetPixel(dc, 55, 10));
    ::ReleaseDC(preview.m_hWnd, dc);
}

TEST_F(PreviewDrawTest, PaletteMessagesOfTheOwnerRealizeOrRepaint) {
    EXPECT_EQ(0, preview.QueryNewPalette());
    auto movie = MakeMovie(4, 4, 1, kColours, [](int32_t, int32_t, int32_t) { return 0; });
    preview.SetDocument(movie.get());
    EXPECT_EQ(1, preview.QueryNewPalette());

    RECT update{};
    ::ValidateRect(preview.m_hWnd, nullptr);
    preview.PaletteChanged(preview.m_hWnd);
    EXPECT_FALSE(::GetUpdateRect(preview.m_hWnd, &update, FALSE));
    preview.PaletteChanged(owner.m_hWnd);
    EXPECT_TRUE(::GetUpdateRect(preview.m_hWnd, &update, FALSE));
}

TEST_F(PreviewDrawTest, DestroyingTheWindowDeletesThePalette) {
    auto movie = MakeMovie(4, 4, 1, kColours, [](int32_t, int32_t, int32_t) { return 0; });
    preview.SetDocument(movie.get());
    ASSERT_TRUE(preview.palette);
    owner.DestroyWindow();
    EXPECT_FALSE(preview.palette);
    EXPECT_EQ(nullptr, preview.m_hWnd);
}

}  // namespace
}  // namespace kx::test
