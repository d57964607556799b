// The idle watcher's rules: its arguments and setting, the session it
// serves, the choice of source, and when it starts the saver.
#include <gtest/gtest.h>

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

TEST(IdleOptions, SecondsFromTheCommandLine) {
    EXPECT_EQ(parse_arguments({"--idle"}).seconds, std::nullopt);
    EXPECT_EQ(parse_arguments({"--idle"}).error, "");
    EXPECT_EQ(parse_arguments({"--idle", "3"}).seconds, 3U);
    EXPECT_EQ(parse_arguments({"--idle", "4294967"}).seconds, max_seconds);
    for (const std::string bad : {"0", "-5", "abc", "3.5", "3s", "", " 3", "4294968", "99999999999"}) {
        const auto refused = parse_arguments({"--idle", bad});
        EXPECT_EQ(refused.seconds, std::nullopt) << bad;
        EXPECT_NE(refused.error.find("\"" + bad + "\" is not a number of seconds"), std::string::npos) << bad;
    }
    EXPECT_NE(parse_arguments({"--idle", "3", "4"}).error.find("unexpected argument \"4\""), std::string::npos);
}

TEST(IdleOptions, DelayFromTheSettingsFile) {
    testing::TempDir dir;
    rt::IniFile file(dir.path() / "vellora.ini");
    EXPECT_EQ(delay_setting(file).seconds, 600U);  // no file
    file.write("Color", "hue", "255");
    EXPECT_EQ(delay_setting(file).seconds, 600U);  // no key
    EXPECT_EQ(delay_setting(file).warning, "");
    file.write("Idle", "seconds", "45");
    EXPECT_EQ(delay_setting(file).seconds, 45U);
    for (const std::string bad : {"", "ten", "0", "-1"}) {
        file.write("Idle", "seconds", bad);
        const auto delay = delay_setting(file);
        EXPECT_EQ(delay.seconds, 600U) << bad;
        EXPECT_NE(delay.warning.find("[Idle] seconds=" + bad + " "), std::string::npos) << delay.warning;
        EXPECT_NE(delay.warning.find("using 600"), std::string::npos);
    }
}

TEST(IdleOptions, OneLockPerSession) {
    const Session sway{"wayland-1", ":0", "sway"};
    EXPECT_EQ(sway.lock_name(1000), "vellora-idle-1000-wayland-wayland-1.lock");  // Wayland before Xwayland
    EXPECT_EQ((Session{"/run/user/1000/wayland-1", "", ""}).lock_name(1000),
              "vellora-idle-1000-wayland-_run_user_1000_wayland-1.lock");
    EXPECT_EQ((Session{"", ":0.0", ""}).lock_name(7), (Session{"", ":0", ""}).lock_name(7));
    EXPECT_NE((Session{"", ":1", ""}).lock_name(7), (Session{"", ":0", ""}).lock_name(7));
    EXPECT_EQ(sway.describe(), "sway, Wayland display wayland-1");
    EXPECT_EQ((Session{"", ":0", ""}).describe(), "X display :0");
}

// A source that reports what the test gives it.
struct FakeSource final : IdleSource {
    Wait prepare() override { return {}; }
    std::vector<Signal> dispatch(short) override { return {}; }
};

TEST(IdleSources, FirstOfferedInTheSessionsOrderWins) {
    std::vector<SourceKind> tried;
    auto offering = [&tried](std::vector<SourceKind> offered) {
        return [&tried, offered](SourceKind kind, unsigned seconds) -> std::unique_ptr<IdleSource> {
            EXPECT_EQ(seconds, 3U);
            tried.push_back(kind);
            for (const auto k : offered) {
                if (k == kind) return std::make_unique<FakeSource>();
            }
            return nullptr;
        };
    };
    const Session wayland{"wayland-1", ":0", ""};
    const Session x11{"", ":0", ""};

    auto choice = choose_source(wayland, 3, offering({SourceKind::kde_idle, SourceKind::ext_idle_notify}));
    EXPECT_TRUE(choice.source);
    EXPECT_EQ(tried, std::vector{SourceKind::ext_idle_notify});
    EXPECT_EQ(choice.line,
              "vellora --idle: watching ext-idle-notify-v1 (Wayland display wayland-1); the saver starts after 3 s "
              "without input");

    tried.clear();  // sway 1.7
    EXPECT_TRUE(choose_source(wayland, 3, offering({SourceKind::kde_idle, SourceKind::mit_screen_saver})).source);
    EXPECT_EQ(tried, (std::vector{SourceKind::ext_idle_notify, SourceKind::kde_idle}));

    tried.clear();  // Xwayland's MIT-SCREEN-SAVER does not see Wayland input: never tried there
    choice = choose_source(wayland, 3, offering({SourceKind::mit_screen_saver}));
    EXPECT_FALSE(choice.source);
    EXPECT_EQ(tried, (std::vector{SourceKind::ext_idle_notify, SourceKind::kde_idle,
                                  SourceKind::mutter_idle_monitor}));
    EXPECT_EQ(choice.line,
              "vellora --idle: this desktop gives no idle signal (Wayland display wayland-1; tried ext-idle-notify-v1, "
              "org_kde_kwin_idle, org.gnome.Mutter.IdleMonitor)");

    tried.clear();
    EXPECT_TRUE(choose_source(x11, 3, offering({SourceKind::mit_screen_saver})).source);
    EXPECT_EQ(tried, (std::vector{SourceKind::mutter_idle_monitor, SourceKind::mit_screen_saver}));

    tried.clear();
    choice = choose_source(Session{}, 3, offering({SourceKind::mutter_idle_monitor}));
    EXPECT_FALSE(choice.source);
    EXPECT_TRUE(tried.empty());
    EXPECT_EQ(choice.line, "vellora --idle: this desktop gives no idle signal (no graphical session: neither "
                           "WAYLAND_DISPLAY nor DISPLAY is set)");
}

struct FakeInhibitors final : Inhibitors {
    bool inhibited = false;
    bool idle_inhibited() override { return inhibited; }
};
struct FakeSaver final : SaverProcess {
    int starts = 0;
    bool fails = false;
    bool start() override {
        ++starts;
        return !fails;
    }
};

TEST(IdleWatcher, OneSaverPerIdlePeriodNeverTwo) {
    FakeInhibitors inhibitors;
    FakeSaver saver;
    std::ostringstream log;
    Watcher watcher(inhibitors, saver, log);

    watcher.on(Signal::active);
    EXPECT_EQ(saver.starts, 0);
    watcher.on(Signal::idle);
    EXPECT_EQ(saver.starts, 1);
    watcher.on(Signal::active);  // the key that ends the saver, which is still running
    watcher.on(Signal::idle);    // the next idle period while it still runs: no second one
    EXPECT_EQ(saver.starts, 1);
    watcher.saver_ended();
    watcher.on(Signal::active);
    watcher.on(Signal::idle);
    EXPECT_EQ(saver.starts, 2);
    watcher.saver_ended();

    inhibitors.inhibited = true;  // a video plays: no saver, and a line says why
    watcher.on(Signal::idle);
    EXPECT_EQ(saver.starts, 2);
    EXPECT_NE(log.str().find("inhibited"), std::string::npos);
    inhibitors.inhibited = false;
    watcher.on(Signal::active);
    watcher.on(Signal::idle);
    EXPECT_EQ(saver.starts, 3);
    watcher.saver_ended();

    saver.fails = true;  // a saver that cannot start is tried again at the next idle period
    watcher.on(Signal::idle);
    EXPECT_FALSE(watcher.saver_running());
    saver.fails = false;
    watcher.on(Signal::idle);
    EXPECT_EQ(saver.starts, 5);
    EXPECT_TRUE(watcher.saver_running());
}

TEST(IdleWatcher, InputCounterReadsOncePerDelayAtMost) {
    InputCounter counter(3000ms);
    EXPECT_EQ(counter.reading(1000ms), std::vector<Signal>{});
    EXPECT_EQ(counter.next_reading(), 2000ms);  // read again when the delay may have run out
    EXPECT_EQ(counter.reading(3005ms), std::vector{Signal::idle});
    EXPECT_EQ(counter.next_reading(), 3000ms);  // then once a delay, to see input come
    EXPECT_EQ(counter.reading(6010ms), std::vector<Signal>{});  // still idle: no second idle signal
    EXPECT_EQ(counter.reading(500ms), std::vector{Signal::active});
    EXPECT_EQ(counter.next_reading(), 2500ms);
    EXPECT_EQ(counter.reading(3001ms), std::vector{Signal::idle});
    // Input just after a reading, then idle again for a whole delay: the
    // counter went down, so the period is a new one.
    EXPECT_EQ(counter.reading(3000ms), (std::vector{Signal::active, Signal::idle}));
}

}  // namespace
}  // namespace vellora::idle
