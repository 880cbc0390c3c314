#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/recording_progress.h"
#include "doc/temp_folder.h"
#include "support/same_bytes.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;
using Pixel = std::function<uint8_t(int32_t frame, uint32_t x, uint32_t row)>;

// A composed movie held in memory: n frames of w x h pixels (row 0 at the bottom), padding 0.
void MakeMovie(CAnimationDocument& doc, int32_t w, int32_t h, int32_t n, int32_t entries,
               const Pixel& pixel) {
    BitmapInfoHeader& format = doc.headerList.stream.format.header;
    format.biWidth = w;
    format.biHeight = h;
    format.biXPelsPerMeter = 3780;
    format.biYPelsPerMeter = 3779;
    doc.palette.count = entries;
    for (int32_t i = 0; i < entries; ++i) {
        doc.palette.entries[size_t(i)] = {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i), 0};
    }
    const uint32_t stride = Stride8(w);
    doc.movieList.frames.assign(size_t(n), FrameChunk{});
    doc.movieList.index.assign(size_t(n), IndexEntry{});
    for (int32_t k = 0; k < n; ++k) {
        FrameBytes& data = doc.movieList.frames[size_t(k)].data;
        data.assign(size_t(stride) * uint32_t(h), 0);
        for (uint32_t y = 0; y < uint32_t(h); ++y) {
            for (uint32_t x = 0; x < uint32_t(w); ++x) {
                data[y * stride + x] = pixel(k, x, y);
            }
        }
    }
    doc.frameCount = n;
    ASSERT_EQ(1, doc.RebuildHeaders(entries, n, h, w, 100));
}

std::vector<Bytes> FramesOf(const CAnimationDocument& doc) {
    std::vector<Bytes> frames;
    for (int32_t k = 0; k < doc.FrameCount(); ++k) {
        frames.push_back(doc.Frame(k).data.Copy());
    }
    return frames;
}

struct BitmapHeaders {
    uint16_t type = 0;
    uint32_t fileSize = 0;
    uint32_t reserved = 0;
    uint32_t offBits = 0;
    BitmapInfoHeader info;
};

BitmapHeaders ReadHeaders(const Bytes& file) {
    BitmapHeaders h;
    ByteReader in(file.data(), file.size());
    h.type = in.u16le();
    h.fileSize = in.u32le();
    h.reserved = in.u32le();
    h.offBits = in.u32le();
    h.info.Read(in);
    return h;
}

class BmpWriterTest : public ::testing::Test {
protected:
    test::TempFolder folder_;
    std::filesystem::path path_ = folder_ / "strip.bmp";
    CAnimationDocument doc_;
};

TEST_F(BmpWriterTest, PlainStripHasTheFramesFromTheTopDown) {
    MakeMovie(doc_, 32, 32, 3, 16,
              [](int32_t k, uint32_t x, uint32_t y) { return uint8_t((k * 5 + x + y) % 16); });
    const std::vector<Bytes> frames = FramesOf(doc_);
    ASSERT_EQ(1, doc_.SaveBitmap(nullptr, path_, false)) << doc_.FailureReason();
    const Bytes file = test::ReadAll(path_);
    ASSERT_EQ(3190u, file.size());
    const BitmapHeaders h = ReadHeaders(file);
    EXPECT_EQ(0x4D42, h.type);
    EXPECT_EQ(3190u, h.fileSize);
    EXPECT_EQ(0u, h.reserved);
    EXPECT_EQ(118u, h.offBits);
    EXPECT_EQ(40u, h.info.biSize);
    EXPECT_EQ(32, h.info.biWidth);
    EXPECT_EQ(96, h.info.biHeight);
    EXPECT_EQ(1, h.info.biPlanes);
    EXPECT_EQ(8, h.info.biBitCount);
    EXPECT_EQ(0u, h.info.biCompression);
    EXPECT_EQ(3072u, h.info.biSizeImage);
    EXPECT_EQ(3780, h.info.biXPelsPerMeter);
    EXPECT_EQ(3779, h.info.biYPelsPerMeter);
    EXPECT_EQ(16u, h.info.biClrUsed);
    EXPECT_EQ(0u, h.info.biClrImportant);
    EXPECT_EQ(Bytes({7, 14, 21, 0}), Bytes(file.begin() + 54 + 28, file.begin() + 54 + 32));
    EXPECT_EQ(frames[2], Bytes(file.begin() + 118, file.begin() + 118 + 1024));
    EXPECT_EQ(frames[1], Bytes(file.begin() + 118 + 1024, file.begin() + 118 + 2048));
    EXPECT_EQ(frames[0], Bytes(file.begin() + 118 + 2048, file.end()));
    EXPECT_EQ(frames, FramesOf(doc_));
}

TEST_F(BmpWriterTest, CompressedStripEndsOnlyTheLastFrameWithEndOfBitmap) {
    // 8 x 2 frames of two uniform rows: each frame is 08 v 00 00 08 w 00 01 on its own.
    MakeMovie(doc_, 8, 2, 3, 4,
              [](int32_t k, uint32_t, uint32_t y) { return uint8_t(k + (y == 0 ? 0 : 1)); });
    const std::vector<Bytes> frames = FramesOf(doc_);
    test::RecordingProgress progress;
    ASSERT_EQ(1, doc_.SaveBitmap(&progress, path_, true)) << doc_.FailureReason();
    const Bytes file = test::ReadAll(path_);
    const BitmapHeaders h = ReadHeaders(file);
    EXPECT_EQ(1u, h.info.biCompression);
    EXPECT_EQ(24u, h.info.biSizeImage);
    EXPECT_EQ(6, h.info.biHeight);
    EXPECT_EQ(4u * 4 + 24 + 54, h.fileSize);
    EXPECT_EQ(h.fileSize, file.size());
    const Bytes data(file.begin() + h.offBits, file.end());
    EXPECT_EQ(Bytes({0x08, 2, 0, 0, 0x08, 3, 0, 0,    // frame 2, ends with an end of line
                     0x08, 1, 0, 0, 0x08, 2, 0, 0,    // frame 1
                     0x08, 0, 0, 0, 0x08, 1, 0, 1}),  // frame 0 ends the bitmap
              data);
    // The document is plain again with the same pixels.
    EXPECT_EQ(frames, FramesOf(doc_));
    EXPECT_EQ(0u, doc_.headerList.stream.format.header.biCompression);
    EXPECT_EQ(fourcc::kRgb, doc_.headerList.stream.header.handler);
    EXPECT_EQ(48u, doc_.headerList.main.suggestedBufferSize);
    // The codes were kept apart: nothing was decoded back.
    EXPECT_EQ(progress.reports.end(), std::find(progress.reports.begin(), progress.reports.end(),
                                                test::RecordingProgress::Entry(0, kPhaseDecoding)));
}

TEST_F(BmpWriterTest, StripIsWrittenPlainWhenCompressionDoesNotPay) {
    std::mt19937 random(7);
    Bytes noise(3 * 16 * 16);
    for (uint8_t& b : noise) {
        b = uint8_t(random() % 200);
    }
    MakeMovie(doc_, 16, 16, 3, 200, [&](int32_t k, uint32_t x, uint32_t y) {
        return noise[size_t(k) * 256 + y * 16 + x];
    });
    const std::vector<Bytes> frames = FramesOf(doc_);
    ASSERT_EQ(1, doc_.SaveBitmap(nullptr, path_, true)) << doc_.FailureReason();
    const Bytes file = test::ReadAll(path_);
    const BitmapHeaders h = ReadHeaders(file);
    EXPECT_EQ(0u, h.info.biCompression);
    EXPECT_EQ(768u, h.info.biSizeImage);
    EXPECT_EQ(frames[2], Bytes(file.begin() + h.offBits, file.begin() + h.offBits + 256));
    EXPECT_EQ(frames, FramesOf(doc_));
}

TEST_F(BmpWriterTest, FourPixelWideStripIsAlwaysPlain) {
    MakeMovie(doc_, 4, 6, 2, 2, [](int32_t, uint32_t, uint32_t) { return uint8_t(1); });
    ASSERT_EQ(1, doc_.SaveBitmap(nullptr, path_, true)) << doc_.FailureReason();
    const BitmapHeaders h = ReadHeaders(test::ReadAll(path_));
    EXPECT_EQ(0u, h.info.biCompression);
    EXPECT_EQ(48u, h.info.biSizeImage);
    EXPECT_EQ(12, h.info.biHeight);
}

TEST_F(BmpWriterTest, WrittenStripReadsBackIntoTheSameFrames) {
    for (const bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "plain");
        CAnimationDocument doc;
        // Odd width (padding), runs and single pixels, frames that differ.
        MakeMovie(doc, 13, 9, 4, 32, [](int32_t k, uint32_t x, uint32_t y) {
            return uint8_t(x < 6 ? k : (x * 3 + y * 5 + uint32_t(k)) % 32);
        });
        const std::vector<Bytes> frames = FramesOf(doc);
        ASSERT_EQ(1, doc.SaveBitmap(nullptr, path_, compress)) << doc.FailureReason();
        EXPECT_EQ(compress ? 1u : 0u, ReadHeaders(test::ReadAll(path_)).info.biCompression);

        CAnimationDocument back;
        ASSERT_EQ(1, back.LoadBitmapStrip(nullptr, path_, 100)) << back.FailureReason();
        ASSERT_EQ(1, back.ComposeFromStrip(nullptr, 9)) << back.FailureReason();
        EXPECT_EQ(frames, FramesOf(back));
        EXPECT_EQ(32, back.Palette().count);
        EXPECT_EQ(93, back.Palette().entries[31].red);
    }
}

TEST_F(BmpWriterTest, PlainProgressReportsRangeHeaderBlocksAndFrames) {
    MakeMovie(doc_, 32, 320, 2, 4, [](int32_t k, uint32_t, uint32_t) { return uint8_t(k); });
    test::RecordingProgress progress;
    ASSERT_EQ(1, doc_.SaveBitmap(&progress, path_, false)) << doc_.FailureReason();
    using Entry = test::RecordingProgress::Entry;
    // 10240-byte frames in one block each; 256 bytes per unit.
    const std::vector<Entry> expected = {
        {(20480 + 310) / 256, kPhaseWriting},
        {1, kProgressStep},
        {40, kProgressStep},  // frame 1
        {0, kProgressStep},
        {40, kProgressStep},  // frame 0
        {0, kProgressStep},
        {0, kProgressStep},
    };
    EXPECT_EQ(expected, progress.reports);
}

TEST_F(BmpWriterTest, CancelAtAnyReportKeepsTheOldFileAndThePlainFrames) {
    for (const bool compress : {false, true}) {
        SCOPED_TRACE(compress ? "compressed" : "plain");
        MakeMovie(doc_, 40, 300, 3, 8, [](int32_t k, uint32_t x, uint32_t y) {
            return uint8_t((x / 8 + y / 16 + uint32_t(k)) % 8);
        });
        const std::vector<Bytes> frames = FramesOf(doc_);
        test::RecordingProgress counting;
        ASSERT_EQ(1, doc_.SaveBitmap(&counting, path_, compress)) << doc_.FailureReason();
        const Bytes saved = test::ReadAll(path_);
        const Bytes old = {'o', 'l', 'd'};
        for (size_t n = 1; n <= counting.reports.size(); ++n) {
            test::WriteAll(path_, old);
            test::RecordingProgress cancelling(n);
            const int result = doc_.SaveBitmap(&cancelling, path_, compress);
            // The old file stays, or the whole new one is there: never a part.
            if (result == 0) {
                EXPECT_EQ("cancelled", doc_.FailureReason()) << "Cancel at report " << n;
                EXPECT_TRUE(test::SameBytes(old, test::ReadAll(path_))) << "Cancel at report " << n;
            } else {
                EXPECT_TRUE(test::SameBytes(saved, test::ReadAll(path_)))
                    << "Cancel at report " << n;
            }
            EXPECT_EQ(frames, FramesOf(doc_)) << "Cancel at report " << n;
            EXPECT_EQ(0u, doc_.headerList.stream.format.header.biCompression);
            EXPECT_EQ(1u, folder_.Entries().size()) << "Cancel at report " << n;
        }
    }
}

TEST_F(BmpWriterTest, ASingleCancelNeverCommitsAPartFile) {
    // Plain frames of 16000 bytes are written in several blocks; a sink that answers Cancel once
    // and then goes on must not get a shortened frame committed as a complete file.
    MakeMovie(doc_, 160, 100, 3, 8, [](int32_t k, uint32_t x, uint32_t y) {
        return uint8_t((x * 7 + y * 3 + uint32_t(k)) % 8);
    });
    test::RecordingProgress counting;
    ASSERT_EQ(1, doc_.SaveBitmap(&counting, path_, false)) << doc_.FailureReason();
    const Bytes saved = test::ReadAll(path_);
    const Bytes old = {'o', 'l', 'd'};
    for (size_t n = 1; n <= counting.reports.size(); ++n) {
        test::WriteAll(path_, old);
        test::RecordingProgress once(n, true);
        if (doc_.SaveBitmap(&once, path_, false) == 1) {
            EXPECT_TRUE(test::SameBytes(saved, test::ReadAll(path_))) << "Cancel at report " << n;
        } else {
            EXPECT_TRUE(test::SameBytes(old, test::ReadAll(path_))) << "Cancel at report " << n;
        }
    }
}

TEST_F(BmpWriterTest, FailureAfterEncodingKeepsThePlainFrames) {
    MakeMovie(doc_, 8, 2, 3, 4, [](int32_t k, uint32_t, uint32_t) { return uint8_t(k); });
    const std::vector<Bytes> frames = FramesOf(doc_);
    EXPECT_EQ(0, doc_.SaveBitmap(nullptr, folder_ / "no such folder" / "strip.bmp", true));
    EXPECT_EQ("cannot write strip.bmp: no such file or folder", doc_.FailureReason());
    EXPECT_EQ(frames, FramesOf(doc_));
    EXPECT_EQ(0u, doc_.headerList.stream.format.header.biCompression);
    EXPECT_EQ(fourcc::kRgb, doc_.headerList.stream.header.handler);
    EXPECT_EQ(48u, doc_.headerList.main.suggestedBufferSize);
}

TEST_F(BmpWriterTest, FramesOfTheWrongSizeOrNoFramesAreRefused) {
    EXPECT_EQ(0, doc_.SaveBitmap(nullptr, path_, false));
    EXPECT_EQ("no movie to save", doc_.FailureReason());
    MakeMovie(doc_, 8, 2, 3, 4, [](int32_t k, uint32_t, uint32_t) { return uint8_t(k); });
    doc_.movieList.frames[1].data.resize(15);
    EXPECT_EQ(0, doc_.SaveBitmap(nullptr, path_, true));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("frame 1 holds 15 bytes"))
        << doc_.FailureReason();
    EXPECT_FALSE(std::filesystem::exists(path_));
}

}  // namespace
}  // namespace kx
