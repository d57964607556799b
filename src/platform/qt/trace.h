// The trace (VELLORA_TRACE): one line in a text file for each thing a user
// would see happen (a window shown, a dialog active, a picture decoded), and
// where the runtime took the pointer to rest and when the screens changed.
// The end-to-end tests wait for its lines, so their wording stays as it is.
#pragma once

#include <filesystem>
#include <string>

namespace vellora::qt {

class Trace {
public:
    // No file: nothing is written.
    explicit Trace(std::filesystem::path file = {}) : file_(std::move(file)) {}

    [[nodiscard]] bool on() const { return !file_.empty(); }
    // Appends one line; line breaks inside it are written as \r and \n.
    void line(const std::string& text) const;

private:
    std::filesystem::path file_;
};

}  // namespace vellora::qt
