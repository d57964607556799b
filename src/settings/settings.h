// The settings file "vellora.ini" (the colour and the picture path) and the
// one registry value the saver reads (the desktop's password flag).
#pragma once

#include <cstdint>
#include <string>

#include "runtime/services.h"
#include "startup/process.h"

namespace vellora {

inline constexpr const char* kSettingsFile = "vellora.ini";
inline constexpr const char* kColorSection = "Color";
inline constexpr const char* kColorKey = "hue";
inline constexpr const char* kImageSection = "Image";
inline constexpr const char* kImageKey = "name";

// Reads the colour into Hue, then gives it to the saver window as its
// background colour (which loads that window first when it is not loaded).
void ReadColor(Process& process);
// Hue := color; writes it to the settings file.
void WriteColor(Process& process, const std::string& color);
// Reads the picture path into ImageName ("0" when none is stored).
void ReadImageName(Process& process);
// ImageName := path; writes it to the settings file.
void WriteImageName(Process& process, const std::string& path);

// Reads one registry value as text: a DWORD as a decimal of at least three
// digits cut to three characters, a text without its terminating zero,
// other types as their raw bytes less the last one; failures give "".
std::string ReadRegString(rt::Registry& registry, std::uint32_t root, const std::string& key,
                          const std::string& value_name);

// The colour a settings text stands for: its leading decimal number
// (rounded, clamped to the 32-bit range, a negative one taken as its two's
// complement), kept to 24 bits; text without digits gives black.
rt::Color color_from_text(const std::string& text);

}  // namespace vellora
