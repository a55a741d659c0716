// libFuzzer entry point: the requests the simulated camera reads, one by one
// and as a stream cut into pieces. The stream reader must never hold more than
// one frame and must hand out only whole frames.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "protocol/burst.h"
#include "protocol/camera_id.h"
#include "protocol/firmware.h"
#include "protocol/frame_stream.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "protocol/motion.h"
#include "protocol/osd.h"
#include "protocol/quick_shot.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qzr;
    const std::span<const std::uint8_t> bytes(data, size);

    ParseSnapshotRequest(bytes);
    ParseSetPictureRequest(bytes);
    ParseSetPacketSizeRequest(bytes);
    IsSubPacketStartRequest(bytes);
    ParseGetPacketRequest(bytes);
    ParseSimpleSubPacketRequest(bytes);
    ParseReadImageRequest(bytes);
    IsQueryIdRequest(bytes);
    ParseSetIdRequest(bytes);
    ParseSetBaudRequest(bytes);
    ParseBurstShootRequest(bytes);
    ParseListFilesRequest(bytes);
    if (const auto file = ParseGetFileRequest(bytes))
        Require(file->name.size() <= burst::kNameLength);
    IsQuickSnapshotRequest(bytes);
    IsSerialNumberQuery(bytes);
    IsModelQuery(bytes);
    ParseSetModelRequest(bytes);
    ParseSetFunctionRequest(bytes);
    if (ParseBatchSettingRequest(bytes))
        Require(size == 14);
    if (const auto osd = ParseOsdFrame(bytes))
        Require(osd->text.size() + 5 + frame::kOverhead == size);
    if (ParseMotionAreaFrame(bytes))
        Require(size == motion::kAreaFrameLength);
    ParseUpgradeStart(bytes);
    if (const auto packet = ParseUpgradePacket(bytes))
        Require(packet->data.size() + upgrade::kPacketOverhead == size && packet->data.data() == data + upgrade::kPacketHeadLength);
    if (ParseLensRequest(bytes))
        Require(size == 10);
    IsFocusValueRequest(bytes);
    ParseLedRequest(bytes);
    ParseLightRequest(bytes);
    ParseAutoFocusRequest(bytes);
    ParseTestPattern(bytes);
    IsModelCancelRequest(bytes);

    // The first byte sets the piece size and the largest payload.
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::size_t maxPayload = data[0] < 128 ? 4096 : data[0] % 32;
    FrameAssembler assembler(maxPayload);
    for (std::size_t at = 1; at < size; at += piece) {
        const auto frames = assembler.Feed(bytes.subspan(at, std::min(piece, size - at)));
        for (const Bytes& frame : frames) {
            const auto header = ParseFrameHeader(frame);
            Require(header && header->payloadLength <= maxPayload && frame.size() == header->payloadLength + frame::kOverhead);
        }
        Require(assembler.Buffered() < maxPayload + frame::kOverhead);
    }
    assembler.Resync();
    return 0;
}
