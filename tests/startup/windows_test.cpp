// The real windows behind each entry of the factory, and one whole process
// with them: the saver runs until a key ends it.
#include "startup/windows.h"

#include <gtest/gtest.h>

#include "password/pass_change.h"
#include "password/pass_check.h"
#include "platform/headless/headless.h"
#include "saver/control_form.h"
#include "saver/main_form.h"
#include "setup/configuration.h"
#include "startup/main.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

TEST(Program, EachWindowIsTheRealOneAndASaverRunEndsOnAKey) {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    Process process{platform, make_window};
    EXPECT_NE(dynamic_cast<MainForm*>(make_window(Window::MainForm, process).get()), nullptr);
    EXPECT_NE(dynamic_cast<ControlForm*>(make_window(Window::ControlForm, process).get()), nullptr);
    EXPECT_NE(dynamic_cast<Configuration*>(make_window(Window::Configuration, process).get()), nullptr);
    EXPECT_NE(dynamic_cast<PassChange*>(make_window(Window::PassChange, process).get()), nullptr);
    EXPECT_NE(dynamic_cast<PassCheck*>(make_window(Window::PassCheck, process).get()), nullptr);

    platform.post_advance(1200);
    platform.post([&] {
        EXPECT_EQ(platform.window("MainForm")->circles.size(), 202U);
        process.existing(Window::MainForm)->deliver_key_down('A', 0);
    });
    platform.set_command_line("/s");
    EXPECT_EQ(run_program(process), 0);
    EXPECT_TRUE(process.ended());
}

}  // namespace
}  // namespace vellora
