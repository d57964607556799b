// The idle watcher's rules: its arguments and setting, the session it serves, its source, when it starts the saver.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "idle/options.h"
#include "idle/watcher.h"
#include "runtime/ini_file.h"
#include "support/temp_dir.h"

namespace vellora::idle {
namespace {

using namespace std::chrono_literals;

TEST(IdleOptions, SecondsFromTheCommandLineAndTheSettingsFileAndOneLockPerSession) {
    EXPECT_TRUE(!parse_arguments({"--idle"}).seconds && parse_arguments({"--idle"}).error.empty());
    EXPECT_EQ(parse_arguments({"--idle", "4294967"}).seconds, max_seconds);
    for (const std::string bad : {"0", "-5", "3.5", "3s", "", " 3", "4294968", "99999999999"}) {
        EXPECT_NE(parse_arguments({"--idle", bad}).error.find("\"" + bad + "\" is not a number of seconds"),
                  std::string::npos)
            << bad;
    }
    EXPECT_NE(parse_arguments({"--idle", "3", "4"}).error.find("unexpected argument \"4\""), std::string::npos);

    testing::TempDir dir;
    rt::IniFile file(dir.path() / "vellora.ini");
    file.write("Color", "hue", "255");
    EXPECT_TRUE(delay_setting(file).seconds == 600U && delay_setting(file).warning.empty());  // no key: no warning
    file.write("Idle", "seconds", "45");
    EXPECT_EQ(delay_setting(file).seconds, 45U);
    for (const std::string bad : {"", "ten", "0"}) {
        file.write("Idle", "seconds", bad);
        const auto delay = delay_setting(file);
        EXPECT_TRUE(delay.seconds == 600U && delay.warning.find("[Idle] seconds=" + bad + " ") != std::string::npos)
            << bad << ": " << delay.seconds << ", " << delay.warning;
    }
    // One watcher per session: one lock file per display.
    EXPECT_EQ((Session{"wayland-1", ":0", ""}).lock_name(1000), "vellora-idle-1000-wayland-wayland-1.lock");
    EXPECT_EQ((Session{"/run/user/1000/wayland-1", "", ""}).lock_name(1000),
              "vellora-idle-1000-wayland-_run_user_1000_wayland-1.lock");
    EXPECT_EQ((Session{"", ":0.0", ""}).lock_name(7), (Session{"", ":0", ""}).lock_name(7));  // one X server
    EXPECT_NE((Session{"", ":1", ""}).lock_name(7), (Session{"", ":0", ""}).lock_name(7));
}

struct FakeSource final : IdleSource {
    Wait prepare() override { return {}; }
    std::vector<Signal> dispatch(short) override { return {}; }
};

TEST(IdleSources, FirstOfferedInTheSessionsOrderWins) {
    std::vector<SourceKind> tried;
    auto offering = [&tried](std::vector<SourceKind> offered) {
        tried.clear();
        return [&tried, offered](SourceKind kind, unsigned) -> std::unique_ptr<IdleSource> {
            tried.push_back(kind);
            if (std::find(offered.begin(), offered.end(), kind) == offered.end()) return nullptr;
            return std::make_unique<FakeSource>();
        };
    };
    const Session wayland{"wayland-1", ":0", "sway"};
    using K = SourceKind;

    auto choice = choose_source(wayland, 3, offering({K::kde_idle, K::mit_screen_saver}));  // sway 1.7
    EXPECT_EQ(tried, (std::vector{K::ext_idle_notify, K::kde_idle}));
    EXPECT_EQ(choice.line, "vellora --idle: watching org_kde_kwin_idle (sway, Wayland display wayland-1); the saver "
                           "starts after 3 s without input");

    // Xwayland's MIT-SCREEN-SAVER does not see Wayland input: never tried there.
    choice = choose_source(wayland, 3, offering({K::mit_screen_saver}));
    EXPECT_FALSE(choice.source);
    EXPECT_EQ(tried, (std::vector{K::ext_idle_notify, K::kde_idle, K::mutter_idle_monitor}));
    EXPECT_EQ(choice.line, "vellora --idle: this desktop gives no idle signal (sway, Wayland display wayland-1; "
                           "tried ext-idle-notify-v1, org_kde_kwin_idle, org.gnome.Mutter.IdleMonitor)");

    EXPECT_TRUE(choose_source(Session{"", ":0", ""}, 3, offering({K::mit_screen_saver})).source);
    EXPECT_EQ(tried, (std::vector{K::mutter_idle_monitor, K::mit_screen_saver}));

    EXPECT_FALSE(choose_source(Session{}, 3, offering({K::mutter_idle_monitor})).source);
    EXPECT_TRUE(tried.empty());  // no display: nothing to watch
}

struct FakeInhibitors final : Inhibitors {
    bool inhibited = false;
    bool idle_inhibited() override { return inhibited; }
};
struct FakeSaver final : SaverProcess {
    int starts = 0;
    bool fails = false;
    bool start() override { return ++starts > 0 && !fails; }
};

// (An inhibitor keeps the saver away, with a line that says so: the scenarios on every desktop.)
TEST(IdleWatcher, OneSaverPerIdlePeriodNeverTwo) {
    FakeInhibitors inhibitors;
    FakeSaver saver;
    std::ostringstream log;
    Watcher watcher(inhibitors, saver, log);
    watcher.on(Signal::idle);
    watcher.on(Signal::active);  // the key that ends the saver, still running
    watcher.on(Signal::idle);    // idle again before it has ended: no second one
    EXPECT_EQ(saver.starts, 1);
    watcher.saver_ended();
    watcher.on(Signal::idle);
    EXPECT_EQ(saver.starts, 2);
    watcher.saver_ended();
    saver.fails = true;  // a saver that could not start is tried again at the next idle period
    watcher.on(Signal::idle);
    saver.fails = false;
    watcher.on(Signal::idle);
    EXPECT_EQ(saver.starts, 4);
}

TEST(IdleWatcher, InputCounterReadsOncePerDelayAtMost) {
    InputCounter counter(3000ms);
    EXPECT_EQ(counter.reading(1000ms), std::vector<Signal>{});
    EXPECT_EQ(counter.next_reading(), 2000ms);  // read again when the delay may have run out
    EXPECT_EQ(counter.reading(3005ms), std::vector{Signal::idle});
    EXPECT_EQ(counter.next_reading(), 3000ms);                  // then once a delay, to see input come
    EXPECT_EQ(counter.reading(6010ms), std::vector<Signal>{});  // still idle: no second idle signal
    EXPECT_EQ(counter.reading(500ms), std::vector{Signal::active});
    EXPECT_EQ(counter.next_reading(), 2500ms);
    EXPECT_EQ(counter.reading(3001ms), std::vector{Signal::idle});
    // Input just after a reading, then a whole delay without: the counter went down, a new period.
    EXPECT_EQ(counter.reading(3000ms), (std::vector{Signal::active, Signal::idle}));
}

}  // namespace
}  // namespace vellora::idle
