// The runtime's side of one process: the platform, the picture service, the
// random source and the book of loaded forms. The program's own process-wide
// variables live in its own state object, which holds an App.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/picture.h"
#include "runtime/platform.h"
#include "runtime/random.h"

namespace vellora::rt {

class Form;

class App {
public:
    explicit App(Platform& platform);
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    [[nodiscard]] Platform& platform() const { return platform_; }
    [[nodiscard]] WindowSystem& windows() const { return platform_.windows(); }
    [[nodiscard]] Dialogs& dialogs() const { return platform_.dialogs(); }
    [[nodiscard]] SystemServices& services() const { return platform_.services(); }
    [[nodiscard]] PictureService& pictures() { return pictures_; }
    [[nodiscard]] Random& random() { return random_; }

    // Loads a picture (empty path: empty picture); throws PictureError.
    [[nodiscard]] Picture LoadPicture(const std::string& path) { return pictures_.load(path); }
    [[nodiscard]] ScreenMetrics screen() const { return windows().screen(); }

    // The application's help file, opened by F1.
    [[nodiscard]] const std::string& HelpFile() const { return help_file_; }
    void SetHelpFile(std::string file) { help_file_ = std::move(file); }

    // Sends a keystroke to the active window; it has been handled when this
    // returns (handlers it starts run nested inside the call).
    void SendKey(std::int16_t key, std::int16_t shift_state = 0);

    // Shows the cursor until the display counter allows it again.
    void ShowCursorAgain();

    // --- forms
    [[nodiscard]] const std::vector<Form*>& loaded_forms() const { return loaded_; }
    [[nodiscard]] bool any_form_loaded() const { return !loaded_.empty(); }
    [[nodiscard]] Form* active_form() const { return active_; }
    void set_active_form(Form* form);

    // Called by forms.
    void form_loaded(Form& form);
    void form_unloaded(Form& form);

    // Dispatches events until `done` holds (nested loops allowed).
    void run_until(const std::function<bool()>& done) { windows().run_until(done); }

private:
    Platform& platform_;
    PictureService pictures_;
    Random random_;
    std::string help_file_;
    std::vector<Form*> loaded_;
    Form* active_ = nullptr;
};

}  // namespace vellora::rt
