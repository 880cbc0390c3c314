// One memory budget for the whole movie: what loads can be cut, saved and read back, and what
// would not fit is refused before the work begins, with the limit in the reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "temp_folder.h"

namespace kx {
namespace {

constexpr char kLimit[] = "a movie may use at most 512 MB";

// A run-length bitmap of width x height pixels whose codes are a single end of bitmap: a few
// bytes that load into a picture of index 0.
std::vector<uint8_t> EmptyRunLengthStrip(int32_t width, int32_t height) {
    std::vector<uint8_t> b;
    auto u16 = [&b](uint32_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const uint32_t offBits = 14 + 40 + 2 * 4;
    u16(0x4D42);
    u32(offBits + 2);
    u32(0);
    u32(offBits);
    u32(40);
    u32(uint32_t(width));
    u32(uint32_t(height));
    u16(1);
    u16(8);
    u32(1);  // BI_RLE8
    u32(2);
    u32(0);
    u32(0);
    u32(2);
    u32(0);
    u32(0x00FFFFFF);  // white
    u32(0x00000000);  // black
    u16(0x0100);      // end of bitmap
    return b;
}

struct BudgetCase {
    const char* what;
    int32_t width;
    int32_t height;
    int32_t frameHeight;
    bool composes;
};

TEST(MovieBudget, WhatComposesSavesAndReadsBackAndTheRestIsRefusedBeforeCutting) {
    const BudgetCase cases[] = {
        // 7,000,000 frames of 4 bytes: 28 MB of pixels, 561 MB with each frame's records.
        {"frames one row high of a narrow strip", 4, 7000000, 1, false},
        // Two frames of 268 MB from a strip one row taller than a frame: the filled last frame
        // doubles the movie.
        {"a last frame filled below", 4, 67108865, 67108864, false},
        // One frame of 269 MB, more than half of the encoder's buffer: written plain.
        {"a frame too large to encode", 4, 67200000, 67200000, true},
    };
    test::TempFolder folder;
    for (const BudgetCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteAll(folder / "strip.bmp", EmptyRunLengthStrip(c.width, c.height));
        CAnimationDocument doc;
        ASSERT_EQ(1, doc.LoadBitmapStrip(nullptr, folder / "strip.bmp", 100))
            << doc.FailureReason();
        EXPECT_EQ(c.composes ? 1 : 0, doc.ComposeFromStrip(nullptr, c.frameHeight));
        if (!c.composes) {
            EXPECT_NE(std::string::npos, doc.FailureReason().find(kLimit)) << doc.FailureReason();
            // The strip stays, to be cut another way.
            EXPECT_EQ(1, doc.FrameCount());
            EXPECT_EQ(uint64_t(c.width) * uint64_t(c.height), doc.Frame(0).data.size());
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

}  // namespace
}  // namespace kx
