// The saver's drawing on a 1024 x 768 screen (15360 x 11520 twips): the bursts, the two slides and their edges, the
// picture on every tick; a burst of random circles; the preview in the display settings' pane.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "saver/random_circles.h"
#include "saver/saver_rig.h"

namespace vellora {
namespace {

using testing::kPicture;
using testing::SaverRig;

TEST(Animation, BurstsComeOnTicks3And13And36OfEveryCycle) {
    SaverRig rig;
    rig.start();
    std::set<int> bursts;
    for (int tick = 1; tick <= 74; ++tick) {
        const auto before = rig.screen().circles.size();
        rig.platform.advance(400);
        if (rig.screen().circles.size() != before) bursts.insert(tick);
    }
    EXPECT_EQ(bursts, (std::set<int>{3, 13, 36, 39, 49, 72}));  // the cycle starts again after 36
}

TEST(Animation, ThePicturesWrapPastTheirEdgesButNotOnThem) {
    SaverRig rig;
    rig.choose_picture("", false);  // no picture: both keep their designed size
    rig.start();
    auto& image1 = rig.saver.Image1;
    auto& image2 = rig.saver.Image2;
    rig.platform.advance(32 * 400);  // tick 32: -10390 is beyond -10240
    EXPECT_EQ(image2.Left(), 15360);
    EXPECT_EQ(image2.Top(), 2080);
    rig.platform.advance(10 * 400);  // tick 42: 15495 is past 15360
    EXPECT_EQ(image1.Left(), -7680);
    EXPECT_EQ(image1.Top(), 1710);  // 1710 + 2715 is not above Image2's 2080: same row

    // Exactly on an edge nothing happens; one step past, everything does.
    image1.SetLeft(15360 - 355);
    image2.SetLeft(-10240 + 455);
    image2.SetTop(11520);
    rig.platform.advance(400);
    EXPECT_EQ(image1.Left(), 15360);
    EXPECT_EQ(image2.Left(), -10240);
    EXPECT_EQ(image2.Top(), 11520);
    image2.SetTop(11521);
    rig.platform.advance(400);
    EXPECT_EQ(image1.Left(), -7680);
    EXPECT_EQ(image2.Left(), 15360);
    EXPECT_EQ(image2.Top(), 300);  // one row lower is below the screen: back to the top
    EXPECT_EQ(image1.Width(), 2715);  // moving never resizes
    EXPECT_EQ(image2.Width(), 2310);
}

TEST(Animation, Image1DropsBelowImage2WhenItsWidthLeavesItWhollyAbove) {
    SaverRig rig;
    // Narrow and tall: judged by its height it would not lie above Image2.
    rig.platform.services().settings_file().write(settings::kImageSection, settings::kImageKey, kPicture);
    rig.platform.add_picture(kPicture, 176, 3528);
    rig.start();
    rig.platform.advance(41 * 400);
    auto& image1 = rig.saver.Image1;
    auto& image2 = rig.saver.Image2;
    ASSERT_LT(image1.Top() + image1.Width(), image2.Top());
    ASSERT_GE(image1.Top() + image1.Height(), image2.Top());
    const float expected = image2.Top() + image2.Width();
    rig.platform.advance(400);
    EXPECT_EQ(image1.Left(), -7680);
    EXPECT_EQ(image1.Top(), expected);
}

// (A picture replaced on disk shows at its new size on the next tick: the saver's tests.)
TEST(Animation, ThePictureIsDecodedOnceAndOneThatGoesAwayLeavesImage1EmptyAtItsSize) {
    SaverRig rig;
    rig.choose_picture(kPicture);  // 96 x 48 pixels
    rig.start();
    rig.platform.advance(10 * 400);
    EXPECT_EQ(rig.platform.decode_count(), 1U);
    rig.platform.remove_file(kPicture);
    const float left = rig.saver.Image1.Left();
    rig.platform.advance(400);  // and the tick goes on
    EXPECT_EQ(rig.saver.Image1.GetPicture(), nullptr);
    EXPECT_EQ(rig.saver.Image1.Width(), 96 * 15);
    EXPECT_EQ(rig.saver.Image1.Left(), left + 355);
}

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

TEST(Preview, DrawsIntoThePaneUntilItIsGoneAndWithoutOneEndsAfterAnInterval) {
    SaverRig rig;
    rig.platform.add_foreign_window(4242, {{100, 100, 260, 230}, 152, 112});
    rig.start("/p 4242");
    auto& box = rig.preview.Picture1;
    const auto& drawn = rig.platform.window("ControlForm")->controls["Picture1"];
    EXPECT_FALSE(rig.platform.window("ControlForm")->visible);
    EXPECT_EQ(drawn.parent, 4242U);
    EXPECT_EQ((std::vector<float>{box.Left(), box.Top(), box.Width(), box.Height()}),
              (std::vector<float>{0, 0, 152 * 15, 112 * 15}));

    rig.platform.advance(1200);
    ASSERT_EQ(drawn.circles.size(), 3 * 202U);
    EXPECT_EQ(drawn.circles[0].y, 0);  // no saver ticks: the band starts at the top
    rig.platform.destroy_foreign_window(4242);
    rig.platform.advance(400);
    EXPECT_TRUE(rig.process.ended());
    EXPECT_EQ(drawn.circles.size(), 3 * 202U);  // the pane is checked before drawing

    SaverRig paneless;  // a handle of no window: it ends after one interval, having drawn nothing
    paneless.start("/P 777");
    paneless.platform.advance(399);
    EXPECT_FALSE(paneless.process.ended());
    paneless.platform.advance(1);
    EXPECT_TRUE(paneless.process.ended());
    EXPECT_TRUE(paneless.platform.window("ControlForm")->controls["Picture1"].circles.empty());
}

}  // namespace
}  // namespace vellora
