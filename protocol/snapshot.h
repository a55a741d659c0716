#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "protocol/frame.h"

namespace qzr {

// Whole-package picture, CMD_SNAPSHOT. The reply is not a regular frame: its
// bytes 4..6 hold the 24-bit picture length L, the JPEG follows from byte 7 and
// the two check bytes end it, L + 9 bytes in all.
namespace snapshot {
inline constexpr std::size_t kLengthOffset = 4;
inline constexpr std::size_t kDataOffset = 7;
inline constexpr std::size_t kOverhead = 9;
inline constexpr std::uint32_t kMaxPictureLength = 0xFFFFFF;
}  // namespace snapshot

// The request for one whole-package picture (10 bytes, tail left for the sender).
Bytes BuildSnapshotRequest(std::uint8_t cameraId, std::uint8_t resolution, std::uint8_t quality);

struct PictureRequest {
    std::uint8_t resolution;
    std::uint8_t quality;
    bool operator==(const PictureRequest&) const = default;
};
// Resolution and quality codes of a complete CMD_SNAPSHOT request.
std::optional<PictureRequest> ParseSnapshotRequest(std::span<const std::uint8_t> frame);

// The camera's reply carrying `jpeg` (at most kMaxPictureLength bytes; longer
// input is cut there), CRC over bytes 2 .. end - 3.
Bytes BuildSnapshotReply(std::uint8_t cameraId, std::span<const std::uint8_t> jpeg);

// Bytes 0, 1 and 3 are 0x90, 0xEB, CMD_SNAPSHOT (at least 4 bytes needed).
bool IsSnapshotReplyHead(std::span<const std::uint8_t> chunk);

// Header of a whole-package reply: nullopt until the 7 header bytes are there
// or when they are not a snapshot reply's.
struct SnapshotHeader {
    std::uint32_t pictureLength;
};
std::optional<SnapshotHeader> ParseSnapshotHeader(std::span<const std::uint8_t> chunk);

// Total reply length for a picture of `pictureLength` bytes.
inline std::size_t SnapshotReplyLength(std::uint32_t pictureLength) { return pictureLength + snapshot::kOverhead; }

// The JPEG of a complete reply (exactly L + 9 bytes); nullopt otherwise.
std::optional<std::span<const std::uint8_t>> SnapshotPicture(std::span<const std::uint8_t> reply);

// The bytes of a whole-package reply as the console gathers them across reads.
// Its head is judged once, on the first chunk (IsSnapshotReplyHead); what was
// gathered is read as the reply whatever that judgement was.
struct GatheredSnapshot {
    std::uint32_t pictureLength;            // bytes 4..6
    bool complete;                          // L + 9 bytes are there
    std::span<const std::uint8_t> picture;  // the L JPEG bytes once complete
};
// nullopt while fewer than the 9 bytes of header and check field are there.
std::optional<GatheredSnapshot> ReadGatheredSnapshot(std::span<const std::uint8_t> gathered);

// The JPEG start FF D8 FF where the length field should be: the camera left
// the length out (at least 7 bytes needed).
bool SnapshotLengthMissing(std::span<const std::uint8_t> gathered);

}  // namespace qzr
