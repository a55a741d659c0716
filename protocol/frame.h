#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qzr {

using Bytes = std::vector<std::uint8_t>;

// CameraFrame, both directions:
//   0x90 0xEB | camera id | command | payload length (16-bit LE) | payload | check field (2)
// The check field is the CRC-16 over everything but the first two and the last
// two bytes, low byte first, or the fixed tail 0xC1 0xC2.
namespace frame {
inline constexpr std::uint8_t kHead0 = 0x90;
inline constexpr std::uint8_t kHead1 = 0xEB;
inline constexpr std::size_t kIdOffset = 2;
inline constexpr std::size_t kCommandOffset = 3;
inline constexpr std::size_t kLengthOffset = 4;
inline constexpr std::size_t kPayloadOffset = 6;
inline constexpr std::size_t kOverhead = 8;  // header, id, command, length, check field
inline constexpr std::uint8_t kTail0 = 0xC1;
inline constexpr std::uint8_t kTail1 = 0xC2;
}  // namespace frame

// A frame with the given payload and the placeholder tail 0xC1 0xC2, ready for
// the sender to stamp its CRC (or to go out as it is where the tail stays).
Bytes BuildFrame(std::uint8_t cameraId, std::uint8_t command, std::span<const std::uint8_t> payload = {});

// The CRC a frame of `length` bytes (any length, a whole-package reply too)
// carries in its last two bytes, computed over bytes 2 .. length - 3.
std::uint16_t FrameCrc(const std::uint8_t* frame, std::size_t length);

// The payload of a complete frame of `command` carrying exactly `length`
// payload bytes (the frame no longer than that), or nullopt.
std::optional<std::span<const std::uint8_t>> FramePayload(std::span<const std::uint8_t> frame, std::uint8_t command,
                                                          std::size_t length);

// Writes FrameCrc into the last two bytes, low byte first. Frames shorter than
// the envelope are left alone.
void StampCrc(std::uint8_t* frame, std::size_t length);
inline void StampCrc(Bytes& frame) { StampCrc(frame.data(), frame.size()); }

// Whether the last two bytes hold the CRC of the rest (for replies whose check
// field the console verifies).
bool HasValidCrc(std::span<const std::uint8_t> frame);

// Starts with 0x90 0xEB.
bool HasFrameHead(std::span<const std::uint8_t> bytes);

// Little-endian readers for reply fields; the caller has checked the length.
inline std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t ReadLe24(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16); }
inline std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Command byte and payload length of a frame that starts at bytes[0]; nullopt
// while fewer than the six header bytes are there.
struct FrameHeader {
    std::uint8_t cameraId;
    std::uint8_t command;
    std::uint16_t payloadLength;
};
std::optional<FrameHeader> ParseFrameHeader(std::span<const std::uint8_t> bytes);

// The 16-bit value where a frame carries its payload length (bytes 4..5),
// read whatever the bytes before it are; 0 for fewer than 6 bytes.
std::uint16_t LengthField(std::span<const std::uint8_t> bytes);

// The check field a reply carries in its last two bytes, low byte first; 0 for
// fewer than 2 bytes.
std::uint16_t CarriedCrc(std::span<const std::uint8_t> reply);

// The payload of a reply taken by position: the bytes between the six header
// bytes and the two check bytes, whatever its length field says. Empty for a
// reply of 8 bytes or fewer.
std::span<const std::uint8_t> ReplyPayload(std::span<const std::uint8_t> reply);

// Bytes that begin like a JPEG picture: FF D8 FF.
bool HasJpegStart(std::span<const std::uint8_t> bytes);

}  // namespace qzr
