// Every camera decoder (tests/fuzz/decoder_checks.cpp) on valid, damaged and seeded random input.
#include <gtest/gtest.h>

#include <string>

#include "tests/fuzz/decoder_checks.h"

namespace qzr::fuzz {
namespace {

// A decoder that takes another command's frame, or misses a byte it should judge, fails its round trip.
TEST(DecoderChecks, KeptOnDamagedInput)
{
    for (const DecoderFamily& family : DecoderFamilies()) {
        const auto check = [&](const Bytes& input, const std::string& what) {
            const char* broken = BrokenPromise(family, input);
            return broken ? testing::AssertionFailure() << family.name << " on " << what << ": " << broken
                          : testing::AssertionSuccess();
        };
        for (const DecoderFamily& other : DecoderFamilies())
            for (const Bytes& input : other.seeds)
                ASSERT_TRUE(check(input, other.name));
        for (Bytes input : family.seeds)
            for (std::size_t at = 0; at < input.size(); ++at)
                for (const std::uint8_t was = input[at]; const int value : {0x00, 0xFF, was ^ 0x01}) {
                    input[at] = static_cast<std::uint8_t>(value);
                    ASSERT_TRUE(check(input, "a seed with one byte changed"));
                    input[at] = was;
                }
        Damage damage(0x5152u);
        for (int i = 0; i < 4000; ++i)
            ASSERT_TRUE(check(damage.Case(family.seeds), "case " + std::to_string(i)));
    }
}

}  // namespace
}  // namespace qzr::fuzz
