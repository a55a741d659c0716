#include "protocol/subpacket.h"

#include "protocol/commands.h"

namespace qzr {
namespace {

void PutLe16(Bytes& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void PutLe24(Bytes& out, std::uint32_t value)
{
    PutLe16(out, value);
    out.push_back(static_cast<std::uint8_t>((value >> 16) & 0xFF));
}

void PutLe32(Bytes& out, std::uint32_t value)
{
    PutLe24(out, value);
    out.push_back(static_cast<std::uint8_t>((value >> 24) & 0xFF));
}

Bytes Stamped(std::uint8_t cameraId, std::uint8_t command, const Bytes& payload)
{
    Bytes reply = BuildFrame(cameraId, command, payload);
    StampCrc(reply);
    return reply;
}

// Bytes 0, 1, 3 are 90 EB and the command, the size is exactly `length`.
bool IsReplyOf(std::span<const std::uint8_t> reply, std::uint8_t command, std::size_t length)
{
    return reply.size() == length && HasFrameHead(reply) && reply[frame::kCommandOffset] == command;
}

}  // namespace

std::uint32_t PacketCount(std::uint32_t pictureLength, std::uint32_t packetSize)
{
    if (packetSize == 0)
        return 0;
    return (pictureLength + packetSize - 1) / packetSize;
}

// --- 0x34 ---

Bytes BuildSetPictureRequest(std::uint8_t cameraId, std::uint8_t resolution, std::uint8_t quality)
{
    const std::uint8_t payload[] = {resolution, quality};
    return BuildFrame(cameraId, CMD_SET_PICTURE, payload);
}

std::optional<PictureRequest> ParseSetPictureRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_SET_PICTURE, 2);
    if (!payload)
        return std::nullopt;
    const std::span<const std::uint8_t> p = *payload;
    return PictureRequest{p[0], p[1]};
}

Bytes BuildSetPictureReply(std::uint8_t cameraId, std::uint8_t resolution, std::uint8_t quality)
{
    return Stamped(cameraId, CMD_SET_PICTURE, {resolution, quality, 0});
}

bool IsSetPictureReply(std::span<const std::uint8_t> reply)
{
    return IsReplyOf(reply, CMD_SET_PICTURE, subpacket::kControlReplyLength);
}

// --- 0x32 ---

Bytes BuildSetPacketSizeRequest(std::uint8_t cameraId, std::uint16_t packetSize)
{
    Bytes payload;
    PutLe16(payload, packetSize);
    return BuildFrame(cameraId, CMD_SET_PACKET_SIZE, payload);
}

std::optional<std::uint16_t> ParseSetPacketSizeRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_SET_PACKET_SIZE, 2);
    if (!payload)
        return std::nullopt;
    const std::span<const std::uint8_t> p = *payload;
    return ReadLe16(p.data());
}

Bytes BuildSetPacketSizeReply(std::uint8_t cameraId, std::uint16_t packetSize)
{
    Bytes payload{0};
    PutLe16(payload, packetSize);
    return Stamped(cameraId, CMD_SET_PACKET_SIZE, payload);
}

std::optional<std::uint16_t> ParseSetPacketSizeReply(std::span<const std::uint8_t> reply)
{
    if (!IsReplyOf(reply, CMD_SET_PACKET_SIZE, subpacket::kControlReplyLength))
        return std::nullopt;
    return PacketSizeField(reply);
}

// --- 0x30 ---

Bytes BuildSubPacketStartRequest(std::uint8_t cameraId) { return BuildFrame(cameraId, CMD_SUBPACKET_START); }

bool IsSubPacketStartRequest(std::span<const std::uint8_t> frame)
{
    return FramePayload(frame, CMD_SUBPACKET_START, 0).has_value();
}

Bytes BuildSubPacketStartReply(std::uint8_t cameraId, const SubPacketStart& start)
{
    Bytes payload{0};
    PutLe32(payload, start.pictureLength);
    PutLe16(payload, start.packetCount);
    return Stamped(cameraId, CMD_SUBPACKET_START, payload);
}

std::optional<SubPacketStart> ParseSubPacketStartReply(std::span<const std::uint8_t> reply)
{
    if (!IsReplyOf(reply, CMD_SUBPACKET_START, subpacket::kStartReplyLength) ||
        ReadLe16(reply.data() + frame::kLengthOffset) != 7)
        return std::nullopt;
    return SubPacketStart{ReadLe32(reply.data() + 7), ReadLe16(reply.data() + 11)};
}

// --- 0x31 ---

Bytes BuildGetPacketRequest(std::uint8_t cameraId, std::uint16_t packetNumber)
{
    Bytes payload;
    PutLe16(payload, packetNumber);
    return BuildFrame(cameraId, CMD_GET_PACKET, payload);
}

std::optional<std::uint16_t> ParseGetPacketRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_GET_PACKET, 2);
    if (!payload)
        return std::nullopt;
    const std::span<const std::uint8_t> p = *payload;
    return ReadLe16(p.data());
}

Bytes BuildPacketReply(std::uint8_t cameraId, std::uint16_t packetNumber, std::span<const std::uint8_t> data)
{
    Bytes payload{0};
    payload.reserve(data.size() + 3);
    PutLe16(payload, packetNumber);
    payload.insert(payload.end(), data.begin(), data.end());
    return Stamped(cameraId, CMD_GET_PACKET, payload);
}

std::optional<PacketReply> ParsePacketReply(std::span<const std::uint8_t> reply)
{
    if (reply.size() < subpacket::kPacketOverhead || !HasFrameHead(reply) ||
        reply[frame::kCommandOffset] != CMD_GET_PACKET)
        return std::nullopt;
    return PacketReply{reply[frame::kIdOffset], PacketNumberField(reply),
                       reply.subspan(subpacket::kPacketDataOffset, reply.size() - subpacket::kPacketOverhead),
                       HasValidCrc(reply)};
}

std::uint16_t PacketSizeField(std::span<const std::uint8_t> reply) { return ReadLe16(reply.data() + 7); }

std::uint16_t PacketNumberField(std::span<const std::uint8_t> reply) { return ReadLe16(reply.data() + 7); }

bool IsPacketReplyHead(std::span<const std::uint8_t> reply, std::uint8_t cameraId)
{
    return reply.size() > frame::kCommandOffset && HasFrameHead(reply) && reply[frame::kIdOffset] == cameraId &&
           reply[frame::kCommandOffset] == CMD_GET_PACKET;
}

// --- 0x40 ---

Bytes BuildSimpleSubPacketRequest(std::uint8_t cameraId, const SimpleSubPacketRequest& request)
{
    Bytes payload;
    PutLe16(payload, request.packetSize);
    payload.push_back(request.resolution);
    payload.push_back(static_cast<std::uint8_t>(request.quality + (request.test ? subpacket::kTestQualityOffset : 0)));
    return BuildFrame(cameraId, CMD_SIMPLE_SUBPACKET, payload);
}

std::optional<SimpleSubPacketRequest> ParseSimpleSubPacketRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_SIMPLE_SUBPACKET, 4);
    if (!payload)
        return std::nullopt;
    const std::span<const std::uint8_t> p = *payload;
    const bool test = p[3] >= subpacket::kTestQualityOffset;
    return SimpleSubPacketRequest{ReadLe16(p.data()), p[2],
                                  static_cast<std::uint8_t>(test ? p[3] - subpacket::kTestQualityOffset : p[3]), test};
}

Bytes BuildSimpleSubPacketReply(std::uint8_t cameraId, const SimpleSubPacketReply& reply)
{
    Bytes payload{0};
    PutLe24(payload, reply.pictureSize);
    payload.push_back(0);
    PutLe16(payload, reply.packetTotal);
    PutLe16(payload, reply.packetSize);
    payload.push_back(0);
    payload.push_back(0);
    return Stamped(cameraId, CMD_SIMPLE_SUBPACKET, payload);
}

std::optional<SimpleSubPacketReply> ParseSimpleSubPacketReply(std::span<const std::uint8_t> reply)
{
    if (!IsReplyOf(reply, CMD_SIMPLE_SUBPACKET, subpacket::kSimpleReplyLength))
        return std::nullopt;
    return SimpleSubPacketReply{ReadLe24(reply.data() + 7), ReadLe16(reply.data() + 11), ReadLe16(reply.data() + 13)};
}

// --- 0x48 ---

Bytes BuildReadImageRequest(std::uint8_t cameraId, const ReadImageRequest& request)
{
    Bytes payload;
    PutLe24(payload, request.offset);
    payload.push_back(0);
    PutLe16(payload, request.length);
    return BuildFrame(cameraId, CMD_READ_IMAGE, payload);
}

std::optional<ReadImageRequest> ParseReadImageRequest(std::span<const std::uint8_t> frame)
{
    const auto payload = FramePayload(frame, CMD_READ_IMAGE, 6);
    if (!payload)
        return std::nullopt;
    const std::span<const std::uint8_t> p = *payload;
    return ReadImageRequest{ReadLe24(p.data()), ReadLe16(p.data() + 4)};
}

Bytes BuildReadImageReply(std::uint8_t cameraId, std::span<const std::uint8_t> data)
{
    Bytes reply = BuildFrame(cameraId, CMD_READ_IMAGE, data);
    StampCrc(reply);
    return reply;
}

std::optional<StretchReply> ParseReadImageReply(std::span<const std::uint8_t> reply, std::size_t expectedLength)
{
    // A length near the top of size_t would wrap round when the overhead is added.
    if (expectedLength > reply.size() || reply.size() < expectedLength + subpacket::kStretchOverhead)
        return std::nullopt;
    return StretchReply{reply.subspan(subpacket::kStretchDataOffset, expectedLength), HasValidCrc(reply)};
}

// --- 0x42 ---

Bytes BuildImageReadyAnnouncement(std::uint8_t cameraId, std::uint32_t pictureSize)
{
    Bytes payload;
    PutLe24(payload, pictureSize);
    payload.push_back(0);
    return Stamped(cameraId, CMD_IMAGE_READY, payload);
}

std::optional<ImageReady> ParseImageReadyAnnouncement(std::span<const std::uint8_t> chunk)
{
    if (!IsReplyOf(chunk, CMD_IMAGE_READY, subpacket::kImageReadyLength))
        return std::nullopt;
    return ImageReady{chunk[frame::kIdOffset], ReadLe24(chunk.data() + 6)};
}

}  // namespace qzr
