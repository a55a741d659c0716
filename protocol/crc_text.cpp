#include "protocol/crc_text.h"

#include <cstdio>

#include "protocol/crc16.h"

namespace qzr {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::uint8_t HexPairToByte(char high, char low)
{
    return static_cast<std::uint8_t>((HexDigitValue(high) << 4) | HexDigitValue(low));
}

Bytes HexTextToBytes(std::string_view text, std::size_t maxBytes)
{
    Bytes bytes;
    char pending = 0;
    bool havePending = false;
    for (char c : text) {
        if (bytes.size() >= maxBytes)
            break;
        // Bytes of multi-byte UTF-8 characters have the high bit set and are
        // never taken for digits.
        if (HexDigitValue(c) < 0)
            continue;
        if (!havePending) {
            pending = c;
            havePending = true;
        } else {
            bytes.push_back(HexPairToByte(pending, c));
            havePending = false;
        }
    }
    return bytes;
}

std::optional<std::string> CrcToolAnswer(const Bytes& bytes)
{
    if (bytes.size() < 2 || bytes[0] != frame::kHead0 || bytes[1] != frame::kHead1)
        return std::nullopt;
    const std::uint16_t crc = crc16_ccitt(bytes.data() + 2, static_cast<std::uint16_t>(bytes.size() - 2));
    const unsigned shown = ((crc & 0xFFu) << 8) | (crc >> 8);
    char text[16];
    std::snprintf(text, sizeof text, "%x", shown);
    return text;
}

}  // namespace qzr
