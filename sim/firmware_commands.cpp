// Firmware upgrade: on the start frame the camera asks for the program's
// packets one by one, checks each packet's length, index and CRC, puts the
// program together, and reports completion once every packet arrived intact.
// A packet that does not come within the time-out is asked for again.
#include <algorithm>
#include <deque>
#include <fstream>
#include <random>

#include "protocol/commands.h"
#include "protocol/firmware.h"
#include "sim/handlers.h"
#include "sim/server.h"

namespace qzr::sim {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kLogLimit = 256;
constexpr std::size_t kRequestLogLimit = 4096;
// A packet asked for this often in vain ends the upgrade on the camera's side
// (the console was cancelled or went away).
constexpr int kMaxAsks = 20;
constexpr std::size_t kSplitAt = 6;
constexpr auto kSplitPause = 300ms;
constexpr int kBitsPerByte = 11;

// The camera's side of an upgrade, on the serving thread.
struct UpgradeState {
    UpgradeOptions options;
    std::deque<UpgradeRequestFault> faults;
    std::mt19937 random{1};

    bool running = false;
    UpgradePlan plan;
    Bytes image;
    std::vector<bool> have;
    std::size_t missing = 0;
    std::vector<std::uint16_t> order;  // the requests to make, in turn
    std::size_t next = 0;              // into order
    std::uint16_t awaited = 0;         // the packet asked for last
    int asks = 0;                      // times it was asked for
    TaskId timeout = 0;
};

UpgradeState& StateOf(Context& context) { return context.state.Of<UpgradeState>(); }

void Log(Context& context, const std::string& line)
{
    const UpgradeState& upgrade = StateOf(context);
    if (upgrade.options.log)
        upgrade.options.log(line);
    context.Publish<UpgradeReport>([&](UpgradeReport& report) {
        report.log.push_back(line);
        if (report.log.size() > kLogLimit)
            report.log.erase(report.log.begin());
    });
}

std::chrono::milliseconds RequestTimeout(Context& context)
{
    const UpgradeState& upgrade = StateOf(context);
    if (upgrade.options.requestTimeout > 0ms)
        return upgrade.options.requestTimeout;
    const auto packetBytes = upgrade::kPacketSize + upgrade::kPacketOverhead;
    const auto lineMs = packetBytes * kBitsPerByte * 1000 / std::max<std::uint32_t>(1, context.state.baud);
    return 1000ms + 2 * std::chrono::milliseconds(lineMs);
}

std::vector<std::uint16_t> RequestOrder(UpgradeState& upgrade)
{
    std::vector<std::uint16_t> order(upgrade.plan.packetCount);
    for (std::uint16_t k = 0; k < order.size(); ++k)
        order[k] = k;
    switch (upgrade.options.order) {
    case UpgradeOrder::InOrder:
        break;
    case UpgradeOrder::Reverse:
        std::reverse(order.begin(), order.end());
        break;
    case UpgradeOrder::RandomWithRepeats: {
        std::shuffle(order.begin(), order.end(), upgrade.random);
        // About one packet in four is asked for a second time, at a later turn.
        const std::size_t repeats = order.size() / 4 + 1;
        for (std::size_t i = 0; i < repeats; ++i) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(1, order.size())(upgrade.random);
            const std::uint16_t again = order[std::uniform_int_distribution<std::size_t>(0, at - 1)(upgrade.random)];
            order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), again);
        }
        break;
    }
    }
    return order;
}

// The fault waiting for a request for `packet`, taken off the list.
std::optional<UpgradeRequestFault> TakeFault(UpgradeState& upgrade, std::uint16_t packet)
{
    const auto found = std::find_if(upgrade.faults.begin(), upgrade.faults.end(), [&](const UpgradeRequestFault& f) {
        return !f.packet || *f.packet == packet;
    });
    if (found == upgrade.faults.end())
        return std::nullopt;
    const UpgradeRequestFault fault = *found;
    upgrade.faults.erase(found);
    return fault;
}

// Asks for `packet` and waits for it; without it in time, asks again.
void Ask(Context& context, std::uint16_t packet)
{
    UpgradeState& upgrade = StateOf(context);
    upgrade.asks = upgrade.awaited == packet ? upgrade.asks + 1 : 1;
    upgrade.awaited = packet;
    context.Cancel(upgrade.timeout);
    if (upgrade.asks > kMaxAsks) {
        upgrade.running = false;
        upgrade.timeout = 0;
        context.Publish<UpgradeReport>([](UpgradeReport& report) { report.running = false; });
        Log(context, "upgrade given up: packet " + std::to_string(packet) + " never came");
        return;
    }
    upgrade.timeout = context.After(RequestTimeout(context), [packet](Context& later) {
        UpgradeState& state = StateOf(later);
        state.timeout = 0;
        if (!state.running || state.awaited != packet)
            return;
        Log(later, "no packet " + std::to_string(packet) + " in time, asking again");
        Ask(later, packet);
    });
    context.Publish<UpgradeReport>([&](UpgradeReport& report) {
        report.requested.push_back(packet);
        if (report.requested.size() > kRequestLogLimit)
            report.requested.erase(report.requested.begin());
    });

    const std::optional<UpgradeRequestFault> fault = TakeFault(upgrade, packet);
    using Kind = UpgradeRequestFault::Kind;
    std::uint8_t id = context.state.id;
    std::uint16_t index = packet;
    if (fault && fault->kind == Kind::Lost) {
        Log(context, "request for packet " + std::to_string(packet) + " lost on the line");
        return;
    }
    if (fault && fault->kind == Kind::OtherCamera)
        id = static_cast<std::uint8_t>(id + 1);
    if (fault && fault->kind == Kind::BeyondLast)
        index = upgrade.plan.packetCount;
    Bytes request = BuildUpgradeRequest(id, index);
    if (fault && fault->kind == Kind::WrongCrc)
        request.back() = static_cast<std::uint8_t>(~request.back());
    if (fault && fault->kind == Kind::Split) {
        Bytes rest(request.begin() + kSplitAt, request.end());
        request.resize(kSplitAt);
        context.After(kSplitPause, [rest = std::move(rest)](Context& later) { later.Send(rest); });
    }
    context.Reply(std::move(request));
}

// Asks for the next packet of the order. Every packet is in the order at least
// once and each turn waits for its packet, so the order cannot run out while
// one is missing.
void AskNext(Context& context)
{
    UpgradeState& upgrade = StateOf(context);
    if (upgrade.next < upgrade.order.size())
        Ask(context, upgrade.order[upgrade.next++]);
}

void Finish(Context& context)
{
    UpgradeState& upgrade = StateOf(context);
    upgrade.running = false;
    context.Cancel(upgrade.timeout);
    upgrade.timeout = 0;
    bool written = true;
    if (!upgrade.options.outPath.empty()) {
        std::ofstream out(upgrade.options.outPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(upgrade.image.data()), static_cast<std::streamsize>(upgrade.image.size()));
        written = static_cast<bool>(out);
    }
    context.Publish<UpgradeReport>([&](UpgradeReport& report) {
        report.running = false;
        report.complete = true;
        report.image = upgrade.image;
    });
    Log(context, "upgrade complete: " + std::to_string(upgrade.image.size()) + " bytes" +
                     (written ? "" : ", but " + upgrade.options.outPath + " could not be written"));
    context.Reply(BuildUpgradeDone(context.state.id, upgrade.plan.packetCount));
}

bool OnUpgradeStart(Context& context, std::span<const std::uint8_t> request)
{
    const auto plan = ParseUpgradeStart(request);
    if (!plan)
        return false;
    UpgradeState& upgrade = StateOf(context);
    context.Cancel(upgrade.timeout);
    upgrade.timeout = 0;
    upgrade.running = false;
    const std::size_t length = plan->lastLength == 0 ? std::size_t{plan->packetCount} * upgrade::kPacketSize
                                                     : (plan->packetCount - std::size_t{1}) * upgrade::kPacketSize + plan->lastLength;
    // The camera's program memory holds 100 packets.
    if (plan->packetCount == 0 || plan->lastLength >= upgrade::kPacketSize || length > upgrade::kMaxProgram) {
        Log(context, "start refused: " + std::to_string(plan->packetCount) + " packets, the last " +
                         std::to_string(plan->lastLength) + " bytes");
        return true;
    }
    upgrade.plan = *plan;
    upgrade.image.assign(length, 0);
    upgrade.have.assign(plan->packetCount, false);
    upgrade.missing = plan->packetCount;
    upgrade.random.seed(upgrade.options.seed);
    upgrade.order = RequestOrder(upgrade);
    upgrade.next = 0;
    upgrade.asks = 0;
    upgrade.running = true;
    context.Publish<UpgradeReport>([&](UpgradeReport& report) {
        std::vector<std::string> log = std::move(report.log);
        report = UpgradeReport{};
        report.running = true;
        report.packetCount = plan->packetCount;
        report.lastLength = plan->lastLength;
        report.log = std::move(log);
    });
    Log(context, "upgrade of " + std::to_string(length) + " bytes: " + std::to_string(plan->packetCount) +
                     " packets, the last " + std::to_string(plan->lastLength) + " bytes");
    AskNext(context);
    return true;
}

bool OnUpgradePacket(Context& context, std::span<const std::uint8_t> frame)
{
    UpgradeState& upgrade = StateOf(context);
    const auto bad = [&](const std::string& why) {
        context.Publish<UpgradeReport>([](UpgradeReport& report) { ++report.badPackets; });
        Log(context, "bad packet: " + why);
        return true;
    };
    const auto packet = ParseUpgradePacket(frame);
    if (!packet)
        return bad("length field or CRC does not fit its " + std::to_string(frame.size()) + " bytes");
    const std::string name = "packet " + std::to_string(packet->index);
    if (!upgrade.running)
        return bad(name + " while no upgrade runs");
    if (packet->index >= upgrade.plan.packetCount)
        return bad(name + " beyond the " + std::to_string(upgrade.plan.packetCount) + " of the program");
    const std::size_t expected = UpgradePacketDataLength(upgrade.plan, packet->index);
    if (packet->data.size() != expected)
        return bad(name + " holds " + std::to_string(packet->data.size()) + " bytes, not " + std::to_string(expected));
    if (packet->index != upgrade.awaited)
        return bad(name + " was not asked for (packet " + std::to_string(upgrade.awaited) + " was)");

    std::copy(packet->data.begin(), packet->data.end(),
              upgrade.image.begin() + static_cast<std::ptrdiff_t>(std::size_t{packet->index} * upgrade::kPacketSize));
    if (!upgrade.have[packet->index]) {
        upgrade.have[packet->index] = true;
        --upgrade.missing;
    }
    context.Publish<UpgradeReport>([](UpgradeReport& report) { ++report.packetsTaken; });
    if (upgrade.missing == 0) {
        Finish(context);
        return true;
    }
    AskNext(context);
    return true;
}

}  // namespace

void AddFirmwareCommands(CommandTable& table)
{
    table.Add({CMD_UPGRADE_START, OnUpgradeStart});
    table.Add({CMD_UPGRADE_PACKET, OnUpgradePacket});
}

void Camera::SetUpgradeOptions(UpgradeOptions options)
{
    m_server->Post([options = std::move(options)](Context& context) { StateOf(context).options = options; });
}

void Camera::AddUpgradeRequestFault(const UpgradeRequestFault& fault)
{
    m_server->Post([fault](Context& context) { StateOf(context).faults.push_back(fault); });
}

UpgradeReport Camera::Upgrade() const
{
    return m_server->Published<UpgradeReport>([](const UpgradeReport& report) { return report; });
}

}  // namespace qzr::sim
