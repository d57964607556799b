// The headless contract driver: each step carried out at once; a focused text box edits with the keys it keeps.
#include <cctype>

#include "platform/headless/headless.h"
#include "runtime/contract_driver.h"
#include "runtime/keys.h"
#include "support/temp_dir.h"

namespace vellora::contract {
namespace {

class HeadlessDriver final : public Driver {
public:
    rt::Platform& platform() override { return p_; }
    void key(rt::Form& form, std::int16_t key, std::int16_t shift) override {
        auto* box = dynamic_cast<rt::TextBox*>(form.ActiveControl());
        if (box == nullptr || rt::form_takes_key(key, shift, true)) return step([&] { p_.post_key(form, key, shift); });
        p_.post([&form, box, key] {
            std::string text = box->Text();
            if (key != kBackspace) text += static_cast<char>(std::tolower(key));
            else if (!text.empty()) text.pop_back();
            if (form.input_enabled()) box->SetText(text);
        });
        p_.run();
    }
    void click(rt::CommandButton& button) override { step([&] { p_.post_click(button); }); }
    void close(rt::Form& form) override { step([&] { p_.post_close(form); }); }
    void later(int ms, std::function<void()> action) override {
        p_.post_advance(ms);
        p_.post(std::move(action));
    }
    std::string shown_text(rt::TextBox& box) override { return box.display_text(); }
    std::string failures() override {
        std::string all;
        for (const auto& f : p_.failures()) all += f + "\n";
        return all;
    }
    void answer_next(const DialogAnswer& answer) override {
        kind_ = answer.kind;
        if (answer.kind == DialogKind::Message) p_.answer_message_box();
        if (answer.kind == DialogKind::Color) p_.answer_color(answer.ok ? std::optional(answer.color) : std::nullopt);
        if (answer.kind == DialogKind::File) p_.answer_file(answer.ok ? std::optional(answer.file) : std::nullopt);
    }
    DialogSeen seen() override {
        DialogSeen seen;
        if (kind_ == DialogKind::Message) {
            seen = {p_.messages().back().text, p_.messages().back().title, std::nullopt, "", {}};
        } else if (kind_ == DialogKind::Color && p_.color_requests().back().start_on_initial) {
            seen.color = p_.color_requests().back().initial;
        } else if (kind_ == DialogKind::File) {
            const auto& f = p_.file_requests().back();
            seen.file_type = rt::split_filter(f.filter).at(static_cast<std::size_t>(f.filter_index - 1)).description;
        }
        return seen;
    }
    void write_picture(const std::string& path, int width, int height) override {
        p_.add_picture(path, width * 2540 / 96, height * 2540 / 96);
    }
    void write_photo(const std::string& path, const std::string& name, int width, int height) override {
        write_picture(path, width, height);
        p_.set_file_head(path, testing::read_file(testing::test_picture(name)));
    }
    std::optional<rt::Color> shown_pixel(rt::Form& /*form*/, int /*x*/, int /*y*/) override { return std::nullopt; }
    void copy_time(const std::string& from, const std::string& to) override { p_.copy_file_identity(from, to); }
    void rewrite_picture(const std::string& path, int width, int height) override { write_picture(path, width, height); }

private:
    template <typename Post>
    void step(Post post) {
        post();
        p_.run();
    }
    testing::TempDir dir_;
    headless::HeadlessPlatform p_{dir_.path()};
    DialogKind kind_ = DialogKind::Color;
};

}  // namespace

std::unique_ptr<Driver> make_driver() { return std::make_unique<HeadlessDriver>(); }

}  // namespace vellora::contract
