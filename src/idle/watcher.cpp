#include "idle/watcher.h"

namespace vellora::idle {

std::string source_name(SourceKind kind) {
    switch (kind) {
        case SourceKind::ext_idle_notify: return "ext-idle-notify-v1";
        case SourceKind::kde_idle: return "org_kde_kwin_idle";
        case SourceKind::mutter_idle_monitor: return "org.gnome.Mutter.IdleMonitor";
        case SourceKind::mit_screen_saver: return "MIT-SCREEN-SAVER";
    }
    return "?";
}

std::vector<SourceKind> sources_for(const Session& session) {
    if (session.wayland()) {
        return {SourceKind::ext_idle_notify, SourceKind::kde_idle, SourceKind::mutter_idle_monitor};
    }
    if (session.graphical()) return {SourceKind::mutter_idle_monitor, SourceKind::mit_screen_saver};
    return {};
}

Choice choose_source(const Session& session, unsigned seconds, const SourceOpener& open) {
    Choice choice;
    std::string tried;
    for (const auto kind : sources_for(session)) {
        choice.source = open(kind, seconds);
        if (choice.source) {
            choice.line = "vellora --idle: watching " + source_name(kind) + " (" + session.describe() +
                          "); the saver starts after " + std::to_string(seconds) + " s without input";
            return choice;
        }
        tried += (tried.empty() ? "; tried " : ", ") + source_name(kind);
    }
    choice.line = "vellora --idle: this desktop gives no idle signal (" + session.describe() + tried + ")";
    return choice;
}

void Watcher::on(Signal signal) {
    // Input ends nothing here: the saver ends itself on input. It only lets
    // the source send the next idle signal.
    if (signal != Signal::idle || running_) return;
    if (inhibitors_.idle_inhibited()) {
        log_ << "vellora --idle: idleness is inhibited; the saver waits for the next idle period" << std::endl;
        return;
    }
    running_ = saver_.start();
}

void Watcher::saver_ended() { running_ = false; }

std::vector<Signal> InputCounter::reading(std::chrono::milliseconds since_input) {
    std::vector<Signal> signals;
    if (idle_at_) {
        if (since_input >= *idle_at_) {  // no input since the last reading
            idle_at_ = since_input;
            next_ = delay_;
            return signals;
        }
        idle_at_.reset();
        signals.push_back(Signal::active);
    }
    if (since_input >= delay_) {
        idle_at_ = since_input;
        signals.push_back(Signal::idle);
        next_ = delay_;
    } else {
        next_ = delay_ - since_input;
    }
    return signals;
}

}  // namespace vellora::idle
