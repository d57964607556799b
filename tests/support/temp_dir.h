// A fresh, empty directory for one test, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace vellora::testing {

class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        // No mkdtemp on Windows: try random names until one is new.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            auto candidate = std::filesystem::temp_directory_path() / ("vellora-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) path_ = candidate;
        }
        if (path_.empty()) throw std::runtime_error("cannot create a temporary directory");
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "vellora-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
        path_ = pattern;
#endif
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace vellora::testing
