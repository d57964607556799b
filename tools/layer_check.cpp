// Checks the layers of src/: every quoted include of a file must name its
// own folder or one that src/layers.txt allows for it, and no header may
// include itself through others (an include cycle).
//
//   layer_check <src dir>     prints each break and exits 1 if there is one
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// "platform/qt/form_window.h" -> "platform/qt"; "saver/main_form.h" -> "saver".
std::string folder_of(const std::string& path) {
    const auto first = path.find('/');
    if (first == std::string::npos) return {};
    if (path.compare(0, first, "platform") == 0) {
        const auto second = path.find('/', first + 1);
        return second == std::string::npos ? path.substr(0, first) : path.substr(0, second);
    }
    return path.substr(0, first);
}

std::map<std::string, std::set<std::string>> read_rules(const fs::path& file, bool& ok) {
    std::map<std::string, std::set<std::string>> rules;
    std::ifstream in(file);
    if (!in) {
        std::cerr << "layer_check: cannot read " << file << "\n";
        ok = false;
        return rules;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::istringstream allowed(line.substr(colon + 1));
        auto& set = rules[line.substr(0, colon)];
        for (std::string folder; allowed >> folder;) set.insert(folder);
    }
    return rules;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: layer_check <src dir>\n";
        return 2;
    }
    const fs::path src = argv[1];
    bool ok = true;
    const auto rules = read_rules(src / "layers.txt", ok);

    const std::regex include_line(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::map<std::string, std::vector<std::string>> includes;  // file -> the src files it includes
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
        const std::string file = fs::relative(entry.path(), src).generic_string();
        const std::string folder = folder_of(file);
        const auto rule = rules.count(file) != 0 ? rules.find(file) : rules.find(folder);
        if (rule == rules.end()) {
            std::cout << file << ": its folder \"" << folder << "\" has no line in layers.txt\n";
            ok = false;
            continue;
        }
        auto& mine = includes[file];
        std::ifstream in(entry.path());
        std::smatch match;
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            if (!std::regex_search(line, match, include_line)) continue;
            const std::string target = match[1];
            if (!fs::exists(src / target)) continue;  // not one of ours
            mine.push_back(target);
            const std::string to = folder_of(target);
            if (to != folder && rule->second.count(to) == 0) {
                std::cout << file << ":" << number << ": includes " << target << " (\"" << folder
                          << "\" may not reach \"" << to << "\")\n";
                ok = false;
            }
        }
    }

    // Include cycles: a depth-first walk that meets a file it is still inside.
    std::map<std::string, int> state;  // 1: on the walk's path, 2: done
    std::vector<std::string> path;
    const auto walk = [&](const auto& self, const std::string& file) -> void {
        state[file] = 1;
        path.push_back(file);
        for (const auto& next : includes[file]) {
            if (state[next] == 1) {
                std::cout << "include cycle:";
                for (auto it = std::find(path.begin(), path.end(), next); it != path.end(); ++it) std::cout << " " << *it;
                std::cout << " " << next << "\n";
                ok = false;
            } else if (state[next] == 0) {
                self(self, next);
            }
        }
        path.pop_back();
        state[file] = 2;
    };
    for (const auto& [file, targets] : includes) {
        if (state[file] == 0) walk(walk, file);
    }
    if (ok) std::cout << "layer_check: " << includes.size() << " files keep to their layers, no include cycles\n";
    return ok ? 0 : 1;
}
