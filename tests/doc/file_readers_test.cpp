// Choosing the reader by a file's first bytes, and the strip-cutting rules the dialog and the
// converter share.
#include "doc/file_readers.h"

#include <gtest/gtest.h>

#include <string>

#include "doc/animation_document.h"
#include "doc/frame_rules.h"
#include "doc/temp_folder.h"

namespace kx {

void PrintTo(const FrameFields& f, std::ostream* os) {
    *os << "height " << f.height << ", count " << f.count << ", remainder " << f.remainder;
}

namespace {

TEST(ChooseReaderTest, TheFirstBytesChooseTheReaderWhateverTheName) {
    struct Case {
        const char* name;
        std::string bytes;
        ReaderChoice::Outcome outcome;
        const char* reader;  // or the problem when none is chosen
    };
    const Case cases[] = {
        {"strip.avi", "BM and more", ReaderChoice::Outcome::Chosen, "bmp"},
        {"movie.bmp", "RIFF....AVI ", ReaderChoice::Outcome::Chosen, "avi"},
        {"movie.avi", "GIF89a", ReaderChoice::Outcome::Chosen, "gif"},
        {"old.gif", "GIF87a", ReaderChoice::Outcome::Chosen, "gif"},
        {"one.bmp", "B", ReaderChoice::Outcome::Unknown, "not a BMP, AVI, GIF or PNG file"},
        {"empty.bmp", "", ReaderChoice::Outcome::Unknown, "not a BMP, AVI, GIF or PNG file"},
        {"riff.avi", "RIF", ReaderChoice::Outcome::Unknown, "not a BMP, AVI, GIF or PNG file"},
        {"text.bmp", "bm lower case", ReaderChoice::Outcome::Unknown,
         "not a BMP, AVI, GIF or PNG file"},
    };
    test::TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteAll(folder / c.name, std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
        const ReaderChoice choice = ChooseReader(folder / c.name);
        EXPECT_EQ(int(c.outcome), int(choice.outcome));
        EXPECT_EQ(c.reader, choice.reader != nullptr ? choice.reader->name : choice.problem);
    }
}

TEST(ChooseReaderTest, AMissingFileIsUnreadableWithItsReason) {
    test::TempFolder folder;
    const ReaderChoice choice = ChooseReader(folder / "absent.bmp");
    EXPECT_EQ(int(ReaderChoice::Outcome::Unreadable), int(choice.outcome));
    EXPECT_EQ(nullptr, choice.reader);
    EXPECT_EQ("no such file", choice.problem);
}

TEST(ChooseReaderTest, TheChosenReaderLoadsAStripOrAMovie) {
    test::TempFolder folder;
    CAnimationDocument written;
    BitmapInfoHeader& format = written.headerList.stream.format.header;
    format.biWidth = 8;
    format.biHeight = 4;
    written.palette.count = 2;
    written.movieList.frames.assign(1, FrameChunk{});
    written.movieList.index.assign(1, IndexEntry{});
    written.movieList.frames[0].data.assign(8 * 4, 1);
    written.frameCount = 1;
    ASSERT_EQ(1, written.RebuildHeaders(2, 1, 4, 8, 100));
    ASSERT_EQ(1, written.SaveBitmap(nullptr, folder / "s.avi", false)) << written.FailureReason();
    ASSERT_EQ(1, written.SaveAvi(nullptr, folder / "m.bmp")) << written.FailureReason();

    for (const char* name : {"s.avi", "m.bmp"}) {
        SCOPED_TRACE(name);
        const ReaderChoice choice = ChooseReader(folder / name);
        ASSERT_NE(nullptr, choice.reader);
        CAnimationDocument doc;
        ASSERT_EQ(1, choice.reader->load(doc, nullptr, folder / name, 40)) << doc.FailureReason();
        EXPECT_EQ(4, doc.FrameHeight());
        // A strip takes the period it is given; a movie brings its own.
        EXPECT_EQ(choice.reader->isStrip ? 40000u : 100000u, doc.MicroSecPerFrame());
    }
}

TEST(FrameRulesTest, ACountGivesTheSmallestHeightThatMakesIt) {
    struct Case {
        int32_t stripHeight, count;
        FrameFields expected;
    };
    const Case cases[] = {
        {100, 4, {25, 4, 0}},    {100, 3, {34, 3, 32}},
        {100, 51, {2, 50, 0}},    // 51 frames cannot be had
        {100, 0, {100, 1, 0}},    // below 1 counts as 1
        {100, 500, {1, 100, 0}},  // more frames than rows: one row each
        {1, 1, {1, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stripHeight) + " rows in " + std::to_string(c.count));
        EXPECT_EQ(c.expected, FieldsFromCount(c.stripHeight, c.count));
    }
}

TEST(FrameRulesTest, AHeightIsKeptWithinTheStrip) {
    EXPECT_EQ((FrameFields{30, 4, 10}), FieldsFromHeight(100, 30));
    EXPECT_EQ((FrameFields{100, 1, 0}), FieldsFromHeight(100, 130));
    EXPECT_EQ((FrameFields{1, 100, 0}), FieldsFromHeight(100, -5));
}

}  // namespace
}  // namespace kx
