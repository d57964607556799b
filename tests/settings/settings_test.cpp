// Whole numbers from real ones as every runtime rounds them, the colour setting read leniently, the registry reader.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "runtime/convert.h"
#include "support/temp_dir.h"

namespace vellora {
namespace {

TEST(Convert, RoundingIsHalfToEvenAndClampsToTheType) {
    EXPECT_EQ((std::vector<int>{rt::to_int16(2.5), rt::to_int16(3.5), rt::to_int16(-2.5), rt::to_int16(1e9)}),
              (std::vector<int>{2, 4, -2, 32767}));
    EXPECT_EQ(rt::to_int32(-1e12), INT32_MIN);
    // Controls are placed by the same rule on every runtime: 0.5, 1.5, 2.5 and -1.5 pixels.
    EXPECT_EQ((std::vector<int>{rt::twips_to_pixels(7.5F, 15.0F), rt::twips_to_pixels(22.5F, 15.0F),
                                rt::twips_to_pixels(37.5F, 15.0F), rt::twips_to_pixels(-22.5F, 15.0F)}),
              (std::vector<int>{0, 2, 2, -2}));
}

// The leading number counts, rounded half to even and clamped, then only 24 bits are a colour.
TEST(Settings, ColourFromText) {
    for (const auto& [text, color] :
         std::vector<std::pair<std::string, rt::Color>>{{"16777215", 0xFFFFFF},
                                                        {"12 blue", 12},
                                                        {"  3.5x", 4},
                                                        {"2.5", 2},
                                                        {"blue", 0},
                                                        {"16777216", 0},
                                                        {"-1", 0xFFFFFF},
                                                        {"99999999999999999999999999", 0xFFFFFF},
                                                        {"-99999999999999999999999999", 0}}) {
        EXPECT_EQ(settings::color_from_text(text), color) << text;
    }
}

TEST(Settings, RegistryValuesAsText) {
    testing::TempDir dir;
    headless::HeadlessPlatform p{dir.path()};
    const std::string desktop = "Control Panel\\Desktop";
    const auto read = [&](const std::string& value, std::uint32_t root = rt::reg::CurrentUser) {
        return settings::ReadRegString(*p.services().registry(), root, desktop, value);
    };
    for (const auto& [number, text] :
         std::vector<std::pair<std::uint32_t, std::string>>{{1, "001"}, {4294967295U, "429"}}) {
        p.set_registry_dword(rt::reg::CurrentUser, desktop, "Flag", number);
        EXPECT_EQ(read("Flag"), text) << number;
    }
    p.set_registry_string(rt::reg::CurrentUser, desktop, "Long", std::string(255, 'a'));  // 256 bytes
    p.set_registry_value(rt::reg::CurrentUser, desktop, "Bytes", rt::reg::Binary, {0x41, 0x00, 0xFF, 0x42});
    EXPECT_EQ((std::vector{read("Long"), read("Bytes"), read("Missing")}),
              (std::vector<std::string>{"", {"A\0\xFF", 3}, ""}));
    EXPECT_EQ(settings::ReadRegString(*p.services().registry(), rt::reg::CurrentUser, "No\\Such\\Key", "x"), "");
    EXPECT_EQ(p.open_registry_keys(), 0);  // every opened key was closed
    const int calls = p.registry_calls();
    p.set_registry_dword(0, desktop, "Flag", 1);
    EXPECT_TRUE(read("Flag", 0).empty() && read("Flag", 0x80000007U).empty());
    EXPECT_EQ(p.registry_calls(), calls);  // not even opened
}

}  // namespace
}  // namespace vellora
