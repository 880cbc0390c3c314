#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "recording_progress.h"
#include "support/source_dir.h"
#include "temp_folder.h"

namespace kx {
namespace {

// A bitmap file assembled field by field; every field can be bent for a test.
struct BmpLayout {
    uint32_t infoSize = 40;
    int32_t width = 8;
    int32_t height = 2;
    uint16_t bits = 8;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;  // 0: the pixel bytes' length
    uint32_t paletteEntries = 4;
    uint32_t gapBeforePixels = 0;  // bytes between the palette and the pixels
    int64_t offBits = -1;          // -1: where the pixels really start
    int64_t fileSize = -1;         // -1: the real length
    std::vector<uint8_t> pixels;
};

std::vector<uint8_t> MakeBmp(const BmpLayout& layout) {
    const uint32_t realOff =
        14 + layout.infoSize + 4 * layout.paletteEntries + layout.gapBeforePixels;
    const uint32_t offBits = layout.offBits < 0 ? realOff : uint32_t(layout.offBits);
    const uint32_t length = realOff + uint32_t(layout.pixels.size());
    std::vector<uint8_t> bytes;
    ByteWriter out(bytes);
    out.u16le(0x4D42);
    out.u32le(layout.fileSize < 0 ? length : uint32_t(layout.fileSize));
    out.u16le(0);
    out.u16le(0);
    out.u32le(offBits);
    out.u32le(layout.infoSize);
    if (layout.infoSize < 40) {
        out.u16le(uint16_t(layout.width));
        out.u16le(uint16_t(layout.height));
        out.u16le(1);
        out.u16le(layout.bits);
    } else {
        out.i32le(layout.width);
        out.i32le(layout.height);
        out.u16le(1);
        out.u16le(layout.bits);
        out.u32le(layout.compression);
        out.u32le(layout.sizeImage);
        out.i32le(2835);
        out.i32le(2835);
        out.u32le(layout.paletteEntries);
        out.u32le(0);
        // Later header versions: fill the extra fields with a marker that must not be read as
        // palette entries.
        for (uint32_t i = 40; i < layout.infoSize; ++i) {
            out.u8(0xEE);
        }
    }
    for (uint32_t i = 0; i < layout.paletteEntries; ++i) {
        out.u8(uint8_t(i * 3));    // blue
        out.u8(uint8_t(i * 5));    // green
        out.u8(uint8_t(255 - i));  // red
        out.u8(0);
    }
    for (uint32_t i = 0; i < layout.gapBeforePixels; ++i) {
        out.u8(0xDD);
    }
    out.bytes(layout.pixels.data(), layout.pixels.size());
    return bytes;
}

// 8 x 2, rows bottom-up: bottom row 0..7, top row 3,3,...
std::vector<uint8_t> EightByTwo() {
    return {0, 1, 2, 3, 0, 1, 2, 3, 3, 3, 3, 3, 2, 2, 2, 2};
}

class BmpReader : public ::testing::Test {
protected:
    int Load(const BmpLayout& layout, ProgressSink* progress = nullptr, int32_t periodMs = 100) {
        const auto file = folder / "strip.bmp";
        test::WriteAll(file, MakeBmp(layout));
        return doc.LoadBitmapStrip(progress, file, periodMs);
    }
    std::vector<uint8_t> Frame0() const { return doc.Frame(0).data.Copy(); }

    test::TempFolder folder;
    CAnimationDocument doc;
};

TEST_F(BmpReader, Plain8BitBecomesFrameZero) {
    BmpLayout layout;
    layout.pixels = EightByTwo();
    test::RecordingProgress log;
    ASSERT_EQ(1, Load(layout, &log, 40)) << doc.FailureReason();
    EXPECT_EQ(1, doc.FrameCount());
    EXPECT_EQ(8, doc.FrameWidth());
    EXPECT_EQ(2, doc.FrameHeight());
    EXPECT_EQ(EightByTwo(), Frame0());
    EXPECT_EQ(4, doc.Palette().count);
    EXPECT_EQ(252, doc.Palette().entries[3].red);
    EXPECT_EQ(40000u, doc.MicroSecPerFrame());
    EXPECT_EQ(8, doc.headerList.stream.format.header.biBitCount);
    EXPECT_EQ(0u, doc.headerList.stream.format.header.biCompression);
    EXPECT_EQ(4u, doc.headerList.stream.format.header.biClrUsed);
    EXPECT_EQ(fourcc::kRgb, doc.headerList.stream.header.handler);
    // The top-left pixel is the first one of the last row in memory.
    EXPECT_EQ(3, doc.TransparentIndex());
    EXPECT_EQ(8, doc.Source().bitCount);
    EXPECT_EQ(40u, doc.Source().infoHeaderSize);
    // One pass-free read: range = 16 / 128 = 0, then one block of 16 bytes (step 0).
    EXPECT_EQ((std::vector<test::RecordingProgress::Entry>{{0, kPhaseReading}, {0, 0}}),
              log.reports);
}

TEST_F(BmpReader, FourBitPaletteCountComesFromTheOffset) {
    BmpLayout layout;
    layout.bits = 4;
    layout.width = 5;
    layout.height = 1;
    layout.paletteEntries = 16;
    layout.pixels = {0x12, 0x34, 0x5A, 0xBC};  // 5 pixels and 3 padding nibbles
    ASSERT_EQ(118u, 14 + 40 + 16 * 4);
    ASSERT_EQ(1, Load(layout)) << doc.FailureReason();
    EXPECT_EQ(16, doc.Palette().count);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 0xA, 0xB, 0xC}), Frame0());
    EXPECT_EQ(8, doc.headerList.stream.format.header.biBitCount);
    EXPECT_EQ(8u, doc.headerList.stream.format.header.biSizeImage);
    EXPECT_EQ(4, doc.Source().bitCount);
}

TEST_F(BmpReader, PaletteCountsAboveTheLimitOrNoneAreRefused) {
    BmpLayout layout;
    layout.pixels = EightByTwo();
    layout.paletteEntries = 257;
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("palette of 257 entries", doc.FailureReason());

    layout.paletteEntries = 0;
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("the bitmap has no palette", doc.FailureReason());

    layout.paletteEntries = 4;
    layout.offBits = 50;  // before the end of the headers
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("pixel data offset 50 lies inside the headers", doc.FailureReason());
}

TEST_F(BmpReader, GapAfterThePaletteIsSkipped) {
    BmpLayout layout;
    layout.pixels = EightByTwo();
    layout.gapBeforePixels = 2;  // (offset - 54) / 4 rounds down to the 4 real entries
    ASSERT_EQ(1, Load(layout)) << doc.FailureReason();
    EXPECT_EQ(4, doc.Palette().count);
    EXPECT_EQ(EightByTwo(), Frame0());
}

TEST_F(BmpReader, SizeImageZeroAndWrongAreReplacedByTheRowSize) {
    BmpLayout layout;
    layout.pixels = EightByTwo();
    layout.pixels.resize(20, 9);  // trailing bytes after the picture are not part of it
    layout.sizeImage = 0;
    ASSERT_EQ(1, Load(layout)) << doc.FailureReason();
    EXPECT_EQ(EightByTwo(), Frame0());
    layout.sizeImage = 20;
    ASSERT_EQ(1, Load(layout)) << doc.FailureReason();
    EXPECT_EQ(EightByTwo(), Frame0());
    EXPECT_EQ(16u, doc.headerList.stream.format.header.biSizeImage);
}

TEST_F(BmpReader, LargerInfoHeadersAreHonoured) {
    for (uint32_t infoSize : {64u, 108u, 124u}) {
        SCOPED_TRACE(infoSize);
        BmpLayout layout;
        layout.infoSize = infoSize;
        layout.pixels = EightByTwo();
        ASSERT_EQ(1, Load(layout)) << doc.FailureReason();
        EXPECT_EQ(4, doc.Palette().count);
        EXPECT_EQ(255, doc.Palette().entries[0].red);
        EXPECT_EQ(3, doc.Palette().entries[1].blue);
        EXPECT_EQ(EightByTwo(), Frame0());
        EXPECT_EQ(infoSize, doc.Source().infoHeaderSize);
        // The document's header is the plain 40-byte one.
        EXPECT_EQ(40u, doc.headerList.stream.format.header.biSize);
    }
}

TEST_F(BmpReader, ShortInfoHeaderIsRefused) {
    BmpLayout layout;
    layout.infoSize = 12;
    layout.pixels = EightByTwo();
    layout.pixels.resize(40);
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("info header of 12 bytes is shorter than 40 (old OS/2 bitmaps are not supported)",
              doc.FailureReason());
}

TEST_F(BmpReader, TrueColourAndBitFieldsAreRefused) {
    const struct {
        uint16_t bits;
        uint32_t compression;
        const char* reason;
    } cases[] = {
        {16, 0, "16 bits per pixel is not a palette image"},
        {24, 0, "24 bits per pixel is not a palette image"},
        {32, 0, "32 bits per pixel is not a palette image"},
        {8, 3, "compression 3 (bit fields or Huffman) is not supported"},
        {8, 4, "unsupported compression 4"},
        {2, 0, "unsupported pixel depth of 2 bits"},
        {4, 1, "8-bit run-length data in a 4-bit picture"},
        {8, 2, "4-bit run-length data in a 8-bit picture"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        BmpLayout layout;
        layout.bits = c.bits;
        layout.compression = c.compression;
        layout.pixels.assign(64, 1);
        EXPECT_EQ(0, Load(layout));
        EXPECT_EQ(c.reason, doc.FailureReason());
    }
}

TEST_F(BmpReader, BadGeometryIsRefusedWithAReason) {
    BmpLayout layout;
    layout.pixels = EightByTwo();
    layout.width = 0;
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("invalid width 0", doc.FailureReason());
    layout.width = -8;
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("invalid width -8", doc.FailureReason());
    layout.width = 8;
    layout.height = 0;
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("invalid height 0", doc.FailureReason());
    layout.width = 1 << 20;
    layout.height = 1 << 12;
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ(
        "picture of 1048576 x 4096 pixels: the movie would take 4097 MB (1 frames of 4294967296 "
        "bytes and their bookkeeping); a movie may use at most 512 MB",
        doc.FailureReason());
}

// One memory budget for the movie: what composes from a strip saves and reads back; what would
// not fit is refused before the strip is cut, naming the limit.
TEST_F(BmpReader, StripsCutWithinTheMovieBudgetSaveAndReadBack) {
    const struct {
        const char* what;
        int32_t height;  // of a run-length strip 4 pixels wide whose codes end at once
        int32_t frameHeight;
        bool composes;
    } cases[] = {
        {"7,000,000 frames one row high: 28 MB of pixels, 561 MB with their records", 7000000, 1,
         false},
        {"two frames of 268 MB: the last frame filled below doubles the movie", 67108865, 67108864,
         false},
        {"a frame of 269 MB, too large for the encoder's buffer: written plain", 67200000, 67200000,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BmpLayout layout;
        layout.width = 4;
        layout.height = c.height;
        layout.compression = 1;
        layout.pixels = {0x00, 0x01};
        ASSERT_EQ(1, Load(layout)) << doc.FailureReason();
        EXPECT_EQ(c.composes ? 1 : 0, doc.ComposeFromStrip(nullptr, c.frameHeight));
        if (!c.composes) {
            EXPECT_NE(std::string::npos, doc.FailureReason().find("a movie may use at most 512 MB"))
                << doc.FailureReason();
            // The strip stays, to be cut another way.
            EXPECT_EQ(1, doc.FrameCount());
            EXPECT_EQ(4u * uint32_t(c.height), doc.Frame(0).data.size());
            continue;
        }
        ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "m.avi")) << doc.FailureReason();
        CAnimationDocument back;
        ASSERT_EQ(1, back.LoadAvi(nullptr, folder / "m.avi")) << back.FailureReason();
        EXPECT_EQ(doc.FrameCount(), back.FrameCount());
        EXPECT_EQ(doc.Frame(0).data.size(), back.Frame(0).data.size());
        back.ReleaseFrames();
        ASSERT_EQ(1, doc.SaveBitmap(nullptr, folder / "m.bmp", true)) << doc.FailureReason();
        ASSERT_EQ(1, back.LoadBitmapStrip(nullptr, folder / "m.bmp", 100)) << back.FailureReason();
        EXPECT_EQ(doc.Frame(0).data.size(), back.Frame(0).data.size());
    }
}

TEST_F(BmpReader, ShortPlainDataIsRefused) {
    BmpLayout layout;
    layout.pixels = EightByTwo();
    layout.pixels.pop_back();
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("pixel data ends early: 15 of 16 bytes", doc.FailureReason());
}

TEST_F(BmpReader, TopDownPlainGivesTheSamePicture) {
    BmpLayout layout;
    layout.height = -2;
    const auto rows = EightByTwo();
    layout.pixels.assign(rows.begin() + 8, rows.end());
    layout.pixels.insert(layout.pixels.end(), rows.begin(), rows.begin() + 8);
    ASSERT_EQ(1, Load(layout)) << doc.FailureReason();
    EXPECT_EQ(EightByTwo(), Frame0());
    EXPECT_EQ(2, doc.FrameHeight());
    EXPECT_EQ(3, doc.TransparentIndex());
}

TEST_F(BmpReader, TopDownRunLengthIsRefused) {
    BmpLayout layout;
    layout.height = -2;
    layout.compression = 1;
    layout.pixels = {8, 1, 0, 0, 8, 2, 0, 1};
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("run-length data in a top-down bitmap", doc.FailureReason());
}

TEST_F(BmpReader, Rle8IsDecodedWithItsProgress) {
    BmpLayout layout;
    layout.compression = 1;
    layout.pixels = {8, 1, 0, 0, 0, 3, 4, 5, 6, 0, 0, 1};  // row of 1s, row 4 5 6 then 0s
    test::RecordingProgress log;
    ASSERT_EQ(1, Load(layout, &log)) << doc.FailureReason();
    EXPECT_EQ((std::vector<uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 4, 5, 6, 0, 0, 0, 0, 0}), Frame0());
    EXPECT_EQ(1u, doc.Source().compression);
    EXPECT_EQ(0u, doc.headerList.stream.format.header.biCompression);
    EXPECT_EQ(16u, doc.headerList.stream.format.header.biSizeImage);
    ASSERT_LE(3u, log.reports.size());
    EXPECT_EQ((test::RecordingProgress::Entry{2 * 1 + 12 / 128, kPhaseReading}), log.reports[0]);
    EXPECT_EQ((test::RecordingProgress::Entry{0, 0}), log.reports[1]);
    EXPECT_EQ((test::RecordingProgress::Entry{0, kPhaseDecoding}), log.reports[2]);
}

TEST_F(BmpReader, DamagedRunLengthDataSaysWhatAndWhere) {
    BmpLayout layout;
    layout.compression = 1;
    layout.pixels = {8, 1, 0, 0, 0, 2, 0, 5, 0, 1};  // a row of 1s, then five rows up
    EXPECT_EQ(0, Load(layout));
    EXPECT_EQ("damaged run-length data: a delta passes the end of the frame at row 1",
              doc.FailureReason());
}

TEST_F(BmpReader, RunsPastTheRowEndAreClipped) {
    BmpLayout layout;
    layout.width = 5;
    layout.height = 2;
    layout.compression = 1;
    // A run of 7 in a 5-pixel row, then the second row.
    layout.pixels = {7, 9, 0, 0, 5, 2, 0, 1};
    ASSERT_EQ(1, Load(layout)) << doc.FailureReason();
    EXPECT_EQ((std::vector<uint8_t>{9, 9, 9, 9, 9, 0, 0, 0, 2, 2, 2, 2, 2, 0, 0, 0}), Frame0());
}

TEST_F(BmpReader, CancelAtEachReportFails) {
    BmpLayout layout;
    layout.bits = 4;
    layout.compression = 2;
    layout.paletteEntries = 16;
    layout.pixels = {8, 0x12, 0, 0, 8, 0x34, 0, 1};
    test::RecordingProgress all;
    ASSERT_EQ(1, Load(layout, &all)) << doc.FailureReason();
    for (size_t n = 1; n <= all.reports.size(); ++n) {
        SCOPED_TRACE(n);
        test::RecordingProgress log(n);
        EXPECT_EQ(0, Load(layout, &log));
        EXPECT_EQ("cancelled", doc.FailureReason());
    }
}

TEST_F(BmpReader, FailedOrCancelledLoadLeavesNoStripToCut) {
    // A load that stops after the pixel data was read must not leave run-length codes or packed
    // rows behind as a strip: cut into frames they would be shorter than one picture.
    BmpLayout damaged;
    damaged.compression = 1;
    damaged.pixels = {8, 1, 0, 0, 8, 2, 0, 0, 8, 3};  // no end of bitmap
    BmpLayout plain;
    plain.pixels = EightByTwo();
    BmpLayout fourBit;
    fourBit.bits = 4;
    fourBit.compression = 2;
    fourBit.paletteEntries = 16;
    fourBit.pixels = {8, 0x12, 0, 0, 8, 0x34, 0, 1};
    test::RecordingProgress all;
    ASSERT_EQ(1, Load(fourBit, &all)) << doc.FailureReason();
    struct Case {
        const BmpLayout* layout;
        size_t cancelAt;
    };
    // Without a sink the damaged codes fail; with one, Cancel at the last report stops the
    // conversion to 8 bits after the decoding.
    for (const Case& c : {Case{&damaged, 0}, Case{&fourBit, all.reports.size()}}) {
        SCOPED_TRACE(c.cancelAt);
        ASSERT_EQ(1, Load(plain)) << doc.FailureReason();
        test::RecordingProgress log(c.cancelAt);
        EXPECT_EQ(0, Load(*c.layout, c.cancelAt != 0 ? &log : nullptr));
        EXPECT_EQ(0, doc.FrameCount());
        EXPECT_TRUE(doc.movieList.frames.empty());
        EXPECT_TRUE(doc.DisplayInfo().empty());
        EXPECT_EQ(0, doc.ComposeFromStrip(nullptr, 1));
        EXPECT_EQ(0, doc.FrameCount());
    }
}

TEST_F(BmpReader, MissingAndForeignFilesFailWithAReason) {
    EXPECT_EQ(0, doc.LoadBitmapStrip(nullptr, folder / "absent.bmp", 100));
    EXPECT_EQ("no such file", doc.FailureReason());
    test::WriteAll(folder / "x.bmp", {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    EXPECT_EQ(0, doc.LoadBitmapStrip(nullptr, folder / "x.bmp", 100));
    EXPECT_EQ("not a BMP file", doc.FailureReason());
    test::WriteAll(folder / "y.bmp", {'B', 'M', 0, 0, 0, 0});
    EXPECT_EQ(0, doc.LoadBitmapStrip(nullptr, folder / "y.bmp", 100));
    EXPECT_EQ("the bitmap headers end early", doc.FailureReason());
}

TEST_F(BmpReader, TruncationAtEveryByteFailsCleanly) {
    BmpLayout layout;
    layout.bits = 8;
    layout.compression = 1;
    layout.pixels = {8, 1, 0, 0, 0, 3, 4, 5, 6, 0, 0, 1};
    const auto whole = MakeBmp(layout);
    for (size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        test::WriteAll(folder / "cut.bmp", std::vector<uint8_t>(whole.begin(), whole.begin() + n));
        EXPECT_EQ(0, doc.LoadBitmapStrip(nullptr, folder / "cut.bmp", 100));
        EXPECT_FALSE(doc.FailureReason().empty());
    }
}

std::filesystem::path CorpusFolder() {
    return test::SourceDir() / ".." / "shared" / "corpus" / "bmpsuite";
}

// Bits per pixel as the file states it (offset 28), or 0 when the file is too short.
uint16_t StoredBits(const std::filesystem::path& path) {
    const auto bytes = test::ReadAll(path);
    return bytes.size() >= 30 ? uint16_t(bytes[28] | bytes[29] << 8) : 0;
}

TEST(BmpCorpus, GoodPaletteFilesLoadOthersFailCleanly) {
    const auto corpus = CorpusFolder();
    if (!std::filesystem::is_directory(corpus / "g")) {
        GTEST_SKIP() << "no bitmap corpus beside the source tree";
    }
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus / "g")) {
        SCOPED_TRACE(entry.path().filename().string());
        CAnimationDocument doc;
        const uint16_t bits = StoredBits(entry.path());
        const int result = doc.LoadBitmapStrip(nullptr, entry.path(), 100);
        const auto header = test::ReadAll(entry.path());
        const uint32_t infoSize = header[14] | header[15] << 8;
        if ((bits == 1 || bits == 4 || bits == 8) && infoSize >= 40) {
            EXPECT_EQ(1, result) << doc.FailureReason();
            EXPECT_EQ(Stride8(doc.FrameWidth()) * uint32_t(doc.FrameHeight()), doc.Frame(0).Size());
            loaded += result;
        } else {
            EXPECT_EQ(0, result);
            EXPECT_FALSE(doc.FailureReason().empty());
        }
    }
    EXPECT_LE(16, loaded);
    // Damaged files of the b group that must be refused; the others there only bend fields
    // this reader ignores (planes, resolution, palette size, file size).
    const std::vector<std::string> refused = {"badbitcount.bmp", "badrle.bmp",     "badrle4.bmp",
                                              "badrle4bis.bmp",  "badrle4ter.bmp", "badrlebis.bmp",
                                              "badrleter.bmp",   "badwidth.bmp",   "reallybig.bmp",
                                              "rgb16-880.bmp",   "rletopdown.bmp", "shortfile.bmp"};
    int refusedSeen = 0;
    for (const char* group : {"q", "b"}) {
        for (const auto& entry : std::filesystem::directory_iterator(corpus / group)) {
            const std::string name = entry.path().filename().string();
            SCOPED_TRACE(name);
            CAnimationDocument doc;
            const int result = doc.LoadBitmapStrip(nullptr, entry.path(), 100);
            if (result == 1) {
                EXPECT_EQ(Stride8(doc.FrameWidth()) * uint32_t(doc.FrameHeight()),
                          doc.Frame(0).Size());
            } else {
                EXPECT_FALSE(doc.FailureReason().empty());
            }
            if (std::string(group) == "b" &&
                std::find(refused.begin(), refused.end(), name) != refused.end()) {
                EXPECT_EQ(0, result);
                ++refusedSeen;
            }
        }
    }
    EXPECT_EQ(int(refused.size()), refusedSeen);
}

}  // namespace
}  // namespace kx
