#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/frame.h"

namespace qzr {

// Firmware upgrade. The console announces a program with CMD_UPGRADE_START
// (packet count N, length R of the last packet); the camera then asks for
// packets with CMD_UPGRADE_PACKET_REQUEST, in any order and as often as it
// likes, and the console answers each with CMD_UPGRADE_PACKET; the camera ends
// with CMD_UPGRADE_DONE. Packets hold 4096 program bytes, the last one R when
// R is not 0. The start frame leaves the tail 0xC1 0xC2 for the sender; the
// other builders stamp the CRC.

namespace upgrade {
inline constexpr std::size_t kPacketSize = 4096;
inline constexpr std::size_t kMaxProgram = 400 * 1024;  // 409,600 bytes, 100 packets
inline constexpr std::size_t kStartFrameLength = 12;
inline constexpr std::size_t kPacketHeadLength = 8;     // 90 EB id 91, D, k
inline constexpr std::size_t kPacketOverhead = 10;      // head and CRC around the data
inline constexpr std::size_t kRequestLength = 10;       // a request as the camera sends it
// The console gathers one request across reads in a buffer of this size.
inline constexpr std::size_t kRequestBufferSize = 256;
// A first chunk of this many bytes or more is not the start of a request.
inline constexpr std::size_t kFirstChunkLimit = 128;
}  // namespace upgrade

// Packets of a program: N and R.
struct UpgradePlan {
    std::uint16_t packetCount = 0;  // N, the last one possibly short
    std::uint16_t lastLength = 0;   // R = length modulo 4096; 0 when every packet is full
    bool operator==(const UpgradePlan&) const = default;
};
// The plan for a program of `programLength` bytes (at most kMaxProgram).
UpgradePlan PlanUpgrade(std::size_t programLength);
// Program bytes packet `index` carries under `plan` (0 beyond the last packet).
std::size_t UpgradePacketDataLength(const UpgradePlan& plan, std::uint16_t index);

// --- CMD_UPGRADE_START (0x88), console to camera: N at 6..7, R at 8..9 ---
Bytes BuildUpgradeStart(std::uint8_t cameraId, const UpgradePlan& plan);
// Accepted when exactly 12 bytes with payload length 4.
std::optional<UpgradePlan> ParseUpgradeStart(std::span<const std::uint8_t> frame);

// --- CMD_UPGRADE_PACKET (0x91), console to camera ---
// Length field D = data length + 2, the index at 6..7, the data from 8, the
// CRC over bytes 2 .. 7 + data length.
Bytes BuildUpgradePacket(std::uint8_t cameraId, std::uint16_t index, std::span<const std::uint8_t> data);
struct UpgradePacket {
    std::uint8_t cameraId;
    std::uint16_t index;
    std::span<const std::uint8_t> data;  // points into the parsed frame
};
// A complete packet whose length field matches its size (D of at least 2) and
// whose CRC checks; nullopt otherwise.
std::optional<UpgradePacket> ParseUpgradePacket(std::span<const std::uint8_t> frame);

// --- CMD_UPGRADE_PACKET_REQUEST (0x90) and CMD_UPGRADE_DONE (0x92), camera to console ---
// Payload length 2 and the packet index (for the done frame: the packet count).
Bytes BuildUpgradeRequest(std::uint8_t cameraId, std::uint16_t index);
Bytes BuildUpgradeDone(std::uint8_t cameraId, std::uint16_t packetCount);

// Gathers one request frame across reads, as the console takes them: while
// empty, only a chunk shorter than 128 bytes that starts with 90 EB; after
// that, each chunk is appended while the total stays below 256 bytes, and a
// chunk that would not fit is dropped.
class UpgradeRequestGatherer {
public:
    void Offer(std::span<const std::uint8_t> chunk);
    std::span<const std::uint8_t> Gathered() const { return {m_bytes, m_count}; }
    bool Empty() const { return m_count == 0; }
    void Clear() { m_count = 0; }

private:
    std::uint8_t m_bytes[upgrade::kRequestBufferSize] = {};
    std::size_t m_count = 0;
};

// What the gathered bytes hold, in the order they are examined.
enum class UpgradeRequestState {
    Waiting,      // 6 bytes or fewer: more are needed
    OtherCamera,  // the id byte is not the console's camera id
    TooLong,      // the length field asks for more than the gathering buffer can ever hold
    Incomplete,   // fewer bytes than the length field asks for: more are needed
    Complete,     // a whole frame (it may carry more bytes behind it)
};
struct UpgradeRequest {
    UpgradeRequestState state = UpgradeRequestState::Waiting;
    std::uint8_t command = 0;  // offset 3
    std::uint16_t index = 0;   // offsets 6..7: the requested packet
    bool crcOk = false;        // the check field after the payload holds its CRC
};
// Reads gathered request bytes for the camera `cameraId` (the console's id
// field: one above 255 matches no camera). Only a Complete request carries
// its command, index and CRC verdict.
UpgradeRequest ReadUpgradeRequest(std::span<const std::uint8_t> gathered, int cameraId);

}  // namespace qzr
