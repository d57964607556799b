#include "saver/random_circles.h"

#include <cstdint>

#include "runtime/convert.h"
#include "runtime/random.h"

namespace vellora {

namespace {

// The largest 24-bit colour: any RGB value, red in the low byte.
constexpr float kColorRange = 16777215.0F;

// A random product, taken in single precision and rounded halves to even.
std::int32_t nearest(float product) { return rt::to_int32(static_cast<double>(product)); }

}  // namespace

void DrawRandomCircle(Process& process, rt::Surface& surface) {
    // 32-bit sizes: a surface wider than 32767 twips (a screen of more than
    // 2184 pixels) still gets circles over its whole width.
    process.TargetWidth = rt::to_int32(static_cast<double>(surface.Width()));
    process.TargetHeight = rt::to_int32(static_cast<double>(surface.Height()));
    const auto width = static_cast<float>(process.TargetWidth);
    const auto height = static_cast<float>(process.TargetHeight);
    rt::Random& rnd = process.app().random();

    for (std::int32_t i = 0; i <= 200; ++i) {
        // Four draws on every pass, in this order, whichever the pass uses.
        const std::int32_t x = nearest(rnd.next() * width);
        const std::int32_t y = nearest(rnd.next() * height);
        const std::int32_t c = nearest(rnd.next() * kColorRange);
        const std::int32_t r = nearest(rnd.next() * width / 200.0F);

        const auto color = static_cast<rt::Color>(c);
        const auto radius = static_cast<float>(r);
        // The band along the top edge moves down with the tick counter.
        const auto band_y = static_cast<float>(static_cast<std::int64_t>(i) + process.TickCounter);
        surface.SetFillColor(color);
        if (i == 1) surface.Circle(static_cast<float>(x), band_y, radius, color);
        if (i % 2 == 0) {
            surface.Circle(static_cast<float>(x), band_y, radius, color);
        } else {
            surface.Circle(static_cast<float>(x - i), static_cast<float>(y - i), radius, color);
        }
    }
}

}  // namespace vellora
