// The saver window: one run from start to process end, the ways out (key,
// click, mouse movement) with and without a password, and the fall-back
// to the spare picture when the chosen one cannot be shown.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "saver/saver_rig.h"

namespace vellora {
namespace {

using testing::kPicture;
using testing::kSpare;
using testing::SaverRig;

constexpr const char* kDesktop = "Control Panel\\Desktop";
constexpr const char* kFlag = "ScreenSaveUsePassword";

TEST(SaverRun, ProtectedRunFromStartToProcessEnd) {
    SaverRig rig;
    rig.choose_picture(kPicture);
    rig.set_color("65280");
    rig.protect("Secret");
    rig.start();

    // Loaded before the colour came, shown over the whole screen.
    auto& screen = rig.screen();
    EXPECT_TRUE(screen.visible);
    EXPECT_TRUE(screen.topmost);
    EXPECT_EQ(rig.saver.BackColor(), rt::rgb(0, 255, 0));
    EXPECT_EQ(rig.saver.Left(), 0);
    EXPECT_EQ(rig.saver.Top(), 0);
    EXPECT_EQ(rig.saver.Width(), rig.platform.screen().width_twips());
    EXPECT_EQ(rig.saver.Height(), rig.platform.screen().height_twips());
    EXPECT_EQ(rig.process.UsePassword, 1);
    EXPECT_EQ(rig.process.StoredPassword, EncodePassword("Secret"));
    EXPECT_FALSE(rig.saver.Label1.Visible());
    ASSERT_NE(rig.saver.Image2.GetPicture(), nullptr);
    EXPECT_EQ(rig.saver.Image2.GetPicture()->path, kPicture);
    EXPECT_LE(rig.platform.cursor_count(), -6);

    rig.platform.advance(1200);  // three ticks: the first burst
    EXPECT_EQ(screen.circles.size(), 202U);

    // The fourth move asks for the password; the right one in another case ends the saver.
    rig.four_moves();
    rig.platform.post([&] { EXPECT_GE(rig.platform.cursor_count(), 6); });
    rig.answer_prompt("sECRET");
    rig.platform.run();

    EXPECT_EQ(rig.prompts_opened(), 1);
    EXPECT_EQ(rig.process.PasswordOK, kTrue);
    EXPECT_TRUE(rig.platform.messages().empty());
    EXPECT_FALSE(screen.alive);
    EXPECT_GE(rig.platform.cursor_count(), 6);
    EXPECT_TRUE(rig.process.ended());
}

TEST(SaverInput, KeyOrClickEndsAnUnprotectedSaverWithTheCursorBack) {
    for (const bool by_key : {true, false}) {
        SaverRig rig;
        rig.choose_picture(kPicture);
        rig.start();
        rig.platform.advance(400);
        if (by_key) {
            rig.platform.post_key(rig.saver, 'A');
        } else {
            rig.platform.post_mouse_down(rig.saver, 2);
        }
        rig.platform.run();
        EXPECT_TRUE(rig.process.ended()) << (by_key ? "key" : "click");
        EXPECT_GE(rig.platform.cursor_count(), 6);
        EXPECT_EQ(rig.prompts_opened(), 0);
    }
}

TEST(SaverInput, FourMovesWithinTenSecondsEndTheSaverThreeDoNot) {
    SaverRig rig;
    rig.start();
    for (int i = 0; i < 3; ++i) {
        rig.platform.post_mouse_move(rig.saver);
        rig.platform.post_advance(3000);
    }
    rig.platform.run();
    EXPECT_FALSE(rig.process.ended());
    EXPECT_EQ(rig.process.MouseMoveCount, 3);
    EXPECT_EQ(rig.process.ExitRequested, kFalse);

    rig.platform.post_mouse_move(rig.saver);  // 9 s after the first
    rig.platform.run();
    EXPECT_TRUE(rig.process.ended());
    EXPECT_EQ(rig.process.ExitRequested, kTrue);
}

TEST(SaverInput, AMoveMoreThanTenSecondsLateStartsTheCountAgain) {
    SaverRig rig;
    rig.start();
    const auto move_at = [&](int ms) {
        rig.platform.advance(ms - static_cast<int>(rig.platform.now_ms()));
        rig.platform.post_mouse_move(rig.saver);
        rig.platform.run();
    };
    move_at(0);
    move_at(5000);
    move_at(10000);  // exactly 10 s: still the same period
    EXPECT_EQ(rig.process.MouseMoveCount, 3);
    move_at(12000);  // the fourth ends the saver even when late
    EXPECT_TRUE(rig.process.ended());

    SaverRig again;
    again.start();
    const auto move_again = [&](int ms) {
        again.platform.advance(ms - static_cast<int>(again.platform.now_ms()));
        again.platform.post_mouse_move(again.saver);
        again.platform.run();
    };
    move_again(0);
    move_again(5000);
    move_again(12000);  // clears the count and the period, itself included
    EXPECT_EQ(again.process.MouseMoveCount, 0);
    EXPECT_EQ(again.saver.first_move_time(), 0);
    for (int t = 13000; t <= 15000; t += 1000) move_again(t);
    EXPECT_FALSE(again.process.ended());
    move_again(16000);
    EXPECT_TRUE(again.process.ended());
}

TEST(SaverInput, TheFirstMoveTimeIsRoundedToWholeSeconds) {
    SaverRig rig;
    rig.platform.set_time_of_day(43200.6);
    rig.start();
    rig.platform.post_mouse_move(rig.saver);
    rig.platform.run();
    EXPECT_EQ(rig.saver.first_move_time(), 43201);
    // 10.3 s later the clock reads 43210.9: 9.9 s after the rounded start.
    rig.platform.advance(10300);
    rig.platform.post_mouse_move(rig.saver);
    rig.platform.run();
    EXPECT_EQ(rig.process.MouseMoveCount, 2);
}

TEST(SaverPassword, TheDesktopFlagAsTextOrNumberTurnsProtectionOn) {
    struct Case {
        const char* name;
        std::function<void(headless::HeadlessPlatform&)> flag;
        bool protected_run;
    };
    const Case cases[] = {
        {"text 1", [](auto& p) { p.set_registry_string(rt::reg::CurrentUser, kDesktop, kFlag, "1"); }, true},
        {"dword 1", [](auto& p) { p.set_registry_dword(rt::reg::CurrentUser, kDesktop, kFlag, 1); }, true},
        {"dword 0", [](auto& p) { p.set_registry_dword(rt::reg::CurrentUser, kDesktop, kFlag, 0); }, false},
        {"missing", [](auto& p) { p.add_registry_key(rt::reg::CurrentUser, kDesktop); }, false},
    };
    for (const auto& c : cases) {
        SaverRig rig;
        c.flag(rig.platform);
        SaveStoredPassword(rig.platform.user_store(), EncodePassword("pw"));
        rig.start();
        rig.platform.post_key(rig.saver, rt::keys::Space);
        rig.platform.post_click(rig.prompt.Command2);  // Cancel, if a prompt opened
        rig.platform.run();
        EXPECT_EQ(rig.prompts_opened(), c.protected_run ? 1 : 0) << c.name;
        EXPECT_EQ(rig.process.ended(), !c.protected_run) << c.name;
    }

    // The flag on but no password stored: no question asked.
    SaverRig open;
    open.platform.set_registry_string(rt::reg::CurrentUser, kDesktop, kFlag, "1");
    open.start();
    open.platform.post_mouse_down(open.saver);
    open.platform.run();
    EXPECT_EQ(open.process.UsePassword, 1);
    EXPECT_EQ(open.prompts_opened(), 0);
    EXPECT_TRUE(open.process.ended());
}

TEST(SaverPassword, AWrongPasswordOrCancelKeepsTheSaverWithTheCursorHidden) {
    SaverRig rig;
    rig.choose_picture(kPicture);
    rig.protect("Secret");
    rig.start();

    rig.platform.answer_message_box();
    rig.platform.post_key(rig.saver, rt::keys::Enter);
    rig.answer_prompt("secrets");
    rig.platform.run();
    ASSERT_EQ(rig.platform.messages().size(), 1U);
    EXPECT_EQ(rig.platform.messages()[0].text, "Incorrect password;\r\n\r\nCheck your screen saver password and try again.");
    EXPECT_FALSE(rig.process.ended());
    EXPECT_TRUE(rig.screen().visible);
    EXPECT_LE(rig.platform.cursor_count(), -6);
    EXPECT_TRUE(rig.screen().input_enabled);

    rig.platform.post_mouse_down(rig.saver);
    rig.platform.post_click(rig.prompt.Command2);
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 2);
    EXPECT_FALSE(rig.process.ended());
    EXPECT_LE(rig.platform.cursor_count(), -6);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);

    // The saver keeps animating after a refusal that came from a key or click.
    const float left = rig.saver.Image1.Left();
    rig.platform.advance(400);
    EXPECT_EQ(rig.saver.Image1.Left(), left + 355);
}

TEST(SaverPassword, AnUntouchedPromptClosesAfterThirtySecondsAndTypingGivesMore) {
    SaverRig rig;
    rig.choose_picture(kPicture);
    rig.protect("Secret");
    rig.start();

    rig.platform.post_key(rig.saver, 'Q');
    rig.platform.post_advance(29999);
    rig.platform.post([&] { EXPECT_TRUE(rig.prompt.loaded()); });
    rig.platform.post_advance(1);
    rig.platform.run();
    EXPECT_FALSE(rig.prompt.loaded());
    EXPECT_FALSE(rig.process.ended());
    EXPECT_LE(rig.platform.cursor_count(), -6);

    const auto opened = rig.platform.now_ms();
    rig.platform.post_key(rig.saver, 'Q');
    rig.platform.post_advance(29000);
    rig.platform.post_type(rig.prompt.Text1, "S");
    rig.platform.post_advance(29999);
    rig.platform.post([&] { EXPECT_TRUE(rig.prompt.loaded()); });
    rig.platform.post_advance(1);
    rig.platform.run();
    EXPECT_FALSE(rig.prompt.loaded());
    EXPECT_EQ(rig.platform.now_ms() - opened, 59000);
    EXPECT_EQ(rig.prompts_opened(), 2);
    EXPECT_FALSE(rig.process.ended());
    EXPECT_LE(rig.platform.cursor_count(), -6);
}

TEST(SaverPassword, TheTickDuringThePromptRepeatsTheExitOnceThenThePicturesStandStill) {
    SaverRig rig;
    rig.choose_picture(kPicture);
    rig.protect("Secret");
    rig.start();
    rig.platform.advance(800);  // two ticks
    ASSERT_EQ(rig.process.TickCounter, 2);

    rig.four_moves();
    rig.platform.post([&] {
        // The picture file changes while the prompt is open.
        rig.platform.add_picture(kPicture, 5080, 2540);
    });
    rig.platform.post_advance(4000);
    rig.platform.post([&] {
        // Exactly one tick came, and it ran to the end.
        EXPECT_FALSE(rig.saver.Timer1.Enabled());
        EXPECT_EQ(rig.process.TickCounter, 3);
        EXPECT_EQ(rig.screen().circles.size(), 202U);
        EXPECT_EQ(rig.saver.Image1.Left(), 585 + 3 * 355);
        EXPECT_EQ(rig.saver.Image2.Left(), 4170 - 3 * 455);
        EXPECT_EQ(rig.saver.Image1.Width(), 2880);  // the new picture: 192 pixels wide
        EXPECT_TRUE(rig.prompt.loaded());
        EXPECT_EQ(rig.prompts_opened(), 1);
    });
    rig.platform.post_click(rig.prompt.Command2);
    rig.platform.post_advance(10000);
    rig.platform.run();

    EXPECT_EQ(rig.prompts_opened(), 1);
    EXPECT_FALSE(rig.process.ended());
    EXPECT_EQ(rig.process.ExitRequested, kTrue);
    EXPECT_EQ(rig.process.TickCounter, 3);
    EXPECT_EQ(rig.saver.Image1.Left(), 585 + 3 * 355);
    EXPECT_LE(rig.platform.cursor_count(), -6);

    // A key still brings the prompt back, and the right password ends the saver.
    rig.platform.post_key(rig.saver, 'X');
    rig.answer_prompt("secret");
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 2);
    EXPECT_TRUE(rig.process.ended());
}

TEST(SaverPassword, AfterARefusedMoveExitTheNextTickAsksAgain) {
    SaverRig rig;
    rig.choose_picture(kPicture);
    rig.protect("Secret");
    rig.start();
    rig.four_moves();
    rig.platform.post_click(rig.prompt.Command2);
    rig.platform.run();
    ASSERT_EQ(rig.prompts_opened(), 1);
    ASSERT_EQ(rig.process.TickCounter, 0);

    // The first tick repeats the exit: the prompt again, and the right
    // password ends the saver inside that tick.
    rig.platform.post_advance(400);
    rig.answer_prompt("secret");
    rig.platform.run();
    EXPECT_EQ(rig.prompts_opened(), 2);
    EXPECT_TRUE(rig.process.ended());
    EXPECT_EQ(rig.process.TickCounter, 0);
    EXPECT_EQ(rig.saver.Image1.Left(), 585);
}

TEST(SaverLoad, AMissingPictureFallsBackToTheSparePicture) {
    SaverRig rig;
    rig.choose_picture("c:\\gone.bmp", false);
    rig.platform.add_picture(kSpare, 1270, 1270);
    rig.start();
    ASSERT_NE(rig.saver.Image2.GetPicture(), nullptr);
    EXPECT_EQ(rig.saver.Image2.GetPicture()->path, kSpare);
    EXPECT_FALSE(rig.saver.Label1.Visible());
    EXPECT_EQ(rig.process.ImageName, kSpare);
    EXPECT_EQ(rig.platform.settings_file().read(kImageSection, kImageKey, ""), kSpare);
    EXPECT_EQ(rig.platform.cursor_count(), -6);  // hidden once, not once per attempt
    EXPECT_TRUE(rig.screen().visible);

    // No settings file at all: "0" is not a picture either.
    SaverRig bare;
    bare.platform.add_picture(kSpare, 1270, 1270);
    bare.start();
    ASSERT_NE(bare.saver.Image2.GetPicture(), nullptr);
    EXPECT_EQ(bare.saver.Image2.GetPicture()->path, kSpare);
    EXPECT_EQ(bare.platform.settings_file().read(kImageSection, kImageKey, ""), kSpare);

    // A file that is not a picture counts as missing.
    SaverRig junk;
    junk.choose_picture("c:\\notes.txt", false);
    junk.platform.add_non_picture("c:\\notes.txt");
    junk.platform.add_picture(kSpare, 1270, 1270);
    junk.start();
    EXPECT_EQ(junk.process.ImageName, kSpare);
}

TEST(SaverLoad, NoPictureNameShowsTheMessageAndBothPicturesMissingDoNotEndTheRun) {
    SaverRig empty;
    empty.choose_picture("", false);
    empty.platform.add_picture(kSpare, 1270, 1270);
    empty.start();
    EXPECT_TRUE(empty.saver.Label1.Visible());
    EXPECT_EQ(empty.saver.Image2.GetPicture(), nullptr);
    EXPECT_EQ(empty.platform.settings_file().read(kImageSection, kImageKey, "?"), "");  // no fall-back
    EXPECT_LE(empty.platform.cursor_count(), -6);

    SaverRig none;
    none.choose_picture("c:\\gone.bmp", false);
    ASSERT_NO_THROW(none.start());
    EXPECT_TRUE(none.saver.loaded());
    EXPECT_TRUE(none.screen().visible);
    EXPECT_TRUE(none.screen().topmost);
    EXPECT_TRUE(none.saver.Label1.Visible());
    EXPECT_EQ(none.saver.Image2.GetPicture(), nullptr);
    EXPECT_EQ(none.platform.settings_file().read(kImageSection, kImageKey, ""), kSpare);
    EXPECT_LE(none.platform.cursor_count(), -6);
    // It animates and ends like any other run.
    none.platform.advance(4000);
    EXPECT_EQ(none.process.TickCounter, 10);
    none.platform.post_key(none.saver, 'A');
    none.platform.run();
    EXPECT_TRUE(none.process.ended());
}

}  // namespace
}  // namespace vellora
