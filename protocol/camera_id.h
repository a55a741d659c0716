#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "protocol/frame.h"

namespace qzr {

// Camera id and line rate: CMD_QUERY_ID, CMD_SET_ID, CMD_SET_BAUD and
// CMD_SET_BAUD_SAVE. Request builders leave the placeholder tail 0xC1 0xC2 for
// the sender to stamp; reply builders (the camera's side) carry the CRC.

// The query every camera answers, whatever its id: 90 EB 00 01 02 00 55 AA.
Bytes BuildQueryIdRequest();

// Whether a complete frame is a query-id request (camera side).
bool IsQueryIdRequest(std::span<const std::uint8_t> frame);

// The camera's answer: 90 EB id 01 03 00 baudCode AA 55 + CRC (11 bytes).
Bytes BuildQueryIdReply(std::uint8_t cameraId, std::uint8_t baudCode);

// The answering camera's id: at least 9 bytes with 90 EB at 0..1, 01 at 3 and
// AA 55 at 7..8; anything else gives nullopt.
std::optional<std::uint8_t> ParseQueryIdReply(std::span<const std::uint8_t> reply);

// CMD_SET_ID to the camera now at `currentId`, carrying its new id (9 bytes).
Bytes BuildSetIdRequest(std::uint8_t currentId, std::uint8_t newId);

// The new id carried by a complete CMD_SET_ID frame.
std::optional<std::uint8_t> ParseSetIdRequest(std::span<const std::uint8_t> frame);

// CMD_SET_BAUD_SAVE when `save`, else CMD_SET_BAUD, addressed to `cameraId`
// (9 bytes).
Bytes BuildSetBaudRequest(std::uint8_t cameraId, std::uint8_t baudCode, bool save);

struct SetBaudRequest {
    std::uint8_t baudCode;
    bool save;
    bool operator==(const SetBaudRequest&) const = default;
};
// The code carried by a complete CMD_SET_BAUD or CMD_SET_BAUD_SAVE frame.
std::optional<SetBaudRequest> ParseSetBaudRequest(std::span<const std::uint8_t> frame);

// Baud code of a rate text, compared exactly: "9600" gives 1 ... "4800" gives
// 0x11; any other text, the empty one included, gives 6 (115200).
std::uint8_t BaudCodeFromText(std::string_view text);

// The rate a baud code names; nullopt for unused codes.
std::optional<std::uint32_t> BaudRateFromCode(std::uint8_t code);

// The code of a rate; nullopt for a rate no code names.
std::optional<std::uint8_t> BaudCodeFromRate(std::uint32_t rate);

}  // namespace qzr
