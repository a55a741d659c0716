// Every reader of bytes that come off the line (the camera's replies, its free
// text, and the requests the simulator reads), fed random and damaged input
// from fixed seeds: it must stay inside the bytes it was handed, which the
// sanitizer build checks, and it must read back what its builder wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "protocol/camera_id.h"
#include "protocol/camera_text.h"
#include "protocol/commands.h"
#include "protocol/crc16.h"
#include "protocol/crc_text.h"
#include "protocol/frame.h"
#include "protocol/frame_stream.h"
#include "protocol/osd.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "protocol/text_codec.h"
#include "tests/support/utf8.h"

namespace qzr {
namespace {

constexpr int kCases = 3000;

// A copy of the input in a heap block of exactly its size: a read one byte
// past the end lands in the sanitizer's red zone instead of in a vector's
// spare capacity.
class Exact {
public:
    explicit Exact(std::span<const std::uint8_t> bytes) : m_size(bytes.size()), m_data(new std::uint8_t[bytes.size()])
    {
        std::copy(bytes.begin(), bytes.end(), m_data.get());
    }
    std::span<const std::uint8_t> Span() const { return {m_data.get(), m_size}; }
    std::string_view Text() const { return {reinterpret_cast<const char*>(m_data.get()), m_size}; }

private:
    std::size_t m_size;
    std::unique_ptr<std::uint8_t[]> m_data;
};

// Whether `part` lies inside `whole`: what a decoder hands back points into its input.
bool Within(std::span<const std::uint8_t> part, std::span<const std::uint8_t> whole)
{
    const auto begin = reinterpret_cast<std::uintptr_t>(whole.data());
    const auto at = reinterpret_cast<std::uintptr_t>(part.data());
    return part.empty() || (at >= begin && at + part.size() <= begin + whole.size());
}

Bytes Stamped(Bytes frame)
{
    StampCrc(frame);
    return frame;
}

// Seeded input: random bytes, and valid frames damaged the ways a line or a
// confused camera damages them.
class Fuzz {
public:
    explicit Fuzz(std::uint32_t seed) : m_random(seed) {}

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(256)); }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Below(0x10000)); }
    bool OneIn(std::size_t n) { return Below(n) == 0; }

    Bytes RandomBytes(std::size_t maxLength)
    {
        Bytes bytes(Below(maxLength + 1));
        for (auto& b : bytes)
            b = Byte();
        return bytes;
    }

    // One case for a decoder: pure noise now and then, a frame head with noise
    // behind it, but mostly one of the valid `seeds` with a few faults.
    Bytes Case(const std::vector<Bytes>& seeds)
    {
        if (OneIn(6))
            return RandomBytes(48);
        Bytes bytes = seeds[Below(seeds.size())];
        if (OneIn(6)) {
            Bytes noise = RandomBytes(40);
            bytes.resize(std::min<std::size_t>(bytes.size(), 4));
            bytes.insert(bytes.end(), noise.begin(), noise.end());
            return bytes;
        }
        for (std::size_t faults = 1 + Below(4); faults > 0; --faults)
            Damage(bytes);
        return bytes;
    }

    void Damage(Bytes& bytes)
    {
        static constexpr std::uint8_t kEdgeBytes[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x90, 0xEB, 0xC1, 0xC2};
        switch (Below(9)) {
        case 0:  // one bit flipped
            if (!bytes.empty())
                bytes[Below(bytes.size())] ^= static_cast<std::uint8_t>(1u << Below(8));
            break;
        case 1:  // one byte with an edge value
            if (!bytes.empty())
                bytes[Below(bytes.size())] = kEdgeBytes[Below(std::size(kEdgeBytes))];
            break;
        case 2:  // cut short
            bytes.resize(Below(bytes.size() + 1));
            break;
        case 3: {  // trailing bytes
            const Bytes tail = RandomBytes(16);
            bytes.insert(bytes.end(), tail.begin(), tail.end());
            break;
        }
        case 4: {  // a length field that lies
            if (bytes.size() < frame::kPayloadOffset)
                break;
            const std::size_t lengths[] = {0, 1, 7, 0x7FFF, 0x8000, 0xFFFF, bytes.size() - 7, bytes.size() - 8, bytes.size() - 9};
            const auto length = static_cast<std::uint16_t>(lengths[Below(std::size(lengths))]);
            bytes[frame::kLengthOffset] = static_cast<std::uint8_t>(length & 0xFF);
            bytes[frame::kLengthOffset + 1] = static_cast<std::uint8_t>(length >> 8);
            break;
        }
        case 5:  // a byte lost
            if (!bytes.empty())
                bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(Below(bytes.size())));
            break;
        case 6:  // a byte too many
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(Below(bytes.size() + 1)), Byte());
            break;
        case 7:  // a size or offset field at its largest
            if (bytes.size() >= 4) {
                const std::size_t at = Below(bytes.size() - 3);
                const std::size_t width = 3 + Below(2);
                for (std::size_t k = 0; k < width && at + k < bytes.size(); ++k)
                    bytes[at + k] = 0xFF;
            }
            break;
        default:  // the CRC restamped over the damage, so only the fields are wrong
            StampCrc(bytes);
            break;
        }
    }

    std::mt19937& Engine() { return m_random; }

private:
    std::mt19937 m_random;
};

struct DecoderFamily {
    const char* name;
    std::vector<Bytes> seeds;                                   // valid input the faults start from
    std::function<void(std::span<const std::uint8_t>)> decode;  // runs the decoders, checks their results
};

std::vector<DecoderFamily> Families()
{
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0xFF, 0xD9};
    const std::uint8_t packet[] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::uint8_t osdText[] = {'Q', 'Z', 'R', 0xD6, 0xD0};
    std::vector<DecoderFamily> families;

    families.push_back({"frame envelope",
                        {Stamped(BuildFrame(1, CMD_QUERY_SERIAL)), BuildFrame(7, CMD_LED, packet)},
                        [](std::span<const std::uint8_t> bytes) {
                            const auto header = ParseFrameHeader(bytes);
                            if (header) {
                                EXPECT_GE(bytes.size(), frame::kPayloadOffset);
                                EXPECT_EQ(header->command, bytes[frame::kCommandOffset]);
                            }
                            EXPECT_EQ(HasFrameHead(bytes), bytes.size() >= 2 && bytes[0] == 0x90 && bytes[1] == 0xEB);
                            const bool valid = HasValidCrc(bytes);
                            EXPECT_TRUE(!valid || bytes.size() >= 4);
                            FrameCrc(bytes.data(), bytes.size());
                            crc16_ccitt(bytes);
                        }});

    families.push_back({"whole-package picture",
                        {BuildSnapshotReply(1, jpeg), BuildSnapshotReply(1, {}), Stamped(BuildSnapshotRequest(1, 5, 1))},
                        [](std::span<const std::uint8_t> bytes) {
                            const bool head = IsSnapshotReplyHead(bytes);
                            const auto header = ParseSnapshotHeader(bytes);
                            EXPECT_TRUE(!header || head);
                            if (const auto picture = SnapshotPicture(bytes)) {
                                ASSERT_TRUE(header);
                                EXPECT_EQ(picture->size(), header->pictureLength);
                                EXPECT_EQ(bytes.size(), SnapshotReplyLength(header->pictureLength));
                                EXPECT_TRUE(Within(*picture, bytes));
                            }
                            ParseSnapshotRequest(bytes);
                        }});

    families.push_back({"numbered sub-packet replies",
                        {BuildSetPictureReply(1, 5, 1), BuildSetPacketSizeReply(1, 512),
                         BuildSubPacketStartReply(1, {2000, 4}), BuildPacketReply(1, 3, packet),
                         BuildPacketReply(1, 0, {})},
                        [](std::span<const std::uint8_t> bytes) {
                            const bool setPicture = IsSetPictureReply(bytes);
                            EXPECT_TRUE(!setPicture || bytes.size() == subpacket::kControlReplyLength);
                            if (ParseSetPacketSizeReply(bytes)) {
                                EXPECT_EQ(bytes.size(), subpacket::kControlReplyLength);
                            }
                            if (ParseSubPacketStartReply(bytes)) {
                                EXPECT_EQ(bytes.size(), subpacket::kStartReplyLength);
                            }
                            if (const auto reply = ParsePacketReply(bytes)) {
                                EXPECT_EQ(reply->data.size(), bytes.size() - subpacket::kPacketOverhead);
                                EXPECT_TRUE(Within(reply->data, bytes));
                                EXPECT_EQ(reply->crcOk, HasValidCrc(bytes));
                            }
                        }});

    families.push_back({"simplified sub-packet replies",
                        {BuildSimpleSubPacketReply(1, {70000, 69, 1024}), BuildReadImageReply(1, packet),
                         BuildReadImageReply(1, {}), BuildImageReadyAnnouncement(1, 0xFFFFFF)},
                        [](std::span<const std::uint8_t> bytes) {
                            if (ParseSimpleSubPacketReply(bytes)) {
                                EXPECT_EQ(bytes.size(), subpacket::kSimpleReplyLength);
                            }
                            if (const auto ready = ParseImageReadyAnnouncement(bytes)) {
                                EXPECT_EQ(bytes.size(), subpacket::kImageReadyLength);
                                EXPECT_LE(ready->pictureSize, 0xFFFFFFu);
                            }
                            // The stretch length the console asked for may be anything,
                            // the largest sizes included.
                            const std::size_t asked[] = {bytes.size() - std::min<std::size_t>(bytes.size(), 8),
                                                         bytes.size(),
                                                         0,
                                                         0xFFFF,
                                                         SIZE_MAX - 7,
                                                         SIZE_MAX - 1,
                                                         SIZE_MAX};
                            for (std::size_t length : asked) {
                                if (const auto stretch = ParseReadImageReply(bytes, length)) {
                                    EXPECT_EQ(stretch->data.size(), length);
                                    EXPECT_TRUE(Within(stretch->data, bytes));
                                }
                            }
                        }});

    families.push_back({"requests the simulator reads",
                        {Stamped(BuildSetPictureRequest(1, 5, 1)), Stamped(BuildSetPacketSizeRequest(1, 512)),
                         Stamped(BuildSubPacketStartRequest(1)), Stamped(BuildGetPacketRequest(1, 9)),
                         Stamped(BuildSimpleSubPacketRequest(1, {1024, 5, 1, true})),
                         Stamped(BuildReadImageRequest(1, {0xFFFFFF, 0xFFFF})), Stamped(BuildQueryIdRequest()),
                         Stamped(BuildSetIdRequest(1, 2)), Stamped(BuildSetBaudRequest(1, 6, true)),
                         BuildOsdFrame(1, 10, 20, 16, osdText)},
                        [](std::span<const std::uint8_t> bytes) {
                            ParseSetPictureRequest(bytes);
                            ParseSetPacketSizeRequest(bytes);
                            IsSubPacketStartRequest(bytes);
                            ParseGetPacketRequest(bytes);
                            if (const auto request = ParseSimpleSubPacketRequest(bytes)) {
                                EXPECT_EQ(bytes.size(), 12u);
                            }
                            if (const auto request = ParseReadImageRequest(bytes)) {
                                EXPECT_LE(request->offset, 0xFFFFFFu);
                            }
                            IsQueryIdRequest(bytes);
                            ParseSetIdRequest(bytes);
                            ParseSetBaudRequest(bytes);
                            if (const auto osd = ParseOsdFrame(bytes)) {
                                EXPECT_EQ(osd->text.size() + 5 + frame::kOverhead, bytes.size());
                            }
                        }});

    families.push_back({"camera id reply",
                        {BuildQueryIdReply(1, 6), BuildQueryIdReply(0xFF, 0x11)},
                        [](std::span<const std::uint8_t> bytes) {
                            if (const auto id = ParseQueryIdReply(bytes)) {
                                EXPECT_EQ(*id, bytes[frame::kIdOffset]);
                            }
                        }});

    families.push_back({"camera text",
                        {{'s', 'e', 'n', 's', 'e', 'r', ' ', 'o', 'k', '\n'}, {'1', '2', '3', '4', '5', '6', '7', '8', '\n'},
                         {0xD6, 0xD0, 0xCE, 0xC4, 0x0A}, {0x01, 0x05, 0x06, 0, 0, 0, 0, 0}, {0x00}},
                        [](std::span<const std::uint8_t> bytes) {
                            const std::string line = CameraTextLine(bytes);
                            const std::string text = FormatCameraText(bytes);
                            EXPECT_LE(line.size(), bytes.size() + 1);
                            EXPECT_LE(text.size(), line.size() + 2);
                            EXPECT_TRUE(test::IsValidUtf8(GbkToUtf8(text)));
                            ContainsTestShotTrigger(bytes);
                        }});

    families.push_back({"code page",
                        {{0xD6, 0xD0, 0xCE, 0xC4}, {'a', 0x81}, {0xA1, 0xA1, 0xFF, 0x80}, {0xE4, 0xB8, 0xAD}},
                        [](std::span<const std::uint8_t> bytes) {
                            const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
                            EXPECT_TRUE(test::IsValidUtf8(GbkToUtf8(text)));
                            if (const auto gbk = Utf8ToGbk(text)) {
                                EXPECT_TRUE(test::IsValidUtf8(text)) << "only valid text has a GBK form";
                            }
                        }});

    families.push_back({"CRC calculator text",
                        {{'9', '0', ' ', 'E', 'B', ' ', '0', '1'}, {'0', 'x', '9', '0', 0xE4, 0xB8, 0xAD, 'e', 'b'}},
                        [](std::span<const std::uint8_t> bytes) {
                            const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
                            const Bytes parsed = HexTextToBytes(text);
                            EXPECT_LE(parsed.size(), kMaxCrcToolBytes);
                            EXPECT_LE(parsed.size() * 2, bytes.size());
                            if (const auto answer = CrcToolAnswer(parsed)) {
                                EXPECT_LE(answer->size(), 4u);
                            }
                        }});
    return families;
}

// No reader of line bytes looks past the bytes it is given, whatever they are.
TEST(DecoderFuzz, StaysWithinAnyInput)
{
    for (const DecoderFamily& family : Families()) {
        Fuzz fuzz(0x5152u);
        for (int i = 0; i < kCases; ++i) {
            const Exact input(fuzz.Case(family.seeds));
            family.decode(input.Span());
            if (::testing::Test::HasFailure()) {
                ADD_FAILURE() << family.name << ", case " << i << " of seed 0x5152";
                return;
            }
        }
    }
}

// The simulator's request reader holds at most one frame, gives out only whole
// frames, and never loses its way however noise and frames are cut.
TEST(DecoderFuzz, FrameAssemblerKeepsItsBoundsOnNoise)
{
    Fuzz fuzz(0xA55Eu);
    const std::vector<Bytes> seeds = {Stamped(BuildSnapshotRequest(1, 5, 1)), Stamped(BuildGetPacketRequest(1, 2)),
                                      BuildOsdFrame(1, 1, 2, 3, Bytes(90, 'x'))};
    for (std::size_t maxPayload : {std::size_t{0}, std::size_t{16}, std::size_t{4096}}) {
        FrameAssembler assembler(maxPayload);
        for (int i = 0; i < kCases; ++i) {
            const Exact input(fuzz.Case(seeds));
            for (const Bytes& frame : assembler.Feed(input.Span())) {
                const auto header = ParseFrameHeader(frame);
                ASSERT_TRUE(header);
                ASSERT_EQ(frame.size(), header->payloadLength + frame::kOverhead);
                ASSERT_LE(header->payloadLength, maxPayload);
                const bool tail = frame[frame.size() - 2] == frame::kTail0 && frame[frame.size() - 1] == frame::kTail1;
                ASSERT_TRUE(tail || HasValidCrc(frame));
            }
            ASSERT_LT(assembler.Buffered(), maxPayload + frame::kOverhead) << "case " << i;
            if (fuzz.OneIn(10))
                assembler.Resync();
        }
    }
}

// --- what a builder made, its reader reads back --------------------------

TEST(DecoderRoundTrip, WholePackagePicture)
{
    Fuzz fuzz(1);
    for (int i = 0; i < kCases; ++i) {
        const std::uint8_t id = fuzz.Byte();
        const Bytes jpeg = fuzz.RandomBytes(i % 10 == 0 ? 3000 : 40);
        const Exact reply(BuildSnapshotReply(id, jpeg));
        ASSERT_TRUE(HasValidCrc(reply.Span()));
        const auto header = ParseSnapshotHeader(reply.Span());
        ASSERT_TRUE(header);
        EXPECT_EQ(header->pictureLength, jpeg.size());
        const auto picture = SnapshotPicture(reply.Span());
        ASSERT_TRUE(picture);
        ASSERT_TRUE(std::equal(picture->begin(), picture->end(), jpeg.begin(), jpeg.end()));

        const std::uint8_t resolution = fuzz.Byte(), quality = fuzz.Byte();
        const Exact request(Stamped(BuildSnapshotRequest(id, resolution, quality)));
        const auto parsed = ParseSnapshotRequest(request.Span());
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->resolution, resolution);
        EXPECT_EQ(parsed->quality, quality);
    }
}

TEST(DecoderRoundTrip, SubPacketFrames)
{
    Fuzz fuzz(2);
    for (int i = 0; i < kCases; ++i) {
        const std::uint8_t id = fuzz.Byte(), a = fuzz.Byte(), b = fuzz.Byte();
        const std::uint16_t word = fuzz.Word(), other = fuzz.Word();
        const std::uint32_t wide = static_cast<std::uint32_t>(fuzz.Engine()());
        const std::uint32_t offset = wide & 0xFFFFFF;

        EXPECT_TRUE(IsSetPictureReply(Exact(BuildSetPictureReply(id, a, b)).Span()));
        const auto setPicture = ParseSetPictureRequest(Exact(Stamped(BuildSetPictureRequest(id, a, b))).Span());
        ASSERT_TRUE(setPicture);
        EXPECT_EQ(setPicture->resolution, a);
        EXPECT_EQ(setPicture->quality, b);

        EXPECT_EQ(ParseSetPacketSizeRequest(Exact(Stamped(BuildSetPacketSizeRequest(id, word))).Span()), word);
        EXPECT_EQ(ParseSetPacketSizeReply(Exact(BuildSetPacketSizeReply(id, word)).Span()), word);

        EXPECT_TRUE(IsSubPacketStartRequest(Exact(Stamped(BuildSubPacketStartRequest(id))).Span()));
        const auto start = ParseSubPacketStartReply(Exact(BuildSubPacketStartReply(id, {wide, word})).Span());
        ASSERT_TRUE(start);
        EXPECT_EQ(start->pictureLength, wide);
        EXPECT_EQ(start->packetCount, word);

        EXPECT_EQ(ParseGetPacketRequest(Exact(Stamped(BuildGetPacketRequest(id, word))).Span()), word);
        const Bytes data = fuzz.RandomBytes(i % 10 == 0 ? 2048 : 64);
        const Exact packetReply(BuildPacketReply(id, word, data));
        const auto packet = ParsePacketReply(packetReply.Span());
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->cameraId, id);
        EXPECT_EQ(packet->packetNumber, word);
        EXPECT_TRUE(packet->crcOk);
        ASSERT_TRUE(std::equal(packet->data.begin(), packet->data.end(), data.begin(), data.end()));

        const SimpleSubPacketRequest simple{word, a, static_cast<std::uint8_t>(b % 100), fuzz.OneIn(2)};
        const auto simpleRequest = ParseSimpleSubPacketRequest(Exact(Stamped(BuildSimpleSubPacketRequest(id, simple))).Span());
        ASSERT_TRUE(simpleRequest);
        EXPECT_EQ(simpleRequest->packetSize, simple.packetSize);
        EXPECT_EQ(simpleRequest->resolution, simple.resolution);
        EXPECT_EQ(simpleRequest->quality, simple.quality);
        EXPECT_EQ(simpleRequest->test, simple.test);
        const auto simpleReply = ParseSimpleSubPacketReply(Exact(BuildSimpleSubPacketReply(id, {offset, word, other})).Span());
        ASSERT_TRUE(simpleReply);
        EXPECT_EQ(simpleReply->pictureSize, offset);
        EXPECT_EQ(simpleReply->packetTotal, word);
        EXPECT_EQ(simpleReply->packetSize, other);

        const auto read = ParseReadImageRequest(Exact(Stamped(BuildReadImageRequest(id, {offset, word}))).Span());
        ASSERT_TRUE(read);
        EXPECT_EQ(read->offset, offset);
        EXPECT_EQ(read->length, word);
        const Exact stretchReply(BuildReadImageReply(id, data));
        const auto stretch = ParseReadImageReply(stretchReply.Span(), data.size());
        ASSERT_TRUE(stretch);
        EXPECT_TRUE(stretch->crcOk);
        ASSERT_TRUE(std::equal(stretch->data.begin(), stretch->data.end(), data.begin(), data.end()));

        const auto ready = ParseImageReadyAnnouncement(Exact(BuildImageReadyAnnouncement(id, offset)).Span());
        ASSERT_TRUE(ready);
        EXPECT_EQ(ready->cameraId, id);
        EXPECT_EQ(ready->pictureSize, offset);
    }
}

TEST(DecoderRoundTrip, CameraIdAndRate)
{
    Fuzz fuzz(3);
    for (int i = 0; i < kCases; ++i) {
        const std::uint8_t id = fuzz.Byte(), other = fuzz.Byte();
        const bool save = fuzz.OneIn(2);
        EXPECT_TRUE(IsQueryIdRequest(Exact(Stamped(BuildQueryIdRequest())).Span()));
        EXPECT_EQ(ParseQueryIdReply(Exact(BuildQueryIdReply(id, other)).Span()), id);
        EXPECT_EQ(ParseSetIdRequest(Exact(Stamped(BuildSetIdRequest(id, other))).Span()), other);
        const auto baud = ParseSetBaudRequest(Exact(Stamped(BuildSetBaudRequest(id, other, save))).Span());
        ASSERT_TRUE(baud);
        EXPECT_EQ(baud->baudCode, other);
        EXPECT_EQ(baud->save, save);
    }
}

TEST(DecoderRoundTrip, OsdText)
{
    Fuzz fuzz(4);
    for (int i = 0; i < kCases; ++i) {
        const int x = static_cast<int>(fuzz.Below(200000)) - 100000;
        const int y = static_cast<int>(fuzz.Below(200000)) - 100000;
        const int size = static_cast<int>(fuzz.Below(1000));
        const Bytes text = fuzz.RandomBytes(kMaxOsdTextBytes);
        const std::uint8_t id = fuzz.Byte();
        const auto osd = ParseOsdFrame(Exact(BuildOsdFrame(id, x, y, size, text)).Span());
        ASSERT_TRUE(osd);
        EXPECT_EQ(osd->cameraId, id);
        EXPECT_EQ(osd->x, (x & 0xFF) | (((x / 256) & 0xFF) << 8));
        EXPECT_EQ(osd->y, (y & 0xFF) | (((y / 256) & 0xFF) << 8));
        EXPECT_EQ(osd->size, size & 0xFF);
        EXPECT_EQ(osd->text, text);
    }
}

// Typed hex, with whatever blanks, commas and letter case, gives the bytes back.
TEST(DecoderRoundTrip, CrcCalculatorText)
{
    Fuzz fuzz(5);
    static constexpr const char* kSeparators[] = {"", " ", ",", "  ", ", ", "\t", "中"};
    for (int i = 0; i < kCases; ++i) {
        const Bytes bytes = fuzz.RandomBytes(kMaxCrcToolBytes);
        std::string text;
        for (std::uint8_t b : bytes) {
            char pair[3];
            std::snprintf(pair, sizeof pair, fuzz.OneIn(2) ? "%02x" : "%02X", b);
            text += pair;
            text += kSeparators[fuzz.Below(std::size(kSeparators))];
        }
        const Exact typed(Bytes(text.begin(), text.end()));
        ASSERT_EQ(HexTextToBytes(typed.Text()), bytes) << text;
    }
}

// Text a camera sends in its code page reads as the same characters.
TEST(DecoderRoundTrip, CodePage)
{
    Fuzz fuzz(6);
    for (int i = 0; i < kCases; ++i) {
        std::string utf8;
        for (std::size_t n = fuzz.Below(30); n > 0; --n) {
            if (fuzz.OneIn(2)) {
                utf8 += static_cast<char>(0x20 + fuzz.Below(0x5F));
            } else {
                // CJK unified ideographs U+4E00 .. U+9FA5 are all in GBK.
                const auto code = static_cast<char32_t>(0x4E00 + fuzz.Below(0x9FA6 - 0x4E00));
                utf8 += static_cast<char>(0xE0 | (code >> 12));
                utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                utf8 += static_cast<char>(0x80 | (code & 0x3F));
            }
        }
        const auto gbk = Utf8ToGbk(utf8);
        ASSERT_TRUE(gbk) << utf8;
        const Exact wire(*gbk);
        ASSERT_EQ(GbkToUtf8(wire.Text()), utf8);
    }
}

// Frames the console sends, cut anywhere and separated by line noise, come out
// of the simulator's reader whole and in order.
TEST(DecoderRoundTrip, FrameStream)
{
    Fuzz fuzz(7);
    for (int round = 0; round < 100; ++round) {
        std::vector<Bytes> sent;
        Bytes stream;
        for (int f = 0; f < 30; ++f) {
            Bytes frame = BuildFrame(fuzz.Byte(), fuzz.Byte(), fuzz.RandomBytes(f % 10 == 0 ? 4096 : 32));
            if (fuzz.OneIn(2))
                StampCrc(frame);
            sent.push_back(frame);
            stream.insert(stream.end(), frame.begin(), frame.end());
            // Noise without a frame head byte cannot start a frame of its own.
            for (std::size_t n = fuzz.Below(5); n > 0; --n)
                stream.push_back(static_cast<std::uint8_t>(fuzz.Below(0x90)));
        }
        FrameAssembler assembler;
        std::vector<Bytes> got;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = std::min(stream.size() - at, 1 + fuzz.Below(700));
            const Exact piece(std::span<const std::uint8_t>(stream).subspan(at, n));
            for (Bytes& frame : assembler.Feed(piece.Span()))
                got.push_back(std::move(frame));
            at += n;
        }
        ASSERT_EQ(got, sent) << "round " << round;
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
        ASSERT_TRUE(HasValidCrc(Exact(frame).Span()));
        const std::size_t at = 2 + fuzz.Below(frame.size() - 2);
        frame[at] ^= static_cast<std::uint8_t>(1 + fuzz.Below(255));
        ASSERT_FALSE(HasValidCrc(Exact(frame).Span())) << "byte " << at << " of " << frame.size();
    }
}

}  // namespace
}  // namespace qzr
