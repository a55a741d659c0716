#include "protocol/serial_number.h"

#include "protocol/commands.h"

namespace qzr {
namespace {

constexpr std::size_t kSerialOffset = 6;  // four bytes, most significant first
constexpr std::size_t kYearOffset = 10;
constexpr std::size_t kMonthOffset = 11;
constexpr std::size_t kDayOffset = 12;
constexpr std::size_t kMarkOffset = 13;
constexpr std::uint8_t kSerialValidMark = 0x99;
constexpr std::uint8_t kYearLimit = 99;  // years 2000 to 2098
constexpr std::uint8_t kMonthLimit = 13;
constexpr std::uint8_t kDayLimit = 32;

// The notice: F1 as the command and in both payload bytes.
constexpr std::size_t kNoticeSpan = 8;
constexpr std::size_t kNoticeShortestChunk = 9;
constexpr std::uint8_t kNoticeMark = CMD_PRODUCTION_DATE_SET;

}  // namespace

Bytes BuildSerialNumberQuery(std::uint8_t cameraId) { return BuildFrame(cameraId, CMD_QUERY_SERIAL); }

bool IsSerialNumberQuery(std::span<const std::uint8_t> frame)
{
    const auto header = ParseFrameHeader(frame);
    return header && header->command == CMD_QUERY_SERIAL && header->payloadLength == 0 && frame.size() == frame::kOverhead;
}

std::optional<SerialNumberReply> ParseSerialNumberReply(std::span<const std::uint8_t> reply)
{
    if (reply.size() != kSerialNumberReplyLength || !HasFrameHead(reply) || reply[frame::kCommandOffset] != CMD_QUERY_SERIAL)
        return std::nullopt;
    SerialNumberReply parsed;
    parsed.year = reply[kYearOffset];
    parsed.month = reply[kMonthOffset];
    parsed.day = reply[kDayOffset];
    if (parsed.year >= kYearLimit || parsed.month >= kMonthLimit || parsed.day >= kDayLimit)
        return std::nullopt;
    for (std::size_t i = 0; i < 4; ++i)
        parsed.serialNumber = (parsed.serialNumber << 8) | reply[kSerialOffset + i];
    parsed.serialValid = reply[kMarkOffset] == kSerialValidMark;
    return parsed;
}

Bytes BuildSerialNumberReply(std::uint8_t cameraId, const SerialNumberReply& reply)
{
    const std::uint32_t serial = reply.serialNumber;
    const std::uint8_t payload[] = {
        static_cast<std::uint8_t>(serial >> 24), static_cast<std::uint8_t>(serial >> 16),
        static_cast<std::uint8_t>(serial >> 8),  static_cast<std::uint8_t>(serial),
        reply.year, reply.month, reply.day, static_cast<std::uint8_t>(reply.serialValid ? kSerialValidMark : 0x00),
    };
    Bytes frame = BuildFrame(cameraId, CMD_QUERY_SERIAL, payload);
    StampCrc(frame);
    return frame;
}

Bytes BuildProductionDateNotice(std::uint8_t cameraId)
{
    const std::uint8_t payload[] = {kNoticeMark, kNoticeMark};
    Bytes frame = BuildFrame(cameraId, CMD_PRODUCTION_DATE_SET, payload);
    StampCrc(frame);
    return frame;
}

bool ContainsProductionDateNotice(std::span<const std::uint8_t> chunk)
{
    if (chunk.size() < kNoticeShortestChunk)
        return false;
    for (std::size_t p = 0; p + kNoticeSpan <= chunk.size(); ++p) {
        if (chunk[p] == frame::kHead0 && chunk[p + 1] == frame::kHead1 && chunk[p + 3] == kNoticeMark &&
            chunk[p + 6] == kNoticeMark && chunk[p + 7] == kNoticeMark)
            return true;
    }
    return false;
}

}  // namespace qzr
