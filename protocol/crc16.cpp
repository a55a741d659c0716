#include "protocol/crc16.h"

#include <array>

namespace qzr {
namespace {

constexpr std::array<std::uint16_t, 256> MakeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x1021);

}  // namespace

std::uint16_t crc16_ccitt(std::uint16_t start, const std::uint8_t* data, std::uint16_t length)
{
    std::uint16_t crc = start;
    for (std::uint16_t i = 0; i < length; ++i)
        crc = static_cast<std::uint16_t>(kTable[((crc >> 8) ^ data[i]) & 0xFF] ^ (crc << 8));
    return crc;
}

std::uint16_t crc16_ccitt(const std::uint8_t* data, std::uint16_t length)
{
    return crc16_ccitt(0, data, length);
}

}  // namespace qzr
