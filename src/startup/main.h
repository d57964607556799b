// Start-up: the one entry procedure of every Vellora process.
#pragma once

#include <cstdint>
#include <string>

#include "app/process.h"

namespace vellora {

// The mode switch: the first two characters of the argument text, upper-cased.
std::string saver_mode(const std::string& arguments);

// The window handle after the switch: blanks skipped, then unsigned decimal
// digits up to the first non-digit; 0 when there are none or the number
// does not fit in 32 bits.
std::uint32_t parent_window_from(const std::string& arguments);

// Reads the colour into Hue, then gives it to the saver window as its
// background colour: the first touch of that window loads it.
void ReadColor(Process& process);

// Refuses a second copy, reads the switch, opens the mode's window, returns.
void Main(Process& process);

// Main, then the event loop until the last window has unloaded. A start-up
// that throws is reported and ends the program (with the cursor shown):
// nothing half-loaded is left waiting for events; 1 is returned then.
int run_program(Process& process);

}  // namespace vellora
