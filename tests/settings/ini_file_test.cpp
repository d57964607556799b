// The settings file's format: how values are found, how a write changes
// the file, and that a failed write never damages it.
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#define VELLORA_POSIX_TESTS 1
#endif

namespace vellora {
namespace {

namespace fs = std::filesystem;
using settings::IniFile;

void put_file(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string file_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(IniFile, FindsValuesAsTheProfileFunctionsDo) {
    testing::TempDir dir;
    IniFile ini(dir.path() / "vellora.ini");
    EXPECT_EQ(ini.read("Color", "hue", "0"), "0");  // no file

    put_file(ini.path(),
             "; hue=1 is only a comment\n"
             "[ color ]\n"
             "  HUE  =  12345  \n"
             "Path=C:\\a=b;c#d.bmp\n"
             "empty=\n"
             "lonely\n"
             ";name=no\n"
             "[Image]\n"
             "name=C:\\pictures\\sea.bmp\n"
             "[COLOR]\n"
             "late=1\n");
    EXPECT_EQ(ini.read("Color", "hue", "0"), "12345");
    EXPECT_EQ(ini.read(" COLOR ", "Hue", "0"), "12345");
    EXPECT_EQ(ini.read("color", "path", "0"), "C:\\a=b;c#d.bmp");
    EXPECT_EQ(ini.read("Color", "empty", "0"), "");
    EXPECT_EQ(ini.read("Color", "lonely", "0"), "0");
    EXPECT_EQ(ini.read("Color", "name", "0"), "0");
    EXPECT_EQ(ini.read("Color", "late", "0"), "0");  // only the first section of a name counts
    EXPECT_EQ(ini.read("Image", "name", "0"), "C:\\pictures\\sea.bmp");
    EXPECT_EQ(ini.read("Sound", "name", "0"), "0");
}

TEST(IniFile, AWriteChangesOnlyItsOwnLine) {
    testing::TempDir dir;
    IniFile ini(dir.path() / "vellora.ini");
    put_file(ini.path(),
             "; written by hand\r\n"
             "[Color]\r\n"
             "Hue = 255 \r\n"
             "# not a comment here, just a line\r\n"
             "\r\n"
             "[Other]\r\n"
             "x=y");
    ASSERT_TRUE(ini.write("color", "HUE", "65280"));
    ASSERT_TRUE(ini.write("Color", "extra", "1"));
    ASSERT_TRUE(ini.write("Other", "z", "2"));
    ASSERT_TRUE(ini.write("Image", "name", "C:\\a b.bmp"));
    EXPECT_EQ(file_text(ini.path()),
              "; written by hand\r\n"
              "[Color]\r\n"
              "Hue = 65280\r\n"
              "extra=1\r\n"
              "# not a comment here, just a line\r\n"
              "\r\n"
              "[Other]\r\n"
              "x=y\r\n"
              "z=2\r\n"
              "[Image]\r\n"
              "name=C:\\a b.bmp\r\n");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"vellora.ini"});
}

TEST(IniFile, CreatesItsDirectoryAndFile) {
    testing::TempDir dir;
    IniFile ini(dir.path() / "new" / "deeper" / "vellora.ini");
    ASSERT_TRUE(ini.write("Color", "hue", "7"));
    EXPECT_EQ(file_text(ini.path()), "[Color]\nhue=7\n");
}

TEST(IniFile, ValuesWithLineBreaksOrOddBytesCannotForgeLines) {
    testing::TempDir dir;
    IniFile ini(dir.path() / "vellora.ini");
    ASSERT_TRUE(ini.write("Image", "name", "C:\\a.bmp\r\n[Color]\r\nhue=255"));
    EXPECT_EQ(ini.read("Image", "name", "0"), "C:\\a.bmp");
    EXPECT_EQ(ini.read("Color", "hue", "0"), "0");
    const std::string with_nul("a\0b", 3);
    ASSERT_TRUE(ini.write("Image", "name", with_nul));
    EXPECT_EQ(ini.read("Image", "name", "0"), with_nul);
    EXPECT_FALSE(ini.write("Image", "a=b", "1"));
    EXPECT_FALSE(ini.write("Ima\nge", "name", "1"));
    EXPECT_EQ(ini.read("Image", "a", "0"), "0");
}

TEST(IniFile, GarbageIsReadAndKeptAsData) {
    testing::TempDir dir;
    IniFile ini(dir.path() / "vellora.ini");
    std::string garbage;
    std::uint32_t state = 12345;
    for (int i = 0; i < 5000; ++i) {
        state = state * 1103515245U + 12345U;
        garbage.push_back(static_cast<char>(state >> 24U));
    }
    garbage += std::string("\0[Color]\0\nhue=1", 15);
    put_file(ini.path(), garbage);
    EXPECT_EQ(ini.read("Color", "hue", "0"), "0");
    ASSERT_TRUE(ini.write("Color", "hue", "9"));
    EXPECT_EQ(ini.read("Color", "hue", "0"), "9");
    EXPECT_EQ(file_text(ini.path()).substr(0, garbage.size()), garbage);

    fs::remove(ini.path());
    fs::create_directory(ini.path());  // not a file at all
    EXPECT_EQ(ini.read("Color", "hue", "0"), "0");
    EXPECT_FALSE(ini.write("Color", "hue", "9"));
}

#ifdef VELLORA_POSIX_TESTS
const std::string kOld = "[Color]\nhue=255\n";

TEST(IniFile, AFullDiskLeavesTheOldFileAsItWas) {
    testing::TempDir dir;
    IniFile ini(dir.path() / "vellora.ini");
    put_file(ini.path(), kOld);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;  // writes past 1000 bytes fail, as on a full disk
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = ini.write("Image", "name", std::string(100000, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(file_text(ini.path()), kOld);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"vellora.ini"});
}

TEST(IniFile, AnUnwritableDirectoryLeavesTheOldFileAsItWas) {
    testing::TempDir dir;
    IniFile ini(dir.path() / "vellora.ini");
    put_file(ini.path(), kOld);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    int result = -1;
    if (geteuid() != 0) {
        result = ini.write("Color", "hue", "1") ? 1 : 0;
    } else {
        // Access rights do not bind the superuser: try as an ordinary user.
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
            _exit(ini.write("Color", "hue", "1") ? 1 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::permissions(dir.path(), fs::perms::owner_all);
    if (result == 3) GTEST_SKIP() << "cannot leave the superuser's rights here";
    EXPECT_EQ(result, 0) << "the write should have failed";
    EXPECT_EQ(file_text(ini.path()), kOld);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"vellora.ini"});
}
#endif

}  // namespace
}  // namespace vellora
