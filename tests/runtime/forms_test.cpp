// The forms runtime's own rules, on the headless platform: modal shows with
// other forms' timers still ticking, query-unload, keyboard dispatch, nested
// keystrokes, frame sizes and images.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "runtime/app.h"
#include "runtime/form.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

class Ticker final : public rt::Form {
public:
    explicit Ticker(rt::App& app) : rt::Form(app, "Ticker") {
        Timer1.SetInterval(400);
        Timer1.on_timer = [this] { ++ticks; };
    }
    rt::Timer Timer1{*this, "Timer1"};
    int ticks = 0;
};

class Dialog final : public rt::Form {
public:
    explicit Dialog(rt::App& app) : rt::Form(app, "Dialog") {
        design_.border = rt::BorderStyle::FixedDialog;
        design_.client_width = 4665;
        design_.client_height = 2445;
        Ok.SetTabIndex(0);
        Ok.SetDefault(true);
        Cancel.SetTabIndex(1);
        Cancel.SetCancel(true);
        Name.SetCaption("&Name:");
        Name.SetTabIndex(1);
        Text1.SetTabIndex(2);
        Ok.on_click = [this] { log.push_back("ok"); Unload(); };
        Cancel.on_click = [this] { log.push_back("cancel"); Unload(); };
        Text1.on_change = [this] { log.push_back("change:" + Text1.Text()); };
    }
    void Form_QueryUnload(std::int16_t& cancel, std::int16_t mode) override {
        log.push_back("query:" + std::to_string(mode));
        if (refuse) cancel = -1;
    }
    void Form_Unload(std::int16_t& /*cancel*/) override { log.push_back("unload"); }

    rt::CommandButton Ok{*this, "Ok"};
    rt::CommandButton Cancel{*this, "Cancel"};
    rt::Label Name{*this, "Name"};
    rt::TextBox Text1{*this, "Text1"};
    std::vector<std::string> log;
    bool refuse = false;
};

class RuntimeTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    rt::App app{platform};
};

TEST_F(RuntimeTest, TimersOfOtherFormsTickWhileAModalFormIsOpenButTheyTakeNoInput) {
    Ticker ticker(app);
    Dialog dialog(app);
    ticker.Show();
    int ticks_while_modal = 0;
    platform.post_advance(2000);
    platform.post_mouse_down(ticker);
    platform.post([&] {
        ticks_while_modal = ticker.ticks;
        EXPECT_FALSE(platform.window("Ticker")->input_enabled);
        EXPECT_TRUE(platform.window("Dialog")->modal);
    });
    platform.post_click(dialog.Ok);
    dialog.Show(true);  // returns once the dialog has unloaded
    EXPECT_EQ(ticks_while_modal, 5);  // 400, 800, ..., 2000 ms
    EXPECT_TRUE(platform.window("Ticker")->input_enabled);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"ok", "query:1", "unload"}));

    // A timer switched off and on starts a fresh interval, and stops with its form.
    platform.advance(300);
    ticker.Timer1.SetEnabled(false);
    ticker.Timer1.SetEnabled(true);
    platform.advance(399);
    EXPECT_EQ(ticker.ticks, 5);
    platform.advance(1);
    EXPECT_EQ(ticker.ticks, 6);
    ticker.Unload();
    platform.advance(2000);
    EXPECT_EQ(ticker.ticks, 6);
    EXPECT_THROW(dialog.Show(true), headless::ScriptError);  // nothing scripted: fails loudly
}

TEST_F(RuntimeTest, ARefusedQueryUnloadKeepsTheFormAndTheSystemCloseReportsItsMode) {
    Dialog dialog(app);
    dialog.refuse = true;
    dialog.Show();
    EXPECT_EQ(dialog.Unload(), rt::UnloadResult::Refused);
    platform.post_close(dialog);
    platform.run();
    EXPECT_TRUE(platform.window("Dialog")->alive);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"query:1", "query:0"}));
    dialog.refuse = false;
    EXPECT_EQ(dialog.Unload(), rt::UnloadResult::Unloaded);
    EXPECT_FALSE(app.any_form_loaded());
    EXPECT_FALSE(platform.window("Dialog")->alive);
}

TEST_F(RuntimeTest, KeyboardFollowsTabOrderDefaultCancelAndAccessKeys) {
    Dialog dialog(app);
    dialog.Show();
    EXPECT_EQ(dialog.ActiveControl(), &dialog.Ok);  // lowest tab index
    dialog.deliver_key_down(rt::keys::Tab, 0);
    EXPECT_EQ(dialog.ActiveControl(), &dialog.Cancel);
    dialog.deliver_key_down(rt::keys::Tab, rt::shift::Shift);
    EXPECT_EQ(dialog.ActiveControl(), &dialog.Ok);
    dialog.deliver_key_down('N', rt::shift::Alt);  // the label's key focuses the control after it
    EXPECT_EQ(dialog.ActiveControl(), &dialog.Text1);
    dialog.Text1.SetPasswordChar('*');
    platform.post_type(dialog.Text1, "ab");
    platform.run();
    EXPECT_EQ(dialog.Text1.display_text(), "**");
    dialog.deliver_key_down(rt::keys::Enter, 0);  // presses the default button
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"change:a", "change:ab", "ok", "query:1", "unload"}));

    Dialog second(app);
    second.Show();
    second.deliver_key_down(rt::keys::Escape, 0);
    EXPECT_EQ(second.log.front(), "cancel");
    EXPECT_EQ(rt::parse_access_key("Fish && &Chips").text, "Fish & Chips");
    EXPECT_EQ(rt::parse_access_key("Fish && &Chips").key, 'C');
}

TEST_F(RuntimeTest, AHandlerThatThrowsDropsItsEventAndTheProgramGoesOn) {
    Dialog dialog(app);
    dialog.Ok.on_click = [] { throw std::runtime_error("out of paper"); };
    dialog.Show();
    platform.post_click(dialog.Ok);
    platform.post_click(dialog.Cancel);
    platform.run();
    ASSERT_EQ(platform.failures().size(), 1U);
    EXPECT_NE(platform.failures().front().find("out of paper"), std::string::npos);
    EXPECT_EQ(dialog.log, (std::vector<std::string>{"cancel", "query:1", "unload"}));
}

TEST_F(RuntimeTest, SimulatedKeystrokesRunNestedHandlersBeforeReturning) {
    Dialog dialog(app);
    int depth = 0;
    int max_depth = 0;
    dialog.Ok.on_click = [&] {
        max_depth = std::max(max_depth, ++depth);
        if (depth < 3) app.SendKey(rt::keys::Enter);  // presses the focused button again
        --depth;
    };
    dialog.Show();
    dialog.deliver_key_down(rt::keys::Enter, 0);
    EXPECT_EQ(max_depth, 3);
}

TEST_F(RuntimeTest, FramesAddToTheClientSizeAndImagesTakeTheNaturalSizeUnlessStretched) {
    Dialog dialog(app);
    rt::Image image(dialog, "Image1");
    image.Move(90, 105, 4770, 2910);
    platform.add_picture("a.bmp", 3969, 2646);  // 150 x 100 pixels
    dialog.Load();
    // Fixed dialog: 3 px borders and a 19 px caption at 15 twips per pixel.
    EXPECT_FLOAT_EQ(dialog.Width(), 4665 + 6 * 15);
    EXPECT_FLOAT_EQ(dialog.Height(), 2445 + 25 * 15);
    EXPECT_FLOAT_EQ(dialog.ScaleHeight(), 2445);
    image.SetPicture(app.LoadPicture("a.bmp"));
    EXPECT_NEAR(image.Width(), 2250, 0.01);
    EXPECT_NEAR(image.Height(), 1500, 0.01);
    image.SetStretch(true);
    image.Move(90, 105, 4000, 3000);
    image.SetPicture(app.LoadPicture("a.bmp"));
    EXPECT_FLOAT_EQ(image.Width(), 4000);
    image.SetStretch(false);
    image.SetPicture(app.LoadPicture(""));  // empty: keeps the box, shows nothing
    EXPECT_EQ(image.GetPicture(), nullptr);
    EXPECT_FLOAT_EQ(image.Width(), 4000);
}

}  // namespace
}  // namespace vellora
