// The simulated camera through its pseudo-terminal, driven as the console drives a real one.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>

#include "protocol/burst.h"
#include "protocol/camera_id.h"
#include "protocol/commands.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "protocol/motion.h"
#include "protocol/osd.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "sim/camera.h"
#include "sim/picture.h"
#include "tests/sim/raw_client.h"

namespace qzr::sim {
namespace {

using namespace std::chrono_literals;
using test::RawClient;

constexpr std::size_t kQueryReplyLength = 11;

QImage Decode(std::span<const std::uint8_t> jpeg)
{
    return QImage::fromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPG");
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

    // Sends a request the camera will not understand and waits until it took the bytes in.
    void SendNotUnderstood(const Bytes& frame)
    {
        const std::size_t before = camera->Stats().bytesNotUnderstood;
        client->SendFrame(frame);
        ASSERT_TRUE(camera->WaitUntil([&](const CameraStats& s) { return s.bytesNotUnderstood >= before + frame.size(); }));
    }

    Bytes Ask(const Bytes& request, std::size_t replyLength)
    {
        client->SendFrame(request);
        return client->Read(replyLength);
    }
    Bytes Query() { return Ask(BuildQueryIdRequest(), kQueryReplyLength); }

    std::unique_ptr<Camera> camera;
    std::unique_ptr<RawClient> client;
};

// Only its own line settings are understood, both ways; a saved ID and rate survive a restart.
TEST_F(CameraTest, HearsItsOwnLineSettingsAndKeepsWhatItSaved)
{
    const auto state = std::filesystem::temp_directory_path() / ("qzr-sim-state-" + std::to_string(::getpid()));
    std::filesystem::remove(state);
    Restart(state.string());
    client->SetLine(115200, false);
    SendNotUnderstood(BuildQueryIdRequest());
    client->SetLine(115200);
    client->SendFrame(BuildSetIdRequest(1, 7));
    client->SendFrame(BuildSetBaudRequest(7, BaudCodeFromText("57600"), true));
    ASSERT_TRUE(camera->WaitForFrames(2));
    camera->Stop();

    Restart(state.string());
    SendNotUnderstood(BuildQueryIdRequest());
    client->SetLine(57600);
    EXPECT_EQ(ParseQueryIdReply(Query()), 7);
    EXPECT_TRUE(client->ReadAvailable(150).empty()) << "answered once";
    client->SetLine(230400);
    camera->SendText("abc");
    const Bytes got = client->Read(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_NE(got, Bytes({'a', 'b', 'c'}));

    // A rate set without saving is gone after the restart.
    client->SetLine(57600);
    client->SendFrame(BuildSetBaudRequest(7, BaudCodeFromText("9600"), false));
    ASSERT_TRUE(camera->WaitForFrames(2));
    EXPECT_EQ(camera->CurrentBaud(), 9600u);
    camera->Stop();
    Restart(state.string());
    EXPECT_EQ(camera->CurrentBaud(), 57600u);
    std::filesystem::remove(state);
}

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
    EXPECT_FALSE(Decode(picture).isNull());
}

// Two requests in one write, after noise, then one byte a write.
TEST_F(CameraTest, RequestsAreFoundHoweverTheLineCutsThem)
{
    Bytes query = BuildQueryIdRequest();
    StampCrc(query);
    Bytes noiseAndTwo = {0x00, 0x90, 0x13, 0xEB, 0x90};
    for (int i = 0; i < 2; ++i)
        noiseAndTwo.insert(noiseAndTwo.end(), query.begin(), query.end());
    client->Write(noiseAndTwo);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(client->Read(kQueryReplyLength), BuildQueryIdReply(1, 6));
    for (std::uint8_t b : query) {
        const std::size_t before = camera->Stats().bytesReceived;
        client->Write({b});
        ASSERT_TRUE(camera->WaitUntil([&](const CameraStats& s) { return s.bytesReceived > before; }));
    }
    EXPECT_EQ(ParseQueryIdReply(client->Read(kQueryReplyLength)), 1);
    EXPECT_TRUE(client->ReadAvailable(150).empty());
    EXPECT_EQ(camera->Stats().framesReceived, 3u);
}

// An OSD text and a motion area with its CRC are kept, not answered; a silent camera still hears.
TEST_F(CameraTest, KeepsOsdTextAndMotionAreaAndHearsWhenSilent)
{
    const std::uint8_t text[] = {'A', 'B'};
    client->Write(BuildOsdFrame(1, 300, 513, 2, text));
    client->Write(BuildMotionAreaFrame(1, {80, 3, 4}, {}));
    client->SendFrame(BuildMotionAreaFrame(1, {44, 0, 2}, {}));
    ASSERT_TRUE(camera->WaitForFrames(3));
    EXPECT_TRUE(client->ReadAvailable(150).empty());
    EXPECT_EQ(camera->OsdTexts(), (std::vector<OsdFrame>{{1, 300, 513, 2, Bytes{'A', 'B'}}}));
    EXPECT_EQ(camera->RefusedMotionAreas(), 1u);
    EXPECT_EQ(camera->MotionArea().value_or(MotionAreaRequest{}).settings, (MotionSettings{44, 0, 2}));

    camera->SetAnswering(false);
    client->SendFrame(BuildQueryIdRequest());
    ASSERT_TRUE(camera->WaitForFrames(4));
    EXPECT_TRUE(client->ReadAvailable(150).empty());
    camera->SetAnswering(true);
    EXPECT_EQ(ParseQueryIdReply(Query()), 1);
}

// Requests are heard while a long reply waits for the console to read it.
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

// Each fault switch acts on the next reply only: its bytes, and how many come first (0: none for 100 ms).
TEST_F(CameraTest, EachFaultActsOnTheNextReplyOnly)
{
    const Bytes good = BuildQueryIdReply(1, 6);
    Bytes badCrc = good, longer = good;
    badCrc.back() ^= 0xFF;
    longer.insert(longer.end(), {0, 0, 0});
    const struct {
        const char* name;
        Fault fault;
        Bytes seen;
        std::size_t firstRead = SIZE_MAX;
    } cases[] = {
        {"dropped", Fault::DropReply(), {}, 0},
        {"CRC corrupted", Fault::CorruptCrc(), badCrc},
        {"2 bytes short", Fault::WrongLength(-2), Bytes(good.begin(), good.end() - 2)},
        {"3 bytes long", Fault::WrongLength(3), longer},
        {"split in 4-byte pieces", Fault::SplitReply(4, 100ms), good, 4},
        {"delayed", Fault::DelayReply(300ms), good, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        camera->AddFault(c.fault);
        client->SendFrame(BuildQueryIdRequest());
        Bytes got = client->ReadOnce(c.firstRead ? 5000 : 100).value_or(Bytes{});
        EXPECT_LE(got.size(), c.firstRead);
        const Bytes rest = client->Read(c.seen.size() - std::min(got.size(), c.seen.size()));
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_EQ(got, c.seen);
        EXPECT_EQ(Query(), good) << "the reply after is whole";
        EXPECT_TRUE(client->ReadAvailable(150).empty());
    }
}

// The settings that change the model (reading it is checked end to end).
TEST_F(CameraTest, AnswersWhatItIsAndTakesWhatItIsSet)
{
    camera->SetIdentity({0x12345678, 2098, 12, 1, false});
    const struct {
        const char* name;
        Bytes request;
        std::uint8_t model, function;
    } cases[] = {
        {"set model", BuildSetModelRequest(1, 0x22), 0x22, 1},
        {"set function", BuildSetFunctionRequest(1, 5), 0x22, 5},
        {"batch setting", BuildBatchSettingRequest(1, {true, false, true, 0x3C, 2}), 0x3C, 2},
        {"set model, copies differ", {0x90, 0xEB, 0x01, 0xE3, 0x04, 0x00, 0xE3, 0xE3, 0x11, 0x12, 0xC1, 0xC2}, 0x3C, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        client->SendFrame(c.request);
        EXPECT_TRUE(client->ReadAvailable(50).empty()) << "settings are not answered";
        EXPECT_EQ(Ask(BuildModelQuery(1), kModelReplyLength), BuildModelReply(1, c.model, c.function));
    }
    const CameraIdentity now = camera->Identity();
    EXPECT_TRUE(now.whiteLight && !now.autoFocus && now.alarm);
    camera->SendProductionDateNotice();
    EXPECT_EQ(client->Read(10), BuildProductionDateNotice(1));
}

// Zoom and focus move and report, done replies come once the motors ran, switches are kept.
TEST_F(CameraTest, LensMovesReportsAndRecords)
{
    EXPECT_EQ(Ask(BuildCheckLensRequest(1), lens::kStatusLength), BuildLensStatus(1, 0, 0));
    EXPECT_EQ(Ask(BuildZoomRequest(1, 60), lens::kStatusLength), BuildLensStatus(1, 60, 0)) << "once it has moved";
    EXPECT_EQ(Ask(BuildFocusRequest(1), lens::kDoneLength), BuildLensDoneReply(1, CMD_AUTOFOCUS_DONE));
    EXPECT_EQ(camera->Lens().focus, 60);
    EXPECT_EQ(Ask(BuildFocusValueRequest(1), 6), BuildFocusValueLine(FocusValueAt(0ms)));
    for (const Bytes& request : {BuildLedRequest(1, true), BuildLightRequest(1, true), BuildAutoFocusRequest(1, true),
                                 BuildTestPattern(1, false), BuildTestPattern(1, true), BuildModelCancelRequest(1),
                                 BuildZoomResetRequest(1)})
        client->SendFrame(request);
    EXPECT_TRUE(client->ReadAvailable(1000).empty()) << "nothing answered, the reset still running";
    EXPECT_EQ(client->Read(lens::kDoneLength), BuildLensDoneReply(1, CMD_ZOOM_RESET_DONE));
    const LensRecord lens = camera->Lens();
    EXPECT_EQ(std::tie(lens.zoom, lens.led, lens.modelCancels, lens.focusPolls), std::tuple(0, true, 1, 1u));
    EXPECT_EQ(lens.testPatterns, (std::vector<bool>{false, true}));
    const CameraIdentity identity = camera->Identity();
    EXPECT_TRUE(identity.whiteLight && identity.autoFocus);
    EXPECT_EQ(identity.modelCode, 0x11) << "a cancel sets no model";
}

// Bursts keep their pictures by time and number, listed latest, after or before a date.
TEST_F(CameraTest, BurstsStoreListAndServeTheirPictures)
{
    // The states of the two status frames of a burst sent at `hour`:00:00 on 2026-03-05.
    const auto burst = [&](std::uint8_t resolution, std::uint8_t shots, int hour) {
        client->Write(BuildBurstShootRequest(1, {resolution, 3, shots, 0, {2026, 3, 5, hour, 0, 0}}));
        const Bytes start = client->Read(burst::kStatusLength), end = client->Read(burst::kStatusLength);
        return std::to_string(ParseBurstState(start).value_or(99)) + std::to_string(ParseBurstState(end).value_or(99));
    };
    const auto list = [&](const ListFilesRequest& request) {
        client->Write(BuildListFilesRequest(1, request));
        Bytes reply = client->Read(6);
        const Bytes rest = client->Read(LengthField(reply) + 2u);
        reply.insert(reply.end(), rest.begin(), rest.end());
        std::vector<std::string> names;
        for (const auto entry : FileListEntries(reply))
            names.emplace_back(FileEntryText(entry));
        return names;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(burst(1, 2, 10) + burst(3, 2, 12), "0808");
    const Names names = {"20260305100000_01", "20260305100000_02", "20260305120000_01", "20260305120000_02"};
    ASSERT_EQ(camera->StoredPictureNames(), names);
    const CameraTime eleven{2026, 3, 5, 11, 0, 0};
    EXPECT_EQ(list({3, true, std::nullopt}), Names(names.begin() + 1, names.end()));
    EXPECT_EQ(list({1, true, eleven}), Names{names[2]});
    EXPECT_EQ(list({20, false, eleven}), Names(names.begin(), names.begin() + 2));

    // Each fault switch acts once.
    camera->SetBurstFault(Camera::BurstFault::EmptyList);
    EXPECT_TRUE(list({20, true, std::nullopt}).empty());
    camera->SetBurstFault(Camera::BurstFault::ShortListEntry);
    EXPECT_EQ(list({2, true, std::nullopt}), (Names{"20260305120000_0", "20260305120000_02"}));
    EXPECT_EQ(list({2, true, std::nullopt}), Names(names.begin() + 2, names.end()));
    client->Write(BuildGetFileRequest(1, {100, "20260305100000_01"}));
    client->Read(subpacket::kSimpleReplyLength);
    camera->SetBurstFault(Camera::BurstFault::PacketNumber);
    for (const int carried : {3, 1}) {
        client->Write(BuildGetPacketRequest(1, 1));
        const auto packet = ParsePacketReply(client->Read(100 + subpacket::kPacketOverhead));
        EXPECT_EQ(packet ? packet->packetNumber : -1, carried);
    }
}

// Test pictures: real JPEGs of the asked size, distinct per number and flag, sized by quality, kept small.
TEST(TestPicture, SizeLabelAndQuality)
{
    const Bytes largest = MakeTestPicture({21, 0, false, 12345});
    EXPECT_LT(largest.size(), 1024000u);
    EXPECT_EQ(Decode(largest).size(), QSize(4000, 3000));
    const Bytes one = MakeTestPicture({1, 1, false, 1});
    EXPECT_NE(one, MakeTestPicture({1, 1, false, 2}));
    EXPECT_NE(one, MakeTestPicture({1, 1, true, 1}));
    EXPECT_EQ(JpegQuality(200), 20);
    for (std::uint8_t code = 0; code < 12; ++code)
        EXPECT_GT(JpegQuality(code), JpegQuality(code + 1)) << int(code);
    EXPECT_GT(MakeTestPicture({8, 0}).size(), MakeTestPicture({8, 12}).size());
}

}  // namespace
}  // namespace qzr::sim
