// The entry point of vellora.scr: the Win32 runtime, one Vellora process on
// it, and the program until its last window has unloaded.
#include "platform/win32/win32_platform.h"
#include "startup/main.h"
#include "app/process.h"

#if __has_include("startup/windows.h")
#include "startup/windows.h"
#define VELLORA_HAVE_WINDOWS 1
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/, int /*show*/) {
    try {
        vellora::win32::Win32Platform platform(instance);
#ifdef VELLORA_HAVE_WINDOWS
        vellora::Process process(platform, vellora::make_window);
#else
        vellora::Process process(platform, [](vellora::Window, vellora::Process&) -> std::unique_ptr<vellora::rt::Form> {
            throw std::logic_error("this build has no windows");
        });
#endif
        return vellora::run_program(process);
    } catch (const std::exception& e) {
        // Nothing is shown to the user: a screen saver must not stop the desktop with a dialog.
        OutputDebugStringA(e.what());
        return 1;
    }
}
