#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace qzr {

// Camera models and function modes: the model table, CMD_QUERY_MODEL with its
// reply CMD_MODEL_REPLY, CMD_SET_MODEL, CMD_SET_FUNCTION and
// CMD_BATCH_SETTING. Requests leave the placeholder tail for the sender; the
// camera's frames carry the CRC.

// A model code: the high nibble the series (1 L, 2 M, 3 H, 4 S, 5 J), the low
// nibble the size (1, 2, 3, 5, 8, A, C).
struct CameraModel {
    std::uint8_t code;
    std::string_view name;  // as the console sets it, case-sensitive
    bool named;             // whether a model reply names it (the J series is not)
};

// The one table, in its order: names to codes for setting, codes to text for
// the reply.
std::span<const CameraModel> CameraModels();
// The code of the first model whose name equals `name` exactly.
std::optional<std::uint8_t> ModelCodeOfName(std::string_view name);
// What a model reply shows for a code: the name after one blank (" QZR-M2");
// nullopt for a code no reply names.
std::optional<std::string> ModelReplyText(std::uint8_t code);

// 90 EB id B7 06 00 01 02 03 04 05 06 + tail (14 bytes).
Bytes BuildModelQuery(std::uint8_t cameraId);
bool IsModelQuery(std::span<const std::uint8_t> frame);

// 90 EB id E3 04 00 E3 E3 code code + tail (12 bytes).
Bytes BuildSetModelRequest(std::uint8_t cameraId, std::uint8_t modelCode);
// The code of a complete CMD_SET_MODEL frame whose two copies agree.
std::optional<std::uint8_t> ParseSetModelRequest(std::span<const std::uint8_t> frame);

// 90 EB id E4 04 00 B4 B4 mode mode + tail (12 bytes).
Bytes BuildSetFunctionRequest(std::uint8_t cameraId, std::uint8_t functionMode);
std::optional<std::uint8_t> ParseSetFunctionRequest(std::span<const std::uint8_t> frame);

// Every choice in one frame: 90 EB id E8 06 00, then light, autofocus and
// alarm (0x33 on, 0xCC off; light on is white light, off infrared), the model
// code twice and the function mode, + tail (14 bytes).
struct BatchSetting {
    bool whiteLight = false;
    bool autoFocus = false;
    bool alarm = false;
    std::uint8_t modelCode = 0;
    std::uint8_t functionMode = 0;
    bool operator==(const BatchSetting&) const = default;
};
Bytes BuildBatchSettingRequest(std::uint8_t cameraId, const BatchSetting& setting);
// A complete CMD_BATCH_SETTING frame with switch bytes 0x33 or 0xCC and the
// model code's copies agreeing.
std::optional<BatchSetting> ParseBatchSettingRequest(std::span<const std::uint8_t> frame);

inline constexpr std::size_t kModelReplyLength = 14;

// The reply: 90 EB id B8 06 00, three bytes the console does not read, the
// model code twice, the function mode, CRC (14 bytes).
struct ModelReply {
    std::uint8_t modelCode;
    std::uint8_t modelCodeAgain;  // the camera repeats the code; a reply whose copies differ names no model
    std::uint8_t functionMode;
    bool operator==(const ModelReply&) const = default;
};
// Exactly 14 bytes with 90 EB and command B8; nothing else is examined.
std::optional<ModelReply> ParseModelReply(std::span<const std::uint8_t> reply);
Bytes BuildModelReply(std::uint8_t cameraId, std::uint8_t modelCode, std::uint8_t functionMode);

}  // namespace qzr
