#include "platform/qt/hack_mode.h"

#include <cctype>

namespace vellora::qt {

std::optional<std::uint32_t> parse_window_id(const std::string& text) {
    std::string t = text;
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front())) != 0) t.erase(t.begin());
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back())) != 0) t.pop_back();
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

}  // namespace vellora::qt
