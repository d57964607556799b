#include "platform/linux/watch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>

#include "idle/options.h"
#include "idle/watcher.h"
#include "platform/linux/sources.h"
#include "runtime/ini_file.h"

extern char** environ;

namespace vellora::lnx {
namespace {

// One watcher per session: an flock()ed file named after the session's
// display, held as long as the process lives.
class SessionLock {
public:
    explicit SessionLock(const std::filesystem::path& file)
        : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {}
    ~SessionLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;
    // False when another process holds it. A lock file that cannot be made
    // does not stop the watcher: the saver's own one-copy rule still holds.
    [[nodiscard]] bool take() const { return fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

private:
    int fd_;
};

// `vellora /S` as a child, the same program file as this one.
class ChildSaver final : public idle::SaverProcess {
public:
    ChildSaver() {
        std::error_code error;
        program_ = std::filesystem::read_symlink("/proc/self/exe", error);
    }
    ~ChildSaver() override {
        if (pidfd_ >= 0) ::close(pidfd_);
    }
    ChildSaver(const ChildSaver&) = delete;
    ChildSaver& operator=(const ChildSaver&) = delete;

    bool start() override {
        std::string name = "vellora";
        std::string mode = "/S";
        char* argv[] = {name.data(), mode.data(), nullptr};
        // The watcher ignores SIGPIPE; the saver gets it back as it would from a shell.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        const int error = posix_spawn(&pid_, program_.c_str(), nullptr, &attributes, argv, environ);
        posix_spawnattr_destroy(&attributes);
        if (error != 0) {
            std::cerr << "vellora --idle: cannot start " << program_.string() << " /S: " << std::strerror(error)
                      << std::endl;
            return false;
        }
        pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));  // glibc 2.36 declares it without C linkage
        std::cerr << "vellora --idle: idle; the saver runs (process " << pid_ << ")" << std::endl;
        if (pidfd_ < 0) reap();  // no way to wait for it beside the source: wait here
        return pidfd_ >= 0;
    }

    // The descriptor that becomes readable when the child ends; -1 when none runs.
    [[nodiscard]] int fd() const { return pidfd_; }

    void reap() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        if (pidfd_ >= 0) ::close(pidfd_);
        pidfd_ = -1;
        if (WIFEXITED(status)) {
            std::cerr << "vellora --idle: the saver ended (status " << WEXITSTATUS(status) << ")" << std::endl;
        } else if (WIFSIGNALED(status)) {
            std::cerr << "vellora --idle: the saver ended by signal " << WTERMSIG(status) << std::endl;
        }
    }

private:
    std::filesystem::path program_;
    pid_t pid_ = -1;
    int pidfd_ = -1;
};

std::unique_ptr<idle::IdleSource> open_source(idle::SourceKind kind, unsigned seconds) {
    switch (kind) {
        case idle::SourceKind::ext_idle_notify:
        case idle::SourceKind::kde_idle: return open_wayland_idle(kind, seconds);
        case idle::SourceKind::mutter_idle_monitor: return open_mutter_idle(seconds);
        case idle::SourceKind::mit_screen_saver: return open_x11_idle(seconds);
    }
    return nullptr;
}

// Waits on the source and the child; returns when the source is lost.
int watch(idle::IdleSource& source, ChildSaver& saver) {
    GnomeInhibitors inhibitors;
    idle::Watcher watcher(inhibitors, saver, std::cerr);
    try {
        for (;;) {
            const auto wait = source.prepare();
            pollfd fds[2] = {{wait.fd, wait.events, 0}, {saver.fd(), POLLIN, 0}};
            const nfds_t count = saver.fd() >= 0 ? 2 : 1;
            const int ready = ::poll(fds, count, wait.timeout_ms);
            if (ready < 0 && errno != EINTR) {
                std::cerr << "vellora --idle: " << std::strerror(errno) << std::endl;
                return 1;
            }
            for (const auto signal : source.dispatch(ready > 0 ? fds[0].revents : 0)) watcher.on(signal);
            if (count == 2 && ready > 0 && fds[1].revents != 0) {
                saver.reap();
                watcher.saver_ended();
            }
        }
    } catch (const idle::SourceLost& lost) {
        std::cerr << lost.message << std::endl;
        return 1;
    }
}

}  // namespace

int run_idle_watcher(const std::vector<std::string>& args, const std::filesystem::path& settings_file,
                     const std::filesystem::path& runtime_dir) {
    const auto arguments = idle::parse_arguments(args);
    if (!arguments.error.empty()) {
        std::cerr << arguments.error << std::endl;
        return 2;
    }
    unsigned seconds = 0;
    if (arguments.seconds) {
        seconds = *arguments.seconds;
    } else {
        rt::IniFile settings(settings_file);
        const auto delay = idle::delay_setting(settings);
        if (!delay.warning.empty()) std::cerr << delay.warning << std::endl;
        seconds = delay.seconds;
    }

    // A write to a display server that has gone must end the watcher with a
    // message, not kill it silently (systemd would not restart it then).
    ::signal(SIGPIPE, SIG_IGN);

    const auto session = idle::Session::from_environment();
    std::unique_ptr<SessionLock> lock;
    if (session.graphical()) {
        lock = std::make_unique<SessionLock>(runtime_dir / session.lock_name(::getuid()));
        if (!lock->take()) {
            std::cout << "vellora --idle: a watcher already runs for this session (" << session.describe() << ")"
                      << std::endl;
            return 0;
        }
    }

    auto choice = idle::choose_source(session, seconds, open_source);
    if (!choice.source) {
        std::cerr << choice.line << std::endl;
        return 1;
    }
    std::cout << choice.line << std::endl;
    ChildSaver saver;
    return watch(*choice.source, saver);
}

}  // namespace vellora::lnx
