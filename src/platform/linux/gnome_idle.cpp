// GNOME: Mutter's idle monitor on the session bus (an idle watch for the
// delay, then a one-time user-active watch after each idle period) and the
// session manager's inhibitors.
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "platform/linux/sources.h"

namespace vellora::lnx {
namespace {

using idle::Signal;

constexpr const char* monitor_name = "org.gnome.Mutter.IdleMonitor";
constexpr const char* monitor_path = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr std::uint64_t call_timeout_us = 5'000'000;

// A session bus connection, closed with its owner.
struct Bus {
    sd_bus* bus = nullptr;
    Bus() {
        if (sd_bus_open_user(&bus) < 0) bus = nullptr;
        if (bus) sd_bus_set_method_call_timeout(bus, call_timeout_us);
    }
    ~Bus() { sd_bus_flush_close_unref(bus); }
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;
};

// One method call's reply, released with its owner.
struct Reply {
    sd_bus_message* message = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int status = 0;
    ~Reply() {
        sd_bus_message_unref(message);
        sd_bus_error_free(&error);
    }
    [[nodiscard]] bool ok() const { return status >= 0; }
};

class MutterIdle final : public idle::IdleSource {
public:
    explicit MutterIdle(unsigned seconds) : delay_ms_(std::uint64_t{seconds} * 1000) {}
    ~MutterIdle() override {
        sd_bus_slot_unref(fired_slot_);
        sd_bus_slot_unref(owner_slot_);
    }
    MutterIdle(const MutterIdle&) = delete;
    MutterIdle& operator=(const MutterIdle&) = delete;

    bool start() {
        if (!bus_.bus) return false;
        // Listening first, so that no signal is missed.
        if (sd_bus_match_signal(bus_.bus, &fired_slot_, monitor_name, monitor_path, monitor_name, "WatchFired",
                                &MutterIdle::fired, this) < 0 ||
            sd_bus_match_signal(bus_.bus, &owner_slot_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "NameOwnerChanged", &MutterIdle::owner_changed, this) < 0) {
            return false;
        }
        Reply reply;
        reply.status = sd_bus_call_method(bus_.bus, monitor_name, monitor_path, monitor_name, "AddIdleWatch",
                                          &reply.error, &reply.message, "t", delay_ms_);
        return reply.ok() && sd_bus_message_read(reply.message, "u", &idle_watch_) >= 0;
    }

    idle::Wait prepare() override {
        std::uint64_t until = UINT64_MAX;
        sd_bus_get_timeout(bus_.bus, &until);
        int timeout_ms = -1;
        if (until != UINT64_MAX) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const auto now_us = std::uint64_t(now.tv_sec) * 1'000'000 + std::uint64_t(now.tv_nsec) / 1000;
            timeout_ms = until <= now_us ? 0 : int((until - now_us + 999) / 1000);
        }
        const int events = sd_bus_get_events(bus_.bus);
        if (events < 0) lost(events);
        return {sd_bus_get_fd(bus_.bus), static_cast<short>(events), timeout_ms};
    }

    std::vector<Signal> dispatch(short) override {
        for (;;) {
            const int processed = sd_bus_process(bus_.bus, nullptr);
            if (processed < 0) lost(processed);
            if (gone_) throw idle::SourceLost{"vellora --idle: GNOME's idle monitor left the session bus"};
            if (processed == 0) break;
        }
        // After each idle period: one user-active watch for the next input,
        // unless that input already came while the watch was being set.
        if (!signals_.empty() && signals_.back() == Signal::idle && active_watch_ == 0) watch_for_input();
        return std::exchange(signals_, {});
    }

private:
    [[noreturn]] static void lost(int error) {
        throw idle::SourceLost{"vellora --idle: lost the session bus (" + std::string(std::strerror(-error)) + ")"};
    }

    void watch_for_input() {
        Reply added;
        added.status = sd_bus_call_method(bus_.bus, monitor_name, monitor_path, monitor_name, "AddUserActiveWatch",
                                          &added.error, &added.message, "");
        if (!added.ok() || sd_bus_message_read(added.message, "u", &active_watch_) < 0) {
            if (!sd_bus_is_open(bus_.bus)) lost(-ECONNRESET);
            active_watch_ = 0;
            signals_.push_back(Signal::active);  // without the watch, the next idle period is the only signal
            return;
        }
        Reply idle_time;
        idle_time.status = sd_bus_call_method(bus_.bus, monitor_name, monitor_path, monitor_name, "GetIdletime",
                                              &idle_time.error, &idle_time.message, "");
        std::uint64_t ms = 0;
        if (idle_time.ok() && sd_bus_message_read(idle_time.message, "t", &ms) >= 0 && ms < delay_ms_) {
            Reply removed;
            removed.status = sd_bus_call_method(bus_.bus, monitor_name, monitor_path, monitor_name, "RemoveWatch",
                                                &removed.error, &removed.message, "u", active_watch_);
            active_watch_ = 0;
            signals_.push_back(Signal::active);
        }
    }

    static int fired(sd_bus_message* message, void* data, sd_bus_error*) {
        auto* self = static_cast<MutterIdle*>(data);
        std::uint32_t id = 0;
        if (sd_bus_message_read(message, "u", &id) < 0) return 0;
        if (id == self->idle_watch_) {
            self->signals_.push_back(Signal::idle);
        } else if (id != 0 && id == self->active_watch_) {
            self->active_watch_ = 0;  // a user-active watch fires once
            self->signals_.push_back(Signal::active);
        }
        return 0;
    }

    static int owner_changed(sd_bus_message* message, void* data, sd_bus_error*) {
        const char* name = nullptr;
        const char* old_owner = nullptr;
        const char* new_owner = nullptr;
        if (sd_bus_message_read(message, "sss", &name, &old_owner, &new_owner) < 0) return 0;
        if (std::strcmp(name, monitor_name) == 0 && new_owner[0] == '\0') static_cast<MutterIdle*>(data)->gone_ = true;
        return 0;
    }

    std::uint64_t delay_ms_;
    Bus bus_;
    sd_bus_slot* fired_slot_ = nullptr;
    sd_bus_slot* owner_slot_ = nullptr;
    std::uint32_t idle_watch_ = 0;
    std::uint32_t active_watch_ = 0;
    bool gone_ = false;
    std::vector<Signal> signals_;
};

}  // namespace

std::unique_ptr<idle::IdleSource> open_mutter_idle(unsigned seconds) {
    auto source = std::make_unique<MutterIdle>(seconds);
    if (!source->start()) return nullptr;
    return source;
}

bool GnomeInhibitors::idle_inhibited() {
    constexpr std::uint32_t idle_flag = 8;
    const Bus bus;
    if (!bus.bus) return false;
    Reply reply;
    reply.status = sd_bus_call_method(bus.bus, "org.gnome.SessionManager", "/org/gnome/SessionManager",
                                      "org.gnome.SessionManager", "IsInhibited", &reply.error, &reply.message, "u",
                                      idle_flag);
    int inhibited = 0;
    return reply.ok() && sd_bus_message_read(reply.message, "b", &inhibited) >= 0 && inhibited != 0;
}

}  // namespace vellora::lnx
