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

using test::RawClient;

QSize DecodedSize(const Bytes& jpeg) { return QImage::fromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPG").size(); }

class BurstCamera : public ::testing::Test {
protected:
    BurstCamera()
    {
        CameraOptions options;
        options.pacing = false;
        camera = std::make_unique<Camera>(options);
        std::string error;
        EXPECT_TRUE(camera->Start(&error)) << error;
        client = std::make_unique<RawClient>(camera->DevicePath());
    }

    // A burst of `shots` without pause, told the time `hour`:00:00 on 2026-03-05;
    // the states of its two status frames.
    std::pair<int, int> Burst(std::uint8_t resolution, std::uint8_t shots, int hour)
    {
        client->SendRaw(BuildBurstShootRequest(1, {resolution, 3, shots, 0, {2026, 3, 5, hour, 0, 0}}));
        const Bytes start = client->Read(burst::kStatusLength), end = client->Read(burst::kStatusLength);
        return {ParseBurstState(start).value_or(-1), ParseBurstState(end).value_or(-1)};
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

    std::unique_ptr<Camera> camera;
    std::unique_ptr<RawClient> client;
};

// Pictures are stored under their time and number, listed latest, after or
// before a date, and fetched packet by packet as the camera stored them.
TEST_F(BurstCamera, StoresListsAndSendsBackItsPictures)
{
    EXPECT_EQ(Burst(1, 2, 10), std::make_pair(0, 8));
    EXPECT_EQ(Burst(3, 2, 12), std::make_pair(0, 8));
    const std::vector<std::string> names = {"20260305100000_01", "20260305100000_02", "20260305120000_01",
                                            "20260305120000_02"};
    ASSERT_EQ(camera->StoredPictureNames(), names);
    EXPECT_EQ(DecodedSize(camera->StoredPicture(names[0])), QSize(160, 120));

    const CameraTime eleven{2026, 3, 5, 11, 0, 0};
    EXPECT_EQ(List({3, true, std::nullopt}), std::vector<std::string>(names.begin() + 1, names.end()));
    EXPECT_EQ(List({1, true, eleven}), std::vector<std::string>{names[2]});
    EXPECT_EQ(List({20, false, eleven}), std::vector<std::string>(names.begin(), names.begin() + 2));

    client->SendRaw(BuildGetFileRequest(1, {1000, names[3]}));
    const auto info = ParseSimpleSubPacketReply(client->Read(subpacket::kSimpleReplyLength));
    ASSERT_TRUE(info);
    const Bytes stored = camera->StoredPicture(names[3]);
    EXPECT_EQ(info->pictureSize, stored.size());
    EXPECT_EQ(info->packetSize, 1000);
    Bytes fetched;
    for (std::uint16_t k = 0; k < info->packetTotal; ++k) {
        client->SendRaw(BuildGetPacketRequest(1, k));
        const std::size_t length = std::min<std::size_t>(1000, stored.size() - k * 1000u);
        const Bytes reply = client->Read(length + subpacket::kPacketOverhead);
        const auto packet = ParsePacketReply(reply);
        ASSERT_TRUE(packet && packet->packetNumber == k);
        fetched.insert(fetched.end(), packet->data.begin(), packet->data.end());
    }
    EXPECT_EQ(fetched, stored);
    EXPECT_EQ(DecodedSize(fetched), QSize(320, 240));

    client->SendRaw(BuildGetFileRequest(1, {1024, "20990101000000_01"}));
    EXPECT_EQ(ParseSimpleSubPacketReply(client->Read(subpacket::kSimpleReplyLength))->packetTotal, 0);
}

TEST_F(BurstCamera, FaultSwitchesActOnce)
{
    Burst(1, 2, 10);
    camera->SetBurstFault(Camera::BurstFault::EmptyList);
    EXPECT_TRUE(List({20, true, std::nullopt}).empty());
    camera->SetBurstFault(Camera::BurstFault::ShortListEntry);
    EXPECT_EQ(List({20, true, std::nullopt}), (std::vector<std::string>{"20260305100000_0", "20260305100000_02"}));
    EXPECT_EQ(List({20, true, std::nullopt}).size(), 2u);

    client->SendRaw(BuildGetFileRequest(1, {100, "20260305100000_01"}));
    client->Read(subpacket::kSimpleReplyLength);
    camera->SetBurstFault(Camera::BurstFault::PacketNumber);
    for (std::uint16_t carried : {3, 1}) {
        client->SendRaw(BuildGetPacketRequest(1, 1));
        EXPECT_EQ(ParsePacketReply(client->Read(100 + subpacket::kPacketOverhead))->packetNumber, carried);
    }
}

// The quick shot is heard at 38400 baud only, and answered with a bare JPEG.
TEST_F(BurstCamera, QuickShotAnswersAt38400WithTheBareJpeg)
{
    client->SendRaw(BuildQuickSnapshotRequest());
    EXPECT_TRUE(client->ReadQuiet().empty());
    client->SetLine(38400);
    client->SendRaw(BuildQuickSnapshotRequest());
    const Bytes jpeg = client->ReadQuiet(300);
    EXPECT_EQ(DecodedSize(jpeg), QSize(640, 480));
}

}  // namespace
}  // namespace qzr::sim
