// Builders and decoders of the camera's picture and id frames, checked against
// byte vectors written out by hand (CRCs computed outside this code).
#include <gtest/gtest.h>

#include "protocol/camera_id.h"
#include "protocol/model.h"
#include "protocol/motion.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"

namespace qzr {
namespace {

// Requests keep the placeholder tail C1 C2; the camera's replies carry the CRC.
TEST(CameraFrames, BuildersProduceTheWireBytes)
{
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    const std::uint8_t packetData[] = {0xAA, 0xBB};
    const std::uint8_t stretch[] = {1, 2, 3};
    const struct {
        const char* name;
        Bytes built, expected;
    } cases[] = {
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
        {"motion alarm", BuildMotionAlarm(7), {0x90, 0xEB, 0x07, 0x54, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE8, 0xEA}},
        {"serial number query", BuildSerialNumberQuery(1), {0x90, 0xEB, 0x01, 0x51, 0x00, 0x00, 0xC1, 0xC2}},
        {"serial number reply", BuildSerialNumberReply(1, {0x0001E240, 18, 7, 31, true}),
         {0x90, 0xEB, 0x01, 0x51, 0x08, 0x00, 0x00, 0x01, 0xE2, 0x40, 0x12, 0x07, 0x1F, 0x99, 0x6C, 0x5B}},
        {"production date notice", BuildProductionDateNotice(1),
         {0x90, 0xEB, 0x01, 0xF1, 0x02, 0x00, 0xF1, 0xF1, 0x01, 0xE2}},
        {"model query", BuildModelQuery(1),
         {0x90, 0xEB, 0x01, 0xB7, 0x06, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xC1, 0xC2}},
        {"model reply", BuildModelReply(2, 0x22, 3),
         {0x90, 0xEB, 0x02, 0xB8, 0x06, 0x00, 0x00, 0x00, 0x00, 0x22, 0x22, 0x03, 0x4F, 0x84}},
        {"set model", BuildSetModelRequest(1, 0x22), {0x90, 0xEB, 0x01, 0xE3, 0x04, 0x00, 0xE3, 0xE3, 0x22, 0x22, 0xC1, 0xC2}},
        {"set function", BuildSetFunctionRequest(1, 3), {0x90, 0xEB, 0x01, 0xE4, 0x04, 0x00, 0xB4, 0xB4, 0x03, 0x03, 0xC1, 0xC2}},
        {"batch setting", BuildBatchSettingRequest(1, {true, false, true, 0x33, 4}),
         {0x90, 0xEB, 0x01, 0xE8, 0x06, 0x00, 0x33, 0xCC, 0x33, 0x33, 0x33, 0x04, 0xC1, 0xC2}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.built, c.expected) << c.name;
}

// Whether a decoder found a frame and `check` holds for what it read.
template <class T, class Check>
bool Holds(const std::optional<T>& parsed, Check check)
{
    return parsed && check(*parsed);
}

// What one side builds the other reads back; fields hold distinct bytes so a
// swapped or lost byte shows. Frames of another command or size are refused.
TEST(CameraFrames, DecodersReadBackWhatWasBuilt)
{
    const Bytes data(512, 0x5A);
    const Bytes idReply = {0x90, 0xEB, 0x07, 0x01, 0, 0, 0, 0xAA, 0x55};  // the shortest the console takes
    Bytes byte7Wrong = idReply, commandWrong = idReply, idLonger = BuildQueryIdReply(42, 4);
    byte7Wrong[7] = 0xAB;
    commandWrong[3] = 0x02;
    idLonger.push_back(0x00);
    Bytes damaged = BuildPacketReply(3, 0x0107, data), badLength = BuildSubPacketStartReply(1, {1, 1});
    damaged[300] ^= 0xFF;
    badLength[4] = 8;
    Bytes jpeg(70000);  // beyond 64 KiB: the length field is read whole
    for (std::size_t i = 0; i < jpeg.size(); ++i)
        jpeg[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes whole = BuildSnapshotReply(5, jpeg), otherHead = {0x90, 0xEB, 0x01, 0x03, 0x04, 0x00, 0x00};
    Bytes stretch = BuildReadImageReply(1, Bytes(100, 0x11)), badStretch = stretch;
    badStretch.back() ^= 1;
    MotionAreaMap area;
    area.At(8, 11) = 2;
    const Bytes areaFrame = BuildMotionAreaFrame(4, {0x50, 0x03, 0x04}, area);
    Bytes setModelCopiesDiffer = BuildSetModelRequest(1, 0x22), batchBadSwitch = BuildBatchSettingRequest(1, {}),
          batchCopiesDiffer = BuildBatchSettingRequest(1, {});
    setModelCopiesDiffer[9] = 0x23;
    batchBadSwitch[7] = 0x34;
    batchCopiesDiffer[10] = 1;
    const struct {
        const char* name;
        bool ok;
    } cases[] = {
        {"query id", IsQueryIdRequest(BuildQueryIdRequest())},
        {"query id reply", ParseQueryIdReply(BuildQueryIdReply(0xFE, 6)) == 0xFE},
        {"id reply of nine bytes", ParseQueryIdReply(idReply) == 7},
        {"id reply of eight bytes", !ParseQueryIdReply(std::span(idReply).first(8))},
        {"id reply, byte 7 not AA", !ParseQueryIdReply(byte7Wrong)},
        {"id reply, command not 01", !ParseQueryIdReply(commandWrong)},
        {"id reply, trailing bytes ignored", ParseQueryIdReply(idLonger) == 42},
        {"set id", ParseSetIdRequest(BuildSetIdRequest(1, 200)) == 200},
        {"set baud", Holds(ParseSetBaudRequest(BuildSetBaudRequest(7, 0x11, false)),
                           [](auto r) { return r.baudCode == 0x11 && !r.save; })},
        {"set baud save", Holds(ParseSetBaudRequest(BuildSetBaudRequest(7, 0x11, true)), [](auto r) { return r.save; })},
        {"snapshot", Holds(ParseSnapshotRequest(BuildSnapshotRequest(1, 21, 12)),
                           [](auto r) { return r.resolution == 21 && r.quality == 12; })},
        {"long picture", HasValidCrc(whole) && Holds(SnapshotPicture(whole), [&](auto p) {
                             return std::equal(p.begin(), p.end(), jpeg.begin(), jpeg.end());
                         })},
        {"picture header from 7 bytes", Holds(ParseSnapshotHeader(std::span(whole).first(7)),
                                              [](auto h) { return h.pictureLength == 70000; })},
        {"picture header needs 7 bytes", !ParseSnapshotHeader(std::span(whole).first(6))},
        {"picture needs the whole reply", !SnapshotPicture(std::span(whole).first(whole.size() - 1))},
        {"head of another command", !IsSnapshotReplyHead(otherHead) && !ParseSnapshotHeader(otherHead)},
        {"set picture", Holds(ParseSetPictureRequest(BuildSetPictureRequest(1, 6, 3)),
                              [](auto r) { return r.resolution == 6 && r.quality == 3; })},
        {"set picture reply", IsSetPictureReply(BuildSetPictureReply(1, 5, 1))},
        {"packet size", ParseSetPacketSizeRequest(BuildSetPacketSizeRequest(1, 0x1234)) == 0x1234},
        {"packet size reply", ParseSetPacketSizeReply(BuildSetPacketSizeReply(1, 0x4321)) == 0x4321},
        {"start", IsSubPacketStartRequest(BuildSubPacketStartRequest(9))},
        {"start reply", Holds(ParseSubPacketStartReply(BuildSubPacketStartReply(1, {0x01020304, 0x0506})),
                              [](auto r) { return r.pictureLength == 0x01020304u && r.packetCount == 0x0506; })},
        {"get packet", ParseGetPacketRequest(BuildGetPacketRequest(1, 0x0102)) == 0x0102},
        {"packet reply", Holds(ParsePacketReply(BuildPacketReply(3, 0x0107, data)), [&](auto r) {
             return r.cameraId == 3 && r.packetNumber == 0x0107 && r.crcOk && Bytes(r.data.begin(), r.data.end()) == data;
         })},
        {"damaged packet", Holds(ParsePacketReply(damaged), [](auto r) { return !r.crcOk && r.data.size() == 512; })},
        {"simplified", Holds(ParseSimpleSubPacketRequest(BuildSimpleSubPacketRequest(1, {0x0201, 8, 5, false})),
                             [](auto r) { return r.packetSize == 0x0201 && r.resolution == 8 && !r.test; })},
        {"simplified test", Holds(ParseSimpleSubPacketRequest(BuildSimpleSubPacketRequest(1, {0x0201, 8, 5, true})),
                                  [](auto r) { return r.quality == 5 && r.test; })},
        {"simplified reply", Holds(ParseSimpleSubPacketReply(BuildSimpleSubPacketReply(1, {0xABCDEF, 0xFEDC, 0x1234})),
                                   [](auto r) {
                                       return r.pictureSize == 0xABCDEF && r.packetTotal == 0xFEDC && r.packetSize == 0x1234;
                                   })},
        {"read image", Holds(ParseReadImageRequest(BuildReadImageRequest(1, {0xABCDEF, 0x0309})),
                             [](auto r) { return r.offset == 0xABCDEFu && r.length == 0x0309; })},
        {"stretch", Holds(ParseReadImageReply(stretch, 100), [](auto r) { return r.crcOk && r.data.size() == 100; })},
        {"stretch shorter than asked for", !ParseReadImageReply(stretch, 101)},
        {"longer stretch: the first bytes", Holds(ParseReadImageReply(stretch, 99), [](auto r) { return r.crcOk && r.data.size() == 99; })},
        {"damaged stretch", Holds(ParseReadImageReply(badStretch, 100), [](auto r) { return !r.crcOk; })},
        {"image ready", Holds(ParseImageReadyAnnouncement(BuildImageReadyAnnouncement(9, 0xFEDCBA)),
                              [](auto r) { return r.cameraId == 9 && r.pictureSize == 0xFEDCBAu; })},
        {"set picture is no snapshot", !ParseSnapshotRequest(BuildSetPictureRequest(1, 5, 1))},
        {"set id is no packet request", !ParseGetPacketRequest(BuildSetIdRequest(1, 2))},
        {"query id with a reply's payload", !IsQueryIdRequest(BuildFrame(0, 0x01, Bytes{0xAA, 0x55}))},
        {"set picture reply is no packet size", !ParseSetPacketSizeReply(BuildSetPictureReply(1, 5, 1))},
        {"start reply with a wrong length", !ParseSubPacketStartReply(badLength)},
        {"motion area", Holds(ParseMotionAreaFrame(areaFrame), [&](auto r) {
             return r.cameraId == 4 && r.settings == MotionSettings{0x50, 0x03, 0x04} && r.area == area;
         })},
        {"motion area cut short", !ParseMotionAreaFrame(std::span(areaFrame).first(119))},
        {"lens status is no motion alarm", !ParseMotionAlarm(BuildFrame(1, 0x73, Bytes(4, 0)))},
        {"serial number query", IsSerialNumberQuery(BuildSerialNumberQuery(4))},
        {"serial number reply", Holds(ParseSerialNumberReply(BuildSerialNumberReply(1, {0xFEDCBA98, 98, 12, 31, false})),
                                      [](auto r) {
                                          return r.serialNumber == 0xFEDCBA98u && r.year == 98 && r.month == 12 &&
                                                 r.day == 31 && !r.serialValid;
                                      })},
        {"notice", ContainsProductionDateNotice(BuildProductionDateNotice(5))},
        {"model query", IsModelQuery(BuildModelQuery(3))},
        {"model reply", Holds(ParseModelReply(BuildModelReply(1, 0x4C, 99)), [](auto r) {
             return r.modelCode == 0x4C && r.modelCodeAgain == 0x4C && r.functionMode == 99;
         })},
        {"set model", ParseSetModelRequest(BuildSetModelRequest(1, 0x5C)) == 0x5C},
        {"set model, copies differ", !ParseSetModelRequest(setModelCopiesDiffer)},
        {"set function", ParseSetFunctionRequest(BuildSetFunctionRequest(1, 6)) == 6},
        {"set model is no set function", !ParseSetFunctionRequest(BuildSetModelRequest(1, 6))},
        {"batch setting", Holds(ParseBatchSettingRequest(BuildBatchSettingRequest(1, {false, true, false, 0x1C, 2})),
                                [](auto r) {
                                    return !r.whiteLight && r.autoFocus && !r.alarm && r.modelCode == 0x1C && r.functionMode == 2;
                                })},
        {"batch setting, switch neither on nor off", !ParseBatchSettingRequest(batchBadSwitch)},
        {"batch setting, copies differ", !ParseBatchSettingRequest(batchCopiesDiffer)},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(c.ok) << c.name;
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

TEST(CameraFrames, PacketCount)
{
    const struct {
        std::uint32_t length, size, count;
    } cases[] = {{2000, 512, 4}, {512, 512, 1}, {513, 512, 2}, {1, 512, 1}, {1024, 512, 2}, {100, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(PacketCount(c.length, c.size), c.count) << c.length << "/" << c.size;
}

}  // namespace
}  // namespace qzr
