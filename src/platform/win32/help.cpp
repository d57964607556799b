#include "platform/win32/help.h"

#include <algorithm>
#include <optional>

#include "runtime/failure.h"

namespace vellora::win32 {

namespace {

std::string module_directory(HINSTANCE instance) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(instance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string with_backslash(const char* dir, std::size_t n) {
    std::string out(dir, n);
    if (!out.empty() && out.back() != '\\') out += '\\';
    return out;
}

std::string windows_directory() {
    char dir[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return {};
    return with_backslash(dir, n);
}

std::string current_directory() {
    char dir[MAX_PATH + 1] = {};
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, dir);
    if (n == 0 || n > MAX_PATH) return {};
    return with_backslash(dir, n);
}

std::optional<std::string> read_whole_file(const std::string& path) {
    const KernelHandle file = own_file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string text;
    char chunk[8192];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) != FALSE && got > 0) text.append(chunk, got);
    return text;
}

}  // namespace

std::vector<std::string> help_file_candidates(const std::string& help_file) {
    if (help_file.find_first_of("\\/:") != std::string::npos) return {help_file};
    std::vector<std::string> out;
    for (const auto& dir : {module_directory(nullptr), current_directory(), windows_directory()}) {
        if (dir.empty()) continue;
        auto candidate = dir + help_file;
        if (std::find(out.begin(), out.end(), candidate) == out.end()) out.push_back(std::move(candidate));
    }
    return out;
}

std::string with_crlf_line_breaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

HelpViewer::~HelpViewer() {
    if (hwnd_ != nullptr && IsWindow(hwnd_) != FALSE) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void HelpViewer::open(const std::string& help_file) {
    if (hwnd_ == nullptr || IsWindow(hwnd_) == FALSE) create();
    if (hwnd_ == nullptr) return;
    SetWindowTextA(edit_, with_crlf_line_breaks(load(help_file)).c_str());
    SendMessageA(edit_, EM_SETSEL, 0, 0);
    SendMessageA(edit_, EM_SCROLLCARET, 0, 0);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    SetFocus(edit_);
}

HWND HelpViewer::hwnd() const { return hwnd_ != nullptr && IsWindow(hwnd_) != FALSE ? hwnd_ : nullptr; }

LRESULT CALLBACK HelpViewer::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lp)->lpCreateParams));
    }
    auto* self = reinterpret_cast<HelpViewer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(hwnd, msg, wp, lp);
    LRESULT result = 0;
    rt::guarded(self->system_.services(), [&] { result = self->handle(hwnd, msg, wp, lp); });
    return result;
}

LRESULT HelpViewer::handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            if (edit_ != nullptr) MoveWindow(edit_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
            return 0;
        case WM_SETFOCUS:
            if (edit_ != nullptr) SetFocus(edit_);
            return 0;
        case WM_NCDESTROY:
            hwnd_ = nullptr;
            edit_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void HelpViewer::create() {
    const int w = 560;
    const int h = 440;
    const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
    const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
    // Top-most, so that it is not hidden behind the top-most setup dialog.
    hwnd_ = CreateWindowExA(WS_EX_TOPMOST, kHelpClass, kHelpTitle, WS_OVERLAPPEDWINDOW, x, y, w, h, nullptr, nullptr,
                            system_.instance(), this);
    if (hwnd_ == nullptr) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    edit_ = CreateWindowExA(0, "EDIT", "",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                            client.right, client.bottom, hwnd_, nullptr, system_.instance(), nullptr);
    SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(system_.font(false)), FALSE);
    SendMessageA(edit_, EM_SETLIMITTEXT, 0, 0);
}

std::string HelpViewer::load(const std::string& help_file) {
    const auto candidates = help_file_candidates(help_file);
    for (const auto& path : candidates) {
        if (auto text = read_whole_file(path)) return *text;
    }
    std::string text = "The help file \"" + help_file + "\" could not be found.\n\nLooked for it here:\n";
    for (const auto& path : candidates) text += "    " + path + "\n";
    return text;
}

}  // namespace vellora::win32
