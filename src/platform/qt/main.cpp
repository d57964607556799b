// The Linux program: `vellora /S`, `/C`, `/P <xid>`, `/A <xid>`, and the
// XScreenSaver hack (`vellora -root`, `vellora -window-id ID`).
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/process.h"
#include "platform/linux/watch.h"
#include "platform/qt/hack_mode.h"
#include "platform/qt/outputs.h"
#include "platform/qt/platform.h"
#include "platform/qt/session.h"
#include "platform/qt/x11_windows.h"
#include "runtime/failure.h"
#include "runtime/text.h"
#include "startup/main.h"
#include "startup/windows.h"

int main(int argc, char** argv) {
    using namespace vellora;
    std::vector<std::string> args(argv + 1, argv + argc);
    // The idle watcher: no windows, so no application object.
    if (!args.empty() && args[0] == "--idle") {
        const auto paths = qt::Paths::from_environment();
        return lnx::run_idle_watcher(args, paths.settings_file(), paths.runtime_dir);
    }
    const auto hack = qt::parse_hack_arguments(args, rt::env("XSCREENSAVER_WINDOW"));
    const auto session = qt::choose_session(rt::env("WAYLAND_DISPLAY"), rt::env("DISPLAY"), rt::env("QT_QPA_PLATFORM"),
                                            qt::needs_x11_window(args, hack.has_value()));
    if (!session.refusal.empty()) {
        std::fprintf(stderr, "%s\n", session.refusal.c_str());
        return 1;
    }
    if (session.platform) ::setenv("QT_QPA_PLATFORM", session.platform->c_str(), 1);

    // SIGTERM (and SIGINT) end the program cleanly, the surfaces taken down
    // as at any end: they are read from a signalfd by the event loop instead
    // of killing the process mid-frame.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    const int signal_fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signal_fd < 0) pthread_sigmask(SIG_UNBLOCK, &set, nullptr);  // nothing would read them

    QApplication application(argc, argv);
    QApplication::setApplicationName("vellora");

    auto options = qt::Options::from_environment();
    options.arguments = qt::join_arguments(args);
    if (hack) {
        qt::HackTarget target;
        if (hack->window) {
            target.window = *hack->window;
        } else {
            target.window = x11::Display().root_window();
        }
        options.hack = target;
        options.arguments = "/S";  // the saver itself, drawn into the given window
    }

    int code = 0;
    {
        qt::QtPlatform platform(std::move(options));
        Process process(platform, make_window);
        // Every picture decoded at every load (the process benchmark measures the decoder so).
        if (rt::env("VELLORA_DECODE_EVERY_LOAD") == "1") process.app().pictures().set_decode_every_load(true);

        std::unique_ptr<QSocketNotifier> notifier;
        if (signal_fd >= 0) {
            notifier = std::make_unique<QSocketNotifier>(signal_fd, QSocketNotifier::Read);
            QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [&] {
                rt::guarded(process.services(), [&] {
                    signalfd_siginfo info{};
                    while (::read(signal_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                    }
                    // Every loop ends, whatever the windows do. A hack's windows are asked to close
                    // first (no prompt can appear there); elsewhere a password prompt would stand in
                    // the way of the session's end, which was not the user's input.
                    const rt::ScopeExit quit([&platform] { platform.windows().request_quit(); });
                    if (!hack) return;
                    const auto forms = process.app().loaded_forms();
                    for (auto* form : forms) form->Unload(rt::UnloadMode::TaskManager);
                });
            });
        }

        code = run_program(process);
        notifier.reset();
    }
    if (signal_fd >= 0) ::close(signal_fd);
    // No loop reads them any more: from here on SIGTERM ends the process as it would any other.
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    if (qt::on_wayland()) {
        // Every window is gone and every file written. Qt 6.4's Wayland display can wait
        // forever for its event thread as the application object goes: the program leaves now.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
