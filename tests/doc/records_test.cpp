#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/recording_progress.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ByteReader, ReadsLittleEndianValues) {
    const Bytes data = {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12,
                        0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
    ByteReader in(data.data(), data.size());
    EXPECT_EQ(0x01, in.u8());
    EXPECT_EQ(0x1234, in.u16le());
    EXPECT_EQ(0x12345678u, in.u32le());
    EXPECT_EQ(-2, in.i16le());
    EXPECT_EQ(int32_t(0x7FFFFFFF), in.i32le());
    EXPECT_EQ(0u, in.remaining());
    EXPECT_TRUE(in.ok());
}

TEST(ByteReader, FailureIsStickyAndNeverReadsPastTheEnd) {
    const Bytes data = {1, 2, 3};
    ByteReader in(data.data(), data.size());
    EXPECT_EQ(0u, in.u32le());  // only 3 bytes: fails, consumes nothing
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(0u, in.remaining());
    EXPECT_EQ(0u, in.position());
    EXPECT_EQ(0, in.u8());  // would fit, but the failure is sticky
    uint8_t sink[2] = {9, 9};
    EXPECT_FALSE(in.bytes(sink, 2));
    EXPECT_EQ(0, sink[0]);
    EXPECT_EQ(0, sink[1]);
    EXPECT_FALSE(in.skip(0));
}

TEST(ByteReader, BytesAndSkipStopAtTheExactEnd) {
    const Bytes data = {1, 2, 3, 4, 5};
    ByteReader in(data.data(), data.size());
    EXPECT_TRUE(in.skip(2));
    uint8_t got[3] = {};
    EXPECT_TRUE(in.bytes(got, 3));
    EXPECT_EQ(5, got[2]);
    EXPECT_EQ(0u, in.remaining());
    EXPECT_TRUE(in.ok());
    EXPECT_FALSE(in.skip(1));
    EXPECT_FALSE(in.ok());

    ByteReader huge(data.data(), data.size());
    EXPECT_FALSE(huge.skip(SIZE_MAX));  // no wrap-around of position + n
    EXPECT_EQ(0u, huge.position());
}

TEST(ByteWriter, AppendsLittleEndian) {
    Bytes out = {0xAA};
    ByteWriter w(out);
    w.u8(1);
    w.u16le(0x0302);
    w.u32le(0x07060504);
    w.i16le(-1);
    w.i32le(-2);
    const uint8_t tail[2] = {8, 9};
    w.bytes(tail, 2);
    EXPECT_EQ((Bytes{0xAA, 1, 2, 3, 4, 5, 6, 7, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 8, 9}), out);
    EXPECT_EQ(16u, w.size());
    EXPECT_TRUE(w.ok());
}

TEST(FourCC, TextAndValue) {
    EXPECT_EQ(0x46464952u, fourcc::kRiff);
    EXPECT_EQ("RIFF", FourCCText(fourcc::kRiff));
    EXPECT_EQ("00dc", FourCCText(fourcc::k00dc));
    EXPECT_EQ("A..B", FourCCText(0x42000141u));
}

TEST(Stride8, RoundsUpToFourBytes) {
    EXPECT_EQ(0u, Stride8(0));
    EXPECT_EQ(0u, Stride8(-5));
    EXPECT_EQ(4u, Stride8(1));
    EXPECT_EQ(4u, Stride8(4));
    EXPECT_EQ(8u, Stride8(5));
    EXPECT_EQ(36u, Stride8(36));
    EXPECT_EQ(0x80000000u, Stride8(INT32_MAX));
}

// Writes a record and returns its bytes.
template <typename Record>
Bytes Serialize(const Record& r) {
    Bytes out;
    ByteWriter w(out);
    r.Write(w);
    return out;
}

TEST(Records, EachWritesExactlyItsSize) {
    EXPECT_EQ(size_t(RiffHeader::kBytes), Serialize(RiffHeader{}).size());
    EXPECT_EQ(size_t(MainHeader::kBytes), Serialize(MainHeader{}).size());
    EXPECT_EQ(size_t(StreamHeader::kBytes), Serialize(StreamHeader{}).size());
    EXPECT_EQ(size_t(BitmapInfoHeader::kBytes), Serialize(BitmapInfoHeader{}).size());
    EXPECT_EQ(size_t(StreamFormat::kBytes), Serialize(StreamFormat{}).size());
    EXPECT_EQ(size_t(IndexEntry::kBytes), Serialize(IndexEntry{}).size());
    PaletteTable palette;
    EXPECT_EQ(0u, Serialize(palette).size());
    palette.count = 3;
    EXPECT_EQ(12u, Serialize(palette).size());
    palette.count = 256;
    EXPECT_EQ(1024u, Serialize(palette).size());
}

TEST(Records, RiffHeaderBytes) {
    EXPECT_EQ((Bytes{'R', 'I', 'F', 'F', 224, 0, 0, 0, 'A', 'V', 'I', ' '}),
              Serialize(RiffHeader{}));
}

TEST(Records, MainHeaderFieldOrder) {
    MainHeader h;
    h.microSecPerFrame = 40000;
    h.totalFrames = 7;
    h.suggestedBufferSize = 0x01020304;
    h.width = 320;
    h.height = 200;
    h.reserved[3] = 0xCAFEBABE;
    const Bytes b = Serialize(h);
    ByteReader in(b.data(), b.size());
    EXPECT_EQ(fourcc::kAvih, in.u32le());
    EXPECT_EQ(56u, in.u32le());
    MainHeader back;
    ASSERT_TRUE(back.ReadBody(in));
    EXPECT_EQ(40000u, back.microSecPerFrame);
    EXPECT_EQ(0x610u, back.flags);
    EXPECT_EQ(7u, back.totalFrames);
    EXPECT_EQ(1u, back.streams);
    EXPECT_EQ(0x01020304u, back.suggestedBufferSize);
    EXPECT_EQ(320u, back.width);
    EXPECT_EQ(200u, back.height);
    EXPECT_EQ(0xCAFEBABEu, back.reserved[3]);
    // dwFlags is the sixth field (offset 20), dwWidth the eleventh (offset 40).
    EXPECT_EQ(0x10, b[20]);
    EXPECT_EQ(0x06, b[21]);
    EXPECT_EQ(320 & 0xFF, b[40]);
    EXPECT_EQ(320 >> 8, b[41]);
}

TEST(Records, StreamHeaderRoundTrip) {
    StreamHeader h;
    h.handler = fourcc::kRle;
    h.priority = 0x1122;
    h.language = 0x3344;
    h.scale = 40;
    h.length = 12;
    h.suggestedBufferSize = 999;
    h.frame = {-1, 2, 300, -400};
    const Bytes b = Serialize(h);
    EXPECT_EQ(0x22, b[20]);  // wPriority follows dwFlags
    EXPECT_EQ(0x44, b[22]);
    ByteReader in(b.data(), b.size());
    EXPECT_EQ(fourcc::kStrh, in.u32le());
    EXPECT_EQ(56u, in.u32le());
    EXPECT_EQ(fourcc::kVids, in.u32le());
    StreamHeader back;
    back.handler = 0;
    ASSERT_TRUE(back.ReadAfterType(in));
    EXPECT_EQ(0u, in.remaining());
    EXPECT_EQ(fourcc::kRle, back.handler);
    EXPECT_EQ(0x1122, back.priority);
    EXPECT_EQ(0x3344, back.language);
    EXPECT_EQ(40u, back.scale);
    EXPECT_EQ(1000u, back.rate);
    EXPECT_EQ(12u, back.length);
    EXPECT_EQ(999u, back.suggestedBufferSize);
    EXPECT_EQ(8500u, back.quality);
    EXPECT_EQ((std::array<int16_t, 4>{-1, 2, 300, -400}), back.frame);
}

TEST(Records, BitmapInfoHeaderRoundTripAndTruncation) {
    StreamFormat f;
    f.size = 104;
    f.header.biWidth = 33;
    f.header.biHeight = -7;
    f.header.biBitCount = 4;
    f.header.biCompression = 2;
    f.header.biSizeImage = 1234;
    f.header.biClrUsed = 16;
    const Bytes b = Serialize(f);
    EXPECT_EQ((Bytes{'s', 't', 'r', 'f', 104, 0, 0, 0, 40, 0, 0, 0, 33, 0, 0, 0}),
              Bytes(b.begin(), b.begin() + 16));
    ByteReader in(b.data() + 8, b.size() - 8);
    BitmapInfoHeader back;
    ASSERT_TRUE(back.Read(in));
    EXPECT_EQ(33, back.biWidth);
    EXPECT_EQ(-7, back.biHeight);
    EXPECT_EQ(1, back.biPlanes);
    EXPECT_EQ(4, back.biBitCount);
    EXPECT_EQ(2u, back.biCompression);
    EXPECT_EQ(1234u, back.biSizeImage);
    EXPECT_EQ(16u, back.biClrUsed);

    ByteReader shortIn(b.data() + 8, 39);
    EXPECT_FALSE(BitmapInfoHeader{}.Read(shortIn));
}

TEST(Records, PaletteAndIndexEntry) {
    const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
    PaletteTable palette;
    ByteReader in(data.data(), data.size());
    ASSERT_TRUE(palette.Read(in, 2));
    EXPECT_EQ(2, palette.count);
    EXPECT_EQ(5, palette.entries[1].blue);
    EXPECT_EQ(7, palette.entries[1].red);
    EXPECT_EQ(data, Serialize(palette));

    ByteReader tooShort(data.data(), data.size());
    EXPECT_FALSE(palette.Read(tooShort, 3));
    EXPECT_EQ(2, palette.count);  // unchanged
    ByteReader tooMany(data.data(), data.size());
    EXPECT_FALSE(palette.Read(tooMany, 257));

    IndexEntry e;
    e.flags = 0x10;
    e.offset = 1012;
    e.size = 2000;
    const Bytes b = Serialize(e);
    EXPECT_EQ((Bytes{'0', '0', 'd', 'c', 0x10, 0, 0, 0, 0xF4, 3, 0, 0, 0xD0, 7, 0, 0}), b);
    ByteReader back(b.data(), b.size());
    IndexEntry r;
    ASSERT_TRUE(r.Read(back));
    EXPECT_EQ(1012u, r.offset);
    EXPECT_EQ(2000u, r.size);
}

TEST(RecordingProgress, RecordsAndCancelsFromTheNthReport) {
    test::RecordingProgress sink(3);
    EXPECT_TRUE(Report(&sink, 5, kPhaseReading));
    EXPECT_TRUE(Report(&sink, 1, kProgressStep));
    EXPECT_FALSE(Report(&sink, 2, kProgressStep));
    EXPECT_FALSE(Report(&sink, 0, kProgressStep));
    EXPECT_EQ(
        (std::vector<test::RecordingProgress::Entry>{{5, kPhaseReading}, {1, 0}, {2, 0}, {0, 0}}),
        sink.reports);
    EXPECT_TRUE(Report(nullptr, 0, 0));
}

}  // namespace
}  // namespace kx
