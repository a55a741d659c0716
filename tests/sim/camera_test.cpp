// The simulated camera, driven through its pseudo-terminal as the console
// drives a real one: raw line, frames in, replies read with poll().
#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <filesystem>

#include "protocol/camera_id.h"
#include "protocol/osd.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "sim/camera.h"
#include "tests/sim/raw_client.h"

namespace qzr::sim {
namespace {

using namespace std::chrono_literals;
using test::RawClient;

constexpr std::size_t kQueryReplyLength = 11;

QSize DecodedSize(std::span<const std::uint8_t> jpeg)
{
    QImage image;
    image.loadFromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPG");
    return image.size();
}

Bytes Concat(const Bytes& a, const Bytes& b)
{
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// A camera without pacing, as every test but the pacing bench wants it.
CameraOptions Unpaced(std::string stateFile = {})
{
    CameraOptions options;
    options.pacing = false;
    options.stateFile = std::move(stateFile);
    return options;
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override { Restart(Unpaced()); }

    void Restart(CameraOptions options)
    {
        client.reset();
        camera = std::make_unique<Camera>(options);
        std::string error;
        ASSERT_TRUE(camera->Start(&error)) << error;
        client = std::make_unique<RawClient>(camera->DevicePath(), options.baud);
    }

    // Sends a request at a line setting the camera does not share and waits
    // until it has taken the bytes in, so that the line can be changed after.
    void SendNotUnderstood(const Bytes& frame)
    {
        const std::size_t before = camera->Stats().bytesNotUnderstood;
        client->SendFrame(frame);
        ASSERT_TRUE(camera->WaitUntil([&](const CameraStats& s) { return s.bytesNotUnderstood >= before + frame.size(); }));
    }

    Bytes Query()
    {
        client->SendFrame(BuildQueryIdRequest());
        return client->Read(kQueryReplyLength);
    }

    Bytes Snapshot(std::uint8_t id, std::uint8_t resolution, std::uint8_t quality)
    {
        client->SendFrame(BuildSnapshotRequest(id, resolution, quality));
        Bytes reply = client->Read(snapshot::kDataOffset);
        const auto header = ParseSnapshotHeader(reply);
        if (!header)
            return reply;
        const Bytes rest = client->Read(header->pictureLength + 2);
        reply.insert(reply.end(), rest.begin(), rest.end());
        return reply;
    }

    std::unique_ptr<Camera> camera;
    std::unique_ptr<RawClient> client;
};

TEST_F(CameraTest, AnswersTheIdQueryAtItsRate)
{
    const Bytes reply = Query();
    ASSERT_EQ(reply.size(), kQueryReplyLength);
    EXPECT_EQ(reply, Bytes({0x90, 0xEB, 0x01, 0x01, 0x03, 0x00, 0x06, 0xAA, 0x55, 0x56, 0x59}));
    EXPECT_EQ(ParseQueryIdReply(reply), 1);
    EXPECT_TRUE(client->ReadQuiet().empty());
}

// At another rate or frame format the request is noise; at the camera's own
// it is answered, once.
TEST_F(CameraTest, OnlyTheCamerasLineSettingsAreUnderstood)
{
    const struct {
        const char* name;
        std::uint32_t rate;
        bool twoStopBits;
    } cases[] = {
        {"57600", 57600, true},
        {"230400", 230400, true},
        {"one stop bit", 115200, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Restart(Unpaced());
        client->SetLine(c.rate, c.twoStopBits);
        SendNotUnderstood(BuildQueryIdRequest());
        client->SetLine(115200);
        EXPECT_EQ(ParseQueryIdReply(Query()), 1);
        EXPECT_TRUE(client->ReadQuiet().empty());
        EXPECT_EQ(camera->Stats().framesReceived, 1u);
    }
}

TEST_F(CameraTest, NewIdHoldsFromTheNextFrame)
{
    client->SendFrame(BuildSetIdRequest(1, 9));
    ASSERT_TRUE(camera->WaitForFrames(1));
    EXPECT_EQ(camera->CurrentId(), 9);
    EXPECT_EQ(ParseQueryIdReply(Query()), 9);

    // A snapshot for the old id goes unanswered; the one for the new id is answered.
    client->SendFrame(BuildSnapshotRequest(1, 1, 1));
    const Bytes reply = Snapshot(9, 1, 1);
    ASSERT_TRUE(SnapshotPicture(reply));
    EXPECT_EQ(reply[2], 9);
    EXPECT_TRUE(client->ReadQuiet().empty());
    EXPECT_EQ(camera->Stats().framesReceived, 4u);
}

TEST_F(CameraTest, NewRateHoldsFromTheNextFrame)
{
    client->SendFrame(BuildSetBaudRequest(1, BaudCodeFromText("38400"), false));
    ASSERT_TRUE(camera->WaitForFrames(1));
    EXPECT_EQ(camera->CurrentBaud(), 38400u);
    SendNotUnderstood(BuildQueryIdRequest());

    client->SetLine(38400);
    const Bytes reply = Query();
    EXPECT_EQ(ParseQueryIdReply(reply), 1);
    ASSERT_EQ(reply.size(), kQueryReplyLength);
    EXPECT_EQ(reply[6], 4);  // the camera's baud code
}

TEST_F(CameraTest, SavedIdAndRateSurviveARestart)
{
    const auto state = std::filesystem::temp_directory_path() / ("qzr-sim-state-" + std::to_string(::getpid()));
    std::filesystem::remove(state);
    const CameraOptions options = Unpaced(state.string());

    Restart(options);
    client->SendFrame(BuildSetIdRequest(1, 7));
    client->SendFrame(BuildSetBaudRequest(7, BaudCodeFromText("57600"), true));
    ASSERT_TRUE(camera->WaitForFrames(2));
    camera->Stop();

    Restart(options);
    EXPECT_EQ(camera->CurrentId(), 7);
    EXPECT_EQ(camera->CurrentBaud(), 57600u);
    client->SetLine(57600);
    EXPECT_EQ(ParseQueryIdReply(Query()), 7);

    // A rate set without saving is gone after the restart.
    client->SendFrame(BuildSetBaudRequest(7, BaudCodeFromText("9600"), false));
    ASSERT_TRUE(camera->WaitForFrames(2));
    EXPECT_EQ(camera->CurrentBaud(), 9600u);
    camera->Stop();
    Restart(options);
    EXPECT_EQ(camera->CurrentBaud(), 57600u);
    std::filesystem::remove(state);
}

TEST_F(CameraTest, WholePictureIsAJpegOfTheRequestedSize)
{
    const struct {
        std::uint8_t resolution;
        QSize size;
    } cases[] = {{1, {160, 120}}, {5, {640, 480}}, {30, {480, 270}}, {99, {640, 480}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.resolution));
        const Bytes reply = Snapshot(1, c.resolution, 3);
        const auto picture = SnapshotPicture(reply);
        ASSERT_TRUE(picture);
        EXPECT_TRUE(HasValidCrc(reply));
        EXPECT_EQ(DecodedSize(*picture), c.size);
        const Bytes last = camera->LastPicture();
        EXPECT_TRUE(std::equal(picture->begin(), picture->end(), last.begin(), last.end()));
    }
}

TEST_F(CameraTest, EveryRequestMakesANewPicture)
{
    const Bytes first = Snapshot(1, 1, 1);
    const Bytes second = Snapshot(1, 1, 1);
    ASSERT_TRUE(SnapshotPicture(first) && SnapshotPicture(second));
    EXPECT_NE(first, second);
}

// Numbered packets, each with a good CRC, put together give the picture the
// camera made for this transfer.
TEST_F(CameraTest, NumberedPacketsReassembleThePicture)
{
    client->SendFrame(BuildSetPictureRequest(1, 3, 2));
    EXPECT_TRUE(IsSetPictureReply(client->Read(subpacket::kControlReplyLength)));
    client->SendFrame(BuildSetPacketSizeRequest(1, 256));
    EXPECT_EQ(ParseSetPacketSizeReply(client->Read(subpacket::kControlReplyLength)), 256);
    client->SendFrame(BuildSubPacketStartRequest(1));
    const auto start = ParseSubPacketStartReply(client->Read(subpacket::kStartReplyLength));
    ASSERT_TRUE(start);
    const Bytes picture = camera->LastPicture();
    ASSERT_EQ(start->pictureLength, picture.size());
    ASSERT_EQ(start->packetCount, PacketCount(start->pictureLength, 256));

    Bytes assembled;
    for (std::uint16_t n = 0; n < start->packetCount; ++n) {
        const std::size_t length = std::min<std::size_t>(256, start->pictureLength - n * 256u);
        client->SendFrame(BuildGetPacketRequest(1, n));
        const Bytes reply = client->Read(length + subpacket::kPacketOverhead);
        const auto packet = ParsePacketReply(reply);
        ASSERT_TRUE(packet) << n;
        EXPECT_EQ(packet->packetNumber, n);
        EXPECT_TRUE(packet->crcOk) << n;
        ASSERT_EQ(packet->data.size(), length);
        assembled.insert(assembled.end(), packet->data.begin(), packet->data.end());
    }
    EXPECT_EQ(assembled, picture);
    EXPECT_EQ(DecodedSize(assembled), QSize(320, 240));
    EXPECT_TRUE(client->ReadQuiet().empty());
}

TEST_F(CameraTest, StretchesReassembleThePicture)
{
    client->SendFrame(BuildSimpleSubPacketRequest(1, {1000, 3, 2, true}));
    const auto announced = ParseSimpleSubPacketReply(client->Read(subpacket::kSimpleReplyLength));
    ASSERT_TRUE(announced);
    const Bytes picture = camera->LastPicture();
    ASSERT_EQ(announced->pictureSize, picture.size());
    EXPECT_EQ(announced->packetSize, 1000);
    EXPECT_EQ(announced->packetTotal, PacketCount(announced->pictureSize, 1000));

    Bytes assembled;
    while (assembled.size() < picture.size()) {
        const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(1000, picture.size() - assembled.size()));
        client->SendFrame(BuildReadImageRequest(1, {static_cast<std::uint32_t>(assembled.size()), length}));
        const Bytes reply = client->Read(length + subpacket::kStretchOverhead);
        const auto stretch = ParseReadImageReply(reply, length);
        ASSERT_TRUE(stretch);
        EXPECT_TRUE(stretch->crcOk);
        assembled.insert(assembled.end(), stretch->data.begin(), stretch->data.end());
    }
    EXPECT_EQ(assembled, picture);
    EXPECT_EQ(DecodedSize(assembled), QSize(320, 240));
}

TEST_F(CameraTest, AnnouncedPictureIsReadByOffset)
{
    camera->AnnounceImage();
    const auto ready = ParseImageReadyAnnouncement(client->Read(subpacket::kImageReadyLength));
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->cameraId, 1);
    const Bytes picture = camera->LastPicture();
    ASSERT_EQ(ready->pictureSize, picture.size());
    ASSERT_LT(picture.size(), 65536u);
    const auto length = static_cast<std::uint16_t>(picture.size());
    client->SendFrame(BuildReadImageRequest(1, {0, length}));
    const Bytes reply = client->Read(length + subpacket::kStretchOverhead);
    const auto stretch = ParseReadImageReply(reply, length);
    ASSERT_TRUE(stretch);
    EXPECT_TRUE(std::equal(stretch->data.begin(), stretch->data.end(), picture.begin(), picture.end()));
}

TEST_F(CameraTest, RequestsAreFoundHoweverTheLineCutsThem)
{
    Bytes query = BuildQueryIdRequest();
    StampCrc(query);
    // Two in one write.
    client->SendRaw(Concat(query, query));
    EXPECT_EQ(client->Read(2 * kQueryReplyLength).size(), 2 * kQueryReplyLength);
    // One byte a write.
    for (std::uint8_t b : query) {
        const std::size_t before = camera->Stats().bytesReceived;
        client->SendRaw({b});
        ASSERT_TRUE(camera->WaitUntil([&](const CameraStats& s) { return s.bytesReceived > before; }));
    }
    EXPECT_EQ(ParseQueryIdReply(client->Read(kQueryReplyLength)), 1);
    // After noise.
    client->SendRaw(Concat({0x00, 0x90, 0x13, 0xEB, 0x90}, query));
    EXPECT_EQ(ParseQueryIdReply(client->Read(kQueryReplyLength)), 1);
    EXPECT_TRUE(client->ReadQuiet().empty());
    EXPECT_EQ(camera->Stats().framesReceived, 4u);
}

TEST_F(CameraTest, OsdTextIsRecordedNotAnswered)
{
    const std::uint8_t text[] = {'A', 'B'};
    client->SendRaw(BuildOsdFrame(1, 16, 32, 2, text));
    ASSERT_TRUE(camera->WaitForFrames(1));
    const auto texts = camera->OsdTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].x, 16);
    EXPECT_EQ(texts[0].y, 32);
    EXPECT_EQ(texts[0].text, Bytes({'A', 'B'}));
    EXPECT_TRUE(client->ReadQuiet().empty());
    EXPECT_EQ(camera->ReceivedFrames().size(), 1u);
}

TEST_F(CameraTest, SendsTextAndTriggerOnDemand)
{
    camera->SendText("senser ok\n");
    EXPECT_EQ(client->Read(10), Bytes({'s', 'e', 'n', 's', 'e', 'r', ' ', 'o', 'k', '\n'}));
    camera->SendTrigger();
    EXPECT_EQ(client->Read(3), Bytes({0x01, 0x05, 0x06}));
}

TEST_F(CameraTest, OutputAtAnotherRateArrivesGarbled)
{
    client->SetLine(57600);
    camera->SendText("abc");
    const Bytes got = client->Read(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_NE(got, Bytes({'a', 'b', 'c'}));
}

// The camera keeps reading requests while a long reply waits for the console
// to read: the pty holds only a few kilobytes.
TEST_F(CameraTest, KeepsListeningWhileALongReplyIsStuck)
{
    client->SendFrame(BuildSnapshotRequest(1, 21, 0));
    client->SendFrame(BuildQueryIdRequest());
    ASSERT_TRUE(camera->WaitForFrames(2, 10s));
    const Bytes picture = camera->LastPicture();
    const Bytes all = client->Read(picture.size() + 9 + kQueryReplyLength, 20000);
    ASSERT_EQ(all.size(), picture.size() + 9 + kQueryReplyLength);
    const std::span<const std::uint8_t> whole(all.data(), picture.size() + 9);
    EXPECT_TRUE(SnapshotPicture(whole));
    EXPECT_EQ(ParseQueryIdReply(std::span(all).subspan(whole.size())), 1);
}

// ------------------------------------------------------------------ faults

TEST_F(CameraTest, DroppedReplyIsNeverSent)
{
    camera->AddFault(Fault::DropReply());
    client->SendFrame(BuildQueryIdRequest());
    ASSERT_TRUE(camera->WaitForFrames(1));
    EXPECT_EQ(ParseQueryIdReply(Query()), 1);
    EXPECT_TRUE(client->ReadQuiet().empty());
}

TEST_F(CameraTest, CorruptedCrcOnTheNextReplies)
{
    camera->AddFault(Fault::CorruptCrc(), 2);
    for (bool corrupted : {true, true, false}) {
        const Bytes reply = Query();
        ASSERT_EQ(reply.size(), kQueryReplyLength);
        EXPECT_EQ(ParseQueryIdReply(reply), 1);
        EXPECT_EQ(HasValidCrc(reply), !corrupted);
    }
}

TEST_F(CameraTest, SplitReplyComesInChunks)
{
    camera->AddFault(Fault::SplitReply(4, 300ms));
    client->SendFrame(BuildQueryIdRequest());
    const auto first = client->ReadOnce();
    ASSERT_TRUE(first);
    EXPECT_LE(first->size(), 4u);
    Bytes reply = *first;
    const Bytes rest = client->Read(kQueryReplyLength - reply.size());
    reply.insert(reply.end(), rest.begin(), rest.end());
    EXPECT_EQ(ParseQueryIdReply(reply), 1);
    EXPECT_TRUE(HasValidCrc(reply));
}

TEST_F(CameraTest, DelayedReplyComesLater)
{
    camera->AddFault(Fault::DelayReply(600ms));
    client->SendFrame(BuildQueryIdRequest());
    ASSERT_TRUE(camera->WaitForFrames(1));
    EXPECT_FALSE(client->ReadOnce(100));
    EXPECT_EQ(ParseQueryIdReply(client->Read(kQueryReplyLength)), 1);
}

TEST_F(CameraTest, ReplyOfTheWrongLength)
{
    for (int change : {-2, 3}) {
        camera->AddFault(Fault::WrongLength(change));
        client->SendFrame(BuildQueryIdRequest());
        EXPECT_EQ(client->Read(kQueryReplyLength + change).size(), kQueryReplyLength + change) << change;
        EXPECT_TRUE(client->ReadQuiet().empty()) << change;
    }
}

TEST_F(CameraTest, SilentCameraStillListens)
{
    camera->SetAnswering(false);
    client->SendFrame(BuildQueryIdRequest());
    ASSERT_TRUE(camera->WaitForFrames(1));
    EXPECT_TRUE(client->ReadQuiet().empty());
    EXPECT_EQ(camera->ReceivedFrames().size(), 1u);
    camera->SetAnswering(true);
    EXPECT_EQ(ParseQueryIdReply(Query()), 1);
}

TEST_F(CameraTest, FaultLimitedToOneCommandAndPacket)
{
    client->SendFrame(BuildSetPictureRequest(1, 1, 1));
    client->Read(subpacket::kControlReplyLength);
    client->SendFrame(BuildSetPacketSizeRequest(1, 64));
    client->Read(subpacket::kControlReplyLength);
    client->SendFrame(BuildSubPacketStartRequest(1));
    const auto start = ParseSubPacketStartReply(client->Read(subpacket::kStartReplyLength));
    ASSERT_TRUE(start);
    ASSERT_GT(start->packetCount, 2);

    camera->AddFault(Fault::DropPacket(1));
    const auto packetNumber = [&](std::uint16_t n) -> std::optional<std::uint16_t> {
        client->SendFrame(BuildGetPacketRequest(1, n));
        const auto packet = ParsePacketReply(client->Read(64 + subpacket::kPacketOverhead, 1000));
        return packet ? std::optional(packet->packetNumber) : std::nullopt;
    };
    EXPECT_EQ(packetNumber(0), 0);
    EXPECT_EQ(Query().size(), kQueryReplyLength);  // other commands pass
    EXPECT_EQ(packetNumber(1), std::nullopt);
    EXPECT_EQ(packetNumber(1), 1);  // the fault was for one reply
}

}  // namespace
}  // namespace qzr::sim
