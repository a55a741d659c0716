// Sub-packet transfers through the main window, with the camera played by the
// test on a pseudo-terminal: the numbered exchange frame by frame, the
// simplified reads, the camera's own announcement, the resend watchdog on the
// virtual clock, continuous capture, and pictures the buffer cannot take.
// Random bytes in every transfer state are hostile_bytes_test.cpp's business.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "protocol/subpacket.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

// "90 EB 01 ..." as bytes.
Bytes Hex(const std::string& text)
{
    Bytes bytes;
    std::istringstream in(text);
    unsigned value = 0;
    while (in >> std::hex >> value)
        bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

// Requests as the camera must receive them, their CRC-16/XMODEM worked out by hand.
const Bytes kSetPicture640Q1 = Hex("90 EB 01 34 02 00 05 01 F4 C2");
const Bytes kSetPacketSize512 = Hex("90 EB 01 32 02 00 00 02 E7 C0");
const Bytes kSubPacketStart = Hex("90 EB 01 30 00 00 11 B3");
const Bytes kGetPacket[] = {Hex("90 EB 01 31 02 00 00 00 77 0E"), Hex("90 EB 01 31 02 00 01 00 46 3D"),
                            Hex("90 EB 01 31 02 00 02 00 15 68"), Hex("90 EB 01 31 02 00 03 00 24 5B")};
const Bytes kSimple1024 = Hex("90 EB 01 40 04 00 00 04 05 01 8A AF");
const Bytes kRead0x1024 = Hex("90 EB 01 48 06 00 00 00 00 00 00 04 2C D9");

// Starts like a JPEG, then a pattern that differs at every packet and stretch boundary.
Bytes FakeJpeg(std::size_t length)
{
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = i < 4 ? std::array<std::uint8_t, 4>{0xFF, 0xD8, 0xFF, 0xE0}[i] : static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length)
{
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), from + length)));
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The main window in sub-packet mode on an open port; the test is the camera.
class SubPacketWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        console.Open();
        console.Connect(pty.SlavePath());
        ASSERT_TRUE(console.dialog.Session().Port().IsOpen());
        console.Check(IDC_SUB_PACKET, 1);
        // The console's writes joined by the virtual time they happened at.
        console.dialog.Session().Port().SetWriteTrace([this](std::span<const std::uint8_t> bytes) {
            const std::uint64_t now = console.backend.NowMs();
            if (bursts.empty() || bursts.back().ms != now)
                bursts.push_back({now, {}, true});
            bursts.back().bytes.insert(bursts.back().bytes.end(), bytes.begin(), bytes.end());
            bursts.back().bytewise = bursts.back().bytewise && bytes.size() == 1;
        });
    }

    // The next `n` bytes the console wrote.
    Bytes Sent(std::size_t n) { return pty.Read(n); }
    void ExpectQuiet(const std::string& why) { EXPECT_EQ(pty.ReadAvailable(30), Bytes{}) << why; }
    // Bytes in even pieces the pseudo-terminal's queue holds, none so short
    // that the short-reply reassembly could hold it back.
    void Feed(const Bytes& bytes)
    {
        const std::size_t pieces = (bytes.size() + 2047) / 2048;
        const std::size_t piece = pieces ? (bytes.size() + pieces - 1) / pieces : 0;
        for (std::size_t from = 0; from < bytes.size(); from += piece)
            console.Receive(pty, Slice(bytes, from, piece));
    }

    // Snapshot (unless its 0x34 request was sent and read already) answered up
    // to the 0x30 request, the camera granting `packetSize`.
    void SnapNumbered(std::uint16_t packetSize = 512, bool click = true)
    {
        if (click) {
            console.Check(IDC_SIMPLIFIED, 0);
            console.Click(IDC_SNAPSHOT);
            Sent(10);
        }
        console.Receive(pty, BuildSetPictureReply(1, 5, 1));
        Sent(10);
        console.Receive(pty, BuildSetPacketSizeReply(1, packetSize));
        ASSERT_EQ(Sent(8), kSubPacketStart);
    }
    // Up to the start reply announcing `start`; packet 0's request is not read.
    void StartNumbered(SubPacketStart start, std::uint16_t packetSize = 512)
    {
        SnapNumbered(packetSize);
        console.Receive(pty, BuildSubPacketStartReply(1, start));
    }
    // Answers the requests for the packets of `picture` from `first` on.
    void ServePackets(const Bytes& picture, std::size_t packetSize, std::size_t first)
    {
        for (std::size_t n = first; n < PacketCount(static_cast<std::uint32_t>(picture.size()), packetSize); ++n) {
            ASSERT_EQ(ParseGetPacketRequest(Sent(10)), n);
            Feed(BuildPacketReply(1, static_cast<std::uint16_t>(n), Slice(picture, n * packetSize, packetSize)));
        }
    }
    // Snapshot in the simplified protocol; returns the 0x40 request.
    Bytes SnapSimplified(const std::string& packetSize)
    {
        console.SetText(IDC_PACKET_SIZE, packetSize);
        console.Check(IDC_SIMPLIFIED, 1);
        console.Click(IDC_SNAPSHOT);
        return Sent(12);
    }

    Bytes Shown(std::size_t length) { const auto v = console.dialog.Session().Picture().View(0, length); return Bytes(v.begin(), v.end()); }
    Bytes SavedPicture() const
    {
        const auto files = scratch.Files();
        const std::string text = files.size() == 1 ? ReadFile(scratch.Path() / files[0]) : "";
        return Bytes(text.begin(), text.end());
    }

    ScratchDirectory scratch;
    PtyPair pty;
    Console console;
    struct Burst {
        std::uint64_t ms;
        Bytes bytes;
        bool bytewise;  // one byte per write
    };
    std::vector<Burst> bursts;
};

// ------------------------------------------------------------ numbered protocol

TEST_F(SubPacketWindow, NumberedExchangeFrameByFrame)
{
    console.Check(IDC_SAVE_IMAGE, 1);
    console.Check(IDC_SIMPLIFIED, 0);
    console.Click(IDC_SNAPSHOT);
    EXPECT_EQ(Sent(10), kSetPicture640Q1);
    EXPECT_EQ(console.Text(IDC_STATUS), "Setting Pic size：5  quality:1");
    console.Receive(pty, BuildSetPictureReply(1, 5, 1));
    EXPECT_EQ(Sent(10), kSetPacketSize512);
    EXPECT_EQ(console.Text(IDC_INFO), "Get pic size");
    EXPECT_EQ(console.Text(IDC_STATUS), "分包大小：512");
    console.Receive(pty, BuildSetPacketSizeReply(1, 512));
    EXPECT_EQ(Sent(8), kSubPacketStart);
    EXPECT_EQ(console.Text(IDC_INFO), "Get Sub-packet size");
    EXPECT_EQ(console.Text(IDC_STATUS), "Sub-packet start");

    const Bytes picture = FakeJpeg(2000);
    console.Receive(pty, BuildSubPacketStartReply(1, {2000, 4}));
    EXPECT_EQ(console.Text(IDC_INFO), "Data Length=2000 package=4 ");
    // The request for the next packet joins the log text after it was shown.
    EXPECT_EQ(console.Text(IDC_LOG), "Data Length=2000 package=4 Last package Len=464 \r\n");
    EXPECT_EQ(console.dialog.Session().m_strLog, "Data Length=2000 package=4 Last package Len=464 \r\n请求第 1 包图像数据\r\n");
    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(Sent(10), kGetPacket[n]) << "packet " << n;
        const Bytes reply = BuildPacketReply(1, static_cast<std::uint16_t>(n), Slice(picture, n * 512, 512));
        EXPECT_EQ(reply.size(), n < 3 ? 523u : 475u);
        console.Receive(pty, reply);
        if (n < 3) {
            const std::string shown =
                "Get Sub-packet data No. " + std::to_string(n + 1) + " packet/4  length = 523 ----CRC OK\r\n";
            EXPECT_EQ(console.Text(IDC_LOG), shown);
            EXPECT_EQ(console.dialog.Session().m_strLog, shown + "请求第 " + std::to_string(n + 2) + " 包图像数据\r\n");
        }
    }
    ExpectQuiet("the picture is complete");
    EXPECT_EQ(console.Text(IDC_LOG), "Get last packet  No. 4 packet  length = 475 \r\n");
    EXPECT_EQ(console.Text(IDC_STATUS), "show JPG");
    EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);
    EXPECT_FALSE(console.dialog.Session().Watchdog().Armed());
    EXPECT_EQ(Shown(2000), picture);
    EXPECT_EQ(SavedPicture(), picture) << "exactly the announced length";
}

TEST_F(SubPacketWindow, LastLengthZeroIsLoggedAndEveryPacketRequested)
{
    console.Check(IDC_SAVE_LOG, 1);
    const Bytes picture = FakeJpeg(1536);
    StartNumbered({1536, 4});
    ServePackets(picture, 512, 0);
    ASSERT_EQ(Sent(10), kGetPacket[3]);
    console.Receive(pty, BuildPacketReply(1, 3, {}));  // the camera's empty last packet
    EXPECT_EQ(console.Text(IDC_STATUS), "show JPG");
    EXPECT_EQ(Shown(1536), picture);
    const std::string log = ReadFile(scratch.Path() / "loog.txt");
    for (const char* line : {"Last package Len=0 ", "最后一包刚好为0", "请求最后一包-4", "最后一包长度正确:  0x31", "显示图像:  0x31"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// One reply longer than expected is asked for again, one in pieces is gathered,
// one with a bad CRC is reported and used all the same.
TEST_F(SubPacketWindow, PacketRepliesAreCheckedAndGathered)
{
    const Bytes picture = FakeJpeg(2000);
    StartNumbered({2000, 4});
    ASSERT_EQ(Sent(10), kGetPacket[0]);
    const Bytes first = BuildPacketReply(1, 0, Slice(picture, 0, 512));
    Bytes longer = first;
    longer.push_back(0x00);
    console.Receive(pty, longer);
    ASSERT_EQ(Sent(10), kGetPacket[0]) << "asked for again";
    for (std::size_t from = 0; from < first.size(); from += 200)
        console.Receive(pty, Slice(first, from, 200));

    ASSERT_EQ(Sent(10), kGetPacket[1]);
    Bytes bad = BuildPacketReply(1, 1, Slice(picture, 512, 512));
    const unsigned good = bad[521] | (bad[522] << 8);
    bad[522] ^= 0xFF;
    console.Receive(pty, bad);
    char detail[32];
    std::snprintf(detail, sizeof detail, "%x %x  %x", bad[521], bad[522], good);
    EXPECT_EQ(console.Text(IDC_LOG), std::string("Get Sub-packet data No. 2 packet/4  length = 523 ") + detail + "----CRC  error\r\n");
    ServePackets(picture, 512, 2);
    EXPECT_EQ(Shown(2000), picture);
}

// Control replies split before or after their length field.
TEST_F(SubPacketWindow, ControlRepliesInPiecesAreReassembled)
{
    const struct {
        bool simplified;
        std::size_t firstPiece;
    } cases[] = {{false, 4}, {false, 7}, {true, 10}, {true, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.simplified ? "0x40" : "0x34") + " split at " + std::to_string(c.firstPiece));
        console.SetText(IDC_PACKET_SIZE, "1024");
        console.Check(IDC_SIMPLIFIED, c.simplified);
        console.Click(IDC_SNAPSHOT);
        Sent(c.simplified ? 12 : 10);
        const Bytes reply = c.simplified ? BuildSimpleSubPacketReply(1, {2500, 3, 1024}) : BuildSetPictureReply(1, 5, 1);
        console.Receive(pty, Slice(reply, 0, c.firstPiece));
        ExpectQuiet("half a reply");
        console.Receive(pty, Slice(reply, c.firstPiece, reply.size()));
        const Bytes next = c.simplified ? kRead0x1024 : Hex("90 EB 01 32 02 00 00 04 21 A0");
        EXPECT_EQ(Sent(next.size()), next);
    }
}

// A start reply of the wrong length, or whose count and size would place a
// packet outside the picture or the chunk buffer, stops the exchange.
TEST_F(SubPacketWindow, StartRepliesThatDoNotAddUpAreRefused)
{
    const struct {
        const char* what;
        std::uint16_t packetSize;
        SubPacketStart start;
        int extraBytes;
        const char* log;  // nullptr: accepted
    } cases[] = {
        {"one byte short", 512, {2000, 4}, -1, "分包返回指令字节数不对 14"},
        {"one byte long", 512, {2000, 4}, +1, "分包返回指令字节数不对 16"},
        {"last packet longer than a packet", 512, {2000, 3}, 0, "refused"},
        {"last packet length negative", 512, {2000, 5}, 0, "refused"},
        {"no packets", 512, {2000, 0}, 0, "refused"},
        {"packet larger than the chunk buffer", 10240, {20000, 2}, 0, "refused"},
        {"packet frame one byte over the chunk buffer", 10229, {20000, 2}, 0, "refused"},
        {"largest packet frame the chunk buffer takes", 10228, {15000, 2}, 0, nullptr},
        {"picture filling the buffer", 512, {CPictureBuffer::kSize, 2000}, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SnapNumbered(c.packetSize);
        Bytes reply = BuildSubPacketStartReply(1, c.start);
        reply.resize(reply.size() + c.extraBytes, 0);
        console.Receive(pty, reply);
        if (c.log) {
            EXPECT_NE(console.Text(IDC_LOG).find(c.log), std::string::npos) << console.Text(IDC_LOG);
            ExpectQuiet("no packet is requested");
            if (c.extraBytes == 0) {
                EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);
                EXPECT_FALSE(console.dialog.Session().Watchdog().Armed());
            }
            continue;
        }
        ASSERT_EQ(Sent(10), kGetPacket[0]);
        Feed(BuildPacketReply(1, 0, FakeJpeg(c.packetSize)));
        EXPECT_EQ(Sent(10), kGetPacket[1]) << "the first packet was gathered";
    }
}

// ------------------------------------------------------------ sub-packet size

TEST_F(SubPacketWindow, SizeNotMultipleOf32IsNotSetButSimplifiedSendsIt)
{
    console.SetText(IDC_PACKET_SIZE, "100");
    console.Check(IDC_SIMPLIFIED, 0);
    console.Click(IDC_SNAPSHOT);
    ASSERT_EQ(Sent(10), kSetPicture640Q1);
    console.Receive(pty, BuildSetPictureReply(1, 5, 1));
    ExpectQuiet("no 0x32 for a size of 100");
    console.Click(IDC_SET_PACKET_SIZE);
    ExpectQuiet("button 1012 does not send it either");
    console.SetText(IDC_PACKET_SIZE, "512");
    console.Click(IDC_SET_PACKET_SIZE);
    EXPECT_EQ(Sent(10), kSetPacketSize512) << "a multiple of 32 is sent";

    const struct {
        int test;
        Bytes frame;
    } cases[] = {
        {0, Hex("90 EB 01 40 04 00 64 00 05 01 69 E0")},
        {1, Hex("90 EB 01 40 04 00 64 00 05 65 4B CC")},  // quality 1 + 100
    };
    for (const auto& c : cases) {
        console.Check(IDC_TEST_QUALITY, c.test);
        EXPECT_EQ(SnapSimplified("100"), c.frame) << "Test " << c.test;
        EXPECT_EQ(console.Text(IDC_STATUS), "Sub-packet");
    }
}

// ------------------------------------------------------------ simplified protocol

TEST_F(SubPacketWindow, SimplifiedReadsByOffset)
{
    console.Check(IDC_SAVE_IMAGE, 1);
    ASSERT_EQ(SnapSimplified("1024"), kSimple1024);
    const Bytes picture = FakeJpeg(2500);
    console.Receive(pty, BuildSimpleSubPacketReply(1, {2500, 3, 1024}));
    EXPECT_EQ(console.Text(IDC_INFO), "Data Length=2500 package=3 ");
    EXPECT_EQ(console.Text(IDC_STATUS), "Last package452 \r\n");
    const struct {
        Bytes request;
        std::size_t from, length;
        const char* log;
    } reads[] = {
        {kRead0x1024, 0, 1024, "Getting package=1  Get length=1024"},
        {Hex("90 EB 01 48 06 00 00 04 00 00 00 04 2A 50"), 1024, 1024, "Getting package=2  Get length=2048"},
        {Hex("90 EB 01 48 06 00 00 08 00 00 C4 01 34 51"), 2048, 452, "Get length=2500  OK   show picture"},
    };
    for (const auto& r : reads) {
        EXPECT_EQ(Sent(r.request.size()), r.request) << r.from;
        console.Receive(pty, BuildReadImageReply(1, Slice(picture, r.from, r.length)));
        EXPECT_EQ(console.Text(IDC_LOG), r.log);
    }
    ExpectQuiet("complete");
    EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);
    EXPECT_FALSE(console.dialog.Session().Watchdog().Armed()) << "the simplified protocol has no watchdog";
    EXPECT_EQ(SavedPicture(), picture);
}

TEST_F(SubPacketWindow, StretchWithBadCrcStopsTheReads)
{
    SnapSimplified("1024");
    console.Receive(pty, BuildSimpleSubPacketReply(1, {2500, 3, 1024}));
    ASSERT_EQ(Sent(14), kRead0x1024);
    Bytes stretch = BuildReadImageReply(1, FakeJpeg(1024));
    stretch.back() ^= 0x01;
    console.Receive(pty, stretch);
    EXPECT_EQ(console.dialog.Session().m_strStatus, "Get package=1032");
    console.Tick(1000);
    ExpectQuiet("not used and not asked for again");
    EXPECT_TRUE(console.backend.Pictures().empty());
    EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0x48);
}

// The byte count an unfinished whole-package picture left behind does not
// block the read; "Save", ticked while the transfer runs, survives the timer's
// refresh of the boxes.
TEST_F(SubPacketWindow, OneStretchAfterAnUnfinishedWholePackagePicture)
{
    console.dialog.Session().Picture().Append(Bytes(CPictureBuffer::kSize - 100, 0));
    SnapSimplified("1024");
    console.Check(IDC_SAVE_IMAGE, 1);
    console.Receive(pty, BuildSimpleSubPacketReply(1, {1024, 1, 1024}));
    EXPECT_EQ(console.Text(IDC_SAVE_IMAGE), "1");
    ASSERT_EQ(Sent(14), kRead0x1024);
    console.Receive(pty, BuildReadImageReply(1, FakeJpeg(1024)));
    EXPECT_EQ(console.Text(IDC_LOG), "Get length=1024  OK   show picture");
    EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);
    EXPECT_EQ(console.Text(IDC_SAVE_IMAGE), "1");
}

TEST_F(SubPacketWindow, SimplifiedSnapshotDisarmsAnAbandonedNumberedTransfer)
{
    StartNumbered({2000, 4});
    ASSERT_EQ(Sent(10), kGetPacket[0]);
    ASSERT_TRUE(console.dialog.Session().Watchdog().Armed());
    ASSERT_EQ(SnapSimplified("1024"), kSimple1024);
    EXPECT_FALSE(console.dialog.Session().Watchdog().Armed());
    console.Tick(700);
    ExpectQuiet("the simplified protocol is not resent");
}

// The last stretch here ends in a short piece: data, not the head of a control
// reply to hold back.
TEST_F(SubPacketWindow, ImageReadyStartsReadsOnlyInSubPacketMode)
{
    console.SetText(IDC_PACKET_SIZE, "1024");
    const Bytes picture = FakeJpeg(1500);
    console.Check(IDC_WHOLE_PACKAGE, 1);
    console.Receive(pty, BuildImageReadyAnnouncement(1, 1500));
    ExpectQuiet("ignored in whole-package mode");
    EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);

    console.Check(IDC_SUB_PACKET, 1);
    console.Receive(pty, BuildImageReadyAnnouncement(1, 1500));
    EXPECT_EQ(Sent(14), kRead0x1024);
    console.Receive(pty, BuildReadImageReply(1, Slice(picture, 0, 1024)));
    EXPECT_EQ(Sent(14), Hex("90 EB 01 48 06 00 00 04 00 00 DC 01 C5 50"));  // 1024, 476 bytes
    const Bytes last = BuildReadImageReply(1, Slice(picture, 1024, 476));
    console.Receive(pty, Slice(last, 0, 470));
    console.Receive(pty, Slice(last, 470, last.size()));
    EXPECT_EQ(console.Text(IDC_LOG), "Get length=1500  OK   show picture");
    EXPECT_EQ(Shown(1500), picture);
}

TEST(LogBox, KeepsItsLastPartOnly)
{
    Console console;
    console.Open();
    for (int line = 0; line < 5000; ++line)
        console.dialog.Session().AppendToLog("\r\n图像过大，缓冲区内存不足\r\n" + std::to_string(line));
    const std::string& log = console.dialog.Session().m_strLog;
    EXPECT_LE(log.size(), CSession::kMaxLogText);
    EXPECT_GT(log.size(), CSession::kMaxLogText / 2);
    EXPECT_EQ(log.substr(log.size() - 4), "4999") << "the newest text stays";
    EXPECT_TRUE(log.rfind("图", 0) == 0 || std::isdigit(static_cast<unsigned char>(log[0]))) << "cut at a line start";
}

// ------------------------------------------------------------ watchdog

// Unanswered, the 0x30 request is resent after a minute (600 poll ticks, give
// or take the one a handler's pause takes), a packet request after forty
// seconds; each resend is written a byte at a time, five at most.
TEST_F(SubPacketWindow, WatchdogResendsUnansweredRequests)
{
    console.Check(IDC_SAVE_LOG, 1);
    const struct {
        bool packet;
        const Bytes& request;
        double periodMs;
    } cases[] = {{false, kSubPacketStart, 60000}, {true, kGetPacket[0], 40000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packet ? "0x31" : "0x30");
        if (c.packet) {
            StartNumbered({2000, 4});
            ASSERT_EQ(Sent(10), kGetPacket[0]);
        } else {
            SnapNumbered();
        }
        const std::size_t sent = bursts.size() - 1;
        console.Tick(4000);
        ASSERT_EQ(bursts.size(), sent + 6);
        EXPECT_FALSE(bursts[sent].bytewise);
        Bytes fiveTimes;
        for (std::size_t i = sent + 1; i < bursts.size(); ++i) {
            EXPECT_EQ(bursts[i].bytes, c.request);
            EXPECT_TRUE(bursts[i].bytewise);
            EXPECT_NEAR(static_cast<double>(bursts[i].ms - bursts[i - 1].ms), c.periodMs, 100.0);
            fiveTimes.insert(fiveTimes.end(), c.request.begin(), c.request.end());
        }
        EXPECT_EQ(Sent(fiveTimes.size()), fiveTimes) << "what the camera got";
        EXPECT_EQ(console.Text(IDC_STATUS), "重发");
        EXPECT_FALSE(console.dialog.Session().Watchdog().Armed()) << "five resends at most";
    }
    const std::string log = ReadFile(scratch.Path() / "loog.txt");
    std::size_t count = 0;
    for (std::size_t at = log.find("分包重发  30"); at != std::string::npos; at = log.find("分包重发  30", at + 1))
        ++count;
    EXPECT_EQ(count, 5u) << log;
    EXPECT_NE(log.find("2024-01-31 12:01:00  重发协议 cmd=30\r\n2024-01-31 12:01:00  分包重发  30\r\r\n"), std::string::npos)
        << log;
}

// A reply torn off after a few bytes (or a packet out of turn, its number far
// outside the buffer: neither stored nor counted), then the whole reply to the
// resend in two pieces: the resend empties the packet buffer and the
// short-reply reassembly.
TEST_F(SubPacketWindow, TornReplyRecoversAfterResend)
{
    const Bytes picture = FakeJpeg(2000);
    const struct {
        int packet;  // -1: the start reply
        bool stray;  // a packet out of turn rather than the reply torn
    } cases[] = {{-1, false}, {1, false}, {3, false}, {1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.packet) + (c.stray ? " out of turn" : " torn"));
        console.dialog.Session().Picture().Store(0, Bytes(2000, 0));
        Bytes request = kSubPacketStart, reply = BuildSubPacketStartReply(1, {2000, 4});
        if (c.packet < 0) {
            SnapNumbered();
        } else {
            StartNumbered({2000, 4});
            ServePackets(Slice(picture, 0, c.packet * 512u), 512, 0);
            request = kGetPacket[c.packet];
            reply = BuildPacketReply(1, static_cast<std::uint16_t>(c.packet), Slice(picture, c.packet * 512u, 512));
            ASSERT_EQ(Sent(10), request);
        }
        console.Receive(pty, c.stray ? BuildPacketReply(1, 0xFFFF, FakeJpeg(512)) : Slice(reply, 0, 5));
        ExpectQuiet("waiting for the rest");
        console.Tick(601);
        ASSERT_EQ(Sent(request.size()), request) << "resent";
        console.Receive(pty, Slice(reply, 0, 7));
        console.Receive(pty, Slice(reply, 7, reply.size()));
        ServePackets(picture, 512, static_cast<std::size_t>(c.packet + 1));
        ExpectQuiet("complete");
        EXPECT_EQ(Shown(2000), picture);
    }
}

// ------------------------------------------------------------ continuous capture

// The next picture is asked for in the tick that shows one (by the numbered
// protocol a one-packet picture here); Stop lets the current one finish.
TEST_F(SubPacketWindow, ContinuousCaptureRequestsTheNextPictureAtOnce)
{
    const Bytes picture = FakeJpeg(1000);
    for (const bool simplified : {true, false}) {
        SCOPED_TRACE(simplified ? "simplified" : "numbered");
        console.Check(IDC_SIMPLIFIED, simplified);
        console.SetText(IDC_PACKET_SIZE, "1024");
        const Bytes& first = simplified ? kSimple1024 : kSetPicture640Q1;
        auto serve = [&] {
            if (simplified) {
                console.Receive(pty, BuildSimpleSubPacketReply(1, {1000, 1, 1024}));
                ASSERT_EQ(Sent(14), Hex("90 EB 01 48 06 00 00 00 00 00 E8 03 D0 30"));
                console.Receive(pty, BuildReadImageReply(1, picture));
            } else {
                SnapNumbered(1024, false);
                console.Receive(pty, BuildSubPacketStartReply(1, {1000, 1}));
                ASSERT_EQ(Sent(10), kGetPacket[0]);
                console.Receive(pty, BuildPacketReply(1, 0, picture));  // its own last packet
                EXPECT_EQ(console.Text(IDC_LOG), "Get last packet  No. 1 packet  length = 1011 \r\n");
            }
        };
        console.Click(IDC_CONTINUOUS_CAPTURE);
        EXPECT_FALSE(console.Enabled(IDC_SNAPSHOT));
        ASSERT_EQ(Sent(first.size()), first);
        serve();
        EXPECT_EQ(pty.ReadAvailable(30), first);
        serve();
        EXPECT_EQ(Sent(first.size()), first);
        console.Click(IDC_STOP_SNAPSHOT);
        EXPECT_TRUE(console.Enabled(IDC_SNAPSHOT));
        console.dialog.Session().Picture().Store(0, Bytes(1000, 0));
        serve();
        EXPECT_EQ(Shown(1000), picture);
        console.Tick(50);
        ExpectQuiet("no further request");
    }
}

// ------------------------------------------------------------ pictures the buffer cannot take

// A picture larger than the buffer, or stretches larger than it can read, is
// refused with a message; the transfer stops and what the camera sends next
// lands nowhere (sentinels fill the buffer).
TEST_F(SubPacketWindow, PicturesTheBufferCannotTakeAreRefused)
{
    const std::uint32_t tooLarge = CPictureBuffer::kSize + 1;
    const struct {
        const char* what;
        const char* message;
        std::function<void()> announce;
    } cases[] = {
        {"0x30 start reply", "图像过大",
         [&] { StartNumbered({tooLarge, static_cast<std::uint16_t>(PacketCount(tooLarge, 512))}); }},
        {"0x40 simplified reply", "图像过大",
         [&] {
             SnapSimplified("512");
             console.Receive(pty, BuildSimpleSubPacketReply(1, {0xFFFFFF, 0xFFFF, 512}));
         }},
        {"0x42 announcement", "图像过大", [&] { console.Receive(pty, BuildImageReadyAnnouncement(1, tooLarge)); }},
        {"stretch larger than the chunk buffer", "refused",
         [&] {
             SnapSimplified("20000");
             console.Receive(pty, BuildSimpleSubPacketReply(1, {50000, 3, 20000}));
         }},
    };
    const std::uint8_t* const image = console.dialog.Session().Picture().View(0, CPictureBuffer::kSize).data();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        console.dialog.Session().Picture().Store(0, Bytes(CPictureBuffer::kSize, 0xA5));
        c.announce();
        EXPECT_NE(console.Text(IDC_LOG).find(c.message), std::string::npos) << console.Text(IDC_LOG);
        EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);
        EXPECT_FALSE(console.dialog.Session().Watchdog().Armed());
        ExpectQuiet("the transfer stops");
        console.Receive(pty, BuildPacketReply(1, 0xFFFF, FakeJpeg(512)));
        console.Receive(pty, BuildReadImageReply(1, FakeJpeg(1024)));
        const std::size_t before = bursts.size();
        console.Tick(1000);
        EXPECT_EQ(bursts.size(), before) << "no resend";
        EXPECT_TRUE(std::all_of(image, image + CPictureBuffer::kSize, [](std::uint8_t b) { return b == 0xA5; }));
        EXPECT_TRUE(console.backend.Pictures().empty());
    }
}

TEST_F(SubPacketWindow, LargestAnnouncedPictureIsReadToTheLastByte)
{
    // The last stretch comes with 500 bytes more than asked for (its CRC
    // right): only the asked-for bytes are used.
    const std::uint32_t length = CPictureBuffer::kSize;
    const Bytes picture = FakeJpeg(length);
    console.SetText(IDC_PACKET_SIZE, "8192");
    console.Receive(pty, BuildImageReadyAnnouncement(1, length));
    for (std::uint32_t offset = 0; offset < length; offset += 8192) {
        const std::uint32_t size = std::min<std::uint32_t>(8192, length - offset);
        const auto request = ParseReadImageRequest(Sent(14));
        ASSERT_TRUE(request && request->offset == offset && request->length == size) << offset;
        Bytes data = Slice(picture, offset, size);
        if (offset + size == length)
            data.resize(data.size() + 500, 0xEE);
        Feed(BuildReadImageReply(1, data));
    }
    EXPECT_EQ(console.Text(IDC_LOG), "Get length=1024000  OK   show picture");
    EXPECT_TRUE(Shown(length) == picture);
}

}  // namespace
}  // namespace qzr::test
