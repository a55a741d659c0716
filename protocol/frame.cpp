#include "protocol/frame.h"

#include "protocol/crc16.h"

#include <algorithm>

namespace qzr {

Bytes BuildFrame(std::uint8_t cameraId, std::uint8_t command, std::span<const std::uint8_t> payload)
{
    Bytes out;
    out.reserve(payload.size() + frame::kOverhead);
    out.push_back(frame::kHead0);
    out.push_back(frame::kHead1);
    out.push_back(cameraId);
    out.push_back(command);
    out.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
    out.push_back(static_cast<std::uint8_t>((payload.size() >> 8) & 0xFF));
    out.insert(out.end(), payload.begin(), payload.end());
    out.push_back(frame::kTail0);
    out.push_back(frame::kTail1);
    return out;
}

std::uint16_t FrameCrc(const std::uint8_t* bytes, std::size_t length)
{
    if (length < 4)
        return 0;
    // The CRC runs over any length; the table routine takes 16-bit lengths.
    std::uint16_t crc = 0;
    const std::uint8_t* p = bytes + 2;
    for (std::size_t left = length - 4; left > 0;) {
        const auto piece = static_cast<std::uint16_t>(std::min<std::size_t>(left, 0xFFFF));
        crc = crc16_ccitt(crc, p, piece);
        p += piece;
        left -= piece;
    }
    return crc;
}

void StampCrc(std::uint8_t* bytes, std::size_t length)
{
    if (length < 4)
        return;
    const std::uint16_t crc = FrameCrc(bytes, length);
    bytes[length - 2] = static_cast<std::uint8_t>(crc & 0xFF);
    bytes[length - 1] = static_cast<std::uint8_t>(crc >> 8);
}

bool HasValidCrc(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 4)
        return false;
    return CarriedCrc(bytes) == FrameCrc(bytes.data(), bytes.size());
}

bool HasFrameHead(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 2 && bytes[0] == frame::kHead0 && bytes[1] == frame::kHead1;
}

std::optional<FrameHeader> ParseFrameHeader(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < frame::kPayloadOffset || !HasFrameHead(bytes))
        return std::nullopt;
    return FrameHeader{bytes[frame::kIdOffset], bytes[frame::kCommandOffset], ReadLe16(bytes.data() + frame::kLengthOffset)};
}

std::uint16_t LengthField(std::span<const std::uint8_t> bytes)
{
    return bytes.size() < frame::kPayloadOffset ? 0 : ReadLe16(bytes.data() + frame::kLengthOffset);
}

std::uint16_t CarriedCrc(std::span<const std::uint8_t> reply)
{
    return reply.size() < 2 ? 0 : ReadLe16(reply.data() + reply.size() - 2);
}

std::span<const std::uint8_t> ReplyPayload(std::span<const std::uint8_t> reply)
{
    if (reply.size() <= frame::kOverhead)
        return {};
    return reply.subspan(frame::kPayloadOffset, reply.size() - frame::kOverhead);
}

bool HasJpegStart(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::optional<std::span<const std::uint8_t>> FramePayload(std::span<const std::uint8_t> frame, std::uint8_t command,
                                                          std::size_t length)
{
    const auto header = ParseFrameHeader(frame);
    if (!header || header->command != command || header->payloadLength != length ||
        frame.size() != length + frame::kOverhead)
        return std::nullopt;
    return frame.subspan(frame::kPayloadOffset, length);
}

}  // namespace qzr
