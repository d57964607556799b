// The entry point of vellora.scr: the Win32 runtime, one Vellora process on
// it, and the program until its last window has unloaded.
#include <exception>

#include "app/process.h"
#include "platform/win32/platform.h"
#include "runtime/text.h"
#include "startup/main.h"
#include "startup/windows.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    try {
        vellora::win32::Win32Platform platform(instance);
        vellora::Process process(platform, vellora::make_window);
        // Every load decodes its file again (the process benchmark measures decoding).
        if (vellora::rt::env("VELLORA_DECODE_EVERY_LOAD") == "1") process.app().pictures().set_decode_every_load(true);
        return vellora::run_program(process);
    } catch (const std::exception& e) {
        // The runtime or the process could not be made. Nothing is shown to
        // the user: a screen saver must not stop the desktop with a dialog.
        OutputDebugStringA(e.what());
        return 1;
    }
}
