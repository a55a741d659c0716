// Bursts: the camera takes a series of pictures by itself, keeps each under a
// 17-character name made from the time it was taken, lists the names around a
// date and sends one back in numbered packets.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>

#include "protocol/burst.h"
#include "protocol/calendar.h"
#include "protocol/commands.h"
#include "protocol/subpacket.h"
#include "sim/handlers.h"
#include "sim/picture.h"
#include "sim/server.h"

namespace qzr::sim {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kMaxStored = 500;  // the oldest picture goes when a new one would exceed this
constexpr std::uint16_t kDefaultFilePacketSize = 1024;

// Seconds since 2000-01-01 00:00:00 of a calendar time, and back.
std::int64_t SecondsOf(const CameraTime& t)
{
    return (DaysFromCivil(t.year, t.month, t.day) - DaysFromCivil(2000, 1, 1)) * 86400 + t.hour * 3600 +
           t.minute * 60 + t.second;
}

CameraTime TimeOf(std::int64_t seconds)
{
    // Days rounded down, so that a time before 2000 (a request with month or
    // day 0) still gives a time of day from 0 to 86399 seconds.
    std::int64_t days = seconds / 86400;
    if (seconds % 86400 < 0)
        --days;
    const std::int64_t rest = seconds - days * 86400;
    CameraTime t;
    CivilFromDays(days + DaysFromCivil(2000, 1, 1), t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

// "YYYYMMDDhhmmss_NN": the time taken and the shot's number in its burst.
std::string PictureName(std::int64_t seconds, unsigned shot)
{
    const CameraTime t = TimeOf(seconds);
    char name[32];
    std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02d_%02u", t.year % 10000, t.month, t.day, t.hour,
                  t.minute, t.second, shot % 100);
    return name;
}

struct StoredPicture {
    std::int64_t taken;  // seconds since 2000
    std::string name;
    std::shared_ptr<const Bytes> jpeg;
};

// What tests read: the stored pictures, oldest first.
struct BurstStore {
    std::vector<StoredPicture> pictures;
};

struct BurstState {
    std::vector<StoredPicture> pictures;  // oldest first
    // The camera's clock, set by every burst request from the console's time.
    std::int64_t clockBase = 0;
    SteadyClock::time_point clockSetAt = SteadyClock::now();
    TaskId running = 0;
    unsigned shotsMade = 0;  // over all bursts, for the pictures' labels
    // The file being sent: current while the camera makes no new picture for
    // another transfer (which moves its running number on).
    Bytes file;
    std::uint16_t filePacketSize = kDefaultFilePacketSize;
    unsigned fileSincePicture = 0;
    bool serving = false;
    Camera::BurstFault fault = Camera::BurstFault::None;
};

std::int64_t CameraNow(const BurstState& burst)
{
    return burst.clockBase +
           std::chrono::duration_cast<std::chrono::seconds>(SteadyClock::now() - burst.clockSetAt).count();
}

// A picture of the same name replaces the one stored before.
void Store(Context& context, StoredPicture picture)
{
    auto& pictures = context.state.Of<BurstState>().pictures;
    std::erase_if(pictures, [&](const StoredPicture& p) { return p.name == picture.name; });
    const auto at = std::upper_bound(pictures.begin(), pictures.end(), picture, [](const auto& a, const auto& b) {
        return a.taken < b.taken || (a.taken == b.taken && a.name < b.name);
    });
    pictures.insert(at, std::move(picture));
    if (pictures.size() > kMaxStored)
        pictures.erase(pictures.begin());
    context.Publish<BurstStore>([&](BurstStore& store) { store.pictures = pictures; });
}

// One shot of the burst, then the next after the interval; the end status
// follows the last.
void Shoot(Context& context, BurstShootRequest request, unsigned shot)
{
    BurstState& burst = context.state.Of<BurstState>();
    if (shot > request.shots) {
        burst.running = 0;
        context.Send(BuildBurstStatus(context.state.id, burst::kFinished, request.shots));
        return;
    }
    const PictureParams params{request.resolution, request.quality, false, ++burst.shotsMade};
    const std::int64_t now = CameraNow(burst);
    Store(context, {now, PictureName(now, shot), std::make_shared<const Bytes>(MakeTestPicture(params))});
    const auto delay = shot < request.shots ? std::chrono::seconds(request.interval) : std::chrono::seconds(0);
    burst.running = context.After(delay, [request, shot](Context& c) { Shoot(c, request, shot + 1); });
}

bool OnBurstShoot(Context& context, std::span<const std::uint8_t> frame)
{
    const auto request = ParseBurstShootRequest(frame);
    if (!request)
        return false;
    BurstState& burst = context.state.Of<BurstState>();
    context.Cancel(burst.running);  // a new burst ends the one that runs
    burst.clockBase = SecondsOf(request->time);
    burst.clockSetAt = SteadyClock::now();
    context.Reply(BuildBurstStatus(context.state.id, burst::kStarted, 0));
    burst.running = context.After(std::chrono::milliseconds(0), [request = *request](Context& c) { Shoot(c, request, 1); });
    return true;
}

// The latest pictures, or those taken at or after (at or before) the date:
// at most `count` names, oldest first, the ones nearest the date.
std::vector<std::string> ListNames(const std::vector<StoredPicture>& pictures, const ListFilesRequest& request)
{
    std::vector<const StoredPicture*> chosen;
    if (!request.from || !request.after) {
        const std::int64_t until = request.from ? SecondsOf(*request.from) : std::numeric_limits<std::int64_t>::max();
        for (const auto& p : pictures)
            if (p.taken <= until)
                chosen.push_back(&p);
        if (chosen.size() > request.count)
            chosen.erase(chosen.begin(), chosen.end() - request.count);
    } else {
        const std::int64_t from = SecondsOf(*request.from);
        for (const auto& p : pictures)
            if (p.taken >= from && chosen.size() < request.count)
                chosen.push_back(&p);
    }
    std::vector<std::string> names;
    for (const StoredPicture* p : chosen)
        names.push_back(p->name);
    return names;
}

bool OnListFiles(Context& context, std::span<const std::uint8_t> frame)
{
    const auto request = ParseListFilesRequest(frame);
    if (!request)
        return false;
    BurstState& burst = context.state.Of<BurstState>();
    std::vector<std::string> names = ListNames(burst.pictures, *request);
    if (burst.fault == Camera::BurstFault::EmptyList) {
        names.clear();
        burst.fault = Camera::BurstFault::None;
    } else if (burst.fault == Camera::BurstFault::ShortListEntry && !names.empty()) {
        names.front().pop_back();
        burst.fault = Camera::BurstFault::None;
    }
    context.Reply(BuildFileListReply(context.state.id, names));
    return true;
}

// An unknown name is answered with an empty picture: no packets to ask for.
bool OnGetFile(Context& context, std::span<const std::uint8_t> frame)
{
    const auto request = ParseGetFileRequest(frame);
    if (!request)
        return false;
    BurstState& burst = context.state.Of<BurstState>();
    burst.file.clear();
    for (const auto& p : burst.pictures)
        if (p.name == request->name)
            burst.file = *p.jpeg;
    burst.filePacketSize = request->packetSize ? request->packetSize : kDefaultFilePacketSize;
    burst.fileSincePicture = context.state.picture.number;
    burst.serving = true;
    const auto size = static_cast<std::uint32_t>(burst.file.size());
    const auto count = static_cast<std::uint16_t>(PacketCount(size, burst.filePacketSize));
    context.Reply(BuildSimpleSubPacketReply(context.state.id, {size, count, burst.filePacketSize}));
    return true;
}

// Packets of the file while it is the current transfer; otherwise the
// request is the picture transfer's (capture_commands.cpp). A packet beyond
// the file is not answered.
bool OnGetFilePacket(Context& context, std::span<const std::uint8_t> frame)
{
    BurstState& burst = context.state.Of<BurstState>();
    if (!burst.serving || burst.fileSincePicture != context.state.picture.number)
        return false;
    const auto number = ParseGetPacketRequest(frame);
    if (!number)
        return false;
    const std::size_t from = std::size_t{*number} * burst.filePacketSize;
    if (from < burst.file.size()) {
        const std::size_t length = std::min<std::size_t>(burst.filePacketSize, burst.file.size() - from);
        std::uint16_t carried = *number;
        if (burst.fault == Camera::BurstFault::PacketNumber) {
            carried = static_cast<std::uint16_t>(carried + 2);
            burst.fault = Camera::BurstFault::None;
        }
        context.Reply(BuildPacketReply(context.state.id, carried, std::span(burst.file).subspan(from, length)));
    }
    return true;
}

}  // namespace

void AddBurstCommands(CommandTable& table)
{
    table.Add({CMD_BURST_SHOOT, OnBurstShoot});
    table.Add({CMD_LIST_FILES, OnListFiles});
    table.Add({CMD_GET_FILE, OnGetFile});
    table.Add({CMD_GET_PACKET, OnGetFilePacket});
}

void Camera::SetBurstFault(BurstFault fault)
{
    m_server->Post([fault](Context& context) { context.state.Of<BurstState>().fault = fault; });
}

std::vector<std::string> Camera::StoredPictureNames() const
{
    return m_server->Published<BurstStore>([](const BurstStore& store) {
        std::vector<std::string> names;
        for (const auto& p : store.pictures)
            names.push_back(p.name);
        return names;
    });
}

Bytes Camera::StoredPicture(const std::string& name) const
{
    return m_server->Published<BurstStore>([&](const BurstStore& store) {
        for (const auto& p : store.pictures)
            if (p.name == name)
                return *p.jpeg;
        return Bytes{};
    });
}

}  // namespace qzr::sim
