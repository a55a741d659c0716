// Sub-packet transfers through the main window, with the camera played by the
// test on a pseudo-terminal: the numbered exchange frame by frame, the
// simplified reads, the camera's own announcement, the resend watchdog on the
// virtual clock, continuous capture, and pictures the buffer cannot take.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "protocol/subpacket.h"
#include "sim/picture.h"
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

// Requests as the camera must receive them. The check fields are CRC-16/XMODEM
// worked out by hand over everything but the first and the last two bytes.
const Bytes kSetPicture640Q1 = Hex("90 EB 01 34 02 00 05 01 F4 C2");
const Bytes kSetPacketSize512 = Hex("90 EB 01 32 02 00 00 02 E7 C0");
const Bytes kSubPacketStart = Hex("90 EB 01 30 00 00 11 B3");
const Bytes kGetPacket[] = {Hex("90 EB 01 31 02 00 00 00 77 0E"), Hex("90 EB 01 31 02 00 01 00 46 3D"),
                            Hex("90 EB 01 31 02 00 02 00 15 68"), Hex("90 EB 01 31 02 00 03 00 24 5B")};
const Bytes kSimple1024 = Hex("90 EB 01 40 04 00 00 04 05 01 8A AF");
const Bytes kRead0x1024 = Hex("90 EB 01 48 06 00 00 00 00 00 00 04 2C D9");
const Bytes kRead1024x1024 = Hex("90 EB 01 48 06 00 00 04 00 00 00 04 2A 50");
const Bytes kRead2048x452 = Hex("90 EB 01 48 06 00 00 08 00 00 C4 01 34 51");

// Bytes that start like a JPEG, then a pattern that differs at every offset of
// interest (packet and stretch boundaries included).
Bytes FakeJpeg(std::size_t length)
{
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    const std::uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xE0};
    std::copy_n(head, std::min<std::size_t>(4, length), bytes.begin());
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

Bytes ReadBytes(const std::filesystem::path& path)
{
    const std::string text = ReadFile(path);
    return Bytes(text.begin(), text.end());
}

// The main window in sub-packet mode on an open port; the test is the camera.
class SubPacketWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        console.Open();
        console.Connect(pty.SlavePath());
        ASSERT_TRUE(console.dialog.m_port.IsOpen());
        console.Check(IDC_SUB_PACKET, 1);
        console.dialog.m_port.SetWriteTrace([this](std::span<const std::uint8_t> bytes) {
            writes.push_back({console.backend.NowMs(), Bytes(bytes.begin(), bytes.end())});
        });
    }

    // The next `n` bytes the console wrote.
    Bytes Sent(std::size_t n) { return pty.Read(n); }
    // Bytes for the console in even pieces of at most 2048 bytes, which the
    // pseudo-terminal's input queue holds, a poll tick after each. (A piece
    // shorter than the short-reply reassembly buffer can be held back there
    // while a stretch is read, so none is made that short.)
    void Feed(const Bytes& bytes)
    {
        const std::size_t pieces = (bytes.size() + 2047) / 2048;
        const std::size_t piece = pieces ? (bytes.size() + pieces - 1) / pieces : 0;
        for (std::size_t from = 0; from < bytes.size(); from += piece)
            console.Receive(pty, Slice(bytes, from, piece));
    }
    // Nothing further was written.
    void ExpectQuiet(const std::string& why)
    {
        EXPECT_EQ(pty.ReadAvailable(30), Bytes{}) << why;
    }

    // Snapshot in the numbered protocol, answered up to the start reply that
    // announces `start`; the console has then asked for packet 0 (or refused).
    void StartNumbered(SubPacketStart start, std::uint16_t packetSize = 512)
    {
        console.Check(IDC_SIMPLIFIED, 0);
        console.Click(IDC_SNAPSHOT);
        ASSERT_EQ(Sent(10), kSetPicture640Q1);
        console.Receive(pty, BuildSetPictureReply(1, 5, 1));
        ASSERT_EQ(Sent(10), kSetPacketSize512);
        console.Receive(pty, BuildSetPacketSizeReply(1, packetSize));
        ASSERT_EQ(Sent(8), kSubPacketStart);
        console.Receive(pty, BuildSubPacketStartReply(1, start));
    }

    // Answers the console's requests for the packets of `picture` from packet
    // `first` on, checking each request.
    void ServePackets(const Bytes& picture, std::size_t packetSize, std::uint16_t first = 0)
    {
        const std::size_t count = PacketCount(static_cast<std::uint32_t>(picture.size()), packetSize);
        for (std::size_t n = first; n < count; ++n) {
            ASSERT_EQ(Sent(10), BuildPacketRequestFrame(n)) << "packet " << n;
            Feed(BuildPacketReply(1, static_cast<std::uint16_t>(n), Slice(picture, n * packetSize, packetSize)));
        }
    }

    static Bytes BuildPacketRequestFrame(std::size_t n)
    {
        Bytes frame = BuildGetPacketRequest(1, static_cast<std::uint16_t>(n));
        StampCrc(frame);
        return frame;
    }

    // The console's writes since the last clear, joined by the virtual time
    // they happened at: one entry per frame sent or resent.
    struct Burst {
        std::uint64_t ms;
        Bytes bytes;
        bool bytewise;  // one byte per write
    };
    std::vector<Burst> Bursts() const
    {
        std::vector<Burst> bursts;
        for (const Write& w : writes) {
            if (bursts.empty() || bursts.back().ms != w.ms)
                bursts.push_back({w.ms, {}, true});
            bursts.back().bytes.insert(bursts.back().bytes.end(), w.bytes.begin(), w.bytes.end());
            bursts.back().bytewise = bursts.back().bytewise && w.bytes.size() == 1;
        }
        return bursts;
    }

    // The picture buffer from the start, `length` bytes.
    Bytes Shown(std::size_t length) const
    {
        return Bytes(console.dialog.m_pImage.get(), console.dialog.m_pImage.get() + length);
    }

    ScratchDirectory scratch;
    PtyPair pty;
    Console console;
    struct Write {
        std::uint64_t ms;
        Bytes bytes;
    };
    std::vector<Write> writes;
};

// ------------------------------------------------------------ numbered protocol

TEST_F(SubPacketWindow, NumberedExchangeFrameByFrame)
{
    console.Check(IDC_SAVE_IMAGE, 1);
    console.Check(IDC_SIMPLIFIED, 0);
    console.Click(IDC_SNAPSHOT);
    EXPECT_EQ(Sent(10), kSetPicture640Q1);
    EXPECT_EQ(console.Text(IDC_STATUS), "Setting Pic size：5  quality:1");
    EXPECT_EQ(console.dialog.m_nExpectedReply, 0x34);

    console.Receive(pty, BuildSetPictureReply(1, 5, 1));
    EXPECT_EQ(Sent(10), kSetPacketSize512);
    EXPECT_EQ(console.Text(IDC_INFO), "Get pic size");
    EXPECT_EQ(console.Text(IDC_STATUS), "分包大小：512");

    console.Receive(pty, BuildSetPacketSizeReply(1, 512));
    EXPECT_EQ(Sent(8), kSubPacketStart);
    EXPECT_EQ(console.Text(IDC_INFO), "Get Sub-packet size");
    EXPECT_EQ(console.Text(IDC_STATUS), "Sub-packet start");
    EXPECT_TRUE(console.dialog.m_bResendArmed);

    const Bytes picture = FakeJpeg(2000);
    console.Receive(pty, BuildSubPacketStartReply(1, {2000, 4}));
    EXPECT_EQ(console.Text(IDC_INFO), "Data Length=2000 package=4 ");
    EXPECT_EQ(console.Text(IDC_LOG), "Data Length=2000 package=4 Last package Len=464 \r\n");
    EXPECT_EQ(console.dialog.m_strLog, "Data Length=2000 package=4 Last package Len=464 \r\n请求第 1 包图像数据\r\n");

    for (std::size_t n = 0; n < 4; ++n) {
        EXPECT_EQ(Sent(10), kGetPacket[n]) << "packet " << n;
        EXPECT_EQ(console.dialog.m_nExpectedReply, 0x31);
        Bytes reply = BuildPacketReply(1, static_cast<std::uint16_t>(n), Slice(picture, n * 512, 512));
        EXPECT_EQ(reply.size(), n < 3 ? 523u : 475u);
        console.Receive(pty, reply);
        if (n < 3) {
            // The request for the next packet joins the text after it was shown.
            const std::string shown =
                "Get Sub-packet data No. " + std::to_string(n + 1) + " packet/4  length = 523 ----CRC OK\r\n";
            EXPECT_EQ(console.Text(IDC_LOG), shown);
            EXPECT_EQ(console.dialog.m_strLog, shown + "请求第 " + std::to_string(n + 2) + " 包图像数据\r\n");
        }
    }
    ExpectQuiet("the picture is complete");
    EXPECT_EQ(console.Text(IDC_LOG), "Get last packet  No. 4 packet  length = 475 \r\n");
    EXPECT_EQ(console.Text(IDC_STATUS), "show JPG");
    EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
    EXPECT_FALSE(console.dialog.m_bResendArmed);
    EXPECT_EQ(Shown(2000), picture);
    // Saved under the virtual clock's time, exactly the announced length.
    ASSERT_EQ(scratch.Files().size(), 1u);
    EXPECT_EQ(ReadBytes(scratch.Path() / scratch.Files()[0]), picture);
}

TEST_F(SubPacketWindow, OnePacketPictureIsItsOwnLastPacket)
{
    // A real JPEG, drawn at its own size in the middle of the picture area.
    const Bytes jpeg = sim::MakeTestPicture({1, 12, false, 1});
    ASSERT_LT(jpeg.size(), 8192u);
    console.Select(IDC_RESOLUTION, "160x120");
    console.SetText(IDC_PACKET_SIZE, "8192");
    console.Check(IDC_SIMPLIFIED, 0);
    console.Click(IDC_SNAPSHOT);
    Sent(10);
    console.Receive(pty, BuildSetPictureReply(1, 1, 1));
    Sent(10);
    console.Receive(pty, BuildSetPacketSizeReply(1, 8192));
    Sent(8);
    console.Receive(pty, BuildSubPacketStartReply(1, {static_cast<std::uint32_t>(jpeg.size()), 1}));
    EXPECT_EQ(Sent(10), kGetPacket[0]);
    console.Receive(pty, BuildPacketReply(1, 0, jpeg));
    ExpectQuiet("no second packet");

    EXPECT_EQ(console.Text(IDC_LOG), "Get last packet  No. 1 packet  length = " + std::to_string(jpeg.size() + 11) + " \r\n");
    EXPECT_EQ(Shown(jpeg.size()), jpeg);
    ASSERT_EQ(console.backend.Pictures().size(), 1u);
    EXPECT_EQ(console.backend.Pictures()[0].size, (ui::Size{160, 120}));
    EXPECT_EQ(console.backend.Pictures()[0].target.Width(), 160);
}

TEST_F(SubPacketWindow, LastLengthZeroIsLoggedAndEveryPacketRequested)
{
    console.Check(IDC_SAVE_LOG, 1);
    console.Check(IDC_SAVE_IMAGE, 1);
    const Bytes picture = FakeJpeg(1536);
    StartNumbered({1536, 4});
    ServePackets(picture, 512);
    // The camera's empty last packet: 11 bytes.
    ASSERT_EQ(Sent(10), kGetPacket[3]);
    console.Receive(pty, BuildPacketReply(1, 3, {}));

    EXPECT_EQ(console.Text(IDC_STATUS), "show JPG");
    EXPECT_EQ(Shown(1536), picture);
    const std::string log = ReadFile(scratch.Path() / "loog.txt");
    EXPECT_NE(log.find("Last package Len=0 "), std::string::npos) << log;
    EXPECT_NE(log.find("最后一包刚好为0"), std::string::npos) << log;
    EXPECT_NE(log.find("请求最后一包-4"), std::string::npos) << log;
    EXPECT_NE(log.find("最后一包长度正确:  0x31"), std::string::npos) << log;
    EXPECT_NE(log.find("显示图像:  0x31"), std::string::npos) << log;
}

TEST_F(SubPacketWindow, PacketWithBadCrcIsReportedAndUsed)
{
    const Bytes picture = FakeJpeg(2000);
    StartNumbered({2000, 4});
    ServePackets(Slice(picture, 0, 512), 512);  // packet 0
    ASSERT_EQ(Sent(10), kGetPacket[1]);
    Bytes reply = BuildPacketReply(1, 1, Slice(picture, 512, 512));
    const std::uint16_t good = static_cast<std::uint16_t>(reply[521] | (reply[522] << 8));
    reply[522] ^= 0xFF;
    console.Receive(pty, reply);

    char detail[32];
    std::snprintf(detail, sizeof detail, "%x %x  %x", reply[521], reply[522], good);
    EXPECT_EQ(console.Text(IDC_LOG),
              std::string("Get Sub-packet data No. 2 packet/4  length = 523 ") + detail + "----CRC  error\r\n");
    ASSERT_EQ(Sent(10), kGetPacket[2]) << "the transfer goes on";
    console.Receive(pty, BuildPacketReply(1, 2, Slice(picture, 1024, 512)));
    ServePackets(picture, 512, 3);
    EXPECT_EQ(Shown(2000), picture) << "the packet was used";
}

TEST_F(SubPacketWindow, LongerPacketIsRequestedAgain)
{
    const Bytes picture = FakeJpeg(2000);
    StartNumbered({2000, 4});
    ASSERT_EQ(Sent(10), kGetPacket[0]);
    Bytes longer = BuildPacketReply(1, 0, Slice(picture, 0, 512));
    longer.push_back(0x00);
    console.Receive(pty, longer);
    EXPECT_EQ(Sent(10), kGetPacket[0]);
    console.Receive(pty, BuildPacketReply(1, 0, Slice(picture, 0, 512)));
    ServePackets(picture, 512, 1);
    EXPECT_EQ(Shown(2000), picture);
}

TEST_F(SubPacketWindow, PacketArrivingInPiecesIsGathered)
{
    const Bytes picture = FakeJpeg(2000);
    StartNumbered({2000, 4});
    ASSERT_EQ(Sent(10), kGetPacket[0]);
    const Bytes reply = BuildPacketReply(1, 0, Slice(picture, 0, 512));
    for (std::size_t from = 0; from < reply.size(); from += 200)
        console.Receive(pty, Slice(reply, from, 200));
    ServePackets(picture, 512, 1);
    EXPECT_EQ(Shown(2000), picture);
}

TEST_F(SubPacketWindow, ControlRepliesInPiecesAreReassembled)
{
    const struct {
        const char* what;
        bool simplified;
        std::size_t firstPiece;
    } cases[] = {
        {"0x34 reply 4 + 7", false, 4},
        {"0x34 reply 7 + 4", false, 7},
        {"0x40 reply 10 + 9", true, 10},
        {"0x40 reply 3 + 16", true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        console.SetText(IDC_PACKET_SIZE, "1024");
        console.Check(IDC_SIMPLIFIED, c.simplified ? 1 : 0);
        console.Click(IDC_SNAPSHOT);
        const Bytes request = Sent(c.simplified ? 12 : 10);
        const Bytes reply = c.simplified ? BuildSimpleSubPacketReply(1, {2500, 3, 1024}) : BuildSetPictureReply(1, 5, 1);
        console.Receive(pty, Slice(reply, 0, c.firstPiece));
        ExpectQuiet("half a reply");
        console.Receive(pty, Slice(reply, c.firstPiece, reply.size()));
        Bytes next = c.simplified ? kRead0x1024 : Hex("90 EB 01 32 02 00 00 04 21 A0");
        EXPECT_EQ(Sent(next.size()), next);
    }
}

TEST_F(SubPacketWindow, WrongSizeStartReplyIsReportedAndStops)
{
    StartNumbered({2000, 4});
    // The console asked for packet 0; run a fresh exchange with a short reply.
    Sent(10);
    const struct {
        const char* what;
        int change;
        const char* log;
    } cases[] = {{"one byte short", -1, "分包返回指令字节数不对 14"}, {"one byte long", +1, "分包返回指令字节数不对 16"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        console.Click(IDC_SNAPSHOT);
        Sent(10);
        console.Receive(pty, BuildSetPictureReply(1, 5, 1));
        Sent(10);
        console.Receive(pty, BuildSetPacketSizeReply(1, 512));
        ASSERT_EQ(Sent(8), kSubPacketStart);
        Bytes reply = BuildSubPacketStartReply(1, {2000, 4});
        reply.resize(reply.size() + c.change, 0);
        console.Receive(pty, reply);
        EXPECT_EQ(console.Text(IDC_LOG), c.log);
        ExpectQuiet("the exchange stops");
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
    console.SetText(IDC_PACKET_SIZE, "100");

    const struct {
        int test;
        Bytes frame;
    } cases[] = {
        {0, Hex("90 EB 01 40 04 00 64 00 05 01 69 E0")},
        {1, Hex("90 EB 01 40 04 00 64 00 05 65 4B CC")},  // quality 1 + 100
    };
    console.Check(IDC_SIMPLIFIED, 1);
    for (const auto& c : cases) {
        console.Check(IDC_TEST_QUALITY, c.test);
        console.Click(IDC_SNAPSHOT);
        EXPECT_EQ(Sent(12), c.frame) << "Test " << c.test;
        EXPECT_EQ(console.Text(IDC_STATUS), "Sub-packet");
    }
}

// ------------------------------------------------------------ simplified protocol

TEST_F(SubPacketWindow, SimplifiedReadsByOffset)
{
    console.Check(IDC_SAVE_IMAGE, 1);
    console.SetText(IDC_PACKET_SIZE, "1024");
    console.Click(IDC_SNAPSHOT);
    ASSERT_EQ(Sent(12), kSimple1024);
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
        {kRead1024x1024, 1024, 1024, "Getting package=2  Get length=2048"},
        {kRead2048x452, 2048, 452, "Get length=2500  OK   show picture"},
    };
    for (const auto& r : reads) {
        EXPECT_EQ(Sent(r.request.size()), r.request) << r.from;
        console.Receive(pty, BuildReadImageReply(1, Slice(picture, r.from, r.length)));
        EXPECT_EQ(console.Text(IDC_LOG), r.log);
    }
    ExpectQuiet("complete");
    EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
    EXPECT_FALSE(console.dialog.m_bResendArmed) << "the simplified protocol has no watchdog";
    ASSERT_EQ(scratch.Files().size(), 1u);
    EXPECT_EQ(ReadBytes(scratch.Path() / scratch.Files()[0]), picture);
}

TEST_F(SubPacketWindow, StretchWithBadCrcStopsTheReads)
{
    console.SetText(IDC_PACKET_SIZE, "1024");
    console.Click(IDC_SNAPSHOT);
    Sent(12);
    const Bytes picture = FakeJpeg(2500);
    console.Receive(pty, BuildSimpleSubPacketReply(1, {2500, 3, 1024}));
    ASSERT_EQ(Sent(14), kRead0x1024);
    Bytes stretch = BuildReadImageReply(1, Slice(picture, 0, 1024));
    stretch.back() ^= 0x01;
    console.Receive(pty, stretch);
    EXPECT_EQ(console.dialog.m_strStatus, "Get package=1032");
    console.Tick(1000);
    ExpectQuiet("not used and not asked for again");
    EXPECT_TRUE(console.backend.Pictures().empty());
    EXPECT_EQ(console.dialog.m_nExpectedReply, 0x48);
}

TEST_F(SubPacketWindow, StretchEndingInAShortPieceCompletes)
{
    // At 115200 a stretch often arrives as a long read and a short tail; the
    // tail is data, not the start of a control reply to hold back.
    console.SetText(IDC_PACKET_SIZE, "1024");
    console.Click(IDC_SNAPSHOT);
    Sent(12);
    const Bytes picture = FakeJpeg(1024);
    console.Receive(pty, BuildSimpleSubPacketReply(1, {1024, 1, 1024}));
    ASSERT_EQ(Sent(14), kRead0x1024);
    const Bytes stretch = BuildReadImageReply(1, picture);
    console.Receive(pty, Slice(stretch, 0, 1010));
    console.Receive(pty, Slice(stretch, 1010, stretch.size() - 1010));
    EXPECT_EQ(console.Text(IDC_LOG), "Get length=1024  OK   show picture");
    EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
}

TEST_F(SubPacketWindow, StretchSizeTheBufferCannotTakeIsRefused)
{
    console.SetText(IDC_PACKET_SIZE, "20000");
    console.Click(IDC_SNAPSHOT);
    Sent(12);
    console.Receive(pty, BuildSimpleSubPacketReply(1, {50000, 3, 20000}));
    ExpectQuiet("no stretch is asked for");
    EXPECT_NE(console.Text(IDC_LOG).find("refused"), std::string::npos);
    EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
}

TEST_F(SubPacketWindow, SimplifiedSnapshotDisarmsAnAbandonedNumberedTransfer)
{
    StartNumbered({2000, 4});
    ASSERT_EQ(Sent(10), kGetPacket[0]);
    ASSERT_TRUE(console.dialog.m_bResendArmed);
    // The operator gives up and takes a picture the simplified way.
    console.Check(IDC_SIMPLIFIED, 1);
    console.SetText(IDC_PACKET_SIZE, "1024");
    console.Click(IDC_SNAPSHOT);
    ASSERT_EQ(Sent(12), kSimple1024);
    EXPECT_FALSE(console.dialog.m_bResendArmed);
    console.Tick(700);
    ExpectQuiet("the simplified protocol is not resent");
}

TEST_F(SubPacketWindow, TimerRefreshKeepsWhatTheOperatorJustTicked)
{
    // A reply arriving on the timer refreshes the text boxes only: "Save",
    // ticked while the transfer runs, is still ticked when the picture is saved.
    console.SetText(IDC_PACKET_SIZE, "1024");
    console.Click(IDC_SNAPSHOT);
    Sent(12);
    const Bytes picture = FakeJpeg(1024);
    console.Check(IDC_SAVE_IMAGE, 1);
    console.Receive(pty, BuildSimpleSubPacketReply(1, {1024, 1, 1024}));
    EXPECT_EQ(console.Text(IDC_SAVE_IMAGE), "1");
    ASSERT_EQ(Sent(14), kRead0x1024);
    console.Receive(pty, BuildReadImageReply(1, picture));
    EXPECT_EQ(console.Text(IDC_SAVE_IMAGE), "1");
}

TEST_F(SubPacketWindow, UnfinishedWholePackagePictureDoesNotBlockTheReads)
{
    // What a whole-package picture that never completed left behind.
    console.dialog.m_nImageReceived = CCameraTestDlg::kImageBufferSize - 100;
    console.SetText(IDC_PACKET_SIZE, "4096");
    console.Click(IDC_SNAPSHOT);
    Sent(12);
    const Bytes picture = FakeJpeg(4096);
    console.Receive(pty, BuildSimpleSubPacketReply(1, {4096, 1, 4096}));
    Sent(14);
    Feed(BuildReadImageReply(1, picture));
    EXPECT_EQ(console.Text(IDC_LOG), "Get length=4096  OK   show picture");
}

TEST(LogBox, KeepsItsLastPartOnly)
{
    Console console;
    console.Open();
    for (int line = 0; line < 5000; ++line)
        console.dialog.AppendToLog("\r\n图像过大，缓冲区内存不足\r\n" + std::to_string(line));
    const std::string& log = console.dialog.m_strLog;
    EXPECT_LE(log.size(), CCameraTestDlg::kMaxLogText);
    EXPECT_GT(log.size(), CCameraTestDlg::kMaxLogText / 2);
    EXPECT_EQ(log.substr(log.size() - 4), "4999") << "the newest text stays";
    EXPECT_TRUE(log.rfind("图", 0) == 0 || std::isdigit(static_cast<unsigned char>(log[0]))) << "cut at a line start";
}

TEST(SubPacketAnnouncement, StartsReadsOnlyInSubPacketMode)
{
    for (bool subPacket : {true, false}) {
        SCOPED_TRACE(subPacket ? "sub-packet" : "whole package");
        PtyPair pty;
        Console console;
        console.Open();
        console.Connect(pty.SlavePath());
        console.Check(subPacket ? IDC_SUB_PACKET : IDC_WHOLE_PACKAGE, 1);
        console.SetText(IDC_PACKET_SIZE, "1024");
        const Bytes picture = FakeJpeg(1500);
        console.Receive(pty, BuildImageReadyAnnouncement(1, 1500));
        if (!subPacket) {
            EXPECT_EQ(pty.ReadAvailable(30), Bytes{});
            EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
            continue;
        }
        EXPECT_EQ(pty.Read(14), kRead0x1024);
        console.Receive(pty, BuildReadImageReply(1, Slice(picture, 0, 1024)));
        EXPECT_EQ(pty.Read(14), Hex("90 EB 01 48 06 00 00 04 00 00 DC 01 C5 50"));  // 1024, 476 bytes
        console.Receive(pty, BuildReadImageReply(1, Slice(picture, 1024, 476)));
        EXPECT_EQ(console.Text(IDC_LOG), "Get length=1500  OK   show picture");
        EXPECT_EQ(Bytes(console.dialog.m_pImage.get(), console.dialog.m_pImage.get() + 1500), picture);
    }
}

// ------------------------------------------------------------ watchdog

TEST_F(SubPacketWindow, WatchdogResendsStartRequestAfterSixtySeconds)
{
    console.Check(IDC_SAVE_LOG, 1);
    console.Check(IDC_SIMPLIFIED, 0);
    console.Click(IDC_SNAPSHOT);
    Sent(10);
    console.Receive(pty, BuildSetPictureReply(1, 5, 1));
    Sent(10);
    writes.clear();
    console.Receive(pty, BuildSetPacketSizeReply(1, 512));
    ASSERT_EQ(Sent(8), kSubPacketStart);
    console.Tick(4000);  // six and a half minutes of silence

    // The request and five resends, one a minute (600 poll ticks, give or take
    // the one a handler's pause takes), each written a byte at a time.
    const auto bursts = Bursts();
    ASSERT_EQ(bursts.size(), 6u);
    EXPECT_EQ(bursts[0].bytes, kSubPacketStart);
    EXPECT_FALSE(bursts[0].bytewise);
    for (std::size_t i = 1; i < bursts.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bursts[i].bytes, kSubPacketStart);
        EXPECT_TRUE(bursts[i].bytewise);
        EXPECT_NEAR(static_cast<double>(bursts[i].ms - bursts[i - 1].ms), 60000.0, 100.0);
    }
    Bytes fiveTimes;
    for (int i = 0; i < 5; ++i)
        fiveTimes.insert(fiveTimes.end(), kSubPacketStart.begin(), kSubPacketStart.end());
    EXPECT_EQ(Sent(40), fiveTimes) << "what the camera got";
    EXPECT_EQ(console.Text(IDC_STATUS), "重发");
    EXPECT_FALSE(console.dialog.m_bResendArmed) << "five resends at most";

    const std::string log = ReadFile(scratch.Path() / "loog.txt");
    std::size_t count = 0;
    for (std::size_t at = log.find("分包重发  30"); at != std::string::npos; at = log.find("分包重发  30", at + 1))
        ++count;
    EXPECT_EQ(count, 5u) << log;
    EXPECT_NE(log.find("2024-01-31 12:01:00  重发协议 cmd=30\r\n2024-01-31 12:01:00  分包重发  30\r\r\n"), std::string::npos)
        << log;
}

TEST_F(SubPacketWindow, WatchdogResendsPacketRequestAfterFortySeconds)
{
    writes.clear();
    StartNumbered({2000, 4});
    ASSERT_EQ(Sent(10), kGetPacket[0]);
    const std::uint64_t sentAt = Bursts().back().ms;
    writes.clear();
    console.Tick(398);
    EXPECT_TRUE(writes.empty());
    console.Tick(3);
    const auto bursts = Bursts();
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_TRUE(bursts[0].bytewise);
    EXPECT_EQ(bursts[0].bytes, kGetPacket[0]);
    EXPECT_NEAR(static_cast<double>(bursts[0].ms - sentAt), 40000.0, 100.0);
    EXPECT_EQ(Sent(10), kGetPacket[0]);
    EXPECT_EQ(console.Text(IDC_STATUS), "重发");

    // The answer to the resend carries the transfer on.
    const Bytes picture = FakeJpeg(2000);
    console.Receive(pty, BuildPacketReply(1, 0, Slice(picture, 0, 512)));
    ServePackets(picture, 512, 1);
    EXPECT_EQ(Shown(2000), picture);
    writes.clear();
    console.Tick(2000);
    EXPECT_TRUE(writes.empty()) << "disarmed once the picture is shown";
}

// A reply torn off half way is followed by the whole reply to the resend: the
// resend's reply starts afresh in the packet buffer.
TEST_F(SubPacketWindow, TornPacketReplyRecoversAfterResend)
{
    for (std::uint16_t torn : {1, 3}) {  // a middle packet and the last one
        SCOPED_TRACE(torn);
        const Bytes picture = FakeJpeg(2000);
        StartNumbered({2000, 4});
        ServePackets(Slice(picture, 0, torn * 512u), 512);
        ASSERT_EQ(Sent(10), kGetPacket[torn]);
        const Bytes reply = BuildPacketReply(1, torn, Slice(picture, torn * 512u, 512));
        console.Receive(pty, Slice(reply, 0, 100));
        console.Tick(399);
        ASSERT_EQ(Sent(10), kGetPacket[torn]) << "resent";
        console.Receive(pty, reply);
        ServePackets(picture, 512, static_cast<std::uint16_t>(torn + 1));
        ExpectQuiet("complete");
        EXPECT_EQ(Shown(2000), picture);
        EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
        std::fill_n(console.dialog.m_pImage.get(), 2000, 0);
    }
}

// The same for a control reply: the start reply torn off after five bytes,
// then the reply to the resend, itself in two pieces.
TEST_F(SubPacketWindow, TornStartReplyRecoversAfterResend)
{
    console.Check(IDC_SIMPLIFIED, 0);
    console.Click(IDC_SNAPSHOT);
    Sent(10);
    console.Receive(pty, BuildSetPictureReply(1, 5, 1));
    Sent(10);
    console.Receive(pty, BuildSetPacketSizeReply(1, 512));
    ASSERT_EQ(Sent(8), kSubPacketStart);
    const Bytes reply = BuildSubPacketStartReply(1, {2000, 4});
    console.Receive(pty, Slice(reply, 0, 5));
    console.Tick(601);
    ASSERT_EQ(Sent(8), kSubPacketStart) << "resent";
    console.Receive(pty, Slice(reply, 0, 7));
    console.Receive(pty, Slice(reply, 7, 8));
    EXPECT_EQ(Sent(10), kGetPacket[0]);
    EXPECT_EQ(console.Text(IDC_INFO), "Data Length=2000 package=4 ");
}

// ------------------------------------------------------------ continuous capture

TEST_F(SubPacketWindow, ContinuousCaptureRequestsTheNextPictureAtOnce)
{
    const struct {
        const char* what;
        bool simplified;
    } cases[] = {{"simplified", true}, {"numbered", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        console.Check(IDC_SIMPLIFIED, c.simplified ? 1 : 0);
        console.SetText(IDC_PACKET_SIZE, "1024");
        const Bytes firstRequest = c.simplified ? kSimple1024 : kSetPicture640Q1;
        const Bytes picture = FakeJpeg(1000);
        // Serves one picture of 1000 bytes, one packet or one stretch.
        auto serve = [&] {
            if (c.simplified) {
                console.Receive(pty, BuildSimpleSubPacketReply(1, {1000, 1, 1024}));
                ASSERT_EQ(Sent(14), Hex("90 EB 01 48 06 00 00 00 00 00 E8 03 D0 30"));
                console.Receive(pty, BuildReadImageReply(1, picture));
            } else {
                console.Receive(pty, BuildSetPictureReply(1, 5, 1));
                Sent(10);
                console.Receive(pty, BuildSetPacketSizeReply(1, 1024));
                Sent(8);
                console.Receive(pty, BuildSubPacketStartReply(1, {1000, 1}));
                Sent(10);
                console.Receive(pty, BuildPacketReply(1, 0, picture));
            }
        };
        console.Click(IDC_CONTINUOUS_CAPTURE);
        EXPECT_TRUE(console.Enabled(IDC_STOP_SNAPSHOT));
        EXPECT_FALSE(console.Enabled(IDC_SNAPSHOT));
        EXPECT_FALSE(console.Enabled(IDC_CONTINUOUS_CAPTURE));
        ASSERT_EQ(Sent(firstRequest.size()), firstRequest);
        serve();
        // The next request went out in the tick that finished the picture.
        EXPECT_EQ(pty.ReadAvailable(30), firstRequest);
        serve();
        EXPECT_EQ(Sent(firstRequest.size()), firstRequest);
        // Stopped during the third picture: it completes, nothing follows.
        console.Click(IDC_STOP_SNAPSHOT);
        EXPECT_TRUE(console.Enabled(IDC_SNAPSHOT));
        EXPECT_TRUE(console.Enabled(IDC_CONTINUOUS_CAPTURE));
        EXPECT_FALSE(console.Enabled(IDC_STOP_SNAPSHOT));
        std::fill_n(console.dialog.m_pImage.get(), 1000, 0);
        serve();
        EXPECT_EQ(Shown(1000), picture) << "the current picture is still shown";
        console.Tick(50);
        ExpectQuiet("no further request");
    }
}

// ------------------------------------------------------------ pictures the buffer cannot take

// Sentinels after the announced end show whether anything was written past it.
void FillSentinel(CCameraTestDlg& dialog) { std::fill_n(dialog.m_pImage.get(), CCameraTestDlg::kImageBufferSize, 0xA5); }
bool SentinelIntact(const CCameraTestDlg& dialog, std::size_t from = 0)
{
    const std::uint8_t* image = dialog.m_pImage.get();
    return std::all_of(image + from, image + CCameraTestDlg::kImageBufferSize, [](std::uint8_t b) { return b == 0xA5; });
}

TEST_F(SubPacketWindow, OversizedAnnouncementsAreRefused)
{
    const std::uint32_t tooLarge = CCameraTestDlg::kImageBufferSize + 1;
    const struct {
        const char* what;
        std::function<void()> announce;
    } cases[] = {
        {"0x30 start reply",
         [&] { StartNumbered({tooLarge, static_cast<std::uint16_t>(PacketCount(tooLarge, 512))}); }},
        {"0x40 simplified reply",
         [&] {
             console.Check(IDC_SIMPLIFIED, 1);
             console.Click(IDC_SNAPSHOT);
             Sent(12);
             console.Receive(pty, BuildSimpleSubPacketReply(1, {0xFFFFFF, 0xFFFF, 512}));
         }},
        {"0x42 announcement", [&] { console.Receive(pty, BuildImageReadyAnnouncement(1, tooLarge)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        console.dialog.m_strLog.clear();
        FillSentinel(console.dialog);
        c.announce();
        EXPECT_NE(console.Text(IDC_LOG).find("图像过大"), std::string::npos) << console.Text(IDC_LOG);
        EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
        EXPECT_FALSE(console.dialog.m_bResendArmed);
        ExpectQuiet("the transfer stops");
        // Whatever the camera sends next lands nowhere.
        console.Receive(pty, BuildPacketReply(1, 0xFFFF, FakeJpeg(512)));
        console.Receive(pty, BuildReadImageReply(1, FakeJpeg(1024)));
        writes.clear();
        console.Tick(1000);
        EXPECT_TRUE(writes.empty()) << "no resend";
        EXPECT_TRUE(SentinelIntact(console.dialog));
        EXPECT_TRUE(console.backend.Pictures().empty());
    }
}

TEST_F(SubPacketWindow, LargestPictureFillsTheBufferExactly)
{
    // 2000 packets of 512 bytes are the whole buffer; the camera's stray
    // packets (wrong number, too long) change nothing.
    const std::uint32_t length = CCameraTestDlg::kImageBufferSize;
    FillSentinel(console.dialog);
    StartNumbered({length, 2000});
    ASSERT_EQ(Sent(10), kGetPacket[0]);
    console.Receive(pty, BuildPacketReply(1, 1999, FakeJpeg(512)));
    console.Receive(pty, BuildPacketReply(1, 0xFFFF, FakeJpeg(512)));
    EXPECT_TRUE(SentinelIntact(console.dialog)) << "packets out of turn are not stored";
    console.Receive(pty, BuildPacketReply(1, 0, FakeJpeg(600)));
    EXPECT_EQ(Sent(10), kGetPacket[0]) << "too long: asked again";
    EXPECT_TRUE(SentinelIntact(console.dialog));
}

TEST_F(SubPacketWindow, LargestAnnouncedPictureIsReadToTheLastByte)
{
    // A whole buffer's worth announced by the camera and read in 8192-byte
    // stretches; the last stretch comes with 500 bytes more than asked for
    // (its CRC right), of which only the asked-for bytes are used.
    const std::uint32_t length = CCameraTestDlg::kImageBufferSize;
    const Bytes picture = FakeJpeg(length);
    console.SetText(IDC_PACKET_SIZE, "8192");
    console.Receive(pty, BuildImageReadyAnnouncement(1, length));
    for (std::uint32_t offset = 0; offset < length; offset += 8192) {
        const std::uint32_t size = std::min<std::uint32_t>(8192, length - offset);
        const auto request = ParseReadImageRequest(Sent(14));
        ASSERT_TRUE(request) << offset;
        ASSERT_EQ(request->offset, offset);
        ASSERT_EQ(request->length, size);
        Bytes data = Slice(picture, offset, size);
        if (offset + size == length)
            data.resize(data.size() + 500, 0xEE);
        Feed(BuildReadImageReply(1, data));
    }
    EXPECT_EQ(console.Text(IDC_LOG), "Get length=1024000  OK   show picture");
    EXPECT_TRUE(Shown(length) == picture);
}

TEST_F(SubPacketWindow, InconsistentPacketCountOrSizeIsRefused)
{
    const struct {
        const char* what;
        std::uint16_t packetSize;
        SubPacketStart start;
    } cases[] = {
        {"last packet longer than a packet", 512, {2000, 3}},
        {"last packet length negative", 512, {2000, 5}},
        {"no packets", 512, {2000, 0}},
        {"packet larger than the chunk buffer", 10240, {20000, 2}},
        {"packet frame one byte over the chunk buffer", 10229, {20000, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        console.Check(IDC_SIMPLIFIED, 0);
        console.Click(IDC_SNAPSHOT);
        Sent(10);
        console.Receive(pty, BuildSetPictureReply(1, 5, 1));
        Sent(10);
        console.Receive(pty, BuildSetPacketSizeReply(1, c.packetSize));
        ASSERT_EQ(Sent(8), kSubPacketStart);
        console.Receive(pty, BuildSubPacketStartReply(1, c.start));
        EXPECT_NE(console.Text(IDC_LOG).find("refused"), std::string::npos) << console.Text(IDC_LOG);
        EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
        EXPECT_FALSE(console.dialog.m_bResendArmed);
        ExpectQuiet("no packet is requested");
    }
}

TEST_F(SubPacketWindow, LargestPacketThatFitsIsAccepted)
{
    // A 10,228-byte packet makes a 10,239-byte reply, the most the chunk
    // buffer takes.
    const Bytes picture = FakeJpeg(15000);
    StartNumbered({15000, 2}, 10228);
    ASSERT_EQ(Sent(10), kGetPacket[0]);
    Feed(BuildPacketReply(1, 0, Slice(picture, 0, 10228)));
    ServePackets(picture, 10228, 1);
    EXPECT_EQ(Shown(15000), picture);
}

// A camera that answers each request with a damaged reply now and then:
// packet numbers out of turn, packets and stretches too long or too short
// (their CRC right or wrong), stray bytes; announcements whose packet count
// may not add up. Nothing lands after the announced picture, and nothing
// outside the buffer (the sanitizer builds check that part).
TEST_F(SubPacketWindow, HostileRepliesStayInsideThePicture)
{
    std::mt19937 random(20240131);
    auto pick = [&](std::uint32_t low, std::uint32_t high) {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(random);
    };
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE(round);
        const bool simplified = round % 2 == 1;
        const std::uint16_t packetSize = std::array<std::uint16_t, 5>{32, 512, 1000, 4096, 10228}[pick(0, 4)];
        const std::uint32_t length = pick(0, 3) == 0 ? CCameraTestDlg::kImageBufferSize - pick(0, 2000) : pick(1, 60000);
        const Bytes picture = FakeJpeg(length);
        FillSentinel(console.dialog);
        if (simplified) {
            console.SetText(IDC_PACKET_SIZE, std::to_string(packetSize));
            console.Receive(pty, BuildImageReadyAnnouncement(1, length));
        } else {
            console.SetText(IDC_PACKET_SIZE, "512");
            const std::uint32_t count = PacketCount(length, packetSize) + (pick(0, 3) == 0 ? pick(0, 2) - 1 : 0);
            StartNumbered({length, static_cast<std::uint16_t>(count)}, packetSize);
        }
        for (int reply = 0; reply < 60; ++reply) {
            // The console's latest request, if any.
            const Bytes sent = pty.ReadAvailable(1);
            const auto packet = sent.size() >= 10 ? ParseGetPacketRequest(Slice(sent, sent.size() - 10, 10)) : std::nullopt;
            const auto stretch = sent.size() >= 14 ? ParseReadImageRequest(Slice(sent, sent.size() - 14, 14)) : std::nullopt;
            Bytes data = packet ? Slice(picture, std::size_t{*packet} * packetSize, packetSize)
                                : stretch ? Slice(picture, stretch->offset, stretch->length) : FakeJpeg(pick(0, 3000));
            std::uint16_t number = packet ? *packet : static_cast<std::uint16_t>(pick(0, 3));
            const std::uint32_t damage = pick(0, 9);
            if (damage == 0)
                data.resize(data.size() + pick(1, 40), 0xEE);
            else if (damage == 1)
                data.resize(data.size() - std::min<std::size_t>(data.size(), pick(1, 40)));
            else if (damage == 2)
                number = static_cast<std::uint16_t>(pick(0, 0xFFFF));
            Bytes bytes = (packet || (!stretch && pick(0, 1))) ? BuildPacketReply(1, number, data) : BuildReadImageReply(1, data);
            if (damage == 3)
                bytes.back() ^= 0x5A;
            if (damage == 4)
                bytes = FakeJpeg(pick(1, 40));
            Feed(bytes);
        }
        EXPECT_TRUE(SentinelIntact(console.dialog, length)) << "written after the announced picture";
        // A fresh exchange for the next round.
        console.Check(IDC_SIMPLIFIED, 1);
        console.Click(IDC_SNAPSHOT);
        console.Tick();
        pty.ReadAvailable(10);
    }
}

}  // namespace
}  // namespace qzr::test
