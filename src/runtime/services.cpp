#include "runtime/services.h"

namespace vellora::rt {

RelocatingProfileFile::RelocatingProfileFile(ProfileFile& shared, ProfileFile& own, std::function<bool()> own_exists,
                                             std::function<bool()> make_own)
    : shared_(shared), own_(own), own_exists_(std::move(own_exists)), make_own_(std::move(make_own)) {}

std::string RelocatingProfileFile::read(const std::string& section, const std::string& key,
                                        const std::string& fallback) {
    return in_use().read(section, key, fallback);
}

WriteResult RelocatingProfileFile::write_all(const std::vector<ProfileEntry>& entries) {
    if (!own_exists_()) {
        const WriteResult shared = shared_.write_all(entries);
        if (shared != WriteResult::Denied) return shared;
        tried_own_ = true;
        if (!make_own_()) return WriteResult::Failed;
    }
    tried_own_ = true;
    return own_.write_all(entries);
}

bool RelocatingProfileFile::readable() { return in_use().readable(); }

std::string RelocatingProfileFile::location() const {
    return tried_own_ || own_exists_() ? own_.location() : shared_.location();
}

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
