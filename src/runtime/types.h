// Basic value types shared by the forms runtime and the windows built on it.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

namespace vellora::rt {

// A 24-bit RGB colour held in 32 bits, red in the low byte (0x00BBGGRR).
using Color = std::uint32_t;

constexpr Color rgb(int r, int g, int b) {
    return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int red_of(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int green_of(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blue_of(Color c) { return static_cast<int>((c >> 16) & 0xFF); }

// The system colours the windows ask for by number.
enum class SystemColor { WindowText = 8, ButtonFace = 15, ButtonShadow = 16 };

// Lengths and positions are twips (1/1440 inch), held in single precision.
using Twips = float;

// A point in pixels.
struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// A rectangle in pixels as the platform reports it (right and bottom exclusive).
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    [[nodiscard]] std::int32_t width() const { return right - left; }
    [[nodiscard]] std::int32_t height() const { return bottom - top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Non-client sizes of a window in pixels: border and title bar and menu bar.
struct FrameInsets {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const FrameInsets&, const FrameInsets&) = default;
};

// A window of another program, named by a number on the command line
// (an HWND on Windows, an X11 window id on Linux).
using ForeignWindow = std::uint32_t;

// Key codes delivered to forms (the Windows virtual-key numbers).
namespace keys {
inline constexpr std::int16_t Tab = 0x09;
inline constexpr std::int16_t Enter = 0x0D;
inline constexpr std::int16_t Escape = 0x1B;
inline constexpr std::int16_t Space = 0x20;
inline constexpr std::int16_t F1 = 0x70;
}  // namespace keys

// Mouse button bits that accompany mouse events.
namespace mouse {
inline constexpr std::int16_t Left = 1;
inline constexpr std::int16_t Right = 2;
inline constexpr std::int16_t Middle = 4;
}  // namespace mouse

// Shift state bits that accompany key and mouse events.
namespace shift {
inline constexpr std::int16_t Shift = 1;
inline constexpr std::int16_t Ctrl = 2;
inline constexpr std::int16_t Alt = 4;
}  // namespace shift

// Why a form is asked to unload.
enum class UnloadMode : std::int16_t {
    ControlMenu = 0,  // the user closed the window (system close command)
    Code = 1,         // the program asked for it
    WindowsSession = 2,
    TaskManager = 3,
};

// The answer of a query-unload: keep the form or let it go.
enum class UnloadResult { Unloaded, Refused };

enum class BorderStyle { None, FixedSingle, FixedDialog };

// The screen and the twips-per-pixel factors used to convert platform
// pixels. The screen is the primary monitor, whose top-left corner is the
// origin of all screen positions; the desktop is the area that all monitors
// together cover (the screen itself when there is one monitor), and may
// reach left of or above the origin.
struct ScreenMetrics {
    int width_px = 1024;
    int height_px = 768;
    float twips_per_pixel_x = 15.0F;
    float twips_per_pixel_y = 15.0F;
    std::optional<PixelRect> desktop_px;  // nothing: the screen alone

    [[nodiscard]] float width_twips() const { return static_cast<float>(width_px) * twips_per_pixel_x; }
    [[nodiscard]] float height_twips() const { return static_cast<float>(height_px) * twips_per_pixel_y; }
    [[nodiscard]] PixelRect desktop() const { return desktop_px.value_or(PixelRect{0, 0, width_px, height_px}); }
};

// Whole pixels from twips: the nearest pixel, halves to even, as the system
// rounds everywhere. Every runtime places windows and controls by this rule.
inline int twips_to_pixels(float twips, float twips_per_pixel) {
    return static_cast<int>(std::nearbyint(static_cast<double>(twips) / static_cast<double>(twips_per_pixel)));
}
inline float pixels_to_twips(double pixels, float twips_per_pixel) {
    return static_cast<float>(pixels) * twips_per_pixel;
}

}  // namespace vellora::rt
