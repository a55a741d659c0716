// The simulated camera's bursts and stored pictures, driven through its
// pseudo-terminal as the burst window drives it; the quick shot and a fetch
// are checked end to end.
#include <gtest/gtest.h>

#include "protocol/burst.h"
#include "protocol/subpacket.h"
#include "sim/camera.h"
#include "tests/sim/raw_client.h"

namespace qzr::sim {
namespace {

CameraOptions Unpaced()
{
    CameraOptions options;
    options.pacing = false;
    return options;
}

class BurstCamera : public ::testing::Test {
protected:
    BurstCamera() : camera(Unpaced())
    {
        EXPECT_TRUE(camera.Start());
        client = std::make_unique<test::RawClient>(camera.DevicePath());
    }
    // A burst of `shots` without pause, sent at `hour`:00:00 on 2026-03-05:
    // the states of the two status frames.
    std::string Burst(std::uint8_t resolution, std::uint8_t shots, int hour)
    {
        client->SendRaw(BuildBurstShootRequest(1, {resolution, 3, shots, 0, {2026, 3, 5, hour, 0, 0}}));
        const Bytes start = client->Read(burst::kStatusLength), end = client->Read(burst::kStatusLength);
        return std::to_string(ParseBurstState(start).value_or(99)) + std::to_string(ParseBurstState(end).value_or(99));
    }
    std::vector<std::string> List(const ListFilesRequest& request)
    {
        client->SendRaw(BuildListFilesRequest(1, request));
        Bytes reply = client->Read(6);
        const Bytes rest = client->Read(LengthField(reply) + 2u);
        reply.insert(reply.end(), rest.begin(), rest.end());
        std::vector<std::string> names;
        for (const auto entry : FileListEntries(reply))
            names.emplace_back(FileEntryText(entry));
        return names;
    }
    // The reply to the request for packet `asked` of `length` bytes.
    Bytes GetPacket(std::uint16_t asked, std::size_t length)
    {
        client->SendRaw(BuildGetPacketRequest(1, asked));
        return client->Read(length + subpacket::kPacketOverhead);
    }

    Camera camera;
    std::unique_ptr<test::RawClient> client;
};

// Pictures are stored under their time and number and listed latest, after
// or before a date.
TEST_F(BurstCamera, StoresAndListsItsPictures)
{
    EXPECT_EQ(Burst(1, 2, 10) + Burst(3, 2, 12), "0808");
    const std::vector<std::string> names = {"20260305100000_01", "20260305100000_02", "20260305120000_01",
                                            "20260305120000_02"};
    ASSERT_EQ(camera.StoredPictureNames(), names);
    const CameraTime eleven{2026, 3, 5, 11, 0, 0};
    EXPECT_EQ(List({3, true, std::nullopt}), std::vector<std::string>(names.begin() + 1, names.end()));
    EXPECT_EQ(List({1, true, eleven}), std::vector<std::string>{names[2]});
    EXPECT_EQ(List({20, false, eleven}), std::vector<std::string>(names.begin(), names.begin() + 2));
}

TEST_F(BurstCamera, FaultSwitchesActOnce)
{
    Burst(1, 2, 10);
    camera.SetBurstFault(Camera::BurstFault::EmptyList);
    EXPECT_TRUE(List({20, true, std::nullopt}).empty());
    camera.SetBurstFault(Camera::BurstFault::ShortListEntry);
    EXPECT_EQ(List({20, true, std::nullopt}), (std::vector<std::string>{"20260305100000_0", "20260305100000_02"}));
    EXPECT_EQ(List({20, true, std::nullopt}).size(), 2u);

    client->SendRaw(BuildGetFileRequest(1, {100, "20260305100000_01"}));
    client->Read(subpacket::kSimpleReplyLength);
    camera.SetBurstFault(Camera::BurstFault::PacketNumber);
    for (const int carried : {3, 1}) {
        const auto packet = ParsePacketReply(GetPacket(1, 100));
        EXPECT_EQ(packet ? packet->packetNumber : -1, carried);
    }
}

}  // namespace
}  // namespace qzr::sim
