#include "protocol/firmware.h"

#include <algorithm>
#include <cstring>

#include "protocol/commands.h"
#include "protocol/crc16.h"

namespace qzr {
namespace {

void PutLe16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

Bytes Stamped(Bytes frame)
{
    StampCrc(frame);
    return frame;
}

// A frame of the request layout: payload length 2 and one 16-bit value.
Bytes RequestLayout(std::uint8_t cameraId, std::uint8_t command, std::uint16_t value)
{
    Bytes payload;
    PutLe16(payload, value);
    return Stamped(BuildFrame(cameraId, command, payload));
}

}  // namespace

UpgradePlan PlanUpgrade(std::size_t programLength)
{
    const std::size_t length = std::min(programLength, upgrade::kMaxProgram);
    UpgradePlan plan;
    plan.packetCount = static_cast<std::uint16_t>(length / upgrade::kPacketSize);
    plan.lastLength = static_cast<std::uint16_t>(length % upgrade::kPacketSize);
    if (plan.lastLength > 0)
        ++plan.packetCount;
    return plan;
}

std::size_t UpgradePacketDataLength(const UpgradePlan& plan, std::uint16_t index)
{
    if (index >= plan.packetCount)
        return 0;
    if (index + 1 == plan.packetCount && plan.lastLength != 0)
        return plan.lastLength;
    return upgrade::kPacketSize;
}

Bytes BuildUpgradeStart(std::uint8_t cameraId, const UpgradePlan& plan)
{
    Bytes payload;
    PutLe16(payload, plan.packetCount);
    PutLe16(payload, plan.lastLength);
    return BuildFrame(cameraId, CMD_UPGRADE_START, payload);
}

std::optional<UpgradePlan> ParseUpgradeStart(std::span<const std::uint8_t> frame)
{
    const auto header = ParseFrameHeader(frame);
    if (!header || header->command != CMD_UPGRADE_START || header->payloadLength != 4 ||
        frame.size() != upgrade::kStartFrameLength)
        return std::nullopt;
    const std::uint8_t* p = frame.data() + frame::kPayloadOffset;
    return UpgradePlan{ReadLe16(p), ReadLe16(p + 2)};
}

Bytes BuildUpgradePacket(std::uint8_t cameraId, std::uint16_t index, std::span<const std::uint8_t> data)
{
    Bytes payload;
    payload.reserve(data.size() + 2);
    PutLe16(payload, index);
    payload.insert(payload.end(), data.begin(), data.end());
    return Stamped(BuildFrame(cameraId, CMD_UPGRADE_PACKET, payload));
}

std::optional<UpgradePacket> ParseUpgradePacket(std::span<const std::uint8_t> frame)
{
    const auto header = ParseFrameHeader(frame);
    if (!header || header->command != CMD_UPGRADE_PACKET || header->payloadLength < 2 ||
        frame.size() != header->payloadLength + frame::kOverhead || !HasValidCrc(frame))
        return std::nullopt;
    return UpgradePacket{header->cameraId, ReadLe16(frame.data() + frame::kPayloadOffset),
                         frame.subspan(upgrade::kPacketHeadLength, header->payloadLength - 2u)};
}

Bytes BuildUpgradeRequest(std::uint8_t cameraId, std::uint16_t index)
{
    return RequestLayout(cameraId, CMD_UPGRADE_PACKET_REQUEST, index);
}

Bytes BuildUpgradeDone(std::uint8_t cameraId, std::uint16_t packetCount)
{
    return RequestLayout(cameraId, CMD_UPGRADE_DONE, packetCount);
}

void UpgradeRequestGatherer::Offer(std::span<const std::uint8_t> chunk)
{
    if (chunk.empty())
        return;
    if (m_count == 0) {
        if (chunk.size() >= upgrade::kFirstChunkLimit || !HasFrameHead(chunk))
            return;
    } else if (m_count + chunk.size() >= sizeof m_bytes) {
        return;
    }
    std::memcpy(m_bytes + m_count, chunk.data(), chunk.size());
    m_count += chunk.size();
}

UpgradeRequest ReadUpgradeRequest(std::span<const std::uint8_t> gathered, int cameraId)
{
    UpgradeRequest request;
    if (gathered.size() <= frame::kPayloadOffset)
        return request;
    if (gathered[frame::kIdOffset] != cameraId) {
        request.state = UpgradeRequestState::OtherCamera;
        return request;
    }
    const std::size_t length = LengthField(gathered);
    const std::size_t total = length + frame::kOverhead;
    if (total >= upgrade::kRequestBufferSize) {
        request.state = UpgradeRequestState::TooLong;
        return request;
    }
    if (gathered.size() < total) {
        request.state = UpgradeRequestState::Incomplete;
        return request;
    }
    request.state = UpgradeRequestState::Complete;
    request.command = gathered[frame::kCommandOffset];
    request.index = ReadLe16(gathered.data() + frame::kPayloadOffset);
    const std::uint16_t crc =
        crc16_ccitt(gathered.data() + frame::kIdOffset, static_cast<std::uint16_t>(length + 4));
    request.crcOk = crc == ReadLe16(gathered.data() + frame::kPayloadOffset + length);
    return request;
}

}  // namespace qzr
