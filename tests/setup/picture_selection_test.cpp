// "Set Picture": the file dialog, the thumbnail's sizing and stretching,
// cancels, a file that is no picture, and the double click.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/services.h"
#include "setup/setup_rig.h"

namespace vellora::setup_test {
namespace {

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
    } const cases[] = {
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
        EXPECT_TRUE(laid_out(dialog));
        EXPECT_EQ(rig.process.PicturePath, kChosen);
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
    EXPECT_EQ(request.file_name, "");
    EXPECT_TRUE(request.hide_read_only);
    // Seven entries with their texts; JPEGs under each of their names; all
    // picture formats, the one it opens on, are the ones the platform reads.
    EXPECT_EQ(rt::split_filter(request.filter),
              (std::vector<rt::FilterEntry>{
                  {"All Files (*.*)", "*.*"},
                  {"BMPs(*.bmp)", "*.bmp"},
                  {"GIFs(*.Gif)", "*.Gif"},
                  {"JPEGs(*.Jpg)", "*.jpg;*.jpeg;*.jpe;*.jfif"},
                  {"WMFs(*.wmf) ", " *.wmf"},
                  {"ICOs(*.ico) ", " *.ico"},
                  {"All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf)",
                   "*.bmp;*.ico;*.gif;*.jpg;*.wmf;*.jfif;*.jpe;*.jpeg;*.png;*.webp"},
              }));
    EXPECT_EQ(request.filter_index, 7);
    EXPECT_EQ(shown(dialog), kNone);
    EXPECT_FLOAT_EQ(dialog.Image1.Left(), 0.0F);
    EXPECT_FLOAT_EQ(dialog.Image1.Width(), dialog.Width());

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
