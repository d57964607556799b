// Centres a window on the screen.
#pragma once

#include "runtime/form.h"

namespace vellora {

// Top first, then left, each half the screen less half the window, kept to
// single precision without rounding to whole twips.
void CenterForm(rt::Form& form);

}  // namespace vellora
