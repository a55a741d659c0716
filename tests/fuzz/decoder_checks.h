#pragma once

// Every decoder of what a camera sends, with the promises it keeps on any input; run on damaged
// frames by tests/protocol/decoders_fuzz_test.cpp and on anything by decoders_fuzz.cpp.

#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "protocol/frame.h"

namespace qzr::fuzz {

using Span = std::span<const std::uint8_t>;

// The first promise broken on one input, if any.
class Verdict {
public:
    void Keep(bool kept, const char* promise)
    {
        if (!kept && !m_broken)
            m_broken = promise;
    }
    const char* Broken() const { return m_broken; }

private:
    const char* m_broken = nullptr;
};
#define QZR_KEEP(verdict, ...) (verdict).Keep((__VA_ARGS__), #__VA_ARGS__)

// Decoders of the same kind of bytes: valid input for damage to start from, and their checks.
struct DecoderFamily {
    const char* name;
    std::vector<Bytes> seeds;
    void (*check)(Span input, Verdict& verdict);
};
const std::vector<DecoderFamily>& DecoderFamilies();

// Runs a family's checks on a copy of `input` in a heap block of its exact size (a read past
// the end hits the sanitizer's red zone); the promise broken, if any.
const char* BrokenPromise(const DecoderFamily& family, Span input);

// Random bytes, and seeds damaged the ways a line or a confused camera damages them.
class Damage {
public:
    explicit Damage(std::uint32_t seed) : m_random(seed) {}

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }
    bool OneIn(std::size_t n) { return Below(n) == 0; }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(256)); }
    Bytes RandomBytes(std::size_t maxLength);
    // Noise now and then, a seed as it is now and then, mostly a seed with a few faults.
    Bytes Case(const std::vector<Bytes>& seeds);

private:
    void Apply(Bytes& bytes);

    std::mt19937 m_random;
};

}  // namespace qzr::fuzz
