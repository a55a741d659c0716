// Whole-package capture in the main window, the camera's free text and test trigger, and continuous capture.
#include <sys/ioctl.h>

#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

constexpr std::size_t kReadSize = 2048;  // the console reads at most this per poll tick

Bytes Reply(const Bytes& jpeg) { return BuildSnapshotReply(1, jpeg); }

struct WholeRig : Rig {
    using Rig::Rig;
    // Snapshot pressed; the request the camera got.
    Bytes Snap()
    {
        console.Click(IDC_SNAPSHOT);
        return Heard(10);
    }
    // Feeds `bytes` in reads of `sizes`, then of at most a poll's worth, running `beforeRead` before each.
    void Deliver(const Bytes& bytes, std::vector<std::size_t> sizes = {},
                 const std::function<void(std::size_t at)>& beforeRead = {})
    {
        for (std::size_t at = 0, i = 0; at < bytes.size(); at += i < sizes.size() ? sizes[i++] : kReadSize) {
            if (beforeRead)
                beforeRead(at);
            Send(Slice(bytes, at, i < sizes.size() ? sizes[i] : kReadSize));
        }
    }
    std::size_t Drawn() const { return console.backend.Pictures().size(); }
    std::string Bar() const { return console.Text(IDC_TRANSFER_PROGRESS); }
};

// The chosen row's code (a text listed twice: the first one's), the quality, the id's low byte.
TEST(SnapshotRequest, CarriesTheChosenCodesAndTheCameraId)
{
    const struct {
        int row;  // of the resolution list
        const char *quality, *id, *head;  // the request without its check field
    } cases[] = {
        {11, "12", "7", "90 EB 07 02 02 00 0E 0C"}, {5, "15", "300", "90 EB 2C 02 02 00 08 01"},
        {19, "1", "1", "90 EB 01 02 02 00 05 01"},  {29, "1", "1", "90 EB 01 02 02 00 10 01"},
    };
    WholeRig rig;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        rig.console.dialog.Combo(IDC_RESOLUTION).SetCurSel(c.row);
        rig.console.SetText(IDC_QUALITY, c.quality);
        rig.console.SetText(IDC_CAMERA_ID, c.id);
        const Bytes frame = rig.Snap();
        EXPECT_EQ(Slice(frame, 0, 8), Hex(c.head));
        EXPECT_TRUE(HasValidCrc(frame));
        EXPECT_EQ(rig.console.Text(IDC_STATUS), "begin");
        rig.ExpectQuiet("one frame per press");
    }
}

// Pictures survive any split and a stray read of up to three bytes; data that is no JPEG is saved, not drawn.
TEST(WholePackageReception, CompletesAcrossAnySplit)
{
    const Bytes jpeg = Jpeg(1), noJpeg = ToBytes("not jpeg");
    const std::size_t size = Reply(jpeg).size();
    ASSERT_LE(size, kReadSize) << "the whole reply must fit one read";
    const struct {
        Bytes stray;
        std::vector<std::size_t> sizes;  // the reply's first reads; the rest follows
        const char* headerStatus = nullptr;  // shown after the reply's first read
        bool isJpeg = true;
    } cases[] = {
        {{}, {size}}, {{0x00, 0x41}, {100}, "Received image header - Correct"},
        {{0x55, 0x55, 0x55, 0x55, 0x55}, {100}, "Received image header - Error"},
        {{}, {size - 1}}, {{}, {4, 13, 900, 1, 2}}, {{}, {}, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.sizes) + " after " + std::to_string(c.stray.size()) + " stray");
        WholeRig rig({.save = true});
        Console& console = rig.console;
        console.Select(IDC_RESOLUTION, "160x120");
        rig.Snap();
        if (!c.stray.empty())
            rig.Send(c.stray);
        const Bytes& data = c.isJpeg ? jpeg : noJpeg;
        const Bytes reply = Reply(data);
        rig.Deliver(reply, c.sizes, [&](std::size_t at) {
            EXPECT_EQ(rig.Drawn(), 0u) << "drawn before byte " << at;
            EXPECT_TRUE(!c.headerStatus || at != c.sizes[0] || console.Text(IDC_STATUS) == c.headerStatus) << console.Text(IDC_STATUS);
        });
        ASSERT_EQ(rig.Drawn(), c.isJpeg ? 1u : 0u);
        EXPECT_TRUE(!c.isJpeg || console.backend.Pictures()[0].size == (ui::Size{160, 120}));
        EXPECT_EQ(console.Text(IDC_STATUS), c.isJpeg ? "show JPG" : "JPG格式不对");
        EXPECT_EQ(rig.dir.TakePictures(), std::vector<Bytes>{data});
        EXPECT_TRUE(console.Messages().empty());
    }
}

// A JPEG where the length should be is reported; nothing is drawn or asked for again while the console waits.
TEST(WholePackageReception, JpegWhereTheLengthShouldBeIsReported)
{
    WholeRig rig;
    rig.Snap();
    rig.Deliver(Hex("90 EB 01 02") + Jpeg(1), {20});
    EXPECT_EQ(rig.console.Text(IDC_STATUS), "长度数据丢失");
    rig.ExpectQuiet("nothing asked for again in two minutes", 1200);
    EXPECT_EQ(rig.Drawn(), 0u);
}

// Too big a picture fills the buffer exactly; the rest is dropped, reported, not charged to a later transfer.
TEST(WholePackageReception, PictureLargerThanTheBufferIsDropped)
{
    WholeRig rig;
    Console& console = rig.console;
    rig.Snap();
    rig.Send(Hex("90 EB 01 02 FF FF FF") + Bytes(kReadSize - 7, 0x11));
    const std::string full = "Image data length:16777215--received length：1024000";
    for (int reads = 1; reads < 600 && console.Text(IDC_LOG) != full; ++reads)  // 500 fill it
        rig.Send(Bytes(kReadSize, 0x22));
    ASSERT_EQ(console.Text(IDC_LOG), full);
    rig.Send(Bytes(kReadSize, 0x22));
    EXPECT_EQ(console.Text(IDC_LOG), full + "\r\n图像过大，缓冲区内存不足\r\n");
    EXPECT_EQ(rig.Drawn(), 0u);
    // Every read refused says so again; the box keeps its last 64 KiB, cut at a line start.
    for (int reads = 0; reads < 1700; ++reads)
        rig.Send({0x22});
    const std::string log = console.Text(IDC_LOG);
    EXPECT_GT(log.size(), 64u * 1024 - 40);
    EXPECT_LE(log.size(), 64u * 1024);
    EXPECT_TRUE(log.starts_with("\r\n图像过大") && log.ends_with("图像过大，缓冲区内存不足\r\n"));

    console.Check(IDC_SUB_PACKET, 1);
    console.Click(IDC_SNAPSHOT);
    rig.Heard(12);
    rig.Send(BuildSimpleSubPacketReply(1, {2000, 4, 512}));
    EXPECT_TRUE(ParseReadImageRequest(rig.Heard(14))) << "the reply was taken";
}

// The transfer bar: bytes received of those announced and the rate, until the picture ends or is given up.
TEST(TransferProgress, FollowsAWholePackagePictureUntilItEnds)
{
    const Bytes reply = Reply(sim::MakeTestPicture({1, 5, false, 1}));
    const std::string total = "/" + std::to_string(reply.size()) + " bytes, ";
    WholeRig rig;
    rig.Snap();
    const std::pair<std::size_t, std::string> steps[] = {
        {0, "idle"}, {5, "idle"},  // the length is not there yet
        {705, "705" + total + "0 B/s"}, {706, "706" + total + "7060 B/s"}, {1706, "1706" + total + "8530 B/s"},
        {reply.size(), "idle"},
    };
    for (std::size_t at = 0; const auto& [to, bar] : steps) {
        if (to > at)
            rig.Send(Slice(reply, at, to - at));
        at = to;
        EXPECT_EQ(rig.Bar(), bar) << to;
    }
    EXPECT_EQ(rig.Drawn(), 1u);

    const struct { const char* why; std::function<void(WholeRig&)> abandon; } cases[] = {
        {"ten seconds without a byte", [](WholeRig& r) { r.console.Tick(99); EXPECT_NE(r.Bar(), "idle") << "not yet at 9.9 s"; r.console.Tick(); }},
        {"the port closed", [](WholeRig& r) { r.console.Click(IDC_CLOSE_COMMS); r.console.Tick(); }},
        {"the next picture requested", [](WholeRig& r) { r.console.Click(IDC_SNAPSHOT); }},
    };
    for (const auto& c : cases) {
        WholeRig given;
        given.Snap();
        given.Send(Slice(reply, 0, 700));
        ASSERT_NE(given.Bar(), "idle") << c.why;
        c.abandon(given);
        EXPECT_EQ(given.Bar(), "idle") << c.why;
    }
}

// Names follow the clock ("-2", "-3" within a second) in a directory of any length.
TEST(PictureSaving, NamesFollowTheClockInADirectoryOfAnyLength)
{
    WholeRig rig({.save = true});
    std::filesystem::path deep = rig.dir.Path() / std::string(200, 'a') / std::string(200, 'b') / std::string(200, 'c');
    std::filesystem::create_directories(deep);
    std::filesystem::current_path(deep);
    rig.console.backend.SetStartTime({2024, 12, 31, 23, 59, 59});  // the date rolls over in the name too
    const char* names[] = {"20241231-235959.jpg", "20241231-235959-2.jpg", "20241231-235959-3.jpg", "20250101-000000.jpg"};
    for (unsigned n = 0; n < 4; ++n) {
        if (n == 3)
            rig.console.Tick(7);  // the next second
        rig.Snap();
        rig.Deliver(Reply(Jpeg(1, n + 1)));  // one poll tick each
    }
    for (unsigned n = 0; n < 4; ++n)
        EXPECT_EQ(ToBytes(ReadFile(deep / names[n])), Jpeg(1, n + 1)) << names[n];
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(rig.dir.Path()), {}), 7) << "3 folders, 4 pictures";
    EXPECT_TRUE(rig.console.Messages().empty());
}

// Greyed only on a new resolution or after Simplified; small pictures centred, large fill; repaints keep it.
TEST(PictureView, ClearsOnlyOnAResolutionChangeAndPlacesThePicture)
{
    WholeRig rig;
    Console& console = rig.console;
    const ui::Rect frame = console.backend.Window(console.dialog)->ClientRect(IDC_PICTURE);
    const ui::Rect area = {240, 24, 240 + frame.Width() - 5, 24 + frame.Height() - 13};
    const headless::DrawOp grey{headless::DrawOp::Kind::FillSolidRect, area, ui::RGB(220, 220, 220)};
    const struct {
        const char* resolution; std::uint8_t code; int width, height; bool tickSimplified;
        long greys;  // fills so far
    } pictures[] = {{"640x480", 5, 640, 480, false, 1},  {"640x480", 5, 640, 480, false, 1},
                    {"160x120", 1, 160, 120, false, 2},  {"160x120", 1, 160, 120, true, 3},
                    {"2592x1944", 14, 2592, 1944, false, 4}};
    for (const auto& p : pictures) {
        SCOPED_TRACE(std::string(p.resolution) + (p.tickSimplified ? " after Simplified" : ""));
        if (p.tickSimplified)
            console.Click(IDC_SIMPLIFIED);
        console.Select(IDC_RESOLUTION, p.resolution);
        rig.Snap();
        rig.Deliver(Reply(Jpeg(p.code)));
        const int left = area.left + (area.Width() - p.width) / 2, top = area.top + (area.Height() - p.height) / 2;
        const ui::Rect centred = {left, top, left + p.width, top + p.height};
        EXPECT_EQ(console.backend.Pictures().back().target, p.width < area.Width() ? centred : area);
        const auto& ops = console.backend.DrawOps(console.dialog);
        EXPECT_EQ(ops.front(), grey) << "cleared before drawing";
        EXPECT_EQ(std::count(ops.begin(), ops.end(), grey), p.greys);
    }
    const auto before = console.backend.DrawOps(console.dialog);
    console.dialog.Invalidate(false);
    EXPECT_EQ(console.backend.DrawOps(console.dialog), before) << "a repaint keeps the picture";
}

// Camera text: separators, last byte a line end, cleared every 26 lines; "senser ok" logged if Save logging.
TEST(CameraText, ShownWithSeparatorsAndLoggedAtStart)
{
    for (bool log : {true, false}) {
        Rig rig({.log = log});
        const std::pair<std::string, std::string> lines[] = {
            {"senser ok\n", "sen,ser, ok\r\n"}, {"senser ok, camera 2\n", "senser ok, ca,mer,a 2\r\n"},
            {"12345678\n", "12,345,678\r\n"}, {"abc?", "abc\r\n"},
        };
        std::string expected;
        for (int line = 1; line <= 52; ++line) {
            const std::string number = "L" + std::to_string(line);
            const auto [sent, shown] = line <= 4 ? lines[line - 1] : std::pair{number + "\n", number + "\r\n"};
            rig.Send(ToBytes(sent));
            expected = (line == 26 || line == 52 ? "" : expected) + shown;
            ASSERT_EQ(rig.console.Text(IDC_CAMERA_TEXT), expected) << "line " << line;
        }
        EXPECT_EQ(rig.dir.Log(), log ? "2024-01-31 12:00:00  启动成功\r\r\n2024-01-31 12:00:00  启动成功\r\r\n" : "");
    }
}

// 01 05 06 gathered over short reads starts one snapshot, not while one is awaited; 60 bytes start over.
TEST(TestTrigger, BytesSpreadOverShortReadsStartOneSnapshot)
{
    std::vector<Bytes> sixty(20, Bytes{0x00, 0x00, 0x00});  // the twentieth makes 60
    sixty.push_back(Hex("AA 01 05 06 00 00 00 00"));
    const struct {
        const char* why; std::vector<Bytes> reads;
        std::size_t fires;  // the read after which the snapshot is requested
    } cases[] = {
        {"too near the end until one more byte comes", {Hex("AA BB CC 01 05 06 00 00"), {0x00}}, 1},
        {"one byte a read", {{0x01}, {0x05}, {0x06}, {0x00}, {0x00}, {0x00}, {0x00}, {0x00}}, 7},
        {"short reads reaching 60 bytes start over", sixty, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Rig rig;
        rig.Send(ToBytes("twelve bytes\n"));
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            rig.Send(c.reads[i]);
            ASSERT_EQ(rig.camera.ReadAvailable(20).size(), i == c.fires ? 10u : 0u) << "read " << i;
        }
        EXPECT_EQ(rig.console.Text(IDC_INFO), "收到启动，测试");
        EXPECT_EQ(rig.console.Text(IDC_STATUS), "测试拍照");
        rig.Send(Hex("01 05 06 00 00 00 00 00"));
        rig.ExpectQuiet("a picture is awaited");
    }
}

// Poll ticks met while a message box is up are dropped, so what arrives meanwhile waits in the port.
TEST(ReplyPolling, TimerEventsDuringAMessageBoxAreDropped)
{
    WholeRig rig({.save = true});
    Console& console = rig.console;
    rig.Snap();
    const Bytes reply = Reply(Jpeg(5));
    rig.Deliver(Slice(reply, 0, reply.size() - 1));
    std::filesystem::remove_all(rig.dir.Path());  // no directory to save into: the last byte raises a box
    int queued = 0;
    console.backend.SetEventSink([&](const std::string& line) {
        if (line.starts_with("message: ")) {
            rig.camera.Write(ToBytes("ok\n"));
            WaitQueued(rig.Port(), 3);
        }
    });
    console.backend.SetMessageBoxDwell(250);  // two poll periods pass while it is up
    rig.Send({reply.back()});
    ::ioctl(rig.Port(), FIONREAD, &queued);
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"打开文件失败"});
    EXPECT_EQ(rig.Drawn(), 1u) << "the picture stays on screen";
    EXPECT_EQ(queued, 3) << "read by a poll during the box";
    EXPECT_FALSE(std::filesystem::exists("/20240131-120000.jpg")) << "saved outside the working directory";
    console.Tick();
    EXPECT_EQ(console.Text(IDC_CAMERA_TEXT), "ok\r\n") << "polling resumes after the box";
}

// Each picture brings the next request 300 ms later, counted from 1 each run; Stop or Whole Package
// end the run after the picture under way.
TEST(ContinuousCapture, CountsPicturesUntilStoppedThenFinishesTheCurrentOne)
{
    const auto run = [](WholeRig& rig, int starter, int stopper) {
        SCOPED_TRACE("started by " + std::to_string(starter) + ", ended by " + std::to_string(stopper));
        Console& console = rig.console;
        const auto buttons = [&] {
            return std::vector<bool>{console.Enabled(IDC_SNAPSHOT), console.Enabled(IDC_CONTINUOUS_CAPTURE),
                                     console.Enabled(IDC_STOP_SNAPSHOT)};
        };
        const bool byButton = starter == IDC_CONTINUOUS_CAPTURE;
        console.Click(starter);
        ASSERT_TRUE(ParseSnapshotRequest(rig.Heard(10)));
        EXPECT_EQ(buttons(), (std::vector<bool>{!byButton, !byButton, byButton}));
        for (std::size_t n = 1; n <= 3; ++n) {
            rig.Deliver(Reply(Jpeg(5, static_cast<unsigned>(n))));
            const std::uint64_t drawnAt = console.backend.NowMs();
            rig.ExpectQuiet("one tick after picture " + std::to_string(n), 1);
            console.Tick();
            ASSERT_TRUE(ParseSnapshotRequest(rig.Heard(10))) << "after picture " << n;
            EXPECT_EQ(console.writes.back().ms - drawnAt, 300u) << "picture " << n;
            EXPECT_EQ(console.Text(IDC_INFO), std::to_string(n));
        }
        const Bytes reply = Reply(Jpeg(5, 4));
        rig.Deliver(Slice(reply, 0, reply.size() / 2));
        stopper == IDC_WHOLE_PACKAGE ? console.Check(stopper, 1) : console.Click(stopper);
        EXPECT_EQ(buttons(), (std::vector<bool>{true, true, false}));
        const std::size_t drawn = rig.Drawn();
        rig.Deliver(Slice(reply, reply.size() / 2));
        EXPECT_EQ(rig.Drawn(), drawn + 1) << "the picture under way is shown";
        rig.ExpectQuiet("no further request", 20);
    };
    WholeRig open;
    run(open, IDC_CONTINUOUS_CAPTURE, IDC_STOP_SNAPSHOT);
    run(open, IDC_CONTINUOUS_CAPTURE, IDC_WHOLE_PACKAGE);
    WholeRig closed({.connect = false});
    closed.console.Click(IDC_SNAPSHOT);
    closed.console.Click(IDC_CONTINUOUS_CAPTURE);
    EXPECT_EQ(closed.console.Messages(), std::vector<std::string>(2, "Please open the serial port first"));
    EXPECT_TRUE(closed.console.writes.empty());
    closed.console.Connect(closed.camera.SlavePath());
    run(closed, IDC_SNAPSHOT, IDC_WHOLE_PACKAGE);
}

}  // namespace
}  // namespace qzr::test
