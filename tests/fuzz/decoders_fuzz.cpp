// libFuzzer entry point over the decoder checks: the first byte picks a family. Now and then
// the mutator starts from a family's valid input, damaged as a line damages it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/decoder_checks.h"

using qzr::fuzz::DecoderFamilies;

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const qzr::fuzz::DecoderFamily& family = DecoderFamilies()[data[0] % DecoderFamilies().size()];
    if (const char* broken = qzr::fuzz::BrokenPromise(family, {data + 1, size - 1})) {
        std::fprintf(stderr, "%s: broken: %s\n", family.name, broken);
        std::abort();
    }
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                              unsigned seed)
{
    qzr::fuzz::Damage damage(seed);
    if (maxSize == 0 || !damage.OneIn(8))
        return LLVMFuzzerMutate(data, size, maxSize);
    const std::size_t pick = damage.Below(DecoderFamilies().size());
    const qzr::Bytes input = damage.Case(DecoderFamilies()[pick].seeds);
    const std::size_t length = std::min(input.size(), maxSize - 1);
    data[0] = static_cast<std::uint8_t>(pick);
    std::copy_n(input.begin(), length, data + 1);
    return length + 1;
}
