// Start-up: the mode switch, the window handle after it, which window opens.
#include "startup/main.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stub_windows.h"

namespace vellora {
namespace {

using startup_test::StubProcess;
using Events = std::vector<std::string>;

struct Case {
    const char* arguments;
    Events events;
    const char* shown;  // the window made visible, or nullptr
    std::uint32_t parent;
};

TEST(Startup, EachSwitchOpensItsOneWindow) {
    const std::vector<Case> cases = {
        {"/c", {"create Configuration", "load Configuration"}, "Configuration", 0},
        {"/c:5678", {"create Configuration", "load Configuration"}, "Configuration", 0},
        {"/C 42", {"create Configuration", "load Configuration"}, "Configuration", 0},
        {"/s", {"create MainForm", "load MainForm"}, "MainForm", 0},
        {"/Sx more words", {"create MainForm", "load MainForm"}, "MainForm", 0},
        {"/p   1234", {"create ControlForm", "load ControlForm"}, nullptr, 1234},
        {"/P 1234x9", {"create ControlForm", "load ControlForm"}, nullptr, 1234},
        {"/P", {"create ControlForm", "load ControlForm"}, nullptr, 0},
        {"/a 4294967295", {"create PassChange", "load PassChange"}, "PassChange", 4294967295U},
        {"/A", {"create PassChange", "load PassChange"}, "PassChange", 0},
        {"/X", {}, nullptr, 0},
        {"", {}, nullptr, 0},
        {"/", {}, nullptr, 0},
        {"S/", {}, nullptr, 0},
        {"x/S", {}, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        StubProcess rig;
        rig.platform.set_command_line(c.arguments);
        Main(rig.process);
        EXPECT_EQ(rig.journal.events, c.events);
        EXPECT_EQ(rig.process.ParentWindow, c.parent);
        for (const auto* name : {"MainForm", "ControlForm", "Configuration", "PassChange"}) {
            const auto* record = rig.platform.window(name);
            const bool shown = c.shown != nullptr && std::string(c.shown) == name;
            EXPECT_EQ(record != nullptr && record->visible, shown) << name;
            if (record != nullptr) {
                EXPECT_FALSE(record->modal) << name;
            }
        }
        EXPECT_EQ(rig.process.ended(), c.events.empty());
    }
}

TEST(Startup, RunModeLoadsTheSaverWindowBeforeItsColourAndShowsItInThatColour) {
    StubProcess rig;
    rig.platform.ini().write("Color", "hue", "65280");
    rig.platform.set_command_line("/S");
    Main(rig.process);
    EXPECT_EQ(rig.journal.color_at_load, startup_test::kDesignColor);  // not yet coloured while loading
    EXPECT_FALSE(rig.journal.visible_at_load);
    EXPECT_EQ(rig.process.Hue, "65280");
    EXPECT_EQ(rig.process.form(Window::MainForm).BackColor(), rt::rgb(0, 255, 0));
    EXPECT_EQ(rig.platform.window("MainForm")->show_count, 1);
}

TEST(Startup, ASecondCopyTouchesNothing) {
    StubProcess rig;
    rig.platform.ini().write("Color", "hue", "255");
    rig.platform.set_command_line("/S");
    rig.platform.set_previous_instance(true);
    EXPECT_EQ(run_program(rig.process), 0);
    EXPECT_TRUE(rig.journal.events.empty());
    EXPECT_TRUE(rig.platform.windows().empty());
    EXPECT_EQ(rig.process.Hue, "");  // no setting read
    EXPECT_EQ(rig.platform.registry_calls(), 0);
    EXPECT_TRUE(rig.process.ended());
}

TEST(Startup, WindowHandle) {
    EXPECT_EQ(parent_window_from("/p 123456789012345678901234567890"), 0U);
    EXPECT_EQ(parent_window_from("/p 4294967296"), 0U);  // one past 32 bits: no window, not window 0 wrapped
    EXPECT_EQ(parent_window_from("/p 00000000000000000000012"), 12U);
    EXPECT_EQ(parent_window_from("/p -5"), 0U);
    EXPECT_EQ(parent_window_from("/p"), 0U);
    EXPECT_EQ(parent_window_from("/"), 0U);
    EXPECT_EQ(saver_mode("/sx"), "/S");
    EXPECT_EQ(saver_mode("a"), "A");
}

TEST(Startup, TheProcessRunsUntilItsLastWindowHasUnloaded) {
    StubProcess rig;
    rig.platform.set_command_line("/c");
    bool ran = false;
    rig.platform.post([&] {
        ran = true;
        EXPECT_FALSE(rig.process.ended());
        (void)rig.process.form(Window::Configuration).Unload();
    });
    EXPECT_EQ(run_program(rig.process), 0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(rig.process.ended());

    StubProcess nothing;  // no window: start-up returns and the process is over
    EXPECT_EQ(run_program(nothing.process), 0);
    EXPECT_TRUE(nothing.process.ended());
}

}  // namespace
}  // namespace vellora
