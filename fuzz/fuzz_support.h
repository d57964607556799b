// Shared helpers of the fuzzers: a scratch folder for the run and a check
// that stops the run with a message (libFuzzer then saves the input).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace vellora::fuzz {

// Stops the run when an invariant does not hold.
#define VELLORA_FUZZ_CHECK(cond)                                                               \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// A folder of its own for this fuzzing process, removed when it ends.
inline const std::filesystem::path& scratch_dir() {
    struct Dir {
        std::filesystem::path path;
        Dir() {
            std::string pattern = (std::filesystem::temp_directory_path() / "vellora-fuzz-XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr) {
                std::perror("mkdtemp");
                std::abort();
            }
            path = pattern;
        }
        ~Dir() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Dir dir;
    return dir.path;
}

}  // namespace vellora::fuzz
