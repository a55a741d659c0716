// Writes the seed corpora of the console's fuzz programs: step sequences whose
// camera bytes are the simulated camera's real replies to the requests the
// console sends in each family's flow, taken over a pseudo-terminal.
//   qzr_fuzz_seeds DIR    writes DIR/<family>/seed-<name>
#include <cstdio>
#include <filesystem>
#include <fstream>
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
using qzr::fuzz::Family;
using qzr::fuzz::StepWriter;

constexpr std::uint16_t kPacket = 512;
constexpr std::uint8_t kSmall = 1, kCoarse = 12;  // 160x120 at the coarsest quality: small seeds

fs::path g_root;

void Save(Family family, const std::string& name, const StepWriter& steps)
{
    const fs::path folder = g_root / fuzz::FamilyName(family);
    fs::create_directories(folder);
    std::ofstream(folder / ("seed-" + name), std::ios::binary)
        .write(reinterpret_cast<const char*>(steps.Input().data()), static_cast<std::streamsize>(steps.Input().size()));
    std::printf("%s/seed-%s: %zu bytes\n", fuzz::FamilyName(family), name.c_str(), steps.Input().size());
}

// Bytes as the console reads them at each poll: pieces of `piece` bytes, a tick each.
void Deliver(StepWriter& steps, const Bytes& bytes, std::size_t piece = 2048, std::uint8_t ticks = 1)
{
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        steps.Chunk(std::span(bytes).subspan(at, std::min(piece, bytes.size() - at))).Wait(ticks);
}

// The camera, unpaced, and the console's end of its line.
struct Line {
    Line() : camera([] { sim::CameraOptions o; o.pacing = false; return o; }())
    {
        std::string error;
        if (!camera.Start(&error)) {
            std::fprintf(stderr, "qzr_fuzz_seeds: %s\n", error.c_str());
            std::exit(1);
        }
        client = std::make_unique<test::RawClient>(camera.DevicePath());
    }
    // The camera's answer to `request`, whatever it sends until it goes quiet.
    Bytes Ask(Bytes request)
    {
        client->SendFrame(std::move(request));
        return Heard();
    }
    Bytes Heard() { return client->ReadQuiet(120); }
    // A picture of `size` bytes read stretch by stretch.
    void ReadByOffset(StepWriter& steps, std::uint32_t size)
    {
        for (std::uint32_t offset = 0; offset < size; offset += kPacket) {
            const auto length = static_cast<std::uint16_t>(std::min<std::uint32_t>(kPacket, size - offset));
            Deliver(steps, Ask(BuildReadImageRequest(1, {offset, length})), 8192, 1);
        }
    }

    sim::Camera camera;
    std::unique_ptr<test::RawClient> client;
};

void WholeSeeds()
{
    Line line;
    const Bytes reply = line.Ask(BuildSnapshotRequest(1, kSmall, kCoarse));
    StepWriter plain, torn, continuous, unplugged;
    Deliver(plain, reply);
    Save(Family::Whole, "picture", plain.Wait(2));
    Deliver(torn, reply, 333);
    Save(Family::Whole, "torn", torn.Wait(2));

    // Continuous capture: every picture asks for the next.
    Deliver(continuous, reply);
    continuous.Click(kContinuous);
    for (int i = 0; i < 3; ++i)
        Deliver(continuous, line.Ask(BuildSnapshotRequest(1, kSmall, kCoarse)), 2048, 3);
    Save(Family::Whole, "continuous", continuous.Click(kStop).Wait(2));

    // Unplugged halfway through the picture.
    Deliver(unplugged, Bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(reply.size() / 2)));
    Save(Family::Whole, "unplugged", unplugged.Line(false).Wait(2).Line(true).Click(kCloseComms).Click(kOpenComms));
}

void NumberedSeeds()
{
    Line line;
    StepWriter steps, torn, damaged;
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
    for (std::uint16_t n = 0; n < (announced ? announced->packetCount : 1); ++n)
        both(line.Ask(BuildGetPacketRequest(1, n)), 1);
    Save(Family::Numbered, "picture", steps.Wait(2));
    Save(Family::Numbered, "torn", torn.Wait(2));

    // A packet with a broken check field, then the watchdog's wait.
    line.camera.AddFault(sim::Fault::CorruptCrc());
    Deliver(damaged, line.Ask(BuildGetPacketRequest(1, 0)), 8192, 1);
    Save(Family::Numbered, "damaged", damaged.Wait(255));
}

void SimplifiedSeeds()
{
    Line line;
    StepWriter steps, announced;
    const Bytes announce = line.Ask(BuildSimpleSubPacketRequest(1, {kPacket, kSmall, kCoarse, false}));
    Deliver(steps, announce, 8192, 2);
    const auto reply = ParseSimpleSubPacketReply(announce);
    line.ReadByOffset(steps, reply ? reply->pictureSize : 0);
    Save(Family::Simplified, "picture", steps.Wait(2));

    // The camera announces a picture by itself; it is read by offset.
    line.camera.AnnounceImage();
    const Bytes ready = line.Heard();
    Deliver(announced, ready, 8192, 2);
    const auto image = ParseImageReadyAnnouncement(ready);
    line.ReadByOffset(announced, image ? image->pictureSize : 0);
    Save(Family::Simplified, "announced", announced.Wait(2));
}

void IdleSeeds()
{
    Line line;
    // Camera text and the test-shot trigger; then a camera that talks in short
    // lines, each read on its own.
    StepWriter text, lines, replies, subPacket;
    for (const char* words : {"senser ok\n", "12345678\n", "1234\n"}) {
        line.camera.SendText(words);
        Deliver(text, line.Heard());
    }
    line.camera.SendTrigger();
    Deliver(text, line.Heard());
    Save(Family::Idle, "text-and-trigger", text.Wait(3));
    for (const char* words : {"zoom 10\n", "focus 3\n", "led on\n", "ir cut\n", "ae ok\n", "awb ok\n", "fps 15\n", "ready\n"}) {
        line.camera.SendText(words);
        Deliver(lines, line.Heard());
    }
    Save(Family::Idle, "text-lines", lines.Wait(2));

    Deliver(replies.Click(kQuerySerial), line.Ask(BuildSerialNumberQuery(1)));
    Deliver(replies.Click(kQueryModel), line.Ask(BuildModelQuery(1)));
    Deliver(replies.Click(kCheckLens), line.Ask(BuildCheckLensRequest(1)));
    line.camera.RaiseMotionAlarm();
    Deliver(replies, line.Heard());
    line.camera.SendProductionDateNotice();
    Deliver(replies, line.Heard());
    Save(Family::Idle, "short-replies", replies.Wait(2));

    line.camera.SendText("camera ready\n");
    Deliver(subPacket.Click(kSubPacket), line.Heard());
    Save(Family::Idle, "sub-packet-text", subPacket.Wait(2));
}

void UpgradeSeeds()
{
    Line line;
    const UpgradePlan plan = PlanUpgrade(5000);
    Bytes program(5000);  // the harness's firmware file
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
        request = line.Ask(BuildUpgradePacket(1, index, std::span(program).subspan(from, UpgradePacketDataLength(plan, index))));
    }
    Save(Family::Upgrade, "requests", steps.Wait(2));
}

void FocusSeeds()
{
    Line line;
    StepWriter steps, stop;
    for (int i = 0; i < 6; ++i)
        Deliver(steps, line.Ask(BuildFocusValueRequest(1)), 8192, 4);
    Save(Family::Focus, "values", steps.Wait(2));

    Deliver(stop, line.Ask(BuildFocusValueRequest(1)), 8192, 4);
    Deliver(stop.Click(kStopAndSnapshot), line.Ask(BuildSnapshotRequest(1, kSmall, kCoarse)));
    Save(Family::Focus, "stop-and-snapshot", stop.Wait(2));
}

void ChildSeeds()
{
    Line line;
    StepWriter burst, quick;
    burst.Click(kBurstWindow).Click(kBurstOpenComms).Click(kBurstShoot);
    line.client->SendFrame(BuildBurstShootRequest(1, {kSmall, 2, 2, 1, {2024, 1, 31, 12, 0, 0}}));
    for (int i = 0; i < 3; ++i)
        Deliver(burst, line.client->ReadQuiet(1500), 1056, 2);
    const Bytes list = line.Ask(BuildListFilesRequest(1, {20, false, std::nullopt}));
    Deliver(burst.Click(kBurstRequestList), list, 1056, 2);
    if (const auto entries = FileListEntries(list); !entries.empty()) {
        const Bytes info = line.Ask(BuildGetFileRequest(1, {1024, std::string(FileEntryText(entries.front()))}));
        Deliver(burst.Choose(kFileRow, 1), info, 1056, 2);  // the first row
        if (const auto reply = ParseSimpleSubPacketReply(info))
            for (std::uint16_t n = 0; n < reply->packetTotal; ++n)
                Deliver(burst, line.Ask(BuildGetPacketRequest(1, n)), 1056, 1);
    }
    Save(Family::Children, "burst", burst.Wait(2).Click(kBurstClose));

    quick.Click(kCloseComms).Click(kQuickShotWindow).Click(kQuickOpenPort).Click(kQuickShoot);
    line.client->SetLine(38400);
    line.client->SendRaw(BuildQuickSnapshotRequest());
    Deliver(quick, line.client->ReadQuiet(300), 1024, 1);
    Save(Family::Children, "quick-shot", quick.Wait(8).Click(kQuickOpenPort).Click(kQuickExit));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qzr_fuzz_seeds DIR\n");
        return 2;
    }
    g_root = argv[1];
    for (void (*write)() : {WholeSeeds, NumberedSeeds, SimplifiedSeeds, IdleSeeds, UpgradeSeeds, FocusSeeds, ChildSeeds})
        write();
    return 0;
}
