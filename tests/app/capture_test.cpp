// Whole-package capture in the main window: the request, the reply however the
// line splits it, the picture drawn and saved, the camera's free text and test
// trigger, continuous capture and the resend of the last frame.
#include <sys/ioctl.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "protocol/commands.h"
#include "protocol/snapshot.h"
#include "sim/picture.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

constexpr std::size_t kReadSize = 2048;  // the console reads at most this per poll tick

// A real JPEG from the simulator's test card; `number` makes two pictures differ.
Bytes Jpeg(std::uint8_t resolution, unsigned number = 1) { return sim::MakeTestPicture({resolution, 12, false, number}); }
Bytes Reply(const Bytes& jpeg) { return BuildSnapshotReply(1, jpeg); }

std::string FileContent(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::string Str(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

// The main window in a fresh working directory, its port open on a
// pseudo-terminal whose master side the test plays as the camera.
struct Rig {
    explicit Rig(bool save = false, bool log = false, bool connect = true)
    {
        console.Open();
        console.Check(IDC_SAVE_IMAGE, save);
        console.Check(IDC_SAVE_LOG, log);
        if (connect)
            console.Connect(pty.SlavePath());  // reads the check boxes
    }

    Bytes Request() { return pty.Read(10); }  // a snapshot request is 10 bytes
    Bytes Snap()
    {
        console.Click(IDC_SNAPSHOT);
        return Request();
    }
    // Bytes for the console in reads of the given sizes, the rest in reads of
    // at most one poll's worth; `beforeRead` runs before each.
    void Deliver(const Bytes& bytes, std::vector<std::size_t> sizes = {},
                 const std::function<void(std::size_t at)>& beforeRead = {})
    {
        for (std::size_t at = 0, i = 0; at < bytes.size(); ++i) {
            if (beforeRead)
                beforeRead(at);
            const std::size_t size = std::min(i < sizes.size() ? sizes[i] : kReadSize, bytes.size() - at);
            console.Receive(pty, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                       bytes.begin() + static_cast<std::ptrdiff_t>(at + size)));
            at += size;
        }
    }
    void Text(const std::string& text) { console.Receive(pty, Bytes(text.begin(), text.end())); }
    // The one saved picture's bytes.
    std::string Saved()
    {
        const auto files = dir.Files();
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? "" : FileContent(dir.Path() / files[0]);
    }

    ScratchDirectory dir;
    PtyPair pty;
    Console console;
};

// --- the request and the reply ------------------------------------------------

TEST(SnapshotRequest, CarriesTheChosenCodesAndTheCameraId)
{
    const struct {
        const char* resolution;  // chosen by text, or by row when the text is there twice
        int row;
        const char *quality, *id;  // typed
        std::uint8_t wantId, wantResolution, wantQuality;
    } cases[] = {
        {"160x120", -1, "0", "1", 1, 1, 0},
        {"2592x1944", -1, "12", "7", 7, 14, 12},
        {"1920x1080", 29, "1", "1", 1, 16, 1},  // below the separator: the first one's code
        {"480x270", -1, "15", "1", 1, 30, 1},   // out of the list's range
        {"1024x768", -1, "1", "300", 44, 8, 1},  // the id's low byte
    };
    Rig rig;
    Console& console = rig.console;
    for (const auto& c : cases) {
        if (c.row >= 0) {
            ASSERT_EQ(console.ComboItems(IDC_RESOLUTION)[c.row], c.resolution);
            console.dialog.Combo(IDC_RESOLUTION).SetCurSel(c.row);
        } else {
            console.Select(IDC_RESOLUTION, c.resolution);
        }
        console.SetText(IDC_QUALITY, c.quality);
        console.SetText(IDC_CAMERA_ID, c.id);
        const Bytes frame = rig.Snap();
        ASSERT_EQ(frame.size(), 10u) << c.resolution;
        EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 8),
                  (Bytes{0x90, 0xEB, c.wantId, 0x02, 0x02, 0x00, c.wantResolution, c.wantQuality}))
            << c.resolution << " quality " << c.quality << " id " << c.id;
        EXPECT_TRUE(HasValidCrc(frame)) << c.resolution;
        EXPECT_EQ(console.Text(IDC_STATUS), "begin");
        EXPECT_TRUE(rig.pty.ReadAvailable(20).empty()) << "one frame per press";
    }
}

// Pictures survive however the line splits them, also after a stray read or a
// header error (the reply is then gathered from the buffer's start); shown and
// saved are the L data bytes, no more. Data that is no JPEG is reported and saved.
TEST(WholePackageReception, CompletesAcrossAnySplit)
{
    const Bytes jpeg = Jpeg(1), noJpeg = {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'};
    const std::size_t size = Reply(jpeg).size();
    ASSERT_LE(size, kReadSize) << "the whole reply must fit one read";
    const struct {
        Bytes stray;  // one read before the reply
        const char* strayStatus;
        std::vector<std::size_t> sizes;  // the reply's first reads; the rest follows
        bool jpegData = true;
    } cases[] = {
        {{}, "", {size}},
        {{0x00, 0x41}, "begin", {}},
        {{0x55, 0x55, 0x55, 0x55, 0x55}, "Received image header - Error", {100}},
        {{}, "", {7, 100}},
        {{}, "", {9, 1, 1, 1, 1, 1}},
        {{}, "", {size - 1}},
        {{}, "", {4, 13, 900, 1, 2}},
        {{}, "", {40, 333, 1, 700}},
        {{}, "", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.sizes) + " after " + std::to_string(c.stray.size()) + " stray");
        Rig rig(/*save=*/true);
        Console& console = rig.console;
        console.Select(IDC_RESOLUTION, "160x120");
        rig.Snap();
        if (!c.stray.empty()) {
            console.Receive(rig.pty, c.stray);
            EXPECT_EQ(console.dialog.Session().m_strStatus, c.strayStatus);
        }
        const Bytes& data = c.jpegData ? jpeg : noJpeg;
        const Bytes reply = Reply(data);
        rig.Deliver(reply, c.sizes, [&](std::size_t at) {
            EXPECT_TRUE(console.backend.Pictures().empty()) << "shown before byte " << at;
        });
        ASSERT_EQ(console.backend.Pictures().size(), c.jpegData ? 1u : 0u);
        if (c.jpegData) {
            EXPECT_EQ(console.backend.Pictures()[0].size, (ui::Size{160, 120}));
        }
        EXPECT_EQ(console.Text(IDC_STATUS), c.jpegData ? "show JPG" : "JPG格式不对");
        EXPECT_EQ(console.Text(IDC_LOG), "Image data length:" + std::to_string(data.size()) +
                                             "--received length：" + std::to_string(reply.size()) + "---OK");
        EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);
        EXPECT_EQ(rig.Saved(), Str(data));
        EXPECT_TRUE(console.Messages().empty());
    }
}

// The JPEG where the length should be is reported; the console waits on, and
// never resends a whole-package request.
TEST(WholePackageReception, JpegWhereTheLengthShouldBeIsReportedAndNothingResent)
{
    Rig rig;
    rig.Snap();
    Bytes noLength = {0x90, 0xEB, 0x01, 0x02};
    const Bytes jpeg = Jpeg(1);
    noLength.insert(noLength.end(), jpeg.begin(), jpeg.end());
    rig.Deliver(noLength, {20});
    EXPECT_EQ(rig.console.Text(IDC_STATUS), "长度数据丢失");
    EXPECT_TRUE(rig.console.backend.Pictures().empty()) << "0xFFD8FF bytes never arrive";
    rig.console.Tick(1200);  // two minutes without a reply
    EXPECT_TRUE(rig.pty.ReadAvailable(20).empty());
    EXPECT_EQ(rig.console.dialog.Session().m_nExpectedReply, CMD_SNAPSHOT) << "still waiting";
}

// A picture announced larger than the buffer fills it exactly; the read that
// would pass its end is dropped with the message; the next Snapshot starts afresh.
TEST(WholePackageReception, PictureLargerThanTheBufferIsDropped)
{
    Rig rig;
    Console& console = rig.console;
    rig.Snap();
    Bytes header = {0x90, 0xEB, 0x01, 0x02, 0xFF, 0xFF, 0xFF};
    header.resize(kReadSize, 0x11);
    console.Receive(rig.pty, header);
    const Bytes chunk(kReadSize, 0x22);
    while (console.dialog.Session().Picture().Received() + kReadSize <= CPictureBuffer::kSize)
        console.Receive(rig.pty, chunk);
    ASSERT_EQ(console.dialog.Session().Picture().Received(), CPictureBuffer::kSize);
    EXPECT_EQ(console.dialog.Session().m_strLog.find("图像过大"), std::string::npos);
    console.Receive(rig.pty, chunk);
    EXPECT_TRUE(console.dialog.Session().m_strLog.ends_with("\r\n图像过大，缓冲区内存不足\r\n")) << console.dialog.Session().m_strLog;
    EXPECT_EQ(console.dialog.Session().Picture().Received(), CPictureBuffer::kSize) << "the chunk is dropped";
    EXPECT_TRUE(console.backend.Pictures().empty());
    rig.Snap();
    rig.Deliver(Reply(Jpeg(5)));
    EXPECT_EQ(console.backend.Pictures().size(), 1u);
}

// --- showing and saving --------------------------------------------------------

// Names follow the clock, more pictures in the same second get "-2", "-3", and a
// working directory far longer than a short name buffer is kept whole.
TEST(PictureSaving, NamesFollowTheClockInADirectoryOfAnyLength)
{
    Rig rig(/*save=*/true);
    std::filesystem::path deep = rig.dir.Path();
    for (char c : {'a', 'b', 'c'})
        deep /= std::string(200, c);
    std::filesystem::create_directories(deep);
    std::filesystem::current_path(deep);
    rig.console.backend.SetStartTime({2024, 12, 31, 23, 59, 59});  // the date rolls over in the name too
    const std::pair<const char*, Bytes> pictures[] = {{"20241231-235959.jpg", Jpeg(1, 1)}, {"20241231-235959-2.jpg", Jpeg(1, 2)},
                                                      {"20241231-235959-3.jpg", Jpeg(1, 3)}, {"20250101-000000.jpg", Jpeg(1, 4)}};
    for (int i = 0; i < 4; ++i) {
        if (i == 3)
            rig.console.Tick(7);  // the next second
        rig.Snap();
        rig.Deliver(Reply(pictures[i].second));  // one poll tick each
    }
    for (const auto& [name, jpeg] : pictures)
        EXPECT_EQ(FileContent(deep / name), Str(jpeg)) << name;
    EXPECT_NE(pictures[0].second, pictures[1].second);
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(rig.dir.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 4);
    EXPECT_TRUE(rig.console.Messages().empty());
}

// The area is cleared grey before a picture of another resolution or after
// Simplified was ticked; small pictures are centred, large ones fill it; a
// repaint neither erases nor redraws.
TEST(PictureView, ClearsOnlyOnAResolutionChangeAndPlacesThePicture)
{
    Rig rig;
    Console& console = rig.console;
    const auto take = [&](const char* resolution, std::uint8_t code, int width, int height) {
        console.Select(IDC_RESOLUTION, resolution);
        rig.Snap();
        rig.Deliver(Reply(Jpeg(code)));
        const ui::Rect frame = console.backend.Window(console.dialog)->ClientRect(IDC_PICTURE);
        const ui::Rect area = {240, 24, 240 + frame.Width() - 5, 24 + frame.Height() - 13};
        const int left = area.left + (area.Width() - width) / 2, top = area.top + (area.Height() - height) / 2;
        const ui::Rect centred = {left, top, left + width, top + height};
        EXPECT_EQ(console.backend.Pictures().back().target, width < area.Width() ? centred : area) << resolution;
        const auto& ops = console.backend.DrawOps(console.dialog);
        EXPECT_EQ(ops.front().kind, headless::DrawOp::Kind::FillSolidRect) << "cleared before drawing";
        int grey = 0;
        for (const auto& op : ops) {
            if (op.kind == headless::DrawOp::Kind::FillSolidRect) {
                EXPECT_EQ(op.rect, area);
                EXPECT_EQ(op.color, ui::RGB(220, 220, 220));
                ++grey;
            }
        }
        return grey;
    };
    EXPECT_EQ(take("640x480", 5, 640, 480), 1) << "the first picture";
    EXPECT_EQ(take("640x480", 5, 640, 480), 1) << "same resolution again";
    EXPECT_EQ(take("160x120", 1, 160, 120), 2) << "resolution changed";
    console.Click(IDC_SIMPLIFIED);
    EXPECT_EQ(take("160x120", 1, 160, 120), 3) << "after Simplified was ticked";
    EXPECT_EQ(take("2592x1944", 14, 2592, 1944), 4);
    const auto before = console.backend.DrawOps(console.dialog);
    console.dialog.Invalidate(false);
    EXPECT_EQ(console.backend.DrawOps(console.dialog), before) << "a repaint keeps the picture";
}

// --- free text and the test trigger ------------------------------------------------

// Thousands separators, the last byte made the line end; the box empties at
// its 26th line and every 26 lines after. "senser ok" is found before the
// separators cut it apart, and logged only with Save logging.
TEST(CameraText, ShownWithSeparatorsAndLoggedAtStart)
{
    for (bool log : {true, false}) {
        Rig rig(/*save=*/false, log);
        const std::pair<std::string, std::string> lines[] = {
            {"senser ok\n", "sen,ser, ok\r\n"},
            {"senser ok, camera 2\n", "senser ok, ca,mer,a 2\r\n"},
            {"1234\n", "1,234\r\n"},
            {"12345678\n", "12,345,678\r\n"},
            {"abc?", "abc\r\n"},
        };
        std::string expected;
        for (int line = 1; line <= 52; ++line) {
            const auto [sent, shown] = line <= 5 ? lines[line - 1]
                                                 : std::pair{"L" + std::to_string(line) + "\n", "L" + std::to_string(line) + "\r\n"};
            rig.Text(sent);
            expected = (line == 26 || line == 52 ? "" : expected) + shown;
            ASSERT_EQ(rig.console.Text(IDC_CAMERA_TEXT), expected) << "line " << line;
        }
        const auto logFile = rig.dir.Path() / "loog.txt";
        if (log)
            EXPECT_EQ(FileContent(logFile), "2024-01-31 12:00:00  启动成功\r\r\n2024-01-31 12:00:00  启动成功\r\r\n");
        else
            EXPECT_FALSE(std::filesystem::exists(logFile));
    }
}

TEST(TestTrigger, BytesSpreadOverShortReadsStartOneSnapshot)
{
    // Twenty reads of three bytes: the twentieth would make 60 and empties the
    // gathered bytes instead; a read with the trigger then starts afresh.
    std::vector<Bytes> sixty(20, Bytes{0x00, 0x00, 0x00});
    sixty.push_back({0xAA, 0x01, 0x05, 0x06, 0x00, 0x00, 0x00, 0x00});
    const struct {
        const char* why;
        std::vector<Bytes> reads;
        std::size_t fires;  // the read after which the snapshot is requested
    } cases[] = {
        {"trigger too near the end until more bytes come", {{0xAA, 0xBB, 0xCC, 0xDD, 0xEE}, {0x01, 0x05, 0x06}, {0x10, 0x11, 0x12}}, 2},
        {"one byte a read", {{0x01}, {0x05}, {0x06}, {0x00}, {0x00}, {0x00}, {0x00}, {0x00}}, 7},
        {"short reads reaching 60 bytes start over", sixty, 20},
    };
    for (const auto& c : cases) {
        Rig rig;
        Console& console = rig.console;
        rig.Text("twelve bytes\n");  // a read of 12 bytes or more empties what short reads left
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            console.Receive(rig.pty, c.reads[i]);
            const Bytes written = rig.pty.ReadAvailable(20);
            ASSERT_EQ(written.size(), i == c.fires ? 10u : 0u) << c.why << ", read " << i;
        }
        EXPECT_EQ(console.dialog.Session().m_nExpectedReply, CMD_SNAPSHOT) << c.why;
        EXPECT_EQ(console.Text(IDC_INFO), "收到启动，测试") << c.why;
        EXPECT_EQ(console.Text(IDC_STATUS), "测试拍照") << c.why;
        // Now a picture is awaited: more trigger bytes start nothing.
        console.Receive(rig.pty, {0x01, 0x05, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00});
        EXPECT_TRUE(rig.pty.ReadAvailable(20).empty()) << c.why;
    }
}

// --- timers and resends -------------------------------------------------------

// A message box raised inside a poll tick runs a nested message loop; the poll
// events it meets are dropped, so what arrives meanwhile waits in the port.
TEST(ReplyPolling, TimerEventsDuringAMessageBoxAreDropped)
{
    Rig rig(/*save=*/true);
    Console& console = rig.console;
    rig.Snap();
    const Bytes reply = Reply(Jpeg(5));
    rig.Deliver(Bytes(reply.begin(), reply.end() - 1));
    std::filesystem::remove_all(rig.dir.Path());  // no directory to save into: the last byte raises a box
    console.backend.SetEventSink([&](const std::string& line) {
        if (line.rfind("message: ", 0) == 0) {
            rig.pty.Write({'o', 'k', '\n'});
            WaitQueued(console.dialog.Session().Port().Handle(), 3);
        }
    });
    console.backend.SetMessageBoxDwell(250);  // two poll periods pass while it is up
    console.Receive(rig.pty, {reply.back()});
    int queued = 0;
    ::ioctl(console.dialog.Session().Port().Handle(), FIONREAD, &queued);
    console.backend.SetMessageBoxDwell(0);

    EXPECT_EQ(console.Messages(), std::vector<std::string>{"打开文件失败"});
    EXPECT_EQ(console.backend.Pictures().size(), 1u) << "the picture stays on screen";
    EXPECT_EQ(queued, 3) << "read by a poll during the box";
    EXPECT_FALSE(std::filesystem::exists("/20240131-120000.jpg")) << "saved outside the working directory";
    console.Tick();
    EXPECT_EQ(console.Text(IDC_CAMERA_TEXT), "ok\r\n") << "polling resumes after the box";
}

TEST(FrameTransmission, ResendIsLoggedAndWrittenByteByByte)
{
    Rig rig(/*save=*/false, /*log=*/true);
    CCameraTestDlg& dialog = rig.console.dialog;
    std::vector<Bytes> writes;
    dialog.Session().Port().SetWriteTrace([&](std::span<const std::uint8_t> bytes) { writes.emplace_back(bytes.begin(), bytes.end()); });
    Bytes frame = BuildFrame(1, CMD_GET_PACKET, Bytes{0x03, 0x00});
    dialog.Session().SendFrame(frame);
    dialog.Session().ResendLastFrame();
    std::vector<Bytes> expected = {frame};
    for (std::uint8_t b : frame)
        expected.push_back(Bytes{b});  // the CRC stamped at the first send
    EXPECT_EQ(writes, expected);
    EXPECT_EQ(rig.pty.Read(2 * frame.size()).size(), 2 * frame.size());
    EXPECT_EQ(FileContent(rig.dir.Path() / "loog.txt"), "2024-01-31 12:00:00  重发协议 cmd=31\r\n");
}

// --- continuous capture ------------------------------------------------------

// Each picture of a run brings the next request two ticks and a tenth later,
// counted in the info box. The run is started by its button on an open port,
// or by pressing it while the port is closed, which makes the next Snapshot
// start one (Stop Snapshotting stays disabled then). Stop Snapshotting, or the
// Whole Package radio, ends the run and gives Snapshot back; the picture under
// way still completes.
TEST(ContinuousCapture, CountsPicturesUntilStoppedThenFinishesTheCurrentOne)
{
    const struct {
        bool closed;
        int stopper;
    } runs[] = {{false, IDC_STOP_SNAPSHOT}, {false, IDC_WHOLE_PACKAGE}, {true, IDC_WHOLE_PACKAGE}};
    for (const auto [closed, stopper] : runs) {
        SCOPED_TRACE(std::string(closed ? "pressed while closed, " : "") + "ended by " + std::to_string(stopper));
        Rig rig(false, false, /*connect=*/!closed);
        Console& console = rig.console;
        std::vector<std::uint64_t> pictureAt, writeAt;
        console.backend.SetEventSink([&](const std::string& line) {
            if (line.rfind("picture: ", 0) == 0)
                pictureAt.push_back(console.backend.NowMs());
        });
        console.dialog.Session().Port().SetWriteTrace([&](std::span<const std::uint8_t>) { writeAt.push_back(console.backend.NowMs()); });
        const auto buttons = [&] {
            return std::vector<bool>{console.Enabled(IDC_SNAPSHOT), console.Enabled(IDC_CONTINUOUS_CAPTURE),
                                     console.Enabled(IDC_STOP_SNAPSHOT)};
        };
        if (closed) {
            console.Click(IDC_SNAPSHOT);
            EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);
            console.Click(IDC_CONTINUOUS_CAPTURE);
            EXPECT_EQ(console.Messages(), std::vector<std::string>(2, "Please open the serial port first"));
            EXPECT_EQ(buttons(), (std::vector<bool>{true, true, false}));
            console.Connect(rig.pty.SlavePath());
        }
        console.Click(closed ? IDC_SNAPSHOT : IDC_CONTINUOUS_CAPTURE);
        EXPECT_EQ(buttons(), (std::vector<bool>{closed, closed, !closed}));
        ASSERT_EQ(rig.Request()[3], CMD_SNAPSHOT);
        for (int n = 1; n <= 3; ++n) {
            rig.Deliver(Reply(Jpeg(5, static_cast<unsigned>(n))));
            ASSERT_EQ(pictureAt.size(), static_cast<std::size_t>(n));
            console.Tick();
            EXPECT_TRUE(rig.pty.ReadAvailable(10).empty()) << "one tick after picture " << n;
            console.Tick();
            const Bytes request = rig.Request();
            ASSERT_EQ(request.size(), 10u) << "after picture " << n;
            EXPECT_EQ(request[3], CMD_SNAPSHOT);
            EXPECT_EQ(console.Text(IDC_INFO), std::to_string(n));
            ASSERT_EQ(writeAt.size(), static_cast<std::size_t>(n + 1));
            EXPECT_EQ(writeAt[n] - pictureAt[n - 1], 300u) << "picture " << n;
        }
        const Bytes reply = Reply(Jpeg(5, 4));
        const auto half = static_cast<std::ptrdiff_t>(reply.size() / 2);
        rig.Deliver(Bytes(reply.begin(), reply.begin() + half));
        stopper == IDC_WHOLE_PACKAGE ? console.Check(stopper, 1) : console.Click(stopper);
        EXPECT_EQ(buttons(), (std::vector<bool>{true, true, false}));
        rig.Deliver(Bytes(reply.begin() + half, reply.end()));
        EXPECT_EQ(pictureAt.size(), 4u) << "the picture under way is shown";
        console.Tick(20);
        EXPECT_TRUE(rig.pty.ReadAvailable(20).empty()) << "no further request";
    }
}

}  // namespace
}  // namespace qzr::test
