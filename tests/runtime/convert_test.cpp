// Whole numbers from real ones, as every runtime and the saver's arithmetic round them.
#include <gtest/gtest.h>

#include "runtime/convert.h"
#include "runtime/types.h"

namespace vellora {
namespace {

TEST(Convert, RoundingIsHalfToEvenAndClampsToTheType) {
    EXPECT_EQ(rt::to_int16(2.5), 2);
    EXPECT_EQ(rt::to_int16(3.5), 4);
    EXPECT_EQ(rt::to_int16(-2.5), -2);
    EXPECT_EQ(rt::to_int16(1e9), 32767);
    EXPECT_EQ(rt::to_int32(-1e12), INT32_MIN);
    // Windows are placed by the same rule, so a control lands on the same pixel whichever runtime draws it.
    EXPECT_EQ(rt::twips_to_pixels(7.5F, 15.0F), 0);   // 0.5 px
    EXPECT_EQ(rt::twips_to_pixels(22.5F, 15.0F), 2);  // 1.5 px
    EXPECT_EQ(rt::twips_to_pixels(37.5F, 15.0F), 2);  // 2.5 px
    EXPECT_EQ(rt::twips_to_pixels(-22.5F, 15.0F), -2);
}

}  // namespace
}  // namespace vellora
