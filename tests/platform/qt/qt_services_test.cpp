// The Linux services: the per-user store, the desktop lock flag as a
// registry value, the instance lock, the hack-mode arguments, file filters.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/qt/hack_mode.h"
#include "platform/qt/linux_services.h"
#include "platform/qt/qt_platform.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

TEST(QtUserStore, EveryPrintableCharacterAndAwkwardValuesRoundTrip) {
    testing::TempDir dir;
    UserStoreFile store(dir.path() / "sub" / "user-store.ini");
    std::string all;
    for (int c = 33; c <= 126; ++c) all += static_cast<char>(c);
    const std::vector<std::string> values = {all,        "=;\"\\[]#",   " leading and trailing ", "; comment-like",
                                             "[Section]", "a=b",         "\\x41",                   "tab\there",
                                             "",          "line\r\nnext", "#hash"};
    for (const auto& v : values) {
        ASSERT_TRUE(store.write("Samples", "Oskel Screen Saver", "Password", v));
        EXPECT_EQ(store.read("Samples", "Oskel Screen Saver", "Password", "missing"), v) << v;
        // A fresh reader (another process) sees the same value.
        UserStoreFile again(dir.path() / "sub" / "user-store.ini");
        EXPECT_EQ(again.read("Samples", "Oskel Screen Saver", "Password", "missing"), v) << v;
    }
    EXPECT_EQ(store.read("Samples", "Oskel Screen Saver", "Other", "fallback"), "fallback");
    EXPECT_EQ(store.read("Other", "Oskel Screen Saver", "Password", ""), "");
    // Escaping and unescaping are inverse for every byte.
    std::string bytes;
    for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
    EXPECT_EQ(unescape_store_value(escape_store_value(bytes)), bytes);
}

TEST(QtUserStore, SeparateKeysAndSectionsDoNotMix) {
    testing::TempDir dir;
    UserStoreFile store(dir.path() / "user-store.ini");
    ASSERT_TRUE(store.write("Samples", "Oskel Screen Saver", "Password", "A]B"));
    ASSERT_TRUE(store.write("Samples", "Other", "Password", "xyz"));
    EXPECT_EQ(store.read("Samples", "Oskel Screen Saver", "Password", ""), "A]B");
    EXPECT_EQ(store.read("Samples", "Other", "Password", ""), "xyz");
}

TEST(QtLockSetting, XScreenSaverResourceOverrideAndHackMode) {
    EXPECT_EQ(xscreensaver_lock("timeout:\t0:10:00\nlock:\t\tTrue\n"), std::optional<bool>(true));
    EXPECT_EQ(xscreensaver_lock("lock:  False\n"), std::optional<bool>(false));
    EXPECT_EQ(xscreensaver_lock("lockTimeout: 0:00:00\n"), std::nullopt);

    testing::TempDir dir;
    const auto rc = dir.path() / ".xscreensaver";
    std::ofstream(rc) << "mode: one\nlock: True\n";
    LockSources sources{std::nullopt, rc, false, false};
    EXPECT_EQ(read_lock_setting(sources), std::optional<bool>(true));
    sources.override_value = false;
    EXPECT_EQ(read_lock_setting(sources), std::optional<bool>(false));
    sources.override_value = true;
    sources.never = true;
    EXPECT_EQ(read_lock_setting(sources), std::optional<bool>(false));
    LockSources nothing{std::nullopt, dir.path() / "missing", false, false};
    EXPECT_EQ(read_lock_setting(nothing), std::nullopt);
}

TEST(QtLockSetting, ReadAsTheDesktopRegistryValue) {
    DesktopRegistry on(LockSources{true, {}, false, false});
    EXPECT_EQ(ReadRegString(on, rt::reg::CurrentUser, "Control Panel\\Desktop", "ScreenSaveUsePassword"), "001");
    EXPECT_EQ(ReadRegString(on, rt::reg::CurrentUser, "control panel\\desktop", "screensaveusepassword"), "001");
    EXPECT_EQ(on.open_keys(), 0);  // every key opened was closed again

    DesktopRegistry off(LockSources{false, {}, false, false});
    EXPECT_EQ(ReadRegString(off, rt::reg::CurrentUser, "Control Panel\\Desktop", "ScreenSaveUsePassword"), "000");

    DesktopRegistry unknown(LockSources{std::nullopt, {}, false, false});
    EXPECT_EQ(ReadRegString(unknown, rt::reg::CurrentUser, "Control Panel\\Desktop", "ScreenSaveUsePassword"), "");
    // Other keys and values are missing.
    EXPECT_FALSE(on.open(rt::reg::LocalMachine, "Control Panel\\Desktop", rt::reg::KeyRead).has_value());
    const auto key = on.open(rt::reg::CurrentUser, "Control Panel\\Desktop", rt::reg::KeyRead);
    ASSERT_TRUE(key.has_value());
    EXPECT_FALSE(on.query(*key, "Wallpaper", 255).ok);
    const auto q = on.query(*key, "ScreenSaveUsePassword", 255);
    EXPECT_TRUE(q.ok);
    EXPECT_EQ(q.type, rt::reg::Dword);
    EXPECT_EQ(q.data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    on.close(*key);
}

TEST(QtInstanceLock, SecondHolderSeesTheFirstUntilItEnds) {
    testing::TempDir dir;
    const auto file = dir.path() / "vellora.lock";
    auto first = std::make_unique<InstanceLock>(file);
    EXPECT_FALSE(first->held_elsewhere());
    EXPECT_FALSE(first->held_elsewhere());  // asking again does not lock ourselves out
    {
        InstanceLock second(file);
        EXPECT_TRUE(second.held_elsewhere());
    }
    first.reset();
    InstanceLock third(file);
    EXPECT_FALSE(third.held_elsewhere());
}

TEST(QtHackArguments, RootWindowIdAndXScreenSaverWindow) {
    EXPECT_EQ(parse_window_id("0x1a00003"), std::optional<std::uint32_t>(0x1a00003));
    EXPECT_EQ(parse_window_id("12345"), std::optional<std::uint32_t>(12345));
    EXPECT_EQ(parse_window_id("0X1F"), std::optional<std::uint32_t>(31));
    EXPECT_EQ(parse_window_id("4294967296"), std::nullopt);
    EXPECT_EQ(parse_window_id("12ab"), std::nullopt);
    EXPECT_EQ(parse_window_id(""), std::nullopt);

    EXPECT_FALSE(parse_hack_arguments({"/S"}, "").has_value());
    EXPECT_FALSE(parse_hack_arguments({"/p", "1234"}, "0x10").has_value());

    auto root = parse_hack_arguments({"-root"}, "");
    ASSERT_TRUE(root.has_value());
    EXPECT_TRUE(root->root);
    EXPECT_FALSE(root->window.has_value());

    auto xss = parse_hack_arguments({"--root"}, "0x2c00007");
    ASSERT_TRUE(xss.has_value());
    EXPECT_EQ(xss->window, std::optional<std::uint32_t>(0x2c00007));

    auto id = parse_hack_arguments({"--window-id", "0x400001"}, "0x999");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(id->window, std::optional<std::uint32_t>(0x400001));
    auto dec = parse_hack_arguments({"-window-id", "77"}, "");
    ASSERT_TRUE(dec.has_value());
    EXPECT_EQ(dec->window, std::optional<std::uint32_t>(77));
    EXPECT_FALSE(parse_hack_arguments({"-window-id", "zz"}, "").has_value());

    EXPECT_EQ(join_arguments({"/p", "1234"}), "/p 1234");
    EXPECT_EQ(join_arguments({}), "");
}

TEST(QtFileFilters, SevenEntriesInQtForm) {
    const std::string filter =
        "All Files (*.*)|*.*|BMPs(*.bmp)|*.bmp|GIFs(*.Gif)|*.Gif|JPEGs(*.Jpg)|*.Jpg|WMFs(*.wmf) | *.wmf|ICOs(*.ico) | "
        "*.ico|All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf)|*.bmp;*.ico;*.gif;*.jpg;*.wmf";
    const auto f = qt_name_filters(filter);
    ASSERT_EQ(f.size(), 7U);
    EXPECT_EQ(f[0], "All Files (*.*) (*)");
    EXPECT_EQ(f[1], "BMPs(*.bmp) (*.bmp *.BMP)");
    EXPECT_EQ(f[2], "GIFs(*.Gif) (*.Gif *.gif *.GIF)");
    EXPECT_EQ(f[4], "WMFs(*.wmf)  (*.wmf *.WMF)");
    EXPECT_EQ(f[6],
              "All Picture Formats(*.bmp;*.ico;*.gif;*.jpg;*.wmf) (*.bmp *.BMP *.ico *.ICO *.gif *.GIF *.jpg *.JPG "
              "*.wmf *.WMF)");
}

TEST(QtKeys, QtKeysBecomeWindowsKeyCodes) {
    EXPECT_EQ(key_code_of(Qt::Key_A), 'A');
    EXPECT_EQ(key_code_of(Qt::Key_7), '7');
    EXPECT_EQ(key_code_of(Qt::Key_Return), rt::keys::Enter);
    EXPECT_EQ(key_code_of(Qt::Key_Enter), rt::keys::Enter);
    EXPECT_EQ(key_code_of(Qt::Key_Backtab), rt::keys::Tab);
    EXPECT_EQ(key_code_of(Qt::Key_Escape), rt::keys::Escape);
    EXPECT_EQ(key_code_of(Qt::Key_F1), rt::keys::F1);
    EXPECT_EQ(shift_state_of(Qt::ShiftModifier | Qt::AltModifier), rt::shift::Shift | rt::shift::Alt);
}

}  // namespace
}  // namespace vellora::qt
