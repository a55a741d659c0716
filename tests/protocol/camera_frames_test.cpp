// Builders and decoders of the camera's picture and id frames, checked against
// byte vectors written out by hand (CRCs computed outside this code).
#include <gtest/gtest.h>


#include "protocol/camera_id.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"

namespace qzr {
namespace {

struct BuiltFrame {
    const char* name;
    Bytes built;
    Bytes expected;
};

// Requests keep the placeholder tail C1 C2; the camera's replies carry the CRC.
TEST(CameraFrames, BuildersProduceTheWireBytes)
{
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    const std::uint8_t packetData[] = {0xAA, 0xBB};
    const std::uint8_t stretch[] = {1, 2, 3};
    const BuiltFrame cases[] = {
        {"query id", BuildQueryIdRequest(), {0x90, 0xEB, 0x00, 0x01, 0x02, 0x00, 0x55, 0xAA, 0xC1, 0xC2}},
        {"query id reply", BuildQueryIdReply(1, 6), {0x90, 0xEB, 0x01, 0x01, 0x03, 0x00, 0x06, 0xAA, 0x55, 0x56, 0x59}},
        {"set id", BuildSetIdRequest(1, 2), {0x90, 0xEB, 0x01, 0x0D, 0x01, 0x00, 0x02, 0xC1, 0xC2}},
        {"set baud save", BuildSetBaudRequest(2, 4, true), {0x90, 0xEB, 0x02, 0x0B, 0x01, 0x00, 0x04, 0xC1, 0xC2}},
        {"set baud", BuildSetBaudRequest(2, 4, false), {0x90, 0xEB, 0x02, 0x0A, 0x01, 0x00, 0x04, 0xC1, 0xC2}},
        {"snapshot", BuildSnapshotRequest(1, 5, 1), {0x90, 0xEB, 0x01, 0x02, 0x02, 0x00, 0x05, 0x01, 0xC1, 0xC2}},
        {"snapshot reply", BuildSnapshotReply(1, jpeg),
         {0x90, 0xEB, 0x01, 0x02, 0x04, 0x00, 0x00, 0xFF, 0xD8, 0xFF, 0xD9, 0x7E, 0x7B}},
        {"set picture", BuildSetPictureRequest(1, 3, 2), {0x90, 0xEB, 0x01, 0x34, 0x02, 0x00, 0x03, 0x02, 0xC1, 0xC2}},
        {"set picture reply", BuildSetPictureReply(1, 3, 2),
         {0x90, 0xEB, 0x01, 0x34, 0x03, 0x00, 0x03, 0x02, 0x00, 0xAC, 0x40}},
        {"packet size", BuildSetPacketSizeRequest(1, 512), {0x90, 0xEB, 0x01, 0x32, 0x02, 0x00, 0x00, 0x02, 0xC1, 0xC2}},
        {"packet size reply", BuildSetPacketSizeReply(1, 512),
         {0x90, 0xEB, 0x01, 0x32, 0x03, 0x00, 0x00, 0x00, 0x02, 0x3D, 0xD2}},
        {"start", BuildSubPacketStartRequest(1), {0x90, 0xEB, 0x01, 0x30, 0x00, 0x00, 0xC1, 0xC2}},
        {"start reply", BuildSubPacketStartReply(1, {2000, 4}),
         {0x90, 0xEB, 0x01, 0x30, 0x07, 0x00, 0x00, 0xD0, 0x07, 0x00, 0x00, 0x04, 0x00, 0xDD, 0xCB}},
        {"get packet", BuildGetPacketRequest(1, 2), {0x90, 0xEB, 0x01, 0x31, 0x02, 0x00, 0x02, 0x00, 0xC1, 0xC2}},
        {"packet reply", BuildPacketReply(1, 2, packetData),
         {0x90, 0xEB, 0x01, 0x31, 0x05, 0x00, 0x00, 0x02, 0x00, 0xAA, 0xBB, 0xE6, 0x9A}},
        {"simplified, test quality", BuildSimpleSubPacketRequest(1, {1024, 3, 5, true}),
         {0x90, 0xEB, 0x01, 0x40, 0x04, 0x00, 0x00, 0x04, 0x03, 105, 0xC1, 0xC2}},
        {"simplified reply", BuildSimpleSubPacketReply(1, {70000, 69, 1024}),
         {0x90, 0xEB, 0x01, 0x40, 0x0B, 0x00, 0x00, 0x70, 0x11, 0x01, 0x00, 0x45, 0x00, 0x00, 0x04, 0x00, 0x00, 0xE2,
          0x94}},
        {"read image", BuildReadImageRequest(1, {1024, 1024}),
         {0x90, 0xEB, 0x01, 0x48, 0x06, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0xC1, 0xC2}},
        {"read image reply", BuildReadImageReply(1, stretch),
         {0x90, 0xEB, 0x01, 0x48, 0x03, 0x00, 0x01, 0x02, 0x03, 0xD0, 0x50}},
        {"image ready", BuildImageReadyAnnouncement(3, 0x012345),
         {0x90, 0xEB, 0x03, 0x42, 0x04, 0x00, 0x45, 0x23, 0x01, 0x00, 0xA5, 0x4D}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.built, c.expected) << c.name;
}

// Each request, built by the console's side, is understood by the camera's side.
TEST(CameraFrames, RequestsRoundTrip)
{
    EXPECT_TRUE(IsQueryIdRequest(BuildQueryIdRequest()));
    EXPECT_EQ(ParseSetIdRequest(BuildSetIdRequest(1, 200)), 200);
    const auto baud = ParseSetBaudRequest(BuildSetBaudRequest(7, 0x11, true));
    ASSERT_TRUE(baud);
    EXPECT_EQ(baud->baudCode, 0x11);
    EXPECT_TRUE(baud->save);
    EXPECT_FALSE(ParseSetBaudRequest(BuildSetBaudRequest(7, 4, false))->save);

    const auto snap = ParseSnapshotRequest(BuildSnapshotRequest(1, 21, 12));
    ASSERT_TRUE(snap);
    EXPECT_EQ(snap->resolution, 21);
    EXPECT_EQ(snap->quality, 12);
    EXPECT_EQ(ParseSetPictureRequest(BuildSetPictureRequest(1, 6, 3))->resolution, 6);
    EXPECT_EQ(ParseSetPacketSizeRequest(BuildSetPacketSizeRequest(1, 2048)), 2048);
    EXPECT_TRUE(IsSubPacketStartRequest(BuildSubPacketStartRequest(9)));
    EXPECT_EQ(ParseGetPacketRequest(BuildGetPacketRequest(1, 300)), 300);

    for (bool test : {false, true}) {
        const auto simple = ParseSimpleSubPacketRequest(BuildSimpleSubPacketRequest(1, {512, 8, 5, test}));
        ASSERT_TRUE(simple);
        EXPECT_EQ(simple->packetSize, 512);
        EXPECT_EQ(simple->resolution, 8);
        EXPECT_EQ(simple->quality, 5);
        EXPECT_EQ(simple->test, test);
    }
    const auto read = ParseReadImageRequest(BuildReadImageRequest(1, {0xABCDEF, 777}));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->offset, 0xABCDEFu);
    EXPECT_EQ(read->length, 777);

    // Wrong command or payload size is not taken for another request.
    EXPECT_FALSE(ParseSnapshotRequest(BuildSetPictureRequest(1, 5, 1)));
    EXPECT_FALSE(ParseGetPacketRequest(BuildSetIdRequest(1, 2)));
    EXPECT_FALSE(IsQueryIdRequest(BuildFrame(0, 0x01, std::vector<std::uint8_t>{0xAA, 0x55})));
}

struct IdReplyCase {
    const char* name;
    Bytes reply;
    std::optional<std::uint8_t> id;
};

TEST(CameraFrames, QueryIdReplyAcceptance)
{
    const Bytes minimal = {0x90, 0xEB, 0x07, 0x01, 0, 0, 0, 0xAA, 0x55};
    Bytes byte7Wrong = minimal;
    byte7Wrong[7] = 0xAB;
    Bytes commandWrong = minimal;
    commandWrong[3] = 0x02;
    Bytes longer = BuildQueryIdReply(42, 4);
    longer.push_back(0x00);
    const IdReplyCase cases[] = {
        {"nine bytes are enough", minimal, 7},
        {"eight bytes are not", Bytes(minimal.begin(), minimal.end() - 1), std::nullopt},
        {"byte 7 not AA", byte7Wrong, std::nullopt},
        {"command not 01", commandWrong, std::nullopt},
        {"the camera's own reply", BuildQueryIdReply(42, 4), 42},
        {"trailing bytes ignored", longer, 42},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseQueryIdReply(c.reply), c.id) << c.name;
}

TEST(CameraFrames, BaudCodes)
{
    const struct {
        std::string_view text;
        std::uint8_t code;
        std::optional<std::uint32_t> rate;
    } cases[] = {
        {"9600", 1, 9600},     {"28800", 3, 28800},   {"38400", 4, 38400},   {"115200", 6, 115200},
        {"576000", 11, 576000}, {"2400", 0x10, 2400}, {"4800", 0x11, 4800},  {"", 6, 115200},
        {"1200", 6, 115200},   {"115200 ", 6, 115200},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BaudCodeFromText(c.text), c.code) << c.text;
        EXPECT_EQ(BaudRateFromCode(c.code), c.rate) << c.text;
    }
    for (std::uint8_t unused : {0, 12, 15, 0x12})
        EXPECT_FALSE(BaudRateFromCode(unused)) << int(unused);
    EXPECT_EQ(BaudCodeFromRate(57600), 5);
    EXPECT_FALSE(BaudCodeFromRate(1200));
}

TEST(CameraFrames, SnapshotReplyDecoding)
{
    Bytes jpeg(70000);
    for (std::size_t i = 0; i < jpeg.size(); ++i)
        jpeg[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes reply = BuildSnapshotReply(5, jpeg);
    ASSERT_EQ(reply.size(), jpeg.size() + 9);
    EXPECT_TRUE(HasValidCrc(reply));
    EXPECT_EQ(ParseSnapshotHeader(std::span(reply).first(7))->pictureLength, 70000u);
    EXPECT_FALSE(ParseSnapshotHeader(std::span(reply).first(6)));
    const auto picture = SnapshotPicture(reply);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(std::equal(picture->begin(), picture->end(), jpeg.begin(), jpeg.end()));
    EXPECT_FALSE(SnapshotPicture(std::span(reply).first(reply.size() - 1)));

    Bytes corrupted = reply;
    corrupted[100] ^= 1;
    EXPECT_FALSE(HasValidCrc(corrupted));
    const Bytes otherCommand = {0x90, 0xEB, 0x01, 0x03, 0x04, 0x00, 0x00};
    EXPECT_FALSE(IsSnapshotReplyHead(otherCommand));
    EXPECT_FALSE(ParseSnapshotHeader(otherCommand));
}

TEST(CameraFrames, SubPacketReplyDecoding)
{
    EXPECT_TRUE(IsSetPictureReply(BuildSetPictureReply(1, 5, 1)));
    EXPECT_EQ(ParseSetPacketSizeReply(BuildSetPacketSizeReply(1, 1024)), 1024);
    EXPECT_FALSE(ParseSetPacketSizeReply(BuildSetPictureReply(1, 5, 1)));

    const auto start = ParseSubPacketStartReply(BuildSubPacketStartReply(1, {0x01020304, 300}));
    ASSERT_TRUE(start);
    EXPECT_EQ(start->pictureLength, 0x01020304u);
    EXPECT_EQ(start->packetCount, 300);
    Bytes badLengthField = BuildSubPacketStartReply(1, {1, 1});
    badLengthField[4] = 8;
    EXPECT_FALSE(ParseSubPacketStartReply(badLengthField));

    const Bytes data(512, 0x5A);
    Bytes packet = BuildPacketReply(1, 7, data);
    ASSERT_EQ(packet.size(), 523u);
    auto parsed = ParsePacketReply(packet);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->packetNumber, 7);
    EXPECT_EQ(parsed->data.size(), 512u);
    EXPECT_TRUE(parsed->crcOk);
    packet[300] ^= 0xFF;
    EXPECT_FALSE(ParsePacketReply(packet)->crcOk);

    const auto simple = ParseSimpleSubPacketReply(BuildSimpleSubPacketReply(1, {0xFFFFFF, 65535, 4096}));
    ASSERT_TRUE(simple);
    EXPECT_EQ(simple->pictureSize, 0xFFFFFFu);
    EXPECT_EQ(simple->packetTotal, 65535);
    EXPECT_EQ(simple->packetSize, 4096);

    const Bytes stretchData(100, 0x11);
    Bytes stretch = BuildReadImageReply(1, stretchData);
    EXPECT_TRUE(ParseReadImageReply(stretch, 100)->crcOk);
    EXPECT_FALSE(ParseReadImageReply(stretch, 99));
    stretch.back() ^= 1;
    EXPECT_FALSE(ParseReadImageReply(stretch, 100)->crcOk);

    const auto ready = ParseImageReadyAnnouncement(BuildImageReadyAnnouncement(9, 123456));
    ASSERT_TRUE(ready);
    EXPECT_EQ(ready->cameraId, 9);
    EXPECT_EQ(ready->pictureSize, 123456u);
}

TEST(CameraFrames, PacketCountAndLastPacket)
{
    const struct {
        std::uint32_t length, size, count;
    } cases[] = {{2000, 512, 4}, {512, 512, 1}, {513, 512, 2}, {1, 512, 1}, {1024, 512, 2}, {100, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(PacketCount(c.length, c.size), c.count) << c.length << "/" << c.size;
}

}  // namespace
}  // namespace qzr
