// A process on the headless platform with the saver's windows built (not loaded) up front, to script their input.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "password/pass_check.h"
#include "password/password.h"
#include "platform/headless/headless.h"
#include "saver/control_form.h"
#include "saver/main_form.h"
#include "settings/settings.h"
#include "startup/main.h"
#include "support/temp_dir.h"

namespace vellora::testing {

inline constexpr const char* kPicture = "c:\\pictures\\sun.bmp";
inline constexpr const char* kSpare = "c:\\imgx.bmp";

struct SaverRig {
    TempDir dir;
    headless::HeadlessPlatform platform{dir.path()};
    Process process{platform, [this](Window window, Process&) -> std::unique_ptr<rt::Form> {
                        if (window == Window::MainForm) return std::move(owned_saver);
                        if (window == Window::PassCheck) return std::move(owned_prompt);
                        if (window == Window::ControlForm) return std::move(owned_preview);
                        throw std::logic_error("not a window of the saver");
                    }};
    std::unique_ptr<MainForm> owned_saver = std::make_unique<MainForm>(process);
    std::unique_ptr<PassCheck> owned_prompt = std::make_unique<PassCheck>(process);
    std::unique_ptr<ControlForm> owned_preview = std::make_unique<ControlForm>(process);
    MainForm& saver = *owned_saver;
    PassCheck& prompt = *owned_prompt;
    ControlForm& preview = *owned_preview;

    // Names the picture in the settings file; an existing one is 96 x 48 pixels.
    void choose_picture(const std::string& path, bool exists = true) {
        platform.services().settings_file().write(settings::kImageSection, settings::kImageKey, path);
        if (exists) platform.add_picture(path, 2540, 1270);
    }
    void protect(const std::string& password) {
        platform.set_registry_string(rt::reg::CurrentUser, "Control Panel\\Desktop", "ScreenSaveUsePassword", "1");
        SaveStoredPassword(platform.services().user_store(), EncodePassword(password));
    }
    void start(const std::string& arguments = "/S") {
        platform.set_command_line(arguments);
        Main(process);
    }
    [[nodiscard]] headless::WindowRecord& screen() { return *platform.window("MainForm"); }
    [[nodiscard]] int prompts_opened() const {
        int n = 0;
        for (const auto& w : platform.window_records()) n += w->form_name == "PassCheck" ? w->show_count : 0;
        return n;
    }
    void answer_prompt(const std::string& typed) {
        platform.post_type(prompt.Text1, typed);
        platform.post_click(prompt.Command1);
    }
    // Real moves: each to a point where the pointer was not.
    void moves(int n) {
        for (int i = 0; i < n; ++i) {
            ++steps_;
            platform.post_mouse_move(saver, 15.0F * static_cast<float>(steps_), 15.0F * static_cast<float>(steps_));
        }
    }
    int steps_ = 0;
};

}  // namespace vellora::testing
