// The process-wide pseudo-random source: single-precision values, uniform in
// [0, 1). It starts from the same state in every process, so a run repeats
// the previous run's sequence.
#pragma once

#include <cstdint>

namespace vellora::rt {

class Random {
public:
    // The next value, a multiple of 2^-24 in [0, 1).
    float next() {
        // 64-bit LCG (Knuth's MMIX constants); the top 24 bits give the value.
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<float>(state_ >> 40U) * (1.0F / 16777216.0F);
    }

private:
    std::uint64_t state_ = 0x853C49E6748FEA9BULL;
};

}  // namespace vellora::rt
