// A small pseudo-random generator with a fixed algorithm (xoshiro256**, seeded with splitmix64),
// so that one seed gives the same log on every platform and standard library.
#pragma once

#include <cstdint>

namespace nimbrel::sim {

class Random {
public:
    explicit Random(std::uint64_t seed) {
        for (std::uint64_t& word : s_) {
            seed += 0x9E3779B97F4A7C15ull;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
    }

    std::uint64_t next() {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    // 0 .. n-1 (n > 0).
    std::uint32_t below(std::uint32_t n) {
        return static_cast<std::uint32_t>(((next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
    }
    // lo .. hi inclusive.
    std::uint32_t range(std::uint32_t lo, std::uint32_t hi) { return lo + below(hi - lo + 1); }
    std::uint8_t byte() { return static_cast<std::uint8_t>(next() >> 56); }
    std::uint32_t word() { return static_cast<std::uint32_t>(next() >> 32); }
    // True with a probability of percent / 100.
    bool chance(std::uint32_t percent) { return below(100) < percent; }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t s_[4];
};

}  // namespace nimbrel::sim
