// One burst of 202 small random circles, sprinkled over a drawing surface:
// the saver window on three ticks of every cycle, the preview box on every
// tick.
#pragma once

#include "runtime/form.h"
#include "app/process.h"

namespace vellora {

// Draws 201 passes: a band of circles along the top edge, starting at the
// animation's tick counter, and circles spread over the whole surface.
// Sets TargetWidth and TargetHeight from the surface's size first.
void DrawRandomCircle(Process& process, rt::Surface& surface);

}  // namespace vellora
