// The animation on a 1024 x 768 screen at 15 twips a pixel (15360 x 11520
// twips): burst schedule, the two slides and their edges, and the picture
// read on every tick.
#include <gtest/gtest.h>

#include <set>

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

TEST(Animation, ThePictureIsReadEveryTickButDecodedOnlyWhenItChanged) {
    SaverRig rig;
    rig.choose_picture(kPicture);  // 96 x 48 pixels
    rig.start();
    rig.platform.advance(10 * 400);
    EXPECT_EQ(rig.platform.decode_count(), 1U);
    EXPECT_EQ(rig.saver.Image1.Width(), 96 * 15);

    rig.platform.add_picture(kPicture, 5080, 2540);  // replaced on disk: 192 x 96 pixels
    rig.platform.advance(400);
    EXPECT_EQ(rig.saver.Image1.Width(), 192 * 15);
    rig.platform.advance(4 * 400);
    EXPECT_EQ(rig.platform.decode_count(), 2U);

    // A picture that goes away leaves Image1 empty, at its size, and the tick goes on.
    rig.platform.remove_file(kPicture);
    const float left = rig.saver.Image1.Left();
    rig.platform.advance(400);
    EXPECT_EQ(rig.saver.Image1.GetPicture(), nullptr);
    EXPECT_EQ(rig.saver.Image1.Width(), 192 * 15);
    EXPECT_EQ(rig.saver.Image1.Left(), left + 355);
}

}  // namespace
}  // namespace vellora
