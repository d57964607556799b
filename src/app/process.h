// The state of one Vellora process: the forms runtime, the process-wide
// variables that the windows share, and the one instance of each window.
// The program's entry point makes it; every window receives it. A test
// makes a fresh one to get a fresh "process".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/app.h"
#include "runtime/form.h"

namespace vellora {

// The program's windows.
enum class Window { MainForm, ControlForm, Configuration, PassChange, PassCheck };
inline constexpr std::size_t kWindowCount = 5;

class Process;
using WindowFactory = std::function<std::unique_ptr<rt::Form>(Window, Process&)>;

class Process {
public:
    Process(rt::Platform& platform, WindowFactory factory);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    [[nodiscard]] rt::App& app() { return app_; }
    [[nodiscard]] rt::WindowSystem& windows() { return app_.windows(); }
    [[nodiscard]] rt::Dialogs& dialogs() { return app_.dialogs(); }
    [[nodiscard]] rt::SystemServices& services() { return app_.services(); }

    // The window's one instance, created and loaded by this first touch.
    rt::Form& form(Window window);
    // The window's instance if it was ever created, without loading it.
    [[nodiscard]] rt::Form* existing(Window window) const;
    [[nodiscard]] bool loaded(Window window) const;

    // Start-up has returned; the process ends once no window is loaded.
    void startup_returned() { startup_returned_ = true; }
    [[nodiscard]] bool ended() const { return startup_returned_ && !app_.any_form_loaded(); }

    // --- process-wide variables
    std::uint32_t ParentWindow = 0;  // window named after "/P" or "/A"
    std::string Hue;                 // background colour as decimal text
    std::string ImageName;           // path of the chosen picture
    std::int16_t UsePassword = 0;    // the desktop's password flag, read at saver start
    std::int16_t MouseMoveCount = 0;
    std::int16_t ExitRequested = 0;  // true = -1
    std::int32_t TickCounter = 0;    // the animation's tick counter
    std::int32_t TargetWidth = 0;    // size of the surface last given to the circle routine
    std::int32_t TargetHeight = 0;
    std::string PicturePath;         // picture chosen in the setup dialog since it opened
    std::string StoredPassword;      // the encoded saver password; empty = none
    std::int16_t PasswordOK = 0;     // the prompt's verdict (true = -1)

private:
    rt::App app_;
    WindowFactory factory_;
    std::array<std::unique_ptr<rt::Form>, kWindowCount> forms_;
    bool startup_returned_ = false;
};

inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

}  // namespace vellora
