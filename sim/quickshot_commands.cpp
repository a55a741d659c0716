// The quick shot: heard at 38400 baud whatever the camera's own rate, and
// answered with the bare JPEG of a new picture.
#include "protocol/commands.h"
#include "protocol/quick_shot.h"
#include "sim/handlers.h"

namespace qzr::sim {
namespace {

constexpr std::uint32_t kQuickShotRate = 38400;

bool OnQuickSnapshot(Context& context, std::span<const std::uint8_t> request)
{
    if (!IsQuickSnapshotRequest(request))
        return false;
    context.Reply(context.state.TakePicture());
    return true;
}

}  // namespace

void AddQuickShotCommands(CommandTable& table)
{
    table.Add({.command = CMD_QUICK_SNAPSHOT, .handle = OnQuickSnapshot, .rate = kQuickShotRate});
}

}  // namespace qzr::sim
