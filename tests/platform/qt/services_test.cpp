// The Linux services: the per-user store, the desktop's lock setting as the
// password flag, the instance lock; the hack-mode arguments, file filters
// and key codes.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/qt/dialogs.h"
#include "platform/qt/hack_mode.h"
#include "platform/qt/keys.h"
#include "platform/qt/services.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

TEST(QtUserStore, EveryPrintableCharacterAndAwkwardValuesRoundTripApartFromOtherKeys) {
    testing::TempDir dir;
    const auto path = dir.path() / "sub" / "user-store.ini";
    UserStoreFile store(path);
    std::string all;
    for (int c = 33; c <= 126; ++c) all += static_cast<char>(c);
    for (const std::string& v : {all, std::string("=;\"\\[]#"), std::string(" leading and trailing "),
                                std::string("[Section]"), std::string("\\x41"), std::string("tab\there"),
                                std::string("; comment-like"), std::string("#hash"), std::string("a=b"),
                                std::string(""), std::string("line\r\nnext")}) {
        ASSERT_TRUE(store.write("Samples", "Oskel Screen Saver", "Password", v));
        EXPECT_EQ(store.read("Samples", "Oskel Screen Saver", "Password", "missing"), v);
        EXPECT_EQ(UserStoreFile(path).read("Samples", "Oskel Screen Saver", "Password", "missing"), v);  // another process
    }
    ASSERT_TRUE(store.write("Samples", "Other", "Password", "xyz"));
    EXPECT_EQ(store.read("Samples", "Oskel Screen Saver", "Password", "-"), "line\r\nnext");
    EXPECT_EQ(store.read("Samples", "Other", "Password", ""), "xyz");
    EXPECT_EQ(store.read("Samples", "Oskel Screen Saver", "Other", "fallback"), "fallback");
    EXPECT_EQ(store.read("Other", "Oskel Screen Saver", "Password", ""), "");
    std::string bytes;
    for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
    EXPECT_EQ(unescape_store_value(escape_store_value(bytes)), bytes);
}

TEST(QtLockSetting, FromXScreenSaverOrTheOverrideIsTheDesktopPasswordFlag) {
    EXPECT_EQ(xscreensaver_lock("timeout:\t0:10:00\nlock:\t\tTrue\n"), std::optional<bool>(true));
    EXPECT_EQ(xscreensaver_lock("lock:  False\n"), std::optional<bool>(false));
    EXPECT_EQ(xscreensaver_lock("lockTimeout: 0:00:00\n"), std::nullopt);
    testing::TempDir dir;
    std::ofstream(dir.path() / ".xscreensaver") << "mode: one\nlock: True\n";
    LockSources sources{std::nullopt, dir.path() / ".xscreensaver", false, false};
    EXPECT_EQ(read_lock_setting(sources), std::optional<bool>(true));
    sources.override_value = false;
    EXPECT_EQ(read_lock_setting(sources), std::optional<bool>(false));
    sources.override_value = true;
    sources.never = true;
    EXPECT_EQ(read_lock_setting(sources), std::optional<bool>(false));
    EXPECT_EQ(read_lock_setting({std::nullopt, dir.path() / "missing", false, false}), std::nullopt);

    // The flag the saver reads: the lock setting, off without one and always off in a hack.
    const auto flag = [&](std::optional<bool> lock, bool hack = false) {
        Options o;
        o.paths.config_dir = o.paths.data_dir = dir.path() / "config";
        o.paths.runtime_dir = o.paths.home = dir.path() / "elsewhere";
        o.lock_override = lock;
        o.ask_gsettings = false;
        if (hack) o.hack = HackTarget{0x400001};
        const Trace trace;
        QtServices services(o, trace, [] { return 96.0; });
        EXPECT_EQ(services.registry(), nullptr);
        return settings::ReadDesktopPasswordFlag(services);
    };
    EXPECT_EQ(flag(true), 1);
    EXPECT_EQ(flag(false), 0);
    EXPECT_EQ(flag(std::nullopt), 0);
    EXPECT_EQ(flag(true, true), 0);
}

TEST(QtInstanceLock, SecondHolderSeesTheFirstUntilItEnds) {
    testing::TempDir dir;
    const auto file = dir.path() / "vellora.lock";
    auto first = std::make_unique<InstanceLock>(file);
    EXPECT_FALSE(first->held_elsewhere());
    EXPECT_FALSE(first->held_elsewhere());  // asking again does not lock ourselves out
    EXPECT_TRUE(InstanceLock(file).held_elsewhere());
    first.reset();
    EXPECT_FALSE(InstanceLock(file).held_elsewhere());
}

TEST(QtHackArguments, RootWindowIdAndXScreenSaverWindow) {
    EXPECT_EQ(parse_window_id("0x1a00003"), std::optional<std::uint32_t>(0x1a00003));
    EXPECT_EQ(parse_window_id("12345"), std::optional<std::uint32_t>(12345));
    EXPECT_EQ(parse_window_id("0X1F"), std::optional<std::uint32_t>(31));
    for (const char* bad : {"4294967296", "12ab", ""}) EXPECT_EQ(parse_window_id(bad), std::nullopt) << bad;

    EXPECT_FALSE(parse_hack_arguments({"/S"}, "").has_value());
    EXPECT_FALSE(parse_hack_arguments({"/p", "1234"}, "0x10").has_value());
    EXPECT_FALSE(parse_hack_arguments({"-window-id", "zz"}, "").has_value());
    const auto root = parse_hack_arguments({"-root"}, "");
    ASSERT_TRUE(root.has_value());
    EXPECT_TRUE(root->root);
    EXPECT_FALSE(root->window.has_value());
    const auto window = [](std::vector<std::string> args, const char* env) {
        const auto hack = parse_hack_arguments(args, env);
        return hack ? hack->window : std::optional<std::uint32_t>(0xDEAD);
    };
    EXPECT_EQ(window({"--root"}, "0x2c00007"), std::optional<std::uint32_t>(0x2c00007));
    EXPECT_EQ(window({"--window-id", "0x400001"}, "0x999"), std::optional<std::uint32_t>(0x400001));
    EXPECT_EQ(window({"-window-id", "77"}, ""), std::optional<std::uint32_t>(77));
    EXPECT_EQ(join_arguments({"/p", "1234"}), "/p 1234");
    EXPECT_EQ(join_arguments({}), "");
}

TEST(QtFileFiltersAndKeys, SevenFilterEntriesInQtFormAndWindowsKeyCodes) {
    const auto f = qt_name_filters(
        "All Files (*.*)|*.*|BMPs(*.bmp)|*.bmp|GIFs(*.Gif)|*.Gif|JPEGs(*.Jpg)|*.Jpg|WMFs(*.wmf) | *.wmf|ICOs(*.ico) | "
        "*.ico|All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf)|*.bmp;*.ico;*.gif;*.jpg;*.wmf");
    ASSERT_EQ(f.size(), 7U);
    EXPECT_EQ(f[0], "All Files (*.*) (*)");
    EXPECT_EQ(f[2], "GIFs(*.Gif) (*.Gif *.gif *.GIF)");
    EXPECT_EQ(f[4], "WMFs(*.wmf)  (*.wmf *.WMF)");
    EXPECT_EQ(f[6],
              "All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf) (*.bmp *.BMP *.ico *.ICO *.gif *.GIF *.jpg *.JPG "
              "*.wmf *.WMF)");

    EXPECT_EQ(key_code_of(Qt::Key_A), 'A');
    EXPECT_EQ(key_code_of(Qt::Key_Enter), rt::keys::Enter);
    EXPECT_EQ(key_code_of(Qt::Key_Backtab), rt::keys::Tab);
    EXPECT_EQ(key_code_of(Qt::Key_F1), rt::keys::F1);
    EXPECT_EQ(shift_state_of(Qt::ShiftModifier | Qt::AltModifier), rt::shift::Shift | rt::shift::Alt);
}

}  // namespace
}  // namespace vellora::qt
