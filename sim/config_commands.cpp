// Configuration: the camera's id and line rate, its serial number and
// production date, its model and function mode, and Batch Setting.
#include "protocol/camera_id.h"
#include "protocol/commands.h"
#include "protocol/model.h"
#include "protocol/serial_number.h"
#include "sim/handlers.h"
#include "sim/server.h"

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

bool OnQuerySerial(Context& context, std::span<const std::uint8_t> request)
{
    if (!IsSerialNumberQuery(request))
        return false;
    const CameraIdentity& identity = context.state.Of<CameraIdentity>();
    SerialNumberReply reply;
    reply.serialNumber = identity.serialNumber;
    reply.year = static_cast<std::uint8_t>(identity.year - 2000);
    reply.month = static_cast<std::uint8_t>(identity.month);
    reply.day = static_cast<std::uint8_t>(identity.day);
    reply.serialValid = identity.serialValid;
    context.Reply(BuildSerialNumberReply(context.state.id, reply));
    return true;
}

bool OnQueryModel(Context& context, std::span<const std::uint8_t> request)
{
    if (!IsModelQuery(request))
        return false;
    const CameraIdentity& identity = context.state.Of<CameraIdentity>();
    context.Reply(BuildModelReply(context.state.id, identity.modelCode, identity.functionMode));
    return true;
}

// The settings are not answered.
bool OnSetModel(Context& context, std::span<const std::uint8_t> request)
{
    const auto code = ParseSetModelRequest(request);
    if (!code)
        return false;
    context.Change<CameraIdentity>([&](CameraIdentity& identity) { identity.modelCode = *code; });
    return true;
}

bool OnSetFunction(Context& context, std::span<const std::uint8_t> request)
{
    const auto mode = ParseSetFunctionRequest(request);
    if (!mode)
        return false;
    context.Change<CameraIdentity>([&](CameraIdentity& identity) { identity.functionMode = *mode; });
    return true;
}

bool OnBatchSetting(Context& context, std::span<const std::uint8_t> request)
{
    const auto setting = ParseBatchSettingRequest(request);
    if (!setting)
        return false;
    context.Change<CameraIdentity>([&](CameraIdentity& identity) {
        identity.whiteLight = setting->whiteLight;
        identity.autoFocus = setting->autoFocus;
        identity.alarm = setting->alarm;
        identity.modelCode = setting->modelCode;
        identity.functionMode = setting->functionMode;
    });
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
    table.Add({CMD_QUERY_SERIAL, OnQuerySerial});
    table.Add({CMD_QUERY_MODEL, OnQueryModel});
    table.Add({CMD_SET_MODEL, OnSetModel});
    table.Add({CMD_SET_FUNCTION, OnSetFunction});
    table.Add({CMD_BATCH_SETTING, OnBatchSetting});
}

void Camera::SetIdentity(const CameraIdentity& identity)
{
    m_server->Post([identity](Context& context) { context.Change<CameraIdentity>([&](CameraIdentity& own) { own = identity; }); });
}

CameraIdentity Camera::Identity() const
{
    return m_server->Published<CameraIdentity>([](const CameraIdentity& identity) { return identity; });
}

// Sent as the camera sends it, whatever the console asked.
void Camera::SendProductionDateNotice()
{
    m_server->Post([](Context& context) { context.Send(BuildProductionDateNotice(context.state.id)); });
}

}  // namespace qzr::sim
