// The Win32 runtime's services on the real API: command line, settings file,
// registry, per-user store, the single-instance test.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/win32/dialogs.h"
#include "platform/win32/help.h"
#include "platform/win32/services.h"
#include "platform/win32/support.h"
#include "settings/settings.h"

namespace vellora::win32 {
namespace {

using testing::TempFolder;

TEST(Win32Text, ArgumentsSkipTheProgramNameQuotedOrNot) {
    const std::pair<const char*, const char*> cases[] = {
        {"vellora.scr /S", "/S"}, {"\"C:\\Program Files\\vellora.scr\"   /p 1234", "/p 1234"},
        {"\"C:\\a b\\vellora.scr\"/c:5678", "/c:5678"}, {"C:\\WINDOWS\\VELLORA.SCR \t /A 42", "/A 42"},
        {"vellora.scr", ""}, {"vellora.scr   ", ""}, {"\"unterminated", ""}, {"", ""}};
    for (const auto& [line, arguments] : cases) EXPECT_EQ(arguments_after_program_name(line), arguments) << line;
}

TEST(Win32Text, FiltersLineBreaksRootsHandlesAndTheHelpFile) {
    static const char expected[] = "All Files (*.*)\0*.*\0WMFs(*.wmf) \0 *.wmf\0";  // and the literal's own NUL
    EXPECT_EQ(filter_for_dialog("All Files (*.*)|*.*|WMFs(*.wmf) | *.wmf"), std::string(expected, sizeof expected));
    EXPECT_EQ(filter_for_dialog(""), std::string("\0\0", 2));
    EXPECT_EQ(with_crlf_line_breaks("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(registry_root(0x80000001U), HKEY_CURRENT_USER);
    EXPECT_EQ(registry_root(0x80000002U), HKEY_LOCAL_MACHINE);
    HWND desktop = GetDesktopWindow();
    EXPECT_EQ(window_from_number(static_cast<rt::ForeignWindow>(reinterpret_cast<std::uintptr_t>(desktop))), desktop);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string dir(module);
    dir.resize(dir.find_last_of('\\') + 1);
    EXPECT_EQ(help_file_candidates("vellora.hlp").at(0), dir + "vellora.hlp");
    EXPECT_EQ(help_file_candidates("c:\\docs\\x.hlp"), std::vector<std::string>{"c:\\docs\\x.hlp"});
}

TEST(Win32Settings, BareNameLivesInTheWindowsDirectoryAndValuesComeBackWhole) {
    const std::string name = "vellora-test-" + std::to_string(GetCurrentProcessId()) + ".ini";
    char windir[MAX_PATH] = {};
    GetWindowsDirectoryA(windir, MAX_PATH);
    const std::string full = std::string(windir) + "\\" + name;
    ProfileFile file(name);

    EXPECT_EQ(file.read("Color", "hue", "0"), "0");  // no file yet
    ASSERT_TRUE(file.write("Color", "hue", "16711680"));
    EXPECT_NE(GetFileAttributesA(full.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(file.read("color", "HUE", "0"), "16711680");  // names without regard to case

    // Far past the old 24-character cut, up to the longest value the file takes.
    std::string long_path = "C:\\Pictures\\";
    while (long_path.size() < 32767 - 40) long_path += "holiday-photos\\";
    long_path += "beach.jpg";
    ASSERT_TRUE(file.write("Image", "name", long_path));
    const std::string back = file.read("Image", "name", "0");
    EXPECT_EQ(back.size(), long_path.size());
    EXPECT_TRUE(back == long_path);
    const std::string too_long(40000, 'x');
    EXPECT_FALSE(file.write("Image", "name", too_long));  // refused, and the old value stays
    EXPECT_TRUE(file.read("Image", "name", "0") == long_path);

    ASSERT_TRUE(file.write("Image", "name", ""));
    EXPECT_EQ(file.read("Image", "name", "0"), "");  // present but empty is not the default
    EXPECT_EQ(file.read("Image", "missing", "0"), "0");
    DeleteFileA(full.c_str());
}

// The user's copy of the settings file: a folder name outside the ANSI
// code page, a value with an accented letter, and the file's text in the
// ANSI code page before and after.
TEST(Win32Settings, TheUsersCopyTakesAnyFolderNameAndKeepsTheAnsiText) {
    const std::string e_acute = ansi_from_wide(L"\u00e9");  // "é" in this code page
    ASSERT_EQ(wide_from_ansi(e_acute), L"\u00e9") << "the ANSI code page has no é";
    TempFolder temp;
    const std::wstring folder = temp.path().wstring() + L"\\\u0416\u03a9 Vellora";  // Cyrillic and Greek
    const std::string shared = temp.file("shared.ini");
    const std::string old_text = "[Image]\r\nname=C:\\caf" + e_acute + ".bmp\r\n";
    testing::write_file(shared, old_text);
    SetFileAttributesA(shared.c_str(), FILE_ATTRIBUTE_READONLY);

    UserProfileFile own(folder);
    EXPECT_FALSE(own.exists());
    EXPECT_EQ(own.read("Image", "name", "0"), "0");
    const bool copied = own.copy_from(wide_from_ansi(shared));
    SetFileAttributesA(shared.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(copied);
    ASSERT_TRUE(own.exists());
    EXPECT_EQ(GetFileAttributesW(own.path().c_str()) & FILE_ATTRIBUTE_READONLY, 0U);  // the copy can be written
    EXPECT_EQ(own.read("Image", "name", "0"), "C:\\caf" + e_acute + ".bmp");
    ASSERT_TRUE(own.write("Color", "hue", "caf" + e_acute));
    EXPECT_EQ(own.read("Color", "hue", "0"), "caf" + e_acute);

    const auto bytes_of = [](const std::wstring& path) {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        std::ostringstream read_back;
        read_back << in.rdbuf();
        return read_back.str();
    };
    const std::string bytes = bytes_of(own.path());
    EXPECT_EQ(bytes.find(old_text), 0U);  // what was there stays byte for byte, ANSI, no byte-order mark
    EXPECT_NE(bytes.find("hue=caf" + e_acute), std::string::npos);
    EXPECT_EQ(own.location(), ansi_from_wide(folder));

    // No shared file: the folder alone, and the first write makes an ANSI file.
    UserProfileFile fresh(folder + L" 2");
    ASSERT_TRUE(fresh.copy_from(wide_from_ansi(temp.file("none.ini"))));
    EXPECT_FALSE(fresh.exists());
    ASSERT_TRUE(fresh.write("Color", "hue", "caf" + e_acute));
    EXPECT_EQ(bytes_of(fresh.path()), "[Color]\r\nhue=caf" + e_acute + "\r\n");
}

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
    }
    void set(const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    static constexpr const char* kPath = "Software\\VelloraTest\\Desktop";
    HKEY key_ = nullptr;
};

TEST_F(Win32RegistryTest, OpenQueryCloseOnTheRealRegistry) {
    const DWORD one = 1;
    set("Flag", REG_DWORD, &one, sizeof one);
    set("Text", REG_SZ, "1", 2);
    const std::string big(300, 'x');
    set("Big", REG_SZ, big.c_str(), static_cast<DWORD>(big.size() + 1));

    Registry registry;
    EXPECT_FALSE(registry.open(rt::reg::CurrentUser, "Software\\VelloraTest\\NoSuchKey"));
    auto key = registry.open(rt::reg::CurrentUser, kPath);
    ASSERT_TRUE(key);
    auto q = registry.query(*key, "Flag", 255);
    EXPECT_TRUE(q.ok);
    EXPECT_EQ(q.type, rt::reg::Dword);
    EXPECT_EQ(q.data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    q = registry.query(*key, "Text", 255);
    EXPECT_TRUE(q.ok);
    EXPECT_EQ(q.size, 2U);  // the text and its zero
    q = registry.query(*key, "Big", 255);
    EXPECT_FALSE(q.ok);     // more than the buffer holds
    EXPECT_EQ(q.size, 301U);
    EXPECT_FALSE(registry.query(*key, "Missing", 255).ok);
    registry.close(*key);

    // The settings code reads the flag both ways through this registry.
    EXPECT_EQ(settings::ReadRegString(registry, rt::reg::CurrentUser, kPath, "Flag"), "001");
    EXPECT_EQ(settings::ReadRegString(registry, rt::reg::CurrentUser, kPath, "Text"), "1");
    EXPECT_EQ(settings::ReadRegString(registry, rt::reg::CurrentUser, kPath, "Big"), "");
}

TEST(Win32UserStore, PasswordIsAStringUnderSoftwareApplicationSection) {
    const std::string app = "VelloraTestSamples";
    UserStore store;
    EXPECT_EQ(store.read(app, "Oskel Screen Saver", "Password", "none"), "none");
    ASSERT_TRUE(store.write(app, "Oskel Screen Saver", "Password", "SX]"));
    EXPECT_EQ(store.read(app, "Oskel Screen Saver", "Password", ""), "SX]");

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\" + app + "\\Oskel Screen Saver").c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    char data[16] = {};
    DWORD type = 0;
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "Password", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(data, "SX]");
    RegCloseKey(key);

    ASSERT_TRUE(store.write(app, "Oskel Screen Saver", "Password", ""));  // removing the password
    EXPECT_EQ(store.read(app, "Oskel Screen Saver", "Password", "none"), "");
    RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\" + app + "\\Oskel Screen Saver").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\" + app).c_str());
}

TEST(Win32Process, OneCopyAtATimeAndTheProgramIcon) {
    auto first = std::make_unique<Win32Platform>();
    EXPECT_FALSE(first->services().previous_instance());
    {
        Win32Platform second;
        EXPECT_TRUE(second.services().previous_instance());
    }
    EXPECT_FALSE(first->services().previous_instance());  // asking again does not find itself
    first.reset();
    Win32Platform third;
    auto& services = third.services();
    EXPECT_FALSE(services.previous_instance());

    char name[32] = {};
    EXPECT_GT(LoadStringA(GetModuleHandleA(nullptr), 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "Vellora");  // the name the display settings list
    auto icon = services.app_icon();
    ASSERT_TRUE(icon);
    const int dpi = third.window_system().dpi_x();
    EXPECT_NEAR(icon->himetric_width, MulDiv(32, 2540, dpi), 1);
    EXPECT_EQ(services.spare_picture_path(), "c:\\imgx.bmp");
    const auto screen = third.windows().screen();
    EXPECT_EQ(screen.width_px, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_FLOAT_EQ(screen.twips_per_pixel_x * static_cast<float>(dpi), 1440.0F);
    const double t = services.time_of_day();
    EXPECT_GE(t, 0.0);
    EXPECT_LT(t, 86400.0);
}

}  // namespace
}  // namespace vellora::win32
