#include "protocol/osd.h"

#include "protocol/commands.h"

namespace qzr {
namespace {

void PutPosition(Bytes& out, int value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value / 256) & 0xFF));
}

}  // namespace

Bytes BuildOsdFrame(std::uint8_t cameraId, int x, int y, int size, std::span<const std::uint8_t> text)
{
    Bytes payload;
    payload.reserve(text.size() + 5);
    PutPosition(payload, x);
    PutPosition(payload, y);
    payload.push_back(static_cast<std::uint8_t>(size & 0xFF));
    payload.insert(payload.end(), text.begin(), text.end());
    return BuildFrame(cameraId, CMD_OSD_TEXT, payload);
}

std::optional<OsdFrame> ParseOsdFrame(std::span<const std::uint8_t> bytes)
{
    const auto header = ParseFrameHeader(bytes);
    if (!header || header->command != CMD_OSD_TEXT || header->payloadLength < 5 ||
        bytes.size() != header->payloadLength + frame::kOverhead)
        return std::nullopt;
    const std::uint8_t* p = bytes.data() + frame::kPayloadOffset;
    OsdFrame osd{header->cameraId, ReadLe16(p), ReadLe16(p + 2), p[4], Bytes(p + 5, p + header->payloadLength)};
    return osd;
}

}  // namespace qzr
