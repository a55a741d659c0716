#include "protocol/lens.h"

#include <algorithm>
#include <limits>
#include <string>

#include "protocol/camera_text.h"
#include "protocol/commands.h"

namespace qzr {
namespace {

constexpr std::uint8_t kFocusPollPayload[] = {0x11, 0x22, 0x33, 0x44, 0xEF};
constexpr std::uint8_t kOn = 0x33;
constexpr std::uint8_t kOff = 0xCC;
constexpr std::uint8_t kLedOff = 0x00;  // the LED frame's second byte
constexpr std::uint8_t kLightMark = 0xEA;
constexpr std::uint8_t kAscending[] = {0x01, 0x02, 0x03, 0x04};
constexpr std::uint8_t kDescending[] = {0x04, 0x03, 0x02, 0x01};
constexpr std::uint8_t kModelMark = 0xE3;
constexpr std::uint8_t kModelCancel[] = {kModelMark, kModelMark, 0x22, 0x33};

bool Equal(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

Bytes Pair(std::uint8_t cameraId, std::uint8_t command, std::uint8_t value)
{
    const std::uint8_t payload[] = {value, value};
    return BuildFrame(cameraId, command, payload);
}

// mark mark v v: the switch frames.
Bytes Switch(std::uint8_t cameraId, std::uint8_t command, std::uint8_t mark, bool on)
{
    const std::uint8_t value = on ? kOn : kOff;
    const std::uint8_t payload[] = {mark, mark, value, value};
    return BuildFrame(cameraId, command, payload);
}

bool IsSwitch(std::span<const std::uint8_t> frame, std::uint8_t command, std::uint8_t mark, bool on)
{
    const std::uint8_t value = on ? kOn : kOff;
    const std::uint8_t expected[] = {mark, mark, value, value};
    const auto payload = FramePayload(frame, command, sizeof expected);
    return payload && Equal(*payload, expected);
}

Bytes Stamped(Bytes frame)
{
    StampCrc(frame);
    return frame;
}

}  // namespace

Bytes BuildZoomRequest(std::uint8_t cameraId, std::uint8_t percent) { return Pair(cameraId, CMD_ZOOM, percent); }
Bytes BuildCheckLensRequest(std::uint8_t cameraId) { return Pair(cameraId, CMD_ZOOM, lens::kCheckLens); }
Bytes BuildFocusRequest(std::uint8_t cameraId) { return Pair(cameraId, CMD_FOCUS, lens::kFocus); }
Bytes BuildZoomResetRequest(std::uint8_t cameraId) { return Pair(cameraId, CMD_ZOOM_RESET, lens::kZoomReset); }
Bytes BuildFocusResetRequest(std::uint8_t cameraId) { return Pair(cameraId, CMD_FOCUS_RESET, lens::kFocusReset); }

std::optional<LensRequest> ParseLensRequest(std::span<const std::uint8_t> frame)
{
    const auto header = ParseFrameHeader(frame);
    if (!header)
        return std::nullopt;
    const auto payload = FramePayload(frame, header->command, 2);
    if (!payload || (*payload)[0] != (*payload)[1])
        return std::nullopt;
    const std::uint8_t value = (*payload)[0];
    switch (header->command) {
    case CMD_ZOOM:
        if (value == lens::kCheckLens)
            return LensRequest{LensRequest::Kind::CheckLens};
        return LensRequest{LensRequest::Kind::Zoom, value};
    case CMD_FOCUS:
        if (value == lens::kFocus)
            return LensRequest{LensRequest::Kind::Focus};
        break;
    case CMD_ZOOM_RESET:
        if (value == lens::kZoomReset)
            return LensRequest{LensRequest::Kind::ZoomReset};
        break;
    case CMD_FOCUS_RESET:
        if (value == lens::kFocusReset)
            return LensRequest{LensRequest::Kind::FocusReset};
        break;
    default:
        break;
    }
    return std::nullopt;
}

std::optional<LensStatus> ParseLensStatus(std::span<const std::uint8_t> reply)
{
    if (reply.size() != lens::kStatusLength || !HasFrameHead(reply) || reply[frame::kCommandOffset] != CMD_LENS_STATUS)
        return std::nullopt;
    const auto p = reply.subspan(frame::kPayloadOffset, 4);
    return LensStatus{p[0], p[1], p[2], p[3]};
}

Bytes BuildLensStatus(std::uint8_t cameraId, std::uint8_t zoom, std::uint8_t focus)
{
    const std::uint8_t payload[] = {zoom, zoom, focus, focus};
    return Stamped(BuildFrame(cameraId, CMD_LENS_STATUS, payload));
}

Bytes BuildLensDoneReply(std::uint8_t cameraId, std::uint8_t command)
{
    const std::uint8_t mark = command == CMD_AUTOFOCUS_DONE ? lens::kAutofocusDoneMark : command;
    return Stamped(Pair(cameraId, command, mark));
}

Bytes BuildFocusValueRequest(std::uint8_t cameraId)
{
    return BuildFrame(cameraId, CMD_FOCUS_VALUE_REQUEST, kFocusPollPayload);
}

bool IsFocusValueRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_FOCUS_VALUE_REQUEST, sizeof kFocusPollPayload);
    return payload && Equal(*payload, kFocusPollPayload);
}

Bytes BuildFocusValueLine(std::uint64_t value)
{
    const std::string digits = std::to_string(value) + "\n";
    return Bytes(digits.begin(), digits.end());
}

std::optional<std::uint64_t> FocusValueOfLine(std::span<const std::uint8_t> chunk)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::optional<std::uint64_t> value;
    for (const char c : CameraTextLine(chunk)) {
        if (c < '0' || c > '9')
            continue;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        const std::uint64_t sofar = value.value_or(0);
        value = sofar > (kMax - digit) / 10 ? kMax : sofar * 10 + digit;
    }
    return value;
}

Bytes BuildLedRequest(std::uint8_t cameraId, bool on)
{
    const std::uint8_t payload[] = {on ? kOn : kOff, kLedOff};
    return BuildFrame(cameraId, CMD_LED, payload);
}

std::optional<bool> ParseLedRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_LED, 2);
    if (!payload || (*payload)[1] != kLedOff || ((*payload)[0] != kOn && (*payload)[0] != kOff))
        return std::nullopt;
    return (*payload)[0] == kOn;
}

Bytes BuildLightRequest(std::uint8_t cameraId, bool whiteLight)
{
    return Switch(cameraId, whiteLight ? CMD_WHITE_LIGHT : CMD_INFRARED, kLightMark, whiteLight);
}

std::optional<bool> ParseLightRequest(std::span<const std::uint8_t> frame)
{
    if (IsSwitch(frame, CMD_WHITE_LIGHT, kLightMark, true))
        return true;
    if (IsSwitch(frame, CMD_INFRARED, kLightMark, false))
        return false;
    return std::nullopt;
}

Bytes BuildAutoFocusRequest(std::uint8_t cameraId, bool on)
{
    return on ? Switch(cameraId, CMD_AUTOFOCUS_ON, CMD_AUTOFOCUS_ON, true)
              : Switch(cameraId, CMD_AUTOFOCUS_OFF, CMD_AUTOFOCUS_OFF, false);
}

std::optional<bool> ParseAutoFocusRequest(std::span<const std::uint8_t> frame)
{
    if (IsSwitch(frame, CMD_AUTOFOCUS_ON, CMD_AUTOFOCUS_ON, true))
        return true;
    if (IsSwitch(frame, CMD_AUTOFOCUS_OFF, CMD_AUTOFOCUS_OFF, false))
        return false;
    return std::nullopt;
}

Bytes BuildTestPattern(std::uint8_t cameraId, bool descending)
{
    return BuildFrame(cameraId, CMD_TEST_PATTERN, descending ? kDescending : kAscending);
}

std::optional<bool> ParseTestPattern(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_TEST_PATTERN, sizeof kAscending);
    if (!payload)
        return std::nullopt;
    if (Equal(*payload, kAscending))
        return false;
    if (Equal(*payload, kDescending))
        return true;
    return std::nullopt;
}

Bytes BuildModelCancelRequest(std::uint8_t cameraId) { return BuildFrame(cameraId, CMD_SET_MODEL, kModelCancel); }

bool IsModelCancelRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_SET_MODEL, sizeof kModelCancel);
    return payload && Equal(*payload, kModelCancel);
}

}  // namespace qzr
