#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/frame.h"

namespace qzr {

// CMD_OSD_TEXT: text on the camera's picture. The frame keeps the fixed tail
// 0xC1 0xC2 in place of a CRC. X and Y go out as their low 8 bits followed by
// the low 8 bits of the value divided by 256 (truncated toward zero), so
// 70000 is sent as 70 11, -1 as FF 00 and -256 as 00 FF; the size as its low 8 bits.
inline constexpr std::size_t kMaxOsdTextBytes = 100;

Bytes BuildOsdFrame(std::uint8_t cameraId, int x, int y, int size, std::span<const std::uint8_t> text);

struct OsdFrame {
    std::uint8_t cameraId;
    std::uint16_t x;  // as sent: low byte, then the byte of x / 256
    std::uint16_t y;
    std::uint8_t size;
    Bytes text;
    bool operator==(const OsdFrame&) const = default;
};
// Reads a complete OSD frame; nullopt when the bytes are not one.
std::optional<OsdFrame> ParseOsdFrame(std::span<const std::uint8_t> frame);

}  // namespace qzr
