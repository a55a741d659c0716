#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/frame.h"

namespace qzr {

// The part of a camera's view watched for motion: 9 rows by 12 columns of
// cells, row 0 at the top and column 0 at the left, one byte a cell (1
// watched, 0 not), row by row. The camera and both area files take the cells
// in this order.
struct MotionAreaMap {
    static constexpr int kRows = 9;
    static constexpr int kColumns = 12;
    static constexpr std::size_t kCells = 108;

    std::array<std::uint8_t, kCells> cells{};

    std::uint8_t& At(int row, int column) { return cells[static_cast<std::size_t>(row * kColumns + column)]; }
    std::uint8_t At(int row, int column) const { return cells[static_cast<std::size_t>(row * kColumns + column)]; }
    bool operator==(const MotionAreaMap&) const = default;
};

// The detection values as the camera takes them, one byte each: the low 8
// bits of what the operator typed.
struct MotionSettings {
    std::uint8_t sensitivity = 0;
    std::uint8_t interval = 0;
    std::uint8_t density = 0;
    bool operator==(const MotionSettings&) const = default;
};

namespace motion {
inline constexpr std::size_t kAreaFrameLength = 120;   // 8 envelope bytes and 112 of payload
inline constexpr std::size_t kAlarmLength = 12;
}  // namespace motion

// CMD_SET_MOTION_AREA: sensitivity, interval, density, a zero byte and the 108
// cells, 120 bytes with the tail C1 C2 left for the sender's CRC.
Bytes BuildMotionAreaFrame(std::uint8_t cameraId, const MotionSettings& settings, const MotionAreaMap& area);

struct MotionAreaRequest {
    std::uint8_t cameraId = 0;
    MotionSettings settings;
    MotionAreaMap area;  // the cell bytes as sent
    bool operator==(const MotionAreaRequest&) const = default;
};
// A complete area frame of 120 bytes with its payload length 112; the check
// field is not judged here. nullopt for anything else.
std::optional<MotionAreaRequest> ParseMotionAreaFrame(std::span<const std::uint8_t> frame);

// The area frame as the console keeps it in "posText.txt": every byte as two
// uppercase hexadecimal digits followed by a space.
std::string SpacedHexText(std::span<const std::uint8_t> bytes);

// CMD_MOTION_ALARM, camera to console: 12 bytes, 90 EB, the id of the camera
// that saw motion, 0x54, a payload of four bytes nobody reads, the CRC.
Bytes BuildMotionAlarm(std::uint8_t cameraId);
// The id of the camera that raised the alarm, for a read of exactly 12 bytes
// starting 90 EB with 0x54 at offset 3 (bytes 4 to 11 are not examined);
// nullopt for anything else.
std::optional<std::uint8_t> ParseMotionAlarm(std::span<const std::uint8_t> chunk);

}  // namespace qzr
