// Start-up: the mode switch, the window handle after it, which window opens.
#include "startup/main.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stub_windows.h"

namespace vellora {
namespace {

using startup_test::StubProcess;

TEST(Startup, EachSwitchOpensItsOneWindow) {
    struct Case {
        const char* arguments;
        const char* window;  // the one window created and loaded, or nullptr
        bool shown;
        std::uint32_t parent;
    };
    const std::vector<Case> cases = {
        {"/c", "Configuration", true, 0},
        {"/c:5678", "Configuration", true, 0},
        {"/s", "MainForm", true, 0},
        {"/Sx more words", "MainForm", true, 0},
        {"/p   1234x9", "ControlForm", false, 1234},
        {"/a 4294967295", "PassChange", true, 4294967295U},
        {"/A", "PassChange", true, 0},
        {"/p 123456789012345678901234567890", "ControlForm", false, 0},
        {"/X", nullptr, false, 0},
        {"", nullptr, false, 0},
        {"x/S", nullptr, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        StubProcess rig;
        rig.platform.set_command_line(c.arguments);
        Main(rig.process);
        const std::string w = c.window ? c.window : "";
        const auto expected =
            c.window ? std::vector<std::string>{"create " + w, "load " + w} : std::vector<std::string>{};
        EXPECT_EQ(rig.journal.events, expected);
        EXPECT_EQ(rig.process.ParentWindow, c.parent);
        if (const auto* record = rig.platform.window(w)) {
            EXPECT_EQ(record->visible && !record->modal, c.shown);
        }
        EXPECT_EQ(rig.process.ended(), c.window == nullptr);
    }
}

TEST(Startup, RunModeLoadsTheSaverWindowBeforeItsColourAndShowsItInThatColour) {
    StubProcess rig;
    rig.platform.ini().write("Color", "hue", "65280");
    rig.platform.set_command_line("/S");
    Main(rig.process);
    EXPECT_EQ(rig.journal.color_at_load, startup_test::kDesignColor);
    EXPECT_FALSE(rig.journal.visible_at_load);
    EXPECT_EQ(rig.process.form(Window::MainForm).BackColor(), rt::rgb(0, 255, 0));
    EXPECT_EQ(rig.platform.window("MainForm")->show_count, 1);
}

TEST(Startup, ASecondCopyTouchesNothingAndEnds) {
    StubProcess rig;
    rig.platform.ini().write("Color", "hue", "255");
    rig.platform.set_command_line("/S");
    rig.platform.set_previous_instance(true);
    EXPECT_EQ(run_program(rig.process), 0);
    EXPECT_TRUE(rig.platform.window_records().empty());
    EXPECT_EQ(rig.process.Hue, "");  // no setting read
}

}  // namespace
}  // namespace vellora
