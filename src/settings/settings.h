// The settings file "vellora.ini" (the colour and the picture path) and the
// desktop's password flag, which on Windows is a registry value. These
// routines read and write values only; the windows keep what they read in
// the process's variables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/platform.h"
#include "runtime/services.h"

namespace vellora::settings {

inline constexpr const char* kColorSection = "Color";
inline constexpr const char* kColorKey = "hue";
inline constexpr const char* kImageSection = "Image";
inline constexpr const char* kImageKey = "name";

// The stored colour as decimal text; "0" (black) when none is stored.
std::string ReadColor(rt::ProfileFile& file);
// Stores the colour text; false when the file could not be written.
bool WriteColor(rt::ProfileFile& file, const std::string& color);
// The stored picture path; "0" when none is stored.
std::string ReadImageName(rt::ProfileFile& file);
// Stores the picture path; false when the file could not be written.
bool WriteImageName(rt::ProfileFile& file, const std::string& path);
// Stores the choices that are given, the picture path and the colour text,
// in one rewrite of the file: both are stored, or neither. False when the
// file could not be written; true when stored, or when nothing was given.
bool WriteChoices(rt::ProfileFile& file, const std::optional<std::string>& image_name,
                  const std::optional<std::string>& color);

// A settings file that is there but cannot be read leaves every setting at
// its default. In run mode the saver has no place for a message: this
// reports it through the failure report, naming the folder, and says
// whether it did.
bool ReportUnreadable(rt::SystemServices& services);

// Reads one registry value as text: a DWORD as a decimal of at least three
// digits cut to three characters, a text without its terminating zero,
// other types as their raw bytes less the last one; failures give "".
std::string ReadRegString(rt::Registry& registry, std::uint32_t root, const std::string& key,
                          const std::string& value_name);

// The desktop's screen-saver password flag as a number: the registry value
// "ScreenSaveUsePassword" under HKEY_CURRENT_USER "Control Panel\Desktop"
// read the lenient way ("001" and "1" give 1), or the platform's own lock
// setting where it has no registry; 0 when neither says anything.
std::int16_t ReadDesktopPasswordFlag(rt::SystemServices& services);

// The colour a settings text stands for: its leading decimal number
// (rounded, clamped to the 32-bit range, a negative one taken as its two's
// complement), kept to 24 bits; text without digits gives black.
rt::Color color_from_text(const std::string& text);

}  // namespace vellora::settings
