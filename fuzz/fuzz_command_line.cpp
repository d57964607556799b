// The command line: arbitrary argument text (and an arbitrary settings file
// for the run mode) through the mode switch, the window-handle reader and
// Main itself on a headless process whose windows are stand-ins. Main opens
// exactly the mode's window, or none; only the preview and password modes
// take a window handle; a second copy opens nothing and reads nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "platform/headless/headless.h"
#include "settings/settings.h"
#include "startup/main.h"
#include "app/process.h"

namespace {

using vellora::Process;
using vellora::Window;

constexpr std::array<const char*, vellora::kWindowCount> kNames = {"MainForm", "ControlForm", "Configuration",
                                                                   "PassChange", "PassCheck"};

// A window that only records that it was loaded.
class StandIn final : public vellora::rt::Form {
public:
    StandIn(Process& process, Window which)
        : vellora::rt::Form(process.app(), kNames.at(static_cast<std::size_t>(which))) {}
};

bool blank(char c) { return c == ' ' || c == '\t'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// The handle after the switch, read the long way: a number too large for
// 32 bits names no window.
std::uint32_t expected_handle(const std::string& arguments) {
    std::size_t i = arguments.size() < 2 ? arguments.size() : 2;
    while (i < arguments.size() && blank(arguments[i])) ++i;
    std::string digits;
    while (i < arguments.size() && digit(arguments[i])) digits += arguments[i++];
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 0;
    digits.erase(0, first);
    if (digits.size() > 10 || (digits.size() == 10 && digits > "4294967295")) return 0;
    return static_cast<std::uint32_t>(std::stoull(digits));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const bool second_copy = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    const bool with_settings = in.ConsumeBool();
    const std::string settings = with_settings ? in.ConsumeRandomLengthString(256) : std::string();
    const std::string arguments = in.ConsumeRemainingBytesAsString();

    // The mode switch: the first two characters, a to z upper-cased.
    const std::string mode = vellora::saver_mode(arguments);
    VELLORA_FUZZ_CHECK(mode.size() == (arguments.size() < 2 ? arguments.size() : 2));
    for (std::size_t i = 0; i < mode.size(); ++i) {
        const char c = arguments[i];
        VELLORA_FUZZ_CHECK(mode[i] == ((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c));
    }
    const std::uint32_t handle = vellora::parent_window_from(arguments);
    VELLORA_FUZZ_CHECK(handle == expected_handle(arguments));

    // Main on a fresh process.
    const auto dir = vellora::fuzz::scratch_dir();
    std::filesystem::remove(dir / "vellora.ini");
    if (with_settings) {
        std::ofstream out(dir / "vellora.ini", std::ios::binary);
        out.write(settings.data(), static_cast<std::streamsize>(settings.size()));
    }
    vellora::headless::HeadlessPlatform platform(dir);
    platform.set_command_line(arguments);
    platform.set_previous_instance(second_copy);
    Process process(platform, [](Window w, Process& p) -> std::unique_ptr<vellora::rt::Form> {
        return std::make_unique<StandIn>(p, w);
    });
    vellora::Main(process);

    int expected = -1;
    if (!second_copy) {
        if (mode == "/C") expected = static_cast<int>(Window::Configuration);
        if (mode == "/S") expected = static_cast<int>(Window::MainForm);
        if (mode == "/P") expected = static_cast<int>(Window::ControlForm);
        if (mode == "/A") expected = static_cast<int>(Window::PassChange);
    }
    for (std::size_t w = 0; w < vellora::kWindowCount; ++w) {
        const bool is_expected = static_cast<int>(w) == expected;
        VELLORA_FUZZ_CHECK(process.loaded(static_cast<Window>(w)) == is_expected);
        VELLORA_FUZZ_CHECK((process.existing(static_cast<Window>(w)) != nullptr) == is_expected);
    }
    VELLORA_FUZZ_CHECK(process.ended() == (expected < 0));
    const bool takes_handle = !second_copy && (mode == "/P" || mode == "/A");
    VELLORA_FUZZ_CHECK(process.ParentWindow == (takes_handle ? handle : 0U));
    if (expected == static_cast<int>(Window::MainForm)) {
        // The run mode read the colour into Hue and gave it to the window.
        VELLORA_FUZZ_CHECK(process.Hue.empty() || process.Hue.back() != ' ');
        const auto& form = *process.existing(Window::MainForm);
        VELLORA_FUZZ_CHECK(form.BackColor() == vellora::settings::color_from_text(process.Hue));
        VELLORA_FUZZ_CHECK(form.BackColor() <= 0xFFFFFFU);
        VELLORA_FUZZ_CHECK(form.Visible());
    } else {
        VELLORA_FUZZ_CHECK(process.Hue.empty());
    }
    if (expected == static_cast<int>(Window::ControlForm)) VELLORA_FUZZ_CHECK(!process.existing(Window::ControlForm)->Visible());
    if (expected == static_cast<int>(Window::Configuration) || expected == static_cast<int>(Window::PassChange)) {
        VELLORA_FUZZ_CHECK(process.existing(static_cast<Window>(expected))->Visible());
    }
    return 0;
}
