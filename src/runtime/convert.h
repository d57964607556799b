// Number conversions of the runtime.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace vellora::rt {

// Reads a number from text the lenient way: leading blanks skipped, then an
// optional sign and the leading digits (with a decimal fraction); anything
// after them is ignored, and text without digits gives 0.
double Val(const std::string& text);

// Rounds to the nearest whole number, halves to even.
inline double round_half_even(double v) { return std::nearbyint(v); }

// Rounds to the nearest 16-bit / 32-bit integer, halves to even; values out
// of range are clamped to the type's limits.
std::int16_t to_int16(double v);
std::int32_t to_int32(double v);

}  // namespace vellora::rt
