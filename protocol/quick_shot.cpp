#include "protocol/quick_shot.h"

#include <algorithm>

#include "protocol/commands.h"

namespace qzr {
namespace {

constexpr std::uint8_t kQuickCamera = 1;
constexpr std::uint8_t kQuickPayload[] = {0x55, 0xAA};

}  // namespace

Bytes BuildQuickSnapshotRequest() { return BuildFrame(kQuickCamera, CMD_QUICK_SNAPSHOT, kQuickPayload); }

bool IsQuickSnapshotRequest(std::span<const std::uint8_t> frame)
{
    const auto header = ParseFrameHeader(frame);
    return header && header->command == CMD_QUICK_SNAPSHOT && header->payloadLength == sizeof kQuickPayload &&
           frame.size() == sizeof kQuickPayload + frame::kOverhead &&
           std::equal(std::begin(kQuickPayload), std::end(kQuickPayload), frame.begin() + frame::kPayloadOffset);
}

}  // namespace qzr
