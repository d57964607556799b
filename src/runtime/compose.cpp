#include "runtime/compose.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "runtime/form.h"
#include "runtime/picture.h"

namespace vellora::rt {

namespace {

// The pixels a picture fills: its box, or of its box the part that a
// picture drawn at its own size reaches.
PixelRect filled(const PictureElement& e) {
    if (e.width <= 0 || e.height <= 0) return {};
    const auto reach = [](std::int32_t from, int size, std::int32_t limit) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{from} + size, limit));
    };
    return intersection(e.box, PixelRect{e.box.left, e.box.top, reach(e.box.left, e.width, e.box.right),
                                         reach(e.box.top, e.height, e.box.bottom)});
}

PixelRects clipped(const PixelRects& rects, const PixelRect& to) {
    PixelRects out;
    for (const auto& r : rects) {
        const PixelRect part = intersection(r, to);
        if (!is_empty(part)) out.push_back(part);
    }
    return out;
}

}  // namespace

bool is_empty(const PixelRect& r) { return r.right <= r.left || r.bottom <= r.top; }

PixelRect intersection(const PixelRect& a, const PixelRect& b) {
    const PixelRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
    return is_empty(r) ? PixelRect{} : r;
}

PixelRects subtract(const PixelRects& from, const PixelRect& cut) {
    PixelRects out;
    for (const auto& r : from) {
        const PixelRect inside = intersection(r, cut);
        if (is_empty(inside)) {
            if (!is_empty(r)) out.push_back(r);
            continue;
        }
        // The bands above and below the cut, then left and right of it.
        if (r.top < inside.top) out.push_back({r.left, r.top, r.right, inside.top});
        if (inside.bottom < r.bottom) out.push_back({r.left, inside.bottom, r.right, r.bottom});
        if (r.left < inside.left) out.push_back({r.left, inside.top, inside.left, inside.bottom});
        if (inside.right < r.right) out.push_back({inside.right, inside.top, r.right, inside.bottom});
    }
    return out;
}

PixelRect pixel_box(const Control& control, float twips_per_pixel_x, float twips_per_pixel_y) {
    const int left = twips_to_pixels(control.Left(), twips_per_pixel_x);
    const int top = twips_to_pixels(control.Top(), twips_per_pixel_y);
    return {left, top, left + std::max(0, twips_to_pixels(control.Width(), twips_per_pixel_x)),
            top + std::max(0, twips_to_pixels(control.Height(), twips_per_pixel_y))};
}

std::vector<ShownImage> shown_images(const Form& form, float twips_per_pixel_x, float twips_per_pixel_y,
                                     const std::function<std::optional<PictureLook>(const PictureData&)>& look) {
    std::vector<ShownImage> shown;
    for (const auto* c : form.controls()) {
        if (c->kind() != ControlKind::Image || !c->Visible()) continue;
        const auto& image = static_cast<const Image&>(*c);
        const auto& picture = image.GetPicture();
        if (!picture) continue;
        const auto seen = look(*picture);
        if (!seen) continue;
        const PixelRect box = pixel_box(image, twips_per_pixel_x, twips_per_pixel_y);
        PictureElement e{box, seen->width, seen->height, seen->opaque};
        if (image.Stretch()) {
            e.width = box.width();
            e.height = box.height();
        }
        shown.push_back({&image, e});
    }
    return shown;
}

Composition compose(const PixelRects& area, const PixelRect& layer, std::span<const PictureElement> elements) {
    Composition out;
    out.elements.resize(elements.size());
    PixelRects ground;
    std::copy_if(area.begin(), area.end(), std::back_inserter(ground), [](const PixelRect& r) { return !is_empty(r); });
    // From the top down: what an opaque picture fills is hidden from
    // everything beneath it, the layer included.
    std::vector<PixelRect> hiding;
    for (std::size_t k = elements.size(); k-- > 0;) {
        const PixelRect fills = filled(elements[k]);
        if (is_empty(fills)) continue;
        PixelRects shown = clipped(area, fills);
        for (const auto& above : hiding) shown = subtract(shown, above);
        if (elements[k].opaque) {
            hiding.push_back(fills);
            ground = subtract(ground, fills);
        } else {
            PixelRects fresh = shown;
            for (const auto& known : out.composed) fresh = subtract(fresh, known);
            out.composed.insert(out.composed.end(), fresh.begin(), fresh.end());
        }
        out.elements[k] = std::move(shown);
    }
    out.layer = clipped(ground, layer);
    out.background = subtract(ground, layer);
    return out;
}

Composition compose(const PixelRects& area, const PixelRect& layer, const std::vector<ShownImage>& shown) {
    std::vector<PictureElement> elements;
    elements.reserve(shown.size());
    for (const auto& s : shown) elements.push_back(s.element);
    return compose(area, layer, elements);
}

bool image_needs_repaint(Change what, const PixelRect& was, const PixelRect& now) {
    return was != now || has(what, Change::Image) || has(what, Change::Visible);
}

}  // namespace vellora::rt
