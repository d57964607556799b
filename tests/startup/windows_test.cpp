// Whole processes on the headless platform with the real windows: each
// switch opens its window, and the process runs until that window is gone.
#include "startup/windows.h"

#include <gtest/gtest.h>

#include "password/password.h"
#include "platform/headless/headless.h"
#include "settings/settings.h"
#include "startup/main.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

struct Machine {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    Process process{platform, make_window};

    // Queues an action on a window of the running process.
    void on(Window w, std::function<void(rt::Form&)> action) {
        platform.post([this, w, action] {
            auto* form = process.existing(w);
            ASSERT_NE(form, nullptr);
            action(*form);
        });
    }
    int run(const std::string& arguments) {
        platform.set_command_line(arguments);
        return run_program(process);
    }
};

TEST(Program, RunModeCoversTheScreenInTheChosenColourAndEndsOnAKey) {
    Machine m;
    m.platform.settings_file().write(kColorSection, kColorKey, "255");
    m.platform.settings_file().write(kImageSection, kImageKey, "/pictures/sun.bmp");
    m.platform.add_picture("/pictures/sun.bmp", 2540, 2540);
    m.platform.post_advance(5200);
    m.on(Window::MainForm, [&](rt::Form& saver) {
        EXPECT_TRUE(saver.Visible());
        EXPECT_EQ(saver.BackColor(), rt::rgb(255, 0, 0));
        EXPECT_FLOAT_EQ(saver.Width(), m.platform.screen().width_twips());
        EXPECT_TRUE(m.platform.window("MainForm")->topmost);
        EXPECT_LT(m.platform.cursor_count(), 0);
        EXPECT_EQ(m.platform.window("MainForm")->circles.size(), 2U * 202U);  // ticks 3 and 13
        saver.deliver_key_down('A', 0);
    });
    EXPECT_EQ(m.run("/s"), 0);
    EXPECT_TRUE(m.process.ended());
    EXPECT_GE(m.platform.cursor_count(), 0);
}

TEST(Program, SetupModeWritesTheChosenColourOnOk) {
    Machine m;
    m.platform.add_picture("c:\\imgx.bmp", 2540, 2540);
    m.platform.answer_color(rt::rgb(0, 0, 255));
    m.platform.answer_color(std::nullopt);
    m.on(Window::Configuration, [&](rt::Form& dialog) {
        auto& buttons = dialog.controls();
        for (auto* c : buttons) {
            if (c->name() == "Command1") {
                c->SetFocus();
                dynamic_cast<rt::CommandButton*>(c)->Click();
            }
        }
        for (auto* c : buttons) {
            if (c->name() == "CmdOK") dynamic_cast<rt::CommandButton*>(c)->Click();
        }
    });
    EXPECT_EQ(m.run("/c:1234"), 0);
    EXPECT_EQ(m.process.ParentWindow, 0U);
    EXPECT_EQ(m.platform.settings_file().read(kColorSection, kColorKey, ""), "16711680");
}

TEST(Program, PreviewModeDrawsIntoThePaneUntilItIsGone) {
    Machine m;
    m.platform.add_foreign_window(1234, {{0, 0, 152, 112}, 152, 112});
    m.platform.post_advance(1200);
    m.platform.post([&] { m.platform.destroy_foreign_window(1234); });
    m.platform.post_advance(400);
    EXPECT_EQ(m.run("/p 1234"), 0);
    EXPECT_EQ(m.process.ParentWindow, 1234U);
    const auto* preview = m.platform.window("ControlForm");
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->show_count, 0);
    EXPECT_EQ(preview->controls.at("Picture1").circles.size(), 3U * 202U);
    EXPECT_EQ(m.platform.now_ms(), 1600);
}

TEST(Program, PasswordModeSetsThePassword) {
    Machine m;
    m.platform.post([&] {
        auto* dialog = m.process.existing(Window::PassChange);
        ASSERT_NE(dialog, nullptr);
        dialog->deliver_paint();
        // The focus starts in the new-password box: type, Tab, type, Enter.
        auto* box = dynamic_cast<rt::TextBox*>(dialog->ActiveControl());
        ASSERT_NE(box, nullptr);
        box->SetText("Vellora");
        dialog->deliver_key_down(rt::keys::Tab, 0);
        dynamic_cast<rt::TextBox*>(dialog->ActiveControl())->SetText("vellora");
        dialog->deliver_key_down(rt::keys::Enter, 0);
    });
    EXPECT_EQ(m.run("/A"), 0);
    EXPECT_EQ(ReadStoredPassword(m.platform.user_store()), EncodePassword("VELLORA"));
}

TEST(Program, NoSwitchOrASecondCopyEndsAtOnce) {
    for (const char* args : {"", "/X", "hello"}) {
        Machine m;
        EXPECT_EQ(m.run(args), 0);
        EXPECT_TRUE(m.platform.windows().empty()) << args;
    }
    Machine second;
    second.platform.set_previous_instance(true);
    EXPECT_EQ(second.run("/S"), 0);
    EXPECT_TRUE(second.platform.windows().empty());
}

}  // namespace
}  // namespace vellora
