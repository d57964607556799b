// What the contract suite needs of a runtime: its platform, and a user's hands and eyes on it (platform/*/driver.cpp).
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/form.h"
#include "support/picture_files.h"

namespace vellora::contract {

inline constexpr std::int16_t kBackspace = 0x08;

enum class DialogKind { Message, Color, File };
// The next dialog's answer: OK (a colour dialog with `color`, a file dialog with `file` typed in) or cancel.
struct DialogAnswer {
    DialogKind kind;
    bool ok;
    rt::Color color;
    std::string file;
};
// What the last answered dialog showed when it opened.
struct DialogSeen {
    std::string text, title;
    std::optional<rt::Color> color;
    std::string file_type;  // the selected entry of the file-type list
    std::optional<std::vector<std::string>> files;  // the files it lists (sorted), where the runtime shows any
};

class Driver {
public:
    virtual ~Driver() = default;
    [[nodiscard]] virtual rt::Platform& platform() = 0;
    // A key pressed (rt::shift bits held) where the form has the keyboard.
    virtual void key(rt::Form& form, std::int16_t key, std::int16_t shift = 0) = 0;
    virtual void click(rt::CommandButton& button) = 0;
    virtual void close(rt::Form& form) = 0;  // the close command of the window's frame
    // Runs `action` from the event loop `ms` from now (inside a modal show, say).
    virtual void later(int ms, std::function<void()> action) = 0;
    [[nodiscard]] virtual std::string shown_text(rt::TextBox& box) = 0;
    [[nodiscard]] virtual std::string failures() = 0;  // every failed handler reported so far
    virtual void answer_next(const DialogAnswer& answer) = 0;  // from inside the dialog
    [[nodiscard]] virtual DialogSeen seen() { return seen_; }
    // A picture file of `width` x `height` pixels at 96 dots per inch.
    virtual void write_picture(const std::string& path, int width, int height) {
        testing::write_file(path, testing::bmp_bytes(width, height, rt::rgb(200, 30, 40)));
    }
    // A copy of a JPEG of make_pictures.sh, `width` x `height` pixels as stored.
    virtual void write_photo(const std::string& path, const std::string& name, int /*width*/, int /*height*/) {
        std::filesystem::copy_file(testing::test_picture(name), path, std::filesystem::copy_options::overwrite_existing);
    }
    // The colour of a pixel of the form's client area as the screen shows it; nothing on a runtime without pixels.
    [[nodiscard]] virtual std::optional<rt::Color> shown_pixel(rt::Form& form, int x, int y) = 0;
    // The system's news that the display changed, to every window (false: no system here).
    virtual bool change_display(const std::vector<rt::Form*>& /*forms*/) { return false; }
    // The modification time, where a file is known by its size and time alone.
    virtual void copy_time(const std::string& /*from*/, const std::string& /*to*/) {}
    // The picture written again into the same file, dated a minute later (a quick rewrite may keep the clock's tick).
    virtual void rewrite_picture(const std::string& path, int width, int height) {
        const auto before = std::filesystem::last_write_time(path);
        write_picture(path, width, height);
        std::filesystem::last_write_time(path, before + std::chrono::minutes(1));
    }

protected:
    DialogSeen seen_;
};

std::unique_ptr<Driver> make_driver();

}  // namespace vellora::contract
