// The idle watcher's rules, written once against small interfaces: an idle
// source says when the user has been idle for the delay and when input
// comes back; the watcher then asks the inhibitors and starts the saver as a
// child process, never a second one while the first runs, and the next idle
// period starts it again once it has ended.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "idle/options.h"

namespace vellora::idle {

enum class Signal {
    idle,    // no input for the whole delay: sent once per idle period
    active,  // the first input after an idle period
};

// The source stopped answering: the compositor, the X server or the session
// bus went away. The watcher ends with the message.
struct SourceLost {
    std::string message;
};

// What a poll() waits for on behalf of a source.
struct Wait {
    int fd = -1;
    short events = 0;
    int timeout_ms = -1;  // -1: no limit
};

// One idle source, already connected and watching for the delay it was opened with.
class IdleSource {
public:
    virtual ~IdleSource() = default;
    // Readies the connection for a wait (sends what is queued) and says what to wait for.
    virtual Wait prepare() = 0;
    // After the wait: `revents` of the source's descriptor (0 when the wait
    // timed out). Gives what the source reported, in order; throws SourceLost.
    virtual std::vector<Signal> dispatch(short revents) = 0;
};

// The idle sources a session may offer, in the order they are tried.
enum class SourceKind { ext_idle_notify, kde_idle, mutter_idle_monitor, mit_screen_saver };
// The protocol's name, as the watcher prints it.
std::string source_name(SourceKind kind);
// The sources worth trying in the session: the Wayland protocols on a Wayland
// display; GNOME's monitor on either; MIT-SCREEN-SAVER on an X display only
// (under Xwayland it does not see the input of Wayland programs).
std::vector<SourceKind> sources_for(const Session& session);

// Opens one kind of source watching for `seconds` of idleness; nothing when
// the session does not offer it.
using SourceOpener = std::function<std::unique_ptr<IdleSource>(SourceKind kind, unsigned seconds)>;

struct Choice {
    std::unique_ptr<IdleSource> source;  // nothing when the session offers none
    std::string line;                    // which one is used, or that there is none
};
// Tries the session's sources in order; the first one offered wins.
Choice choose_source(const Session& session, unsigned seconds, const SourceOpener& open);

// Whether something holds off idleness (a video player, a presentation).
class Inhibitors {
public:
    virtual ~Inhibitors() = default;
    [[nodiscard]] virtual bool idle_inhibited() = 0;
};

// The saver as a child process.
class SaverProcess {
public:
    virtual ~SaverProcess() = default;
    // Starts `vellora /S`; false when it could not be started.
    virtual bool start() = 0;
};

class Watcher {
public:
    Watcher(Inhibitors& inhibitors, SaverProcess& saver, std::ostream& log)
        : inhibitors_(inhibitors), saver_(saver), log_(log) {}

    void on(Signal signal);
    // The child has ended, whatever its status.
    void saver_ended();
    [[nodiscard]] bool saver_running() const { return running_; }

private:
    Inhibitors& inhibitors_;
    SaverProcess& saver_;
    std::ostream& log_;
    bool running_ = false;
};

// Idle and active signals from a counter of the time since the last input,
// which is all that MIT-SCREEN-SAVER gives: the counter is read when the
// delay may have run out and, once idle, once a delay to see whether input
// came (the counter then went down).
class InputCounter {
public:
    explicit InputCounter(std::chrono::milliseconds delay) : delay_(delay) {}
    // One reading of the time since the last input, and what it means.
    std::vector<Signal> reading(std::chrono::milliseconds since_input);
    // How long to wait before the next reading.
    [[nodiscard]] std::chrono::milliseconds next_reading() const { return next_; }

private:
    std::chrono::milliseconds delay_;
    std::chrono::milliseconds next_{0};
    std::optional<std::chrono::milliseconds> idle_at_;  // the last reading of an idle period
};

}  // namespace vellora::idle
