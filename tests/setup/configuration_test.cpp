// The setup dialog: its load and the spare picture, the colour choice, OK, Cancel, the keyboard; and "Set Picture":
// the file dialog, the thumbnail's sizing, cancels, a file that is no picture, the double click.
#include "setup/configuration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "runtime/app.h"
#include "runtime/services.h"
#include "support/temp_dir.h"

namespace vellora::setup_test {
namespace {

constexpr const char* kAbsent = "<absent>";
constexpr const char* kNone = "<no picture>";
constexpr const char* kSpare = "c:\\imgx.bmp";

struct SetupRig {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    Process process{platform, [](Window, Process& p) { return std::make_unique<Configuration>(p); }};

    // Loads and shows the dialog, as start-up does in setup mode.
    Configuration& open() {
        auto& dialog = static_cast<Configuration&>(process.form(Window::Configuration));
        dialog.Show();
        return dialog;
    }
    void store_image(const std::string& path) { platform.ini().write("Image", "name", path); }
    std::string stored_image() { return platform.ini().read("Image", "name", kAbsent); }
    std::string stored_color() { return platform.ini().read("Color", "hue", kAbsent); }
    std::string settings_text() const { return testing::read_file(dir.path() / "vellora.ini"); }
    // Queues a "Set Picture" that picks `path` (nothing: the user cancels).
    void set_picture(Configuration& dialog, std::optional<std::string> path) {
        platform.answer_file(std::move(path));
        platform.post_click(dialog.Setpic);
    }
};

std::string shown(const Configuration& dialog) {
    const auto& picture = dialog.Image1.GetPicture();
    return picture ? picture->path : kNone;
}

// Centred on the outer width at the reference height, Picture1 collapsed at its corner.
bool laid_out(const Configuration& d) {
    const auto& i = d.Image1;
    const auto& p = d.Picture1;
    return std::abs(i.Left() + i.Width() / 2 - d.Width() / 2) < 0.01F && i.Height() == 2610.0F &&
           p.Left() == i.Left() && p.Top() == i.Top() && p.Width() == 0 && p.Height() == 0;
}

TEST(ConfigurationLoad, ShowsTheStoredPictureOrFallsBackToTheSpareOnce) {
    // (A long path read whole: the setup scenario's.)
    struct Case {
        const char* what;
        std::optional<std::string> stored;
        bool spare_present;
        std::string shown, stored_after;
    };
    const Case cases[] = {
        {"no settings file", std::nullopt, true, kSpare, kSpare},
        {"empty path: empty picture, no recovery", "", true, kNone, ""},
        {"not a picture, spare missing too", "/notes.txt", false, kNone, kSpare},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetupRig rig;
        rig.platform.add_non_picture("/notes.txt");
        if (c.spare_present) rig.platform.add_picture(kSpare, 3969, 2646);
        if (c.stored) rig.store_image(*c.stored);
        auto& dialog = rig.open();  // on top, centred
        EXPECT_EQ(shown(dialog), c.shown);
        EXPECT_TRUE(laid_out(dialog) && rig.platform.window("Configuration")->topmost);
        EXPECT_FLOAT_EQ(dialog.Left() + dialog.Width() / 2, rig.platform.windows().screen().width_twips() / 2);
        EXPECT_FLOAT_EQ(dialog.Height(), 2 * 2610.0F);
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
    EXPECT_TRUE(std::filesystem::is_directory(rig.dir.path() / "vellora.ini") && dialog.loaded());
}

// After a recovery (no picture: the spare is noted at load), the settings change meanwhile; each confirmed colour
// reopens the dialog on it, the first on the saver's colour read leniently. OK notes the spare again with the last
// colour, both in one write or neither; Cancel writes no choice at all.
TEST(ConfigurationOk, BothChoicesAreSavedTogetherOrNotAtAllAndAFailureIsSaidWithTheDialogKeptOpen) {
    for (const bool ok : {true, false}) {
        SetupRig rig;
        rig.platform.add_picture(kSpare, 3969, 2646);
        rig.platform.ini().write("Color", "hue", "16711680 (blue)");
        auto& dialog = rig.open();
        rig.store_image("/changed/meanwhile.bmp");
        const auto before = rig.settings_text();
        for (auto answer :
             {std::optional<rt::Color>(255), std::optional<rt::Color>(65280), std::optional<rt::Color>()}) {
            rig.platform.answer_color(answer);
        }
        rig.platform.post_click(dialog.Command1);
        if (ok) {
            rig.platform.fail_next_settings_write();  // held by another program for a moment
            rig.platform.answer_message_box();
        }
        rig.platform.post_click(ok ? dialog.CmdOK : dialog.CmdCancel);
        rig.platform.run();
        EXPECT_EQ(rig.settings_text(), before);  // neither choice
        EXPECT_EQ(dialog.loaded(), ok);
        std::vector<rt::Color> initial;
        for (const auto& request : rig.platform.color_requests())
            initial.push_back(request.start_on_initial ? request.initial : 1);
        EXPECT_EQ(initial, (std::vector<rt::Color>{rt::rgb(0, 0, 255), 255, 65280}));
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
        EXPECT_EQ(std::vector({rig.stored_image(), rig.stored_color()}), (std::vector<std::string>{kSpare, "65280"}));
    }
}

constexpr const char* kStored = "/stored.bmp";  // 150 x 100 pixels
constexpr const char* kChosen = "/chosen.jpg";

Configuration& open_on_small_picture(SetupRig& rig) {
    rig.platform.add_picture(kStored, 3969, 2646);
    rig.store_image(kStored);
    return rig.open();
}

TEST(SetPicture, SizesTheThumbnailFromThePicturesShapeInHimetricAgainstTheBoundsInTwips) {
    struct Case {
        const char* what;
        std::int32_t w, h;
        float width;
        bool stretched;
    };
    const Case cases[] = {
        {"640 x 480: too wide and too high", 16933, 12700, 4980, true},
        {"250 x 150: wider than the bound in HIMETRIC only", 6615, 3969, 4980, true},
        {"150 x 100: fits", 3969, 2646, 150 * 15.0F, false},
        {"300 x 400: too high", 7938, 10583, 4560.0F * 7938 / 10583, true},
        {"a large square is only narrowed", 10000, 10000, 4980, false},
        {"exactly as wide as the bound: comparisons are strict", 4980, 2000, 188 * 15.0F, false},
        {"zero width: no sizing", 0, 5000, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetupRig rig;
        auto& dialog = open_on_small_picture(rig);
        ASSERT_FLOAT_EQ(dialog.ScaleHeight(), 4560.0F);
        rig.platform.add_picture(kChosen, c.w, c.h);
        rig.set_picture(dialog, kChosen);
        rig.platform.run();
        EXPECT_EQ(shown(dialog), kChosen);
        EXPECT_NEAR(dialog.Image1.Width(), c.width, 0.01);
        EXPECT_EQ(dialog.Image1.Stretch(), c.stretched);
        EXPECT_TRUE(laid_out(dialog) && rig.process.PicturePath == kChosen);
    }
}

TEST(SetPicture, TheFirstChoiceOpensOnAllPictureFormatsAndItsCancelClearsTheThumbnailAndStoresNoPath) {
    SetupRig rig;
    rig.platform.set_picture_extensions({"bmp", "gif", "ico", "jfif", "jpe", "jpeg", "jpg", "png", "webp", "wmf"});
    rig.platform.add_picture(kStored, 16933, 12700);  // shown unscaled, wider than the dialog
    rig.store_image(kStored);
    auto& dialog = rig.open();
    rig.set_picture(dialog, std::nullopt);
    rig.platform.run();
    const auto& request = rig.platform.file_requests().at(0);
    EXPECT_TRUE(request.file_name.empty() && request.hide_read_only);
    // Seven entries; JPEGs under each of their names; all picture formats, the one it opens on, are those read.
    EXPECT_EQ(rt::split_filter(request.filter),
              (std::vector<rt::FilterEntry>{{"All Files (*.*)", "*.*"},
                                            {"BMPs(*.bmp)", "*.bmp"},
                                            {"GIFs(*.Gif)", "*.Gif"},
                                            {"JPEGs(*.Jpg)", "*.jpg;*.jpeg;*.jpe;*.jfif"},
                                            {"WMFs(*.wmf) ", " *.wmf"},
                                            {"ICOs(*.ico) ", " *.ico"},
                                            {"All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf)",
                                             "*.bmp;*.ico;*.gif;*.jpg;*.wmf;*.jfif;*.jpe;*.jpeg;*.png;*.webp"}}));
    EXPECT_EQ(request.filter_index, 7);
    EXPECT_EQ(shown(dialog), kNone);
    EXPECT_TRUE(dialog.Image1.Left() == 0 && dialog.Image1.Width() == dialog.Width());

    rig.platform.post_click(dialog.CmdOK);
    rig.platform.run();
    EXPECT_EQ(rig.stored_image(), kStored);
}

// A file that is no picture, or a stored picture that is gone, leaves the thumbnail as it is.
TEST(SetPicture, DoubleClickShowsTheStoredPictureStretchingStaysOnAndWhatIsNoPictureLeavesTheThumbnail) {
    SetupRig rig;
    auto& dialog = open_on_small_picture(rig);
    rig.platform.add_picture(kChosen, 6615, 3969);
    rig.platform.add_picture("/small.bmp", 2000, 1000);
    rig.platform.add_non_picture("/readme.txt");
    rig.set_picture(dialog, kChosen);
    rig.platform.post_dbl_click(dialog);
    rig.platform.run();
    EXPECT_EQ(shown(dialog), kStored);
    EXPECT_FLOAT_EQ(dialog.Image1.Width(), 4980.0F);  // stretched into the chosen one's box
    EXPECT_TRUE(laid_out(dialog));

    rig.set_picture(dialog, std::nullopt);  // a cancel reloads the earlier choice
    rig.platform.run();
    EXPECT_EQ(rig.platform.file_requests().at(1).file_name, kChosen);
    EXPECT_EQ(shown(dialog), kChosen);

    rig.set_picture(dialog, "/small.bmp");  // a small picture keeps the stretched box
    rig.platform.post_dbl_click(dialog);
    rig.platform.run();
    EXPECT_EQ(shown(dialog), kStored);
    EXPECT_TRUE(dialog.Image1.Stretch());
    EXPECT_FLOAT_EQ(dialog.Image1.Width(), 4980.0F);

    rig.set_picture(dialog, "/readme.txt");
    rig.platform.run();
    rig.platform.remove_file(kStored);
    rig.platform.post_dbl_click(dialog);
    rig.platform.run();
    EXPECT_EQ(shown(dialog), kStored);
    EXPECT_FLOAT_EQ(dialog.Image1.Width(), 4980.0F);
    EXPECT_TRUE(laid_out(dialog));
    rig.platform.post_click(dialog.CmdOK);  // OK still writes the choice
    rig.platform.run();
    EXPECT_EQ(rig.stored_image(), "/readme.txt");
}

}  // namespace
}  // namespace vellora::setup_test
