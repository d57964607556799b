// The failure boundary. Every runtime applies this one rule where events
// enter the program from its event loop (a window's message, a timer's
// tick, a scripted step): a handler that throws drops that event, the
// failure is reported through the platform, and the program goes on.
// Nothing thrown by a handler ever reaches the platform's own dispatch.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "runtime/platform.h"

namespace vellora::rt {

// Reports a failed handler; never throws.
void report_failed_handler(SystemServices& services, const std::exception* failure) noexcept;

// Runs `handler` inside the boundary; false when it threw.
template <typename Handler>
bool guarded(SystemServices& services, Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::exception& e) {
        report_failed_handler(services, &e);
    } catch (...) {
        report_failed_handler(services, nullptr);
    }
    return false;
}

// Runs `undo` when the scope ends, however it ends: loop depths, modal
// states and flags are restored even when a handler inside throws.
template <typename Undo>
class ScopeExit {
public:
    explicit ScopeExit(Undo undo) : undo_(std::move(undo)) {}
    ~ScopeExit() { undo_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Undo undo_;
};

}  // namespace vellora::rt
