// Small text helpers that every layer uses. Letter case is ASCII's only:
// the program's texts are in a single-byte code page, whose other letters
// keep their case, as the system's own case rules do for the password.
#pragma once

#include <string>
#include <string_view>

namespace vellora::rt {

constexpr char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string to_upper(std::string text);
std::string to_lower(std::string text);

// True when both names are equal without regard to ASCII letter case.
bool same_name(std::string_view a, std::string_view b);

// The text without the given characters at either end (blanks and tabs by default).
std::string_view trim(std::string_view text, std::string_view blanks = " \t");
// The text without trailing blanks (' ' only).
std::string trim_right_blanks(std::string text);

// The value of an environment variable; "" when it is not set.
std::string env(const char* name);

}  // namespace vellora::rt
