// What hides what on a form: the layer beneath, the images over it in control order, opaque pictures hiding what
// lies beneath them. (The images' boxes, drawn sizes and visibility: the runtime contract's pixels.)
#include <gtest/gtest.h>

#include "runtime/compose.h"

namespace vellora::rt {
namespace {

constexpr PixelRect kArea{0, 0, 100, 100};

// What is drawn at one pixel, bottom first: "L" the layer, "B" the back colour, "0", "1" the images; "*": composed.
std::string at(const Composition& c, int x, int y) {
    const auto in = [x, y](const PixelRects& rects) {
        int n = 0;
        for (const auto& r : rects) n += x >= r.left && x < r.right && y >= r.top && y < r.bottom ? 1 : 0;
        EXPECT_LE(n, 1) << "overlapping rectangles at " << x << "," << y;
        return n == 1;
    };
    std::string drawn = in(c.layer) ? "L" : "";
    if (in(c.background)) drawn += "B";
    for (std::size_t i = 0; i < c.elements.size(); ++i) {
        if (in(c.elements[i])) drawn += std::to_string(i);
    }
    return (in(c.composed) ? "*" : "") + drawn;
}

// Every pixel of the area is drawn; outside the composed parts exactly once.
void expect_each_pixel_drawn(const Composition& c, const PixelRect& area) {
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const std::string drawn = at(c, x, y);
            if (drawn.starts_with("*")) {
                ASSERT_TRUE(drawn.size() >= 3 && (drawn[1] == 'L' || drawn[1] == 'B' || drawn[1] == '0')) << drawn;
            } else {
                ASSERT_EQ(drawn.size(), 1U) << drawn << " at " << x << "," << y;
            }
        }
    }
}

PictureElement element(PixelRect box, int width, int height, bool opaque) { return {box, width, height, opaque}; }

TEST(Compose,
     AnOpaquePictureHidesWhatIsBeneathASeeThroughOneNothingAndOnlyTheAreaIsDrawnWithTheBackColourBeyondTheLayer) {
    std::vector<PictureElement> two{element({10, 10, 50, 50}, 40, 40, true), element({30, 30, 70, 70}, 40, 40, true)};
    Composition c = compose({kArea}, kArea, two);
    expect_each_pixel_drawn(c, kArea);
    using Drawn = std::vector<std::string>;
    EXPECT_EQ((Drawn{at(c, 5, 5), at(c, 20, 20), at(c, 40, 40)}),
              (Drawn{"L", "0", "1"}));  // the later over the earlier
    EXPECT_TRUE(c.composed.empty());

    two[1].opaque = false;  // an icon, a metafile, a transparent GIF, a PNG with alpha
    c = compose({kArea}, kArea, two);
    expect_each_pixel_drawn(c, kArea);
    EXPECT_EQ((Drawn{at(c, 40, 40), at(c, 60, 60), at(c, 20, 20)}), (Drawn{"*01", "*L1", "0"}));
    two[0].opaque = false;
    c = compose({kArea}, kArea, two);
    EXPECT_EQ((Drawn{at(c, 40, 40), at(c, 20, 20)}), (Drawn{"*L01", "*L0"}));

    // Only the area is drawn, and beyond the layer the plain back colour shows.
    const PixelRects area{{0, 0, 100, 50}, {0, 50, 40, 100}};  // two rectangles, as a repaint may ask
    const std::vector<PictureElement> one{element({30, 30, 130, 60}, 100, 30, true)};  // partly outside the area
    c = compose(area, PixelRect{0, 0, 80, 80}, one);
    for (const auto& part : area) expect_each_pixel_drawn(c, part);
    EXPECT_EQ((Drawn{at(c, 90, 10), at(c, 90, 40), at(c, 35, 55), at(c, 60, 55), at(c, 35, 65)}),
              (Drawn{"B", "0", "0", "", "L"}));  // (60, 55) lies outside the area
}

}  // namespace
}  // namespace vellora::rt
