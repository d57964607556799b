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
    while (long_path.size() < 200) long_path += "pictures\\";
    long_path.resize(200);
    StubProcess setup;
    WriteColor(setup.process, "16744576");
    WriteImageName(setup.process, long_path);
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
    EXPECT_EQ(color_from_text("16777215"), rt::rgb(255, 255, 255));
    EXPECT_EQ(color_from_text("12 blue"), 12U);  // the leading digits count
    EXPECT_EQ(color_from_text("blue"), 0U);
    EXPECT_EQ(color_from_text("16777216"), 0U);  // only 24 bits are a colour
    EXPECT_EQ(color_from_text("-1"), 0xFFFFFFU);
    EXPECT_EQ(color_from_text("99999999999999999999999999"), 0xFFFFFFU);  // clamped first
    EXPECT_EQ(color_from_text("-99999999999999999999999999"), 0U);
}

TEST(Settings, RegistryValuesAsText) {
    StubProcess rig;
    auto& p = rig.platform;
    const std::string desktop = "Control Panel\\Desktop";
    const auto read = [&](const std::string& value, std::uint32_t root = rt::reg::CurrentUser) {
        return ReadRegString(p.registry(), root, desktop, value);
    };
    for (const auto& [number, text] : std::vector<std::pair<std::uint32_t, std::string>>{
             {0, "000"}, {1, "001"}, {42, "042"}, {1000, "100"}, {4294967295U, "429"}}) {
        p.set_registry_dword(rt::reg::CurrentUser, desktop, "Flag", number);
        EXPECT_EQ(read("Flag"), text) << number;
    }
    p.set_registry_string(rt::reg::CurrentUser, desktop, "Text", "1");
    EXPECT_EQ(read("Text"), "1");
    p.set_registry_string(rt::reg::CurrentUser, desktop, "Long", std::string(255, 'a'));  // 256 bytes
    EXPECT_EQ(read("Long"), "");
    p.set_registry_value(rt::reg::CurrentUser, desktop, "Bytes", rt::reg::Binary, {0x41, 0x00, 0xFF, 0x42});
    EXPECT_EQ(read("Bytes"), std::string("A\0\xFF", 3));
    EXPECT_EQ(read("Missing"), "");
    EXPECT_EQ(ReadRegString(p.registry(), rt::reg::CurrentUser, "No\\Such\\Key", "x"), "");
    EXPECT_EQ(p.open_registry_keys(), 0);  // every opened key was closed
    const int calls = p.registry_calls();
    p.set_registry_dword(0, desktop, "Flag", 1);
    EXPECT_EQ(read("Flag", 0), "");
    EXPECT_EQ(read("Flag", 0x80000007U), "");
    EXPECT_EQ(p.registry_calls(), calls);  // not even opened
}

}  // namespace
}  // namespace vellora
