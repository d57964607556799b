// Start-up: the one entry procedure of every Vellora process.
#pragma once

#include <cstdint>
#include <string>

#include "startup/process.h"

namespace vellora {

// The mode switch: the first two characters of the argument text, upper-cased.
std::string saver_mode(const std::string& arguments);

// The window handle after the switch: blanks skipped, then unsigned decimal
// digits up to the first non-digit; 0 when there are none or the number
// does not fit in 32 bits.
std::uint32_t parent_window_from(const std::string& arguments);

// Refuses a second copy, reads the switch, opens the mode's window, returns.
void Main(Process& process);

// Main, then the event loop until the last window has unloaded.
int run_program(Process& process);

}  // namespace vellora
