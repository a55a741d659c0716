#pragma once

#include <cstdint>
#include <vector>

namespace qzr::test {

// A real JPEG of one colour, made by the toolkit's encoder.
std::vector<std::uint8_t> MakeJpeg(int width, int height);

}  // namespace qzr::test
