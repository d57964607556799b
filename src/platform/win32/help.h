// The help viewer: the help file is plain text, shown in a read-only
// multi-line EDIT in a top-level window of its own, from its beginning.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/platform.h"

namespace vellora::win32 {

// Where a bare help-file name is looked for: beside the program, then the
// current directory, then the Windows directory. A name with a directory
// part is taken as it is.
std::vector<std::string> help_file_candidates(const std::string& help_file);

// Text for a multi-line EDIT: every line break as CR LF.
std::string with_crlf_line_breaks(const std::string& text);

class HelpViewer {
public:
    explicit HelpViewer(WindowSystem& system) : system_(system) {}
    ~HelpViewer();
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // Shows the file (or where it was looked for), opening the window when needed.
    void open(const std::string& help_file);
    // The viewer's window while it is open.
    [[nodiscard]] HWND hwnd() const;

    static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void create();
    static std::string load(const std::string& help_file);

    WindowSystem& system_;
    HWND hwnd_ = nullptr;
    HWND edit_ = nullptr;
};

}  // namespace vellora::win32
