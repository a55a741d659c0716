// Whole-package capture in the main window: the request, the reply however the
// line splits it, the picture drawn and saved, the camera's free text and test
// trigger, continuous capture and the resend of the last frame.
#include <sys/ioctl.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "protocol/commands.h"
#include "protocol/crc16.h"
#include "protocol/snapshot.h"
#include "sim/picture.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

constexpr std::size_t kReadSize = 2048;  // the console reads at most this per poll tick
constexpr ui::Color kClearGrey = ui::RGB(220, 220, 220);

// A real JPEG from the simulator's test card; `number` makes two pictures differ.
Bytes Jpeg(std::uint8_t resolution, unsigned number = 1, std::uint8_t quality = 12)
{
    return sim::MakeTestPicture({resolution, quality, false, number});
}

Bytes Reply(const Bytes& jpeg) { return BuildSnapshotReply(1, jpeg); }

std::string FileContent(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes FileBytes(const std::filesystem::path& path)
{
    const std::string text = FileContent(path);
    return {text.begin(), text.end()};
}

int QueuedAt(int fd)
{
    int queued = 0;
    ::ioctl(fd, FIONREAD, &queued);
    return queued;
}

// The main window in a fresh working directory, its port open on a
// pseudo-terminal whose master side the test plays as the camera.
struct Rig {
    explicit Rig(bool save = false, bool log = false)
    {
        console.Open();
        if (save)
            console.Check(IDC_SAVE_IMAGE, 1);
        if (log)
            console.Check(IDC_SAVE_LOG, 1);
        // Opening the port reads the check boxes into the window's members.
        console.Connect(pty.SlavePath());
    }

    // The next frame the console wrote (a snapshot request is 10 bytes).
    Bytes Request(std::size_t size = 10) { return pty.Read(size); }
    // Snapshot pressed: the request read off the line.
    Bytes Snap()
    {
        console.Click(IDC_SNAPSHOT);
        return Request();
    }
    // Bytes for the console in reads of the given sizes, the rest in reads of
    // at most one poll's worth.
    void Deliver(const Bytes& bytes, const std::vector<std::size_t>& sizes = {})
    {
        std::size_t at = 0;
        for (std::size_t size : sizes) {
            Receive(bytes, at, size);
            at += size;
        }
        while (at < bytes.size()) {
            const std::size_t size = std::min(kReadSize, bytes.size() - at);
            Receive(bytes, at, size);
            at += size;
        }
    }
    void Receive(const Bytes& bytes, std::size_t at, std::size_t size)
    {
        console.Receive(pty, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(at + size)));
    }
    void Text(const std::string& text) { console.Receive(pty, Bytes(text.begin(), text.end())); }

    ui::Rect PictureRect() { return console.dialog.Capture().View().PictureRect(); }
    std::vector<headless::DrawOp> Fills()
    {
        std::vector<headless::DrawOp> fills;
        for (const auto& op : console.backend.DrawOps(console.dialog))
            if (op.kind == headless::DrawOp::Kind::FillSolidRect)
                fills.push_back(op);
        return fills;
    }

    ScratchDirectory dir;
    PtyPair pty;
    Console console;
};

// --- the request -----------------------------------------------------------

TEST(SnapshotRequest, CarriesTheChosenCodesAndTheCameraId)
{
    const struct {
        const char* resolution;  // chosen from the list by text ...
        int row;                 // ... or by row when the text is there twice
        const char* quality;
        bool typed;              // quality typed into the combo's edit field
        const char* id;
        std::uint8_t wantId, wantResolution, wantQuality;
    } cases[] = {
        {"160x120", -1, "0", false, "1", 1, 1, 0},
        {"640x480", -1, "1", false, "1", 1, 5, 1},
        {"2592x1944", -1, "12", false, "7", 7, 14, 12},
        {"3840x2160", -1, "3", false, "1", 1, 42, 3},
        {"1280x720", 25, "1", false, "1", 1, 15, 1},   // below the separator: the first one's code
        {"1920x1080", 29, "1", false, "1", 1, 16, 1},  // likewise
        {"-----16:9-----", -1, "1", false, "1", 1, 5, 1},
        {"480x270", -1, "15", true, "1", 1, 30, 1},    // out of the list's range
        {"800x600", -1, "x", true, "1", 1, 7, 1},
        {"1024x768", -1, "1", false, "300", 44, 8, 1},  // the id's low byte
    };
    for (const auto& c : cases) {
        Rig rig;
        Console& console = rig.console;
        if (c.row >= 0) {
            ASSERT_EQ(console.ComboItems(IDC_RESOLUTION)[c.row], c.resolution);
            console.dialog.Combo(IDC_RESOLUTION).SetCurSel(c.row);
        } else {
            console.Select(IDC_RESOLUTION, c.resolution);
        }
        if (c.typed)
            console.SetText(IDC_QUALITY, c.quality);
        else
            console.Select(IDC_QUALITY, c.quality);
        console.SetText(IDC_CAMERA_ID, c.id);

        const Bytes frame = rig.Snap();
        ASSERT_EQ(frame.size(), 10u) << c.resolution;
        const Bytes head(frame.begin(), frame.begin() + 8);
        EXPECT_EQ(head, (Bytes{0x90, 0xEB, c.wantId, 0x02, 0x02, 0x00, c.wantResolution, c.wantQuality}))
            << c.resolution << " row " << c.row << " quality " << c.quality << " id " << c.id;
        const std::uint16_t crc = crc16_ccitt(frame.data() + 2, 6);
        EXPECT_EQ(frame[8], crc & 0xFF);
        EXPECT_EQ(frame[9], crc >> 8);
        EXPECT_EQ(console.Text(IDC_STATUS), "begin");
        EXPECT_TRUE(rig.pty.ReadAvailable(20).empty()) << "one frame per press";
    }
}

TEST(SnapshotRequest, NeedsAnOpenPort)
{
    Console console;
    console.Open();
    console.Click(IDC_SNAPSHOT);
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"Please open the serial port first"});
    EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
}

// --- reception -------------------------------------------------------------

struct Split {
    std::string name;
    Bytes stray;                     // bytes before the reply, in one read
    std::vector<std::size_t> sizes;  // the reply's first reads; the rest follows

    static Split Random(std::mt19937& random, std::size_t total)
    {
        Split split{"random", {}, {}};
        // The header read must hold the reply's first four bytes.
        std::size_t at = std::uniform_int_distribution<std::size_t>(4, 40)(random);
        split.sizes.push_back(at);
        while (at < total) {
            const std::size_t size = std::min(total - at, std::uniform_int_distribution<std::size_t>(1, 900)(random));
            split.sizes.push_back(size);
            at += size;
        }
        for (std::size_t size : split.sizes)
            split.name += " " + std::to_string(size);
        return split;
    }
};

// Pictures survive however the line splits them; shown and saved are the L
// JPEG bytes, no more.
TEST(WholePackageReception, CompletesAcrossAnySplit)
{
    const Bytes jpeg = Jpeg(1);
    const Bytes reply = Reply(jpeg);
    ASSERT_LE(reply.size(), kReadSize) << "the whole reply must fit one read";

    std::vector<Split> splits = {
        {"whole", {}, {reply.size()}},
        {"two stray bytes first", {0x00, 0x41}, {}},
        {"7, 100, rest", {}, {7, 100}},
        {"header alone, then byte by byte", {}, {9, 1, 1, 1, 1, 1, 1, 1}},
        {"all but the last byte", {}, {reply.size() - 1, 1}},
    };
    std::mt19937 random(20240131);
    for (int i = 0; i < 5; ++i)
        splits.push_back(Split::Random(random, reply.size()));

    for (const Split& split : splits) {
        SCOPED_TRACE(split.name);
        Rig rig(/*save=*/true);
        Console& console = rig.console;
        console.Select(IDC_RESOLUTION, "160x120");
        rig.Snap();
        if (!split.stray.empty()) {
            console.Receive(rig.pty, split.stray);
            EXPECT_EQ(console.Text(IDC_STATUS), "begin") << "a stray read is not the header";
        }
        // Nothing is shown before the last byte is there.
        std::size_t at = 0;
        for (std::size_t size : split.sizes) {
            EXPECT_TRUE(console.backend.Pictures().empty()) << "at " << at;
            rig.Receive(reply, at, size);
            at += size;
        }
        if (at < reply.size())
            rig.Receive(reply, at, reply.size() - at);

        ASSERT_EQ(console.backend.Pictures().size(), 1u);
        EXPECT_EQ(console.backend.Pictures()[0].size, (ui::Size{160, 120}));
        EXPECT_EQ(console.Text(IDC_STATUS), "show JPG");
        EXPECT_EQ(console.Text(IDC_LOG), "Image data length:" + std::to_string(jpeg.size()) +
                                             "--received length：" + std::to_string(reply.size()) + "---OK");
        EXPECT_EQ(console.dialog.m_nExpectedReply, 0);
        const auto files = rig.dir.Files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(FileBytes(rig.dir.Path() / files[0]), jpeg);
        EXPECT_TRUE(console.Messages().empty());
    }
}

TEST(WholePackageDisplay, SmallPicturesAreCentredLargeOnesFillTheArea)
{
    const struct {
        const char* resolution;
        std::uint8_t code;
        int width, height;
        bool centred;
    } cases[] = {
        {"160x120", 1, 160, 120, true},
        {"640x480", 5, 640, 480, true},
        {"2592x1944", 14, 2592, 1944, false},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.console.Select(IDC_RESOLUTION, c.resolution);
        rig.Snap();
        rig.Deliver(Reply(Jpeg(c.code)));

        const ui::Rect area = rig.PictureRect();
        EXPECT_EQ(area.left, 240);
        EXPECT_EQ(area.top, 24);
        ASSERT_EQ(rig.console.backend.Pictures().size(), 1u) << c.resolution;
        const auto& shown = rig.console.backend.Pictures()[0];
        EXPECT_EQ(shown.size, (ui::Size{c.width, c.height})) << c.resolution;
        if (c.centred) {
            const int left = 240 + (area.Width() - c.width) / 2;
            const int top = 24 + (area.Height() - c.height) / 2;
            EXPECT_EQ(shown.target, (ui::Rect{left, top, left + c.width, top + c.height})) << c.resolution;
        } else {
            EXPECT_EQ(shown.target, area) << c.resolution;
        }
    }
}

TEST(WholePackageReception, HeaderErrorThenCollectsWithoutHeader)
{
    Rig rig(/*save=*/true);
    Console& console = rig.console;
    rig.Snap();
    console.Receive(rig.pty, {0x55, 0x55, 0x55, 0x55, 0x55});
    EXPECT_EQ(console.dialog.m_strStatus, "Received image header - Error");

    // The reply that follows is gathered from the start of the buffer; the
    // status box shows the error once there is a length to report.
    const Bytes jpeg = Jpeg(5);
    const Bytes reply = Reply(jpeg);
    rig.Receive(reply, 0, 100);
    EXPECT_EQ(console.Text(IDC_STATUS), "Received image header - Error");
    EXPECT_EQ(console.Text(IDC_LOG), "Image data length:" + std::to_string(jpeg.size()) + "--received length：100");
    EXPECT_TRUE(console.backend.Pictures().empty());
    rig.Deliver(Bytes(reply.begin() + 100, reply.end()));
    ASSERT_EQ(console.backend.Pictures().size(), 1u);
    ASSERT_EQ(rig.dir.Files().size(), 1u);
    EXPECT_EQ(FileBytes(rig.dir.Path() / rig.dir.Files()[0]), jpeg);
}

TEST(WholePackageReception, JpegWhereTheLengthShouldBeIsReported)
{
    Rig rig;
    Console& console = rig.console;
    rig.Snap();
    const Bytes jpeg = Jpeg(1);
    Bytes noLength = {0x90, 0xEB, 0x01, 0x02};
    noLength.insert(noLength.end(), jpeg.begin(), jpeg.end());
    rig.Deliver(noLength, {20});
    EXPECT_EQ(console.Text(IDC_STATUS), "长度数据丢失");
    EXPECT_TRUE(console.backend.Pictures().empty()) << "0xFFD8FF bytes never arrive";
    EXPECT_EQ(console.dialog.m_nExpectedReply, CMD_SNAPSHOT);
}

TEST(WholePackageReception, PictureLargerThanTheBufferIsDropped)
{
    Rig rig;
    Console& console = rig.console;
    rig.Snap();
    Bytes header = {0x90, 0xEB, 0x01, 0x02, 0xFF, 0xFF, 0xFF};
    header.resize(kReadSize, 0x11);
    console.Receive(rig.pty, header);
    const Bytes chunk(kReadSize, 0x22);
    while (console.dialog.m_nImageReceived + kReadSize <= CCameraTestDlg::kImageBufferSize)
        console.Receive(rig.pty, chunk);
    ASSERT_EQ(console.dialog.m_nImageReceived, CCameraTestDlg::kImageBufferSize);
    EXPECT_EQ(console.dialog.m_strLog.find("图像过大"), std::string::npos);

    console.Receive(rig.pty, chunk);
    const std::string overflow = "\r\n图像过大，缓冲区内存不足\r\n";
    ASSERT_GE(console.dialog.m_strLog.size(), overflow.size());
    EXPECT_EQ(console.dialog.m_strLog.substr(console.dialog.m_strLog.size() - overflow.size()), overflow);
    EXPECT_EQ(console.dialog.m_nImageReceived, CCameraTestDlg::kImageBufferSize) << "the chunk is dropped";
    EXPECT_TRUE(console.backend.Pictures().empty());
}

// --- showing and saving --------------------------------------------------------

TEST(PictureSaving, NamesFollowTheClockAndNeverReplaceEachOther)
{
    Rig rig(/*save=*/true);
    Console& console = rig.console;
    // One second before the new year: the date rolls over in the name too.
    console.backend.SetStartTime({2024, 12, 31, 23, 59, 59});
    console.Select(IDC_RESOLUTION, "160x120");
    std::vector<Bytes> pictures;
    for (unsigned n = 1; n <= 3; ++n) {
        pictures.push_back(Jpeg(1, n));
        rig.Snap();
        rig.Deliver(Reply(pictures.back()));  // one poll tick each
    }
    console.Tick(7);  // the next second
    pictures.push_back(Jpeg(1, 4));
    rig.Snap();
    rig.Deliver(Reply(pictures.back()));

    const std::vector<std::string> names = {"20241231-235959-2.jpg", "20241231-235959-3.jpg",
                                            "20241231-235959.jpg", "20250101-000000.jpg"};
    ASSERT_EQ(rig.dir.Files(), names);
    EXPECT_EQ(FileBytes(rig.dir.Path() / names[2]), pictures[0]);
    EXPECT_EQ(FileBytes(rig.dir.Path() / names[0]), pictures[1]);
    EXPECT_EQ(FileBytes(rig.dir.Path() / names[1]), pictures[2]);
    EXPECT_EQ(FileBytes(rig.dir.Path() / names[3]), pictures[3]);
    EXPECT_NE(pictures[0], pictures[1]);
}

TEST(PictureSaving, LongWorkingDirectoryKeepsTheWholeName)
{
    Rig rig(/*save=*/true);
    // Three levels of 200-character names: the path is far longer than a
    // short name buffer would hold.
    std::filesystem::path deep = rig.dir.Path();
    for (char c : {'a', 'b', 'c'})
        deep /= std::string(200, c);
    std::filesystem::create_directories(deep);
    std::filesystem::current_path(deep);
    const Bytes jpeg = Jpeg(1);
    rig.Snap();
    rig.Deliver(Reply(jpeg));
    EXPECT_TRUE(rig.console.Messages().empty());
    EXPECT_EQ(FileBytes(deep / "20240131-120000.jpg"), jpeg);
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(rig.dir.Path()))
        if (entry.is_regular_file())
            entries.push_back(entry.path().filename().string());
    EXPECT_EQ(entries, std::vector<std::string>{"20240131-120000.jpg"});
}

TEST(PictureSaving, DataThatIsNoJpegIsReportedAndStillSaved)
{
    const struct {
        const char* why;
        Bytes data;
        const char* status;
    } cases[] = {
        {"no JPEG start", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'}, "JPG格式不对"},
        {"JPEG start, then garbage", Bytes{0xFF, 0xD8, 0xFF, 0x00, 0x01, 0x02, 0x03}, "show JPG"},
    };
    for (const auto& c : cases) {
        Rig rig(/*save=*/true);
        rig.Snap();
        rig.Deliver(Reply(c.data));
        EXPECT_EQ(rig.console.Text(IDC_STATUS), c.status) << c.why;
        EXPECT_TRUE(rig.console.backend.Pictures().empty()) << c.why;
        EXPECT_TRUE(rig.console.Messages().empty()) << c.why;
        ASSERT_EQ(rig.dir.Files().size(), 1u) << c.why;
        EXPECT_EQ(FileBytes(rig.dir.Path() / rig.dir.Files()[0]), c.data) << c.why;
        EXPECT_EQ(rig.console.dialog.m_nExpectedReply, 0) << c.why;
    }
}

TEST(PictureView, ClearsTheAreaWhenTheResolutionChangesOrSimplifiedIsTicked)
{
    Rig rig;
    Console& console = rig.console;
    const auto take = [&](const char* resolution, std::uint8_t code) {
        console.Select(IDC_RESOLUTION, resolution);
        rig.Snap();
        rig.Deliver(Reply(Jpeg(code)));
    };
    const auto greyFills = [&] {
        int count = 0;
        for (const auto& fill : rig.Fills()) {
            EXPECT_EQ(fill.rect, rig.PictureRect());
            EXPECT_EQ(fill.color, kClearGrey);
            ++count;
        }
        return count;
    };

    take("640x480", 5);
    EXPECT_EQ(greyFills(), 1) << "the first picture";
    const auto& ops = console.backend.DrawOps(console.dialog);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, headless::DrawOp::Kind::FillSolidRect) << "cleared before drawing";
    EXPECT_EQ(ops[1].kind, headless::DrawOp::Kind::Picture);

    take("640x480", 5);
    EXPECT_EQ(greyFills(), 1) << "same resolution again";
    take("160x120", 1);
    EXPECT_EQ(greyFills(), 2) << "resolution changed";
    console.Click(IDC_SIMPLIFIED);
    EXPECT_EQ(greyFills(), 2) << "ticking alone draws nothing";
    take("160x120", 1);
    EXPECT_EQ(greyFills(), 3) << "after Simplified was ticked";
    EXPECT_EQ(console.backend.Pictures().size(), 4u);
}

TEST(PictureView, ADrawnPictureStaysThroughARepaint)
{
    Rig rig;
    rig.Snap();
    rig.Deliver(Reply(Jpeg(5)));
    const auto before = rig.console.backend.DrawOps(rig.console.dialog);
    ASSERT_EQ(before.back().kind, headless::DrawOp::Kind::Picture);
    rig.console.dialog.Invalidate(false);
    EXPECT_EQ(rig.console.backend.DrawOps(rig.console.dialog), before) << "painting neither erases nor redraws";
}

// --- free text and the test trigger ------------------------------------------------

TEST(CameraText, ShownWithThousandsSeparators)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1234\n", "1,234\r\n"},
        {"12345678\n", "12,345,678\r\n"},
        {"123456\n", "123,456\r\n"},
        {"ok\n", "ok\r\n"},
        {"abc?", "abc\r\n"},  // the last byte becomes the line end, whatever it was
    };
    for (const auto& [sent, shown] : cases) {
        Rig rig;
        rig.Text(sent);
        EXPECT_EQ(rig.console.Text(IDC_CAMERA_TEXT), shown) << sent;
    }
}

TEST(CameraText, BoxStartsAfreshPastTwentyFiveLines)
{
    Rig rig;
    std::string expected;
    for (int line = 1; line <= 25; ++line) {
        rig.Text("L" + std::to_string(line) + "\n");
        expected += "L" + std::to_string(line) + "\r\n";
    }
    EXPECT_EQ(rig.console.Text(IDC_CAMERA_TEXT), expected);
    rig.Text("L26\n");
    EXPECT_EQ(rig.console.Text(IDC_CAMERA_TEXT), "L26\r\n");
    // From then on the box holds 26 lines before it is emptied again.
    expected = "L26\r\n";
    for (int line = 27; line <= 51; ++line) {
        rig.Text("L" + std::to_string(line) + "\n");
        expected += "L" + std::to_string(line) + "\r\n";
    }
    EXPECT_EQ(rig.console.Text(IDC_CAMERA_TEXT), expected);
    rig.Text("L52\n");
    EXPECT_EQ(rig.console.Text(IDC_CAMERA_TEXT), "L52\r\n");
}

TEST(CameraText, StartMessageIsLoggedOnlyWithSaveLogging)
{
    // The message is found before the separators go in: shown, the short
    // line reads "sen,ser, ok".
    for (bool log : {true, false}) {
        Rig rig(/*save=*/false, log);
        rig.Text("senser ok\n");
        EXPECT_EQ(rig.console.Text(IDC_CAMERA_TEXT), "sen,ser, ok\r\n");
        rig.Text("senser ok, camera 2\n");
        const auto logFile = rig.dir.Path() / "loog.txt";
        if (log)
            EXPECT_EQ(FileContent(logFile), "2024-01-31 12:00:00  启动成功\r\r\n2024-01-31 12:00:00  启动成功\r\r\n");
        else
            EXPECT_FALSE(std::filesystem::exists(logFile));
    }
}

// Twenty reads of three bytes: the twentieth would make 60 and empties the
// gathered bytes instead; a read with the trigger then starts afresh.
std::vector<Bytes> ShortReadsThenTrigger()
{
    std::vector<Bytes> reads(20, Bytes{0x00, 0x00, 0x00});
    reads.push_back({0xAA, 0x01, 0x05, 0x06, 0x00, 0x00, 0x00, 0x00});
    return reads;
}

TEST(TestTrigger, BytesSpreadOverShortReadsStartOneSnapshot)
{
    const struct {
        const char* why;
        std::vector<Bytes> reads;
        std::size_t fires;  // the read after which the snapshot is requested
    } cases[] = {
        {"trigger in the middle", {{0xAA, 0x01}, {0x05}, {0x06, 0xBB}, {0xCC, 0xDD, 0xEE}}, 3},
        {"trigger too near the end until more bytes come",
         {{0xAA, 0xBB, 0xCC, 0xDD, 0xEE}, {0x01, 0x05, 0x06}, {0x10, 0x11, 0x12}}, 2},
        {"one byte a read", {{0x01}, {0x05}, {0x06}, {0x00}, {0x00}, {0x00}, {0x00}, {0x00}}, 7},
        {"short reads reaching 60 bytes start over", ShortReadsThenTrigger(), 20},
    };
    for (const auto& c : cases) {
        Rig rig;
        Console& console = rig.console;
        // A read of 12 bytes or more empties what earlier short reads left.
        rig.Text("twelve bytes\n");
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            console.Receive(rig.pty, c.reads[i]);
            const Bytes written = rig.pty.ReadAvailable(20);
            if (i != c.fires) {
                EXPECT_TRUE(written.empty()) << c.why << ", read " << i;
                continue;
            }
            ASSERT_EQ(written.size(), 10u) << c.why;
            EXPECT_EQ(written[3], CMD_SNAPSHOT) << c.why;
            EXPECT_EQ(console.Text(IDC_INFO), "收到启动，测试") << c.why;
            EXPECT_EQ(console.Text(IDC_STATUS), "测试拍照") << c.why;
        }
        // Now a picture is awaited: more trigger bytes start nothing.
        console.Receive(rig.pty, {0x01, 0x05, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00});
        EXPECT_TRUE(rig.pty.ReadAvailable(20).empty()) << c.why;
    }
}

// --- timers -----------------------------------------------------------------

// A message box raised inside a poll tick runs a nested message loop; the poll
// events it meets are dropped, so what arrives meanwhile waits in the port.
TEST(ReplyPolling, TimerEventsDuringAMessageBoxAreDropped)
{
    Rig rig(/*save=*/true);
    Console& console = rig.console;
    rig.Snap();
    const Bytes reply = Reply(Jpeg(5));
    rig.Deliver(Bytes(reply.begin(), reply.end() - 1));
    // No directory to save into: the picture's last byte raises a box.
    std::filesystem::remove_all(rig.dir.Path());

    const Bytes text = {'o', 'k', '\n'};
    int queuedAtClose = -1;
    console.backend.SetEventSink([&](const std::string& line) {
        if (line.rfind("message: ", 0) != 0)
            return;
        rig.pty.Write(text);
        WaitQueued(console.dialog.m_port.Handle(), static_cast<int>(text.size()));
    });
    console.backend.SetMessageBoxDwell(250);  // two poll periods pass while it is up
    console.Receive(rig.pty, {reply.back()});
    queuedAtClose = QueuedAt(console.dialog.m_port.Handle());
    console.backend.SetMessageBoxDwell(0);

    EXPECT_EQ(console.Messages(), std::vector<std::string>{"打开文件失败"});
    EXPECT_EQ(console.backend.Pictures().size(), 1u) << "the picture stays on screen";
    EXPECT_EQ(queuedAtClose, static_cast<int>(text.size())) << "read by a poll during the box";
    EXPECT_EQ(console.Text(IDC_CAMERA_TEXT), "");
    EXPECT_FALSE(std::filesystem::exists("/20240131-120000.jpg")) << "saved outside the working directory";

    console.Tick();
    EXPECT_EQ(console.Text(IDC_CAMERA_TEXT), "ok\r\n") << "polling resumes after the box";
}

TEST(ReplyPolling, WholePackageRequestIsNeverResent)
{
    Rig rig;
    rig.Snap();
    rig.console.Tick(1200);  // two minutes without a reply
    EXPECT_TRUE(rig.pty.ReadAvailable(20).empty());
    EXPECT_EQ(rig.console.dialog.m_nExpectedReply, CMD_SNAPSHOT) << "still waiting";
}

TEST(FrameTransmission, ResendIsLoggedAndWrittenByteByByte)
{
    Rig rig(/*save=*/false, /*log=*/true);
    CCameraTestDlg& dialog = rig.console.dialog;
    std::vector<Bytes> writes;
    dialog.m_port.SetWriteTrace([&](std::span<const std::uint8_t> bytes) { writes.emplace_back(bytes.begin(), bytes.end()); });

    Bytes frame = BuildFrame(1, CMD_GET_PACKET, Bytes{0x03, 0x00});
    dialog.SendFrame(frame);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], frame);
    dialog.ResendLastFrame();

    ASSERT_EQ(writes.size(), 1 + frame.size());
    Bytes resent;
    for (std::size_t i = 1; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].size(), 1u);
        resent.insert(resent.end(), writes[i].begin(), writes[i].end());
    }
    EXPECT_EQ(resent, frame) << "the CRC stamped at the first send";
    EXPECT_EQ(rig.pty.Read(2 * frame.size()).size(), 2 * frame.size());
    EXPECT_EQ(FileContent(rig.dir.Path() / "loog.txt"), "2024-01-31 12:00:00  重发协议 cmd=31\r\n");
}

// --- continuous capture ------------------------------------------------------

TEST(ContinuousCapture, FollowUpsComeTwoTicksAndATenthAfterEachPicture)
{
    Rig rig;
    Console& console = rig.console;
    std::vector<std::uint64_t> pictureAt, writeAt;
    console.backend.SetEventSink([&](const std::string& line) {
        if (line.rfind("picture: ", 0) == 0)
            pictureAt.push_back(console.backend.NowMs());
    });
    console.dialog.m_port.SetWriteTrace([&](std::span<const std::uint8_t>) { writeAt.push_back(console.backend.NowMs()); });

    console.Click(IDC_CONTINUOUS_CAPTURE);
    EXPECT_FALSE(console.Enabled(IDC_SNAPSHOT));
    EXPECT_FALSE(console.Enabled(IDC_CONTINUOUS_CAPTURE));
    EXPECT_TRUE(console.Enabled(IDC_STOP_SNAPSHOT));
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
}

TEST(ContinuousCapture, StopDuringATransferKeepsThatPicture)
{
    Rig rig(/*save=*/true);
    Console& console = rig.console;
    console.Click(IDC_CONTINUOUS_CAPTURE);
    rig.Request();
    const Bytes jpeg = Jpeg(5);
    const Bytes reply = Reply(jpeg);
    const std::size_t half = reply.size() / 2;
    rig.Deliver(Bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(half)));
    console.Click(IDC_STOP_SNAPSHOT);
    EXPECT_TRUE(console.Enabled(IDC_SNAPSHOT));
    EXPECT_TRUE(console.Enabled(IDC_CONTINUOUS_CAPTURE));
    EXPECT_FALSE(console.Enabled(IDC_STOP_SNAPSHOT));
    rig.Deliver(Bytes(reply.begin() + static_cast<std::ptrdiff_t>(half), reply.end()));

    EXPECT_EQ(console.backend.Pictures().size(), 1u);
    ASSERT_EQ(rig.dir.Files().size(), 1u);
    EXPECT_EQ(FileBytes(rig.dir.Path() / rig.dir.Files()[0]), jpeg);
    console.Tick(20);
    EXPECT_TRUE(rig.pty.ReadAvailable(20).empty()) << "no further request";
}

TEST(ContinuousCapture, WholePackageRadioEndsTheRunAndGivesSnapshotBack)
{
    Rig rig;
    Console& console = rig.console;
    console.Click(IDC_CONTINUOUS_CAPTURE);
    rig.Request();
    console.Check(IDC_WHOLE_PACKAGE, 1);
    EXPECT_TRUE(console.Enabled(IDC_SNAPSHOT));
    EXPECT_TRUE(console.Enabled(IDC_CONTINUOUS_CAPTURE));
    EXPECT_FALSE(console.Enabled(IDC_STOP_SNAPSHOT));
    rig.Deliver(Reply(Jpeg(5)));
    EXPECT_EQ(console.backend.Pictures().size(), 1u);
    console.Tick(20);
    EXPECT_TRUE(rig.pty.ReadAvailable(20).empty());
}

TEST(ContinuousCapture, PressedWhileClosedMakesTheNextSnapshotContinuous)
{
    ScratchDirectory dir;
    PtyPair pty;
    Console console;
    console.Open();
    console.Click(IDC_CONTINUOUS_CAPTURE);
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"Please open the serial port first"});
    EXPECT_TRUE(console.Enabled(IDC_SNAPSHOT));

    console.Connect(pty.SlavePath());
    console.Click(IDC_SNAPSHOT);
    ASSERT_EQ(pty.Read(10).size(), 10u);
    console.Receive(pty, Reply(Jpeg(1)));
    console.Tick(2);
    const Bytes next = pty.Read(10);
    ASSERT_EQ(next.size(), 10u) << "the run continues";
    EXPECT_EQ(next[3], CMD_SNAPSHOT);
    EXPECT_EQ(console.Text(IDC_INFO), "1");
}

}  // namespace
}  // namespace qzr::test
