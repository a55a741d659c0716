// The firmware upgrade's frames against byte vectors written out by hand (CRCs
// computed outside this code), the packet plan of a program, and how gathered
// request bytes are read.
#include <gtest/gtest.h>

#include "protocol/commands.h"
#include "protocol/firmware.h"

namespace qzr {
namespace {

TEST(FirmwareFrames, BuildersProduceTheWireBytes)
{
    const std::uint8_t data[] = {0xAA, 0xBB};
    Bytes start = BuildUpgradeStart(1, {3, 1808});
    EXPECT_EQ(start, (Bytes{0x90, 0xEB, 0x01, 0x88, 0x04, 0x00, 0x03, 0x00, 0x10, 0x07, 0xC1, 0xC2})) << "tail for the sender";
    StampCrc(start);
    EXPECT_EQ(start, (Bytes{0x90, 0xEB, 0x01, 0x88, 0x04, 0x00, 0x03, 0x00, 0x10, 0x07, 0x6E, 0x91}));
    EXPECT_EQ(BuildUpgradeRequest(1, 2), (Bytes{0x90, 0xEB, 0x01, 0x90, 0x02, 0x00, 0x02, 0x00, 0x20, 0xE8}));
    EXPECT_EQ(BuildUpgradeDone(1, 3), (Bytes{0x90, 0xEB, 0x01, 0x92, 0x02, 0x00, 0x03, 0x00, 0x92, 0x9F}));
    const Bytes packet = BuildUpgradePacket(1, 2, data);
    EXPECT_EQ(packet, (Bytes{0x90, 0xEB, 0x01, 0x91, 0x04, 0x00, 0x02, 0x00, 0xAA, 0xBB, 0xFC, 0x6C}));

    EXPECT_EQ(ParseUpgradeStart(start), (UpgradePlan{3, 1808}));
    const auto parsed = ParseUpgradePacket(packet);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->index, 2);
    EXPECT_EQ(Bytes(parsed->data.begin(), parsed->data.end()), Bytes(data, data + 2));
    Bytes broken = packet;
    broken[9] ^= 1;
    EXPECT_FALSE(ParseUpgradePacket(broken)) << "a packet whose CRC does not check";
}

TEST(FirmwareFrames, PlanCutsTheProgramInto4096BytePackets)
{
    const struct {
        std::size_t length;
        UpgradePlan plan;
        std::size_t lastData;
    } cases[] = {{10000, {3, 1808}, 1808}, {8192, {2, 0}, 4096}, {409600, {100, 0}, 4096}, {1, {1, 1}, 1}, {0, {0, 0}, 0}};
    for (const auto& c : cases) {
        const UpgradePlan plan = PlanUpgrade(c.length);
        EXPECT_EQ(plan, c.plan) << c.length;
        EXPECT_EQ(UpgradePacketDataLength(plan, static_cast<std::uint16_t>(plan.packetCount - 1)), c.lastData) << c.length;
        EXPECT_EQ(UpgradePacketDataLength(plan, plan.packetCount), 0u) << c.length;
    }
}

// Gathered bytes are read in the order the console examines them; only a
// complete request carries its index and CRC verdict.
TEST(FirmwareFrames, GatheredRequestIsReadInTurn)
{
    using State = UpgradeRequestState;
    const Bytes request = BuildUpgradeRequest(1, 2);
    Bytes badCrc = request;
    badCrc.back() ^= 0xFF;
    const struct {
        const char* name;
        Bytes bytes;
        int cameraId;
        State state;
        bool crcOk;
    } cases[] = {
        {"complete", request, 1, State::Complete, true},
        {"wrong CRC", badCrc, 1, State::Complete, false},
        {"six bytes", Bytes(request.begin(), request.begin() + 6), 1, State::Waiting, false},
        {"nine bytes", Bytes(request.begin(), request.begin() + 9), 1, State::Incomplete, false},
        {"another camera", request, 2, State::OtherCamera, false},
        {"id above 255", request, 257, State::OtherCamera, false},
        {"length 247 fits", {0x90, 0xEB, 0x01, 0x90, 0xF7, 0x00, 0x02, 0x00}, 1, State::Incomplete, false},
        {"length 248 never fits", {0x90, 0xEB, 0x01, 0x90, 0xF8, 0x00, 0x02, 0x00}, 1, State::TooLong, false},
    };
    for (const auto& c : cases) {
        const UpgradeRequest read = ReadUpgradeRequest(c.bytes, c.cameraId);
        EXPECT_EQ(read.state, c.state) << c.name;
        EXPECT_EQ(read.crcOk, c.crcOk) << c.name;
        if (c.state == State::Complete) {
            EXPECT_EQ(read.command, CMD_UPGRADE_PACKET_REQUEST) << c.name;
            EXPECT_EQ(read.index, 2) << c.name;
        }
    }
}

}  // namespace
}  // namespace qzr
