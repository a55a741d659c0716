#include "tests/fuzz/decoder_checks.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/burst.h"
#include "protocol/camera_id.h"
#include "protocol/camera_text.h"
#include "protocol/codes.h"
#include "protocol/commands.h"
#include "protocol/crc_text.h"
#include "protocol/firmware.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "protocol/motion.h"
#include "protocol/quick_shot.h"
#include "protocol/serial_number.h"
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

std::uint8_t IdOf(Span b) { return b.size() > frame::kIdOffset ? b[frame::kIdOffset] : 0; }

// Field values taken from the input in turn, so that built replies are read back for any values.
struct Fields {
    Span b;
    std::size_t next = 0;
    std::uint8_t Byte() { return b.empty() ? 0 : b[next++ % b.size()]; }
    bool Flag() { return Byte() & 1; }
    std::uint16_t Word()
    {
        const std::uint8_t low = Byte();
        return static_cast<std::uint16_t>(low | Byte() << 8);
    }
    std::uint32_t Long()
    {
        const std::uint16_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
};

void CheckEnvelope(Span b, Verdict& v)
{
    const auto header = ParseFrameHeader(b);
    QZR_KEEP(v, !header || (HasFrameHead(b) && header->payloadLength == LengthField(b)));
    const Span payload = ReplyPayload(b);
    QZR_KEEP(v, Within(payload, b) && payload.size() == b.size() - std::min(b.size(), frame::kOverhead));
    HasJpegStart(b);
    // Stamped, any frame checks; then any one byte after the head changed, it does not.
    if (b.size() >= 4) {
        Bytes frame = Stamped(Bytes(b.begin(), b.end()));
        QZR_KEEP(v, HasValidCrc(frame) && CarriedCrc(frame) == FrameCrc(frame.data(), frame.size()));
        frame[2 + b[0] % (b.size() - 2)] ^= static_cast<std::uint8_t>(1 + b[1] % 255);
        QZR_KEEP(v, !HasValidCrc(frame));
    }
    const auto id = ParseQueryIdReply(b);
    QZR_KEEP(v, !id || *id == b[frame::kIdOffset]);
    Fields f{b};
    const std::uint8_t cameraId = f.Byte();
    QZR_KEEP(v, ParseQueryIdReply(BuildQueryIdReply(cameraId, f.Byte())) == cameraId);
}

void CheckWholePackage(Span b, Verdict& v)
{
    const auto header = ParseSnapshotHeader(b);
    QZR_KEEP(v, !header || IsSnapshotReplyHead(b));
    const auto picture = SnapshotPicture(b);
    if (picture) {
        QZR_KEEP(v, header && picture->size() == header->pictureLength &&
                        b.size() == SnapshotReplyLength(header->pictureLength) && Within(*picture, b));
        QZR_KEEP(v, !HasValidCrc(b) || BuildSnapshotReply(b[frame::kIdOffset], *picture) == Bytes(b.begin(), b.end()));
    }
    // Read as gathered across reads, whatever its head: complete once the
    // length it announces is there, and then the picture a whole reply shows.
    const auto gathered = ReadGatheredSnapshot(b);
    QZR_KEEP(v, gathered.has_value() == (b.size() >= snapshot::kOverhead));
    if (gathered) {
        QZR_KEEP(v, gathered->pictureLength == ReadLe24(b.data() + snapshot::kLengthOffset) &&
                        gathered->complete == (b.size() >= SnapshotReplyLength(gathered->pictureLength)));
        QZR_KEEP(v, !gathered->complete ||
                        (gathered->picture.size() == gathered->pictureLength && Within(gathered->picture, b)));
        QZR_KEEP(v, !picture || (gathered->complete && gathered->picture.data() == picture->data()));
    }
    // A JPEG start where the length belongs is what a header would read as 0xFFD8FF.
    QZR_KEEP(v, !SnapshotLengthMissing(b) || !header || header->pictureLength == 0xFFD8FF);

    // The input as a picture, built and read back.
    Fields f{b};
    const Bytes reply = BuildSnapshotReply(f.Byte(), b);
    const auto whole = SnapshotPicture(reply);
    QZR_KEEP(v, HasValidCrc(reply) && whole && std::ranges::equal(*whole, b));
    const Span cut = Span(reply).first(reply.size() - 1);
    const auto partial = ReadGatheredSnapshot(cut);
    QZR_KEEP(v, !SnapshotPicture(cut) && (b.empty() ? !partial
                                                    : partial && !partial->complete && partial->pictureLength == b.size()));
}

void CheckSubPacketReplies(Span b, Verdict& v)
{
    // Each reply has its size and its command.
    const auto is = [&](std::size_t size, std::uint8_t command) {
        return b.size() == size && HasFrameHead(b) && b[frame::kCommandOffset] == command;
    };
    QZR_KEEP(v, !IsSetPictureReply(b) || is(subpacket::kControlReplyLength, CMD_SET_PICTURE));
    QZR_KEEP(v, !ParseSetPacketSizeReply(b) || is(subpacket::kControlReplyLength, CMD_SET_PACKET_SIZE));
    QZR_KEEP(v, !ParseSubPacketStartReply(b) || is(subpacket::kStartReplyLength, CMD_SUBPACKET_START));
    QZR_KEEP(v, !ParseSimpleSubPacketReply(b) || is(subpacket::kSimpleReplyLength, CMD_SIMPLE_SUBPACKET));
    QZR_KEEP(v, !ParseImageReadyAnnouncement(b) || is(subpacket::kImageReadyLength, CMD_IMAGE_READY));
    IsPacketReplyHead(b, IdOf(b));
    if (b.size() >= subpacket::kPacketDataOffset) {  // the reader takes these fields from nine bytes on
        PacketSizeField(b);
        PacketNumberField(b);
    }
    if (const auto reply = ParsePacketReply(b))
        QZR_KEEP(v, reply->data.size() == b.size() - subpacket::kPacketOverhead && Within(reply->data, b) &&
                        reply->crcOk == HasValidCrc(b));
    // The stretch length the console asked for may be anything, the largest sizes included.
    for (std::size_t length : {b.size() - std::min<std::size_t>(b.size(), subpacket::kStretchOverhead), b.size(),
                               std::size_t{0}, std::size_t{0xFFFF}, SIZE_MAX - 7, SIZE_MAX - 1, SIZE_MAX})
        if (const auto stretch = ParseReadImageReply(b, length))
            QZR_KEEP(v, stretch->data.size() == length && Within(stretch->data, b) &&
                            stretch->data.data() == b.data() + subpacket::kStretchDataOffset &&
                            stretch->crcOk == HasValidCrc(b));

    // Replies built of the input's fields, and of the input as data, read back.
    Fields f{b};
    const std::uint8_t id = f.Byte();
    const std::uint16_t size = f.Word(), total = f.Word();
    const std::uint32_t length = f.Long(), size24 = f.Long() & 0xFFFFFF;
    QZR_KEEP(v, IsSetPictureReply(BuildSetPictureReply(id, f.Byte(), f.Byte())));
    QZR_KEEP(v, ParseSetPacketSizeReply(BuildSetPacketSizeReply(id, size)) == size);
    QZR_KEEP(v, ParseSubPacketStartReply(BuildSubPacketStartReply(id, {length, total})) == SubPacketStart{length, total});
    const SimpleSubPacketReply simple{size24, total, size};
    QZR_KEEP(v, ParseSimpleSubPacketReply(BuildSimpleSubPacketReply(id, simple)) == simple);
    QZR_KEEP(v, ParseImageReadyAnnouncement(BuildImageReadyAnnouncement(id, size24)) == ImageReady{id, size24});
    const Bytes packet = BuildPacketReply(id, size, b);
    const auto again = ParsePacketReply(packet);
    QZR_KEEP(v, again && again->crcOk && again->cameraId == id && again->packetNumber == size &&
                    std::ranges::equal(again->data, b) && IsPacketReplyHead(packet, id));
    // A stretch is read as long as it was asked for; a shorter one not at all.
    const Bytes stretch = BuildReadImageReply(id, b);
    for (std::size_t asked = 0; asked <= b.size() + 1; asked += 1 + b.size() / 3) {
        const auto read = ParseReadImageReply(stretch, asked);
        QZR_KEEP(v, asked > b.size() ? !read : read && read->crcOk && std::ranges::equal(read->data, b.first(asked)));
    }
}

// Serial number and production date, the notice, and the model reply.
void CheckConfiguration(Span b, Verdict& v)
{
    const auto serial = ParseSerialNumberReply(b);
    QZR_KEEP(v, !serial || (b.size() == kSerialNumberReplyLength && b[frame::kCommandOffset] == CMD_QUERY_SERIAL &&
                            serial->year < 99 && serial->month < 13 && serial->day < 32));
    const auto model = ParseModelReply(b);
    QZR_KEEP(v, !model || (b.size() == kModelReplyLength && b[frame::kCommandOffset] == CMD_MODEL_REPLY &&
                           *model == ModelReply{b[9], b[10], b[11]}));
    QZR_KEEP(v, !ContainsProductionDateNotice(b) || b.size() >= 9);

    Fields f{b};
    const std::uint8_t cameraId = f.Byte(), code = f.Byte(), mode = f.Byte();
    // The notice's eight bytes are found at the end of a read too, once it holds nine.
    const Bytes notice = BuildProductionDateNotice(cameraId);
    Bytes ending(b.begin(), b.end());
    ending.insert(ending.end(), notice.begin(), notice.begin() + 8);
    QZR_KEEP(v, ContainsProductionDateNotice(ending) == !b.empty() && ContainsProductionDateNotice(notice));
    // A date out of range is built as given and read as no reply.
    const SerialNumberReply sent{f.Long(), f.Byte(), f.Byte(), f.Byte(), f.Flag()};
    const auto read = ParseSerialNumberReply(BuildSerialNumberReply(cameraId, sent));
    QZR_KEEP(v, sent.year < 99 && sent.month < 13 && sent.day < 32 ? read == sent : !read);
    QZR_KEEP(v, ParseModelReply(BuildModelReply(cameraId, code, mode)) == ModelReply{code, code, mode});
}

// The alarm a camera raises, and bytes shown as hex.
void CheckMotion(Span b, Verdict& v)
{
    const auto alarm = ParseMotionAlarm(b);
    QZR_KEEP(v, !alarm || (b.size() == motion::kAlarmLength && b[frame::kCommandOffset] == CMD_MOTION_ALARM &&
                           *alarm == b[frame::kIdOffset]));
    QZR_KEEP(v, SpacedHexText(b).size() == 3 * b.size());

    QZR_KEEP(v, ParseMotionAlarm(BuildMotionAlarm(IdOf(b))) == IdOf(b));
}

// The replies the burst test window reads: its state and the file list.
void CheckBurst(Span b, Verdict& v)
{
    QZR_KEEP(v, ParseBurstState(b) == (b.size() > burst::kStatusOffset ? std::optional(b[7]) : std::nullopt));
    QZR_KEEP(v, IsExactlyOneFrame(b) == (b.size() > 6 && b.size() == LengthField(b) + frame::kOverhead));
    // The names of a list, built again, are read back as they were (cut to a name's length).
    std::vector<std::string> names, again;
    for (const Span entry : FileListEntries(b)) {
        const std::string_view name = FileEntryText(entry);
        QZR_KEEP(v, entry.size() == burst::kEntryLength && Within(entry, b) && name.size() <= entry.size());
        names.emplace_back(name.substr(0, burst::kNameLength));
    }
    QZR_KEEP(v, names.size() <= LengthField(b) / burst::kEntryLength);
    const Bytes list = BuildFileListReply(IdOf(b), names);
    for (const Span entry : FileListEntries(list))
        again.emplace_back(FileEntryText(entry));
    QZR_KEEP(v, again == names && IsExactlyOneFrame(list) && HasValidCrc(list));

    Fields f{b};
    const std::uint8_t cameraId = f.Byte(), state = f.Byte();
    QZR_KEEP(v, ParseBurstState(BuildBurstStatus(cameraId, state, f.Byte())) == state);
}

// The camera's firmware upgrade requests, gathered across reads as the console gathers them.
void CheckFirmware(Span b, Verdict& v)
{
    // The reads: the first byte sets their size, the second the console's id.
    if (b.size() >= 2) {
        const std::size_t piece = 1 + b[0] % 48;
        UpgradeRequestGatherer gatherer;
        for (std::size_t at = 2; at < b.size(); at += piece) {
            gatherer.Offer(b.subspan(at, std::min(piece, b.size() - at)));
            const Span gathered = gatherer.Gathered();
            QZR_KEEP(v, gathered.size() < upgrade::kRequestBufferSize);
            // An id of 0xFF stands for one above 255, which no camera has.
            const UpgradeRequest request = ReadUpgradeRequest(gathered, b[1] == 0xFF ? 256 : b[1]);
            const std::size_t total = LengthField(gathered) + frame::kOverhead;
            // It waits for more only while the request can still fit.
            QZR_KEEP(v, request.state != UpgradeRequestState::Incomplete ||
                            (gathered.size() < total && total < upgrade::kRequestBufferSize));
            if (request.state == UpgradeRequestState::Complete)
                QZR_KEEP(v, b[1] != 0xFF && gathered.size() >= total &&
                                request.command == gathered[frame::kCommandOffset] &&
                                request.crcOk == HasValidCrc(gathered.first(total)));
        }
    }

    Fields f{b};
    const std::uint8_t cameraId = f.Byte();
    const std::uint16_t index = f.Word();
    // A request split in two reads, the head in the first, is gathered whole;
    // an empty read changes nothing.
    for (const Bytes& request : {BuildUpgradeRequest(cameraId, index), BuildUpgradeDone(cameraId, index)}) {
        UpgradeRequestGatherer gatherer;
        const std::size_t split = 2 + index % (request.size() - 2);
        for (const Span chunk : {Span(request).first(split), Span{}, Span(request).subspan(split)})
            gatherer.Offer(chunk);
        const UpgradeRequest got = ReadUpgradeRequest(gatherer.Gathered(), cameraId);
        QZR_KEEP(v, got.state == UpgradeRequestState::Complete && got.crcOk && got.index == index &&
                        got.command == request[frame::kCommandOffset]);
    }
}

// The lens status a camera answers with.
void CheckLens(Span b, Verdict& v)
{
    const auto status = ParseLensStatus(b);
    QZR_KEEP(v, !status || (b.size() == lens::kStatusLength && b[frame::kCommandOffset] == CMD_LENS_STATUS &&
                            *status == LensStatus{b[6], b[7], b[8], b[9]}));
    Fields f{b};
    const std::uint8_t cameraId = f.Byte(), zoom = f.Byte(), focus = f.Byte();
    QZR_KEEP(v, ParseLensStatus(BuildLensStatus(cameraId, zoom, focus)) == LensStatus{zoom, zoom, focus, focus});
}

// Camera text in any bytes shows as UTF-8; the CRC calculator takes at most 64 bytes; the
// camera's code page reads back as the same characters.
void CheckText(Span b, Verdict& v)
{
    const std::string_view text(reinterpret_cast<const char*>(b.data()), b.size());
    const std::string line = CameraTextLine(b), shown = FormatCameraText(b);
    QZR_KEEP(v, line.size() <= b.size() + 1 && shown.size() <= line.size() + 2);
    QZR_KEEP(v, IsValidUtf8(GbkToUtf8(shown)) && IsValidUtf8(GbkToUtf8(text)));
    QZR_KEEP(v, !Utf8ToGbk(text) || IsValidUtf8(text));
    ContainsTestShotTrigger(b);
    // A focus value is shown where the line has digits, and a value's own line reads back.
    QZR_KEEP(v, FocusValueOfLine(b).has_value() == (line.find_first_of("0123456789") != std::string::npos));
    Fields f{b};
    const std::uint64_t value = static_cast<std::uint64_t>(f.Long()) << 32 | f.Long();
    QZR_KEEP(v, FocusValueOfLine(BuildFocusValueLine(value)) == value);
    BaudCodeFromText(text);
    ResolutionCodeFromText(text);
    QualityCodeFromText(text);
    const Bytes typed = HexTextToBytes(text);
    QZR_KEEP(v, typed.size() <= kMaxCrcToolBytes && typed.size() * 2 <= b.size());
    QZR_KEEP(v, CrcToolAnswer(typed).value_or("").size() <= 4);
    // A model name typed is set by its code; a reply names that code by the same name.
    if (const auto code = ModelCodeOfName(text))
        QZR_KEEP(v, ModelReplyText(*code).value_or(" " + std::string(text)) == " " + std::string(text));
    ModelReplyText(b.empty() ? 0 : b[0]);

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
    // The console's own requests among the seeds are lookalikes of the replies:
    // each family meets every family's seeds.
    static const std::vector<DecoderFamily> families = [] {
        const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0xFF, 0xD9};
        const Bytes packet = {1, 2, 3, 4, 5, 6, 7, 8};
        MotionAreaMap area;
        area.At(0, 0) = area.At(8, 11) = 1;
        // The gatherer's input: reads of 5 bytes for camera 1, a request and the
        // done frame, then a stream of noise longer than the gathering buffer.
        Bytes reads = {0x04, 0x01};
        for (const Bytes& frame : {BuildUpgradeRequest(1, 3), BuildUpgradeDone(1, 100)})
            reads.insert(reads.end(), frame.begin(), frame.end());
        Bytes flood = {0x2F, 0x01, 0x90, 0xEB, 0x01, 0x90, 0xFF, 0x00};
        flood.resize(300, 0x55);
        return std::vector<DecoderFamily>{
            {"frame envelope and camera id reply",
             {Stamped(BuildFrame(1, 0x51)), BuildFrame(7, 0x07, packet), BuildQueryIdReply(0xFF, 0x11)},
             CheckEnvelope},
            {"whole-package picture",
             {BuildSnapshotReply(1, jpeg), BuildSnapshotReply(1, {}), Stamped(BuildSnapshotRequest(1, 5, 1)),
              Bytes{0x90, 0xEB, 0x01, 0x02, 0xFF, 0xD8, 0xFF, 0xE0, 0x00} /* no length */},
             CheckWholePackage},
            {"sub-packet replies",
             {BuildSetPictureReply(1, 5, 1), BuildSetPacketSizeReply(1, 512), BuildSubPacketStartReply(1, {2000, 4}),
              BuildPacketReply(1, 3, packet), BuildPacketReply(1, 0, {}),
              BuildSimpleSubPacketReply(1, {70000, 69, 1024}), BuildReadImageReply(1, packet),
              BuildReadImageReply(1, {}), BuildImageReadyAnnouncement(1, 0xFFFFFF)},
             CheckSubPacketReplies},
            {"serial number, production date and model",
             {Stamped(BuildSerialNumberQuery(1)), BuildSerialNumberReply(1, {0xFFFFFFFF, 98, 12, 31, false}),
              BuildProductionDateNotice(1), Bytes{0x00, 0x90, 0xEB, 0x05, 0xF1, 0x00, 0x00, 0xF1, 0xF1},
              Stamped(BuildModelQuery(1)), BuildModelReply(1, 0x5C, 0xFF), Stamped(BuildSetModelRequest(1, 0x22)),
              Stamped(BuildSetFunctionRequest(1, 3)), Stamped(BuildBatchSettingRequest(1, {true, false, true, 0x33, 4}))},
             CheckConfiguration},
            {"motion alarm",
             {BuildMotionAreaFrame(1, {80, 3, 4}, area), Stamped(BuildMotionAreaFrame(2, {}, {})), BuildMotionAlarm(7)},
             CheckMotion},
            {"burst state and file list",
             {BuildBurstShootRequest(1, {5, 2, 5, 3, {2026, 3, 5, 14, 7, 9}}), BuildListFilesRequest(1, {20, true, {}}),
              BuildListFilesRequest(1, {3, false, CameraTime{2026, 3, 5, 14, 7, 9}}),
              BuildGetFileRequest(1, {1024, "20260305140709_01"}), BuildQuickSnapshotRequest(),
              BuildBurstStatus(1, burst::kFinished, 5),
              BuildFileListReply(1, std::vector<std::string>{"20260305140709_01", "x"})},
             CheckBurst},
            {"firmware upgrade requests",
             {Stamped(BuildUpgradeStart(1, {3, 1808})), BuildUpgradePacket(1, 2, packet), BuildUpgradePacket(1, 0, {}),
              reads, flood},
             CheckFirmware},
            {"lens status",
             {Stamped(BuildZoomRequest(1, 100)), Stamped(BuildCheckLensRequest(1)), BuildFocusRequest(1),
              BuildZoomResetRequest(1), Stamped(BuildFocusResetRequest(1)), Stamped(BuildFocusValueRequest(1)),
              BuildLedRequest(1, true), BuildLightRequest(1, false), Stamped(BuildAutoFocusRequest(1, true)),
              BuildTestPattern(1, true), Stamped(BuildModelCancelRequest(1)), BuildLensStatus(1, 0x32, 0xFA),
              BuildLensDoneReply(1, CMD_ZOOM_RESET_DONE)},
             CheckLens},
            {"camera text, code page and typed hex",
             {{'s', 'e', 'n', 's', 'e', 'r', ' ', 'o', 'k', '\n'}, {'1', '2', '3', '4', '5', '6', '7', '8', '\n'},
              {0x00}, {0xD6, 0xD0, 0xCE, 0xC4, 0x0A}, {0x01, 0x05, 0x06, 0, 0, 0, 0, 0}, {'a', 0x81},
              {0xA1, 0xA1, 0xFF, 0x80}, {0xE4, 0xB8, 0xAD}, {'9', '0', ' ', 'E', 'B', ' ', '0', '1'},
              {'0', 'x', '9', '0', 0xE4, 0xB8, 0xAD, 'e', 'b'}, {'Q', 'Z', 'R', '-', 'M', '2'},
              {'Q', 'Z', 'R', '-', 'J', 'C'}, {'9', '8', '7', ',', '6', '5', '4', '\r'}, Bytes(150, 'a') /* past the calculator's 64 bytes */},
             CheckText},
        };
    }();
    return families;
}

const char* BrokenPromise(const DecoderFamily& family, Span input)
{
    const auto exact = std::make_unique<std::uint8_t[]>(input.size());
    std::copy(input.begin(), input.end(), exact.get());
    Verdict verdict;
    family.check({exact.get(), input.size()}, verdict);
    return verdict.Broken();
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
