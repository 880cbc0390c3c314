// The sample strip generator: the picture it draws, read back with the strip reader.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "doc/animation_document.h"
#include "doc/temp_folder.h"
#include "peer/run_program.h"

namespace kx {
namespace {

TEST(Samplegen, HeadOfTheFirstFrameIsADiscWithARoundOutline) {
    test::TempFolder folder;
    const auto path = folder / "walker.bmp";
    ASSERT_EQ(
        0, test::RunProgram(std::string(KX_SAMPLEGEN) + " " + test::Quote(path.string())).status);
    CAnimationDocument doc;
    ASSERT_EQ(1, doc.LoadBitmapStrip(nullptr, path, 100)) << doc.FailureReason();
    ASSERT_EQ(40, doc.FrameWidth());
    ASSERT_EQ(48 * 12, doc.FrameHeight());
    // Pixel x, y of the picture, y counted from the top (rows are stored bottom-up).
    const auto at = [&](int x, int y) {
        return int(doc.Frame(0).data[size_t(doc.FrameHeight() - 1 - y) * Stride8(40) + size_t(x)]);
    };
    // Frame 0 stands upright with its head centred on (20, 12): outline (1) from 3.2 to 4.5
    // pixels out, skin (2) inside, background (0) beyond.
    EXPECT_EQ(2, at(20, 12));
    EXPECT_EQ(2, at(23, 12));
    EXPECT_EQ(1, at(24, 12));
    EXPECT_EQ(1, at(16, 12));
    EXPECT_EQ(1, at(20, 8));
    EXPECT_EQ(0, at(20, 7));
    EXPECT_EQ(0, at(25, 12));
    EXPECT_EQ(1, at(23, 9));
    EXPECT_EQ(0, at(24, 8));
}

}  // namespace
}  // namespace kx
