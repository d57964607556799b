// How a photo is turned to be shown upright. A camera stores its pixels as
// the sensor read them and notes in the file's Exif data how to show them:
// the orientation, 1 (as stored) to 8. Platforms whose decoders honour the
// note themselves (Qt's auto-transform, WIC's metadata) use theirs; this
// reader is for where the platform says nothing.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/picture.h"

namespace vellora::rt {

// The Exif orientation of a JPEG (its APP1 Exif segment) or a TIFF (its
// first directory) from the file's first bytes: 1 to 8, or 1 when the
// bytes hold none, or hold it out of range or cut short.
[[nodiscard]] int exif_orientation(std::string_view head);

// True when the orientation turns the picture a quarter turn (5 to 8):
// its stored width is its shown height.
[[nodiscard]] constexpr bool turns_sides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The size a picture stored at `stored` shows at.
[[nodiscard]] constexpr PixelSize shown_size(PixelSize stored, int orientation) {
    return turns_sides(orientation) ? PixelSize{stored.height, stored.width} : stored;
}

struct PixelPlace {
    std::int64_t x = 0;
    std::int64_t y = 0;
    friend bool operator==(const PixelPlace&, const PixelPlace&) = default;
};

// Where the stored pixel (x, y) of a picture stored at `stored` is shown.
[[nodiscard]] constexpr PixelPlace shown_place(PixelPlace stored_place, PixelSize stored, int orientation) {
    const auto [x, y] = stored_place;
    const std::int64_t right = stored.width - 1 - x;  // counted from the other side
    const std::int64_t bottom = stored.height - 1 - y;
    switch (orientation) {
        case 2: return {right, y};        // mirrored left to right
        case 3: return {right, bottom};   // half a turn
        case 4: return {x, bottom};       // mirrored top to bottom
        case 5: return {y, x};            // mirrored along the diagonal
        case 6: return {bottom, x};       // a quarter turn clockwise
        case 7: return {bottom, right};   // mirrored along the other diagonal
        case 8: return {y, right};        // a quarter turn anticlockwise
        default: return {x, y};
    }
}

}  // namespace vellora::rt
