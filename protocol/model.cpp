#include "protocol/model.h"

#include <algorithm>

#include "protocol/commands.h"

namespace qzr {
namespace {

constexpr CameraModel kModels[] = {
    {0x11, "QZR-L1N", true}, {0x12, "QZR-L2", true}, {0x13, "QZR-L3", true}, {0x15, "QZR-L5", true},
    {0x18, "QZR-L8", true},  {0x1A, "QZR-LA", true}, {0x1C, "QZR-LC", true},
    {0x21, "QZR-M1", true},  {0x22, "QZR-M2", true}, {0x23, "QZR-M3", true}, {0x25, "QZR-M5", true},
    {0x28, "QZR-M8", true},  {0x2A, "QZR-MA", true}, {0x2C, "QZR-MC", true},
    {0x31, "QZR-H1", true},  {0x32, "QZR-H2", true}, {0x33, "QZR-H3", true}, {0x35, "QZR-H5", true},
    {0x38, "QZR-H8", true},  {0x3A, "QZR-HA", true}, {0x3C, "QZR-HC", true},
    {0x41, "QZR-S1", true},  {0x42, "QZR-S2", true}, {0x43, "QZR-S3", true}, {0x45, "QZR-S5", true},
    {0x48, "QZR-S8", true},  {0x4A, "QZR-SA", true}, {0x4C, "QZR-SC", true},
    {0x51, "QZR-J1", false}, {0x52, "QZR-J2", false}, {0x53, "QZR-J3", false}, {0x55, "QZR-J5", false},
    {0x58, "QZR-J8", false}, {0x5A, "QZR-JA", false}, {0x5C, "QZR-JC", false},
};

constexpr std::uint8_t kQueryPayload[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
constexpr std::uint8_t kSetModelMark = 0xE3;
constexpr std::uint8_t kSetFunctionMark = 0xB4;
constexpr std::uint8_t kOn = 0x33;
constexpr std::uint8_t kOff = 0xCC;
constexpr std::size_t kReplyCodeOffset = 9;  // the code, its copy, the function mode

// Two marks, then a value twice: the value when the frame is of that shape.
std::optional<std::uint8_t> MarkedPair(std::span<const std::uint8_t> frame, std::uint8_t command, std::uint8_t mark)
{
    const auto payload = FramePayload(frame, command, 4);
    if (!payload || (*payload)[0] != mark || (*payload)[1] != mark || (*payload)[2] != (*payload)[3])
        return std::nullopt;
    return (*payload)[2];
}

Bytes MarkedPairRequest(std::uint8_t cameraId, std::uint8_t command, std::uint8_t mark, std::uint8_t value)
{
    const std::uint8_t payload[] = {mark, mark, value, value};
    return BuildFrame(cameraId, command, payload);
}

std::uint8_t Switch(bool on) { return on ? kOn : kOff; }

}  // namespace

std::span<const CameraModel> CameraModels() { return kModels; }

std::optional<std::uint8_t> ModelCodeOfName(std::string_view name)
{
    const auto found = std::find_if(std::begin(kModels), std::end(kModels), [&](const CameraModel& m) { return m.name == name; });
    if (found == std::end(kModels))
        return std::nullopt;
    return found->code;
}

std::optional<std::string> ModelReplyText(std::uint8_t code)
{
    const auto found = std::find_if(std::begin(kModels), std::end(kModels), [&](const CameraModel& m) { return m.code == code; });
    if (found == std::end(kModels) || !found->named)
        return std::nullopt;
    return " " + std::string(found->name);
}

Bytes BuildModelQuery(std::uint8_t cameraId) { return BuildFrame(cameraId, CMD_QUERY_MODEL, kQueryPayload); }

bool IsModelQuery(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_QUERY_MODEL, sizeof kQueryPayload);
    return payload && std::equal(payload->begin(), payload->end(), std::begin(kQueryPayload));
}

Bytes BuildSetModelRequest(std::uint8_t cameraId, std::uint8_t modelCode)
{
    return MarkedPairRequest(cameraId, CMD_SET_MODEL, kSetModelMark, modelCode);
}

std::optional<std::uint8_t> ParseSetModelRequest(std::span<const std::uint8_t> frame)
{
    return MarkedPair(frame, CMD_SET_MODEL, kSetModelMark);
}

Bytes BuildSetFunctionRequest(std::uint8_t cameraId, std::uint8_t functionMode)
{
    return MarkedPairRequest(cameraId, CMD_SET_FUNCTION, kSetFunctionMark, functionMode);
}

std::optional<std::uint8_t> ParseSetFunctionRequest(std::span<const std::uint8_t> frame)
{
    return MarkedPair(frame, CMD_SET_FUNCTION, kSetFunctionMark);
}

Bytes BuildBatchSettingRequest(std::uint8_t cameraId, const BatchSetting& setting)
{
    const std::uint8_t payload[] = {
        Switch(setting.whiteLight), Switch(setting.autoFocus), Switch(setting.alarm),
        setting.modelCode,          setting.modelCode,         setting.functionMode,
    };
    return BuildFrame(cameraId, CMD_BATCH_SETTING, payload);
}

std::optional<BatchSetting> ParseBatchSettingRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_BATCH_SETTING, 6);
    if (!payload)
        return std::nullopt;
    const auto p = *payload;
    for (std::size_t i = 0; i < 3; ++i)
        if (p[i] != kOn && p[i] != kOff)
            return std::nullopt;
    if (p[3] != p[4])
        return std::nullopt;
    return BatchSetting{p[0] == kOn, p[1] == kOn, p[2] == kOn, p[3], p[5]};
}

std::optional<ModelReply> ParseModelReply(std::span<const std::uint8_t> reply)
{
    if (reply.size() != kModelReplyLength || !HasFrameHead(reply) || reply[frame::kCommandOffset] != CMD_MODEL_REPLY)
        return std::nullopt;
    return ModelReply{reply[kReplyCodeOffset], reply[kReplyCodeOffset + 1], reply[kReplyCodeOffset + 2]};
}

Bytes BuildModelReply(std::uint8_t cameraId, std::uint8_t modelCode, std::uint8_t functionMode)
{
    const std::uint8_t payload[] = {0x00, 0x00, 0x00, modelCode, modelCode, functionMode};
    Bytes frame = BuildFrame(cameraId, CMD_MODEL_REPLY, payload);
    StampCrc(frame);
    return frame;
}

}  // namespace qzr
