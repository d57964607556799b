// The factory that makes the program's real windows for a Process.
#pragma once

#include <memory>

#include "runtime/form.h"
#include "app/process.h"

namespace vellora {

std::unique_ptr<rt::Form> make_window(Window window, Process& process);

}  // namespace vellora
