// What the benchmarks stand on: a platform that is the headless runtime in
// everything but its picture decoder, a decoder that makes every file look
// new on every load (the "decode on every tick" behaviour), and percentiles.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/headless/headless.h"
#include "runtime/picture.h"
#include "runtime/platform.h"

namespace vellora::bench {

// The headless runtime with another picture decoder.
class DecoderSwap final : public rt::Platform {
public:
    DecoderSwap(headless::HeadlessPlatform& base, rt::PictureDecoder& decoder) : base_(base), decoder_(decoder) {}

    std::unique_ptr<rt::NativeWindow> create_window(rt::Form& form) override { return base_.create_window(form); }
    std::unique_ptr<rt::NativeTimer> create_timer(std::function<void()> tick) override {
        return base_.create_timer(std::move(tick));
    }
    void run_until(const std::function<bool()>& done) override { base_.run_until(done); }
    void send_key(rt::Form* active, std::int16_t key, std::int16_t shift) override { base_.send_key(active, key, shift); }
    rt::ScreenMetrics screen() override { return base_.screen(); }
    int show_cursor(bool show) override { return base_.show_cursor(show); }
    double time_of_day() override { return base_.time_of_day(); }
    void message_box(const rt::MessageBoxRequest& request) override { base_.message_box(request); }
    std::optional<rt::Color> choose_color(const rt::ColorDialogRequest& request) override {
        return base_.choose_color(request);
    }
    std::optional<std::string> open_file(const rt::FileDialogRequest& request) override {
        return base_.open_file(request);
    }
    void show_help(const std::string& help_file) override { base_.show_help(help_file); }
    bool is_window(rt::ForeignWindow window) override { return base_.is_window(window); }
    std::optional<rt::PixelRect> client_rect(rt::ForeignWindow window) override { return base_.client_rect(window); }
    std::optional<rt::PixelRect> window_rect(rt::ForeignWindow window) override { return base_.window_rect(window); }
    bool previous_instance() override { return base_.previous_instance(); }
    std::string command_line_arguments() override { return base_.command_line_arguments(); }
    rt::ProfileFile& settings_file() override { return base_.settings_file(); }
    rt::Registry& registry() override { return base_.registry(); }
    rt::UserStore& user_store() override { return base_.user_store(); }
    rt::PictureDecoder& picture_decoder() override { return decoder_; }
    rt::Picture app_icon() override { return base_.app_icon(); }
    std::string spare_picture_path() override { return base_.spare_picture_path(); }

private:
    headless::HeadlessPlatform& base_;
    rt::PictureDecoder& decoder_;
};

// Every file looks changed at every look, so the picture service decodes
// it on every load.
class FreshIdentity final : public rt::PictureDecoder {
public:
    explicit FreshIdentity(rt::PictureDecoder& inner) : inner_(inner) {}
    std::optional<rt::FileIdentity> identify(const std::string& path) override {
        auto identity = inner_.identify(path);
        if (identity) identity->extra = ++looks_;
        return identity;
    }
    rt::Picture decode(const std::string& path) override { return inner_.decode(path); }

private:
    rt::PictureDecoder& inner_;
    std::uint64_t looks_ = 0;
};

// A scratch folder, removed with its contents.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vellora-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The p-th percentile (nearest rank) of the samples.
inline double percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

}  // namespace vellora::bench
