// A setup-mode process on the headless runtime, with its own settings file.
#pragma once

#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "platform/headless/headless.h"
#include "setup/configuration.h"
#include "support/temp_dir.h"

namespace vellora::setup_test {

inline constexpr const char* kAbsent = "<absent>";
inline constexpr const char* kNone = "<no picture>";
inline constexpr const char* kSpare = "c:\\imgx.bmp";

struct SetupRig {
    testing::TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    Process process{platform, [](Window, Process& p) { return std::make_unique<Configuration>(p); }};

    // Loads and shows the dialog, as start-up does in setup mode.
    Configuration& open() {
        auto& dialog = static_cast<Configuration&>(process.form(Window::Configuration));
        dialog.Show();
        return dialog;
    }
    void store_image(const std::string& path) { platform.ini().write("Image", "name", path); }
    std::string stored_image() { return platform.ini().read("Image", "name", kAbsent); }
    std::string stored_color() { return platform.ini().read("Color", "hue", kAbsent); }
    std::string settings_text() const { return testing::read_file(dir.path() / "vellora.ini"); }
    // Queues a "Set Picture" that picks `path` (nothing: the user cancels).
    void set_picture(Configuration& dialog, std::optional<std::string> path) {
        platform.answer_file(std::move(path));
        platform.post_click(dialog.Setpic);
    }
};

inline std::string shown(const Configuration& dialog) {
    const auto& picture = dialog.Image1.GetPicture();
    return picture ? picture->path : kNone;
}

// Centred on the outer width at the reference height, Picture1 collapsed at its corner.
inline bool laid_out(const Configuration& d) {
    const auto& i = d.Image1;
    const auto& p = d.Picture1;
    return std::abs(i.Left() + i.Width() / 2 - d.Width() / 2) < 0.01F && i.Height() == 2610.0F &&
           p.Left() == i.Left() && p.Top() == i.Top() && p.Width() == 0 && p.Height() == 0;
}

}  // namespace vellora::setup_test
