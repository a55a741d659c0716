#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame.h"

namespace qzr {

// Bursts a camera takes by itself and keeps as files: CMD_BURST_SHOOT starts
// one, the camera reports its start and end with CMD_IMAGE_READY frames of its
// own reading, CMD_LIST_FILES asks for the names of stored pictures around a
// date, CMD_FILE_LIST carries them, CMD_GET_FILE picks one, which comes back
// as the picture information of CMD_SIMPLE_SUBPACKET and the packets of
// CMD_GET_PACKET (the layouts of subpacket.h). Requests keep the fixed tail
// 0xC1 0xC2: the burst test window stamps no CRC.

namespace burst {
inline constexpr std::uint8_t kStarted = 0;   // status: the burst has begun
inline constexpr std::uint8_t kFinished = 8;  // status: the burst is over
inline constexpr std::size_t kStatusOffset = 7;
inline constexpr std::size_t kStatusLength = 12;
inline constexpr std::size_t kNameLength = 17;   // characters of a stored picture's name
inline constexpr std::size_t kEntryLength = 18;  // the name and a zero byte
inline constexpr std::uint8_t kListAnchor = 0xFF;  // byte 9 of CMD_LIST_FILES
}  // namespace burst

// Local calendar time as the camera takes it: year - 2000, month, day, hour,
// minute and second, one byte each on the line.
struct CameraTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const CameraTime&) const = default;
};

// --- CMD_BURST_SHOOT (0x41), 18 bytes ---
struct BurstShootRequest {
    std::uint8_t resolution;
    std::uint8_t quality;
    std::uint8_t shots;
    std::uint8_t interval;  // seconds between two shots
    CameraTime time;        // the console's clock, for the camera's file names
    bool operator==(const BurstShootRequest&) const = default;
};
Bytes BuildBurstShootRequest(std::uint8_t cameraId, const BurstShootRequest& request);
std::optional<BurstShootRequest> ParseBurstShootRequest(std::span<const std::uint8_t> frame);

// --- the burst status (CMD_IMAGE_READY, 12 bytes) ---
// Byte 6 holds the shots taken so far, byte 7 the state; CRC stamped.
Bytes BuildBurstStatus(std::uint8_t cameraId, std::uint8_t state, std::uint8_t shotsTaken);
// Byte 7 of a status frame; nullopt for fewer than 8 bytes.
std::optional<std::uint8_t> ParseBurstState(std::span<const std::uint8_t> frame);

// --- CMD_LIST_FILES (0x43), 18 bytes ---
struct ListFilesRequest {
    std::uint8_t count;               // names wanted at most
    bool after;                       // after the date, else before it
    std::optional<CameraTime> from;   // nullopt: the latest pictures (six zero bytes)
    bool operator==(const ListFilesRequest&) const = default;
};
Bytes BuildListFilesRequest(std::uint8_t cameraId, const ListFilesRequest& request);
std::optional<ListFilesRequest> ParseListFilesRequest(std::span<const std::uint8_t> frame);

// --- CMD_FILE_LIST (0x44) ---
// Entries of 18 bytes, each a name and a zero byte (longer names are cut,
// shorter ones end at their zero byte); CRC stamped.
Bytes BuildFileListReply(std::uint8_t cameraId, std::span<const std::string> names);
// The whole 18-byte entries the payload length announces (a remainder is
// ignored), as far as they lie within the bytes given.
std::vector<std::span<const std::uint8_t>> FileListEntries(std::span<const std::uint8_t> frame);
// The text of an entry: its bytes up to the first zero byte.
std::string_view FileEntryText(std::span<const std::uint8_t> entry);

// --- CMD_GET_FILE (0x45), 28 bytes ---
// The name goes out as its first 17 bytes, zero-padded when shorter.
struct GetFileRequest {
    std::uint16_t packetSize;
    std::string name;
    bool operator==(const GetFileRequest&) const = default;
};
Bytes BuildGetFileRequest(std::uint8_t cameraId, const GetFileRequest& request);
std::optional<GetFileRequest> ParseGetFileRequest(std::span<const std::uint8_t> frame);

// The burst test window takes its receive buffer as exactly one frame: more
// than 6 bytes, as many as the length field at 4..5 announces plus 8.
bool IsExactlyOneFrame(std::span<const std::uint8_t> bytes);

}  // namespace qzr
