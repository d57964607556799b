// The runtime contract: what every runtime (headless, Qt, Win32) does alike, with each runtime's driver.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "runtime/app.h"
#include "runtime/contract_driver.h"
#include "support/temp_dir.h"

namespace vellora::contract {
namespace {

using Log = std::vector<std::string>;

// A dialog with a label, a text box, OK and Cancel; bare, no frame and nothing that takes the focus, like the saver.
class TestForm final : public rt::Form {
public:
    TestForm(rt::App& app, const std::string& name, bool bare = false) : rt::Form(app, name) {
        design_.border = bare ? rt::BorderStyle::None : rt::BorderStyle::FixedDialog;
        design_.client_width = design_.client_height = 4800;
        Label1.SetCaption("&Name:");
        OK.SetCaption("&OK");
        OK.SetDefault(true);
        Cancel.SetCaption("Cancel");
        Cancel.SetCancel(true);
        int tab = 0;
        for (rt::Control* c : controls()) {
            c->Move(120, 120 + 450 * static_cast<float>(tab), 2400, 400);
            c->SetTabIndex(tab++);
            c->SetVisible(!bare || !c->can_take_focus());
        }
        OK.on_click = [this] { log.push_back("ok"); };
        Cancel.on_click = [this] { log.push_back("cancel"); };
        Timer1.SetInterval(40);
        Timer1.on_timer = [this] { ++ticks; };
    }
    rt::Label Label1{*this, "Label1"};
    rt::TextBox Text1{*this, "Text1"};
    rt::CommandButton OK{*this, "OK"};
    rt::CommandButton Cancel{*this, "Cancel"};
    rt::Timer Timer1{*this, "Timer1"};
    Log log;  // clicks, "query:<mode>", "unload" and "key:<code>"
    std::function<void()> on_key;
    int ticks = 0;
    int display_changes = 0;
    bool refuse = false;

protected:
    void Form_QueryUnload(std::int16_t& cancel, std::int16_t mode) override {
        log.push_back("query:" + std::to_string(mode));
        if (refuse) cancel = -1;
    }
    void Form_Unload(std::int16_t& /*cancel*/) override { log.push_back("unload"); }
    void Form_DisplayChanged() override { ++display_changes; }
    void Form_KeyDown(std::int16_t key, std::int16_t /*shift*/) override {
        log.push_back("key:" + std::to_string(key));
        if (on_key) on_key();
    }
};

class Contract : public ::testing::Test {
protected:
    void pump(int ms) {
        bool done = false;
        driver->later(ms, [&done] { done = true; });
        app.run_until([&done] { return done; });
    }
    std::string path(const std::string& name) const { return (dir.path() / name).string(); }
    testing::TempDir dir;
    std::unique_ptr<Driver> driver = make_driver();
    rt::App app{driver->platform()};
};

TEST_F(Contract, AModalFormWaitsWhileOtherFormsTimersTickAndAHandlerThatThrowsIsReportedAndDropped) {
    TestForm canvas(app, "Canvas", true);
    TestForm dialog(app, "Dialog");
    canvas.Timer1.on_timer = [&] {
        if (++canvas.ticks == 1) throw std::runtime_error("the first tick failed");
    };
    canvas.on_key = [] { throw std::runtime_error("the key failed"); };
    canvas.Show();
    int ticks_meanwhile = 0;
    bool blocked = false;
    dialog.OK.on_click = [] { throw std::runtime_error("the click failed"); };
    dialog.Cancel.on_click = [&] { dialog.Unload(); };
    driver->later(400, [&] {
        ticks_meanwhile = canvas.ticks;
        blocked = !canvas.input_enabled();
        driver->key(canvas, 'A');
        driver->click(dialog.OK);
        driver->click(dialog.Cancel);
    });
    dialog.Show(true);  // returns once the dialog has unloaded
    EXPECT_TRUE(ticks_meanwhile >= 4 && blocked) << ticks_meanwhile;
    pump(50);
    driver->key(canvas, 'A');  // the keyboard is back; a form without controls has every key
    driver->key(canvas, rt::keys::Space);
    EXPECT_EQ(canvas.log, (Log{"key:65", "key:32"}));
    canvas.Unload();
    const int ticks = canvas.ticks;
    pump(150);
    EXPECT_EQ(canvas.ticks, ticks);  // a timer stops with its form
    const std::string reported = driver->failures();
    for (const char* what : {"the first tick failed", "the key failed", "the click failed"}) {
        EXPECT_NE(reported.find(what), std::string::npos) << what << " in: " << reported;
    }
}

TEST_F(Contract, UnloadAsksTheFormWhichMayRefuseAndTheFramesCloseCommandSaysSo) {
    TestForm dialog(app, "Dialog");
    dialog.refuse = true;
    dialog.Show();
    EXPECT_EQ(dialog.Unload(), rt::UnloadResult::Refused);
    driver->close(dialog);
    dialog.refuse = false;
    driver->close(dialog);
    dialog.OK.on_click = [&] { dialog.Unload(); };  // a button may unload its own form
    dialog.Show();
    driver->click(dialog.OK);
    pump(20);
    dialog.Show();  // and it loads again with a window that works
    driver->click(dialog.Cancel);
    dialog.Text1.on_change = [&] { dialog.Unload(); };  // so may a text box's change, while the user types
    dialog.Text1.SetFocus();
    pump(20);
    driver->key(dialog, 'A');
    pump(20);
    EXPECT_FALSE(dialog.loaded());
    EXPECT_EQ(dialog.log,
              (Log{"query:1", "query:0", "query:0", "unload", "query:1", "unload", "cancel", "query:1", "unload"}));
}

TEST_F(Contract, EveryFormHearsOnceOfAChangeOfTheDisplay) {
    TestForm shown(app, "Shown", true);
    TestForm hidden(app, "Hidden", true);
    shown.Show();
    hidden.Load();
    if (!driver->change_display({&shown, &hidden})) return;
    pump(50);
    EXPECT_EQ(std::vector({shown.display_changes, hidden.display_changes}), std::vector({1, 1}));
}

TEST_F(Contract, KeysFollowTabOrderButtonsAndAccessKeysWhileATextBoxKeepsItsEditingKeys) {
    TestForm d(app, "Dialog");
    d.Show();
    pump(20);  // the focus on the first in tab order that takes it
    for (const auto key : std::vector<std::int16_t>{'A', 'B', 'C', 'D', kBackspace, kBackspace, rt::keys::Space}) {
        driver->key(d, key);
    }
    EXPECT_EQ(d.Text1.Text(), "ab ");  // the box kept every one of them
    d.Text1.SetPasswordChar('*');
    EXPECT_EQ(driver->shown_text(d.Text1), "***");
    d.Text1.SetText("xy");  // the program's text reaches the box
    EXPECT_EQ(driver->shown_text(d.Text1), "**");

    driver->key(d, rt::keys::Enter);  // in the text box: the default button
    driver->key(d, rt::keys::Escape);
    driver->key(d, 'O', rt::shift::Alt);  // OK's access key presses it, and types nothing
    driver->key(d, rt::keys::Tab);
    EXPECT_EQ(d.ActiveControl(), &d.Cancel);
    driver->key(d, rt::keys::Enter);  // the focused button, though not the default
    driver->key(d, rt::keys::Space);
    driver->key(d, rt::keys::Tab, rt::shift::Shift);
    EXPECT_EQ(d.ActiveControl(), &d.OK);
    driver->key(d, 'N', rt::shift::Alt);  // a label's access key: the control after it
    EXPECT_TRUE(d.ActiveControl() == &d.Text1 && d.Text1.Text() == "xy");
    EXPECT_EQ(d.log, (Log{"ok", "cancel", "ok", "cancel", "cancel"}));
}

TEST_F(Contract, PicturesAreDecodedOncePerVersionOfAFileAndNeverMixedUpBetweenPaths) {
    const auto a = path("a.bmp");
    const auto b = path("b.bmp");
    driver->write_picture(a, 8, 4);
    driver->write_picture(b, 4, 8);  // as many bytes as a
    driver->copy_time(a, b);         // and as old: only the path tells them apart
    const float tpp = app.screen().twips_per_pixel_x;
    const auto width_px = [&](const std::string& file) {
        return rt::twips_to_pixels(rt::himetric_to_twips(app.LoadPicture(file)->himetric_width), tpp);
    };
    EXPECT_EQ(std::vector({width_px(a), width_px(b)}), std::vector({8, 4}));
    EXPECT_EQ(app.LoadPicture(a), app.LoadPicture(a));
    EXPECT_EQ(app.pictures().decodes(), 2U);
    driver->write_picture(a, 16, 4);  // replaced on disk
    EXPECT_EQ(width_px(a), 16);
    driver->rewrite_picture(a, 4, 16);  // rewritten in place: as many bytes, a newer time
    EXPECT_EQ(width_px(a), 4);
    EXPECT_EQ(app.pictures().decodes(), 4U);
    EXPECT_THROW((void)app.LoadPicture(path("missing.bmp")), rt::PictureError);
    EXPECT_THROW((void)app.LoadPicture(dir.path().string()), rt::PictureError);  // a folder is no picture file
}

// A bare blue form with two images, Image2 drawn over Image1.
class Canvas final : public rt::Form {
public:
    explicit Canvas(rt::App& app) : rt::Form(app, "Canvas") {
        design_.border = rt::BorderStyle::None;
        design_.back_color = rt::rgb(0, 0, 255);
        design_.width = design_.height = 4500;
    }
    rt::Image Image1{*this, "Image1"};
    rt::Image Image2{*this, "Image2"};
};

// Each device pixel read after the runtime painted what changed: see-through pixels (a PNG's alpha, a GIF's clear
// colour, stretched or not) show what lies beneath, a picture is cut off at its box with the layer beside it, nothing
// is left behind or shows of a hidden one; a new back colour clears the layer.
TEST_F(Contract, ImagesLieOverTheCirclesInTheirOrderAndSeeThroughPixelsShowWhatIsBeneath) {
    Canvas form(app);
    form.Show();
    const auto shown = [&](int x, int y) { return driver->shown_pixel(form, x, y).value_or(0); };
    if (!driver->shown_pixel(form, 0, 0)) return;  // no pixels on this runtime
    const float t = app.screen().twips_per_pixel_x;
    const rt::Color red = rt::rgb(200, 30, 40), blue = rt::rgb(0, 0, 255), yellow = rt::rgb(255, 255, 0);
    driver->write_picture(path("red.bmp"), 20, 20);
    form.Image1.SetPicture(app.LoadPicture(path("red.bmp")));
    form.Image1.Move(10 * t, 10 * t);
    form.SetFillColor(yellow);
    for (const int x : {12, 40}) form.Circle(static_cast<float>(x) * t, 16 * t, 2 * t, yellow);
    form.Circle(100 * t, 100 * t, 0, rt::rgb(0, 255, 0));
    form.Image2.SetPicture(app.LoadPicture(testing::test_picture("alpha.png")));  // 10 px each: green, white at half, none
    form.Image2.Move(20 * t, 12 * t);
    EXPECT_EQ((std::vector{shown(12, 16), shown(25, 15), shown(40, 16), shown(100, 100)}),
              (std::vector{red, rt::rgb(0, 255, 0), yellow, rt::rgb(0, 255, 0)}));
    const rt::Color half = shown(35, 15);
    EXPECT_TRUE(std::abs(rt::red_of(half) - 128) <= 2 && std::abs(rt::green_of(half) - 128) <= 2 && rt::blue_of(half) >= 253)
        << std::hex << half;
    form.Image2.SetStretch(true);
    form.Image2.Move(20 * t, 12 * t, 60 * t, 10 * t);
    EXPECT_EQ((std::vector{shown(38, 15), shown(70, 15)}), (std::vector{rt::rgb(0, 255, 0), blue}));
    form.Image2.SetStretch(false);
    form.Image2.SetPicture(app.LoadPicture(testing::test_picture("clear.gif")));  // blue, then 20 px of none
    form.Image2.Move(15 * t, 12 * t);
    EXPECT_EQ((std::vector{shown(18, 15), shown(27, 15), shown(40, 16)}), (std::vector{blue, red, yellow}));
    form.Image1.Move(10 * t, 40 * t, 40 * t, 8 * t);  // its box wider than its picture, which stays 20 pixels wide
    EXPECT_EQ((std::vector{shown(12, 16), shown(27, 15), shown(29, 42), shown(30, 42), shown(12, 48)}),
              (std::vector{yellow, blue, red, blue, blue}));
    form.SetBackColor(rt::rgb(0, 128, 0));
    EXPECT_EQ((std::vector{shown(100, 100), shown(18, 15)}), (std::vector{rt::rgb(0, 128, 0), blue}));
    form.Image2.SetVisible(false);
    EXPECT_EQ(shown(18, 15), rt::rgb(0, 128, 0));
}

// Photos turned by their Exif orientation; one of 200 megapixels decoded at a quarter, one over the cap refused.
TEST_F(Contract, PhotosShowUprightWhateverTheirExifOrientationAndVeryLargeOnesReducedOrRefused) {
    Canvas form(app);
    form.Show();
    const float tpp = app.screen().twips_per_pixel_x;
    const auto pixels = [&](std::int32_t himetric) { return rt::twips_to_pixels(rt::himetric_to_twips(himetric), tpp); };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const auto name = "photo-" + std::to_string(orientation) + ".jpg";
        const bool turned = orientation >= 5;
        driver->write_photo(path(name), name, turned ? 16 : 24, turned ? 24 : 16);
        const auto picture = app.LoadPicture(path(name));
        EXPECT_EQ(std::vector({pixels(picture->himetric_width), pixels(picture->himetric_height)}),
                  std::vector({24, 16}));
        form.Image1.SetPicture(picture);
        for (int block = 0; block < 6; ++block) {  // three blocks wide, two high, as the pattern is
            const auto shown = driver->shown_pixel(form, 4 + 8 * (block % 3), 4 + 8 * (block / 3));
            if (!shown) break;  // no pixels on this runtime
            EXPECT_NEAR(rt::red_of(*shown), 48 * block, 2) << block;  // the pattern's greys: 0, 48, ... 240
        }
    }
    const auto large = path("200-megapixels.jpg");  // as a 200-megapixel phone camera takes them
    driver->write_photo(large, "200-megapixels.jpg", 16320, 12240);
    const auto picture = app.LoadPicture(large);
    EXPECT_EQ(std::vector({pixels(picture->himetric_width), pixels(picture->himetric_height)}),
              std::vector({4080, 3060}));
    form.Image1.SetPicture(picture);
    EXPECT_NEAR(rt::red_of(driver->shown_pixel(form, 30, 30).value_or(rt::rgb(160, 0, 0))), 160, 2);  // if any
    const auto decodes = app.pictures().decodes();
    driver->write_photo(path("over.jpg"), "over-the-cap.jpg", 16385, 16384);  // its headers: 2^28 + 16,384 pixels
    EXPECT_THROW((void)app.LoadPicture(path("over.jpg")), rt::PictureError);
    EXPECT_EQ(app.pictures().decodes(), decodes);
}

TEST_F(Contract, DialogsShowWhatTheyAreGivenAndGiveTheChoiceOrNothing) {
    auto& dialogs = driver->platform().dialogs();
    driver->answer_next({DialogKind::Message, true, 0, ""});
    dialogs.message_box({"First line\r\n\r\nSecond line", "Vellora", rt::MessageIcon::Stop});
    std::string text = driver->seen().text;  // the line breaks as the system shows them
    std::erase(text, '\r');
    EXPECT_EQ(text, "First line\n\nSecond line");
    EXPECT_EQ(driver->seen().title, "Vellora");

    driver->answer_next({DialogKind::Color, true, rt::rgb(0, 128, 255), ""});
    EXPECT_EQ(dialogs.choose_color({rt::rgb(255, 0, 0), true}), std::optional<rt::Color>(rt::rgb(0, 128, 255)));
    EXPECT_EQ(driver->seen().color, std::optional<rt::Color>(rt::rgb(255, 0, 0)));

    const std::string name = "a-photo-whose-name-is-far-longer-than-twenty-four-characters.jpeg";
    const std::string filter = "All Files (*.*)|*.*|BMPs(*.bmp)|*.bmp|JPEGs(*.Jpg)|*.jpg;*.jpeg;*.jpe;*.jfif";
    for (const auto& photo : {name, std::string("photo.jpeg"), std::string("PHOTO.JPG"), std::string("photo.jfif")}) {
        driver->write_photo(path(photo), "photo-1.jpg", 24, 16);
    }
    driver->write_picture(path("picture.bmp"), 4, 4);
    driver->answer_next({DialogKind::File, true, 0, path(name)});
    const auto chosen = dialogs.open_file({filter, 3, true, path("photo.jpeg")});  // the last choice
    EXPECT_TRUE(chosen && chosen->ends_with(name)) << chosen.value_or("nothing");
    EXPECT_EQ(driver->seen().file_type.rfind("JPEGs(*.Jpg)", 0), 0U) << driver->seen().file_type;
    if (const auto listed = driver->seen().files) {  // every JPEG's name, in any case, and nothing else
        EXPECT_EQ(*listed, (std::vector<std::string>{"PHOTO.JPG", name, "photo.jfif", "photo.jpeg"}));
    }
    driver->answer_next({DialogKind::File, false, 0, ""});
    EXPECT_EQ(dialogs.open_file({filter, 2, true, name}), std::nullopt);
}

TEST_F(Contract, TheUserStoreGivesBackEveryValueExactlyAndKeepsKeysApart) {
    auto& store = driver->platform().services().user_store();
    const std::string app_name = "VelloraContractTest";
    std::string odd = "; x\r\n[Section]\tpadded ";  // and every printable character, a space last
    for (char c = '!'; c <= '~'; ++c) odd += c;
    for (const std::string& v : {odd + " ", std::string()}) {
        ASSERT_TRUE(store.write(app_name, "Contract", "Password", v));
        EXPECT_EQ(store.read(app_name, "Contract", "Password", "missing"), v);
    }
    ASSERT_TRUE(store.write(app_name, "Other", "Password", "xyz"));
    EXPECT_EQ((std::vector{store.read(app_name, "Contract", "Password", "missing"),
                           store.read(app_name, "Other", "Password", ""),
                           store.read(app_name, "Contract", "Other", "fallback")}),
              (std::vector<std::string>{"", "xyz", "fallback"}));
}

}  // namespace
}  // namespace vellora::contract
