// The settings file: how values are found and written, a failed write that damages nothing, the file that moves.
#include "runtime/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>

#include <csignal>
#endif

namespace vellora {
namespace {

namespace fs = std::filesystem;

struct Rig {
    testing::TempDir dir;
    rt::IniFile ini{dir.path() / "vellora.ini"};
    void put(const std::string& text) const { testing::write_file(ini.path(), text); }
    std::string text() const { return testing::read_file(ini.path()); }
    std::size_t files() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {}));
    }
};

TEST(IniFile, FindsValuesAsTheProfileFunctionsDo) {
    Rig rig;
    EXPECT_EQ(rig.ini.read("Color", "hue", "0"), "0");  // no file
    rig.put(
        "; hue=1 is only a comment\n[ color ]\n  HUE  =  12345  \nPath=C:\\a=b;c#d.bmp\nempty=\nlonely\n"
        ";name=no\n[Image]\nname=C:\\sea.bmp\n[COLOR]\nlate=1\n");
    // Names in any case and padding; a line without "=" or commented out is no entry; only a name's first section
    // counts.
    const auto read = [&](const char* section, const char* key) { return rig.ini.read(section, key, "0"); };
    EXPECT_EQ(
        (std::vector{read(" COLOR ", "Hue"), read("color", "path"), read("Color", "empty"), read("Color", "lonely"),
                     read("Color", "name"), read("Color", "late"), read("Image", "name")}),
        (std::vector<std::string>{"12345", "C:\\a=b;c#d.bmp", "", "0", "0", "0", "C:\\sea.bmp"}));
}

TEST(IniFile, AWriteChangesOnlyItsOwnLineAndOddValuesStayData) {
    Rig rig;
    rig.put("; written by hand\r\n[Color]\r\nHue = 255 \r\n# just a line\r\n\r\n[Other]\r\nx=y");
    ASSERT_EQ(rig.ini.write_all({{"color", "HUE", "65280"}, {"Color", "extra", "1"}, {"Other", "z", "2"},
                                 {"Image", "name", "C:\\a b.bmp"}}),
              rt::WriteResult::Written);
    EXPECT_EQ(rig.text(),
              "; written by hand\r\n[Color]\r\nHue = 65280\r\nextra=1\r\n# just a line\r\n\r\n[Other]\r\nx=y\r\nz=2\r\n"
              "[Image]\r\nname=C:\\a b.bmp\r\n");
    EXPECT_EQ(rig.files(), 1U);  // no scratch file left behind

    rt::IniFile nested(rig.dir.path() / "new" / "deeper" / "vellora.ini");
    EXPECT_TRUE(nested.write("Color", "hue", "7"));
    EXPECT_EQ(nested.read("Color", "hue", "0"), "7");

    // Odd values stay data (arbitrary text around the entries is the fuzzer's).
    ASSERT_TRUE(rig.ini.write("Image", "name", "C:\\a.bmp\r\n[Forged]\r\nhue=255"));  // cut at the line break
    EXPECT_EQ(rig.ini.read("Image", "name", "0"), "C:\\a.bmp");
    EXPECT_EQ(rig.ini.read("Forged", "hue", "0"), "0");
    EXPECT_FALSE(rig.ini.write("Image", "a=b", "1"));
    fs::remove(rig.ini.path());
    fs::create_directory(rig.ini.path());  // not a file at all
    EXPECT_EQ(rig.ini.read("Color", "hue", "0"), "0");
    EXPECT_FALSE(rig.ini.write("Color", "hue", "9"));
}

#if defined(__unix__) || defined(__APPLE__)
TEST(IniFile, AFailedWriteLeavesTheOldFileAsItWasAndARewriteKeepsItsPermissions) {
    const std::string old = "[Color]\nhue=255\n";
    Rig rig;
    rig.put(old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;  // writes past 1000 bytes fail, as on a full disk
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = rig.ini.write("Image", "name", std::string(100000, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(written);
    EXPECT_TRUE(rig.text() == old && rig.files() == 1U) << rig.text();

    const auto kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(rig.ini.path(), kept);
    ASSERT_TRUE(rig.ini.write("Color", "hue", "65280"));
    EXPECT_EQ(fs::status(rig.ini.path()).permissions(), kept);
}
#endif

// A settings file in a shared place that turns read-only, with the user's own place beside it.
TEST(RelocatingProfileFile, ADeniedWriteMovesTheFileToTheUsersPlaceForGoodABusyOneMovesNothing) {
    struct Shared final : rt::ProfileFile {
        explicit Shared(std::filesystem::path p) : ini(std::move(p)) {}
        std::string read(const std::string& s, const std::string& k, const std::string& f) override {
            return ini.read(s, k, f);
        }
        rt::WriteResult write_all(const std::vector<rt::ProfileEntry>& entries) override {
            return refusal == rt::WriteResult::Written ? ini.write_all(entries) : refusal;
        }
        bool readable() override { return ini.readable(); }
        std::string location() const override { return ini.location(); }
        rt::IniFile ini;
        rt::WriteResult refusal = rt::WriteResult::Written;
    };
    testing::TempDir dir;
    const auto own_path = dir.path() / "user" / "Vellora" / "vellora.ini";
    Shared shared(dir.path() / "vellora.ini");
    rt::IniFile own(own_path);
    rt::RelocatingProfileFile file(
        shared, own, [&] { return std::filesystem::exists(own_path); },
        [&] {
            std::filesystem::create_directories(own_path.parent_path());
            std::filesystem::copy_file(shared.ini.path(), own_path);
            return true;
        });

    ASSERT_TRUE(file.write("Color", "hue", "255"));  // the shared place as long as it can be written
    shared.refusal = rt::WriteResult::Busy;          // held by a virus scanner: said so, and nothing moves
    EXPECT_EQ(file.write_all({{"Image", "name", "c:\\sun.bmp"}}), rt::WriteResult::Busy);
    EXPECT_TRUE(!std::filesystem::exists(own_path) && file.location() == dir.path().string());
    shared.refusal = rt::WriteResult::Denied;
    ASSERT_TRUE(file.write("Image", "name", "c:\\sun.bmp"));
    EXPECT_EQ(std::vector({file.read("Image", "name", "0"), file.read("Color", "hue", "0")}),  // copied over once
              (std::vector<std::string>{"c:\\sun.bmp", "255"}));
    EXPECT_EQ(file.location(), own_path.parent_path().string());
    shared.refusal = rt::WriteResult::Written;  // later writable again: the choices stay in one place
    ASSERT_TRUE(file.write("Color", "hue", "65280"));
    EXPECT_EQ(own.read("Color", "hue", "0"), "65280");
    EXPECT_EQ(shared.read("Color", "hue", "0"), "255");
}

}  // namespace
}  // namespace vellora
