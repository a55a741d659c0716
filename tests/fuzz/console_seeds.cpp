// Writes the seed corpora of the console's fuzz programs: step sequences whose
// camera bytes are the simulated camera's real replies to the requests the
// console sends in each family's flow, taken over a pseudo-terminal.
//   qzr_fuzz_seeds DIR    writes DIR/<family>/seed-<name>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "protocol/burst.h"
#include "protocol/commands.h"
#include "protocol/firmware.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "protocol/quick_shot.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "sim/camera.h"
#include "tests/fuzz/console_harness.h"
#include "tests/sim/raw_client.h"

namespace {

namespace fs = std::filesystem;
using namespace qzr;
using namespace qzr::fuzz::buttons;
using qzr::fuzz::StepWriter;

constexpr int kQuietMs = 120;
constexpr std::uint16_t kPacket = 512;
constexpr std::uint8_t kSmall = 1, kCoarse = 12;  // 160x120 at the coarsest quality: small seeds

// The camera and the console's end of its line.
struct Line {
    Line() : camera(Options())
    {
        std::string error;
        if (!camera.Start(&error)) {
            std::fprintf(stderr, "qzr_fuzz_seeds: %s\n", error.c_str());
            std::exit(1);
        }
        client = std::make_unique<test::RawClient>(camera.DevicePath());
    }
    static sim::CameraOptions Options()
    {
        sim::CameraOptions options;
        options.pacing = false;
        return options;
    }
    // The camera's answer to `request`, whatever it sends until it goes quiet.
    Bytes Ask(Bytes request)
    {
        client->SendFrame(std::move(request));
        return client->ReadQuiet(kQuietMs);
    }
    Bytes Heard() { return client->ReadQuiet(kQuietMs); }

    sim::Camera camera;
    std::unique_ptr<test::RawClient> client;
};

// Bytes as the console reads them at each poll: pieces of `piece` bytes, a tick each.
void Deliver(StepWriter& steps, const Bytes& bytes, std::size_t piece = 2048, std::uint8_t ticks = 1)
{
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::size_t n = std::min(piece, bytes.size() - at);
        steps.Chunk(std::span(bytes).subspan(at, n)).Wait(ticks);
    }
}

class Writer {
public:
    explicit Writer(fs::path root) : m_root(std::move(root)) {}
    void Add(fuzz::Family family, const std::string& name, const StepWriter& steps)
    {
        const fs::path folder = m_root / fuzz::FamilyName(family);
        fs::create_directories(folder);
        std::ofstream out(folder / ("seed-" + name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(steps.Input().data()), static_cast<std::streamsize>(steps.Input().size()));
        std::printf("%s/seed-%s: %zu bytes\n", fuzz::FamilyName(family), name.c_str(), steps.Input().size());
    }

private:
    fs::path m_root;
};

void WholeSeeds(Writer& out)
{
    Line line;
    const Bytes reply = line.Ask(BuildSnapshotRequest(1, kSmall, kCoarse));
    StepWriter plain;
    Deliver(plain, reply);
    out.Add(fuzz::Family::Whole, "picture", plain.Wait(2));

    StepWriter torn;
    Deliver(torn, reply, 333);
    out.Add(fuzz::Family::Whole, "torn", torn.Wait(2));

    // Continuous capture: every picture asks for the next.
    StepWriter continuous;
    Deliver(continuous, reply);
    continuous.Click(kContinuous);
    for (int i = 0; i < 3; ++i)
        Deliver(continuous, line.Ask(BuildSnapshotRequest(1, kSmall, kCoarse)), 2048, 3);
    out.Add(fuzz::Family::Whole, "continuous", continuous.Click(kStop).Wait(2));

    // Unplugged halfway through the picture.
    StepWriter unplugged;
    Deliver(unplugged, Bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(reply.size() / 2)));
    out.Add(fuzz::Family::Whole, "unplugged", unplugged.Line(false).Wait(2).Line(true).Click(kCloseComms).Click(kOpenComms));
}

void NumberedSeeds(Writer& out)
{
    Line line;
    StepWriter steps, torn;
    const auto both = [&](const Bytes& reply, std::uint8_t ticks) {
        Deliver(steps, reply, 8192, ticks);
        // Short replies in pieces, as a slow line brings them.
        Deliver(torn, reply, reply.size() < 32 ? 5 : 8192, ticks);
    };
    both(line.Ask(BuildSetPictureRequest(1, kSmall, kCoarse)), 2);
    both(line.Ask(BuildSetPacketSizeRequest(1, kPacket)), 2);
    const Bytes start = line.Ask(BuildSubPacketStartRequest(1));
    both(start, 2);
    const auto announced = ParseSubPacketStartReply(start);
    const std::uint16_t count = announced ? announced->packetCount : 1;
    for (std::uint16_t n = 0; n < count; ++n)
        both(line.Ask(BuildGetPacketRequest(1, n)), 1);
    out.Add(fuzz::Family::Numbered, "picture", steps.Wait(2));
    out.Add(fuzz::Family::Numbered, "torn", torn.Wait(2));

    // A packet with a broken check field, then the watchdog's wait.
    line.camera.AddFault(sim::Fault::CorruptCrc());
    StepWriter damaged;
    Deliver(damaged, line.Ask(BuildGetPacketRequest(1, 0)), 8192, 1);
    out.Add(fuzz::Family::Numbered, "damaged", damaged.Wait(255));
}

void SimplifiedSeeds(Writer& out)
{
    Line line;
    StepWriter steps;
    const Bytes announce = line.Ask(BuildSimpleSubPacketRequest(1, {kPacket, kSmall, kCoarse, false}));
    Deliver(steps, announce, 8192, 2);
    const auto reply = ParseSimpleSubPacketReply(announce);
    const std::uint32_t size = reply ? reply->pictureSize : 0;
    for (std::uint32_t offset = 0; offset < size; offset += kPacket) {
        const auto length = static_cast<std::uint16_t>(std::min<std::uint32_t>(kPacket, size - offset));
        Deliver(steps, line.Ask(BuildReadImageRequest(1, {offset, length})), 8192, 1);
    }
    out.Add(fuzz::Family::Simplified, "picture", steps.Wait(2));

    // The camera announces a picture by itself; it is read by offset.
    line.camera.AnnounceImage();
    const Bytes ready = line.Heard();
    StepWriter announced;
    Deliver(announced, ready, 8192, 2);
    if (const auto image = ParseImageReadyAnnouncement(ready)) {
        for (std::uint32_t offset = 0; offset < image->pictureSize; offset += kPacket) {
            const auto length = static_cast<std::uint16_t>(std::min<std::uint32_t>(kPacket, image->pictureSize - offset));
            Deliver(announced, line.Ask(BuildReadImageRequest(1, {offset, length})), 8192, 1);
        }
    }
    out.Add(fuzz::Family::Simplified, "announced", announced.Wait(2));
}

void IdleSeeds(Writer& out)
{
    Line line;
    StepWriter text;
    for (const char* words : {"senser ok\n", "12345678\n", "1234\n"}) {
        line.camera.SendText(words);
        Deliver(text, line.Heard());
    }
    line.camera.SendTrigger();
    Deliver(text, line.Heard());
    out.Add(fuzz::Family::Idle, "text-and-trigger", text.Wait(3));

    // A camera that talks: short lines, each read on its own.
    StepWriter lines;
    for (const char* words : {"zoom 10\n", "focus 3\n", "led on\n", "ir cut\n", "ae ok\n", "awb ok\n", "fps 15\n", "ready\n"}) {
        line.camera.SendText(words);
        Deliver(lines, line.Heard());
    }
    out.Add(fuzz::Family::Idle, "text-lines", lines.Wait(2));

    StepWriter replies;
    replies.Click(kQuerySerial);
    Deliver(replies, line.Ask(BuildSerialNumberQuery(1)));
    replies.Click(kQueryModel);
    Deliver(replies, line.Ask(BuildModelQuery(1)));
    replies.Click(kCheckLens);
    Deliver(replies, line.Ask(BuildCheckLensRequest(1)));
    line.camera.RaiseMotionAlarm();
    Deliver(replies, line.Heard());
    line.camera.SendProductionDateNotice();
    Deliver(replies, line.Heard());
    out.Add(fuzz::Family::Idle, "short-replies", replies.Wait(2));

    StepWriter subPacket;
    subPacket.Click(kSubPacket);
    line.camera.SendText("camera ready\n");
    Deliver(subPacket, line.Heard());
    out.Add(fuzz::Family::Idle, "sub-packet-text", subPacket.Wait(2));
}

void UpgradeSeeds(Writer& out)
{
    Line line;
    const UpgradePlan plan = PlanUpgrade(5000);
    Bytes program(5000);
    for (std::size_t i = 0; i < program.size(); ++i)
        program[i] = static_cast<std::uint8_t>(i * 7);
    StepWriter steps;
    Bytes request = line.Ask(BuildUpgradeStart(1, plan));
    for (int round = 0; round < 8 && !request.empty(); ++round) {
        Deliver(steps, request, 8192, 2);
        const auto header = ParseFrameHeader(request);
        if (!header || header->command != CMD_UPGRADE_PACKET_REQUEST || request.size() < 8)
            break;
        const std::uint16_t index = ReadLe16(request.data() + 6);
        if (index >= plan.packetCount)
            break;
        const std::size_t from = std::size_t{index} * upgrade::kPacketSize;
        const std::size_t length = UpgradePacketDataLength(plan, index);
        request = line.Ask(BuildUpgradePacket(1, index, std::span(program).subspan(from, length)));
    }
    out.Add(fuzz::Family::Upgrade, "requests", steps.Wait(2));
}

void FocusSeeds(Writer& out)
{
    Line line;
    StepWriter steps;
    for (int i = 0; i < 6; ++i)
        Deliver(steps, line.Ask(BuildFocusValueRequest(1)), 8192, 4);
    out.Add(fuzz::Family::Focus, "values", steps.Wait(2));

    StepWriter stop;
    Deliver(stop, line.Ask(BuildFocusValueRequest(1)), 8192, 4);
    stop.Click(kStopAndSnapshot);
    Deliver(stop, line.Ask(BuildSnapshotRequest(1, kSmall, kCoarse)));
    out.Add(fuzz::Family::Focus, "stop-and-snapshot", stop.Wait(2));
}

void ChildSeeds(Writer& out)
{
    Line line;
    StepWriter burst;
    burst.Click(kBurstWindow).Click(kBurstOpenComms);
    burst.Click(kBurstShoot);
    line.client->SendFrame(BuildBurstShootRequest(1, {kSmall, 2, 2, 1, {2024, 1, 31, 12, 0, 0}}));
    for (int i = 0; i < 3; ++i)
        Deliver(burst, line.client->ReadQuiet(1500), 1056, 2);
    burst.Click(kBurstRequestList);
    const Bytes list = line.Ask(BuildListFilesRequest(1, {20, false, std::nullopt}));
    Deliver(burst, list, 1056, 2);
    const auto entries = FileListEntries(list);
    if (!entries.empty()) {
        burst.Choose(kFileRow, 1);  // the first row
        const std::string name(FileEntryText(entries.front()));
        const Bytes info = line.Ask(BuildGetFileRequest(1, {1024, name}));
        Deliver(burst, info, 1056, 2);
        if (const auto reply = ParseSimpleSubPacketReply(info)) {
            for (std::uint16_t n = 0; n < reply->packetTotal; ++n)
                Deliver(burst, line.Ask(BuildGetPacketRequest(1, n)), 1056, 1);
        }
    }
    out.Add(fuzz::Family::Children, "burst", burst.Wait(2).Click(kBurstClose));

    StepWriter quick;
    quick.Click(kCloseComms).Click(kQuickShotWindow).Click(kQuickOpenPort).Click(kQuickShoot);
    line.client->SetLine(38400);
    line.client->SendRaw(BuildQuickSnapshotRequest());
    Deliver(quick, line.client->ReadQuiet(300), 1024, 1);
    out.Add(fuzz::Family::Children, "quick-shot", quick.Wait(8).Click(kQuickOpenPort).Click(kQuickExit));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qzr_fuzz_seeds DIR\n");
        return 2;
    }
    Writer out(argv[1]);
    WholeSeeds(out);
    NumberedSeeds(out);
    SimplifiedSeeds(out);
    IdleSeeds(out);
    UpgradeSeeds(out);
    FocusSeeds(out);
    ChildSeeds(out);
    return 0;
}
