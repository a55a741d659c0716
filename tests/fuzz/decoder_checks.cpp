#include "tests/fuzz/decoder_checks.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <tuple>

#include "protocol/camera_id.h"
#include "protocol/camera_text.h"
#include "protocol/codes.h"
#include "protocol/crc_text.h"
#include "protocol/frame_stream.h"
#include "protocol/osd.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "protocol/text_codec.h"
#include "tests/support/utf8.h"

namespace qzr::fuzz {
namespace {

using test::IsValidUtf8;

// What a decoder hands back points into its input.
bool Within(Span part, Span whole)
{
    const auto begin = reinterpret_cast<std::uintptr_t>(whole.data());
    const auto at = reinterpret_cast<std::uintptr_t>(part.data());
    return part.empty() || (at >= begin && part.size() <= whole.size() && at - begin <= whole.size() - part.size());
}

Bytes Stamped(Bytes frame)
{
    StampCrc(frame);
    return frame;
}

// A request a decoder took is what the builder makes of the fields it read,
// but for the check field.
bool Rebuilds(const Bytes& built, Span input)
{
    return built.size() == input.size() && std::equal(built.begin(), built.end() - 2, input.begin());
}

// Fields a decoder read, built into a reply again, read back the same.
template <class T, class Build, class Parse, class Fields>
bool ReadsBack(const std::optional<T>& read, Build build, Parse parse, Fields fields)
{
    if (!read)
        return true;
    const Bytes built = build(*read);
    const auto again = parse(Span(built));
    return again && fields(*again) == fields(*read);
}

void CheckEnvelope(Span b, Verdict& v)
{
    const auto header = ParseFrameHeader(b);
    QZR_KEEP(v, !header || (b.size() >= frame::kPayloadOffset && HasFrameHead(b) &&
                            header->cameraId == b[frame::kIdOffset] && header->command == b[frame::kCommandOffset] &&
                            header->payloadLength == ReadLe16(b.data() + frame::kLengthOffset)));
    QZR_KEEP(v, HasFrameHead(b) == (b.size() >= 2 && b[0] == frame::kHead0 && b[1] == frame::kHead1));
    QZR_KEEP(v, !HasValidCrc(b) || b.size() >= 4);
    FrameCrc(b.data(), b.size());
    // Stamped, any frame checks; then any one byte after the head changed, it does not.
    if (b.size() >= 4) {
        Bytes frame = Stamped(Bytes(b.begin(), b.end()));
        QZR_KEEP(v, HasValidCrc(frame));
        frame[2 + b[0] % (b.size() - 2)] ^= static_cast<std::uint8_t>(1 + b[1] % 255);
        QZR_KEEP(v, !HasValidCrc(frame));
    }
    const auto id = ParseQueryIdReply(b);
    QZR_KEEP(v, !id || *id == b[frame::kIdOffset]);
    QZR_KEEP(v, ReadsBack(id, [](auto i) { return BuildQueryIdReply(i, 6); }, ParseQueryIdReply,
                          [](auto i) { return i; }));
}

void CheckWholePackage(Span b, Verdict& v)
{
    const auto header = ParseSnapshotHeader(b);
    QZR_KEEP(v, !header || (IsSnapshotReplyHead(b) && header->pictureLength == ReadLe24(b.data() + 4)));
    if (const auto picture = SnapshotPicture(b)) {
        QZR_KEEP(v, header && picture->size() == header->pictureLength &&
                        b.size() == SnapshotReplyLength(header->pictureLength) && Within(*picture, b));
        QZR_KEEP(v, !HasValidCrc(b) || BuildSnapshotReply(b[frame::kIdOffset], *picture) == Bytes(b.begin(), b.end()));
    }
    if (const auto request = ParseSnapshotRequest(b))
        QZR_KEEP(v, Rebuilds(BuildSnapshotRequest(b[frame::kIdOffset], request->resolution, request->quality), b));
}

void CheckSubPacketReplies(Span b, Verdict& v)
{
    const std::uint8_t id = b.size() > frame::kIdOffset ? b[frame::kIdOffset] : 0;
    QZR_KEEP(v, !IsSetPictureReply(b) || b.size() == subpacket::kControlReplyLength);
    QZR_KEEP(v, !ParseSetPacketSizeReply(b) || b.size() == subpacket::kControlReplyLength);
    QZR_KEEP(v, !ParseSubPacketStartReply(b) || b.size() == subpacket::kStartReplyLength);
    QZR_KEEP(v, !ParseSimpleSubPacketReply(b) || b.size() == subpacket::kSimpleReplyLength);
    QZR_KEEP(v, !ParseImageReadyAnnouncement(b) || b.size() == subpacket::kImageReadyLength);
    QZR_KEEP(v, ReadsBack(ParseSetPacketSizeReply(b), [&](auto s) { return BuildSetPacketSizeReply(id, s); },
                          ParseSetPacketSizeReply, [](auto s) { return s; }));
    QZR_KEEP(v, ReadsBack(ParseSubPacketStartReply(b), [&](auto s) { return BuildSubPacketStartReply(id, s); },
                          ParseSubPacketStartReply, [](auto s) { return std::tuple(s.pictureLength, s.packetCount); }));
    QZR_KEEP(v, ReadsBack(ParseSimpleSubPacketReply(b), [&](auto s) { return BuildSimpleSubPacketReply(id, s); },
                          ParseSimpleSubPacketReply,
                          [](auto s) { return std::tuple(s.pictureSize, s.packetTotal, s.packetSize); }));
    QZR_KEEP(v, ReadsBack(ParseImageReadyAnnouncement(b),
                          [](auto r) { return BuildImageReadyAnnouncement(r.cameraId, r.pictureSize); },
                          ParseImageReadyAnnouncement, [](auto r) { return std::tuple(r.cameraId, r.pictureSize); }));
    IsPacketReplyHead(b, id);
    if (b.size() >= subpacket::kPacketDataOffset) {  // the reader takes these fields from nine bytes on
        PacketSizeField(b);
        PacketNumberField(b);
    }
    if (const auto reply = ParsePacketReply(b)) {
        QZR_KEEP(v, reply->data.size() == b.size() - subpacket::kPacketOverhead && Within(reply->data, b));
        QZR_KEEP(v, reply->crcOk == HasValidCrc(b));
        const Bytes built = BuildPacketReply(reply->cameraId, reply->packetNumber, reply->data);
        const auto again = ParsePacketReply(built);
        QZR_KEEP(v, again && again->crcOk && again->packetNumber == reply->packetNumber &&
                        std::ranges::equal(again->data, reply->data));
    }
    // The stretch length the console asked for may be anything, the largest sizes included.
    for (std::size_t length : {b.size() - std::min<std::size_t>(b.size(), subpacket::kStretchOverhead), b.size(),
                               std::size_t{0}, std::size_t{0xFFFF}, SIZE_MAX - 7, SIZE_MAX - 1, SIZE_MAX}) {
        if (const auto stretch = ParseReadImageReply(b, length)) {
            QZR_KEEP(v, stretch->data.size() == length && Within(stretch->data, b));
            const Bytes built = BuildReadImageReply(id, stretch->data);
            const auto again = ParseReadImageReply(built, length);
            QZR_KEEP(v, again && again->crcOk && std::ranges::equal(again->data, stretch->data));
        }
    }
}

void CheckRequests(Span b, Verdict& v)
{
    const std::uint8_t id = b.size() > frame::kIdOffset ? b[frame::kIdOffset] : 0;
    if (const auto r = ParseSetPictureRequest(b))
        QZR_KEEP(v, Rebuilds(BuildSetPictureRequest(id, r->resolution, r->quality), b));
    if (const auto size = ParseSetPacketSizeRequest(b))
        QZR_KEEP(v, Rebuilds(BuildSetPacketSizeRequest(id, *size), b));
    if (IsSubPacketStartRequest(b))
        QZR_KEEP(v, Rebuilds(BuildSubPacketStartRequest(id), b));
    if (const auto number = ParseGetPacketRequest(b))
        QZR_KEEP(v, Rebuilds(BuildGetPacketRequest(id, *number), b));
    if (const auto r = ParseSimpleSubPacketRequest(b))
        QZR_KEEP(v, Rebuilds(BuildSimpleSubPacketRequest(id, *r), b));
    const auto read = ParseReadImageRequest(b);
    QZR_KEEP(v, !read || read->offset <= 0xFFFFFFu);
    QZR_KEEP(v, ReadsBack(read, [&](auto r) { return BuildReadImageRequest(id, r); }, ParseReadImageRequest,
                          [](auto r) { return std::tuple(r.offset, r.length); }));
    IsQueryIdRequest(b);
    if (const auto newId = ParseSetIdRequest(b))
        QZR_KEEP(v, Rebuilds(BuildSetIdRequest(id, *newId), b));
    if (const auto r = ParseSetBaudRequest(b))
        QZR_KEEP(v, Rebuilds(BuildSetBaudRequest(id, r->baudCode, r->save), b));
    if (const auto osd = ParseOsdFrame(b))
        QZR_KEEP(v, Rebuilds(BuildOsdFrame(osd->cameraId, osd->x, osd->y, osd->size, osd->text), b));
}

// The simulator's request reader on the input cut into pieces: it holds at
// most one frame, hands out only whole frames, and gives back a frame fed whole.
void CheckRequestReader(Span b, Verdict& v)
{
    if (b.empty())
        return;
    // The first byte sets the piece size and the largest payload.
    const std::size_t piece = 1 + b[0] % 64, maxPayload = b[0] < 128 ? 4096 : b[0] % 32;
    FrameAssembler assembler(maxPayload);
    const auto checkFrames = [&](const std::vector<Bytes>& frames) {
        for (const Bytes& frame : frames) {
            const auto header = ParseFrameHeader(frame);
            QZR_KEEP(v, header && header->payloadLength <= maxPayload &&
                            frame.size() == header->payloadLength + frame::kOverhead);
            const bool tail = frame[frame.size() - 2] == frame::kTail0 && frame.back() == frame::kTail1;
            QZR_KEEP(v, tail || HasValidCrc(frame));
        }
        QZR_KEEP(v, assembler.Buffered() < maxPayload + frame::kOverhead);
    };
    for (std::size_t at = 1; at < b.size(); at += piece)
        checkFrames(assembler.Feed(b.subspan(at, std::min(piece, b.size() - at))));
    checkFrames(assembler.Resync());
    const Bytes whole = Stamped(BuildFrame(1, 0x02, b.subspan(1, std::min(b.size() - 1, maxPayload))));
    QZR_KEEP(v, FrameAssembler(maxPayload).Feed(whole) == std::vector<Bytes>{whole});
}

// Text off the line and typed text: camera text in any bytes shows as valid
// UTF-8, the CRC calculator takes at most its 64 bytes, text in the camera's
// code page reads back as the same characters.
void CheckText(Span b, Verdict& v)
{
    const std::string_view text(reinterpret_cast<const char*>(b.data()), b.size());
    const std::string line = CameraTextLine(b), shown = FormatCameraText(b);
    QZR_KEEP(v, line.size() <= b.size() + 1 && shown.size() <= line.size() + 2);
    QZR_KEEP(v, IsValidUtf8(GbkToUtf8(shown)) && IsValidUtf8(GbkToUtf8(text)));
    QZR_KEEP(v, !Utf8ToGbk(text) || IsValidUtf8(text));
    ContainsTestShotTrigger(b);
    BaudCodeFromText(text);
    ResolutionCodeFromText(text);
    QualityCodeFromText(text);
    const Bytes typed = HexTextToBytes(text);
    QZR_KEEP(v, typed.size() <= kMaxCrcToolBytes && typed.size() * 2 <= b.size());
    QZR_KEEP(v, CrcToolAnswer(typed).value_or("").size() <= 4);

    // Printable ASCII and CJK unified ideographs U+4E00 .. U+9FA5, all of them in GBK.
    std::string utf8;
    for (std::size_t i = 0; i + 1 < b.size() && i < 60; i += 2) {
        const unsigned code = b[i] < 0x80 ? 0x20 + b[i] % 0x5F : 0x4E00 + (b[i] << 8 | b[i + 1]) % (0x9FA6 - 0x4E00);
        if (code < 0x80)
            utf8 += static_cast<char>(code);
        else
            utf8 += {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                     static_cast<char>(0x80 | (code & 0x3F))};
    }
    const auto gbk = Utf8ToGbk(utf8);
    QZR_KEEP(v, gbk && GbkToUtf8(std::string_view(reinterpret_cast<const char*>(gbk->data()), gbk->size())) == utf8);
}

}  // namespace

const std::vector<DecoderFamily>& DecoderFamilies()
{
    static const std::vector<DecoderFamily> families = [] {
        const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0xFF, 0xD9};
        const Bytes packet = {1, 2, 3, 4, 5, 6, 7, 8}, osdText = {'Q', 'Z', 'R', 0xD6, 0xD0};
        const std::vector<Bytes> requests = {
            Stamped(BuildSetPictureRequest(1, 5, 1)), Stamped(BuildSetPacketSizeRequest(1, 512)),
            Stamped(BuildSubPacketStartRequest(1)), Stamped(BuildGetPacketRequest(1, 9)),
            Stamped(BuildSimpleSubPacketRequest(1, {1024, 5, 1, true})),
            Stamped(BuildReadImageRequest(1, {0xFFFFFF, 0xFFFF})), Stamped(BuildQueryIdRequest()),
            Stamped(BuildSetIdRequest(1, 2)), Stamped(BuildSetBaudRequest(1, 6, true)),
            BuildOsdFrame(1, 10, 20, 16, osdText), BuildOsdFrame(1, 70000, -1, 300, {})};
        // The reader's input: a byte of settings (pieces of 6, payloads up to 4096), then frames.
        Bytes stream = {0x05};
        for (const Bytes& frame : {requests[0], requests[9], Stamped(BuildSnapshotRequest(1, 5, 1))})
            stream.insert(stream.end(), frame.begin(), frame.end());
        return std::vector<DecoderFamily>{
            {"frame envelope and camera id reply",
             {Stamped(BuildFrame(1, 0x51)), BuildFrame(7, 0x07, packet), BuildQueryIdReply(0xFF, 0x11)},
             CheckEnvelope},
            {"whole-package picture",
             {BuildSnapshotReply(1, jpeg), BuildSnapshotReply(1, {}), Stamped(BuildSnapshotRequest(1, 5, 1))},
             CheckWholePackage},
            {"sub-packet replies",
             {BuildSetPictureReply(1, 5, 1), BuildSetPacketSizeReply(1, 512), BuildSubPacketStartReply(1, {2000, 4}),
              BuildPacketReply(1, 3, packet), BuildPacketReply(1, 0, {}),
              BuildSimpleSubPacketReply(1, {70000, 69, 1024}), BuildReadImageReply(1, packet),
              BuildReadImageReply(1, {}), BuildImageReadyAnnouncement(1, 0xFFFFFF)},
             CheckSubPacketReplies},
            {"requests the simulator reads", requests, CheckRequests},
            {"the simulator's request reader", {stream, {0xC4, 0x90, 0xEB}}, CheckRequestReader},
            {"camera text, code page and typed hex",
             {{'s', 'e', 'n', 's', 'e', 'r', ' ', 'o', 'k', '\n'}, {'1', '2', '3', '4', '5', '6', '7', '8', '\n'},
              {0x00}, {0xD6, 0xD0, 0xCE, 0xC4, 0x0A}, {0x01, 0x05, 0x06, 0, 0, 0, 0, 0}, {'a', 0x81},
              {0xA1, 0xA1, 0xFF, 0x80}, {0xE4, 0xB8, 0xAD}, {'9', '0', ' ', 'E', 'B', ' ', '0', '1'},
              {'0', 'x', '9', '0', 0xE4, 0xB8, 0xAD, 'e', 'b'}, Bytes(150, 'a') /* past the calculator's 64 bytes */},
             CheckText},
        };
    }();
    return families;
}

Bytes Damage::RandomBytes(std::size_t maxLength)
{
    Bytes bytes(Below(maxLength + 1));
    for (auto& b : bytes)
        b = Byte();
    return bytes;
}

Bytes Damage::Case(const std::vector<Bytes>& seeds)
{
    if (OneIn(6))
        return RandomBytes(48);
    Bytes bytes = seeds[Below(seeds.size())];
    if (OneIn(8))
        return bytes;
    for (std::size_t faults = 1 + Below(4); faults > 0; --faults)
        Apply(bytes);
    // Now and then the length field and the CRC are made to fit what is left,
    // as a camera that builds a wrong frame well would: only the fields are wrong.
    if (bytes.size() >= frame::kOverhead && OneIn(3)) {
        bytes[frame::kLengthOffset] = static_cast<std::uint8_t>((bytes.size() - frame::kOverhead) & 0xFF);
        bytes[frame::kLengthOffset + 1] = static_cast<std::uint8_t>(((bytes.size() - frame::kOverhead) >> 8) & 0xFF);
        StampCrc(bytes);
    }
    return bytes;
}

void Damage::Apply(Bytes& bytes)
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

}  // namespace qzr::fuzz
