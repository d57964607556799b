// A burst of random circles: how many, where the band and the scattered
// circles lie, their colours and sizes, and a surface without width. (A
// desktop wider than 32767 twips is covered whole: the saver's tests.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "saver/random_circles.h"
#include "saver/saver_rig.h"

namespace vellora {
namespace {

// One burst on a drawing box of the given size; the circles it drew.
struct Burst {
    testing::SaverRig rig;
    rt::Form form{rig.process.app(), "Plain"};
    rt::PictureBox box{form, "Box"};
    const std::vector<headless::DrawnCircle>* circles = nullptr;

    Burst(float width, float height, std::int32_t tick_counter = 0) {
        form.Load();
        box.Move(0, 0, width, height);
        rig.process.TickCounter = tick_counter;
        DrawRandomCircle(rig.process, box);
        circles = &rig.platform.window("Plain")->controls["Box"].circles;
    }
    // The circle of pass i; pass 1 draws two, its band circle first.
    [[nodiscard]] const headless::DrawnCircle& pass(int i, bool band = false) const {
        return circles->at(static_cast<std::size_t>(i == 0 ? 0 : i == 1 ? (band ? 1 : 2) : i + 1));
    }
};

TEST(RandomCircles, ABandAlongTheTopFromTheTickCounterAndCirclesScatteredOverTheSurface) {
    const Burst b(15360.4F, 11520, 13);
    EXPECT_EQ(b.rig.process.TargetWidth, 15360);
    ASSERT_EQ(b.circles->size(), 202U);
    EXPECT_EQ(b.pass(1, true).y, 14);
    EXPECT_EQ(b.pass(1).x, b.pass(1, true).x - 1);
    EXPECT_EQ(b.pass(1).outline, b.pass(1, true).outline);
    float lowest = 0;
    rt::Color brightest = 0;
    float largest = 0;
    for (int i = 0; i <= 200; ++i) {
        const auto& c = b.pass(i);
        EXPECT_EQ(c.outline, c.fill);
        EXPECT_LE(c.outline, 0xFFFFFFU);
        EXPECT_TRUE(c.radius >= 0 && c.radius <= std::nearbyint(15360.0F / 200));
        brightest = std::max(brightest, c.outline);
        largest = std::max(largest, c.radius);
        if (i % 2 == 0) {
            EXPECT_EQ(c.y, i + 13);
            EXPECT_TRUE(c.x >= 0 && c.x <= 15360);
        } else {  // moved i left and i up from a point of the surface
            EXPECT_TRUE(c.x >= -i && c.x <= 15360 - i && c.y >= -i && c.y <= 11520 - i) << i;
            lowest = std::max(lowest, c.y);
        }
    }
    EXPECT_GT(lowest, 11520 / 2);  // colours, sizes and places spread over their whole ranges
    EXPECT_GT(brightest, 0xE00000U);
    EXPECT_GT(largest, 0.9F * 15360 / 200);
}

TEST(RandomCircles, NoWidthGivesDotsAtTheLeftEdge) {
    const Burst b(0.4F, 300);
    for (int i = 0; i <= 200; ++i) {
        EXPECT_EQ(b.pass(i).x, i % 2 == 0 ? 0.0F : static_cast<float>(-i));
        EXPECT_EQ(b.pass(i).radius, 0);
    }
}

}  // namespace
}  // namespace vellora
