#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "protocol/frame.h"

namespace qzr {

// Lens, light and alarm control: zoom and focus with their resets, the lens
// status and the done replies, manual focusing's poll and the focus-value line
// the camera answers it with, the LED, white light or infrared, autofocus, the
// test pattern, and the settings dialog's model "cancel". Requests leave the
// placeholder tail for the sender; the camera's frames carry the CRC.

namespace lens {
// A request's two payload bytes repeat one value.
inline constexpr std::uint8_t kCheckLens = 0x78;
inline constexpr std::uint8_t kFocus = 0x76;
inline constexpr std::uint8_t kZoomReset = 0x70;
inline constexpr std::uint8_t kFocusReset = 0x74;
// The payload of the done replies: the mark twice.
inline constexpr std::uint8_t kAutofocusDoneMark = 0x33;
inline constexpr std::uint8_t kZoomResetDoneMark = 0x71;
inline constexpr std::uint8_t kFocusResetDoneMark = 0x75;
inline constexpr std::size_t kStatusLength = 12;
inline constexpr std::size_t kDoneLength = 10;
// Value the camera gives as its focus position when the picture is too dark
// or too flat to focus on.
inline constexpr std::uint8_t kFocusUnusable = 250;
}  // namespace lens

// 90 EB id 72 02 00 p p + tail: the zoom target, its low 8 bits.
Bytes BuildZoomRequest(std::uint8_t cameraId, std::uint8_t percent);
// 90 EB id 72 02 00 78 78 + tail: asks for the lens status.
Bytes BuildCheckLensRequest(std::uint8_t cameraId);
// 90 EB id 76 02 00 76 76 + tail: a focusing run.
Bytes BuildFocusRequest(std::uint8_t cameraId);
// 90 EB id 70 02 00 70 70 and 90 EB id 74 02 00 74 74 + tail.
Bytes BuildZoomResetRequest(std::uint8_t cameraId);
Bytes BuildFocusResetRequest(std::uint8_t cameraId);

// What a camera reads of a lens request (the simulator's side).
struct LensRequest {
    enum class Kind { Zoom, CheckLens, Focus, ZoomReset, FocusReset };
    Kind kind;
    std::uint8_t zoom = 0;  // Zoom only
    bool operator==(const LensRequest&) const = default;
};
// A complete zoom, focus or reset frame whose two payload bytes agree.
std::optional<LensRequest> ParseLensRequest(std::span<const std::uint8_t> frame);

// The lens status: 90 EB id 73 04 00 z z f f + CRC (12 bytes), each percent
// twice; the camera's copies may disagree.
struct LensStatus {
    std::uint8_t zoom, zoomAgain, focus, focusAgain;
    bool operator==(const LensStatus&) const = default;
};
// Exactly 12 bytes with 90 EB and command 73; the id, the length field and
// the CRC are not examined.
std::optional<LensStatus> ParseLensStatus(std::span<const std::uint8_t> reply);
Bytes BuildLensStatus(std::uint8_t cameraId, std::uint8_t zoom, std::uint8_t focus);

// A done reply: 90 EB id command 02 00 mark mark + CRC (10 bytes), with
// command 68 (autofocus done, mark 33), 71 (zoom reset done, mark 71) or 75
// (focus reset done, mark 75). The console matches them by length, command
// and mark.
Bytes BuildLensDoneReply(std::uint8_t cameraId, std::uint8_t command);

// Manual focusing's poll: 90 EB id EF 05 00 11 22 33 44 EF + tail (13 bytes).
Bytes BuildFocusValueRequest(std::uint8_t cameraId);
bool IsFocusValueRequest(std::span<const std::uint8_t> frame);

// The camera's answer to the poll is a line of text: the value's digits and
// a line feed.
Bytes BuildFocusValueLine(std::uint64_t value);
// The value a line of camera text shows: its digits, read in order, of the
// line as the camera text box shows it (the last byte is the line end, the
// text ends at a zero byte). nullopt for a line without digits; a value too
// large for 64 bits stays at the largest.
std::optional<std::uint64_t> FocusValueOfLine(std::span<const std::uint8_t> chunk);

// 90 EB id 07 02 00 33 00 (on) or CC 00 (off) + tail (10 bytes).
Bytes BuildLedRequest(std::uint8_t cameraId, bool on);
std::optional<bool> ParseLedRequest(std::span<const std::uint8_t> frame);

// White light 90 EB id EA 04 00 EA EA 33 33, infrared 90 EB id BA 04 00 EA EA
// CC CC + tail (12 bytes); the infrared payload repeats EA, not BA.
Bytes BuildLightRequest(std::uint8_t cameraId, bool whiteLight);
// true for white light, false for infrared.
std::optional<bool> ParseLightRequest(std::span<const std::uint8_t> frame);

// Autofocus on 90 EB id E9 04 00 E9 E9 33 33, off 90 EB id B9 04 00 B9 B9 CC
// CC + tail (12 bytes).
Bytes BuildAutoFocusRequest(std::uint8_t cameraId, bool on);
std::optional<bool> ParseAutoFocusRequest(std::span<const std::uint8_t> frame);

// 90 EB id DD 04 00 01 02 03 04 (ascending) or 04 03 02 01 (descending) + tail.
Bytes BuildTestPattern(std::uint8_t cameraId, bool descending);
// true for the descending pattern.
std::optional<bool> ParseTestPattern(std::span<const std::uint8_t> frame);

// The settings dialog's model "cancel": 90 EB id E3 04 00 E3 E3 22 33 + tail.
Bytes BuildModelCancelRequest(std::uint8_t cameraId);
bool IsModelCancelRequest(std::span<const std::uint8_t> frame);

}  // namespace qzr
