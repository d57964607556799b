// The password encoding; the password change dialog: its boxes, checks, what it stores, where it sits; the password
// prompt on its own: how it opens, how it closes with its verdict, its time-out (a wrong password: the saver's tests).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "password/pass_change.h"
#include "password/password.h"
#include "platform/headless/headless.h"
#include "saver/saver_rig.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

TEST(Password, KnownEncodings) {
    EXPECT_EQ(EncodePassword(""), "");
    for (const char* typed : {"abc", "ABC", "aBc"}) EXPECT_EQ(EncodePassword(typed), "SX]") << typed;
    // 'Z' + 14 + 4 x 6 = 128 is past 126: 2, then below 33: 35, '#'.
    EXPECT_EQ(EncodePassword("zzzzzzzzzzzzzzzzzzzz"), "lptx|#'+/37;?\"&*.26:");
    EXPECT_EQ(EncodePassword("\xFF\xFF"), "6:");  // bytes above 127 count unsigned
    const std::string long_text = "correct horse battery staple";
    EXPECT_EQ(EncodePassword(long_text), EncodePassword(long_text.substr(0, 20)));  // 20 characters count
}

struct Rig {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    Process process{platform, [](Window, Process& p) { return std::make_unique<PassChange>(p); }};
    PassChange* dialog = nullptr;

    // Stores `password` (if any), then shows the dialog as start-up does, for
    // the window `parent` (4242: a window of 641 x 480 pixels at 100, 50), and paints it once.
    explicit Rig(const char* password, std::uint32_t parent = 0) {
        if (password) SaveStoredPassword(platform.services().user_store(), EncodePassword(password));
        platform.add_foreign_window(4242, {{100, 50, 741, 530}, 635, 450});
        process.ParentWindow = parent;
        dialog = &static_cast<PassChange&>(process.form(Window::PassChange));
        dialog->Show();
        platform.post_paint(*dialog);
        platform.run();
    }
    std::string stored() { return ReadStoredPassword(platform.services().user_store()); }
    // Types the three boxes and presses OK.
    void submit(const std::string& old_text, const std::string& text, const std::string& again) {
        platform.post_type(dialog->Text1, old_text);
        platform.post_type(dialog->Text2, text);
        platform.post_type(dialog->Text3, again);
        platform.post_click(dialog->Command1);
        platform.run();
    }
};

// The old password is asked only when there is one and counts in any case to twenty characters; a refusal shows its
// message, empties every box and stores nothing.
TEST(PassChange, StoresTheNewPasswordOrRefusesWithAMessageAndStoresNothingSittingOverItsOwnerOrTheScreen) {
    const std::string twenty(20, 'a');
    const char* wrong_old =
        "The value for Old Password is not correct.\r\n\r\nCheck your screen-saver password, and then try again.";
    const char* no_match = "The value for New Password and Retype New Password do not match.\r\n\r\nTry again";
    struct Case {
        const char* password;
        std::string old_text, text, again;
        const char* message = nullptr;  // nothing: stored
        bool store_fails = false;
        std::uint32_t parent = 0;  // 4242: a window; 999: no such window
    } const cases[] = {
        {nullptr, "ignored", "Secret", "Secret", nullptr, false, 4242},
        {"CorrectHorseBatteryStaple", "correcthorsebatterysXXXXX", "NewOne", "nEWoNE"},  // new ones may differ in case
        {"hunter2", "hunter2", "", ""},  // empty: the password is removed
        {"hunter2", "hunter3", "next", "next", wrong_old, false, 999},
        {"hunter2", "HUNTER2", twenty + "X", twenty + "Y", no_match},
        {"hunter2", "hunter2", "next", "next", "The new password could not be saved.\r\n\r\nTry again", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Rig rig(c.password, c.parent);
        auto& d = *rig.dialog;
        const auto screen = rig.platform.windows().screen();  // centred over its owner sixty pixels down, or the screen
        const bool owned = c.parent == 4242;
        EXPECT_NEAR(d.Left() + d.Width() / 2, owned ? (100 + 741) / 2.0 * 15 : screen.width_twips() / 2, 0.01);
        EXPECT_FLOAT_EQ(owned ? d.Top() : d.Top() + d.Height() / 2,
                        owned ? (50 + 60) * 15.0F : screen.height_twips() / 2);
        EXPECT_EQ(d.Text1.Enabled(), c.password != nullptr);
        EXPECT_EQ(d.Label1.ForeColor(), c.password ? rt::rgb(0, 0, 0) : rt::rgb(128, 128, 128));
        const rt::Control* first = c.password ? &d.Text1 : &d.Text2;  // focused at the start and after a refusal
        EXPECT_EQ(d.ActiveControl(), first);
        const auto before = rig.stored();
        rig.platform.set_user_store_fails(c.store_fails);
        if (c.message) rig.platform.answer_message_box();
        rig.submit(c.old_text, c.text, c.again);
        EXPECT_EQ(d.loaded(), c.message != nullptr);
        if (c.message == nullptr) {
            EXPECT_TRUE(rig.platform.messages().empty());
            EXPECT_EQ(rig.stored(), EncodePassword(c.text));
            continue;
        }
        ASSERT_EQ(rig.platform.messages().size(), 1U);
        const auto& told = rig.platform.messages()[0];
        EXPECT_TRUE(told.text == c.message && told.title == "Change Password" && told.icon == rt::MessageIcon::Stop)
            << told.text;
        EXPECT_TRUE(d.Text1.Text().empty() && d.Text2.Text().empty() && d.Text3.Text().empty());
        EXPECT_EQ(d.ActiveControl(), first);
        EXPECT_EQ(rig.process.StoredPassword, before);  // a retry checks the old password against it

        rig.platform.post_type(d.Text3, "x");  // a later paint leaves the focus be
        rig.platform.post_paint(d);
        rig.platform.run();
        EXPECT_EQ(d.ActiveControl(), &d.Text3);
        EXPECT_EQ(d.Text3.display_text(), "*");
        rig.platform.post_key(d, rt::keys::Escape);  // Cancel
        rig.platform.run();
        EXPECT_FALSE(d.loaded());
        rig.platform.set_user_store_fails(false);
        EXPECT_EQ(rig.stored(), before);
    }
}

struct PromptRig : testing::SaverRig {
    PromptRig() {
        process.StoredPassword = EncodePassword("Opensesame");
        platform.set_cursor_count(-6);  // as the running saver leaves it
    }
};

// (The move count starts again at the prompt: the saver's tests; what the box shows: the contract's and the
// scenarios'.)
TEST(PassCheck, OpensCentredOnTopWithTheCursorShownClosesWithARefusalAndItselfAfterThirtySecondsWithoutTyping) {
    PromptRig rig;
    auto& prompt = rig.prompt;
    rig.process.PasswordOK = kTrue;  // a stale verdict does not survive the opening
    rig.platform.post([&] {
        EXPECT_GE(rig.platform.cursor_count(), 6);
        EXPECT_TRUE(rig.platform.window("PassCheck")->topmost);
        const auto screen = rig.platform.windows().screen();
        EXPECT_EQ(prompt.Top(), static_cast<float>((screen.height_twips() - prompt.Height()) / 2.0));
        EXPECT_EQ(prompt.Left(), static_cast<float>((screen.width_twips() - prompt.Width()) / 2.0));
        EXPECT_NE(prompt.Left(), std::round(prompt.Left()));  // the half twip is kept
        ASSERT_NE(prompt.Image1.GetPicture(), nullptr);
    });
    rig.platform.post_paint(prompt);
    rig.platform.post([&] { EXPECT_EQ(prompt.ActiveControl(), &prompt.Text1); });
    rig.platform.post_close(prompt);  // closed by the system: a refusal
    prompt.Show(true);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);
    EXPECT_LE(rig.platform.cursor_count(), -6);
    rig.platform.post_type(prompt.Text1, "Opensesame");
    rig.platform.post_key(prompt, rt::keys::Escape);  // so is Escape
    prompt.Show(true);
    EXPECT_EQ(rig.process.PasswordOK, kFalse);

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
