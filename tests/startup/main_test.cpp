// Start-up: the mode switch, the window handle after it, which window opens (a second copy: the saver scenario).
#include "startup/main.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/process.h"
#include "platform/headless/headless.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

constexpr const char* kNames[] = {"MainForm", "ControlForm", "Configuration", "PassChange", "PassCheck"};

// Stand-ins for the program's windows that note their creation and load: "create X", "load X".
class StubWindow final : public rt::Form {
public:
    StubWindow(Process& process, Window which, std::vector<std::string>& journal)
        : rt::Form(process.app(), kNames[static_cast<int>(which)]), journal_(journal) {
        journal_.push_back("create " + name());
    }

protected:
    void Form_Load() override { journal_.push_back("load " + name()); }

private:
    std::vector<std::string>& journal_;
};

struct StubProcess {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    std::vector<std::string> journal;
    Process process{platform, [this](Window w, Process& p) -> std::unique_ptr<rt::Form> {
                        return std::make_unique<StubWindow>(p, w, journal);
                    }};
};

TEST(Startup, EachSwitchOpensItsOneWindow) {
    // The arguments, the one window created and loaded (or none), whether it shows, the window handle.
    struct Case {
        const char* arguments;
        const char* window;
        bool shown;
        std::uint32_t parent;
    };
    const std::vector<Case> cases = {
        {"/c:5678", "Configuration", true, 0},
        {"/Sx more words", "MainForm", true, 0},
        {"/p   1234x9", "ControlForm", false, 1234},
        {"/a 4294967295", "PassChange", true, 4294967295U},
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
        using Journal = std::vector<std::string>;
        EXPECT_EQ(rig.journal, (c.window ? Journal{"create " + w, "load " + w} : Journal{}));
        EXPECT_EQ(rig.process.ParentWindow, c.parent);
        const auto* record = rig.platform.window(w);
        EXPECT_EQ(record && record->visible && !record->modal, c.shown);
        EXPECT_EQ(rig.process.ended(), c.window == nullptr);
    }
}

TEST(Startup, RunModeShowsTheSaverInTheColourOfTheSettingsOrOnTheDefaultsWhenTheyCannotBeRead) {
    for (const bool readable : {true, false}) {
        StubProcess rig;
        readable ? (void)rig.platform.ini().write("Color", "hue", "65280")
                 : (void)std::filesystem::create_directory(rig.dir.path() / "vellora.ini");  // nothing to read
        rig.platform.set_command_line("/S");
        Main(rig.process);
        EXPECT_EQ(rig.process.form(Window::MainForm).BackColor(), readable ? rt::rgb(0, 255, 0) : rt::rgb(0, 0, 0));
        EXPECT_EQ(rig.platform.window("MainForm")->show_count, 1);
        ASSERT_EQ(rig.platform.failures().size(), readable ? 0U : 1U);
        EXPECT_TRUE(readable || rig.platform.failures().front().find(rig.dir.path().string()) != std::string::npos);
    }
}

}  // namespace
}  // namespace vellora
