// The Linux services: the data files looked up the XDG way, the per-user
// store (private to its owner), the desktop's lock setting as the password
// flag, the instance lock; the hack-mode arguments, file filters and key
// codes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <optional>

#include "platform/qt/dialogs.h"
#include "platform/qt/hack_mode.h"
#include "platform/qt/help.h"
#include "platform/qt/keys.h"
#include "platform/qt/services.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

// Sets (or, with nothing, unsets) an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = ::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::filesystem::perms mode_of(const std::filesystem::path& path) {
    return std::filesystem::status(path).permissions() & std::filesystem::perms::mask;
}

TEST(QtDataFiles, TheUsersOwnFolderFirstThenEachSystemFolderInOrderForTheSparePictureAndTheHelp) {
    testing::TempDir dir;
    const auto home = dir.path() / "home";
    const auto first = dir.path() / "first";
    const auto second = dir.path() / "second";
    {
        const ScopedEnv unset("XDG_DATA_DIRS", std::nullopt);
        const auto p = Paths::from_environment();
        EXPECT_EQ(p.system_data_dirs,
                  (std::vector<std::filesystem::path>{"/usr/local/share/vellora", "/usr/share/vellora"}));
    }
    const ScopedEnv data_home("XDG_DATA_HOME", home.string());
    // Empty and relative entries name no folder.
    const ScopedEnv data_dirs("XDG_DATA_DIRS", first.string() + "::relative/share:" + second.string());
    const auto p = Paths::from_environment();
    EXPECT_EQ(p.data_search_dirs(), (std::vector<std::filesystem::path>{home / "vellora", first / "vellora",
                                                                        second / "vellora"}));

    // Nothing anywhere: the settings file will name the user's own place.
    EXPECT_EQ(p.spare_picture(), home / "vellora" / "imgx.bmp");
    const auto put = [](const std::filesystem::path& folder, const char* name) {
        std::filesystem::create_directories(folder / "vellora");
        std::ofstream(folder / "vellora" / name) << "x";
    };
    put(second, "imgx.bmp");
    EXPECT_EQ(p.spare_picture(), second / "vellora" / "imgx.bmp");
    put(first, "imgx.bmp");
    EXPECT_EQ(p.spare_picture(), first / "vellora" / "imgx.bmp");
    put(home, "imgx.bmp");
    EXPECT_EQ(p.spare_picture(), home / "vellora" / "imgx.bmp");

    // Help: the same order, before the build's own folders.
    put(second, "vellora.hlp");
    const Trace trace(dir.path() / "trace.log");
    {
        HelpViewer help(trace, p.data_search_dirs());
        help.show("vellora.hlp");
    }
    std::ifstream log(dir.path() / "trace.log");
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line, "help [vellora.hlp] from [" + (second / "vellora" / "vellora.hlp").string() + "]");
}

TEST(QtUserStore, PrivateToItsOwnerFromTheStartAndTightenedOnTheNextWrite) {
    testing::TempDir dir;
    namespace fs = std::filesystem;
    const auto old_mask = ::umask(022);
    // A new store in new folders: the file 0600, each folder made for it 0700.
    const auto made = dir.path() / "config" / "vellora";
    ASSERT_TRUE(UserStoreFile(made / "user-store.ini").write("Samples", "Oskel Screen Saver", "Password", "SX"));
    EXPECT_EQ(mode_of(made / "user-store.ini"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(mode_of(made), fs::perms::owner_all);
    EXPECT_EQ(mode_of(dir.path() / "config"), fs::perms::owner_all);

    // An older store readable by everyone, in a folder that is: the store is
    // tightened, the folder keeps its mode, the other entries stay.
    const auto open_dir = dir.path() / "shared";
    fs::create_directories(open_dir);
    fs::permissions(open_dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    const auto old_store = open_dir / "user-store.ini";
    std::ofstream(old_store) << "[Other\\Section]\nkey=kept\n";
    fs::permissions(old_store, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                   fs::perms::others_read);
    UserStoreFile store(old_store);
    ASSERT_TRUE(store.write("Samples", "Oskel Screen Saver", "Password", "SX"));
    EXPECT_EQ(mode_of(old_store), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(mode_of(open_dir) & fs::perms::others_read, fs::perms::others_read);
    EXPECT_EQ(store.read("Other", "Section", "key", ""), "kept");
    EXPECT_EQ(::umask(old_mask), 022);  // the process's own mask is back as it was
}

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
