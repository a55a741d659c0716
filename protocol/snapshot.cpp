#include "protocol/snapshot.h"

#include <algorithm>

#include "protocol/commands.h"
#include "protocol/crc16.h"

namespace qzr {
namespace {

// The CRC over bytes 2 .. end - 3 of a reply of any length: crc16_ccitt takes a
// 16-bit length, so long replies are run through it in pieces.
std::uint16_t LongCrc(std::span<const std::uint8_t> reply)
{
    if (reply.size() < 4)
        return 0;
    std::uint16_t crc = 0;
    const std::uint8_t* p = reply.data() + 2;
    std::size_t left = reply.size() - 4;
    while (left > 0) {
        const std::size_t piece = std::min<std::size_t>(left, 0x8000);
        crc = crc16_ccitt(crc, p, static_cast<std::uint16_t>(piece));
        p += piece;
        left -= piece;
    }
    return crc;
}

}  // namespace

Bytes BuildSnapshotRequest(std::uint8_t cameraId, std::uint8_t resolution, std::uint8_t quality)
{
    const std::uint8_t payload[] = {resolution, quality};
    return BuildFrame(cameraId, CMD_SNAPSHOT, payload);
}

std::optional<PictureRequest> ParseSnapshotRequest(std::span<const std::uint8_t> frame)
{
    const auto header = ParseFrameHeader(frame);
    if (!header || header->command != CMD_SNAPSHOT || header->payloadLength != 2 ||
        frame.size() != frame::kOverhead + 2)
        return std::nullopt;
    return PictureRequest{frame[frame::kPayloadOffset], frame[frame::kPayloadOffset + 1]};
}

Bytes BuildSnapshotReply(std::uint8_t cameraId, std::span<const std::uint8_t> jpeg)
{
    const std::size_t length = std::min<std::size_t>(jpeg.size(), snapshot::kMaxPictureLength);
    Bytes reply;
    reply.reserve(length + snapshot::kOverhead);
    reply.push_back(frame::kHead0);
    reply.push_back(frame::kHead1);
    reply.push_back(cameraId);
    reply.push_back(CMD_SNAPSHOT);
    reply.push_back(static_cast<std::uint8_t>(length & 0xFF));
    reply.push_back(static_cast<std::uint8_t>((length >> 8) & 0xFF));
    reply.push_back(static_cast<std::uint8_t>((length >> 16) & 0xFF));
    reply.insert(reply.end(), jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(length));
    reply.push_back(0);
    reply.push_back(0);
    const std::uint16_t crc = LongCrc(reply);
    reply[reply.size() - 2] = static_cast<std::uint8_t>(crc & 0xFF);
    reply[reply.size() - 1] = static_cast<std::uint8_t>(crc >> 8);
    return reply;
}

bool IsSnapshotReplyHead(std::span<const std::uint8_t> chunk)
{
    return chunk.size() > frame::kCommandOffset && HasFrameHead(chunk) && chunk[frame::kCommandOffset] == CMD_SNAPSHOT;
}

std::optional<SnapshotHeader> ParseSnapshotHeader(std::span<const std::uint8_t> chunk)
{
    if (chunk.size() < snapshot::kDataOffset || !IsSnapshotReplyHead(chunk))
        return std::nullopt;
    return SnapshotHeader{ReadLe24(chunk.data() + snapshot::kLengthOffset)};
}

std::optional<std::span<const std::uint8_t>> SnapshotPicture(std::span<const std::uint8_t> reply)
{
    const auto header = ParseSnapshotHeader(reply);
    if (!header || reply.size() != SnapshotReplyLength(header->pictureLength))
        return std::nullopt;
    return reply.subspan(snapshot::kDataOffset, header->pictureLength);
}

bool HasValidLongCrc(std::span<const std::uint8_t> reply)
{
    if (reply.size() < 4)
        return false;
    return ReadLe16(reply.data() + reply.size() - 2) == LongCrc(reply);
}

}  // namespace qzr
