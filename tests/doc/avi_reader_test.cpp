#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/avi_builder.h"
#include "doc/recording_progress.h"
#include "doc/temp_folder.h"

namespace kx {
namespace {

using test::AviParts;
using test::Bytes;
using test::Chunk;
using test::Concat;
using test::Junk;
using test::List;
using test::Riff;

const uint32_t kRec = MakeFourCC("rec ");

// Three 5 x 3 plain frames (stride 8) with distinct pixels.
AviParts ThreePlainFrames() {
    AviParts p;
    for (int k = 0; k < 3; ++k) {
        p.frames.push_back(test::PlainFrame(p, k));
    }
    return p;
}

class AviReaderTest : public ::testing::Test {
protected:
    // Writes the bytes to a file and loads it; returns LoadAvi's result.
    int Load(const Bytes& bytes, ProgressSink* progress = nullptr) {
        test::WriteAll(path_, bytes);
        return doc_.LoadAvi(progress, path_);
    }
    void ExpectFrames(const std::vector<Bytes>& frames) {
        ASSERT_EQ(int32_t(frames.size()), doc_.FrameCount());
        for (size_t k = 0; k < frames.size(); ++k) {
            EXPECT_EQ(frames[k], doc_.Frame(int32_t(k)).data) << "frame " << k;
        }
    }

    test::TempFolder folder_;
    std::filesystem::path path_ = folder_ / "movie.avi";
    CAnimationDocument doc_;
};

TEST_F(AviReaderTest, PlainMovieLoadsFramesPaletteSizeAndSpeed) {
    const AviParts p = ThreePlainFrames();
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    ExpectFrames(p.frames);
    EXPECT_EQ(5, doc_.FrameWidth());
    EXPECT_EQ(3, doc_.FrameHeight());
    EXPECT_EQ(40000u, doc_.MicroSecPerFrame());
    EXPECT_EQ(40u, doc_.headerList.stream.header.scale);
    ASSERT_EQ(4, doc_.Palette().count);
    EXPECT_EQ(255, doc_.Palette().entries[1].blue);
    EXPECT_EQ(48, doc_.Palette().entries[2].red);
    EXPECT_EQ(fourcc::kRgb, doc_.headerList.stream.header.handler);
    EXPECT_EQ(8, doc_.Source().bitCount);
    EXPECT_EQ(0u, doc_.Source().compression);
    EXPECT_EQ(2835, doc_.headerList.stream.format.header.biXPelsPerMeter);
    // Headers agree with the frames: 24 bytes each.
    EXPECT_EQ(4u + 3u * (8u + 24u), doc_.movieList.list.size);
    EXPECT_EQ(24u, doc_.headerList.stream.format.header.biSizeImage);
    EXPECT_EQ(72u, doc_.headerList.main.suggestedBufferSize);
    ASSERT_EQ(3u, doc_.movieList.index.size());
    EXPECT_EQ(0x10u, doc_.movieList.index[1].flags);
    EXPECT_EQ(4u + 32u, doc_.movieList.index[1].offset);
    // Top-left pixel: first pixel of the last row in memory of frame 0.
    EXPECT_EQ(p.frames[0][2 * 8], doc_.TransparentIndex());
    EXPECT_FALSE(doc_.DisplayInfo().empty());
}

TEST_F(AviReaderTest, MoviesWrittenBySaveAviReadBackUnchanged) {
    struct Case {
        const char* name;
        int32_t width;
        int32_t height;
        int32_t frames;
        int (*pixel)(int k, int x, int y);
    };
    const Case cases[] = {
        {"moving block, run-length", 23, 11, 5,
         [](int k, int x, int y) { return (x >= k * 3 && x < k * 3 + 6 && y > 2) ? 9 : 2; }},
        {"noise, written plain", 9, 7, 3,
         [](int k, int x, int y) { return (x * 7 + y * 13 + k * 31) % 40; }},
        {"4 pixels wide", 4, 5, 2, [](int k, int x, int y) { return (x + y + k) % 3; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAnimationDocument saved;
        BitmapInfoHeader& format = saved.headerList.stream.format.header;
        format.biWidth = c.width;
        format.biHeight = c.height;
        // 48 colours, of which the frames use only some: the writer compacts the palette.
        saved.palette.count = 48;
        for (int i = 0; i < 48; ++i) {
            saved.palette.entries[size_t(i)] = {uint8_t(i * 5), uint8_t(i), uint8_t(255 - i), 0};
        }
        const uint32_t stride = Stride8(c.width);
        saved.movieList.frames.assign(size_t(c.frames), FrameChunk{});
        saved.movieList.index.assign(size_t(c.frames), IndexEntry{});
        for (int k = 0; k < c.frames; ++k) {
            FrameBytes& data = saved.movieList.frames[size_t(k)].data;
            data.assign(size_t(stride) * size_t(c.height), 0);
            for (int y = 0; y < c.height; ++y) {
                for (int x = 0; x < c.width; ++x) {
                    data[size_t(y) * stride + size_t(x)] = uint8_t(c.pixel(k, x, y));
                }
            }
        }
        saved.frameCount = c.frames;
        ASSERT_EQ(1, saved.RebuildHeaders(48, c.frames, c.height, c.width, 100));
        saved.SetSpeed(70);
        ASSERT_EQ(1, saved.SaveAvi(nullptr, path_)) << saved.FailureReason();

        ASSERT_EQ(1, doc_.LoadAvi(nullptr, path_)) << doc_.FailureReason();
        ASSERT_EQ(c.frames, doc_.FrameCount());
        for (int k = 0; k < c.frames; ++k) {
            EXPECT_EQ(saved.Frame(k).data, doc_.Frame(k).data) << "frame " << k;
        }
        EXPECT_EQ(c.width, doc_.FrameWidth());
        EXPECT_EQ(c.height, doc_.FrameHeight());
        EXPECT_EQ(70000u, doc_.MicroSecPerFrame());
        EXPECT_EQ(70u, doc_.headerList.stream.header.scale);
        ASSERT_EQ(saved.Palette().count, doc_.Palette().count);
        for (int i = 0; i < saved.Palette().count; ++i) {
            EXPECT_EQ(saved.Palette().entries[size_t(i)].blue,
                      doc_.Palette().entries[size_t(i)].blue);
            EXPECT_EQ(saved.Palette().entries[size_t(i)].red,
                      doc_.Palette().entries[size_t(i)].red);
        }
        EXPECT_EQ(saved.TransparentIndex(), doc_.TransparentIndex());
    }
}

TEST_F(AviReaderTest, MainHeaderOfAnotherSizeFails) {
    const AviParts p = ThreePlainFrames();
    const Bytes hdrl = List(fourcc::kHdrl, {test::Avih(p, 60), test::Strl(p)});
    EXPECT_EQ(0, Load(Riff({hdrl, test::Movi(p), test::Idx1For(p)})));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("avih")) << doc_.FailureReason();
    EXPECT_EQ(0, doc_.FrameCount());
}

TEST_F(AviReaderTest, SoundOnlyStreamFails) {
    const AviParts p = ThreePlainFrames();
    const Bytes strl = List(fourcc::kStrl, {test::Strh(p, MakeFourCC("auds")), test::Strf(p)});
    const Bytes hdrl = List(fourcc::kHdrl, {test::Avih(p), strl});
    EXPECT_EQ(0, Load(Riff({hdrl, test::Movi(p), test::Idx1For(p)})));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("auds")) << doc_.FailureReason();
}

TEST_F(AviReaderTest, SoundStreamBeforeTheVideoStreamIsPassedOver) {
    AviParts p = ThreePlainFrames();
    p.frameId = MakeFourCC("01dc");
    const Bytes sound = List(fourcc::kStrl, {test::Strh(p, MakeFourCC("auds")), Junk(18)});
    const Bytes hdrl = List(fourcc::kHdrl, {test::Avih(p), sound, test::Strl(p)});
    const Bytes movi =
        List(fourcc::kMovi, {Chunk(MakeFourCC("00wb"), Bytes(9, 1)), test::FrameChunks(p)});
    ASSERT_EQ(1, Load(Riff({hdrl, movi, test::Idx1For(p)}))) << doc_.FailureReason();
    ExpectFrames(p.frames);
}

TEST_F(AviReaderTest, JunkAtEveryLevelIsSkipped) {
    const AviParts p = ThreePlainFrames();
    const Bytes strl = List(fourcc::kStrl, {Junk(4), test::Strh(p), Junk(10), test::Strf(p)});
    const Bytes hdrl = List(fourcc::kHdrl, {Junk(6), test::Avih(p), Junk(2), strl, Junk(0)});
    const Bytes movi = List(fourcc::kMovi, {Junk(12), test::FrameChunks(p), Junk(3)});
    const Bytes info = List(MakeFourCC("INFO"), {Chunk(MakeFourCC("ISFT"), Bytes(5, 'x'))});
    ASSERT_EQ(1, Load(Riff({Junk(8), hdrl, info, Junk(1016), movi, Junk(5), test::Idx1For(p)})))
        << doc_.FailureReason();
    ExpectFrames(p.frames);
}

TEST_F(AviReaderTest, RecListsInsideTheFrameListAreEntered) {
    AviParts p = ThreePlainFrames();
    const Bytes movi =
        List(fourcc::kMovi,
             {List(kRec, {Chunk(p.frameId, p.frames[0])}),
              List(kRec, {Chunk(p.frameId, p.frames[1]), Chunk(p.frameId, p.frames[2])})});
    ASSERT_EQ(1, Load(Riff({test::Hdrl(p), movi, test::Idx1For(p)}))) << doc_.FailureReason();
    ExpectFrames(p.frames);
}

TEST_F(AviReaderTest, OddSizedUnknownChunksAreSkippedWithTheirPadByte) {
    const AviParts p = ThreePlainFrames();
    // Pad bytes of 0xFF would be read as the next chunk if the pad were not skipped.
    const auto odd = [](uint32_t size) {
        Bytes c = Chunk(MakeFourCC("zzzz"), Bytes(size, 0x30), false);
        c.push_back(0);
        return c;
    };
    const Bytes hdrl = List(fourcc::kHdrl, {odd(3), test::Avih(p), test::Strl(p)});
    const Bytes movi = List(fourcc::kMovi, {odd(1), test::FrameChunks(p), odd(7)});
    ASSERT_EQ(1, Load(Riff({odd(5), hdrl, movi, odd(9), test::Idx1For(p)})))
        << doc_.FailureReason();
    ExpectFrames(p.frames);
}

TEST_F(AviReaderTest, TenFramesAnnouncedAndNineChunksFail) {
    AviParts p;
    for (int k = 0; k < 9; ++k) {
        p.frames.push_back(test::PlainFrame(p, k));
    }
    p.totalFrames = 10;
    EXPECT_EQ(0, Load(test::BuildAvi(p)));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("9 frames")) << doc_.FailureReason();
    EXPECT_EQ(0, doc_.FrameCount());
    EXPECT_TRUE(doc_.movieList.frames.empty());
}

TEST_F(AviReaderTest, TenChunksAndTenIndexEntriesLoad) {
    AviParts p;
    for (int k = 0; k < 10; ++k) {
        p.frames.push_back(test::PlainFrame(p, k));
    }
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    ExpectFrames(p.frames);
}

TEST_F(AviReaderTest, SecondStreamIndexEntriesAreIgnoredAndDoNotCount) {
    const AviParts p = ThreePlainFrames();
    std::vector<test::IndexRow> rows;
    for (uint32_t k = 0; k < 3; ++k) {
        rows.push_back({MakeFourCC("01wb"), 0, 0, 99});
        rows.push_back({MakeFourCC("00db"), 0x10 + k, 1000 + k, 24});
    }
    ASSERT_EQ(1, Load(Riff({test::Hdrl(p), test::Movi(p), test::Idx1(rows)})))
        << doc_.FailureReason();
    ASSERT_EQ(3u, doc_.movieList.index.size());
    for (uint32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(fourcc::k00dc, doc_.movieList.index[k].id);
        EXPECT_EQ(0x10 + k, doc_.movieList.index[k].flags);
        EXPECT_EQ(24u, doc_.movieList.index[k].size);
    }

    // Two video entries and one sound entry are not three frames.
    rows = {{fourcc::k00dc}, {MakeFourCC("01wb")}, {fourcc::k00dc}};
    EXPECT_EQ(0, Load(Riff({test::Hdrl(p), test::Movi(p), test::Idx1(rows)})));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("index")) << doc_.FailureReason();
}

TEST_F(AviReaderTest, TotalFramesZeroFails) {
    AviParts p = ThreePlainFrames();
    const Bytes hdrl = List(fourcc::kHdrl, {test::Avih(AviParts{}), test::Strl(p)});
    EXPECT_EQ(0, Load(Riff({hdrl, test::Movi(p), test::Idx1For(p)})));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("no frames")) << doc_.FailureReason();
}

TEST_F(AviReaderTest, InitialFramesArePlacedInTheirSlots) {
    // N = 3 frames with I = 2 initial frames: the first two chunks go to slots 3 and 4, the
    // next three to slots 0, 1 and 2.
    AviParts p;
    p.totalFrames = 3;
    p.initialFrames = 2;
    for (int k = 0; k < 5; ++k) {
        p.frames.push_back(test::PlainFrame(p, 10 * k));
    }
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    ASSERT_EQ(3, doc_.FrameCount());
    ASSERT_EQ(5u, doc_.movieList.frames.size());
    EXPECT_EQ(p.frames[2], doc_.Frame(0).data);
    EXPECT_EQ(p.frames[3], doc_.Frame(1).data);
    EXPECT_EQ(p.frames[4], doc_.Frame(2).data);
    EXPECT_EQ(p.frames[0], doc_.movieList.frames[3].data);
    EXPECT_EQ(p.frames[1], doc_.movieList.frames[4].data);
    EXPECT_EQ(0u, doc_.headerList.stream.header.initialFrames);
    EXPECT_EQ(0u, doc_.headerList.main.initialFrames);

    // Initial frames must be fewer than the frames.
    p.initialFrames = 3;
    EXPECT_EQ(0, Load(test::BuildAvi(p)));
}

TEST_F(AviReaderTest, RunLengthFramesDecodeEachAgainstThePreviousOne) {
    AviParts p;
    p.width = 8;
    p.height = 2;
    p.compression = 1;
    p.frames = {
        {0x08, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00, 0x01},  // rows of 1s and 2s
        {0x00, 0x02, 0x00, 0x01, 0x08, 0x03, 0x00, 0x01},  // bottom row kept, top row 3s
        {0x02, 0x00, 0x00, 0x01},                          // two pixels changed, rest kept
    };
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    const Bytes ones(8, 1);
    const Bytes twos(8, 2);
    const Bytes threes(8, 3);
    ExpectFrames({Concat({ones, twos}), Concat({ones, threes}),
                  Concat({Bytes{0, 0, 1, 1, 1, 1, 1, 1}, threes})});
    EXPECT_EQ(0u, doc_.headerList.stream.format.header.biCompression);
    EXPECT_EQ(1u, doc_.Source().compression);
    EXPECT_EQ(16u, doc_.headerList.stream.format.header.biSizeImage);
}

TEST_F(AviReaderTest, RunLengthDecodingStartsWithTheFirstChunkOfTheFile) {
    // N = 2, I = 1: the first chunk (slot 2) is decoded alone, slot 0 against it, slot 1 against
    // slot 0.
    AviParts p;
    p.width = 8;
    p.height = 1;
    p.compression = 1;
    p.totalFrames = 2;
    p.initialFrames = 1;
    p.frames = {
        {0x08, 0x04, 0x00, 0x01},                          // slot 2: 4s
        {0x00, 0x02, 0x02, 0x00, 0x01, 0x07, 0x00, 0x01},  // slot 0: two 4s, a 7, 4s
        {0x01, 0x09, 0x00, 0x01},                          // slot 1: a 9 over slot 0
    };
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    ExpectFrames({{4, 4, 7, 4, 4, 4, 4, 4}, {9, 4, 7, 4, 4, 4, 4, 4}});
}

TEST_F(AviReaderTest, FourAndOneBitFramesAreExpandedToEightBits) {
    AviParts p;
    p.width = 4;
    p.height = 1;
    p.bits = 4;
    p.compression = 2;
    p.frames = {{0x04, 0x12, 0x00, 0x01}};  // pixels 1 2 1 2
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    ExpectFrames({{1, 2, 1, 2}});
    EXPECT_EQ(8, doc_.headerList.stream.format.header.biBitCount);
    EXPECT_EQ(4, doc_.Source().bitCount);

    AviParts q;
    q.width = 9;
    q.height = 2;
    q.bits = 1;
    // Rows of 4 bytes: 9 pixels then padding bits.
    q.frames = {{0xAA, 0x80, 0, 0, 0x0F, 0x00, 0, 0}};
    ASSERT_EQ(1, Load(test::BuildAvi(q))) << doc_.FailureReason();
    ExpectFrames({{1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0}});
}

TEST_F(AviReaderTest, DrawingHeaderCountsThePaletteReadWhateverTheFileSaysItUses) {
    // Files often leave biClrUsed 0 ("all 2^bits colours") beside a shorter palette; the header
    // drawn with must announce exactly the index table that follows it.
    AviParts p;
    p.width = 4;
    p.height = 1;
    p.bits = 4;
    p.compression = 2;
    p.frames = {{0x04, 0x12, 0x00, 0x01}};
    Bytes bytes = test::BuildAvi(p);
    // biClrUsed: RIFF and "hdrl" headers, "avih", "strl" header, "strh", "strf" header, 32 bytes.
    const size_t clrUsed = 12 + 12 + 64 + 12 + 64 + 8 + 32;
    ASSERT_EQ(4u, bytes[clrUsed]);
    for (const uint8_t written : {0, 200}) {
        bytes[clrUsed] = written;
        ASSERT_EQ(1, Load(bytes)) << doc_.FailureReason();
        ASSERT_EQ(4, doc_.Palette().count);
        const std::vector<uint8_t>& info = doc_.DisplayInfo();
        ASSERT_EQ(40u + 2 * 4, info.size());
        EXPECT_EQ(4u, uint32_t(info[32] | info[33] << 8 | info[34] << 16 | info[35] << 24))
            << "biClrUsed written as " << int(written);
    }
}

TEST_F(AviReaderTest, PlainFramesShorterThanOnePictureAreRefused) {
    AviParts p = ThreePlainFrames();
    p.frames[1].resize(23);
    EXPECT_EQ(0, Load(test::BuildAvi(p)));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("frame 1 holds 23 bytes"))
        << doc_.FailureReason();
    EXPECT_EQ(0, doc_.FrameCount());
}

TEST_F(AviReaderTest, BytesBeyondOnePictureAreDropped) {
    AviParts p = ThreePlainFrames();
    const std::vector<Bytes> pictures = p.frames;
    p.frames[2].resize(40, 9);
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    ExpectFrames(pictures);
    EXPECT_EQ(24u, doc_.headerList.stream.format.header.biSizeImage);
}

TEST_F(AviReaderTest, TopDownPlainFramesAreTurnedBottomUp) {
    AviParts p = ThreePlainFrames();
    p.height = -3;
    std::vector<Bytes> expected;
    for (const Bytes& frame : p.frames) {
        expected.push_back(Concat({Bytes(frame.begin() + 16, frame.end()),
                                   Bytes(frame.begin() + 8, frame.begin() + 16),
                                   Bytes(frame.begin(), frame.begin() + 8)}));
    }
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    ExpectFrames(expected);
    EXPECT_EQ(3, doc_.FrameHeight());
    // The top-left pixel is the first pixel of the file's first row.
    EXPECT_EQ(p.frames[0][0], doc_.TransparentIndex());
}

TEST_F(AviReaderTest, TopDownRunLengthFramesAreRefused) {
    AviParts p;
    p.width = 8;
    p.height = -1;
    p.compression = 1;
    p.frames = {{0x08, 0x04, 0x00, 0x01}};
    EXPECT_EQ(0, Load(test::BuildAvi(p)));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("top-down")) << doc_.FailureReason();
}

TEST_F(AviReaderTest, LargerInfoHeadersAreHonouredAndShorterOnesRefused) {
    // The palette follows the whole info header; the document keeps a 40-byte header.
    AviParts p = ThreePlainFrames();
    p.infoSize = 44;
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    ExpectFrames(p.frames);
    EXPECT_EQ(40u, doc_.headerList.stream.format.header.biSize);
    ASSERT_EQ(4, doc_.Palette().count);
    EXPECT_EQ(255, doc_.Palette().entries[1].red);
    EXPECT_EQ(48, doc_.Palette().entries[2].red);
    EXPECT_EQ(40u, doc_.DisplayInfo()[0]);

    p.infoSize = 36;
    EXPECT_EQ(0, Load(test::BuildAvi(p)));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("header")) << doc_.FailureReason();
}

TEST_F(AviReaderTest, RunLengthTypeThatDoesNotMatchTheDepthIsRefused) {
    for (const auto& [bits, compression] : {std::pair<uint16_t, uint32_t>{4, 1}, {8, 2}, {1, 1}}) {
        SCOPED_TRACE(bits);
        AviParts p;
        p.width = 8;
        p.height = 1;
        p.bits = bits;
        p.compression = compression;
        p.frames = {{0x08, 0x01, 0x00, 0x01}};
        EXPECT_EQ(0, Load(test::BuildAvi(p)));
        EXPECT_NE(std::string::npos, doc_.FailureReason().find("bit")) << doc_.FailureReason();
    }
}

TEST_F(AviReaderTest, CountsAndSizesBeyondTheFileFailCleanly) {
    AviParts p = ThreePlainFrames();
    p.totalFrames = 0x7FFFFFFF;
    EXPECT_EQ(0, Load(test::BuildAvi(p)));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("more than a file"))
        << doc_.FailureReason();

    // A frame chunk that claims more bytes than the file has.
    p = ThreePlainFrames();
    Bytes bytes = test::BuildAvi(p);
    const size_t firstFrameSize = 12 + test::Hdrl(p).size() + 12 + 4;
    bytes[firstFrameSize + 3] = 0x70;
    EXPECT_EQ(0, Load(bytes));
    EXPECT_FALSE(doc_.FailureReason().empty());

    // An index that claims more bytes than the file has.
    bytes = test::BuildAvi(p);
    const size_t indexSize = bytes.size() - 3 * 16 - 4;
    bytes[indexSize + 2] = 0x10;
    // Keep the RIFF size in step so the walk reaches the index.
    bytes[6] = 0x10;
    EXPECT_EQ(0, Load(bytes));
    EXPECT_FALSE(doc_.FailureReason().empty());

    // A frame size of 2^31 x 2^31 pixels.
    p.width = 0x7FFFFFFF;
    p.height = 0x7FFFFFFF;
    p.frames = {Bytes(8, 0)};
    EXPECT_EQ(0, Load(test::BuildAvi(p)));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("a movie may use at most 512 MB"))
        << doc_.FailureReason();
}

TEST_F(AviReaderTest, RunLengthMovieBeyondTheMemoryCapIsRefusedBeforeDecoding) {
    // 2100 frames of 512 x 512 pixels, each only an end of bitmap: 21 KB of codes that would
    // decode into 550 MB.
    AviParts p;
    p.width = 512;
    p.height = 512;
    p.compression = 1;
    p.frames.assign(2100, Bytes{0x00, 0x01});
    EXPECT_EQ(0, Load(test::BuildAvi(p)));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("would take 526 MB"))
        << doc_.FailureReason();

    p.frames.resize(4);
    ASSERT_EQ(1, Load(test::BuildAvi(p))) << doc_.FailureReason();
    EXPECT_EQ(Bytes(512 * 512, 0), doc_.Frame(3).data);
}

TEST_F(AviReaderTest, FilesThatAreNotAviFailAndKeepTheHeaderIds) {
    EXPECT_EQ(0, Load(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}));
    EXPECT_EQ(fourcc::kRiff, doc_.riff.id);
    EXPECT_EQ(fourcc::kAvi, doc_.riff.form);
    EXPECT_EQ(0, Load(Bytes{'R', 'I'}));
    EXPECT_EQ(fourcc::kAvi, doc_.riff.form);
    EXPECT_EQ(0, doc_.LoadAvi(nullptr, folder_ / "missing.avi"));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("no such file")) << doc_.FailureReason();
    // Without a header list, a frame list or an index the file is not a movie.
    const AviParts p = ThreePlainFrames();
    EXPECT_EQ(0, Load(Riff({test::Hdrl(p), test::Movi(p)})));
    EXPECT_EQ(0, Load(Riff({test::Movi(p), test::Hdrl(p), test::Idx1For(p)})));
}

TEST_F(AviReaderTest, SecondHeaderListAfterTheFramesFailsWithoutTouchingOtherSlots) {
    // The slots are made for the frame count of the first header list; a second one that
    // announces more frames must not send the index or a further frame list past them.
    const AviParts one = [] {
        AviParts p;
        p.frames.push_back(test::PlainFrame(p, 0));
        return p;
    }();
    const AviParts three = ThreePlainFrames();
    EXPECT_EQ(
        0, Load(Riff({test::Hdrl(one), test::Movi(one), test::Hdrl(three), test::Idx1For(three)})));
    EXPECT_NE(std::string::npos, doc_.FailureReason().find("more than one header list"))
        << doc_.FailureReason();
    EXPECT_EQ(0, Load(Riff({test::Hdrl(one), test::Movi(one), test::Hdrl(three), test::Movi(three),
                            test::Idx1For(three)})));
    EXPECT_EQ(0, doc_.FrameCount());
}

TEST_F(AviReaderTest, OddFrameChunksAreReadWithOrWithoutAPadByte) {
    // Frames of 25 bytes (one byte beyond the picture): the movie's own writer puts the next
    // chunk right after them, RIFF writers add a zero pad byte first.
    AviParts p = ThreePlainFrames();
    const std::vector<Bytes> pictures = p.frames;
    for (Bytes& frame : p.frames) {
        frame.push_back(0x30);
    }
    for (const bool pad : {false, true}) {
        ASSERT_EQ(1, Load(Riff({test::Hdrl(p), test::Movi(p, pad), test::Idx1For(p)})))
            << "pad " << pad << ": " << doc_.FailureReason();
        ExpectFrames(pictures);
    }
}

TEST_F(AviReaderTest, ReportsProgressAndFailsOnCancelAtEveryReport) {
    const AviParts p = ThreePlainFrames();
    const Bytes bytes = Riff({test::Hdrl(p), Junk(1016), test::Movi(p), test::Idx1For(p)});
    const uint32_t riffSize = uint32_t(bytes.size() - 8);
    const uint32_t hdrlSize = uint32_t(test::Hdrl(p).size() - 8);
    test::RecordingProgress progress;
    ASSERT_EQ(1, Load(bytes, &progress)) << doc_.FailureReason();
    const std::vector<test::RecordingProgress::Entry> expected = {
        {riffSize * 2 / 128, kPhaseReading},     // the first range, from the RIFF size
        {(riffSize - 36) / 128, kPhaseReading},  // plain 8-bit frames: no extra passes
        {hdrlSize / 128, kProgressStep},         // the header list
        {(1016 + 8) / 128, kProgressStep},       // the JUNK chunk
        {0, kProgressStep},                      // three frames of 24 bytes
        {0, kProgressStep},
        {0, kProgressStep},
        {(48 + 8) / 128, kProgressStep},  // the index
    };
    EXPECT_EQ(expected, progress.reports);

    for (size_t n = 1; n <= expected.size(); ++n) {
        test::RecordingProgress cancelling(n);
        EXPECT_EQ(0, Load(bytes, &cancelling)) << "Cancel at report " << n;
        EXPECT_EQ("cancelled", doc_.FailureReason()) << "Cancel at report " << n;
        EXPECT_EQ(0, doc_.FrameCount());
    }
}

TEST_F(AviReaderTest, RunLengthAndDepthPassesWidenTheRangeAndAreCancellable) {
    AviParts p;
    p.width = 4;
    p.height = 1;
    p.bits = 4;
    p.compression = 2;
    p.frames = {{0x04, 0x12, 0x00, 0x01}, {0x04, 0x21, 0x00, 0x01}};
    const Bytes bytes = test::BuildAvi(p);
    test::RecordingProgress progress;
    ASSERT_EQ(1, Load(bytes, &progress)) << doc_.FailureReason();
    // Height 1 x (2 decoding passes + 2 expansion passes).
    ASSERT_LE(2u, progress.reports.size());
    EXPECT_EQ(
        test::RecordingProgress::Entry(4 + (uint32_t(bytes.size()) - 8 - 36) / 128, kPhaseReading),
        progress.reports[1]);
    bool sawDecoding = false;
    bool sawConverting = false;
    for (const auto& report : progress.reports) {
        sawDecoding = sawDecoding || report == test::RecordingProgress::Entry(0, kPhaseDecoding);
        sawConverting =
            sawConverting || report == test::RecordingProgress::Entry(0, kPhaseConverting);
    }
    EXPECT_TRUE(sawDecoding);
    EXPECT_TRUE(sawConverting);
    for (size_t n = 1; n <= progress.reports.size(); ++n) {
        test::RecordingProgress cancelling(n);
        EXPECT_EQ(0, Load(bytes, &cancelling)) << "Cancel at report " << n;
        EXPECT_EQ("cancelled", doc_.FailureReason()) << "Cancel at report " << n;
    }
}

#ifndef _WIN32
// Runs a shell command; its standard output goes to out. True when it exits with 0.
bool RunCommand(const std::string& command, Bytes* out = nullptr) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    std::array<uint8_t, 4096> buffer{};
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        if (out != nullptr) {
            out->insert(out->end(), buffer.begin(), buffer.begin() + ptrdiff_t(got));
        }
    }
    return pclose(pipe) == 0;
}

// Palette movies made by an independent encoder load to exactly the pixels its own decoder
// gives, compared in RGB through the palette we read.
TEST_F(AviReaderTest, PaletteMoviesFromFfmpegLoadToTheSamePixels) {
    if (!RunCommand("ffmpeg -version >/dev/null 2>&1")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    struct Case {
        int width;
        int height;
        const char* options;  // stored top-down unless flipped
    };
    const Case cases[] = {
        {37, 20, ""}, {37, 20, "-vf vflip -flipped_raw_rgb 1"},
        {64, 48, ""}, {13, 7, "-vf vflip -flipped_raw_rgb 1"},
        {1, 1, ""},   {320, 240, ""},
    };
    for (const Case& c : cases) {
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        SCOPED_TRACE(size + " " + c.options);
        const std::string file = (folder_ / "peer.avi").string();
        ASSERT_TRUE(RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=" + size +
                               ":rate=5 -frames:v 6 " + c.options +
                               " -c:v rawvideo -pix_fmt pal8 '" + file + "'"));
        Bytes rgb;
        ASSERT_TRUE(
            RunCommand("ffmpeg -v error -i '" + file + "' -f rawvideo -pix_fmt rgb24 -", &rgb));
        const size_t frameRgb = size_t(c.width) * size_t(c.height) * 3;
        ASSERT_EQ(6 * frameRgb, rgb.size());

        ASSERT_EQ(1, doc_.LoadAvi(nullptr, file)) << doc_.FailureReason();
        ASSERT_EQ(6, doc_.FrameCount());
        ASSERT_EQ(c.width, doc_.FrameWidth());
        ASSERT_EQ(c.height, doc_.FrameHeight());
        const uint32_t stride = Stride8(c.width);
        size_t mismatches = 0;
        for (int k = 0; k < 6; ++k) {
            const FrameBytes& frame = doc_.Frame(k).data;
            ASSERT_EQ(size_t(stride) * c.height, frame.size());
            for (int y = 0; y < c.height; ++y) {
                // rgb24 rows run from the top; the document's from the bottom.
                const uint8_t* row = frame.data() + size_t(c.height - 1 - y) * stride;
                for (int x = 0; x < c.width; ++x) {
                    const RgbQuad& q = doc_.Palette().entries[row[x]];
                    const uint8_t* want = rgb.data() + k * frameRgb + (size_t(y) * c.width + x) * 3;
                    if (q.red != want[0] || q.green != want[1] || q.blue != want[2]) {
                        ++mismatches;
                    }
                }
            }
        }
        EXPECT_EQ(0u, mismatches);
    }
}
#endif

TEST_F(AviReaderTest, PaletteChangesThatDoNotFitAPaletteAreRefused) {
    const struct {
        const char* what;
        Bytes body;  // of the "00pc" chunk between the two frames
        const char* reason;
    } cases[] = {
        {"entries past entry 255", {250, 8, 0, 0, 1, 2, 3, 0}, "does not fit a palette of 256"},
        {"fewer entries than it counts", {0, 3, 0, 0, 1, 2, 3, 0}, "does not fit a palette of 256"},
        {"only part of its head", {0, 1}, "palette change 0 is cut short"},
    };
    AviParts p;
    p.frames = {test::PlainFrame(p, 0), test::PlainFrame(p, 1)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes movi = test::List(fourcc::kMovi, {test::Chunk(p.frameId, p.frames[0], false),
                                                      test::Chunk(MakeFourCC("00pc"), c.body),
                                                      test::Chunk(p.frameId, p.frames[1], false)});
        EXPECT_EQ(0, Load(test::Riff({test::Hdrl(p), movi, test::Idx1For(p)})));
        EXPECT_NE(std::string::npos, doc_.FailureReason().find(c.reason)) << doc_.FailureReason();
        EXPECT_EQ(0, doc_.FrameCount());
    }
}

}  // namespace
}  // namespace kx
