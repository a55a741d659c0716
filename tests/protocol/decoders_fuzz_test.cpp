// Every reader of line bytes (the camera's replies and free text, the requests
// the simulator reads, typed hex) fed random and damaged input from fixed
// seeds, each case in a heap block of its exact size so that a read past the
// end hits the sanitizer's red zone. Builders are read back in camera_frames_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "protocol/burst.h"
#include "protocol/camera_id.h"
#include "protocol/camera_text.h"
#include "protocol/commands.h"
#include "protocol/crc16.h"
#include "protocol/crc_text.h"
#include "protocol/firmware.h"
#include "protocol/frame.h"
#include "protocol/frame_stream.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "protocol/motion.h"
#include "protocol/osd.h"
#include "protocol/quick_shot.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "protocol/text_codec.h"
#include "tests/support/utf8.h"

namespace qzr {
namespace {

using Span = std::span<const std::uint8_t>;
constexpr int kCases = 3000;

// A copy of the input in a heap block of exactly its size.
struct Exact {
    explicit Exact(Span bytes) : block(new std::uint8_t[bytes.size()]), size(bytes.size())
    {
        std::copy(bytes.begin(), bytes.end(), block.get());
    }
    Span Get() const { return {block.get(), size}; }
    std::string_view Text() const { return {reinterpret_cast<const char*>(block.get()), size}; }
    std::unique_ptr<std::uint8_t[]> block;
    std::size_t size;
};

// What a decoder hands back points into its input.
bool Within(Span part, Span whole)
{
    const auto begin = reinterpret_cast<std::uintptr_t>(whole.data()), at = reinterpret_cast<std::uintptr_t>(part.data());
    return part.empty() || (at >= begin && at + part.size() <= begin + whole.size());
}

Bytes Stamped(Bytes frame)
{
    StampCrc(frame);
    return frame;
}

// Random bytes, and valid frames damaged the ways a line or a confused camera damages them.
class Fuzz {
public:
    explicit Fuzz(std::uint32_t seed) : m_random(seed) {}

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(256)); }
    bool OneIn(std::size_t n) { return Below(n) == 0; }
    Bytes RandomBytes(std::size_t maxLength)
    {
        Bytes bytes(Below(maxLength + 1));
        for (auto& b : bytes)
            b = Byte();
        return bytes;
    }

    // Noise now and then, mostly a valid seed with a few faults.
    Bytes Case(const std::vector<Bytes>& seeds)
    {
        if (OneIn(6))
            return RandomBytes(48);
        Bytes bytes = seeds[Below(seeds.size())];
        for (std::size_t faults = 1 + Below(4); faults > 0; --faults)
            Damage(bytes);
        return bytes;
    }

private:
    void Damage(Bytes& bytes)
    {
        static constexpr std::uint8_t kEdgeBytes[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x90, 0xEB, 0xC1, 0xC2};
        const std::size_t size = bytes.size();
        const auto at = [&] { return static_cast<std::ptrdiff_t>(Below(size)); };
        switch (Below(9)) {
        case 0: if (size) bytes[at()] ^= static_cast<std::uint8_t>(1u << Below(8)); break;  // bit flip
        case 1: if (size) bytes[at()] = kEdgeBytes[Below(std::size(kEdgeBytes))]; break;
        case 2: bytes.resize(Below(size + 1)); break;                                        // cut short
        case 3: { const Bytes tail = RandomBytes(16); bytes.insert(bytes.end(), tail.begin(), tail.end()); break; }
        case 4:  // a length field that lies
            if (size >= frame::kPayloadOffset) {
                const std::size_t lengths[] = {0, 1, 7, 0x7FFF, 0x8000, 0xFFFF, size - 7, size - 8, size - 9};
                const std::size_t length = lengths[Below(std::size(lengths))];
                bytes[frame::kLengthOffset] = static_cast<std::uint8_t>(length & 0xFF);
                bytes[frame::kLengthOffset + 1] = static_cast<std::uint8_t>((length >> 8) & 0xFF);
            }
            break;
        case 5: if (size) bytes.erase(bytes.begin() + at()); break;                          // a byte lost
        case 6: bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(Below(size + 1)), Byte()); break;
        case 7:  // a size or offset field at its largest
            for (std::size_t k = size >= 4 ? Below(size - 3) : size, end = std::min(size, k + 3 + Below(2)); k < end; ++k)
                bytes[k] = 0xFF;
            break;
        default: StampCrc(bytes); break;  // the CRC restamped over the damage: only the fields are wrong
        }
    }

    std::mt19937 m_random;
};

struct DecoderFamily {
    const char* name;
    std::vector<Bytes> seeds;         // valid input the faults start from
    std::function<void(Span)> decode; // runs the decoders, checks what they claim
};

std::vector<DecoderFamily> Families()
{
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0xFF, 0xD9};
    const std::uint8_t packet[] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::uint8_t osdText[] = {'Q', 'Z', 'R', 0xD6, 0xD0};
    const auto text = [](Span b) { return std::string_view(reinterpret_cast<const char*>(b.data()), b.size()); };
    return {
        {"frame envelope, camera id, serial number, model, alarm replies and firmware packet requests",
         {Stamped(BuildFrame(1, CMD_QUERY_SERIAL)), BuildFrame(7, CMD_LED, packet), BuildQueryIdReply(0xFF, 0x11),
          BuildMotionAlarm(7), BuildSerialNumberReply(1, {0xFFFFFFFF, 98, 12, 31, false}), BuildModelReply(1, 0x5C, 0xFF),
          {0x00, 0x90, 0xEB, 0x05, 0xF1, 0x00, 0x00, 0xF1, 0xF1}, BuildUpgradeRequest(1, 3), BuildUpgradeDone(1, 100),
          BuildLensStatus(1, 0x32, 0xFA), BuildLensDoneReply(1, CMD_ZOOM_RESET_DONE)},
         [](Span b) {
             UpgradeRequestGatherer gathered;
             gathered.Offer(b);
             gathered.Offer(b);
             EXPECT_LT(gathered.Gathered().size(), upgrade::kRequestBufferSize);
             const UpgradeRequest request = ReadUpgradeRequest(gathered.Gathered(), 1);
             EXPECT_TRUE(request.state != UpgradeRequestState::Complete ||
                         gathered.Gathered().size() >= LengthField(gathered.Gathered()) + frame::kOverhead);
             const auto header = ParseFrameHeader(b);
             EXPECT_TRUE(!header || header->command == b[frame::kCommandOffset]);
             const auto id = ParseQueryIdReply(b);
             EXPECT_TRUE(!id || *id == b[frame::kIdOffset]);
             const auto alarm = ParseMotionAlarm(b);
             EXPECT_TRUE(!alarm || (b.size() == motion::kAlarmLength && *alarm == b[frame::kIdOffset]));
             const auto serial = ParseSerialNumberReply(b);
             EXPECT_TRUE(!serial || (b.size() == kSerialNumberReplyLength && serial->year < 99 && serial->month < 13 &&
                                     serial->day < 32));
             EXPECT_TRUE(!ParseModelReply(b) || b.size() == kModelReplyLength);
             EXPECT_TRUE(!ContainsProductionDateNotice(b) || b.size() >= 9);
             EXPECT_TRUE(!ParseLensStatus(b) || b.size() == lens::kStatusLength);
             EXPECT_EQ(HasFrameHead(b), b.size() >= 2 && b[0] == 0x90 && b[1] == 0xEB);
             EXPECT_TRUE(!HasValidCrc(b) || b.size() >= 4);
             FrameCrc(b.data(), b.size());
         }},
        {"whole-package picture",
         {BuildSnapshotReply(1, jpeg), BuildSnapshotReply(1, {}), Stamped(BuildSnapshotRequest(1, 5, 1))}, [](Span b) {
             const auto header = ParseSnapshotHeader(b);
             EXPECT_TRUE(!header || IsSnapshotReplyHead(b));
             if (const auto picture = SnapshotPicture(b)) {
                 ASSERT_TRUE(header);
                 EXPECT_EQ(picture->size(), header->pictureLength);
                 EXPECT_EQ(b.size(), SnapshotReplyLength(header->pictureLength));
                 EXPECT_TRUE(Within(*picture, b));
             }
             ParseSnapshotRequest(b);
         }},
        {"sub-packet replies",
         {BuildSetPictureReply(1, 5, 1), BuildSetPacketSizeReply(1, 512), BuildSubPacketStartReply(1, {2000, 4}),
          BuildPacketReply(1, 3, packet), BuildPacketReply(1, 0, {}), BuildSimpleSubPacketReply(1, {70000, 69, 1024}),
          BuildReadImageReply(1, packet), BuildReadImageReply(1, {}), BuildImageReadyAnnouncement(1, 0xFFFFFF),
          BuildBurstStatus(1, burst::kFinished, 5), BuildFileListReply(1, std::vector<std::string>{"20260305140709_01", "x"})},
         [](Span b) {
             EXPECT_TRUE(!IsSetPictureReply(b) || b.size() == subpacket::kControlReplyLength);
             EXPECT_TRUE(!ParseSetPacketSizeReply(b) || b.size() == subpacket::kControlReplyLength);
             EXPECT_TRUE(!ParseSubPacketStartReply(b) || b.size() == subpacket::kStartReplyLength);
             EXPECT_TRUE(!ParseSimpleSubPacketReply(b) || b.size() == subpacket::kSimpleReplyLength);
             const auto ready = ParseImageReadyAnnouncement(b);
             EXPECT_TRUE(!ready || (b.size() == subpacket::kImageReadyLength && ready->pictureSize <= 0xFFFFFFu));
             if (const auto reply = ParsePacketReply(b)) {
                 EXPECT_EQ(reply->data.size(), b.size() - subpacket::kPacketOverhead);
                 EXPECT_TRUE(Within(reply->data, b));
                 EXPECT_EQ(reply->crcOk, HasValidCrc(b));
             }
             // The stretch length the console asked for may be anything, the largest sizes included.
             EXPECT_TRUE(!ParseBurstState(b) || b.size() > burst::kStatusOffset);
             EXPECT_EQ(IsExactlyOneFrame(b), b.size() > 6 && b.size() == LengthField(b) + 8u);
             for (const Span entry : FileListEntries(b)) {
                 EXPECT_TRUE(entry.size() == burst::kEntryLength && Within(entry, b));
                 EXPECT_LE(FileEntryText(entry).size(), burst::kEntryLength);
             }
             for (std::size_t length : {b.size() - std::min<std::size_t>(b.size(), 8), b.size(), std::size_t{0},
                                        std::size_t{0xFFFF}, SIZE_MAX - 7, SIZE_MAX - 1, SIZE_MAX}) {
                 const auto stretch = ParseReadImageReply(b, length);
                 EXPECT_TRUE(!stretch || (stretch->data.size() == length && Within(stretch->data, b)));
             }
         }},
        {"requests the simulator reads",
         {Stamped(BuildSetPictureRequest(1, 5, 1)), Stamped(BuildSetPacketSizeRequest(1, 512)),
          Stamped(BuildSubPacketStartRequest(1)), Stamped(BuildGetPacketRequest(1, 9)),
          Stamped(BuildSimpleSubPacketRequest(1, {1024, 5, 1, true})), Stamped(BuildReadImageRequest(1, {0xFFFFFF, 0xFFFF})),
          Stamped(BuildQueryIdRequest()), Stamped(BuildSetIdRequest(1, 2)), Stamped(BuildSetBaudRequest(1, 6, true)),
          BuildOsdFrame(1, 10, 20, 16, osdText), Stamped(BuildMotionAreaFrame(1, {80, 3, 4}, {})),
          BuildBurstShootRequest(1, {5, 2, 5, 3, {2026, 3, 5, 14, 7, 9}}), BuildListFilesRequest(1, {20, true, std::nullopt}),
          BuildGetFileRequest(1, {1024, "20260305140709_01"}), BuildQuickSnapshotRequest(), Stamped(BuildSerialNumberQuery(1)),
          Stamped(BuildModelQuery(1)), Stamped(BuildSetModelRequest(1, 0x22)), Stamped(BuildSetFunctionRequest(1, 3)),
          Stamped(BuildBatchSettingRequest(1, {true, false, true, 0x33, 4})), Stamped(BuildUpgradeStart(1, {3, 1808})),
          BuildUpgradePacket(1, 2, packet), Stamped(BuildZoomRequest(1, 100)),
          Stamped(BuildCheckLensRequest(1)), Stamped(BuildFocusResetRequest(1)), Stamped(BuildFocusValueRequest(1)),
          Stamped(BuildLedRequest(1, true)), Stamped(BuildLightRequest(1, false)), Stamped(BuildAutoFocusRequest(1, true)),
          Stamped(BuildTestPattern(1, true)), Stamped(BuildModelCancelRequest(1))},
         [](Span b) {
             EXPECT_TRUE(!ParseUpgradeStart(b) || b.size() == upgrade::kStartFrameLength);
             if (const auto firmware = ParseUpgradePacket(b)) {
                 EXPECT_EQ(firmware->data.size() + upgrade::kPacketOverhead, b.size());
                 EXPECT_TRUE(Within(firmware->data, b));
             }
             ParseSetPictureRequest(b); ParseSetPacketSizeRequest(b); IsSubPacketStartRequest(b); ParseGetPacketRequest(b);
             IsQueryIdRequest(b); ParseSetIdRequest(b); ParseSetBaudRequest(b);
             IsSerialNumberQuery(b); IsModelQuery(b); ParseSetModelRequest(b); ParseSetFunctionRequest(b);
             EXPECT_TRUE(!ParseBatchSettingRequest(b) || b.size() == 14u);
             EXPECT_TRUE(!ParseSimpleSubPacketRequest(b) || b.size() == 12u);
             EXPECT_LE(ParseReadImageRequest(b).value_or(ReadImageRequest{}).offset, 0xFFFFFFu);
             const auto osd = ParseOsdFrame(b);
             EXPECT_TRUE(!osd || osd->text.size() + 5 + frame::kOverhead == b.size());
             EXPECT_TRUE(!ParseMotionAreaFrame(b) || b.size() == motion::kAreaFrameLength);
             ParseBurstShootRequest(b); ParseListFilesRequest(b); IsQuickSnapshotRequest(b);
             EXPECT_TRUE(!ParseLensRequest(b) || b.size() == 10u);
             IsFocusValueRequest(b); ParseLedRequest(b); ParseLightRequest(b); ParseAutoFocusRequest(b);
             ParseTestPattern(b); IsModelCancelRequest(b);
             EXPECT_LE(ParseGetFileRequest(b).value_or(GetFileRequest{}).name.size(), burst::kNameLength);
         }},
        {"camera text, code page and typed hex",
         {{'s', 'e', 'n', 's', 'e', 'r', ' ', 'o', 'k', '\n'}, {'1', '2', '3', '4', '5', '6', '7', '8', '\n'}, {0x00},
          {0xD6, 0xD0, 0xCE, 0xC4, 0x0A}, {0x01, 0x05, 0x06, 0, 0, 0, 0, 0}, {'a', 0x81}, {0xA1, 0xA1, 0xFF, 0x80},
          {0xE4, 0xB8, 0xAD}, {'9', '0', ' ', 'E', 'B', ' ', '0', '1'}, {'0', 'x', '9', '0', 0xE4, 0xB8, 0xAD, 'e', 'b'}},
         [text](Span b) {
             const std::string line = CameraTextLine(b), shown = FormatCameraText(b);
             EXPECT_LE(line.size(), b.size() + 1);
             EXPECT_LE(shown.size(), line.size() + 2);
             EXPECT_TRUE(test::IsValidUtf8(GbkToUtf8(shown)));
             EXPECT_TRUE(test::IsValidUtf8(GbkToUtf8(text(b))));
             EXPECT_TRUE(!Utf8ToGbk(text(b)) || test::IsValidUtf8(text(b))) << "only valid text has a GBK form";
             ContainsTestShotTrigger(b);
             EXPECT_EQ(FocusValueOfLine(b).has_value(), line.find_first_of("0123456789") != std::string::npos);
             const Bytes typed = HexTextToBytes(text(b));
             EXPECT_LE(typed.size(), kMaxCrcToolBytes);
             EXPECT_LE(typed.size() * 2, b.size());
             EXPECT_LE(CrcToolAnswer(typed).value_or("").size(), 4u);
         }},
    };
}

TEST(DecoderFuzz, StaysWithinAnyInput)
{
    for (const DecoderFamily& family : Families()) {
        Fuzz fuzz(0x5152u);
        for (int i = 0; i < kCases; ++i) {
            family.decode(Exact(fuzz.Case(family.seeds)).Get());
            if (::testing::Test::HasFailure()) {
                ADD_FAILURE() << family.name << ", case " << i;
                return;
            }
        }
    }
}

// The simulator's request reader holds at most one frame, gives out only whole
// frames, and keeps its bounds however noise and frames are cut.
TEST(DecoderFuzz, FrameAssemblerKeepsItsBoundsOnNoise)
{
    Fuzz fuzz(0xA55Eu);
    const std::vector<Bytes> seeds = {Stamped(BuildSnapshotRequest(1, 5, 1)), Stamped(BuildGetPacketRequest(1, 2)),
                                      BuildOsdFrame(1, 1, 2, 3, Bytes(90, 'x'))};
    for (std::size_t maxPayload : {std::size_t{0}, std::size_t{16}, std::size_t{4096}}) {
        FrameAssembler assembler(maxPayload);
        for (int i = 0; i < kCases; ++i) {
            for (const Bytes& frame : assembler.Feed(Exact(fuzz.Case(seeds)).Get())) {
                const auto header = ParseFrameHeader(frame);
                ASSERT_TRUE(header);
                ASSERT_EQ(frame.size(), header->payloadLength + frame::kOverhead);
                ASSERT_LE(header->payloadLength, maxPayload);
                const bool tail = frame[frame.size() - 2] == frame::kTail0 && frame.back() == frame::kTail1;
                ASSERT_TRUE(tail || HasValidCrc(frame));
            }
            ASSERT_LT(assembler.Buffered(), maxPayload + frame::kOverhead) << "case " << i;
            if (fuzz.OneIn(10))
                assembler.Resync();
        }
    }
}

// Text a camera sends in its code page reads as the same characters.
TEST(DecoderRoundTrip, CodePage)
{
    Fuzz fuzz(6);
    for (int i = 0; i < kCases; ++i) {
        std::string utf8;  // printable ASCII and CJK unified ideographs U+4E00 .. U+9FA5, all of them in GBK
        for (std::size_t n = fuzz.Below(30); n > 0; --n) {
            const std::size_t code = fuzz.OneIn(2) ? 0x20 + fuzz.Below(0x5F) : 0x4E00 + fuzz.Below(0x9FA6 - 0x4E00);
            if (code < 0x80)
                utf8 += static_cast<char>(code);
            else
                utf8 += {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                         static_cast<char>(0x80 | (code & 0x3F))};
        }
        const auto gbk = Utf8ToGbk(utf8);
        ASSERT_TRUE(gbk) << utf8;
        ASSERT_EQ(GbkToUtf8(Exact(*gbk).Text()), utf8);
    }
}

// A stamped frame checks; any single changed byte after the head is caught.
TEST(DecoderRoundTrip, CheckField)
{
    Fuzz fuzz(8);
    for (int i = 0; i < kCases; ++i) {
        Bytes frame = fuzz.RandomBytes(300);
        frame.resize(std::max<std::size_t>(frame.size(), 4));
        StampCrc(frame);
        ASSERT_TRUE(HasValidCrc(Exact(frame).Get()));
        const std::size_t at = 2 + fuzz.Below(frame.size() - 2);
        frame[at] ^= static_cast<std::uint8_t>(1 + fuzz.Below(255));
        ASSERT_FALSE(HasValidCrc(Exact(frame).Get())) << "byte " << at << " of " << frame.size();
    }
}

}  // namespace
}  // namespace qzr
