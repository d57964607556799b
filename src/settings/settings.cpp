#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "runtime/convert.h"
#include "runtime/text.h"

namespace vellora::settings {

namespace {

constexpr const char* kMissingSetting = "0";
constexpr std::uint32_t kRegistryBufferSize = 255;
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kUsePasswordValue = "ScreenSaveUsePassword";

// One value of the settings file, whole, with its trailing blanks removed;
// "0" when the section or the key is missing.
std::string read_setting(rt::ProfileFile& file, const char* section, const char* key) {
    return rt::trim_right_blanks(file.read(section, key, kMissingSetting));
}

bool is_predefined_root(std::uint32_t root) { return root >= rt::reg::ClassesRoot && root <= rt::reg::DynData; }

}  // namespace

rt::Color color_from_text(const std::string& text) {
    const double value = std::nearbyint(rt::Val(text));
    if (std::isnan(value)) return 0;
    // Out-of-range numbers are clamped to what a 32-bit colour value can
    // hold, signed or unsigned; a negative one wraps as its two's complement.
    // Only the 24 colour bits are kept.
    const double clamped = std::clamp(value, -2147483648.0, 4294967295.0);
    const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(clamped));
    return bits & 0xFFFFFFU;
}

std::string ReadColor(rt::ProfileFile& file) { return read_setting(file, kColorSection, kColorKey); }

bool WriteColor(rt::ProfileFile& file, const std::string& color) { return WriteChoices(file, std::nullopt, color); }

std::string ReadImageName(rt::ProfileFile& file) { return read_setting(file, kImageSection, kImageKey); }

bool WriteImageName(rt::ProfileFile& file, const std::string& path) { return WriteChoices(file, path, std::nullopt); }

bool WriteChoices(rt::ProfileFile& file, const std::optional<std::string>& image_name,
                  const std::optional<std::string>& color) {
    std::vector<rt::ProfileEntry> entries;
    if (image_name) entries.push_back({kImageSection, kImageKey, *image_name});
    if (color) entries.push_back({kColorSection, kColorKey, *color});
    return entries.empty() || file.write_all(entries) == rt::WriteResult::Written;
}

bool ReportUnreadable(rt::SystemServices& services) {
    rt::ProfileFile& file = services.settings_file();
    if (file.readable()) return false;
    services.report_failure("vellora: the settings file in " + file.location() +
                            " cannot be read; the saver runs on the default colour and picture");
    return true;
}

std::string ReadRegString(rt::Registry& registry, std::uint32_t root, const std::string& key,
                          const std::string& value_name) {
    if (!is_predefined_root(root)) return {};
    const auto opened = registry.open(root, key);
    if (!opened) return {};

    std::string result;
    const auto query = registry.query(*opened, value_name, kRegistryBufferSize);
    if (query.ok && query.size > 0) {
        std::string buffer(kRegistryBufferSize, ' ');
        std::copy_n(query.data.begin(), std::min<std::size_t>(query.data.size(), buffer.size()), buffer.begin());
        if (query.type == rt::reg::Dword) {
            std::uint32_t number = 0;
            for (int k = 3; k >= 0; --k) {
                number = number * 256U + static_cast<unsigned char>(buffer[static_cast<std::size_t>(k)]);
            }
            char digits[16];
            std::snprintf(digits, sizeof digits, "%03lu", static_cast<unsigned long>(number));
            buffer = digits;
        }
        result = buffer.substr(0, std::min<std::size_t>(query.size - 1, buffer.size()));
    }
    registry.close(*opened);
    return result;
}

std::int16_t ReadDesktopPasswordFlag(rt::SystemServices& services) {
    if (const auto flag = services.desktop_password_flag()) return *flag ? 1 : 0;
    rt::Registry* registry = services.registry();
    if (registry == nullptr) return 0;
    return rt::to_int16(rt::Val(ReadRegString(*registry, rt::reg::CurrentUser, kDesktopKey, kUsePasswordValue)));
}

}  // namespace vellora::settings
