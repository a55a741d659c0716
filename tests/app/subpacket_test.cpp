// Sub-packet transfers in the main window: numbered exchange, simplified reads, the camera's announcement,
// resend watchdog, continuous capture, oversized pictures (any bytes in any state: the fuzz programs).
#include <cstdio>

#include "protocol/subpacket.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

// Requests as the camera must receive them, their CRC-16/XMODEM worked out by hand.
const Bytes kSetPicture640Q1 = Hex("90 EB 01 34 02 00 05 01 F4 C2");
const Bytes kSetPacketSize512 = Hex("90 EB 01 32 02 00 00 02 E7 C0");
const Bytes kSubPacketStart = Hex("90 EB 01 30 00 00 11 B3");
const Bytes kGetPacket[] = {Hex("90 EB 01 31 02 00 00 00 77 0E"), Hex("90 EB 01 31 02 00 01 00 46 3D"),
                            Hex("90 EB 01 31 02 00 02 00 15 68"), Hex("90 EB 01 31 02 00 03 00 24 5B")};
const Bytes kSimple1024 = Hex("90 EB 01 40 04 00 00 04 05 01 8A AF");
const Bytes kRead0x1024 = Hex("90 EB 01 48 06 00 00 00 00 00 00 04 2C D9");

constexpr int kWatchdogTicks = 700;  // longer than the watchdog's longest wait

// Starts like a JPEG, then a pattern that differs at every packet and stretch boundary.
Bytes FakeJpeg(std::size_t length)
{
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = i < 4 ? std::array<std::uint8_t, 4>{0xFF, 0xD8, 0xFF, 0xE0}[i] : static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

// The main window in sub-packet mode on an open port, "Save" ticked; the test is the camera.
class SubPacketWindow : public ::testing::Test, public Rig {
protected:
    SubPacketWindow() : Rig({.save = true}) { console.Check(IDC_SUB_PACKET, 1); }

    // The one picture saved since the last look (none when there are more).
    Bytes Saved()
    {
        const auto pictures = dir.TakePictures();
        return pictures.size() == 1 ? pictures[0] : Bytes{};
    }
    // Numbered-protocol Snapshot answered up to the 0x30 request, `packetSize` granted of the 512 asked.
    void SnapNumbered(std::uint16_t packetSize = 512)
    {
        console.Check(IDC_SIMPLIFIED, 0);
        console.Click(IDC_SNAPSHOT);
        ASSERT_EQ(Heard(10), kSetPicture640Q1);
        Send(BuildSetPictureReply(1, 5, 1));
        ASSERT_EQ(Heard(10), kSetPacketSize512);
        Send(BuildSetPacketSizeReply(1, packetSize));
        ASSERT_EQ(Heard(8), kSubPacketStart);
    }
    // Up to the start reply announcing `start`; packet 0's request is not read.
    void StartNumbered(SubPacketStart start)
    {
        SnapNumbered();
        Send(BuildSubPacketStartReply(1, start));
    }
    // Answers the requests for the 512-byte packets of `picture` from `first` on.
    void ServePackets(const Bytes& picture, std::size_t first)
    {
        for (std::size_t n = first; n < PacketCount(static_cast<std::uint32_t>(picture.size()), 512); ++n) {
            ASSERT_EQ(ParseGetPacketRequest(Heard(10)), n);
            Send(BuildPacketReply(1, static_cast<std::uint16_t>(n), Slice(picture, n * 512, 512)));
        }
    }
    // Snapshot in the simplified protocol; returns the 0x40 request.
    Bytes SnapSimplified(const std::string& packetSize)
    {
        console.SetText(IDC_PACKET_SIZE, packetSize);
        console.Check(IDC_SIMPLIFIED, 1);
        console.Click(IDC_SNAPSHOT);
        return Heard(12);
    }
};

// Frame by frame, with a last packet of 464 bytes or an empty one (logged, still asked for).
TEST_F(SubPacketWindow, NumberedExchangeFrameByFrame)
{
    console.Check(IDC_SAVE_LOG, 1);
    for (const auto& [length, last] : {std::pair<std::uint32_t, int>{2000, 464}, {1536, 0}}) {
        SCOPED_TRACE(length);
        SnapNumbered();
        const Bytes picture = FakeJpeg(length);
        const std::string info = "Data Length=" + std::to_string(length) + " package=4 ";
        Send(BuildSubPacketStartReply(1, {length, 4}));
        EXPECT_EQ(console.Text(IDC_INFO), info);
        EXPECT_EQ(console.Text(IDC_LOG), info + "Last package Len=" + std::to_string(last) + " \r\n");
        for (std::size_t n = 0; n < 4; ++n) {
            EXPECT_EQ(Heard(10), kGetPacket[n]) << "packet " << n;
            Send(BuildPacketReply(1, static_cast<std::uint16_t>(n), Slice(picture, n * 512, 512)));
            EXPECT_EQ(console.Text(IDC_LOG), n < 3 ? "Get Sub-packet data No. " + std::to_string(n + 1) +
                                                         " packet/4  length = 523 ----CRC OK\r\n"
                                                   : "Get last packet  No. 4 packet  length = " +
                                                         std::to_string(last + 11) + " \r\n");
        }
        EXPECT_EQ(console.Text(IDC_STATUS), "show JPG");
        EXPECT_EQ(Saved(), picture);
        ExpectQuiet("complete: nothing more asked for, nothing resent", kWatchdogTicks);
        EXPECT_EQ(dir.Log().find("最后一包刚好为0") != std::string::npos, last == 0);
    }
}

// The picture completes whatever befalls a reply: a byte extra, a bad CRC (used anyway), torn, out of turn.
TEST_F(SubPacketWindow, RepliesHoweverTheyComeCompleteThePicture)
{
    enum How { Longer, BadCrc, Torn, OutOfTurn };
    const std::pair<int, How> cases[] = {{0, Longer}, {1, BadCrc}, {-1, Torn}, {3, Torn}, {1, OutOfTurn}};
    const Bytes picture = FakeJpeg(2000);
    for (const auto& [packet, how] : cases) {
        SCOPED_TRACE("packet " + std::to_string(packet) + ", way " + std::to_string(how));
        Bytes request = kSubPacketStart, reply = BuildSubPacketStartReply(1, {2000, 4});
        if (packet < 0) {
            SnapNumbered();
        } else {
            StartNumbered({2000, 4});
            ServePackets(Slice(picture, 0, packet * 512u), 0);
            request = kGetPacket[packet];
            reply = BuildPacketReply(1, static_cast<std::uint16_t>(packet), Slice(picture, packet * 512u, 512));
            ASSERT_EQ(Heard(10), request);
        }
        Bytes first = how == Torn ? Slice(reply, 0, 5) : how == OutOfTurn ? BuildPacketReply(1, 0xFFFF, FakeJpeg(512)) : reply;
        if (how == BadCrc) {
            first[522] ^= 0xFF;
            Send(first);
            char detail[48];
            std::snprintf(detail, sizeof detail, "%x %x  %x----CRC  error\r\n", first[521], first[522], reply[521] | (reply[522] << 8));
            EXPECT_EQ(console.Text(IDC_LOG), std::string("Get Sub-packet data No. 2 packet/4  length = 523 ") + detail);
        } else {
            if (how == Longer)
                first.push_back(0x00);
            Send(first);
            if (how != Longer) {
                ExpectQuiet("waiting for the rest");
                console.Tick(601);
            }
            ASSERT_EQ(Heard(request.size()), request) << "asked for again";
            Send(Slice(reply, 0, 3));  // pieces ending before and after the length field
            Send(Slice(reply, 3, 5));
            Send(Slice(reply, 8));
        }
        ServePackets(picture, static_cast<std::size_t>(packet + 1));
        ExpectQuiet("complete");
        EXPECT_EQ(Saved(), picture);
    }
}

// A wrong-length start reply is waited past; an announcement the buffers can't take ends it; the largest fit.
TEST_F(SubPacketWindow, AnnouncementsThatDoNotFitAreRefused)
{
    enum Via { Start, Simple, Ready };
    const struct {
        const char* what; Via via; std::uint16_t packetSize, count; std::uint32_t length; int extraBytes;
        const char* log;  // nullptr: accepted
    } cases[] = {
        {"start reply one byte short", Start, 512, 4, 2000, -1, "分包返回指令字节数不对 14"},
        {"start reply one byte long", Start, 512, 4, 2000, +1, "分包返回指令字节数不对 16"},
        {"last packet longer than a packet", Start, 512, 3, 2000, 0, "refused"},
        {"last packet length negative", Start, 512, 5, 2000, 0, "refused"},
        {"no packets", Start, 512, 0, 2000, 0, "refused"},
        {"packet larger than the packet buffer", Start, 10240, 2, 20000, 0, "refused"},
        {"packet frame filling the packet buffer", Start, 10229, 2, 20000, 0, "refused"},
        {"largest packet frame the packet buffer takes", Start, 10228, 2, 15000, 0, nullptr},
        {"picture larger than the picture buffer", Start, 512, 2001, CPictureBuffer::kSize + 1, 0, "图像过大"},
        {"picture filling the picture buffer", Start, 512, 2000, CPictureBuffer::kSize, 0, nullptr},
        {"simplified picture larger than the picture buffer", Simple, 512, 0xFFFF, 0xFFFFFF, 0, "图像过大"},
        {"announced picture larger than the picture buffer", Ready, 0, 0, CPictureBuffer::kSize + 1, 0, "图像过大"},
        {"stretch larger than the packet buffer", Simple, 20000, 3, 50000, 0, "refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.via == Start) {
            SnapNumbered(c.packetSize);
            Bytes reply = BuildSubPacketStartReply(1, {c.length, c.count});
            reply.resize(reply.size() + c.extraBytes, 0);
            Send(reply);
        } else if (c.via == Simple) {
            SnapSimplified(std::to_string(c.packetSize));
            Send(BuildSimpleSubPacketReply(1, {c.length, c.count, c.packetSize}));
        } else {
            Send(BuildImageReadyAnnouncement(1, c.length));
        }
        if (c.log) {
            EXPECT_NE(console.Text(IDC_LOG).find(c.log), std::string::npos) << console.Text(IDC_LOG);
            ExpectQuiet("no packet is asked for", c.extraBytes ? 0 : kWatchdogTicks);
            continue;
        }
        ASSERT_EQ(Heard(10), kGetPacket[0]);
        Feed(BuildPacketReply(1, 0, FakeJpeg(c.packetSize)));
        EXPECT_EQ(Heard(10), kGetPacket[1]) << "the first packet was gathered";
    }
}

// A size not a multiple of 32 is not set, yet the simplified request sends it (quality 100 up with "Test").
TEST_F(SubPacketWindow, SizeNotMultipleOf32IsNotSetButSimplifiedSendsIt)
{
    console.SetText(IDC_PACKET_SIZE, "100");
    console.Check(IDC_SIMPLIFIED, 0);
    console.Click(IDC_SNAPSHOT);
    ASSERT_EQ(Heard(10), kSetPicture640Q1);
    Send(BuildSetPictureReply(1, 5, 1));
    ExpectQuiet("no 0x32 for a size of 100");
    console.Click(IDC_SET_PACKET_SIZE);
    ExpectQuiet("button 1012 does not send it either");
    console.SetText(IDC_PACKET_SIZE, "512");
    console.Click(IDC_SET_PACKET_SIZE);
    EXPECT_EQ(Heard(10), kSetPacketSize512) << "a multiple of 32 is sent";
    EXPECT_EQ(SnapSimplified("100"), Hex("90 EB 01 40 04 00 64 00 05 01 69 E0"));
    console.Check(IDC_TEST_QUALITY, 1);
    EXPECT_EQ(SnapSimplified("100"), Hex("90 EB 01 40 04 00 64 00 05 65 4B CC"));
}

// Simplified reads by offset after Snapshot or an announcement (sub-packet mode); a long last stretch is cut.
TEST_F(SubPacketWindow, SimplifiedReadsByOffset)
{
    const struct {
        bool announced; std::uint32_t length, stretch;
        std::size_t extra;  // bytes beyond the last stretch
    } cases[] = {{false, 2500, 1024, 0}, {true, CPictureBuffer::kSize, 8192, 500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const Bytes picture = FakeJpeg(c.length);
        console.SetText(IDC_PACKET_SIZE, std::to_string(c.stretch));
        if (c.announced) {
            console.Check(IDC_WHOLE_PACKAGE, 1);
            Send(BuildImageReadyAnnouncement(1, c.length));
            ExpectQuiet("ignored in whole-package mode");
            console.Check(IDC_SUB_PACKET, 1);
            Send(BuildImageReadyAnnouncement(1, c.length));
        } else {
            console.Check(IDC_SAVE_IMAGE, 0);
            ASSERT_EQ(SnapSimplified("1024"), kSimple1024);
            console.Check(IDC_SAVE_IMAGE, 1);
            Send(BuildSimpleSubPacketReply(1, {c.length, 3, 1024}));
            EXPECT_EQ(console.Text(IDC_STATUS), "Last package452 \r\n");
        }
        const auto bar = [this] {
            const std::string shown = console.Text(IDC_TRANSFER_PROGRESS);
            return shown.substr(0, shown.find(','));  // without the rate
        };
        for (std::uint32_t offset = 0; offset < c.length; offset += c.stretch) {
            const std::uint32_t size = std::min(c.stretch, c.length - offset);
            EXPECT_EQ(bar(), std::to_string(offset) + "/" + std::to_string(c.length) + " bytes");
            const auto request = ParseReadImageRequest(Heard(14));
            ASSERT_TRUE(request && request->offset == offset && request->length == size) << offset;
            Bytes data = Slice(picture, offset, size);
            if (offset + size == c.length)
                data.resize(size + c.extra, 0xEE);
            Feed(BuildReadImageReply(1, data));
        }
        EXPECT_EQ(console.Text(IDC_LOG), "Get length=" + std::to_string(c.length) + "  OK   show picture");
        EXPECT_EQ(bar(), "idle");
        ExpectQuiet("complete", kWatchdogTicks);
        EXPECT_TRUE(Saved() == picture);
    }
}

TEST_F(SubPacketWindow, StretchWithBadCrcStopsTheReads)
{
    SnapSimplified("1024");
    Send(BuildSimpleSubPacketReply(1, {2500, 3, 1024}));
    ASSERT_EQ(Heard(14), kRead0x1024);
    Bytes stretch = BuildReadImageReply(1, FakeJpeg(1024));
    stretch.back() ^= 0x01;
    Send(stretch);
    ExpectQuiet("not used and not asked for again", kWatchdogTicks);
    EXPECT_TRUE(dir.TakePictures().empty());
}

TEST_F(SubPacketWindow, SimplifiedSnapshotEndsAnAbandonedNumberedTransfer)
{
    StartNumbered({2000, 4});
    ASSERT_EQ(Heard(10), kGetPacket[0]);
    ASSERT_EQ(SnapSimplified("1024"), kSimple1024);
    ExpectQuiet("neither request is resent", kWatchdogTicks);
}

// Unanswered requests go again byte by byte: the start after 60 s, a packet after 40 s, five times at most.
TEST_F(SubPacketWindow, WatchdogResendsUnansweredRequests)
{
    console.Check(IDC_SAVE_LOG, 1);
    const struct {
        bool packet; const Bytes& request;
        std::uint64_t firstMs, periodMs;  // to the first resend, between the others
    } cases[] = {{false, kSubPacketStart, 59900, 60100}, {true, kGetPacket[0], 39900, 40100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packet ? "0x31" : "0x30");
        if (c.packet) {
            StartNumbered({2000, 4});
            ASSERT_EQ(Heard(10), kGetPacket[0]);
        } else {
            SnapNumbered();
        }
        const std::size_t sent = console.writes.size() - 1;
        ASSERT_EQ(console.writes[sent].bytes, c.request);
        console.Tick(4000);
        ASSERT_EQ(console.writes.size(), sent + 1 + 5 * c.request.size());
        for (std::size_t resend = 0; resend < 5; ++resend) {
            const std::size_t first = sent + 1 + resend * c.request.size();
            EXPECT_EQ(console.writes[first].ms - console.writes[first - 1].ms, resend ? c.periodMs : c.firstMs) << resend;
            for (std::size_t i = 0; i < c.request.size(); ++i)
                EXPECT_EQ(console.writes[first + i].bytes, Bytes{c.request[i]}) << "one byte a write";
        }
        EXPECT_EQ(Heard(5 * c.request.size()).size(), 5 * c.request.size()) << "the camera got them all";
        EXPECT_EQ(console.Text(IDC_STATUS), "重发");
    }
    const std::string log = dir.Log();
    std::size_t resent = 0;
    for (std::size_t at = log.find("分包重发  30"); at != std::string::npos; at = log.find("分包重发  30", at + 1))
        ++resent;
    EXPECT_EQ(resent, 5u) << log;
    EXPECT_NE(log.find("2024-01-31 12:01:00  重发协议 cmd=30\r\n2024-01-31 12:01:00  分包重发  30\r\r\n"), std::string::npos)
        << log;
}

// The next picture is asked for in the tick that shows one.
TEST_F(SubPacketWindow, ContinuousCaptureRequestsTheNextPictureAtOnce)
{
    const Bytes picture = FakeJpeg(1000);
    const auto serve = [&] {
        Send(BuildSimpleSubPacketReply(1, {1000, 1, 1024}));
        ASSERT_EQ(Heard(14), Hex("90 EB 01 48 06 00 00 00 00 00 E8 03 D0 30"));
        Send(BuildReadImageReply(1, picture));
    };
    console.SetText(IDC_PACKET_SIZE, "1024");
    console.Click(IDC_CONTINUOUS_CAPTURE);
    ASSERT_EQ(Heard(12), kSimple1024);
    serve();
    EXPECT_EQ(camera.ReadAvailable(30), kSimple1024) << "in the same tick";
    serve();
    EXPECT_EQ(Heard(12), kSimple1024);
    console.Click(IDC_STOP_SNAPSHOT);
    serve();
    ExpectQuiet("no further request", 50);
    EXPECT_EQ(dir.TakePictures(), std::vector<Bytes>(3, picture));
}

}  // namespace
}  // namespace qzr::test
