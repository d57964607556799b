// The saver window: its run, the ways out, the spare picture; its drawing on a 1024 x 768 screen (15360 x 11520
// twips); the random circles; the preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "saver/random_circles.h"
#include "saver/saver_rig.h"

namespace vellora {
namespace {

using testing::kPicture;
using testing::kSpare;
using testing::SaverRig;

TEST(Saver, ProtectedRunFromStartToProcessEnd) {
    SaverRig rig;
    rig.choose_picture(kPicture);
    rig.protect("Secret");
    rig.start();
    EXPECT_TRUE(rig.screen().visible && rig.screen().topmost);
    EXPECT_EQ(rig.platform.cursor_count(), -6);

    // No password, a wrong one (told in a stop box over the prompt), then Cancel: it goes on, animating.
    rig.platform.on_message_box([&] { EXPECT_TRUE(rig.platform.window("PassCheck")->visible); });
    for (const char* typed : {"", "secrets"}) {
        rig.platform.answer_message_box();
        rig.platform.post_key(rig.saver, rt::keys::Enter);
        rig.answer_prompt(typed);
    }
    rig.platform.post_mouse_down(rig.saver);
    rig.platform.post_click(rig.prompt.Command2);
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 3);
    const auto& told = rig.platform.messages().at(1);
    EXPECT_EQ(told.text, "Incorrect password;\r\n\r\nCheck your screen saver password and try again.");
    EXPECT_TRUE(told.title.empty() && told.icon == rt::MessageIcon::Stop);
    EXPECT_TRUE(rig.screen().input_enabled && !rig.process.ended());
    const float left = rig.saver.Image1.Left();
    rig.platform.advance(400);  // the next tick moves on and asks nothing
    EXPECT_EQ(rig.saver.Image1.Left(), left + 355);

    // A refused move's exit is asked again on the next tick, which ends with the window.
    rig.moves(4);
    rig.platform.post_click(rig.prompt.Command2);
    rig.platform.post_advance(400);
    rig.answer_prompt("sECRET");  // letter case does not matter
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 5);
    EXPECT_TRUE(rig.process.ended());
    EXPECT_EQ(rig.process.TickCounter, 1);
    EXPECT_GE(rig.platform.cursor_count(), 6);
}

// The move (1-based) that ends an unprotected saver, 0 when none does.
int ending_move(const std::vector<int>& at_ms, double day_start = 43200) {
    SaverRig rig;
    rig.platform.set_time_of_day(day_start);
    rig.start();
    for (std::size_t i = 0; i < at_ms.size(); ++i) {
        rig.platform.advance(at_ms[i] - static_cast<int>(rig.platform.now_ms()));
        rig.moves(1);
        rig.platform.run();
        if (rig.process.ended()) return static_cast<int>(i + 1);
    }
    return 0;
}

TEST(Saver, AKeyAClickOrTheFourthMoveWithinTenSecondsEndsItAlsoAcrossMidnight) {
    for (const bool key : {true, false}) {
        SaverRig rig;
        rig.start();
        key ? rig.platform.post_key(rig.saver, 'A') : rig.platform.post_mouse_down(rig.saver, 2);
        rig.platform.run();
        EXPECT_TRUE(rig.process.ended() && rig.platform.cursor_count() >= 6) << rig.platform.cursor_count();
    }
    EXPECT_EQ(ending_move({0, 3000, 6000, 9000}), 4);
    EXPECT_EQ(ending_move({0, 5000, 10000, 12000}), 4);  // 10 s is not late; a late fourth still ends
    EXPECT_EQ(ending_move({0, 5000, 12000, 13000, 14000, 15000, 16000}), 7);  // 12 s clears the count
    // The period starts at the rounded second: 1, so 10.3 s later is only 9.9 s.
    EXPECT_EQ(ending_move({600, 10900, 11000, 11100}), 4);
    // Minutes apart, across midnight: each late move clears the count.
    EXPECT_EQ(ending_move({0, 4000, 205000, 405000, 605000}, 86395), 0);
}

TEST(Saver, TheDesktopFlagAsTextOrNumberWithAStoredPasswordAsksFirst) {
    const char* key = "Control Panel\\Desktop";
    for (int variant = 0; variant < 4; ++variant) {  // "1", 1, 0; 1 with no password stored
        SaverRig rig;
        if (variant == 0) rig.platform.set_registry_string(rt::reg::CurrentUser, key, "ScreenSaveUsePassword", "1");
        if (variant > 0)
            rig.platform.set_registry_dword(rt::reg::CurrentUser, key, "ScreenSaveUsePassword", variant != 2);
        if (variant != 3) SaveStoredPassword(rig.platform.services().user_store(), EncodePassword("pw"));
        rig.start();
        rig.platform.post_key(rig.saver, rt::keys::Space);
        rig.platform.post_click(rig.prompt.Command2);  // Cancel, if a prompt opened
        rig.platform.run();
        EXPECT_EQ(rig.prompts_opened(), variant < 2 ? 1 : 0) << variant;
        EXPECT_EQ(rig.process.ended(), variant >= 2) << variant;
    }
}

TEST(Saver, TheTickDuringThePromptRepeatsTheExitOnceThenThePicturesStandStill) {
    SaverRig rig;
    rig.choose_picture(kPicture);
    rig.protect("Secret");
    rig.start();
    rig.platform.advance(800);
    rig.moves(4);
    rig.platform.post([&] { rig.platform.add_picture(kPicture, 5080, 2540); });  // replaced: 192 pixels wide
    rig.platform.post_advance(4000);
    rig.platform.post([&] {
        // One tick came while the prompt was open, and it ran to the end.
        EXPECT_TRUE(rig.process.TickCounter == 3 && rig.screen().circles.size() == 202U);
        EXPECT_EQ(std::vector({rig.saver.Image1.Width(), rig.saver.Image1.Left()}),
                  std::vector<float>({192 * 15, 585 + 3 * 355}));
    });
    rig.platform.post_click(rig.prompt.Command2);
    rig.platform.post_advance(10000);
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 1);  // the tick's request opened none, then or later
    EXPECT_FALSE(rig.process.ended());
    EXPECT_EQ(rig.saver.Image1.Left(), 585 + 3 * 355);
}

TEST(Saver, OnlyRealMovesCountFromWhereThePointerRestsAfterItAppearsTheDesktopChangesOrThePromptCloses) {
    SaverRig rig;
    rig.protect("Secret");
    rig.platform.set_screen({800, 600, 15.0F, 15.0F, rt::PixelRect{0, 0, 1600, 600}});
    rig.platform.set_pointer(rt::PixelPoint{1200, 300});  // on the monitor right of the primary one
    rig.start();
    // An event under the still pointer, as systems send them.
    const auto still = [&] {
        rig.platform.post([&] {
            const auto at = *rig.platform.pointer();
            rig.saver.deliver_mouse_move(0, 0, 15.0F * at.x - rig.saver.Left(), 15.0F * at.y - rig.saver.Top());
        });
    };
    still();  // the window appeared
    // The right monitor sleeps: the system puts the pointer on the primary one.
    rig.platform.post([&] {
        rig.platform.set_screen({800, 600, 15.0F, 15.0F, rt::PixelRect{0, 0, 800, 600}});
        rig.platform.set_pointer(rt::PixelPoint{400, 300});
        rig.saver.deliver_display_changed();
    });
    still();
    // A monitor left of the primary one wakes: the saver covers it; the event under the still pointer may come first.
    rig.platform.post([&] {
        rig.platform.set_screen({800, 600, 15.0F, 15.0F, rt::PixelRect{-800, 0, 800, 600}});
        rig.saver.Move(-800 * 15, 0, 1600 * 15, 600 * 15);
    });
    still();
    rig.platform.post([&] { rig.saver.deliver_display_changed(); });
    still();
    rig.moves(3);
    rig.platform.post_click(rig.prompt.Command2);  // should a prompt open
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 0);

    // The prompt opens, the pointer moves over it, and it is cancelled.
    rig.platform.post_key(rig.saver, 'A');
    rig.platform.post([&] { rig.platform.set_pointer(rt::PixelPoint{100, 100}); });
    rig.platform.post_click(rig.prompt.Command2);
    still();
    rig.moves(3);
    rig.platform.post_click(rig.prompt.Command2);
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 1);
    rig.moves(1);
    rig.platform.post_click(rig.prompt.Command2);
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 2);
}

TEST(Saver, CoversTheWholeDesktopWhenMonitorsReachLeftOfThePrimaryOne) {
    SaverRig rig;
    rig.platform.set_screen({800, 600, 15.0F, 15.0F, rt::PixelRect{-2560, -168, 800, 600}});
    rig.start();
    EXPECT_EQ((std::vector<float>{rig.saver.Left(), rig.saver.Top(), rig.saver.Width(), rig.saver.Height()}),
              (std::vector<float>{-2560 * 15, -168 * 15, 3360 * 15, 768 * 15}));
    rig.platform.advance(400 * 36);  // the circles spread over all of it, past 32767 twips
    float widest = 0;
    for (const auto& c : rig.screen().circles) widest = std::max(widest, c.x);
    EXPECT_GT(widest, 0.75F * 3360 * 15);
}

TEST(Saver, AnUnloadableOrOversizedPictureFallsBackOnceToTheSparePicture) {
    struct Case {
        std::optional<std::string> stored;  // nothing: no settings file
        bool spare, shows_spare;
        std::string file_after;
        bool writable = true;
        std::optional<rt::PixelSize> header = {};  // a picture that decodes, whose header claims this size
    };
    const Case cases[] = {
        {"c:\\gone.bmp", true, true, kSpare},
        {std::nullopt, true, true, kSpare},  // "0" is no picture either
        {"", true, false, ""},               // no name: the message, no fall-back
        {"c:\\gone.bmp", false, false, kSpare},
        {"c:\\gone.bmp", true, true, "c:\\gone.bmp", false},  // cannot note the spare: shown all the same
        {"c:\\wide.bmp", true, true, kSpare, true, rt::PixelSize{65'536, 1}},  // over the cap in all: the contract's
    };
    // The largest that may be decoded: a side of 65,535 pixels, 2^28 in all.
    EXPECT_TRUE(rt::picture_size_allowed({65'535, 4'096}) && rt::picture_size_allowed({16'384, 16'384}));
    for (const auto& c : cases) {
        SaverRig rig;
        if (c.stored) rig.choose_picture(*c.stored, c.header.has_value());
        if (c.header) rig.platform.set_header_size(*c.stored, *c.header);
        if (c.spare) rig.platform.add_picture(kSpare, 1270, 1270);
        rig.platform.set_settings_write_fails(!c.writable);
        ASSERT_NO_THROW(rig.start());
        const auto& picture = rig.saver.Image2.GetPicture();
        EXPECT_EQ(picture ? picture->path : "", c.shows_spare ? kSpare : "");
        EXPECT_EQ(rig.saver.Label1.Visible(), !c.shows_spare);
        EXPECT_EQ(rig.platform.services().settings_file().read(settings::kImageSection, settings::kImageKey, "?"), c.file_after);
        rig.platform.advance(4000);
        rig.platform.post_key(rig.saver, 'A');
        rig.platform.run();
        EXPECT_EQ(rig.process.TickCounter, 10);
        EXPECT_TRUE(rig.process.ended());
    }
}

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

TEST(Animation, ThePicturesWrapPastTheirEdgesButNotOnThemAndImage1DropsBelowImage2WhenItsWidthLeavesItWhollyAbove) {
    const auto at = [](const rt::Image& image) { return std::vector{image.Left(), image.Top()}; };
    SaverRig rig;
    rig.choose_picture("", false);  // no picture: both keep their designed size
    rig.start();
    auto& image1 = rig.saver.Image1;
    auto& image2 = rig.saver.Image2;
    rig.platform.advance(32 * 400);  // tick 32: -10390 is beyond -10240
    EXPECT_EQ(at(image2), (std::vector<float>{15360, 2080}));
    rig.platform.advance(10 * 400);  // tick 42: 15495 is past 15360; 1710 + 2715 is not above Image2's 2080: same row
    EXPECT_EQ(at(image1), (std::vector<float>{-7680, 1710}));

    // Exactly on an edge nothing happens; one step past, everything does.
    image1.SetLeft(15360 - 355);
    image2.SetLeft(-10240 + 455);
    image2.SetTop(11520);
    rig.platform.advance(400);
    EXPECT_EQ(image1.Left(), 15360);
    EXPECT_EQ(at(image2), (std::vector<float>{-10240, 11520}));
    image2.SetTop(11521);
    rig.platform.advance(400);
    EXPECT_EQ(image1.Left(), -7680);
    EXPECT_EQ(at(image2), (std::vector<float>{15360, 300}));  // one row lower is below the screen: back to the top
    EXPECT_EQ(std::vector({image1.Width(), image2.Width()}), (std::vector<float>{2715, 2310}));  // never resized

    SaverRig narrow;  // narrow and tall: judged by its height it would not lie above Image2
    narrow.choose_picture(kPicture, false);
    narrow.platform.add_picture(kPicture, 176, 3528);
    narrow.start();
    narrow.platform.advance(41 * 400);
    const auto &n1 = narrow.saver.Image1, &n2 = narrow.saver.Image2;
    ASSERT_TRUE(n1.Top() + n1.Width() < n2.Top() && n1.Top() + n1.Height() >= n2.Top());
    const float expected = n2.Top() + n2.Width();
    narrow.platform.advance(400);
    EXPECT_EQ(at(n1), (std::vector<float>{-7680, expected}));
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
    EXPECT_EQ(std::vector({rig.saver.Image1.Width(), rig.saver.Image1.Left()}), std::vector({96.0F * 15, left + 355}));
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

TEST(RandomCircles, ABandAlongTheTopFromTheTickCounterAndCirclesScatteredOverTheSurfaceOrDotsWithoutAWidth) {
    const Burst b(15360.4F, 11520, 13);
    EXPECT_EQ(b.rig.process.TargetWidth, 15360);
    ASSERT_EQ(b.circles->size(), 202U);
    EXPECT_EQ(b.pass(1, true).y, 14);
    EXPECT_TRUE(b.pass(1).x == b.pass(1, true).x - 1 && b.pass(1).outline == b.pass(1, true).outline);
    float lowest = 0, largest = 0;
    rt::Color brightest = 0;
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
    const Burst dots(0.4F, 300);  // no width: dots at the left edge
    for (int i = 0; i <= 200; ++i)
        EXPECT_TRUE(dots.pass(i).x == (i % 2 == 0 ? 0 : -i) && dots.pass(i).radius == 0) << i;
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
