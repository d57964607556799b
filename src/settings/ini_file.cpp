#include "settings/ini_file.h"
// placeholder until the profile layer lands
namespace vellora::settings {
std::optional<std::string> ini_lookup(const std::string&, const std::string&, const std::string&) { return std::nullopt; }
std::string ini_update(const std::string& t, const std::string&, const std::string&, const std::string&) { return t; }
IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {}
std::string IniFile::read(const std::string&, const std::string&, const std::string& f) { return f; }
bool IniFile::write(const std::string&, const std::string&, const std::string&) { return false; }
}
