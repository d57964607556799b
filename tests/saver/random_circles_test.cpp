// A burst of random circles: how many, where the band and the scattered
// circles lie, their colours and sizes, and surfaces of unusual widths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "runtime/random.h"
#include "saver/random_circles.h"
#include "saver/saver_rig.h"

namespace vellora {
namespace {

using testing::SaverRig;

struct Drawn {
    float x, y, radius;
    rt::Color outline, fill;
};

class RecordingSurface final : public rt::Surface {
public:
    RecordingSurface(float width, float height) : width_(width), height_(height) {}
    [[nodiscard]] float Width() const override { return width_; }
    [[nodiscard]] float Height() const override { return height_; }
    [[nodiscard]] rt::Color FillColor() const override { return fill_; }
    void SetFillColor(rt::Color color) override {
        fill_ = color;
        ++fill_sets;
    }
    void Circle(float x, float y, float radius, rt::Color color) override {
        circles.push_back({x, y, radius, color, fill_});
    }
    std::vector<Drawn> circles;
    int fill_sets = 0;

private:
    float width_, height_;
    rt::Color fill_ = 0;
};

// The circle of pass i: pass 0 is circle 0, pass 1 draws circles 1 and 2,
// pass i > 1 is circle i + 1.
const Drawn& pass(const RecordingSurface& s, int i, bool second = false) {
    const int index = i == 0 ? 0 : i == 1 ? (second ? 2 : 1) : i + 1;
    return s.circles.at(static_cast<std::size_t>(index));
}

TEST(RandomCircles, ABurstHasABandAlongTheTopAndScatteredCircles) {
    SaverRig rig;
    rig.process.TickCounter = 13;
    RecordingSurface surface(15360.4F, 11520);
    DrawRandomCircle(rig.process, surface);

    EXPECT_EQ(rig.process.TargetWidth, 15360);
    EXPECT_EQ(rig.process.TargetHeight, 11520);
    ASSERT_EQ(surface.circles.size(), 202U);
    EXPECT_EQ(surface.fill_sets, 201);

    // Pass 1 draws twice with the same point, size and colour.
    const Drawn& extra = pass(surface, 1);
    const Drawn& odd = pass(surface, 1, true);
    EXPECT_EQ(extra.y, 1 + 13);
    EXPECT_EQ(odd.x, extra.x - 1);
    EXPECT_EQ(odd.radius, extra.radius);
    EXPECT_EQ(odd.outline, extra.outline);

    for (int i = 0; i <= 200; ++i) {
        const Drawn& c = i == 1 ? odd : pass(surface, i);
        EXPECT_EQ(c.outline, c.fill) << "pass " << i;
        EXPECT_LE(c.outline, 0xFFFFFFU);
        EXPECT_GE(c.radius, 0);
        EXPECT_LE(c.radius, std::nearbyint(15360.0F / 200));  // 77 twips, about 5 pixels
        EXPECT_EQ(c.radius, std::nearbyint(c.radius));
        if (i % 2 == 0) {
            EXPECT_EQ(c.y, i + 13) << "pass " << i;  // the band moves with the tick counter
            EXPECT_GE(c.x, 0);
            EXPECT_LE(c.x, 15360);
        } else {
            // Moved i left and i up from a point on the surface.
            EXPECT_GE(c.x, -i);
            EXPECT_LE(c.x, 15360 - i);
            EXPECT_GE(c.y, -i);
            EXPECT_LE(c.y, 11520 - i);
        }
    }
    // The scattered circles reach down the whole surface, the band does not.
    float lowest = 0;
    for (const auto& c : surface.circles) lowest = std::max(lowest, c.y);
    EXPECT_GT(lowest, 11520 / 2);
}

TEST(RandomCircles, EachPassDrawsXThenYThenColourThenRadius) {
    SaverRig rig;
    RecordingSurface surface(15360, 11520);
    DrawRandomCircle(rig.process, surface);

    rt::Random same;  // the source starts the same way in every process
    const float x = same.next();
    (void)same.next();  // y, unused on an even pass
    const float c = same.next();
    const float r = same.next();
    const Drawn& first = pass(surface, 0);
    EXPECT_EQ(first.x, std::nearbyint(x * 15360.0F));
    EXPECT_EQ(first.y, 0);
    EXPECT_EQ(first.outline, static_cast<rt::Color>(std::nearbyint(c * 16777215.0F)));
    EXPECT_EQ(first.radius, std::nearbyint(r * 15360.0F / 200.0F));

    // Pass 1 uses its y; every pass consumed four values, used or not.
    const float x1 = same.next();
    const float y1 = same.next();
    (void)same.next();
    (void)same.next();
    EXPECT_EQ(pass(surface, 1, true).x, std::nearbyint(x1 * 15360.0F) - 1);
    EXPECT_EQ(pass(surface, 1, true).y, std::nearbyint(y1 * 11520.0F) - 1);
    for (int i = 2; i < 6; ++i) (void)same.next(), (void)same.next(), (void)same.next(), (void)same.next();
    EXPECT_EQ(pass(surface, 6).x, std::nearbyint(same.next() * 15360.0F));
}

TEST(RandomCircles, ASurfaceOfNoWidthGetsDotsAlongItsLeftEdge) {
    SaverRig rig;
    RecordingSurface surface(0.4F, 300);
    DrawRandomCircle(rig.process, surface);
    ASSERT_EQ(surface.circles.size(), 202U);
    EXPECT_EQ(rig.process.TargetWidth, 0);
    for (int i = 0; i <= 200; ++i) {
        const Drawn& c = i == 1 ? pass(surface, 1, true) : pass(surface, i);
        EXPECT_EQ(c.x, i % 2 == 0 ? 0.0F : static_cast<float>(-i)) << "pass " << i;
        EXPECT_EQ(c.radius, 0);
    }
}

TEST(RandomCircles, AVeryWideScreenGetsCirclesOverItsWholeWidth) {
    SaverRig rig;
    rig.platform.set_screen({3840, 2160, 15.0F, 15.0F});
    rig.choose_picture("", false);
    rig.start();
    rig.platform.advance(3 * 400);
    const auto& circles = rig.screen().circles;
    ASSERT_EQ(circles.size(), 202U);
    EXPECT_EQ(rig.process.TargetWidth, 57600);
    EXPECT_EQ(rig.process.TargetHeight, 32400);
    float rightmost = 0;
    for (const auto& c : circles) {
        rightmost = std::max(rightmost, c.x);
        EXPECT_LE(c.x, 57600);
        EXPECT_LE(c.radius, 57600.0F / 200);
    }
    EXPECT_GT(rightmost, 0.75F * 57600);
}

}  // namespace
}  // namespace vellora
