// Motion detection: the camera keeps the area the console sends it and raises
// a motion alarm on demand, as itself or as another camera on the line.
#include <optional>

#include "protocol/commands.h"
#include "protocol/motion.h"
#include "sim/handlers.h"
#include "sim/server.h"

namespace qzr::sim {
namespace {

// What the camera holds, and what tests see of it.
struct MotionState {
    std::optional<MotionAreaRequest> area;  // the last area taken
    std::size_t refused = 0;                // area frames whose check field was not their CRC
};

// The area frame must carry its CRC: one with the fixed tail C1 C2 in its place
// leaves the camera's area as it was (a frame damaged on the line does not get
// this far). No reply either way.
bool OnSetMotionArea(Context& context, std::span<const std::uint8_t> request)
{
    const auto parsed = ParseMotionAreaFrame(request);
    if (!parsed)
        return false;
    context.Change<MotionState>([&](MotionState& motion) {
        if (HasValidCrc(request))
            motion.area = *parsed;
        else
            ++motion.refused;
    });
    return true;
}

}  // namespace

void AddMotionCommands(CommandTable& table) { table.Add({CMD_SET_MOTION_AREA, OnSetMotionArea}); }

std::optional<MotionAreaRequest> Camera::MotionArea() const
{
    return m_server->Published<MotionState>([](const MotionState& motion) { return motion.area; });
}

std::size_t Camera::RefusedMotionAreas() const
{
    return m_server->Published<MotionState>([](const MotionState& motion) { return motion.refused; });
}

void Camera::RaiseMotionAlarm(std::optional<std::uint8_t> cameraId)
{
    m_server->Post([cameraId](Context& context) {
        context.Send(BuildMotionAlarm(cameraId.value_or(context.state.id)));
    });
}

}  // namespace qzr::sim
