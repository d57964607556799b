// What hides what on a form's client area, the one rule every platform
// paints by. The drawing layer (the back colour and the circles) lies at
// the bottom; the images lie over it in control order, a later one over an
// earlier one. An image draws its picture from its box's top-left corner,
// stretched into the box or at the picture's own size and cut off at the
// box. An opaque picture (a bitmap without a see-through pixel) hides what
// lies beneath the part of the box it fills; any other picture (an icon, a
// metafile, a GIF with a transparent colour, a PNG with alpha) hides
// nothing.
//
// compose() tells a platform, for the part of the client area it repaints,
// which pixels to copy from where: from the layer, plain back colour where
// the layer does not reach, and each image's picture. Each pixel is drawn
// once, except where a see-through picture lies over something else: those
// parts are composed (off screen, where the platform would otherwise show
// the layers one after the other).
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "runtime/platform.h"
#include "runtime/types.h"

namespace vellora::rt {

class Control;
class Form;
class Image;
struct PictureData;

// Rectangles that do not overlap.
using PixelRects = std::vector<PixelRect>;

[[nodiscard]] bool is_empty(const PixelRect& r);
[[nodiscard]] PixelRect intersection(const PixelRect& a, const PixelRect& b);
// What of `from` lies outside `cut`.
[[nodiscard]] PixelRects subtract(const PixelRects& from, const PixelRect& cut);

// A control's box in its form's client pixels, by the rounding rule of
// every runtime (an empty box for a negative size).
[[nodiscard]] PixelRect pixel_box(const Control& control, float twips_per_pixel_x, float twips_per_pixel_y);

// An image as the composition sees it.
struct PictureElement {
    PixelRect box;        // the image's box
    int width = 0;        // the size its picture is drawn at, from the box's top-left corner
    int height = 0;
    bool opaque = false;  // no see-through pixel
};

// What the platform knows of a decoded picture: its own size in pixels and
// whether it is opaque.
struct PictureLook {
    int width = 0;
    int height = 0;
    bool opaque = false;
};

struct ShownImage {
    const Image* image = nullptr;
    PictureElement element;
};

// The form's visible images with a picture, in control order, each drawn
// at the box's size when stretched and at its own size otherwise. `look`
// tells of a picture; nothing leaves out one the platform cannot draw.
[[nodiscard]] std::vector<ShownImage> shown_images(
    const Form& form, float twips_per_pixel_x, float twips_per_pixel_y,
    const std::function<std::optional<PictureLook>(const PictureData&)>& look);

struct Composition {
    PixelRects layer;                  // copied from the drawing layer
    PixelRects background;             // beyond the layer: the plain back colour
    std::vector<PixelRects> elements;  // one list per element, in its order: where its picture is drawn
    PixelRects composed;               // where a see-through picture lies over what is beneath it
};

// The part `area` of a client area whose drawing layer covers `layer`, with
// `elements` over it in control order.
[[nodiscard]] Composition compose(const PixelRects& area, const PixelRect& layer,
                                  std::span<const PictureElement> elements = {});
[[nodiscard]] Composition compose(const PixelRects& area, const PixelRect& layer,
                                  const std::vector<ShownImage>& shown);

// Whether a change of an image needs its old and its new box repainted:
// a new picture, stretch flag or visibility, or a move of its pixel box.
[[nodiscard]] bool image_needs_repaint(Change what, const PixelRect& was, const PixelRect& now);

}  // namespace vellora::rt
