// Configuration: the camera's id and line rate.
#include "protocol/camera_id.h"
#include "protocol/commands.h"
#include "sim/handlers.h"

namespace qzr::sim {
namespace {

bool OnQueryId(Context& context, std::span<const std::uint8_t> request)
{
    if (!IsQueryIdRequest(request))
        return false;
    const CameraState& camera = context.state;
    context.Reply(BuildQueryIdReply(camera.id, BaudCodeFromRate(camera.baud).value_or(BaudCodeFromText(""))));
    return true;
}

// The new id and rate are not answered; they hold from the next frame on.
bool OnSetId(Context& context, std::span<const std::uint8_t> request)
{
    const auto id = ParseSetIdRequest(request);
    if (!id)
        return false;
    context.state.id = *id;
    return true;
}

bool OnSetBaud(Context& context, std::span<const std::uint8_t> request)
{
    const auto parsed = ParseSetBaudRequest(request);
    if (!parsed)
        return false;
    if (const auto rate = BaudRateFromCode(parsed->baudCode)) {
        context.state.baud = *rate;
        if (parsed->save)
            context.state.Save();
    }
    return true;
}

}  // namespace

void AddConfigCommands(CommandTable& table)
{
    // Every camera answers the query, whatever its id, when it is sent to id 0.
    table.Add({.command = CMD_QUERY_ID, .handle = OnQueryId, .alsoAtIdZero = true});
    table.Add({CMD_SET_ID, OnSetId});
    table.Add({CMD_SET_BAUD, OnSetBaud});
    table.Add({CMD_SET_BAUD_SAVE, OnSetBaud});
}

}  // namespace qzr::sim
