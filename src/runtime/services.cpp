#include "runtime/services.h"

namespace vellora::rt {

std::vector<FilterEntry> split_filter(const std::string& filter) {
    std::vector<std::string> parts;
    std::string current;
    for (char ch : filter) {
        if (ch == '|') {
            parts.push_back(current);
            current.clear();
        } else {
            current += ch;
        }
    }
    parts.push_back(current);
    std::vector<FilterEntry> entries;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) entries.push_back({parts[i], parts[i + 1]});
    return entries;
}

}  // namespace vellora::rt
