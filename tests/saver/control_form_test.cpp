// The preview: a drawing box covering the display settings' pane, a burst
// of circles every 400 ms, and the end once the pane is gone.
#include <gtest/gtest.h>

#include <vector>

#include "saver/saver_rig.h"

namespace vellora {
namespace {

using testing::SaverRig;

TEST(Preview, DrawsIntoThePaneUntilItIsGone) {
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
}

TEST(Preview, WithoutAPaneItEndsAfterOneIntervalHavingDrawnNothing) {
    for (const char* arguments : {"/P", "/P 777"}) {  // no handle; a handle of no window
        SaverRig rig;
        rig.start(arguments);
        EXPECT_EQ(rig.preview.Picture1.Width(), 0);
        rig.platform.advance(399);
        EXPECT_FALSE(rig.process.ended());
        rig.platform.advance(1);
        EXPECT_TRUE(rig.process.ended()) << arguments;
        const auto& box = rig.platform.window("ControlForm")->controls["Picture1"];
        EXPECT_TRUE(box.circles.empty());
        EXPECT_FALSE(box.parent.has_value());
    }
}

}  // namespace
}  // namespace vellora
