// The setup dialog: its load and the spare-picture recovery, the colour
// choice that reopens itself, OK, Cancel and the keyboard.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "runtime/app.h"
#include "setup/setup_rig.h"

namespace vellora::setup_test {
namespace {

TEST(ConfigurationLoad, ShowsTheStoredPictureOrFallsBackToTheSpareOnce) {
    const std::string long_path = "/pictures/" + std::string(46, 'x') + ".bmp";  // 60 characters
    struct Case {
        const char* what;
        std::optional<std::string> stored;
        bool spare_present;
        std::string shown, stored_after;
    } const cases[] = {
        {"no settings file", std::nullopt, true, kSpare, kSpare},
        {"empty path: empty picture, no recovery", "", true, kNone, ""},
        {"a long path is read whole", long_path, true, long_path, long_path},
        {"not a picture, spare missing too", "/notes.txt", false, kNone, kSpare},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetupRig rig;
        rig.platform.add_picture(long_path, 3969, 2646);
        rig.platform.add_non_picture("/notes.txt");
        if (c.spare_present) rig.platform.add_picture(kSpare, 3969, 2646);
        if (c.stored) rig.store_image(*c.stored);
        auto& dialog = rig.open();
        EXPECT_EQ(shown(dialog), c.shown);
        EXPECT_TRUE(laid_out(dialog));
        EXPECT_EQ(rig.stored_image(), c.stored_after);  // a recovery is written at once

        const auto after_load = rig.settings_text();
        rig.platform.post_key(dialog, rt::keys::Escape);  // there is no cancel button
        rig.platform.post_key(dialog, rt::keys::Enter);   // presses OK, which has the focus
        rig.platform.run();
        EXPECT_FALSE(dialog.loaded());
        EXPECT_EQ(rig.settings_text(), after_load);  // no choice: nothing new, and no colour
    }
}

TEST(ConfigurationLoad, SettingsThatCannotBeReadAreSaidAndLeftAsTheyAre) {
    SetupRig rig;
    rig.platform.add_picture(kSpare, 3969, 2646);
    std::filesystem::create_directory(rig.dir.path() / "vellora.ini");  // there, but nothing that can be read
    rig.platform.answer_message_box();
    auto& dialog = rig.open();
    ASSERT_EQ(rig.platform.messages().size(), 1U);
    const auto& message = rig.platform.messages().front().text;
    EXPECT_NE(message.find("could not be read from\r\n" + rig.dir.path().string()), std::string::npos);
    EXPECT_EQ(shown(dialog), kSpare);  // the defaults, and the spare for the default picture
    EXPECT_TRUE(std::filesystem::is_directory(rig.dir.path() / "vellora.ini"));
    EXPECT_TRUE(dialog.loaded());
}

// After a recovery (no settings: the spare is noted at load), the settings change meanwhile: OK notes the spare again
// with the colour, both in one write or neither; Cancel writes no choice at all.
TEST(ConfigurationOk, BothChoicesAreSavedTogetherOrNotAtAllAndAFailureIsSaidWithTheDialogKeptOpen) {
    for (const bool ok : {true, false}) {
        SetupRig rig;
        rig.platform.add_picture(kSpare, 3969, 2646);
        auto& dialog = rig.open();
        rig.store_image("/changed/meanwhile.bmp");
        const auto before = rig.settings_text();
        rig.platform.answer_color(255);
        rig.platform.answer_color(std::nullopt);
        rig.platform.post_click(dialog.Command1);
        if (ok) {
            rig.platform.fail_next_settings_write();  // held by another program for a moment
            rig.platform.answer_message_box();
        }
        rig.platform.post_click(ok ? dialog.CmdOK : dialog.CmdCancel);
        rig.platform.run();
        EXPECT_EQ(rig.settings_text(), before);  // neither choice
        EXPECT_EQ(dialog.loaded(), ok);
        if (!ok) continue;
        ASSERT_EQ(rig.platform.messages().size(), 1U);
        const auto& message = rig.platform.messages().front();
        EXPECT_TRUE(message.title == "Vellora" && message.icon == rt::MessageIcon::Stop);
        EXPECT_EQ(message.text, "Your picture and colour could not be saved in\r\n" + rig.dir.path().string() +
                                    "\r\n\r\nThe folder cannot be written, or the disk is full. Nothing was saved; the "
                                    "dialog stays open so that you can try again.");
        rig.platform.post_click(dialog.CmdOK);  // the user tries again
        rig.platform.run();
        EXPECT_FALSE(dialog.loaded());
        EXPECT_EQ(rig.stored_image(), kSpare);
        EXPECT_EQ(rig.stored_color(), "255");
    }
}

TEST(ConfigurationColor, EachConfirmedColourReopensTheDialogOnItAndOnlyOkStoresTheLast) {
    SetupRig rig;
    rig.platform.add_picture(kSpare, 3969, 2646);
    rig.platform.ini().write("Color", "hue", "16711680 (blue)");
    auto& dialog = rig.open();  // on top, centred, OK focused (pressed by Enter in the load test)
    EXPECT_TRUE(rig.platform.window("Configuration")->topmost && dialog.ActiveControl() == &dialog.CmdOK);
    EXPECT_FLOAT_EQ(dialog.Left() + dialog.Width() / 2, rig.platform.windows().screen().width_twips() / 2);
    EXPECT_FLOAT_EQ(dialog.Height(), 2 * 2610.0F);
    for (auto answer : {std::optional<rt::Color>(255), std::optional<rt::Color>(65280), std::optional<rt::Color>()}) {
        rig.platform.answer_color(answer);
    }
    rig.platform.post_click(dialog.Command1);
    rig.platform.run();
    EXPECT_EQ(rig.stored_color(), "16711680 (blue)");  // nothing written before OK
    rig.platform.post_click(dialog.CmdOK);
    rig.platform.run();
    std::vector<rt::Color> initial;
    for (const auto& request : rig.platform.color_requests()) {
        initial.push_back(request.start_on_initial ? request.initial : 1);
    }
    // The first dialog starts on the saver's colour, read leniently.
    EXPECT_EQ(initial, (std::vector<rt::Color>{rt::rgb(0, 0, 255), 255, 65280}));
    EXPECT_EQ(rig.stored_color(), "65280");
}

}  // namespace
}  // namespace vellora::setup_test
