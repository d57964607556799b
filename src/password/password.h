// The saver's own password: its encoding and where it is stored.
#pragma once

#include <string>

#include "runtime/services.h"

namespace vellora {

inline constexpr const char* kPasswordApplication = "Samples";
inline constexpr const char* kPasswordSection = "Oskel Screen Saver";
inline constexpr const char* kPasswordKey = "Password";

// The encoded form of a typed password: upper-cased, cut to 20 characters,
// each character shifted by 14 + 4 x its position into the codes 33..126.
std::string EncodePassword(const std::string& text);

// The stored (encoded) password, "" when none is stored.
std::string ReadStoredPassword(rt::UserStore& store);
// Stores an encoded password; "" removes the password.
bool SaveStoredPassword(rt::UserStore& store, const std::string& encoded);

}  // namespace vellora
