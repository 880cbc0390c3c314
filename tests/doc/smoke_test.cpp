#include <gtest/gtest.h>

#include "doc/animation_document.h"

TEST(FourCC, LowByteIsTheFirstCharacter) {
    EXPECT_EQ(0x46464952u, kx::fourcc::kRiff);
}
