#include <gtest/gtest.h>

#include "runtime/convert.h"
#include "runtime/random.h"
#include "runtime/types.h"

namespace vellora {
namespace {

TEST(Convert, ValReadsLeadingDigitsLeniently) {
    EXPECT_EQ(rt::Val(""), 0);
    EXPECT_EQ(rt::Val("001"), 1);
    EXPECT_EQ(rt::Val("  42abc"), 42);
    EXPECT_EQ(rt::Val("-7"), -7);
    EXPECT_EQ(rt::Val("abc"), 0);
    EXPECT_DOUBLE_EQ(rt::Val("2.5x"), 2.5);
}

TEST(Convert, RoundingIsHalfToEvenAndClampsToTheType) {
    EXPECT_EQ(rt::to_int16(2.5), 2);
    EXPECT_EQ(rt::to_int16(3.5), 4);
    EXPECT_EQ(rt::to_int16(-2.5), -2);
    EXPECT_EQ(rt::to_int16(1e9), 32767);
    EXPECT_EQ(rt::to_int32(-1e12), INT32_MIN);
}

TEST(Convert, TwipsBecomeWholePixelsHalvesToEven) {
    // Every runtime places windows by this rule, so a control lands on the
    // same pixel whichever runtime draws it.
    EXPECT_EQ(rt::twips_to_pixels(7.5F, 15.0F), 0);   // 0.5 px
    EXPECT_EQ(rt::twips_to_pixels(22.5F, 15.0F), 2);  // 1.5 px
    EXPECT_EQ(rt::twips_to_pixels(37.5F, 15.0F), 2);  // 2.5 px
    EXPECT_EQ(rt::twips_to_pixels(-22.5F, 15.0F), -2);
}

TEST(Convert, RandomValuesAreRepeatableAndInTheUnitInterval) {
    rt::Random a;
    rt::Random b;
    double sum = 0;
    for (int i = 0; i < 10000; ++i) {
        const float v = a.next();
        ASSERT_EQ(v, b.next());
        ASSERT_GE(v, 0.0F);
        ASSERT_LT(v, 1.0F);
        sum += v;
    }
    EXPECT_NEAR(sum / 10000, 0.5, 0.02);
}

}  // namespace
}  // namespace vellora
