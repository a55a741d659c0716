// libFuzzer entry point over one family of the console's readers (console_harness.h);
// half of the time the mutated frames get their length field and CRC fixed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/console_harness.h"

#ifndef QZR_CONSOLE_FAMILY
#error "QZR_CONSOLE_FAMILY names the family this program runs"
#endif

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using qzr::fuzz::Family;
    if (const auto finding = qzr::fuzz::RunConsole(Family::QZR_CONSOLE_FAMILY, {data, size})) {
        std::fprintf(stderr, "console finding: %s\n", finding->c_str());
        std::abort();
    }
    return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                              unsigned seed)
{
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed & 1)
        qzr::fuzz::FixFrames(data, size);
    return size;
}
