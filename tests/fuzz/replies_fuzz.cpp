// libFuzzer entry point: the camera's replies, through every decoder the
// console reads them with. A decoder that hands back bytes outside its input
// stops the run.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "protocol/burst.h"
#include "protocol/camera_id.h"
#include "protocol/firmware.h"
#include "protocol/frame.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "protocol/motion.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

bool Within(std::span<const std::uint8_t> part, std::span<const std::uint8_t> whole)
{
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qzr;
    const std::span<const std::uint8_t> bytes(data, size);

    ParseFrameHeader(bytes);
    HasValidCrc(bytes);
    IsSnapshotReplyHead(bytes);
    if (const auto header = ParseSnapshotHeader(bytes)) {
        if (const auto picture = SnapshotPicture(bytes))
            Require(picture->size() == header->pictureLength && Within(*picture, bytes));
    }
    IsSetPictureReply(bytes);
    ParseSetPacketSizeReply(bytes);
    ParseSubPacketStartReply(bytes);
    if (const auto packet = ParsePacketReply(bytes))
        Require(packet->data.size() + subpacket::kPacketOverhead == size && Within(packet->data, bytes));
    ParseSimpleSubPacketReply(bytes);
    // The stretch length the console asked for: from the input's first bytes.
    const std::size_t asked = size >= 2 ? ReadLe16(data) : size;
    for (std::size_t length : {asked, size - std::min<std::size_t>(size, subpacket::kStretchOverhead), SIZE_MAX - 1}) {
        if (const auto stretch = ParseReadImageReply(bytes, length))
            Require(stretch->data.size() == length && Within(stretch->data, bytes));
    }
    ParseImageReadyAnnouncement(bytes);
    ParseBurstState(bytes);
    IsExactlyOneFrame(bytes);
    for (const auto entry : FileListEntries(bytes))
        Require(entry.size() == burst::kEntryLength && Within(entry, bytes) && FileEntryText(entry).size() <= entry.size());
    if (const auto id = ParseQueryIdReply(bytes))
        Require(*id == data[frame::kIdOffset]);
    if (const auto id = ParseMotionAlarm(bytes))
        Require(size == motion::kAlarmLength && *id == data[frame::kIdOffset]);
    if (const auto serial = ParseSerialNumberReply(bytes))
        Require(size == kSerialNumberReplyLength && serial->year < 99 && serial->month < 13 && serial->day < 32);
    if (ParseModelReply(bytes))
        Require(size == kModelReplyLength);
    if (ContainsProductionDateNotice(bytes))
        Require(size >= 9);
    // A firmware packet request, gathered from two reads of the same bytes.
    UpgradeRequestGatherer gathered;
    gathered.Offer(bytes);
    gathered.Offer(bytes);
    Require(gathered.Gathered().size() < upgrade::kRequestBufferSize);
    ReadUpgradeRequest(gathered.Gathered(), size >= 3 ? data[frame::kIdOffset] : 1);
    if (ParseLensStatus(bytes))
        Require(size == lens::kStatusLength);
    return 0;
}
