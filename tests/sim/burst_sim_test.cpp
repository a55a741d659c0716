// The simulated camera's bursts, stored pictures and quick shot, driven
// through its pseudo-terminal as the burst and quick shot windows drive it.
#include <gtest/gtest.h>

#include <QImage>

#include "protocol/burst.h"
#include "protocol/quick_shot.h"
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

QSize DecodedSize(const Bytes& jpeg) { return QImage::fromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPG").size(); }

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

// Pictures are stored under their time and number, listed latest, after or
// before a date, and sent back packet by packet as they were stored.
TEST_F(BurstCamera, StoresListsAndSendsBackItsPictures)
{
    EXPECT_EQ(Burst(1, 2, 10) + Burst(3, 2, 12), "0808");
    const std::vector<std::string> names = {"20260305100000_01", "20260305100000_02", "20260305120000_01",
                                            "20260305120000_02"};
    ASSERT_EQ(camera.StoredPictureNames(), names);
    const CameraTime eleven{2026, 3, 5, 11, 0, 0};
    EXPECT_EQ(List({3, true, std::nullopt}), std::vector<std::string>(names.begin() + 1, names.end()));
    EXPECT_EQ(List({1, true, eleven}), std::vector<std::string>{names[2]});
    EXPECT_EQ(List({20, false, eleven}), std::vector<std::string>(names.begin(), names.begin() + 2));

    client->SendRaw(BuildGetFileRequest(1, {1000, names[3]}));
    const auto info = ParseSimpleSubPacketReply(client->Read(subpacket::kSimpleReplyLength));
    const Bytes stored = camera.StoredPicture(names[3]);
    ASSERT_TRUE(info && info->pictureSize == stored.size() && info->packetSize == 1000);
    Bytes fetched;
    for (std::uint16_t k = 0; k < info->packetTotal; ++k) {
        const std::size_t length = std::min<std::size_t>(1000, stored.size() - k * 1000u);
        const Bytes reply = GetPacket(k, length);
        ASSERT_EQ(reply.size(), length + subpacket::kPacketOverhead);
        EXPECT_EQ(PacketNumberField(reply), k);
        fetched.insert(fetched.end(), reply.begin() + subpacket::kPacketDataOffset, reply.end() - 2);
    }
    EXPECT_EQ(fetched, stored);
    EXPECT_EQ(DecodedSize(fetched), QSize(320, 240));
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

// The quick shot is heard at 38400 baud only, and answered with a bare JPEG.
TEST_F(BurstCamera, QuickShotAnswersAt38400WithTheBareJpeg)
{
    client->SendRaw(BuildQuickSnapshotRequest());
    EXPECT_TRUE(client->ReadQuiet().empty());
    client->SetLine(38400);
    client->SendRaw(BuildQuickSnapshotRequest());
    EXPECT_EQ(DecodedSize(client->ReadQuiet(300)), QSize(640, 480));
}

}  // namespace
}  // namespace qzr::sim
