// What the benchmarks stand on: a decoder that makes every file look new on
// every load (the "decode on every tick" behaviour), a scratch folder and
// percentiles.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "runtime/picture.h"

namespace vellora::bench {

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
    std::optional<rt::PixelSize> pixel_size(const std::string& path) override { return inner_.pixel_size(path); }
    rt::Picture decode(const std::string& path, int reduction) override { return inner_.decode(path, reduction); }
    std::vector<std::string> extensions() override { return inner_.extensions(); }

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
