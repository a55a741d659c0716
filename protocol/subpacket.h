#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "protocol/frame.h"
#include "protocol/snapshot.h"

namespace qzr {

// Sub-packet transfers. Numbered protocol: CMD_SET_PICTURE, CMD_SET_PACKET_SIZE,
// CMD_SUBPACKET_START, then CMD_GET_PACKET for packets 0 .. count - 1.
// Simplified protocol: CMD_SIMPLE_SUBPACKET, then CMD_READ_IMAGE by byte offset;
// a camera may also announce a picture itself with CMD_IMAGE_READY.
// Request builders leave the tail 0xC1 0xC2 for the sender; reply builders stamp
// the CRC. Request parsers take one complete frame.

namespace subpacket {
inline constexpr std::size_t kControlReplyLength = 11;      // 0x34 and 0x32 replies
inline constexpr std::size_t kStartReplyLength = 15;        // 0x30 reply
inline constexpr std::size_t kSimpleReplyLength = 19;       // 0x40 reply
inline constexpr std::size_t kImageReadyLength = 12;        // 0x42 announcement
inline constexpr std::size_t kPacketOverhead = 11;          // 0x31 reply: data + 11
inline constexpr std::size_t kPacketDataOffset = 9;
inline constexpr std::size_t kStretchOverhead = 8;          // 0x48 reply: data + 8
inline constexpr std::size_t kStretchDataOffset = 6;
inline constexpr std::uint8_t kTestQualityOffset = 100;     // "Test" adds 100 to the quality code
}  // namespace subpacket

// Packets of `packetSize` bytes needed for `pictureLength` bytes (the last one
// may be shorter); 0 for a packet size of 0.
std::uint32_t PacketCount(std::uint32_t pictureLength, std::uint32_t packetSize);

// --- CMD_SET_PICTURE (0x34) ---
Bytes BuildSetPictureRequest(std::uint8_t cameraId, std::uint8_t resolution, std::uint8_t quality);
std::optional<PictureRequest> ParseSetPictureRequest(std::span<const std::uint8_t> frame);
// 11 bytes: the codes taken, echoed at 6..7.
Bytes BuildSetPictureReply(std::uint8_t cameraId, std::uint8_t resolution, std::uint8_t quality);
// An 11-byte 0x34 reply.
bool IsSetPictureReply(std::span<const std::uint8_t> reply);

// --- CMD_SET_PACKET_SIZE (0x32) ---
Bytes BuildSetPacketSizeRequest(std::uint8_t cameraId, std::uint16_t packetSize);
std::optional<std::uint16_t> ParseSetPacketSizeRequest(std::span<const std::uint8_t> frame);
// 11 bytes, packet size at 7..8.
Bytes BuildSetPacketSizeReply(std::uint8_t cameraId, std::uint16_t packetSize);
// The packet size of an 11-byte 0x32 reply.
std::optional<std::uint16_t> ParseSetPacketSizeReply(std::span<const std::uint8_t> reply);

// --- CMD_SUBPACKET_START (0x30) ---
Bytes BuildSubPacketStartRequest(std::uint8_t cameraId);
bool IsSubPacketStartRequest(std::span<const std::uint8_t> frame);
struct SubPacketStart {
    std::uint32_t pictureLength;
    std::uint16_t packetCount;
    bool operator==(const SubPacketStart&) const = default;
};
// 15 bytes, length field 7, picture length at 7..10, packet count at 11..12.
Bytes BuildSubPacketStartReply(std::uint8_t cameraId, const SubPacketStart& start);
// Accepted when exactly 15 bytes, 90 EB at 0..1, 0x30 at 3 and 7 0 at 4..5.
std::optional<SubPacketStart> ParseSubPacketStartReply(std::span<const std::uint8_t> reply);

// --- CMD_GET_PACKET (0x31) ---
Bytes BuildGetPacketRequest(std::uint8_t cameraId, std::uint16_t packetNumber);
std::optional<std::uint16_t> ParseGetPacketRequest(std::span<const std::uint8_t> frame);
// data + 11 bytes: packet number at 7..8, data from 9, CRC in the last two.
Bytes BuildPacketReply(std::uint8_t cameraId, std::uint16_t packetNumber, std::span<const std::uint8_t> data);
struct PacketReply {
    std::uint8_t cameraId;
    std::uint16_t packetNumber;
    std::span<const std::uint8_t> data;  // points into the parsed reply
    bool crcOk;
};
// A whole packet reply (its data length is size - 11); nullopt for fewer than
// 11 bytes or a header that is not 90 EB .. 31.
std::optional<PacketReply> ParsePacketReply(std::span<const std::uint8_t> reply);

// Fields as the console's reader takes them from gathered reply bytes, without
// checking anything else (the caller knows it holds at least 9 bytes).
std::uint16_t PacketSizeField(std::span<const std::uint8_t> setPacketSizeReply);
std::uint16_t PacketNumberField(std::span<const std::uint8_t> packetReply);
// Bytes 0..3 are 90 EB, the camera's id and CMD_GET_PACKET.
bool IsPacketReplyHead(std::span<const std::uint8_t> reply, std::uint8_t cameraId);

// --- CMD_SIMPLE_SUBPACKET (0x40) ---
struct SimpleSubPacketRequest {
    std::uint16_t packetSize;
    std::uint8_t resolution;
    std::uint8_t quality;  // without the test offset
    bool test;             // quality byte carried + 100
    bool operator==(const SimpleSubPacketRequest&) const = default;
};
Bytes BuildSimpleSubPacketRequest(std::uint8_t cameraId, const SimpleSubPacketRequest& request);
std::optional<SimpleSubPacketRequest> ParseSimpleSubPacketRequest(std::span<const std::uint8_t> frame);
struct SimpleSubPacketReply {
    std::uint32_t pictureSize;
    std::uint16_t packetTotal;
    std::uint16_t packetSize;
    bool operator==(const SimpleSubPacketReply&) const = default;
};
// 19 bytes: picture size at 7..9, packet total at 11..12, packet size at 13..14.
Bytes BuildSimpleSubPacketReply(std::uint8_t cameraId, const SimpleSubPacketReply& reply);
// Accepted when exactly 19 bytes with 90 EB at 0..1 and 0x40 at 3.
std::optional<SimpleSubPacketReply> ParseSimpleSubPacketReply(std::span<const std::uint8_t> reply);

// --- CMD_READ_IMAGE (0x48) ---
struct ReadImageRequest {
    std::uint32_t offset;  // 24-bit
    std::uint16_t length;
    bool operator==(const ReadImageRequest&) const = default;
};
Bytes BuildReadImageRequest(std::uint8_t cameraId, const ReadImageRequest& request);
std::optional<ReadImageRequest> ParseReadImageRequest(std::span<const std::uint8_t> frame);
// data + 8 bytes: a regular frame whose payload is the stretch.
Bytes BuildReadImageReply(std::uint8_t cameraId, std::span<const std::uint8_t> data);
struct StretchReply {
    std::span<const std::uint8_t> data;  // points into the parsed reply
    bool crcOk;
};
// A stretch reply as the console reads one asked for with `expectedLength`
// bytes: at least expectedLength + 8 bytes, the data the first expectedLength
// after the six header bytes, the check field the last two bytes whatever
// came between; nullopt while shorter. The header is not judged: the check
// field is what guards a stretch.
std::optional<StretchReply> ParseReadImageReply(std::span<const std::uint8_t> reply, std::size_t expectedLength);

// --- CMD_IMAGE_READY (0x42, unsolicited) ---
// 12 bytes, picture size at 6..8.
Bytes BuildImageReadyAnnouncement(std::uint8_t cameraId, std::uint32_t pictureSize);
struct ImageReady {
    std::uint8_t cameraId;
    std::uint32_t pictureSize;
    bool operator==(const ImageReady&) const = default;
};
// Accepted when exactly 12 bytes with 90 EB at 0..1 and 0x42 at 3; the caller
// compares the id.
std::optional<ImageReady> ParseImageReadyAnnouncement(std::span<const std::uint8_t> chunk);

}  // namespace qzr
