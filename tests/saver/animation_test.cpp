// The saver's animation on a 1024 x 768 screen at 15 twips a pixel
// (15360 x 11520 twips): burst schedule, the two slides and their wraps,
// and the picture read on every tick.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "saver/saver_rig.h"

namespace vellora {
namespace {

using testing::kPicture;
using testing::SaverRig;

TEST(Animation, BurstsComeOnTicks3And13And36OfEveryCycle) {
    SaverRig rig;
    rig.start();
    std::set<int> burst_ticks;
    std::size_t seen = 0;
    for (int tick = 1; tick <= 74; ++tick) {
        rig.platform.advance(400);
        const std::size_t now = rig.screen().circles.size();
        if (now != seen) {
            EXPECT_EQ(now - seen, 202U) << "tick " << tick;
            burst_ticks.insert(tick);
        }
        seen = now;
        if (tick == 36) {
            EXPECT_EQ(rig.process.TickCounter, 0);
        }
        EXPECT_LE(rig.process.TickCounter, 35);
    }
    EXPECT_EQ(burst_ticks, (std::set<int>{3, 13, 36, 39, 49, 72}));
}

TEST(Animation, BothPicturesWrapAtTheirEdges) {
    SaverRig rig;
    rig.choose_picture("", false);  // no picture: both elements keep their designed size
    rig.start();
    ASSERT_EQ(rig.saver.ScaleWidth(), 15360);

    rig.platform.advance(31 * 400);
    EXPECT_EQ(rig.saver.Image2.Left(), -9935);
    EXPECT_EQ(rig.saver.Image2.Top(), 1680);
    rig.platform.advance(400);  // tick 32: -10390 is beyond two thirds of the width
    EXPECT_EQ(rig.saver.Image2.Left(), 15360);
    EXPECT_EQ(rig.saver.Image2.Top(), 2080);

    rig.platform.advance(9 * 400);
    EXPECT_EQ(rig.saver.Image1.Left(), 15140);
    rig.platform.advance(400);  // tick 42: 15495 is past the right edge
    EXPECT_EQ(rig.saver.Image1.Left(), -7680);
    // Not wholly above Image2 (1710 + 2715 >= 2080): the row stays.
    EXPECT_EQ(rig.saver.Image1.Top(), 1710);
}

TEST(Animation, EdgesAreStrict) {
    SaverRig rig;
    rig.choose_picture("", false);
    rig.start();
    auto& image1 = rig.saver.Image1;
    auto& image2 = rig.saver.Image2;
    const float width = rig.saver.ScaleWidth();
    const float height = rig.saver.Height();

    image1.SetLeft(width - 355);
    image2.SetLeft(-(width - width / 3) + 455);
    image2.SetTop(height);
    rig.platform.advance(400);
    EXPECT_EQ(image1.Left(), width);                  // equal to the inner width: stays
    EXPECT_EQ(image2.Left(), -(width - width / 3));  // equal to the threshold: stays
    EXPECT_EQ(image2.Top(), height);                  // equal to the screen height: stays

    image2.SetTop(height + 1);
    rig.platform.advance(400);
    EXPECT_EQ(image1.Left(), -width / 2);
    EXPECT_EQ(image2.Left(), width);
    // It wrapped (400 lower, still below the screen) and then came back to the top.
    EXPECT_EQ(image2.Top(), 300);
}

TEST(Animation, Image1DropsBelowImage2WhenItsWidthLeavesItWhollyAbove) {
    SaverRig rig;
    // A narrow, tall picture: judged by height it would not be above Image2.
    rig.platform.settings_file().write(kImageSection, kImageKey, kPicture);
    rig.platform.add_picture(kPicture, 176, 3528);
    rig.start();
    rig.platform.advance(41 * 400);
    auto& image1 = rig.saver.Image1;
    auto& image2 = rig.saver.Image2;
    ASSERT_EQ(image2.Top(), 2080);  // Image2 wrapped once already
    ASSERT_LT(image1.Top() + image1.Width(), image2.Top());
    ASSERT_GE(image1.Top() + image1.Height(), image2.Top());
    const float expected_top = image2.Top() + image2.Width();
    const float width_before = image1.Width();

    rig.platform.advance(400);  // Image1 wraps
    EXPECT_EQ(image1.Left(), -7680);
    EXPECT_EQ(image1.Top(), expected_top);
    EXPECT_EQ(image1.Width(), width_before);  // moving never resizes
}

TEST(Animation, Image2ComesBackToTheTopAfterLeavingTheBottomOfTheScreen) {
    SaverRig rig;
    rig.choose_picture("", false);
    rig.start();
    std::vector<float> tops;
    for (int tick = 0; tick < 1600; ++tick) {
        rig.platform.advance(400);
        if (tops.empty() || tops.back() != rig.saver.Image2.Top()) tops.push_back(rig.saver.Image2.Top());
        EXPECT_LE(rig.saver.Image2.Top(), rig.saver.Height());
    }
    ASSERT_GE(tops.size(), 3U);
    // Row by row downwards, 400 at a time, then back at 300.
    const auto back = std::find(tops.begin(), tops.end(), 300.0F);
    ASSERT_NE(back, tops.end());
    EXPECT_GT(*(back - 1) + 400, rig.saver.Height());
    for (auto it = tops.begin() + 1; it != back; ++it) EXPECT_EQ(*it - *(it - 1), 400);
    EXPECT_EQ(rig.saver.Image1.Width(), 2715);
    EXPECT_EQ(rig.saver.Image2.Width(), 2310);
}

TEST(Animation, ThePictureIsReadEveryTickButDecodedOnlyWhenItChanged) {
    SaverRig rig;
    rig.choose_picture(kPicture);  // 96 x 48 pixels
    rig.start();
    rig.platform.advance(10 * 400);
    EXPECT_EQ(rig.platform.decode_count(), 1U);  // the load and ten ticks share one decode
    ASSERT_NE(rig.saver.Image1.GetPicture(), nullptr);
    EXPECT_EQ(rig.saver.Image1.Width(), 96 * 15);

    rig.platform.add_picture(kPicture, 5080, 2540);  // replaced on disk: 192 x 96 pixels
    rig.platform.advance(400);
    EXPECT_EQ(rig.saver.Image1.Width(), 192 * 15);
    EXPECT_EQ(rig.saver.Image1.Height(), 96 * 15);
    EXPECT_EQ(rig.platform.decode_count(), 2U);
    rig.platform.advance(4 * 400);
    EXPECT_EQ(rig.platform.decode_count(), 2U);

    // A picture that goes away leaves Image1 empty, and the tick goes on.
    rig.platform.remove_file(kPicture);
    const float left = rig.saver.Image1.Left();
    rig.platform.advance(400);
    EXPECT_EQ(rig.saver.Image1.GetPicture(), nullptr);
    EXPECT_EQ(rig.saver.Image1.Left(), left + 355);
    EXPECT_EQ(rig.saver.Image1.Width(), 192 * 15);
    ASSERT_NE(rig.saver.Image2.GetPicture(), nullptr);  // Image2 keeps what it loaded
}

}  // namespace
}  // namespace vellora
