// The password prompt on its own: how it opens, the ways it closes with the
// verdict each leaves, and its 30-second time-out.
#include <gtest/gtest.h>

#include <cmath>

#include "saver/saver_rig.h"

namespace vellora {
namespace {

struct PromptRig : testing::SaverRig {
    PromptRig() {
        process.StoredPassword = EncodePassword("Opensesame");
        platform.set_cursor_count(-6);  // as the running saver leaves it
    }
};

TEST(PassCheck, OpensCentredOnTopWithTheCursorShownAndTheMoveCountReset) {
    PromptRig rig;
    auto& prompt = rig.prompt;
    rig.process.MouseMoveCount = 3;
    rig.process.PasswordOK = kTrue;  // a stale verdict does not survive the opening
    rig.platform.post([&] {
        EXPECT_GE(rig.platform.cursor_count(), 6);
        EXPECT_EQ(rig.process.MouseMoveCount, 0);
        EXPECT_TRUE(rig.platform.window("PassCheck")->topmost);
        const auto screen = rig.platform.windows().screen();
        EXPECT_EQ(prompt.Top(), static_cast<float>((screen.height_twips() - prompt.Height()) / 2.0));
        EXPECT_EQ(prompt.Left(), static_cast<float>((screen.width_twips() - prompt.Width()) / 2.0));
        EXPECT_NE(prompt.Left(), std::round(prompt.Left()));  // the half twip is kept
        ASSERT_NE(prompt.Image1.GetPicture(), nullptr);
    });
    rig.platform.post_paint(prompt);
    rig.platform.post([&] { EXPECT_EQ(prompt.ActiveControl(), &prompt.Text1); });
    rig.platform.post_type(prompt.Text1, "abc");
    rig.platform.post([&] { EXPECT_EQ(prompt.Text1.display_text(), "***"); });
    rig.platform.post_close(prompt);  // closed by the system: a refusal
    prompt.Show(true);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
    EXPECT_LE(rig.platform.cursor_count(), -6);
}

// (The right password in any case ends the saver: the saver's tests and the prompt scenario.)
TEST(PassCheck, EscapeRefusesAndAWrongPasswordIsToldInAStopBoxOverThePrompt) {
    PromptRig rig;
    auto& prompt = rig.prompt;
    rig.platform.post_type(prompt.Text1, "Opensesame");
    rig.platform.post_key(prompt, rt::keys::Escape);
    prompt.Show(true);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
    EXPECT_LE(rig.platform.cursor_count(), -6);

    rig.platform.answer_message_box();
    rig.platform.on_message_box([&] { EXPECT_TRUE(rig.platform.window("PassCheck")->visible); });
    rig.platform.post_type(prompt.Text1, "Opensesam");
    rig.platform.post_click(prompt.Command1);
    prompt.Show(true);
    ASSERT_EQ(rig.platform.messages().size(), 1U);
    const auto& message = rig.platform.messages()[0];
    EXPECT_EQ(message.text, "Incorrect password;\r\n\r\nCheck your screen saver password and try again.");
    EXPECT_TRUE(message.title.empty() && message.icon == rt::MessageIcon::Stop);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
}

TEST(PassCheck, ClosesItselfThirtySecondsAfterOpeningOrTheLastKeystroke) {
    PromptRig rig;
    auto& prompt = rig.prompt;
    rig.platform.post_advance(30000);
    prompt.Show(true);
    EXPECT_EQ(rig.platform.now_ms(), 30000);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);

    rig.platform.post_advance(29000);
    rig.platform.post_type(prompt.Text1, "O");
    rig.platform.post_advance(29999);
    rig.platform.post([&] { EXPECT_TRUE(prompt.loaded()); });
    rig.platform.post_advance(1);
    prompt.Show(true);
    EXPECT_EQ(rig.platform.now_ms(), 30000 + 29000 + 30000);
    EXPECT_LE(rig.platform.cursor_count(), -6);
}

}  // namespace
}  // namespace vellora
