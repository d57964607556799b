#include "platform/qt/hack_mode.h"

#include <QTimer>

#include "platform/qt/form_window.h"
#include "platform/qt/platform.h"
#include "runtime/failure.h"
#include "runtime/form.h"
#include "runtime/text.h"

namespace vellora::qt {

// ------------------------------------------------------------------ the arguments

std::optional<std::uint32_t> parse_window_id(const std::string& text) {
    std::string t(rt::trim(text, " \t\n\v\f\r"));
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t = t.substr(2);
    }
    if (t.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char ch : t) {
        int digit = -1;
        if (ch >= '0' && ch <= '9') digit = ch - '0';
        if (base == 16 && ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
        if (base == 16 && ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
        if (digit < 0) return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFULL) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<HackArguments> parse_hack_arguments(const std::vector<std::string>& args,
                                                  const std::string& xscreensaver_window) {
    std::optional<HackArguments> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (a.rfind("--", 0) == 0) a = a.substr(1);  // "--root" is "-root"
        if (a == "-root") {
            if (!out) out.emplace();
            out->root = true;
        } else if (a == "-window-id" && i + 1 < args.size()) {
            const auto id = parse_window_id(args[++i]);
            if (!id) return std::nullopt;
            if (!out) out.emplace();
            out->window = id;
        } else if (a.rfind("-window-id=", 0) == 0) {
            const auto id = parse_window_id(a.substr(11));
            if (!id) return std::nullopt;
            if (!out) out.emplace();
            out->window = id;
        }
    }
    if (out && out->root && !out->window && !xscreensaver_window.empty()) {
        out->window = parse_window_id(xscreensaver_window);
    }
    return out;
}

std::string join_arguments(const std::vector<std::string>& args) {
    std::string out;
    for (const auto& a : args) {
        if (!out.empty()) out += ' ';
        out += a;
    }
    return out;
}

// ------------------------------------------------------------------ the host window

HackHost::HackHost(QtWindowSystem& windows, std::uint32_t host) : windows_(windows), host_(host) {}

HackHost::~HackHost() = default;

void HackHost::look_up_size() {
    if (width_ > 0) return;
    if (const auto r = windows_.client_rect(host_)) {
        width_ = r->right - r->left;
        height_ = r->bottom - r->top;
    }
}

int HackHost::width() {
    look_up_size();
    return width_;
}

int HackHost::height() {
    look_up_size();
    return height_;
}

void HackHost::follow(FormWidget* window) {
    window_ = window;
    if (poll_) return;
    poll_ = std::make_unique<QTimer>();
    QObject::connect(poll_.get(), &QTimer::timeout, poll_.get(),
                     [this] { rt::guarded(windows_.services(), [this] { poll(); }); });
    poll_->start(250);
}

void HackHost::forget(const FormWidget* window) {
    if (window_ == window) window_ = nullptr;
}

void HackHost::poll() {
    const auto r = windows_.client_rect(host_);
    if (!r) {
        // The window we draw in is gone: nothing left to do.
        if (window_ != nullptr) {
            if (auto* form = window_->form()) form->Unload(rt::UnloadMode::TaskManager);
        }
        windows_.request_quit();
        return;
    }
    const int w = r->right - r->left;
    const int h = r->bottom - r->top;
    if (w != width_ || h != height_) {
        width_ = w;
        height_ = h;
        if (window_ != nullptr) window_->host_resized(w, h);
        windows_.trace().line("hack window size " + std::to_string(w) + "x" + std::to_string(h));
    }
}

}  // namespace vellora::qt
