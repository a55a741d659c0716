// The simulated camera, driven through its pseudo-terminal as the console
// drives a real one: raw line, frames in, replies read with poll().
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>

#include "protocol/camera_id.h"
#include "protocol/motion.h"
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
    return QImage::fromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPG").size();
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override { Restart(); }

    // A camera without pacing, as every test but qzr-camsim's wants it.
    void Restart(std::string stateFile = {})
    {
        client.reset();
        CameraOptions options;
        options.pacing = false;
        options.stateFile = std::move(stateFile);
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
        if (const auto header = ParseSnapshotHeader(reply)) {
            const Bytes rest = client->Read(header->pictureLength + 2);
            reply.insert(reply.end(), rest.begin(), rest.end());
        }
        return reply;
    }

    std::unique_ptr<Camera> camera;
    std::unique_ptr<RawClient> client;
};

TEST_F(CameraTest, AnswersTheIdQueryAtItsRate)
{
    EXPECT_EQ(Query(), Bytes({0x90, 0xEB, 0x01, 0x01, 0x03, 0x00, 0x06, 0xAA, 0x55, 0x56, 0x59}));
    EXPECT_TRUE(client->ReadQuiet().empty());
}

// At another rate or frame format a request is noise and the camera's output
// garbled; at the camera's own the request is answered, once.
TEST_F(CameraTest, OnlyTheCamerasLineSettingsAreUnderstood)
{
    for (const auto& [rate, twoStopBits] : std::initializer_list<std::pair<std::uint32_t, bool>>{
             {57600, true}, {230400, true}, {115200, false}}) {
        SCOPED_TRACE(testing::Message() << rate << (twoStopBits ? "" : " one stop bit"));
        Restart();
        client->SetLine(rate, twoStopBits);
        SendNotUnderstood(BuildQueryIdRequest());
        client->SetLine(115200);
        EXPECT_EQ(ParseQueryIdReply(Query()), 1);
        EXPECT_TRUE(client->ReadQuiet().empty());
        EXPECT_EQ(camera->Stats().framesReceived, 1u);
    }
    client->SetLine(57600);
    camera->SendText("abc");
    const Bytes got = client->Read(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_NE(got, Bytes({'a', 'b', 'c'}));
}

TEST_F(CameraTest, NewIdAndRateHoldFromTheNextFrame)
{
    client->SendFrame(BuildSetIdRequest(1, 9));
    ASSERT_TRUE(camera->WaitForFrames(1));
    EXPECT_EQ(ParseQueryIdReply(Query()), 9);
    // A snapshot for the old id goes unanswered; the one for the new id is answered.
    client->SendFrame(BuildSnapshotRequest(1, 1, 1));
    const Bytes reply = Snapshot(9, 1, 1);
    ASSERT_TRUE(SnapshotPicture(reply));
    EXPECT_EQ(reply[2], 9);
    EXPECT_TRUE(client->ReadQuiet().empty());

    client->SendFrame(BuildSetBaudRequest(9, BaudCodeFromText("38400"), false));
    ASSERT_TRUE(camera->WaitForFrames(5));
    EXPECT_EQ(camera->CurrentBaud(), 38400u);
    SendNotUnderstood(BuildQueryIdRequest());
    client->SetLine(38400);
    EXPECT_EQ(Query(), BuildQueryIdReply(9, 4));  // 4: the camera's new baud code
}

TEST_F(CameraTest, SavedIdAndRateSurviveARestart)
{
    const auto state = std::filesystem::temp_directory_path() / ("qzr-sim-state-" + std::to_string(::getpid()));
    std::filesystem::remove(state);
    Restart(state.string());
    client->SendFrame(BuildSetIdRequest(1, 7));
    client->SendFrame(BuildSetBaudRequest(7, BaudCodeFromText("57600"), true));
    ASSERT_TRUE(camera->WaitForFrames(2));
    camera->Stop();

    Restart(state.string());
    client->SetLine(57600);
    EXPECT_EQ(ParseQueryIdReply(Query()), 7);
    // A rate set without saving is gone after the restart.
    client->SendFrame(BuildSetBaudRequest(7, BaudCodeFromText("9600"), false));
    ASSERT_TRUE(camera->WaitForFrames(2));
    EXPECT_EQ(camera->CurrentBaud(), 9600u);
    camera->Stop();
    Restart(state.string());
    EXPECT_EQ(camera->CurrentBaud(), 57600u);
    std::filesystem::remove(state);
}

// Each request makes a new picture of the asked size (unknown codes give 640x480).
TEST_F(CameraTest, WholePictureIsAJpegOfTheRequestedSize)
{
    Bytes previous;
    for (const auto& [resolution, size] : std::initializer_list<std::pair<std::uint8_t, QSize>>{
             {1, {160, 120}}, {1, {160, 120}}, {5, {640, 480}}, {30, {480, 270}}, {99, {640, 480}}}) {
        SCOPED_TRACE(int(resolution));
        const Bytes reply = Snapshot(1, resolution, 3);
        const auto picture = SnapshotPicture(reply);
        ASSERT_TRUE(picture);
        EXPECT_TRUE(HasValidCrc(reply));
        EXPECT_EQ(DecodedSize(*picture), size);
        EXPECT_EQ(Bytes(picture->begin(), picture->end()), camera->LastPicture());
        EXPECT_NE(reply, previous);
        previous = reply;
    }
}

// Numbered packets, each with a good CRC, put together give the picture the
// camera made for this transfer; a dropped packet is that one reply only.
// (Stretches, and both protocols through the console, are end to end:
// tests/e2e/console_e2e_test.cpp.)
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
    ASSERT_GT(start->packetCount, 2);
    camera->AddFault(Fault::DropPacket(1));
    Bytes assembled;
    for (std::uint16_t n = 0; n < start->packetCount; ++n) {
        const std::size_t length = std::min<std::size_t>(256, start->pictureLength - n * 256u);
        client->SendFrame(BuildGetPacketRequest(1, n));
        if (n == 1) {
            EXPECT_TRUE(client->Read(1, 1000).empty()) << "packet 1 dropped";
            EXPECT_EQ(ParseQueryIdReply(Query()), 1) << "other commands pass";
            client->SendFrame(BuildGetPacketRequest(1, n));
        }
        const Bytes reply = client->Read(length + subpacket::kPacketOverhead);
        const auto packet = ParsePacketReply(reply);
        ASSERT_TRUE(packet && packet->data.size() == length) << n;
        EXPECT_EQ(packet->packetNumber, n);
        EXPECT_TRUE(packet->crcOk) << n;
        assembled.insert(assembled.end(), packet->data.begin(), packet->data.end());
    }
    EXPECT_EQ(assembled, picture);
    EXPECT_EQ(DecodedSize(assembled), QSize(320, 240));
    EXPECT_TRUE(client->ReadQuiet().empty());
}

// Free text, the test-shot trigger and the announcement of a new picture.
TEST_F(CameraTest, SendsTextTriggerAndAnnouncementOnDemand)
{
    camera->SendText("senser ok\n");
    EXPECT_EQ(client->Read(10), Bytes({'s', 'e', 'n', 's', 'e', 'r', ' ', 'o', 'k', '\n'}));
    camera->SendTrigger();
    EXPECT_EQ(client->Read(3), Bytes({0x01, 0x05, 0x06}));

    camera->AnnounceImage();
    const auto ready = ParseImageReadyAnnouncement(client->Read(subpacket::kImageReadyLength));
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->cameraId, 1);
    const Bytes picture = camera->LastPicture();
    EXPECT_EQ(ready->pictureSize, picture.size());
    EXPECT_FALSE(DecodedSize(picture).isEmpty());
}

// Two requests in one write, after noise, then one byte a write.
TEST_F(CameraTest, RequestsAreFoundHoweverTheLineCutsThem)
{
    Bytes query = BuildQueryIdRequest();
    StampCrc(query);
    Bytes noiseAndTwo = {0x00, 0x90, 0x13, 0xEB, 0x90};
    for (int i = 0; i < 2; ++i)
        noiseAndTwo.insert(noiseAndTwo.end(), query.begin(), query.end());
    client->SendRaw(noiseAndTwo);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(client->Read(kQueryReplyLength), BuildQueryIdReply(1, 6));
    for (std::uint8_t b : query) {
        const std::size_t before = camera->Stats().bytesReceived;
        client->SendRaw({b});
        ASSERT_TRUE(camera->WaitUntil([&](const CameraStats& s) { return s.bytesReceived > before; }));
    }
    EXPECT_EQ(ParseQueryIdReply(client->Read(kQueryReplyLength)), 1);
    EXPECT_TRUE(client->ReadQuiet().empty());
    EXPECT_EQ(camera->Stats().framesReceived, 3u);
}

TEST_F(CameraTest, OsdTextIsRecordedNotAnswered)
{
    const std::uint8_t text[] = {'A', 'B'};
    client->SendRaw(BuildOsdFrame(1, 300, 513, 2, text));
    ASSERT_TRUE(camera->WaitForFrames(1));
    const auto texts = camera->OsdTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].x, 300);
    EXPECT_EQ(texts[0].y, 513);
    EXPECT_EQ(texts[0].size, 2);
    EXPECT_EQ(texts[0].text, Bytes({'A', 'B'}));
    EXPECT_TRUE(client->ReadQuiet().empty());
}

// The camera keeps the area of a frame with its CRC, unanswered, not of one
// with the fixed tail; alarms come on demand, as itself or as another camera.
TEST_F(CameraTest, KeepsTheMotionAreaAndRaisesAlarms)
{
    client->SendRaw(BuildMotionAreaFrame(1, {80, 3, 4}, {}));
    client->SendFrame(BuildMotionAreaFrame(1, {44, 0, 2}, {}));
    ASSERT_TRUE(camera->WaitForFrames(2));
    EXPECT_EQ(camera->RefusedMotionAreas(), 1u);
    EXPECT_EQ(camera->MotionArea().value_or(MotionAreaRequest{}).settings, (MotionSettings{44, 0, 2}));
    camera->RaiseMotionAlarm();
    camera->RaiseMotionAlarm(7);
    const Bytes alarms = client->Read(24);
    EXPECT_EQ(ParseMotionAlarm(std::span(alarms).first(12)), 1);
    EXPECT_EQ(ParseMotionAlarm(std::span(alarms).last(12)), 7);
}

// The camera keeps reading requests while a long reply waits for the console
// to read: the pty holds only a few kilobytes.
TEST_F(CameraTest, KeepsListeningWhileALongReplyIsStuck)
{
    client->SendFrame(BuildSnapshotRequest(1, 21, 0));
    client->SendFrame(BuildQueryIdRequest());
    ASSERT_TRUE(camera->WaitForFrames(2, 10s));
    const std::size_t whole = SnapshotReplyLength(static_cast<std::uint32_t>(camera->LastPicture().size()));
    const Bytes all = client->Read(whole + kQueryReplyLength, 20000);
    ASSERT_EQ(all.size(), whole + kQueryReplyLength);
    EXPECT_TRUE(SnapshotPicture(std::span(all).first(whole)));
    EXPECT_EQ(ParseQueryIdReply(std::span(all).subspan(whole)), 1);
}

// Each fault on the next replies, as the console reads the replies to the
// queries that follow: the bytes, and at most how many come in the first read.
TEST_F(CameraTest, FaultsOnTheNextReplies)
{
    const Bytes good = BuildQueryIdReply(1, 6);
    Bytes badCrc = good, longer = good;
    badCrc.back() ^= 0xFF;
    longer.insert(longer.end(), {0, 0, 0});
    const struct {
        const char* name;
        Fault fault;
        int replies;
        std::vector<Bytes> seen;
        std::size_t firstRead = SIZE_MAX;  // 0: nothing for 100 ms
    } cases[] = {
        {"dropped", Fault::DropReply(), 1, {{}, good}},
        {"CRC corrupted twice", Fault::CorruptCrc(), 2, {badCrc, badCrc, good}},
        {"2 bytes short", Fault::WrongLength(-2), 1, {Bytes(good.begin(), good.end() - 2), good}},
        {"3 bytes long", Fault::WrongLength(3), 1, {longer, good}},
        {"split in 4-byte pieces", Fault::SplitReply(4, 300ms), 1, {good}, 4},
        {"delayed", Fault::DelayReply(600ms), 1, {good}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        camera->AddFault(c.fault, c.replies);
        for (const Bytes& expected : c.seen) {
            const std::size_t frames = camera->Stats().framesReceived;
            client->SendFrame(BuildQueryIdRequest());
            ASSERT_TRUE(camera->WaitForFrames(frames + 1));
            Bytes got;
            if (!expected.empty()) {
                got = client->ReadOnce(c.firstRead ? 5000 : 100).value_or(Bytes{});
                EXPECT_LE(got.size(), c.firstRead);
                const Bytes rest = client->Read(expected.size() - std::min(got.size(), expected.size()));
                got.insert(got.end(), rest.begin(), rest.end());
            }
            EXPECT_EQ(got, expected);
        }
        EXPECT_TRUE(client->ReadQuiet().empty());
    }
}

TEST_F(CameraTest, SilentCameraStillListens)
{
    camera->SetAnswering(false);
    client->SendFrame(BuildQueryIdRequest());
    ASSERT_TRUE(camera->WaitForFrames(1));
    EXPECT_TRUE(client->ReadQuiet().empty());
    camera->SetAnswering(true);
    EXPECT_EQ(ParseQueryIdReply(Query()), 1);
}

}  // namespace
}  // namespace qzr::sim
