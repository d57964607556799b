// The saver's animation: every 400 ms the two pictures slide across the
// screen in opposite directions and wrap around, and three ticks of every
// cycle of 36 sprinkle a burst of random circles over the background.
#include "runtime/convert.h"
#include "runtime/picture.h"
#include "saver/main_form.h"
#include "saver/random_circles.h"

namespace vellora {

namespace {

constexpr float kImage1Step = 355;  // twips a tick, to the right
constexpr float kImage2Step = 455;  // twips a tick, to the left
constexpr float kImage2Drop = 400;  // how much lower Image2 comes back in
constexpr float kImage2Home = 300;  // Image2's top after it went below the screen
constexpr std::int32_t kCycle = 36;

}  // namespace

void MainForm::Timer1_Timer() {
    // Mouse movement asked for the end and that request could not finish
    // (refused, or still waiting on the prompt): ask once more, and stop
    // animating whatever the answer.
    if (process_.ExitRequested == kTrue) {
        Timer1.SetEnabled(false);
        Unload();
        if (!loaded()) return;
    }

    process_.TickCounter += 1;
    if (process_.TickCounter == 3 || process_.TickCounter == 13) DrawRandomCircle(process_, *this);
    if (process_.TickCounter > kCycle - 1) {
        DrawRandomCircle(process_, *this);
        process_.TickCounter = 0;
    }

    // The picture is looked at on every tick, so a file replaced on disk
    // shows at once; the picture service decodes it only when it changed.
    try {
        Image1.SetPicture(process_.app().LoadPicture(process_.ImageName));
    } catch (const rt::PictureError&) {
        Image1.SetPicture(nullptr);  // nothing to show this tick; the element keeps its size
    }

    Image1.SetLeft(Image1.Left() + kImage1Step);
    Image2.SetLeft(Image2.Left() - kImage2Step);

    // Image1 leaves on the right and comes back half a screen left of the
    // left edge; it drops below Image2 when it lies wholly above it.
    if (Image1.Left() > ScaleWidth()) {
        const double inner = ScaleWidth();
        Image1.SetLeft(static_cast<float>(-(inner - inner / 2)));
        const float image1_bottom = Image1.Top() + Image1.Width();
        if (image1_bottom < Image2.Top()) {
            Image1.SetTop(Image2.Top() + Image2.Width());
        }
    }

    // Image2 leaves two thirds of a screen beyond the left edge and comes
    // back at the right edge, one row lower.
    const double inner_width = ScaleWidth();
    const auto threshold = static_cast<float>(-(inner_width - inner_width / 3));
    if (Image2.Left() < threshold) {
        Image2.SetLeft(desktop_width());
        Image2.SetTop(Image2.Top() + kImage2Drop);
    }
    if (Image2.Top() > desktop_height()) Image2.SetTop(kImage2Home);
}

}  // namespace vellora
