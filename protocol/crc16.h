#pragma once

#include <cstdint>
#include <span>

namespace qzr {

// CRC-16 of the camera link: polynomial 0x1021, start 0, no reflection, no
// final XOR. "123456789" gives 0x31C3.
std::uint16_t crc16_ccitt(const std::uint8_t* data, std::uint16_t length);

// The same CRC continued from a running value over a further buffer, so that a
// frame written in pieces can be checked as one.
std::uint16_t crc16_ccitt(std::uint16_t start, const std::uint8_t* data, std::uint16_t length);

inline std::uint16_t crc16_ccitt(std::span<const std::uint8_t> bytes)
{
    return crc16_ccitt(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
}

}  // namespace qzr
