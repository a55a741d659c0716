// Lens, light and alarm control: a motorised lens with its zoom and focus
// percent, the lens status and the done replies, a focus value for every poll
// that rises to one peak and falls again as a lens turned by hand through
// focus; the LED, the light and autofocus switches, the test pattern and the
// model "cancel" are recorded.
#include <algorithm>
#include <cmath>

#include "protocol/commands.h"
#include "protocol/lens.h"
#include "sim/camera.h"
#include "sim/handlers.h"
#include "sim/server.h"

namespace qzr::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long the motors take.
constexpr milliseconds kZoomTime{300};
constexpr milliseconds kFocusRunTime{1500};
constexpr milliseconds kResetTime{3000};
// A pause in the polls this long starts a new turn of the lens.
constexpr milliseconds kNewSweepAfter{2000};
// The focus value's curve over a turn of the lens.
constexpr double kBaseValue = 20000;
constexpr double kPeakValue = 987654;
constexpr double kPeakWidthMs = 1200;

struct LensState {
    LensRecord record;
    Clock::time_point sweepStart{};
    Clock::time_point lastPoll{};
};

void SendStatus(Context& context)
{
    const LensRecord& lens = context.state.Of<LensState>().record;
    context.Reply(BuildLensStatus(context.state.id, lens.zoom, lens.focus));
}

// Where autofocus finds the picture sharp at a zoom.
std::uint8_t SharpFocusAt(std::uint8_t zoom) { return static_cast<std::uint8_t>(std::min(100, 30 + zoom / 2)); }

bool OnLensRequest(Context& context, std::span<const std::uint8_t> request)
{
    const auto parsed = ParseLensRequest(request);
    if (!parsed)
        return false;
    switch (parsed->kind) {
    case LensRequest::Kind::CheckLens:
        SendStatus(context);
        break;
    case LensRequest::Kind::Zoom:
        context.Change<LensState>([&](LensState& lens) { lens.record.zoom = parsed->zoom; });
        context.After(kZoomTime, SendStatus);
        break;
    case LensRequest::Kind::Focus:
        context.After(kFocusRunTime, [](Context& c) {
            c.Change<LensState>([](LensState& lens) { lens.record.focus = SharpFocusAt(lens.record.zoom); });
            c.Reply(BuildLensDoneReply(c.state.id, CMD_AUTOFOCUS_DONE));
        });
        break;
    case LensRequest::Kind::ZoomReset:
        context.After(kResetTime, [](Context& c) {
            c.Change<LensState>([](LensState& lens) { lens.record.zoom = 0; });
            c.Reply(BuildLensDoneReply(c.state.id, CMD_ZOOM_RESET_DONE));
        });
        break;
    case LensRequest::Kind::FocusReset:
        context.After(kResetTime, [](Context& c) {
            c.Change<LensState>([](LensState& lens) { lens.record.focus = 0; });
            c.Reply(BuildLensDoneReply(c.state.id, CMD_FOCUS_RESET_DONE));
        });
        break;
    }
    return true;
}

bool OnFocusValueRequest(Context& context, std::span<const std::uint8_t> request)
{
    if (!IsFocusValueRequest(request))
        return false;
    const Clock::time_point now = Clock::now();
    std::uint64_t value = 0;
    context.Change<LensState>([&](LensState& lens) {
        if (lens.record.focusPolls == 0 || now - lens.lastPoll >= kNewSweepAfter)
            lens.sweepStart = now;
        lens.lastPoll = now;
        ++lens.record.focusPolls;
        value = FocusValueAt(std::chrono::duration_cast<milliseconds>(now - lens.sweepStart));
    });
    context.Reply(BuildFocusValueLine(value));
    return true;
}

bool OnLed(Context& context, std::span<const std::uint8_t> request)
{
    const auto on = ParseLedRequest(request);
    if (!on)
        return false;
    context.Change<LensState>([&](LensState& lens) { lens.record.led = *on; });
    return true;
}

bool OnLight(Context& context, std::span<const std::uint8_t> request)
{
    const auto white = ParseLightRequest(request);
    if (!white)
        return false;
    context.Change<CameraIdentity>([&](CameraIdentity& identity) { identity.whiteLight = *white; });
    return true;
}

bool OnAutoFocus(Context& context, std::span<const std::uint8_t> request)
{
    const auto on = ParseAutoFocusRequest(request);
    if (!on)
        return false;
    context.Change<CameraIdentity>([&](CameraIdentity& identity) { identity.autoFocus = *on; });
    return true;
}

bool OnTestPattern(Context& context, std::span<const std::uint8_t> request)
{
    const auto descending = ParseTestPattern(request);
    if (!descending)
        return false;
    context.Change<LensState>([&](LensState& lens) { lens.record.testPatterns.push_back(*descending); });
    return true;
}

// After the model rows: their frame of a model code twice is not this one.
bool OnModelCancel(Context& context, std::span<const std::uint8_t> request)
{
    if (!IsModelCancelRequest(request))
        return false;
    context.Change<LensState>([](LensState& lens) { ++lens.record.modelCancels; });
    return true;
}

}  // namespace

std::uint64_t FocusValueAt(std::chrono::milliseconds sinceTurnStarted)
{
    const double x = (static_cast<double>(sinceTurnStarted.count()) - static_cast<double>(kFocusPeakAt.count())) /
                     kPeakWidthMs;
    return static_cast<std::uint64_t>(std::llround(kBaseValue + (kPeakValue - kBaseValue) * std::exp(-x * x)));
}

void AddLensCommands(CommandTable& table)
{
    for (std::uint8_t command : {CMD_ZOOM, CMD_FOCUS, CMD_ZOOM_RESET, CMD_FOCUS_RESET})
        table.Add({command, OnLensRequest});
    table.Add({CMD_FOCUS_VALUE_REQUEST, OnFocusValueRequest});
    table.Add({CMD_LED, OnLed});
    table.Add({CMD_WHITE_LIGHT, OnLight});
    table.Add({CMD_INFRARED, OnLight});
    table.Add({CMD_AUTOFOCUS_ON, OnAutoFocus});
    table.Add({CMD_AUTOFOCUS_OFF, OnAutoFocus});
    table.Add({CMD_TEST_PATTERN, OnTestPattern});
    table.Add({CMD_SET_MODEL, OnModelCancel});
}

LensRecord Camera::Lens() const
{
    return m_server->Published<LensState>([](const LensState& lens) { return lens.record; });
}

void Camera::SetLens(std::uint8_t zoom, std::uint8_t focus)
{
    m_server->Post([zoom, focus](Context& context) {
        context.Change<LensState>([&](LensState& lens) {
            lens.record.zoom = zoom;
            lens.record.focus = focus;
        });
    });
}

}  // namespace qzr::sim
