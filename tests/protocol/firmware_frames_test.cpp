// The firmware upgrade's frames against byte vectors written out by hand (CRCs
// computed outside this code). How the console reads requests is tested in
// the window tests, byte by byte as the camera sends them.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qzr
