#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "recording_progress.h"
#include "temp_folder.h"

namespace kx {
namespace {

constexpr uint8_t kFiller = 250;

// A loaded strip 4 pixels wide: memory row m (bottom-up) holds the value m in every pixel, so
// the picture's top row is the highest value.
void LoadStrip(CAnimationDocument& doc, int32_t rows) {
    doc.frameCount = 1;
    doc.movieList.frames.assign(1, FrameChunk{});
    doc.movieList.index.assign(1, IndexEntry{});
    for (int32_t m = 0; m < rows; ++m) {
        doc.movieList.frames[0].data.insert(doc.movieList.frames[0].data.end(), 4, uint8_t(m));
    }
    doc.palette.count = 256;
    doc.headerList.stream.format.header.biWidth = 4;
    doc.headerList.stream.format.header.biHeight = rows;
    doc.movieList.transparentIndex = kFiller;
    ASSERT_EQ(1, doc.RebuildHeaders(256, 1, rows, 4, 100));
}

// The memory rows a frame holds, one value per row (every pixel of a row is equal).
std::vector<int> RowsOf(const FrameChunk& frame) {
    std::vector<int> rows;
    for (size_t i = 0; i < frame.data.size(); i += 4) {
        rows.push_back(frame.data[i]);
        EXPECT_EQ(frame.data[i], frame.data[i + 3]);
    }
    return rows;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> rows;
    for (int r = from; r < to; ++r) {
        rows.push_back(r);
    }
    return rows;
}

TEST(ComposeFromStrip, HundredRowsByTwentyFiveGiveFourFramesFromTheTop) {
    CAnimationDocument doc;
    LoadStrip(doc, 100);
    test::RecordingProgress log;
    ASSERT_EQ(1, doc.ComposeFromStrip(&log, 25)) << doc.FailureReason();
    ASSERT_EQ(4, doc.FrameCount());
    // Frame 0 is the top of the picture: its last row in memory is the picture's top row.
    EXPECT_EQ(Range(75, 100), RowsOf(doc.Frame(0)));
    EXPECT_EQ(Range(50, 75), RowsOf(doc.Frame(1)));
    EXPECT_EQ(Range(25, 50), RowsOf(doc.Frame(2)));
    EXPECT_EQ(Range(0, 25), RowsOf(doc.Frame(3)));
    EXPECT_EQ((std::vector<test::RecordingProgress::Entry>{
                  {4, kPhaseComposing}, {1, 0}, {1, 0}, {1, 0}, {1, 0}}),
              log.reports);
}

TEST(ComposeFromStrip, HundredRowsByThirtyFillTheLastFrame) {
    CAnimationDocument doc;
    LoadStrip(doc, 100);
    ASSERT_EQ(1, doc.ComposeFromStrip(nullptr, 30)) << doc.FailureReason();
    ASSERT_EQ(4, doc.FrameCount());
    EXPECT_EQ(Range(70, 100), RowsOf(doc.Frame(0)));
    EXPECT_EQ(Range(10, 40), RowsOf(doc.Frame(2)));
    // Top 10 rows from the bottom of the picture, bottom 20 rows filler.
    std::vector<int> last(20, kFiller);
    for (int r : Range(0, 10)) {
        last.push_back(r);
    }
    EXPECT_EQ(last, RowsOf(doc.Frame(3)));
}

TEST(ComposeFromStrip, HeadersAndIndexFollowTheFrames) {
    CAnimationDocument doc;
    LoadStrip(doc, 100);
    ASSERT_EQ(1, doc.ComposeFromStrip(nullptr, 30));
    const uint32_t frameBytes = 4 * 30;
    EXPECT_EQ(30, doc.FrameHeight());
    EXPECT_EQ(30u, doc.headerList.main.height);
    EXPECT_EQ(4u, doc.headerList.main.totalFrames);
    EXPECT_EQ(4u, doc.headerList.stream.header.length);
    EXPECT_EQ(frameBytes, doc.headerList.stream.format.header.biSizeImage);
    EXPECT_EQ(4 + 4 * (8 + frameBytes), doc.movieList.list.size);
    ASSERT_EQ(4u, doc.movieList.index.size());
    EXPECT_EQ(4 + 3 * (8 + frameBytes), doc.movieList.index[3].offset);
    EXPECT_EQ(frameBytes, doc.movieList.index[3].size);
}

TEST(ComposeFromStrip, FrameHeightOfTheWholeStripKeepsThePicture) {
    CAnimationDocument doc;
    LoadStrip(doc, 100);
    const auto strip = doc.Frame(0).data;
    ASSERT_EQ(1, doc.ComposeFromStrip(nullptr, 100));
    ASSERT_EQ(1, doc.FrameCount());
    EXPECT_EQ(strip, doc.Frame(0).data);
}

TEST(ComposeFromStrip, FrameTallerThanTheStripIsFilledBelow) {
    CAnimationDocument doc;
    LoadStrip(doc, 100);
    ASSERT_EQ(1, doc.ComposeFromStrip(nullptr, 130));
    ASSERT_EQ(1, doc.FrameCount());
    std::vector<int> rows(30, kFiller);
    for (int r : Range(0, 100)) {
        rows.push_back(r);
    }
    EXPECT_EQ(rows, RowsOf(doc.Frame(0)));
    EXPECT_EQ(130, doc.FrameHeight());
}

TEST(ComposeFromStrip, FramesAreTheStripsOwnRowsAndStayApart) {
    struct Case {
        int32_t rows, frameHeight;
        bool lastIsView;  // false: a last frame filled below has a block of its own
    } cases[] = {{100, 25, true}, {100, 30, false}, {100, 100, true}, {100, 130, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + " by " + std::to_string(c.frameHeight));
        CAnimationDocument doc;
        LoadStrip(doc, c.rows);
        const uint8_t* strip = doc.Frame(0).data.data();
        ASSERT_EQ(1, doc.ComposeFromStrip(nullptr, c.frameHeight));
        const int32_t n = doc.FrameCount();
        const size_t f = size_t(4 * c.frameHeight);
        for (int32_t k = 0; k + 1 < n; ++k) {
            EXPECT_TRUE(doc.Frame(k).data.IsView()) << k;
            // Frame 0 is the end of the strip's block, frame 1 the rows before it, ...
            EXPECT_EQ(strip + size_t(4 * c.rows) - size_t(k + 1) * f, doc.Frame(k).data.data());
        }
        EXPECT_EQ(c.lastIsView, doc.Frame(n - 1).data.IsView());

        // Writing one frame changes none of the others, and a copy has a block of its own.
        const std::vector<std::vector<int>> before = [&] {
            std::vector<std::vector<int>> rows;
            for (int32_t k = 0; k < n; ++k) {
                rows.push_back(RowsOf(doc.Frame(k)));
            }
            return rows;
        }();
        doc.movieList.frames[0].data.assign(f, 7);
        FrameChunk copy = doc.Frame(n - 1);
        EXPECT_FALSE(copy.data.IsView());
        copy.data[0] = 99;
        for (int32_t k = 1; k < n; ++k) {
            EXPECT_EQ(before[size_t(k)], RowsOf(doc.Frame(k))) << k;
        }
    }
}

TEST(ComposeFromStrip, FramesCutAgainAndSavedKeepTheirPictures) {
    test::TempFolder folder;
    CAnimationDocument doc;
    LoadStrip(doc, 100);
    ASSERT_EQ(1, doc.ComposeFromStrip(nullptr, 100));  // one frame: the whole block
    ASSERT_EQ(1, doc.ComposeFromStrip(nullptr, 20));
    ASSERT_EQ(5, doc.FrameCount());
    EXPECT_EQ(Range(80, 100), RowsOf(doc.Frame(0)));
    EXPECT_EQ(Range(0, 20), RowsOf(doc.Frame(4)));
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "m.avi")) << doc.FailureReason();
    ASSERT_EQ(1, doc.SaveBitmap(nullptr, folder / "m.bmp", true)) << doc.FailureReason();
    // The AVI save dropped the 156 unused entries after the 100 the rows use: no pixel changed.
    for (int32_t k = 0; k < 5; ++k) {
        EXPECT_EQ(Range(80 - 20 * k, 100 - 20 * k), RowsOf(doc.Frame(k))) << k;
    }
    CAnimationDocument back;
    ASSERT_EQ(1, back.LoadAvi(nullptr, folder / "m.avi")) << back.FailureReason();
    for (int32_t k = 0; k < 5; ++k) {
        EXPECT_EQ(doc.Frame(k).data, back.Frame(k).data) << k;
    }
}

TEST(ComposeFromStrip, CancelAtAnyReportLeavesAnEmptyDocument) {
    for (size_t n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        CAnimationDocument doc;
        LoadStrip(doc, 100);
        test::RecordingProgress log(n);
        EXPECT_EQ(0, doc.ComposeFromStrip(&log, 25));
        EXPECT_EQ(n, log.reports.size());
        EXPECT_EQ("cancelled", doc.FailureReason());
        EXPECT_EQ(0, doc.FrameCount());
        EXPECT_TRUE(doc.movieList.frames.empty());
    }
}

TEST(ComposeFromStrip, RefusesWithoutAStripOrWithAZeroHeight) {
    CAnimationDocument doc;
    EXPECT_EQ(0, doc.ComposeFromStrip(nullptr, 10));
    EXPECT_EQ("no strip loaded", doc.FailureReason());
    LoadStrip(doc, 10);
    EXPECT_EQ(0, doc.ComposeFromStrip(nullptr, 0));
    EXPECT_EQ("frame height must be at least 1", doc.FailureReason());
}

TEST(CutStrip, RefusesCountsThatDoNotFitTheStrip) {
    for (int32_t n : {0, -1, 3, 6}) {
        SCOPED_TRACE(n);
        MovieList movie;
        FrameChunk strip;
        strip.data.assign(4 * 100, 1);
        EXPECT_EQ(0, movie.CutStrip(nullptr, strip, n, 100, 25));
        EXPECT_TRUE(strip.data.empty());
    }
}

}  // namespace
}  // namespace kx
