// The settings file: arbitrary bytes as the file's text, then a series of
// reads and writes of arbitrary sections, keys and values. A written value
// reads back as written (less its surrounding blanks and anything from its
// first line break on), a write never changes what other keys read, a
// repeated write changes nothing, and names that cannot be stored leave the
// file alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "runtime/ini_file.h"

namespace {

using vellora::rt::IniFile;

constexpr std::string_view kBlanks = " \t\v\f\r";
constexpr const char* kMissing = "\x01missing";

std::string trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(kBlanks) - first + 1));
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool has_line_break(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// What a profile file can hold as a name.
bool storable(const std::string& section, const std::string& key) {
    const auto s = trim(section);
    const auto k = trim(key);
    if (s.empty() || k.empty() || has_line_break(s) || has_line_break(k)) return false;
    return k.find('=') == std::string::npos && k.front() != ';' && k.front() != '[';
}

bool same_entry(const std::string& s1, const std::string& k1, const std::string& s2, const std::string& k2) {
    return lower(trim(s1)) == lower(trim(s2)) && lower(trim(k1)) == lower(trim(k2));
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Name {
    std::string section;
    std::string key;
};

// A name for the next step: new, or one used before (in another letter case).
Name next_name(FuzzedDataProvider& in, const std::vector<Name>& used) {
    const auto choice = in.ConsumeIntegralInRange<int>(0, 3);
    Name name;
    if (choice == 0 || used.empty()) {
        name.section = in.ConsumeRandomLengthString(24);
        name.key = in.ConsumeRandomLengthString(24);
        return name;
    }
    const Name& old = used[in.ConsumeIntegralInRange<std::size_t>(0, used.size() - 1)];
    name.section = old.section;
    name.key = choice == 1 ? in.ConsumeRandomLengthString(24) : old.key;
    if (choice == 3) {
        for (char& c : name.key) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto path = vellora::fuzz::scratch_dir() / "vellora.ini";
    {
        const std::string text = in.ConsumeRandomLengthString(4096);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    IniFile ini(path);
    std::vector<Name> used;

    for (int step = 0; step < 16 && in.remaining_bytes() > 0; ++step) {
        const Name name = next_name(in, used);
        if (!in.ConsumeBool()) {
            const std::string value = ini.read(name.section, name.key, kMissing);
            if (value != kMissing) {
                VELLORA_FUZZ_CHECK(value.find('\n') == std::string::npos);
                VELLORA_FUZZ_CHECK(trim(value) == value);
            }
            used.push_back(name);
            continue;
        }

        const std::string value = in.ConsumeRandomLengthString(64);
        const std::string before = slurp(path);
        std::vector<std::string> others;
        for (const auto& u : used) others.push_back(ini.read(u.section, u.key, kMissing));

        const bool written = ini.write(name.section, name.key, value);
        const std::string after = slurp(path);

        if (!storable(name.section, name.key)) {
            VELLORA_FUZZ_CHECK(!written);
            VELLORA_FUZZ_CHECK(after == before);
            continue;
        }
        VELLORA_FUZZ_CHECK(written);
        const std::string back = ini.read(name.section, name.key, kMissing);
        VELLORA_FUZZ_CHECK(back == trim(value.substr(0, value.find_first_of("\r\n"))));
        if (!has_line_break(value) && trim(value) == value) VELLORA_FUZZ_CHECK(back == value);
        // Writing the same again changes nothing.
        VELLORA_FUZZ_CHECK(vellora::rt::ini_update(after, name.section, name.key, value) == after);
        for (std::size_t i = 0; i < used.size(); ++i) {
            if (same_entry(used[i].section, used[i].key, name.section, name.key)) continue;
            VELLORA_FUZZ_CHECK(ini.read(used[i].section, used[i].key, kMissing) == others[i]);
        }
        used.push_back(name);
    }
    return 0;
}
