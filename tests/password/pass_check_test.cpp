// The password prompt on its own: how it opens, the ways it closes and the
// verdict each leaves, and its 30-second time-out.
#include <gtest/gtest.h>

#include <cmath>

#include "password/center_form.h"
#include "password/pass_check.h"
#include "password/password.h"
#include "saver/saver_rig.h"

namespace vellora {
namespace {

using testing::SaverRig;

struct PromptRig : SaverRig {
    PromptRig() {
        process.StoredPassword = EncodePassword("Opensesame");
        platform.set_cursor_count(-6);  // as the running saver leaves it
    }
};

TEST(PassCheck, OpensCentredOnTopWithTheCursorShownAndTheMoveCountReset) {
    PromptRig rig;
    rig.process.MouseMoveCount = 3;
    rig.process.PasswordOK = kTrue;  // left over: a new showing starts without a verdict
    auto& prompt = rig.prompt;
    rig.platform.post([&] {
        EXPECT_GE(rig.platform.cursor_count(), 6);
        EXPECT_EQ(rig.process.MouseMoveCount, 0);
        EXPECT_EQ(rig.process.PasswordOK, kFalse);
        const auto* shown = rig.platform.window("PassCheck");
        EXPECT_TRUE(shown->visible && shown->modal && shown->topmost);
        EXPECT_EQ(prompt.Caption(), "");
        EXPECT_EQ(prompt.ScaleWidth(), 4665);
        EXPECT_EQ(prompt.ScaleHeight(), 2445);
        const auto screen = rig.platform.screen();
        EXPECT_EQ(prompt.Top(), static_cast<float>((screen.height_twips() - prompt.Height()) / 2.0));
        EXPECT_EQ(prompt.Left(), static_cast<float>((screen.width_twips() - prompt.Width()) / 2.0));
        EXPECT_NE(prompt.Left(), std::round(prompt.Left()));  // half a twip is kept
        EXPECT_EQ(prompt.Text1.PasswordChar(), '*');
        EXPECT_EQ(prompt.Text1.Text(), "");
        ASSERT_NE(prompt.Image1.GetPicture(), nullptr);
        EXPECT_EQ(prompt.Image1.GetPicture()->path, rig.platform.app_icon()->path);
        EXPECT_EQ(prompt.Label1.Caption(),
                  "This computer is password protected.  You must type in the screen saver password to turn off "
                  "the screen saver.");
        EXPECT_FALSE(prompt.Label1.Bold());
    });
    rig.platform.post_type(prompt.Text1, "abc");
    rig.platform.post([&] { EXPECT_EQ(prompt.Text1.display_text(), "***"); });
    rig.platform.post_click(prompt.Command2);
    prompt.Show(true);

    EXPECT_FALSE(prompt.loaded());
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
    EXPECT_LE(rig.platform.cursor_count(), -6);
}

TEST(PassCheck, EnterChecksThePasswordAndEscapeCancels) {
    PromptRig rig;
    auto& prompt = rig.prompt;
    rig.platform.post_type(prompt.Text1, "OPENsesame");
    rig.platform.post_key(prompt, rt::keys::Enter);
    prompt.Show(true);
    EXPECT_EQ(rig.process.PasswordOK, kTrue);
    EXPECT_GE(rig.platform.cursor_count(), 6);  // stays visible for the closing saver
    EXPECT_TRUE(rig.platform.messages().empty());

    // A new showing starts with an empty box.
    rig.platform.post([&] { EXPECT_EQ(prompt.Text1.Text(), ""); });
    rig.platform.post_type(prompt.Text1, "Opensesame");
    rig.platform.post_key(prompt, rt::keys::Escape);
    prompt.Show(true);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
    EXPECT_LE(rig.platform.cursor_count(), -6);
}

TEST(PassCheck, AWrongPasswordIsReportedOverThePromptThenItCloses) {
    PromptRig rig;
    auto& prompt = rig.prompt;
    rig.platform.answer_message_box();
    rig.platform.on_message_box([&] {
        EXPECT_TRUE(prompt.loaded());
        EXPECT_TRUE(rig.platform.window("PassCheck")->visible);
    });
    rig.platform.post_type(prompt.Text1, "Opensesam");
    rig.platform.post_click(prompt.Command1);
    prompt.Show(true);

    ASSERT_EQ(rig.platform.messages().size(), 1U);
    const auto& message = rig.platform.messages()[0];
    EXPECT_EQ(message.text, std::string("Incorrect password;\r\n\r\nCheck your screen saver password and try again."));
    EXPECT_EQ(message.title, "");
    EXPECT_EQ(message.icon, rt::MessageIcon::Stop);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
    EXPECT_LE(rig.platform.cursor_count(), -6);
}

TEST(PassCheck, ClosingItAnyOtherWayIsARefusal) {
    PromptRig rig;
    auto& prompt = rig.prompt;
    rig.platform.post_paint(prompt);
    rig.platform.post([&] { EXPECT_EQ(prompt.ActiveControl(), &prompt.Text1); });
    rig.platform.post_close(prompt);
    prompt.Show(true);
    EXPECT_FALSE(prompt.loaded());
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
    EXPECT_LE(rig.platform.cursor_count(), -6);
}

TEST(PassCheck, ClosesItselfThirtySecondsAfterTheLastKeystroke) {
    PromptRig rig;
    auto& prompt = rig.prompt;
    rig.platform.post_advance(20000);
    rig.platform.post_type(prompt.Text1, "O");
    rig.platform.post_advance(29000);
    rig.platform.post_type(prompt.Text1, "p");  // 29 s after the first keystroke
    rig.platform.post_advance(29999);
    rig.platform.post([&] { EXPECT_TRUE(prompt.loaded()); });
    rig.platform.post_advance(1);
    rig.platform.post([&] { EXPECT_FALSE(prompt.loaded()); });
    prompt.Show(true);
    EXPECT_EQ(rig.platform.now_ms(), 20000 + 29000 + 30000);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
    EXPECT_LE(rig.platform.cursor_count(), -6);
}

TEST(CenterForm, PutsTheTopThenTheLeftHalfwayWithoutRounding) {
    SaverRig rig;
    rt::Form plain(rig.process.app(), "Plain");
    plain.Move(0, 0, 4001, 3001);
    CenterForm(plain);
    EXPECT_EQ(plain.Top(), 5760.0F - 1500.5F);
    EXPECT_EQ(plain.Left(), 7680.0F - 2000.5F);
}

}  // namespace
}  // namespace vellora
