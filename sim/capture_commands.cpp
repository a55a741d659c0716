// Pictures: the whole package, the numbered sub-packets and the simplified
// sub-packets read by offset, and the announcement of a picture the camera
// took by itself.
#include <algorithm>

#include "protocol/commands.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "sim/handlers.h"
#include "sim/server.h"

namespace qzr::sim {
namespace {

constexpr std::uint16_t kDefaultSimplePacketSize = 1024;
constexpr std::uint16_t kMaxPacketSize = 60000;  // a packet reply's length field must hold size + 3

// The latest picture made, for tests.
struct LatestPicture {
    Bytes jpeg;
};

// A quality byte of 100 or more carries the "test" mark.
void TakeCodes(CameraState& camera, std::uint8_t resolution, std::uint8_t qualityByte)
{
    camera.picture.resolution = resolution;
    camera.picture.test = qualityByte >= subpacket::kTestQualityOffset;
    camera.picture.quality =
        static_cast<std::uint8_t>(camera.picture.test ? qualityByte - subpacket::kTestQualityOffset : qualityByte);
}

const Bytes& NewPicture(Context& context)
{
    const Bytes& picture = context.state.TakePicture();
    context.Publish<LatestPicture>([&](LatestPicture& latest) { latest.jpeg = picture; });
    return picture;
}

bool OnSnapshot(Context& context, std::span<const std::uint8_t> request)
{
    const auto parsed = ParseSnapshotRequest(request);
    if (!parsed)
        return false;
    TakeCodes(context.state, parsed->resolution, parsed->quality);
    context.Reply(BuildSnapshotReply(context.state.id, NewPicture(context)));
    return true;
}

bool OnSetPicture(Context& context, std::span<const std::uint8_t> request)
{
    const auto parsed = ParseSetPictureRequest(request);
    if (!parsed)
        return false;
    TakeCodes(context.state, parsed->resolution, parsed->quality);
    context.Reply(BuildSetPictureReply(context.state.id, parsed->resolution, parsed->quality));
    return true;
}

bool OnSetPacketSize(Context& context, std::span<const std::uint8_t> request)
{
    const auto size = ParseSetPacketSizeRequest(request);
    if (!size)
        return false;
    CameraState& camera = context.state;
    if (*size > 0)
        camera.packetSize = std::min(*size, kMaxPacketSize);
    context.Reply(BuildSetPacketSizeReply(camera.id, camera.packetSize));
    return true;
}

bool OnSubPacketStart(Context& context, std::span<const std::uint8_t> request)
{
    if (!IsSubPacketStartRequest(request))
        return false;
    const auto length = static_cast<std::uint32_t>(NewPicture(context).size());
    const auto count = static_cast<std::uint16_t>(PacketCount(length, context.state.packetSize));
    context.Reply(BuildSubPacketStartReply(context.state.id, {length, count}));
    return true;
}

// A packet beyond the picture, or before any, is not answered.
bool OnGetPacket(Context& context, std::span<const std::uint8_t> request)
{
    const auto number = ParseGetPacketRequest(request);
    if (!number)
        return false;
    const CameraState& camera = context.state;
    const std::size_t from = std::size_t{*number} * camera.packetSize;
    if (from < camera.currentPicture.size()) {
        const std::size_t length = std::min<std::size_t>(camera.packetSize, camera.currentPicture.size() - from);
        context.Reply(BuildPacketReply(camera.id, *number, std::span(camera.currentPicture).subspan(from, length)));
    }
    return true;
}

bool OnSimpleSubPacket(Context& context, std::span<const std::uint8_t> request)
{
    const auto parsed = ParseSimpleSubPacketRequest(request);
    if (!parsed)
        return false;
    CameraState& camera = context.state;
    camera.picture.resolution = parsed->resolution;
    camera.picture.quality = parsed->quality;
    camera.picture.test = parsed->test;
    const auto size = static_cast<std::uint32_t>(NewPicture(context).size());
    const std::uint16_t packetSize = parsed->packetSize ? parsed->packetSize : kDefaultSimplePacketSize;
    context.Reply(
        BuildSimpleSubPacketReply(camera.id, {size, static_cast<std::uint16_t>(PacketCount(size, packetSize)), packetSize}));
    return true;
}

// Before the first picture a stretch is not answered; beyond its end it comes short.
bool OnReadImage(Context& context, std::span<const std::uint8_t> request)
{
    const auto parsed = ParseReadImageRequest(request);
    if (!parsed)
        return false;
    const Bytes& picture = context.state.currentPicture;
    if (!picture.empty()) {
        const std::size_t from = std::min<std::size_t>(parsed->offset, picture.size());
        const std::size_t length = std::min<std::size_t>(parsed->length, picture.size() - from);
        context.Reply(BuildReadImageReply(context.state.id, std::span(picture).subspan(from, length)));
    }
    return true;
}

}  // namespace

void AddCaptureCommands(CommandTable& table)
{
    table.Add({CMD_SNAPSHOT, OnSnapshot});
    table.Add({CMD_SET_PICTURE, OnSetPicture});
    table.Add({CMD_SET_PACKET_SIZE, OnSetPacketSize});
    table.Add({CMD_SUBPACKET_START, OnSubPacketStart});
    table.Add({CMD_GET_PACKET, OnGetPacket});
    table.Add({CMD_SIMPLE_SUBPACKET, OnSimpleSubPacket});
    table.Add({CMD_READ_IMAGE, OnReadImage});
}

Bytes Camera::LastPicture() const
{
    return m_server->Published<LatestPicture>([](const LatestPicture& latest) { return latest.jpeg; });
}

void Camera::AnnounceImage()
{
    m_server->Post([](Context& context) {
        const auto size = static_cast<std::uint32_t>(NewPicture(context).size());
        context.Send(BuildImageReadyAnnouncement(context.state.id, size));
    });
}

}  // namespace qzr::sim
