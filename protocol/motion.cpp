#include "protocol/motion.h"

#include <algorithm>

#include "protocol/commands.h"

namespace qzr {
namespace {

constexpr std::size_t kSettingsBytes = 4;  // sensitivity, interval, density, a zero byte
constexpr std::uint16_t kAreaPayloadLength = kSettingsBytes + MotionAreaMap::kCells;
constexpr std::size_t kAlarmPayloadLength = motion::kAlarmLength - frame::kOverhead;

}  // namespace

Bytes BuildMotionAreaFrame(std::uint8_t cameraId, const MotionSettings& settings, const MotionAreaMap& area)
{
    Bytes payload = {settings.sensitivity, settings.interval, settings.density, 0x00};
    payload.insert(payload.end(), area.cells.begin(), area.cells.end());
    return BuildFrame(cameraId, CMD_SET_MOTION_AREA, payload);
}

std::optional<MotionAreaRequest> ParseMotionAreaFrame(std::span<const std::uint8_t> bytes)
{
    const auto header = ParseFrameHeader(bytes);
    if (!header || header->command != CMD_SET_MOTION_AREA || header->payloadLength != kAreaPayloadLength ||
        bytes.size() != motion::kAreaFrameLength)
        return std::nullopt;
    const std::uint8_t* p = bytes.data() + frame::kPayloadOffset;
    MotionAreaRequest request;
    request.cameraId = header->cameraId;
    request.settings = {p[0], p[1], p[2]};
    std::copy_n(p + kSettingsBytes, MotionAreaMap::kCells, request.area.cells.begin());
    return request;
}

std::string SpacedHexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
        text += ' ';
    }
    return text;
}

Bytes BuildMotionAlarm(std::uint8_t cameraId)
{
    const std::uint8_t payload[kAlarmPayloadLength] = {};
    Bytes alarm = BuildFrame(cameraId, CMD_MOTION_ALARM, payload);
    StampCrc(alarm);
    return alarm;
}

std::optional<std::uint8_t> ParseMotionAlarm(std::span<const std::uint8_t> chunk)
{
    if (chunk.size() != motion::kAlarmLength || !HasFrameHead(chunk) ||
        chunk[frame::kCommandOffset] != CMD_MOTION_ALARM)
        return std::nullopt;
    return chunk[frame::kIdOffset];
}

}  // namespace qzr
