#include "platform/headless/headless.h"

#include <algorithm>
#include <cmath>

#include "runtime/failure.h"
#include "runtime/orientation.h"
#include "runtime/text.h"

namespace vellora::headless {

namespace {

std::string registry_path(std::uint32_t root, const std::string& key) {
    return std::to_string(root) + "\\" + rt::to_lower(key);
}

}  // namespace

// ------------------------------------------------------------------ peers

class HeadlessPlatform::Control final : public rt::NativeControl {
public:
    Control(std::shared_ptr<WindowRecord> record, std::string name) : record_(std::move(record)), name_(std::move(name)) {
        record_->controls[name_].name = name_;
    }
    void update(rt::Change /*what*/) override {}
    void focus() override { ++rec().focus_calls; }
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override {
        rec().circles.push_back({x, y, radius, outline, fill});
    }
    bool set_parent(rt::ForeignWindow parent) override {
        rec().parent = parent;
        return true;
    }

private:
    ControlRecord& rec() { return record_->controls[name_]; }
    std::shared_ptr<WindowRecord> record_;
    std::string name_;
};

class HeadlessPlatform::Window final : public rt::NativeWindow {
public:
    Window(rt::Form& form, std::shared_ptr<WindowRecord> record) : form_(form), record_(std::move(record)) {}
    ~Window() override {
        record_->alive = false;
        record_->visible = false;
    }
    std::unique_ptr<rt::NativeControl> create_control(rt::Control& control) override {
        return std::make_unique<Control>(record_, control.name());
    }
    void update(rt::Change /*what*/) override {}
    rt::FrameInsets frame() const override { return rt::classic_frame(form_.design()); }
    void show(bool modal) override {
        record_->visible = true;
        record_->modal = modal;
        ++record_->show_count;
    }
    void hide() override { record_->visible = false; }
    void set_topmost() override { record_->topmost = true; }
    void set_input_enabled(bool enabled) override { record_->input_enabled = enabled; }
    void minimize() override { record_->minimized = true; }
    void draw_circle(float x, float y, float radius, rt::Color outline, rt::Color fill) override {
        record_->circles.push_back({x, y, radius, outline, fill});
    }
    std::uintptr_t handle() const override { return reinterpret_cast<std::uintptr_t>(record_.get()); }

private:
    rt::Form& form_;
    std::shared_ptr<WindowRecord> record_;
};

class HeadlessPlatform::Timer final : public rt::NativeTimer {
public:
    Timer(HeadlessPlatform& platform, std::function<void()> tick) : platform_(platform) {
        slot_ = std::make_shared<TimerSlot>();
        slot_->tick = std::move(tick);
        platform_.timers_.push_back(slot_);
    }
    ~Timer() override {
        slot_->active = false;
        auto& slots = platform_.timers_;
        slots.erase(std::remove(slots.begin(), slots.end(), slot_), slots.end());
    }
    void start(int interval_ms) override {
        slot_->active = true;
        slot_->interval = interval_ms;
        slot_->deadline = platform_.now_ms() + interval_ms;
        slot_->order = ++platform_.timer_order_;
    }
    void stop() override { slot_->active = false; }

private:
    HeadlessPlatform& platform_;
    std::shared_ptr<TimerSlot> slot_;
};

// ------------------------------------------------------------------ services

class HeadlessPlatform::Decoder final : public rt::PictureDecoder {
public:
    explicit Decoder(HeadlessPlatform& p) : p_(p) {}
    std::optional<rt::FileIdentity> identify(const std::string& path) override {
        auto it = p_.files_.find(path);
        if (it == p_.files_.end()) return std::nullopt;
        return rt::FileIdentity{0, static_cast<std::int64_t>(it->second.version), 0};
    }
    std::optional<rt::PixelSize> pixel_size(const std::string& path) override {
        auto it = p_.files_.find(path);
        if (it == p_.files_.end() || !it->second.picture) return std::nullopt;
        if (it->second.header) return it->second.header;
        // The natural size at 96 dots per inch.
        const auto pixels = [](std::int32_t himetric) { return std::llround(himetric * 96.0 / 2540.0); };
        return rt::PixelSize{pixels(it->second.width), pixels(it->second.height)};
    }
    rt::Picture decode(const std::string& path, int reduction) override {
        ++p_.decode_count_;
        auto it = p_.files_.find(path);
        if (it == p_.files_.end()) throw rt::PictureError("file not found: " + path);
        if (!it->second.picture) throw rt::PictureError("not a picture: " + path);
        // Turned as the file's Exif data says (this runtime has no reader of its own), and reduced.
        const rt::PixelSize shown = rt::reduced_size(
            rt::shown_size({it->second.width, it->second.height}, rt::exif_orientation(it->second.head)), reduction);
        auto data = std::make_shared<rt::PictureData>();
        data->himetric_width = static_cast<std::int32_t>(shown.width);
        data->himetric_height = static_cast<std::int32_t>(shown.height);
        data->path = path;
        return data;
    }
    std::vector<std::string> extensions() override { return p_.extensions_; }

private:
    HeadlessPlatform& p_;
};

class HeadlessPlatform::Reg final : public rt::Registry {
public:
    explicit Reg(HeadlessPlatform& p) : p_(p) {}
    std::optional<Key> open(std::uint32_t root, const std::string& path) override {
        ++p_.registry_calls_;
        const auto full = registry_path(root, path);
        if (p_.registry_.count(full) == 0) return std::nullopt;
        const Key k = p_.next_key_++;
        p_.open_keys_[k] = full;
        return k;
    }
    Query query(Key key, const std::string& value_name, std::uint32_t buffer_size) override {
        ++p_.registry_calls_;
        Query q;
        auto k = p_.open_keys_.find(key);
        if (k == p_.open_keys_.end()) return q;
        auto& values = p_.registry_[k->second];
        auto v = values.find(rt::to_lower(value_name));
        if (v == values.end()) return q;
        q.type = v->second.type;
        q.size = static_cast<std::uint32_t>(v->second.data.size());
        if (v->second.data.size() > buffer_size) return q;  // more data than the buffer holds
        q.ok = true;
        q.data = v->second.data;
        return q;
    }
    void close(Key key) override {
        ++p_.registry_calls_;
        p_.open_keys_.erase(key);
    }

private:
    HeadlessPlatform& p_;
};

class HeadlessPlatform::Store final : public rt::UserStore {
public:
    explicit Store(HeadlessPlatform& p) : p_(p) {}
    std::string read(const std::string& application, const std::string& section, const std::string& key,
                     const std::string& fallback) override {
        auto it = p_.user_values_.find(name(application, section, key));
        return it == p_.user_values_.end() ? fallback : it->second;
    }
    bool write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& value) override {
        if (p_.user_store_fails_) return false;
        p_.user_values_[name(application, section, key)] = value;
        return true;
    }
    static std::string name(const std::string& a, const std::string& s, const std::string& k) {
        return a + "\\" + s + "\\" + k;
    }

private:
    HeadlessPlatform& p_;
};

// ------------------------------------------------------------------ platform

// ------------------------------------------------------------------ the settings file

// The test directory's ini file, whose writes can be made to fail.
class HeadlessPlatform::SettingsFile final : public rt::ProfileFile {
public:
    explicit SettingsFile(HeadlessPlatform& p) : p_(p) {}
    std::string read(const std::string& section, const std::string& key, const std::string& fallback) override {
        return p_.ini_.read(section, key, fallback);
    }
    rt::WriteResult write_all(const std::vector<rt::ProfileEntry>& entries) override {
        const bool fails = p_.settings_write_fails_ || p_.settings_writes_to_fail_ > 0;
        if (p_.settings_writes_to_fail_ > 0) --p_.settings_writes_to_fail_;
        return fails ? rt::WriteResult::Failed : p_.ini_.write_all(entries);
    }
    bool readable() override { return p_.ini_.readable(); }
    std::string location() const override { return p_.ini_.location(); }

private:
    HeadlessPlatform& p_;
};

// ------------------------------------------------------------------ the three parts

class HeadlessPlatform::WindowSystem final : public rt::WindowSystem {
public:
    explicit WindowSystem(HeadlessPlatform& p) : p_(p) {}
    std::unique_ptr<rt::NativeWindow> create_window(rt::Form& form) override {
        auto record = std::make_shared<WindowRecord>();
        record->form_name = form.name();
        p_.windows_.push_back(record);
        return std::make_unique<Window>(form, record);
    }
    std::unique_ptr<rt::NativeTimer> create_timer(std::function<void()> tick) override {
        return std::make_unique<Timer>(p_, std::move(tick));
    }
    void run_until(const std::function<bool()>& done) override { p_.run_until(done); }
    rt::ScreenMetrics screen() override { return p_.screen_; }
    std::optional<rt::PixelPoint> pointer_position() override { return p_.pointer_; }
    bool is_window(rt::ForeignWindow window) override { return p_.foreign_.count(window) != 0; }
    std::optional<rt::PixelRect> client_rect(rt::ForeignWindow window) override {
        auto it = p_.foreign_.find(window);
        if (it == p_.foreign_.end()) return std::nullopt;
        return rt::PixelRect{0, 0, it->second.client_width, it->second.client_height};
    }
    std::optional<rt::PixelRect> window_rect(rt::ForeignWindow window) override {
        auto it = p_.foreign_.find(window);
        if (it == p_.foreign_.end()) return std::nullopt;
        return it->second.window;
    }

private:
    HeadlessPlatform& p_;
};

class HeadlessPlatform::Dialogs final : public rt::Dialogs {
public:
    explicit Dialogs(HeadlessPlatform& p) : p_(p) {}
    void message_box(const rt::MessageBoxRequest& request) override {
        p_.messages_.push_back(request);
        if (p_.message_answers_ == 0) {
            throw ScriptError("a message box opened with no answer queued: " + request.text);
        }
        --p_.message_answers_;
        if (p_.message_hook_) {
            auto hook = std::move(p_.message_hook_);
            p_.message_hook_ = nullptr;
            hook();
        }
    }
    std::optional<rt::Color> choose_color(const rt::ColorDialogRequest& request) override {
        p_.color_requests_.push_back(request);
        if (p_.color_answers_.empty()) throw ScriptError("a colour dialog opened with no answer queued");
        auto answer = p_.color_answers_.front();
        p_.color_answers_.pop_front();
        return answer;
    }
    std::optional<std::string> open_file(const rt::FileDialogRequest& request) override {
        p_.file_requests_.push_back(request);
        if (p_.file_answers_.empty()) throw ScriptError("a file dialog opened with no answer queued");
        auto answer = p_.file_answers_.front();
        p_.file_answers_.pop_front();
        return answer;
    }

private:
    HeadlessPlatform& p_;
};

class HeadlessPlatform::Services final : public rt::SystemServices {
public:
    explicit Services(HeadlessPlatform& p) : p_(p) {}
    rt::ProfileFile& settings_file() override { return *p_.settings_file_; }
    rt::UserStore& user_store() override { return *p_.store_; }
    rt::Registry* registry() override { return p_.reg_.get(); }
    std::optional<bool> desktop_password_flag() override { return p_.desktop_flag_; }
    double time_of_day() override {
        return std::fmod(p_.day_base_ + static_cast<double>(p_.now_ms_) / 1000.0, 86400.0);
    }
    // The virtual clock.
    double steady_seconds() override { return static_cast<double>(p_.now_ms_) / 1000.0; }
    int show_cursor(bool show) override {
        p_.cursor_ += show ? 1 : -1;
        return p_.cursor_;
    }
    bool previous_instance() override { return p_.previous_instance_; }
    std::string command_line_arguments() override { return p_.arguments_; }
    void show_help(const std::string& help_file) override { p_.help_opened_.push_back(help_file); }
    rt::PictureDecoder& picture_decoder() override {
        return p_.decoder_in_use_ != nullptr ? *p_.decoder_in_use_ : *p_.decoder_;
    }
    rt::Picture app_icon() override {
        auto icon = std::make_shared<rt::PictureData>();
        icon->himetric_width = 847;  // 32 pixels at 96 dots per inch
        icon->himetric_height = 847;
        icon->path = "<icon>";
        return icon;
    }
    std::string spare_picture_path() override { return p_.spare_; }
    void report_failure(const std::string& what) override { p_.failures_.push_back(what); }

private:
    HeadlessPlatform& p_;
};

// ------------------------------------------------------------------ platform

HeadlessPlatform::HeadlessPlatform(std::filesystem::path settings_dir)
    : ini_(std::move(settings_dir) / "vellora.ini"),
      decoder_(std::make_unique<Decoder>(*this)),
      reg_(std::make_unique<Reg>(*this)),
      store_(std::make_unique<Store>(*this)),
      window_system_(std::make_unique<WindowSystem>(*this)),
      dialogs_(std::make_unique<Dialogs>(*this)),
      services_(std::make_unique<Services>(*this)),
      settings_file_(std::make_unique<SettingsFile>(*this)) {}

HeadlessPlatform::~HeadlessPlatform() = default;

rt::WindowSystem& HeadlessPlatform::windows() { return *window_system_; }
rt::Dialogs& HeadlessPlatform::dialogs() { return *dialogs_; }
rt::SystemServices& HeadlessPlatform::services() { return *services_; }

WindowRecord* HeadlessPlatform::window(const std::string& form_name) {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if ((*it)->form_name == form_name) return it->get();
    }
    return nullptr;
}

void HeadlessPlatform::post(std::function<void()> action) { queue_.push_back(Step{std::move(action), 0}); }

void HeadlessPlatform::post_advance(int ms) { queue_.push_back(Step{nullptr, ms}); }

void HeadlessPlatform::post_key(rt::Form& form, std::int16_t key, std::int16_t shift_state) {
    post([&form, key, shift_state] { form.deliver_key_down(key, shift_state); });
}

void HeadlessPlatform::post_type(rt::TextBox& box, const std::string& text) {
    post([&box, text] {
        auto& form = box.form();
        if (!form.loaded() || !form.input_enabled() || !box.focusable()) return;
        box.SetFocus();
        for (char ch : text) {
            if (!form.loaded() || !box.focusable()) return;
            box.SetText(box.Text() + ch);
        }
    });
}

void HeadlessPlatform::post_click(rt::CommandButton& button) {
    post([&button] {
        auto& form = button.form();
        if (!form.loaded() || !form.input_enabled() || !button.focusable()) return;
        button.SetFocus();
        button.Click();
    });
}

void HeadlessPlatform::post_menu(rt::MenuCommand& command) {
    post([&command] { command.Click(); });
}

void HeadlessPlatform::post_mouse_move(rt::Form& form, float x, float y) {
    post([this, &form, x, y] {
        const float tx = screen_.twips_per_pixel_x;
        const float ty = screen_.twips_per_pixel_y;
        const auto frame = rt::classic_frame(form.design());
        pointer_ = rt::PixelPoint{rt::twips_to_pixels(form.Left(), tx) + frame.left + rt::twips_to_pixels(x, tx),
                                  rt::twips_to_pixels(form.Top(), ty) + frame.top + rt::twips_to_pixels(y, ty)};
        form.deliver_mouse_move(0, 0, x, y);
    });
}

void HeadlessPlatform::post_mouse_down(rt::Form& form, std::int16_t button) {
    post([&form, button] { form.deliver_mouse_down(button, 0, 0, 0); });
}

void HeadlessPlatform::post_dbl_click(rt::Form& form) {
    post([&form] { form.deliver_dbl_click(); });
}

void HeadlessPlatform::post_paint(rt::Form& form) {
    post([&form] { form.deliver_paint(); });
}

void HeadlessPlatform::post_close(rt::Form& form) {
    post([&form] { form.deliver_close(); });
}

void HeadlessPlatform::step(Step& s) {
    if (!s.action) {
        advance_to(now_ms_ + s.advance_ms);
        return;
    }
    // The program's failure boundary; a fault of the script itself (input
    // nobody scripted) is the test's and goes on to it.
    std::exception_ptr script_fault;
    rt::guarded(*services_, [&] {
        try {
            s.action();
        } catch (const ScriptError&) {
            script_fault = std::current_exception();
        }
    });
    if (script_fault) std::rethrow_exception(script_fault);
}

void HeadlessPlatform::advance_to(std::int64_t target) {
    for (;;) {
        std::shared_ptr<TimerSlot> next;
        for (auto& t : timers_) {
            if (!t->active || t->deadline > target) continue;
            if (!next || t->deadline < next->deadline ||
                (t->deadline == next->deadline && t->order < next->order)) {
                next = t;
            }
        }
        if (!next) break;
        now_ms_ = std::max(now_ms_, next->deadline);
        next->deadline += next->interval;
        next->order = ++timer_order_;
        auto keep = next;  // the timer may be destroyed by its own tick
        std::exception_ptr script_fault;
        rt::guarded(*services_, [&] {
            try {
                keep->tick();
            } catch (const ScriptError&) {
                script_fault = std::current_exception();
            }
        });
        if (script_fault) std::rethrow_exception(script_fault);
    }
    now_ms_ = std::max(now_ms_, target);
}

void HeadlessPlatform::run() {
    ++depth_;
    const rt::ScopeExit leave([this] { --depth_; });
    while (!queue_.empty()) {
        Step s = std::move(queue_.front());
        queue_.pop_front();
        step(s);
    }
}

void HeadlessPlatform::advance(int ms) {
    post_advance(ms);
    run();
}

void HeadlessPlatform::run_until(const std::function<bool()>& done) {
    ++depth_;
    const rt::ScopeExit leave([this] { --depth_; });
    while (!done()) {
        if (queue_.empty()) throw ScriptError("a modal window is waiting for input that the test did not script");
        Step s = std::move(queue_.front());
        queue_.pop_front();
        step(s);
    }
}

void HeadlessPlatform::add_picture(const std::string& path, std::int32_t himetric_width,
                                   std::int32_t himetric_height) {
    files_[path] = FakeFile{true, himetric_width, himetric_height, ++file_version_, std::nullopt, {}};
}

void HeadlessPlatform::add_non_picture(const std::string& path) { files_[path] = FakeFile{false, 0, 0, ++file_version_, std::nullopt, {}}; }

void HeadlessPlatform::remove_file(const std::string& path) { files_.erase(path); }

void HeadlessPlatform::set_header_size(const std::string& path, rt::PixelSize size) { files_.at(path).header = size; }

void HeadlessPlatform::set_file_head(const std::string& path, std::string head) { files_.at(path).head = std::move(head); }

void HeadlessPlatform::copy_file_identity(const std::string& from, const std::string& to) {
    files_.at(to).version = files_.at(from).version;
}

void HeadlessPlatform::add_registry_key(std::uint32_t root, const std::string& key) {
    (void)registry_[registry_path(root, key)];
}

void HeadlessPlatform::set_registry_value(std::uint32_t root, const std::string& key, const std::string& name,
                                          std::uint32_t type, std::vector<std::uint8_t> data) {
    registry_[registry_path(root, key)][rt::to_lower(name)] = RegValue{type, std::move(data)};
}

void HeadlessPlatform::set_registry_dword(std::uint32_t root, const std::string& key, const std::string& name,
                                          std::uint32_t v) {
    set_registry_value(root, key, name, rt::reg::Dword,
                       {static_cast<std::uint8_t>(v & 0xFFU), static_cast<std::uint8_t>((v >> 8U) & 0xFFU),
                        static_cast<std::uint8_t>((v >> 16U) & 0xFFU), static_cast<std::uint8_t>((v >> 24U) & 0xFFU)});
}

void HeadlessPlatform::set_registry_string(std::uint32_t root, const std::string& key, const std::string& name,
                                           const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    set_registry_value(root, key, name, rt::reg::Sz, std::move(data));
}

int HeadlessPlatform::open_registry_keys() const { return static_cast<int>(open_keys_.size()); }

}  // namespace vellora::headless
