#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace qzr {

// The CRC calculator's reading of typed text: only the ASCII characters 0-9,
// a-f and A-F count (blanks, commas, the x of 0x and every byte of a
// multi-byte character are skipped); digits pair up, first digit high nibble;
// at most `maxBytes` bytes are taken and a last unpaired digit is dropped.
inline constexpr std::size_t kMaxCrcToolBytes = 64;
Bytes HexTextToBytes(std::string_view text, std::size_t maxBytes = kMaxCrcToolBytes);

// The value of an ASCII hexadecimal digit (0-9, a-f, A-F), -1 for any other byte.
int HexDigitValue(char c);

// Two hexadecimal digits (already known to be digits) to their byte.
std::uint8_t HexPairToByte(char high, char low);

// The calculator's answer for typed frame bytes: nullopt unless they start
// 90 EB; otherwise the CRC of the bytes after those two, written "%x" with the
// low byte as the high-order part, so the text reads in the order the two
// bytes go on the line (low 4A, high 1F gives "4a1f"; low 00, high 12 gives "12").
std::optional<std::string> CrcToolAnswer(const Bytes& bytes);

}  // namespace qzr
