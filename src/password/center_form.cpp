#include "password/center_form.h"

#include "runtime/app.h"

namespace vellora {

void CenterForm(rt::Form& form) {
    const rt::ScreenMetrics screen = form.app().screen();
    form.SetTop(static_cast<float>(static_cast<double>(screen.height_twips()) / 2 -
                                   static_cast<double>(form.Height()) / 2));
    form.SetLeft(static_cast<float>(static_cast<double>(screen.width_twips()) / 2 -
                                    static_cast<double>(form.Width()) / 2));
}

}  // namespace vellora
