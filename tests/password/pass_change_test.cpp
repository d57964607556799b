// The password change dialog: which boxes it asks for, the checks of the
// old and the retyped password, what it stores, and where it sits.
#include "password/pass_change.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "password/password.h"
#include "platform/headless/headless.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

constexpr const char* kWrongOld =
    "The value for Old Password is not correct.\r\n\r\nCheck your screen-saver password, and then try again.";
constexpr const char* kNoMatch = "The value for New Password and Retype New Password do not match.\r\n\r\nTry again";

struct Rig {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    Process process{platform, [](Window, Process& p) { return std::make_unique<PassChange>(p); }};

    explicit Rig(const char* password = nullptr) {
        if (password) SaveStoredPassword(platform.user_store(), EncodePassword(password));
    }
    std::string stored() { return ReadStoredPassword(platform.user_store()); }
    // Shows the dialog as start-up does and paints it once.
    PassChange& open() {
        auto& dialog = static_cast<PassChange&>(process.form(Window::PassChange));
        dialog.Show();
        platform.post_paint(dialog);
        platform.run();
        return dialog;
    }
    // Types the three boxes and presses OK.
    void submit(PassChange& d, const std::string& old_text, const std::string& text, const std::string& again) {
        platform.post_type(d.Text1, old_text);
        platform.post_type(d.Text2, text);
        platform.post_type(d.Text3, again);
        platform.post_click(d.Command1);
        platform.run();
    }
};

bool emptied(const PassChange& d) { return d.Text1.Text().empty() && d.Text2.Text().empty() && d.Text3.Text().empty(); }

TEST(PassChange, WithNoPasswordStoredTheOldBoxIsOffAndANewPasswordIsSet) {
    Rig rig;
    auto& dialog = rig.open();
    EXPECT_FALSE(dialog.Text1.Enabled());
    EXPECT_EQ(dialog.Label1.ForeColor(), rt::rgb(128, 128, 128));
    EXPECT_EQ(dialog.ActiveControl(), &dialog.Text2);
    rig.submit(dialog, "ignored", "Secret", "Secret");
    EXPECT_EQ(dialog.Text3.display_text(), "******");
    EXPECT_FALSE(dialog.loaded());
    EXPECT_EQ(rig.stored(), EncodePassword("Secret"));
}

TEST(PassChange, TheOldPasswordCountsInAnyCaseAndToTwentyCharactersAndNewOnesMayDifferInCase) {
    Rig rig("CorrectHorseBatteryStaple");
    auto& dialog = rig.open();
    EXPECT_EQ(dialog.Label1.ForeColor(), rt::rgb(0, 0, 0));
    EXPECT_EQ(dialog.ActiveControl(), &dialog.Text1);
    rig.submit(dialog, "correcthorsebatterysXXXXX", "NewOne", "nEWoNE");
    EXPECT_TRUE(rig.platform.messages().empty());
    EXPECT_EQ(rig.stored(), EncodePassword("NewOne"));
}

TEST(PassChange, RefusalsShowTheirMessageEmptyEveryBoxAndStoreNothing) {
    const std::string twenty(20, 'a');
    struct Case {
        const char* password;
        std::string old_text, text, again;
        const char* message;
        bool focus_old;
    } const cases[] = {
        {"hunter2", "hunter3", "next", "next", kWrongOld, true},
        {"hunter2", "HUNTER2", twenty + "X", twenty + "Y", kNoMatch, true},
        {nullptr, "", "one", "two", kNoMatch, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Rig rig(c.password);
        const auto before = rig.stored();
        auto& dialog = rig.open();
        rig.platform.answer_message_box();
        rig.submit(dialog, c.old_text, c.text, c.again);
        ASSERT_EQ(rig.platform.messages().size(), 1U);
        EXPECT_EQ(rig.platform.messages()[0].text, c.message);
        EXPECT_EQ(rig.platform.messages()[0].title, "Change Password");
        EXPECT_EQ(rig.platform.messages()[0].icon, rt::MessageIcon::Stop);
        EXPECT_TRUE(emptied(dialog));
        EXPECT_EQ(dialog.ActiveControl(), c.focus_old ? &dialog.Text1 : &dialog.Text2);
        EXPECT_TRUE(dialog.loaded());
        EXPECT_EQ(rig.stored(), before);

        rig.platform.post_type(dialog.Text3, "x");  // a later paint leaves the focus be
        rig.platform.post_paint(dialog);
        rig.platform.run();
        EXPECT_EQ(dialog.ActiveControl(), &dialog.Text3);
        rig.platform.post_type(dialog.Text2, "x");
        rig.platform.post_key(dialog, rt::keys::Escape);  // Cancel
        rig.platform.run();
        EXPECT_FALSE(dialog.loaded());
        EXPECT_EQ(rig.stored(), before);
    }
}

TEST(PassChange, EmptyNewPasswordsRemoveThePassword) {
    Rig rig("hunter2");
    rig.submit(rig.open(), "hunter2", "", "");
    EXPECT_EQ(rig.stored(), "");
}

TEST(PassChange, APasswordThatCannotBeStoredIsReportedAndTheOldOneStays) {
    Rig rig("hunter2");
    rig.platform.set_user_store_fails(true);
    auto& dialog = rig.open();
    rig.platform.answer_message_box();
    rig.submit(dialog, "hunter2", "next", "next");
    ASSERT_EQ(rig.platform.messages().size(), 1U);
    EXPECT_EQ(rig.platform.messages()[0].text, "The new password could not be saved.\r\n\r\nTry again");
    EXPECT_TRUE(dialog.loaded());
    EXPECT_TRUE(emptied(dialog));
    EXPECT_EQ(rig.process.StoredPassword, EncodePassword("hunter2"));
    EXPECT_EQ(rig.stored(), EncodePassword("hunter2"));
}

TEST(PassChange, SitsCentredOverItsOwnerSixtyPixelsDownOrCentredOnTheScreenWithoutOne) {
    for (const std::uint32_t parent : {4242U, 0U, 999U}) {  // a window, none, no such window
        SCOPED_TRACE(parent);
        Rig rig;
        rig.platform.add_foreign_window(4242, {{100, 50, 741, 530}, 635, 450});
        rig.process.ParentWindow = parent;
        auto& dialog = rig.open();
        const auto screen = rig.platform.screen();
        const bool owned = parent == 4242;
        EXPECT_NEAR(dialog.Left() + dialog.Width() / 2, owned ? (100 + 741) / 2.0 * 15 : screen.width_twips() / 2,
                    0.01);
        if (owned) {
            EXPECT_FLOAT_EQ(dialog.Top(), (50 + 60) * 15.0F);
        } else {
            EXPECT_FLOAT_EQ(dialog.Top() + dialog.Height() / 2, screen.height_twips() / 2);
        }
    }
}

}  // namespace
}  // namespace vellora
