// The colour and picture settings, and the registry reader.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "startup/stub_windows.h"

namespace vellora {
namespace {

using startup_test::StubProcess;

TEST(Settings, MissingEmptyAndPaddedValues) {
    StubProcess rig;
    ReadColor(rig.process);
    ReadImageName(rig.process);
    EXPECT_EQ(rig.process.Hue, "0");
    EXPECT_EQ(rig.process.ImageName, "0");
    EXPECT_EQ(rig.process.form(Window::MainForm).BackColor(), rt::rgb(0, 0, 0));

    rig.platform.ini().write("Image", "other", "x");  // the section without the key
    ReadImageName(rig.process);
    EXPECT_EQ(rig.process.ImageName, "0");
    rig.platform.ini().write("Image", "name", "");
    ReadImageName(rig.process);
    EXPECT_EQ(rig.process.ImageName, "");
    rig.platform.ini().write("Image", "name", "C:\\my pictures\\sea.bmp   ");
    ReadImageName(rig.process);
    EXPECT_EQ(rig.process.ImageName, "C:\\my pictures\\sea.bmp");
}

TEST(Settings, WrittenValuesComeBackWholeInTheNextProcess) {
    std::string long_path = "C:\\";
    while (long_path.size() < 196) long_path += "pictures\\";
    long_path = long_path.substr(0, 196) + ".bmp";
    ASSERT_EQ(long_path.size(), 200U);

    StubProcess setup;
    WriteColor(setup.process, "16744576");
    WriteImageName(setup.process, long_path);
    EXPECT_EQ(setup.process.Hue, "16744576");
    EXPECT_EQ(setup.process.ImageName, long_path);

    headless::HeadlessPlatform later{setup.dir.path()};  // a new start on the same machine
    Process saver{later, setup.factory()};
    ReadImageName(saver);
    ReadColor(saver);
    EXPECT_EQ(saver.ImageName, long_path);
    EXPECT_EQ(saver.Hue, "16744576");
    EXPECT_EQ(saver.form(Window::MainForm).BackColor(), rt::rgb(128, 128, 255));
}

TEST(Settings, ColourFromText) {
    EXPECT_EQ(color_from_text("255"), rt::rgb(255, 0, 0));
    EXPECT_EQ(color_from_text("16777215"), rt::rgb(255, 255, 255));
    EXPECT_EQ(color_from_text(" 65280 "), rt::rgb(0, 255, 0));
    EXPECT_EQ(color_from_text("12 blue"), 12U);  // the leading digits count
    EXPECT_EQ(color_from_text("blue"), 0U);
    EXPECT_EQ(color_from_text(""), 0U);
    EXPECT_EQ(color_from_text("2.5"), 2U);  // halves to even
    EXPECT_EQ(color_from_text("3.5"), 4U);
    // Only 24 bits are a colour; numbers beyond any 32-bit value are clamped first.
    EXPECT_EQ(color_from_text("16777216"), 0U);
    EXPECT_EQ(color_from_text("-1"), 0xFFFFFFU);
    EXPECT_EQ(color_from_text("99999999999999999999999999"), 0xFFFFFFU);
    EXPECT_EQ(color_from_text("-99999999999999999999999999"), 0U);
}

constexpr std::uint32_t kUser = rt::reg::CurrentUser;
const std::string kDesktop = "Control Panel\\Desktop";

std::string read_flag(headless::HeadlessPlatform& platform, const std::string& value, std::uint32_t root = kUser) {
    return ReadRegString(platform.registry(), root, kDesktop, value);
}

TEST(Settings, RegistryValuesAsText) {
    StubProcess rig;
    auto& p = rig.platform;
    const std::vector<std::pair<std::uint32_t, std::string>> dwords = {
        {0, "000"}, {1, "001"}, {42, "042"}, {1000, "100"}, {4294967295U, "429"}};
    for (const auto& [number, text] : dwords) {
        p.set_registry_dword(kUser, kDesktop, "ScreenSaveUsePassword", number);
        EXPECT_EQ(read_flag(p, "ScreenSaveUsePassword"), text) << number;
    }
    p.set_registry_string(kUser, kDesktop, "Text", "1");
    EXPECT_EQ(read_flag(p, "Text"), "1");
    p.set_registry_string(kUser, kDesktop, "Text", std::string(254, 'a'));  // 255 bytes with its zero
    EXPECT_EQ(read_flag(p, "Text"), std::string(254, 'a'));
    p.set_registry_string(kUser, kDesktop, "Text", std::string(255, 'a'));  // 256 bytes: too large
    EXPECT_EQ(read_flag(p, "Text"), "");
    p.set_registry_value(kUser, kDesktop, "Bytes", rt::reg::Binary, {0x41, 0x00, 0xFF, 0x42});
    EXPECT_EQ(read_flag(p, "Bytes"), std::string("A\0\xFF", 3));
    p.set_registry_value(kUser, kDesktop, "Nothing", rt::reg::Binary, {});
    EXPECT_EQ(read_flag(p, "Nothing"), "");
    EXPECT_EQ(read_flag(p, "Missing"), "");
    EXPECT_EQ(p.open_registry_keys(), 0);  // every opened key was closed

    EXPECT_EQ(ReadRegString(p.registry(), kUser, "No\\Such\\Key", "x"), "");
    EXPECT_EQ(p.open_registry_keys(), 0);
    const int calls = p.registry_calls();
    p.set_registry_dword(0, kDesktop, "ScreenSaveUsePassword", 1);
    p.set_registry_dword(0x80000007U, kDesktop, "ScreenSaveUsePassword", 1);
    EXPECT_EQ(read_flag(p, "ScreenSaveUsePassword", 0), "");
    EXPECT_EQ(read_flag(p, "ScreenSaveUsePassword", 0x80000007U), "");
    EXPECT_EQ(p.registry_calls(), calls);  // not even opened
    p.set_registry_dword(rt::reg::DynData, kDesktop, "ScreenSaveUsePassword", 1);
    EXPECT_EQ(read_flag(p, "ScreenSaveUsePassword", rt::reg::DynData), "001");
}

}  // namespace
}  // namespace vellora
