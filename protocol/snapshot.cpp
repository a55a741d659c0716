#include "protocol/snapshot.h"

#include <algorithm>

#include "protocol/commands.h"
#include "protocol/crc16.h"

namespace qzr {

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
    StampCrc(reply);
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

std::optional<GatheredSnapshot> ReadGatheredSnapshot(std::span<const std::uint8_t> gathered)
{
    if (gathered.size() < snapshot::kOverhead)
        return std::nullopt;
    GatheredSnapshot read{ReadLe24(gathered.data() + snapshot::kLengthOffset), false, {}};
    if (gathered.size() >= SnapshotReplyLength(read.pictureLength)) {
        read.complete = true;
        read.picture = gathered.subspan(snapshot::kDataOffset, read.pictureLength);
    }
    return read;
}

bool SnapshotLengthMissing(std::span<const std::uint8_t> gathered)
{
    return gathered.size() >= snapshot::kDataOffset && HasJpegStart(gathered.subspan(snapshot::kLengthOffset));
}

}  // namespace qzr
