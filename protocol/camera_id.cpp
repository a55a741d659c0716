#include "protocol/camera_id.h"

#include <utility>

#include "protocol/commands.h"

namespace qzr {
namespace {

constexpr std::uint8_t kQueryMagic0 = 0x55;  // request payload 55 AA
constexpr std::uint8_t kQueryMagic1 = 0xAA;
constexpr std::size_t kQueryReplyMark = 7;  // reply carries AA 55 at 7..8
constexpr std::size_t kQueryReplyMinimum = 9;

constexpr std::pair<std::string_view, std::uint8_t> kBaudTexts[] = {
    {"9600", 1},    {"19200", 2},   {"28800", 3},   {"38400", 4},   {"57600", 5},
    {"115200", 6},  {"230400", 7},  {"256000", 8},  {"345600", 9},  {"460800", 10},
    {"576000", 11}, {"2400", 0x10}, {"4800", 0x11},
};
constexpr std::uint8_t kDefaultBaudCode = 6;

// A complete frame of `command` whose payload is exactly `payloadLength` bytes.
bool IsFrameOf(std::span<const std::uint8_t> frame, std::uint8_t command, std::size_t payloadLength)
{
    const auto header = ParseFrameHeader(frame);
    return header && header->command == command && header->payloadLength == payloadLength &&
           frame.size() == payloadLength + frame::kOverhead;
}

}  // namespace

Bytes BuildQueryIdRequest()
{
    const std::uint8_t payload[] = {kQueryMagic0, kQueryMagic1};
    return BuildFrame(0x00, CMD_QUERY_ID, payload);
}

bool IsQueryIdRequest(std::span<const std::uint8_t> frame)
{
    return IsFrameOf(frame, CMD_QUERY_ID, 2) && frame[frame::kPayloadOffset] == kQueryMagic0 &&
           frame[frame::kPayloadOffset + 1] == kQueryMagic1;
}

Bytes BuildQueryIdReply(std::uint8_t cameraId, std::uint8_t baudCode)
{
    const std::uint8_t payload[] = {baudCode, kQueryMagic1, kQueryMagic0};
    Bytes reply = BuildFrame(cameraId, CMD_QUERY_ID, payload);
    StampCrc(reply);
    return reply;
}

std::optional<std::uint8_t> ParseQueryIdReply(std::span<const std::uint8_t> reply)
{
    if (reply.size() < kQueryReplyMinimum || !HasFrameHead(reply) || reply[frame::kCommandOffset] != CMD_QUERY_ID ||
        reply[kQueryReplyMark] != kQueryMagic1 || reply[kQueryReplyMark + 1] != kQueryMagic0)
        return std::nullopt;
    return reply[frame::kIdOffset];
}

Bytes BuildSetIdRequest(std::uint8_t currentId, std::uint8_t newId)
{
    const std::uint8_t payload[] = {newId};
    return BuildFrame(currentId, CMD_SET_ID, payload);
}

std::optional<std::uint8_t> ParseSetIdRequest(std::span<const std::uint8_t> frame)
{
    if (!IsFrameOf(frame, CMD_SET_ID, 1))
        return std::nullopt;
    return frame[frame::kPayloadOffset];
}

Bytes BuildSetBaudRequest(std::uint8_t cameraId, std::uint8_t baudCode, bool save)
{
    const std::uint8_t payload[] = {baudCode};
    return BuildFrame(cameraId, save ? CMD_SET_BAUD_SAVE : CMD_SET_BAUD, payload);
}

std::optional<SetBaudRequest> ParseSetBaudRequest(std::span<const std::uint8_t> frame)
{
    if (IsFrameOf(frame, CMD_SET_BAUD, 1))
        return SetBaudRequest{frame[frame::kPayloadOffset], false};
    if (IsFrameOf(frame, CMD_SET_BAUD_SAVE, 1))
        return SetBaudRequest{frame[frame::kPayloadOffset], true};
    return std::nullopt;
}

std::uint8_t BaudCodeFromText(std::string_view text)
{
    for (const auto& [name, code] : kBaudTexts)
        if (name == text)
            return code;
    return kDefaultBaudCode;
}

std::optional<std::uint32_t> BaudRateFromCode(std::uint8_t code)
{
    for (const auto& [name, c] : kBaudTexts) {
        if (c != code)
            continue;
        std::uint32_t rate = 0;
        for (char digit : name)
            rate = rate * 10 + static_cast<std::uint32_t>(digit - '0');
        return rate;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> BaudCodeFromRate(std::uint32_t rate)
{
    for (const auto& [name, code] : kBaudTexts)
        if (BaudRateFromCode(code) == rate)
            return code;
    return std::nullopt;
}

}  // namespace qzr
