// Builders and decoders of the camera's frames against hand-written byte vectors (CRCs computed elsewhere).
#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/camera_id.h"
#include "protocol/commands.h"
#include "protocol/firmware.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "protocol/motion.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"

namespace qzr {
namespace {

// Replies carry their CRC; requests keep the C1 C2 placeholder tail (those the window tests do not pin).
TEST(CameraFrames, BuildersProduceTheWireBytes)
{
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    const std::uint8_t packetData[] = {0xAA, 0xBB};
    const std::uint8_t stretch[] = {1, 2, 3};
    const struct {
        const char* name;
        Bytes built, expected;
    } cases[] = {
        {"query id reply", BuildQueryIdReply(1, 6), {0x90, 0xEB, 0x01, 0x01, 0x03, 0x00, 0x06, 0xAA, 0x55, 0x56, 0x59}},
        {"set baud save", BuildSetBaudRequest(2, 4, true), {0x90, 0xEB, 0x02, 0x0B, 0x01, 0x00, 0x04, 0xC1, 0xC2}},
        {"set baud", BuildSetBaudRequest(2, 4, false), {0x90, 0xEB, 0x02, 0x0A, 0x01, 0x00, 0x04, 0xC1, 0xC2}},
        {"snapshot reply", BuildSnapshotReply(1, jpeg),
         {0x90, 0xEB, 0x01, 0x02, 0x04, 0x00, 0x00, 0xFF, 0xD8, 0xFF, 0xD9, 0x7E, 0x7B}},
        {"set picture reply", BuildSetPictureReply(1, 3, 2),
         {0x90, 0xEB, 0x01, 0x34, 0x03, 0x00, 0x03, 0x02, 0x00, 0xAC, 0x40}},
        {"packet size reply", BuildSetPacketSizeReply(1, 512),
         {0x90, 0xEB, 0x01, 0x32, 0x03, 0x00, 0x00, 0x00, 0x02, 0x3D, 0xD2}},
        {"start reply", BuildSubPacketStartReply(1, {2000, 4}),
         {0x90, 0xEB, 0x01, 0x30, 0x07, 0x00, 0x00, 0xD0, 0x07, 0x00, 0x00, 0x04, 0x00, 0xDD, 0xCB}},
        {"packet reply", BuildPacketReply(1, 2, packetData),
         {0x90, 0xEB, 0x01, 0x31, 0x05, 0x00, 0x00, 0x02, 0x00, 0xAA, 0xBB, 0xE6, 0x9A}},
        {"simplified, test quality", BuildSimpleSubPacketRequest(1, {1024, 3, 5, true}),
         {0x90, 0xEB, 0x01, 0x40, 0x04, 0x00, 0x00, 0x04, 0x03, 105, 0xC1, 0xC2}},
        {"simplified reply", BuildSimpleSubPacketReply(1, {70000, 69, 1024}),
         {0x90, 0xEB, 0x01, 0x40, 0x0B, 0x00, 0x00, 0x70, 0x11, 0x01, 0x00, 0x45, 0x00, 0x00, 0x04, 0x00, 0x00, 0xE2,
          0x94}},
        {"read image reply", BuildReadImageReply(1, stretch),
         {0x90, 0xEB, 0x01, 0x48, 0x03, 0x00, 0x01, 0x02, 0x03, 0xD0, 0x50}},
        {"image ready", BuildImageReadyAnnouncement(3, 0x012345),
         {0x90, 0xEB, 0x03, 0x42, 0x04, 0x00, 0x45, 0x23, 0x01, 0x00, 0xA5, 0x4D}},
        {"motion alarm", BuildMotionAlarm(7), {0x90, 0xEB, 0x07, 0x54, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE8, 0xEA}},
        {"serial number reply", BuildSerialNumberReply(1, {0x0001E240, 18, 7, 31, true}),
         {0x90, 0xEB, 0x01, 0x51, 0x08, 0x00, 0x00, 0x01, 0xE2, 0x40, 0x12, 0x07, 0x1F, 0x99, 0x6C, 0x5B}},
        {"production date notice", BuildProductionDateNotice(1),
         {0x90, 0xEB, 0x01, 0xF1, 0x02, 0x00, 0xF1, 0xF1, 0x01, 0xE2}},
        {"model reply", BuildModelReply(2, 0x22, 3),
         {0x90, 0xEB, 0x02, 0xB8, 0x06, 0x00, 0x00, 0x00, 0x00, 0x22, 0x22, 0x03, 0x4F, 0x84}},
        {"upgrade request", BuildUpgradeRequest(1, 2), {0x90, 0xEB, 0x01, 0x90, 0x02, 0x00, 0x02, 0x00, 0x20, 0xE8}},
        {"upgrade done", BuildUpgradeDone(1, 3), {0x90, 0xEB, 0x01, 0x92, 0x02, 0x00, 0x03, 0x00, 0x92, 0x9F}},
        {"upgrade packet", BuildUpgradePacket(1, 2, packetData),
         {0x90, 0xEB, 0x01, 0x91, 0x04, 0x00, 0x02, 0x00, 0xAA, 0xBB, 0xFC, 0x6C}},
        {"lens status", BuildLensStatus(1, 0x32, 0xFA),
         {0x90, 0xEB, 0x01, 0x73, 0x04, 0x00, 0x32, 0x32, 0xFA, 0xFA, 0x8A, 0xC5}},
        {"autofocus done", BuildLensDoneReply(1, CMD_AUTOFOCUS_DONE),
         {0x90, 0xEB, 0x01, 0x68, 0x02, 0x00, 0x33, 0x33, 0xCF, 0xE5}},
        {"focus reset done", BuildLensDoneReply(1, CMD_FOCUS_RESET_DONE),
         {0x90, 0xEB, 0x01, 0x75, 0x02, 0x00, 0x75, 0x75, 0x87, 0x4F}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.built, c.expected) << c.name;
}

// Beyond the round trips in tests/fuzz: the id reply from nine bytes on, the picture header from seven.
TEST(CameraFrames, DecodersTakeWhatTheConsoleReads)
{
    const Bytes idReply = {0x90, 0xEB, 0x07, 0x01, 0, 0, 0, 0xAA, 0x55};  // the shortest the console takes
    Bytes byte7Wrong = idReply, commandWrong = idReply, idLonger = BuildQueryIdReply(42, 4);
    byte7Wrong[7] = 0xAB;
    commandWrong[3] = 0x02;
    idLonger.push_back(0x00);
    Bytes badLength = BuildSubPacketStartReply(1, {1, 1});
    badLength[4] = 8;
    Bytes jpeg(70000);  // beyond 64 KiB: the length field is read whole
    for (std::size_t i = 0; i < jpeg.size(); ++i)
        jpeg[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes whole = BuildSnapshotReply(5, jpeg), otherHead = {0x90, 0xEB, 0x01, 0x03, 0x04, 0x00, 0x00};
    const auto picture = SnapshotPicture(whole);
    const struct {
        const char* name;
        bool ok;
    } cases[] = {
        {"id reply of nine bytes", ParseQueryIdReply(idReply) == 7},
        {"id reply of eight bytes", !ParseQueryIdReply(std::span(idReply).first(8))},
        {"id reply, byte 7 not AA", !ParseQueryIdReply(byte7Wrong)},
        {"id reply, command not 01", !ParseQueryIdReply(commandWrong)},
        {"id reply, trailing bytes ignored", ParseQueryIdReply(idLonger) == 42},
        {"long picture", HasValidCrc(whole) && picture && std::ranges::equal(*picture, jpeg)},
        {"picture header from 7 bytes", ParseSnapshotHeader(std::span(whole).first(7)).value_or(SnapshotHeader{0})
                                                .pictureLength == 70000},
        {"picture header needs 7 bytes", !ParseSnapshotHeader(std::span(whole).first(6))},
        {"head of another command", !IsSnapshotReplyHead(otherHead) && !ParseSnapshotHeader(otherHead)},
        {"start reply with a wrong length", !ParseSubPacketStartReply(badLength)},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(c.ok) << c.name;
}

// The focus value is the shown line's digits: its last byte is the line end, and a zero byte ends it.
TEST(CameraFrames, FocusValueIsTheDigitsOfTheShownLine)
{
    const auto text = [](std::string_view t) { return Bytes(t.begin(), t.end()); };
    const struct {
        Bytes line;
        std::optional<std::uint64_t> value;
    } cases[] = {
        {text("987654\n"), 987654},
        {text("987654"), 98765},
        {text("value: 12,345 \r"), 12345},
        {text("senser ok\n"), std::nullopt},
        {{'4', '2', 0x00, '7', '\n'}, 42},
        {text(std::string(40, '9') + "\n"), UINT64_MAX},
        {text("18446744073709551614\n"), UINT64_MAX - 1},
        {{}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FocusValueOfLine(c.line), c.value) << std::string(c.line.begin(), c.line.end());
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
