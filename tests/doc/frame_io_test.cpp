#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/file_io.h"
#include "recording_progress.h"
#include "support/same_bytes.h"
#include "temp_folder.h"

namespace kx {
namespace {

using Reports = std::vector<test::RecordingProgress::Entry>;
using StepLog = test::RecordingProgress;

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = uint8_t(i * 7 + i / 251);
    }
    return bytes;
}

TEST(ReadFrameData, ReadsInBlocksWithStepsOf128Bytes) {
    test::TempFolder folder;
    const auto bytes = Pattern(25000);
    test::WriteAll(folder / "f.bin", bytes);
    InputFile file;
    ASSERT_TRUE(file.Open(folder / "f.bin"));
    FrameChunk frame;
    StepLog log;
    EXPECT_EQ(1, frame.ReadFrameData(&log, 25000, file));
    EXPECT_EQ(bytes, frame.data);
    // Two full blocks, then 4520 bytes: 4520 / 128 = 35.
    EXPECT_EQ((Reports{{80, 0}, {80, 0}, {35, 0}}), log.reports);
}

TEST(ReadFrameData, ExactBlocksHaveNoPartialStep) {
    test::TempFolder folder;
    test::WriteAll(folder / "f.bin", Pattern(20480 + 5));
    InputFile file;
    ASSERT_TRUE(file.Open(folder / "f.bin"));
    FrameChunk frame;
    StepLog log;
    EXPECT_EQ(1, frame.ReadFrameData(&log, 20480, file));
    EXPECT_EQ(20480u, frame.Size());
    EXPECT_EQ((Reports{{80, 0}, {80, 0}}), log.reports);
    EXPECT_EQ(5u, file.Remaining());
}

TEST(ReadFrameData, RefusesZeroAbsurdAndShortSizesKeepingTheOldData) {
    test::TempFolder folder;
    test::WriteAll(folder / "f.bin", Pattern(100));
    InputFile file;
    ASSERT_TRUE(file.Open(folder / "f.bin"));
    FrameChunk frame;
    frame.data = {1, 2, 3};
    StepLog log;
    EXPECT_EQ(0, frame.ReadFrameData(&log, 0, file));
    EXPECT_EQ(0, frame.ReadFrameData(&log, 101, file));
    EXPECT_EQ(0, frame.ReadFrameData(&log, uint32_t(kMaxBufferBytes + 1), file));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), frame.data);
    EXPECT_EQ(0u, file.Position());
    EXPECT_EQ(0u, log.reports.size());
}

TEST(ReadFrameData, CancelAfterABlockFails) {
    test::TempFolder folder;
    test::WriteAll(folder / "f.bin", Pattern(30000));
    InputFile file;
    ASSERT_TRUE(file.Open(folder / "f.bin"));
    FrameChunk frame;
    StepLog log(2);
    EXPECT_EQ(0, frame.ReadFrameData(&log, 30000, file));
    EXPECT_EQ(2u, log.reports.size());
    EXPECT_EQ(0u, frame.Size());
}

TEST(ReadFrameData, WorksWithoutASink) {
    test::TempFolder folder;
    const auto bytes = Pattern(10241);
    test::WriteAll(folder / "f.bin", bytes);
    InputFile file;
    ASSERT_TRUE(file.Open(folder / "f.bin"));
    FrameChunk frame;
    EXPECT_EQ(1, frame.ReadFrameData(nullptr, 10241, file));
    EXPECT_EQ(bytes, frame.data);
}

std::vector<uint8_t> ChunkBytes(uint32_t id, const std::vector<uint8_t>& data) {
    const auto size = uint32_t(data.size());
    // Made at its full size and filled in: GCC 12 at -O3 sees an impossible bound (a false
    // -Warray-bounds) when data is appended to the 8 header bytes.
    std::vector<uint8_t> out(8 + data.size());
    for (int b = 0; b < 4; ++b) {
        out[size_t(b)] = uint8_t(id >> (8 * b));
        out[size_t(4 + b)] = uint8_t(size >> (8 * b));
    }
    std::copy(data.begin(), data.end(), out.begin() + 8);
    return out;
}

TEST(WriteFrameData, WritesHeaderAndDataWithStepsOfBytesPerStep) {
    test::TempFolder folder;
    FrameChunk frame;
    frame.data = Pattern(25000);
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / "out.avi"));
    StepLog log;
    // 2.5 bytes per step is used as 2.
    EXPECT_EQ(1, frame.WriteFrameData(&log, 2.5, file, true));
    ASSERT_TRUE(file.Commit());
    EXPECT_TRUE(test::SameBytes(ChunkBytes(fourcc::k00dc, frame.data.Copy()),
                                test::ReadAll(folder / "out.avi")));
    EXPECT_EQ((Reports{{5120, 0}, {5120, 0}, {2260, 0}}), log.reports);
}

TEST(WriteFrameData, WithoutHeaderWritesOnlyTheData) {
    test::TempFolder folder;
    FrameChunk frame;
    frame.data = Pattern(300);
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / "out.bmp"));
    StepLog log;
    EXPECT_EQ(1, frame.WriteFrameData(&log, 1.0, file, false));
    ASSERT_TRUE(file.Commit());
    EXPECT_TRUE(test::SameBytes(frame.data, test::ReadAll(folder / "out.bmp")));
    EXPECT_EQ((Reports{{300, 0}}), log.reports);
}

TEST(WriteFrameData, EmptyFrameWritesHeaderOnly) {
    test::TempFolder folder;
    FrameChunk frame;
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / "out.avi"));
    StepLog log;
    EXPECT_EQ(1, frame.WriteFrameData(&log, 1.0, file, true));
    ASSERT_TRUE(file.Commit());
    EXPECT_TRUE(test::SameBytes(ChunkBytes(fourcc::k00dc, {}), test::ReadAll(folder / "out.avi")));
    EXPECT_EQ(0u, log.reports.size());
}

TEST(WriteFrameData, CancelEndsTheFrameEarlyWithSuccess) {
    test::TempFolder folder;
    FrameChunk frame;
    frame.data = Pattern(30000);
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / "out.avi"));
    StepLog log(1);
    EXPECT_EQ(1, frame.WriteFrameData(&log, 1.0, file, true));
    EXPECT_EQ(8u + 10240u, file.Position());
    EXPECT_EQ(1u, log.reports.size());
}

TEST(WriteFrameData, StepSizeBelowOneCountsEveryByte) {
    test::TempFolder folder;
    FrameChunk frame;
    frame.data = Pattern(100);
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / "out.avi"));
    StepLog log;
    EXPECT_EQ(1, frame.WriteFrameData(&log, 0.0, file, true));
    EXPECT_EQ((Reports{{100, 0}}), log.reports);
}

TEST(WriteFrameData, FailsOnAClosedFile) {
    FrameChunk frame;
    frame.data = Pattern(10);
    OutputFile file;
    EXPECT_EQ(0, frame.WriteFrameData(nullptr, 1.0, file, true));
}

}  // namespace
}  // namespace kx
