#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "protocol/frame.h"

namespace qzr {

// The camera's serial number and production date (CMD_QUERY_SERIAL), and the
// notice a camera sends once its production date has been set
// (CMD_PRODUCTION_DATE_SET). Requests leave the placeholder tail for the
// sender; the camera's frames carry the CRC.

// 90 EB id 51 00 00 + tail (8 bytes).
Bytes BuildSerialNumberQuery(std::uint8_t cameraId);
bool IsSerialNumberQuery(std::span<const std::uint8_t> frame);

struct SerialNumberReply {
    std::uint32_t serialNumber = 0;
    std::uint8_t year = 0;   // minus 2000
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    bool serialValid = true;  // the camera marks a faulty serial number
    bool operator==(const SerialNumberReply&) const = default;
};

inline constexpr std::size_t kSerialNumberReplyLength = 16;

// The 16-byte reply: 90 EB id 51 len(2), the serial number most significant
// byte first, year - 2000, month, day, 0x99 for a valid serial number (any
// other byte marks it faulty), CRC. nullopt for another length, head or
// command, and for a date out of range (year 99 or more, month 13 or more,
// day 32 or more); the length field and the CRC are not examined.
std::optional<SerialNumberReply> ParseSerialNumberReply(std::span<const std::uint8_t> reply);
// The camera's side: the fields as given, a date out of range included.
Bytes BuildSerialNumberReply(std::uint8_t cameraId, const SerialNumberReply& reply);

// The notice as a camera sends it: 90 EB id F1 02 00 F1 F1 + CRC (10 bytes).
Bytes BuildProductionDateNotice(std::uint8_t cameraId);
// Whether a received chunk holds the notice: 90 EB at some position p with
// F1 at p + 3, p + 6 and p + 7, wherever it starts. Chunks shorter than 9
// bytes are not looked at.
bool ContainsProductionDateNotice(std::span<const std::uint8_t> chunk);

}  // namespace qzr
