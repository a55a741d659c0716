// Every decoder of line bytes (the table in tests/fuzz/decoder_checks.cpp) fed
// valid, damaged and random input from a fixed seed, each case in a heap block
// of its exact size so that a read past the end hits the sanitizer's red zone.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/fuzz/decoder_checks.h"

namespace qzr::fuzz {
namespace {

// Each family also meets every family's valid frames as they are, so that a
// decoder that takes another command's frame is caught by its round trip.
TEST(DecoderChecks, KeptOnDamagedInput)
{
    for (const DecoderFamily& family : DecoderFamilies()) {
        for (const DecoderFamily& other : DecoderFamilies())
            for (const Bytes& input : other.seeds) {
                Verdict verdict;
                family.check(input, verdict);
                ASSERT_FALSE(verdict.Broken()) << family.name << " on " << other.name << ": " << verdict.Broken();
            }
        Damage damage(0x5152u);
        for (int i = 0; i < 4000; ++i) {
            const Bytes input = damage.Case(family.seeds);
            const auto exact = std::make_unique<std::uint8_t[]>(input.size());
            std::copy(input.begin(), input.end(), exact.get());
            Verdict verdict;
            family.check({exact.get(), input.size()}, verdict);
            ASSERT_FALSE(verdict.Broken()) << family.name << ", case " << i << ": " << verdict.Broken();
        }
    }
}

}  // namespace
}  // namespace qzr::fuzz
