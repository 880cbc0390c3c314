// The sample strip generator: the picture it draws, read back with the strip reader.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "doc/animation_document.h"
#include "doc/temp_folder.h"
#include "peer/run_program.h"
#include "support/build_paths.h"

namespace kx {
namespace {

TEST(Samplegen, HeadOfTheFirstFrameIsADiscWithARoundOutline) {
    test::TempFolder folder;
    const auto path = folder / "walker.bmp";
    ASSERT_EQ(
        0,
        test::RunProgram(test::BuildPath("samplegen") + " " + test::Quote(path.string())).status);
    CAnimationDocument doc;
    ASSERT_EQ(1, doc.LoadBitmapStrip(nullptr, path, 100)) << doc.FailureReason();
    ASSERT_EQ(48, doc.FrameWidth());
    ASSERT_EQ(48 * 12, doc.FrameHeight());
    // Pixel x, y of the picture, y counted from the top (rows are stored bottom-up).
    // x relative to the figure's axis, x = 24.
    const auto at = [&](int x, int y) {
        return int(
            doc.Frame(0).data[size_t(doc.FrameHeight() - 1 - y) * Stride8(48) + size_t(24 + x)]);
    };
    // Frame 0 stands upright with its head centred on (24, 12): outline (1) from 3.2 to 4.5
    // pixels out, skin (2) inside, background (0) beyond.
    EXPECT_EQ(2, at(0, 12));
    EXPECT_EQ(2, at(3, 12));
    EXPECT_EQ(1, at(4, 12));
    EXPECT_EQ(1, at(-4, 12));
    EXPECT_EQ(1, at(0, 8));
    EXPECT_EQ(0, at(0, 7));
    EXPECT_EQ(0, at(5, 12));
    EXPECT_EQ(1, at(3, 9));
    EXPECT_EQ(0, at(4, 8));
}

}  // namespace
}  // namespace kx
