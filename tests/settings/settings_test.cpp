// The colour setting read leniently, and the registry reader.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

TEST(Settings, ColourFromText) {
    using settings::color_from_text;
    EXPECT_EQ(color_from_text("16777215"), rt::rgb(255, 255, 255));
    EXPECT_EQ(color_from_text("12 blue"), 12U);  // the leading number counts, rounded half to even
    EXPECT_EQ(color_from_text("  3.5x"), 4U);
    EXPECT_EQ(color_from_text("2.5"), 2U);
    EXPECT_EQ(color_from_text("blue"), 0U);
    EXPECT_EQ(color_from_text("16777216"), 0U);  // only 24 bits are a colour
    EXPECT_EQ(color_from_text("-1"), 0xFFFFFFU);
    EXPECT_EQ(color_from_text("99999999999999999999999999"), 0xFFFFFFU);  // clamped first
    EXPECT_EQ(color_from_text("-99999999999999999999999999"), 0U);
}

TEST(Settings, RegistryValuesAsText) {
    testing::TempDir dir;
    headless::HeadlessPlatform p{dir.path()};
    const std::string desktop = "Control Panel\\Desktop";
    const auto read = [&](const std::string& value, std::uint32_t root = rt::reg::CurrentUser) {
        return settings::ReadRegString(*p.services().registry(), root, desktop, value);
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
    EXPECT_EQ(settings::ReadRegString(*p.services().registry(), rt::reg::CurrentUser, "No\\Such\\Key", "x"), "");
    EXPECT_EQ(p.open_registry_keys(), 0);  // every opened key was closed
    const int calls = p.registry_calls();
    p.set_registry_dword(0, desktop, "Flag", 1);
    EXPECT_EQ(read("Flag", 0), "");
    EXPECT_EQ(read("Flag", 0x80000007U), "");
    EXPECT_EQ(p.registry_calls(), calls);  // not even opened
}

}  // namespace
}  // namespace vellora
