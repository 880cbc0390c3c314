#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"

namespace kx {
namespace {

// Gives the document count frames of the given sizes.
void SetFrames(CAnimationDocument& doc, const std::vector<uint32_t>& sizes) {
    doc.movieList.frames.resize(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        doc.movieList.frames[i].data.assign(sizes[i], uint8_t(i));
    }
    doc.frameCount = int32_t(sizes.size());
}

BitmapInfoHeader ShownHeader(const CAnimationDocument& doc) {
    const std::vector<uint8_t>& info = doc.DisplayInfo();
    ByteReader in(info.data(), info.size());
    BitmapInfoHeader h;
    EXPECT_TRUE(h.Read(in));
    return h;
}

TEST(Document, NewDocumentValues) {
    CAnimationDocument doc;
    EXPECT_EQ(224u, doc.riff.size);
    EXPECT_EQ(192u, doc.headerList.list.size);
    EXPECT_EQ(116u, doc.headerList.stream.list.size);
    EXPECT_EQ(40u, doc.headerList.stream.format.size);
    EXPECT_EQ(100000u, doc.MicroSecPerFrame());
    EXPECT_EQ(100u, doc.headerList.stream.header.scale);
    EXPECT_EQ(1000u, doc.headerList.stream.header.rate);
    EXPECT_EQ(1u, doc.headerList.stream.header.length);
    EXPECT_EQ(0, doc.FrameCount());
    EXPECT_TRUE(doc.DisplayInfo().empty());
    EXPECT_TRUE(doc.movieList.frames.empty());
    EXPECT_EQ(4u, doc.movieList.list.size);
}

TEST(Document, SetSpeed) {
    CAnimationDocument doc;
    doc.SetSpeed(40);
    EXPECT_EQ(40u, doc.headerList.stream.header.scale);
    EXPECT_EQ(1000u, doc.headerList.stream.header.rate);
    EXPECT_EQ(40000u, doc.MicroSecPerFrame());
}

TEST(Document, RebuildHeadersSizesAndIndex) {
    CAnimationDocument doc;
    SetFrames(doc, {1000, 2000, 1000});
    doc.palette.count = 16;
    ASSERT_EQ(1, doc.RebuildHeaders(16, 3, 10, 100, 40));

    const MovieList& movie = doc.movieList;
    EXPECT_EQ(4028u, movie.list.size);
    ASSERT_EQ(3u, movie.index.size());
    EXPECT_EQ(4u, movie.index[0].offset);
    EXPECT_EQ(1012u, movie.index[1].offset);
    EXPECT_EQ(3020u, movie.index[2].offset);
    EXPECT_EQ(2000u, movie.index[1].size);
    EXPECT_EQ(48u, movie.indexSize);
    EXPECT_EQ(2000u, movie.largestFrame);
    EXPECT_EQ(256u, doc.headerList.list.size);
    EXPECT_EQ(180u, doc.headerList.stream.list.size);
    EXPECT_EQ(104u, doc.headerList.stream.format.size);
    EXPECT_EQ(4360u, doc.riff.size);

    const MainHeader& main = doc.headerList.main;
    EXPECT_EQ(4000u, main.suggestedBufferSize);
    EXPECT_EQ(3u, main.totalFrames);
    EXPECT_EQ(10u, main.height);
    EXPECT_EQ(100u, main.width);
    EXPECT_EQ(40000u, main.microSecPerFrame);
    const StreamHeader& stream = doc.headerList.stream.header;
    EXPECT_EQ(2000u, stream.suggestedBufferSize);
    EXPECT_EQ(3u, stream.length);
    EXPECT_EQ(40u, stream.scale);
    const BitmapInfoHeader& format = doc.headerList.stream.format.header;
    EXPECT_EQ(2000u, format.biSizeImage);
    EXPECT_EQ(10, format.biHeight);
    EXPECT_EQ(16u, format.biClrUsed);

    // DisplayInfo: the format followed by the u16 table 0 ... 15.
    const std::vector<uint8_t>& info = doc.DisplayInfo();
    ASSERT_EQ(40u + 2 * 16, info.size());
    EXPECT_EQ(10, ShownHeader(doc).biHeight);
    EXPECT_EQ(2000u, ShownHeader(doc).biSizeImage);
    EXPECT_EQ(0, info[40]);
    EXPECT_EQ(15, info[40 + 30]);
    EXPECT_EQ(0, info[40 + 31]);
}

TEST(Document, RebuildHeadersWithZerosStillRecomputes) {
    CAnimationDocument doc;
    SetFrames(doc, {1000, 2000, 1000});
    doc.palette.count = 16;
    ASSERT_EQ(1, doc.RebuildHeaders(16, 3, 10, 100, 40));

    // The frames shrink (as after encoding); only sizes, the index and DisplayInfo change.
    doc.movieList.frames[1].data.resize(500);
    doc.palette.count = 4;
    ASSERT_EQ(1, doc.RebuildHeaders(0, 0, 0, 0, 0));
    EXPECT_EQ(4 + 2500u + 24, doc.movieList.list.size);
    EXPECT_EQ(1012u, doc.movieList.index[1].offset);
    EXPECT_EQ(1520u, doc.movieList.index[2].offset);
    EXPECT_EQ(1000u, doc.movieList.largestFrame);
    EXPECT_EQ(2500u, doc.headerList.main.suggestedBufferSize);
    EXPECT_EQ(1000u, doc.headerList.stream.header.suggestedBufferSize);
    EXPECT_EQ(1000u, doc.headerList.stream.format.header.biSizeImage);
    EXPECT_EQ(256u, doc.headerList.list.size);  // palette argument 0: list sizes kept
    EXPECT_EQ(3u, doc.headerList.main.totalFrames);
    EXPECT_EQ(40000u, doc.MicroSecPerFrame());
    EXPECT_EQ(48 + 256 + doc.movieList.list.size + 28, doc.riff.size);
    EXPECT_EQ(40u + 2 * 4, doc.DisplayInfo().size());
    EXPECT_EQ(1000u, ShownHeader(doc).biSizeImage);
    // The drawing header announces the table that follows it, not the stale format count.
    EXPECT_EQ(16u, doc.headerList.stream.format.header.biClrUsed);
    EXPECT_EQ(4u, ShownHeader(doc).biClrUsed);
}

TEST(Document, TallFramesAreShownClampedTo4096Rows) {
    CAnimationDocument doc;
    SetFrames(doc, {8 * 5000});
    doc.palette.count = 2;
    ASSERT_EQ(1, doc.RebuildHeaders(2, 1, 5000, 8, 0));
    EXPECT_EQ(5000, doc.FrameHeight());
    const BitmapInfoHeader shown = ShownHeader(doc);
    EXPECT_EQ(4096, shown.biHeight);
    EXPECT_EQ(8u * 4096, shown.biSizeImage);

    // 4096 rows exactly are not clamped.
    CAnimationDocument exact;
    SetFrames(exact, {4 * 4096});
    ASSERT_EQ(1, exact.RebuildHeaders(0, 1, 4096, 4, 0));
    EXPECT_EQ(4096, ShownHeader(exact).biHeight);
    EXPECT_EQ(4u * 4096, ShownHeader(exact).biSizeImage);
}

TEST(Document, ReleaseFramesEmptiesEverything) {
    CAnimationDocument doc;
    SetFrames(doc, {10, 20});
    ASSERT_EQ(1, doc.RebuildHeaders(0, 2, 1, 10, 0));
    EXPECT_EQ(2u, doc.movieList.index.size());
    doc.ReleaseFrames();
    EXPECT_TRUE(doc.movieList.frames.empty());
    EXPECT_TRUE(doc.movieList.index.empty());
    EXPECT_TRUE(doc.DisplayInfo().empty());
}

TEST(Document, RecomputeIndexIgnoresNonPositiveCounts) {
    MovieList movie;
    movie.frames.resize(2);
    movie.frames[0].data.assign(7, 0);
    movie.RecomputeIndex(0);
    EXPECT_EQ(4u, movie.list.size);
    EXPECT_TRUE(movie.index.empty());
    movie.RecomputeIndex(-1);
    EXPECT_EQ(0u, movie.indexSize);

    // An empty frame keeps the size its index entry had (read from a file).
    movie.index.resize(2);
    movie.index[1].size = 99;
    movie.RecomputeIndex(2);
    EXPECT_EQ(99u, movie.index[1].size);
    EXPECT_EQ(7u, movie.index[0].size);
    EXPECT_EQ(4 + 7 + 16u, movie.list.size);
    EXPECT_EQ(19u, movie.index[1].offset);
}

}  // namespace
}  // namespace kx
