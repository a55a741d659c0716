// The burst test window, opened by the main window's "Continuously Shot" and
// driven on the virtual clock, against a camera the test plays on its own
// pseudo-terminal: the burst request, the camera's frames as the window takes
// them, the file list, the retrieval of a picture and the window's life.
#include <QBuffer>
#include <QImage>

#include "protocol/commands.h"
#include "res/resource.h"
#include "sim/picture.h"
#include "tests/app/child_window.h"

namespace qzr::test {
namespace {

constexpr unsigned kTickMs = 150;
constexpr std::size_t kReadSize = 1056;  // the window reads at most this per tick
constexpr ui::Rect kPictureArea = {16, 24, 789, 459};
const std::string kName1 = "20260305140709_01", kName2 = "20260305140712_02";

Bytes Frame(std::uint8_t command, const Bytes& payload)
{
    Bytes frame = {0x90, 0xEB, 0x01, command, static_cast<std::uint8_t>(payload.size() & 0xFF),
                   static_cast<std::uint8_t>(payload.size() >> 8)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.insert(frame.end(), {0xC1, 0xC2});
    return frame;
}
Bytes Status(std::uint8_t state) { return Frame(CMD_IMAGE_READY, {0x00, state, 0x00, 0x00}); }
Bytes Info(std::uint32_t length, std::uint16_t count)
{
    return Frame(CMD_SIMPLE_SUBPACKET, {0, std::uint8_t(length), std::uint8_t(length >> 8), std::uint8_t(length >> 16),
                                        0, std::uint8_t(count), std::uint8_t(count >> 8), 0x00, 0x04, 0, 0});
}
Bytes Packet(std::uint16_t number, const Bytes& data)
{
    Bytes payload = {0, std::uint8_t(number), std::uint8_t(number >> 8)};
    payload.insert(payload.end(), data.begin(), data.end());
    return Frame(CMD_GET_PACKET, payload);
}
Bytes GetPacket(std::uint16_t n) { return {0x90, 0xEB, 0x01, 0x31, 0x02, 0x00, std::uint8_t(n), std::uint8_t(n >> 8), 0xC1, 0xC2}; }
Bytes Names(const std::vector<std::string>& names, std::size_t extra = 0)
{
    Bytes payload;
    for (const std::string& name : names) {
        payload.insert(payload.end(), name.begin(), name.end());
        payload.resize(payload.size() + 18 - name.size());
    }
    payload.resize(payload.size() + extra, 'x');
    return Frame(CMD_FILE_LIST, payload);
}
Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length)
{
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), from + length)));
}
// A picture small enough for one packet of 1024 bytes.
Bytes TinyJpeg()
{
    QImage image(32, 24, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 50);
    return Bytes(buffer.data().begin(), buffer.data().end());
}

// The main window at 2026-03-05 14:07:09, the camera on a pseudo-terminal.
struct Rig {
    Rig()
    {
        console.backend.SetStartTime({2026, 3, 5, 14, 7, 9});
        console.Open();
    }
    // Runs `body` in the burst window, its port open on the camera's line.
    void InWindow(const std::function<void(ChildWindow&)>& body)
    {
        ASSERT_TRUE(InChildWindow(console, IDC_CONTINUOUSLY_SHOT, [&](ChildWindow& w) {
            w.SetText(IDC_BURST_PORT, pty.SlavePath());
            w.Click(IDC_BURST_OPEN_COMMS);
            ASSERT_EQ(w.Text(IDC_BURST_PORT_INFO), "Open" + pty.SlavePath());
            body(w);
        }));
    }
    void Receive(ChildWindow& w, const Bytes& bytes) { w.Receive(pty, bytes, kTickMs, kReadSize); }
    // A listed name double-clicked and its picture information answered.
    void Fetch(ChildWindow& w, std::uint32_t length, std::uint16_t count)
    {
        Receive(w, Names({kName1}));
        w.DblClick(IDC_BURST_FILES, 0);
        pty.Read(28);
        Receive(w, Info(length, count));
    }
    PtyPair pty;
    Console console;
};

// "Continuously Shot" sends the window's choices with the time of the PC and
// the camera id the main window had; each row ends with the frame last sent.
TEST(BurstRequest, CarriesTheChoicesTheTimeAndTheMainWindowsCamera)
{
    const Bytes quoted = {0x90, 0xEB, 0x01, 0x41, 0x0A, 0x00, 0x05, 0x02, 0x05, 0x03,
                          0x1A, 0x03, 0x05, 0x0E, 0x07, 0x09, 0xC1, 0xC2};
    const auto with = [&](std::size_t at, std::uint8_t value, std::uint8_t id = 1) {
        Bytes frame = quoted;
        frame[at] = value;
        frame[2] = id;
        return frame;
    };
    const struct {
        const char* name;
        std::string cameraId;
        std::vector<std::pair<int, std::string>> steps;  // a choice, or IDC_BURST_SHOOT for a press
        Bytes last;
    } cases[] = {
        {"defaults", "1", {}, quoted},
        {"quality 8 after 3", "1", {{IDC_BURST_QUALITY, "3"}, {IDC_BURST_SHOOT, ""}, {IDC_BURST_QUALITY, "8"}},
         with(7, 3)},
        {"the separator", "1", {{IDC_BURST_RESOLUTION, "160x120"}, {IDC_BURST_SHOOT, ""},
                               {IDC_BURST_RESOLUTION, "-----16:9-----"}}, with(6, 5)},
        {"1920x1080 of the 16:9 part", "1", {{IDC_BURST_RESOLUTION, "1920x1080"}}, with(6, 16)},
        {"camera 7, 300 shots", "7", {{IDC_BURST_SHOTS, "300"}}, with(8, 300 & 0xFF, 7)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.console.SetText(IDC_CAMERA_ID, c.cameraId);
        rig.InWindow([&](ChildWindow& w) {
            for (const auto& [id, value] : c.steps) {
                if (id == IDC_BURST_SHOOT) {
                    w.Click(id);
                    rig.pty.Read(18);
                } else if (id == IDC_BURST_SHOTS) {
                    w.SetText(id, value);
                } else {
                    w.Select(id, value);
                }
            }
            w.Click(IDC_BURST_SHOOT);
            EXPECT_EQ(rig.pty.Read(18), c.last);
            EXPECT_EQ(w.Text(IDC_BURST_LOG), "Start Capturing：2026-03-05 14:07:09\r\n");
        });
    }
}

// The camera reports the start and the end of its burst; the end each time
// it comes, other states not at all.
TEST(BurstReception, ShowsTheStartAndTheEndOfTheBurst)
{
    Rig rig;
    rig.InWindow([&](ChildWindow& w) {
        w.Click(IDC_BURST_SHOOT);
        const std::string log = w.Text(IDC_BURST_LOG);
        rig.Receive(w, Status(0));
        EXPECT_EQ(w.Text(IDC_BURST_STATE), "连拍开始...");
        EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), "接收到12字节--满一帧");
        rig.Receive(w, Status(3));
        EXPECT_EQ(w.Text(IDC_BURST_STATE), "连拍开始...");
        rig.Receive(w, Status(8));
        rig.Receive(w, Status(8));
        EXPECT_EQ(w.Text(IDC_BURST_STATE), "连拍完成\r\n");
        EXPECT_EQ(w.Text(IDC_BURST_LOG), log + "连拍完成\r\n连拍完成\r\n");
    });
}

// The buffer is read only when it holds exactly one frame with a good head;
// anything else stays in it, and it fills until it refuses more bytes. A
// request empties it.
TEST(BurstReception, OnlyABufferOfExactlyOneFrameIsRead)
{
    Bytes badFirst = Status(8), badSecond = Status(8), two = Status(8);
    badFirst[1] = 0x00;
    badSecond[0] = 0x00;
    two.insert(two.end(), two.begin(), two.end());
    const struct {
        const char* name;
        Bytes bytes;
        std::string info;
    } cases[] = {{"90 00", badFirst, "帧头错误"}, {"00 EB", badSecond, "帧头错误"}, {"two frames", two, "接收到24字节"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.InWindow([&](ChildWindow& w) {
            rig.Receive(w, c.bytes);
            EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), c.info);
            rig.Receive(w, Status(8));
            EXPECT_EQ(w.Text(IDC_BURST_STATE), "") << "kept bytes hide the next frame";
            for (int i = 0; i < 3; ++i)
                rig.Receive(w, Bytes(900, 0x00));
            EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), "接收缓冲区超出");
            w.Click(IDC_BURST_REQUEST_LIST);
            rig.pty.Read(18);
            rig.Receive(w, Status(8));
            EXPECT_EQ(w.Text(IDC_BURST_STATE), "连拍完成\r\n");
        });
    }
}

// "Request File List": how many, after or before the picker's date, or the
// latest pictures when "Get the last image" is ticked.
TEST(FileList, RequestCarriesCountDirectionAndDate)
{
    const struct {
        const char* name;
        int lastImage;
        int radio;  // 0 for none
        Bytes expected;
    } cases[] = {
        {"the latest, after", 1, IDC_BURST_AFTER,
         {0x90, 0xEB, 0x01, 0x43, 0x0A, 0x00, 0x00, 0x14, 0x01, 0xFF, 0, 0, 0, 0, 0, 0, 0xC1, 0xC2}},
        {"before the date", 0, IDC_BURST_BEFORE,
         {0x90, 0xEB, 0x01, 0x43, 0x0A, 0x00, 0x00, 0x14, 0x00, 0xFF, 0x1A, 0x03, 0x05, 0x0E, 0x07, 0x09, 0xC1, 0xC2}},
        {"no radio", 0, 0,
         {0x90, 0xEB, 0x01, 0x43, 0x0A, 0x00, 0x00, 0x14, 0x00, 0xFF, 0x1A, 0x03, 0x05, 0x0E, 0x07, 0x09, 0xC1, 0xC2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.InWindow([&](ChildWindow& w) {
            w.SetText(IDC_BURST_DATE, "2026-03-05 14:07:09");
            w.Check(IDC_BURST_LAST_IMAGE, c.lastImage);
            if (c.radio)
                w.Check(c.radio, 1);
            w.Click(IDC_BURST_REQUEST_LIST);
            EXPECT_EQ(rig.pty.Read(18), c.expected);
            EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), "2026-03-05 14:07:09");
        });
    }
}

// Whole 18-byte entries are listed, numbered from 1; an entry whose name is
// not 17 characters is shown in a message box instead.
TEST(FileList, ListsTheNamesOfWholeEntries)
{
    const struct {
        const char* name;
        Bytes reply;
        std::string rows, log;
        std::vector<std::string> messages;
    } cases[] = {
        {"L = 37", Names({kName1, kName2}, 1), "1\t" + kName1 + "\t\n2\t" + kName2 + "\t", "共有2个图片文件", {}},
        {"L = 0", Names({}), "", "共有0个图片文件", {"没有你要找的图片文件"}},
        {"a short name", Names({"2026030514070_01", kName2}), "1\t" + kName2 + "\t", "共有1个图片文件", {"2026030514070_01"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.InWindow([&](ChildWindow& w) {
            w.Click(IDC_BURST_REQUEST_LIST);
            rig.Receive(w, c.reply);
            EXPECT_EQ(w.Text(IDC_BURST_FILES), c.rows);
            EXPECT_EQ(w.Text(IDC_BURST_LOG), c.log);
            EXPECT_EQ(rig.console.Messages(), c.messages);
        });
    }
}

// A double click shows the name, asks the camera for the file and clears the
// picture area; without a selected row it does nothing.
TEST(FileRetrieval, DoubleClickAsksForTheSelectedFile)
{
    Rig rig;
    rig.InWindow([&](ChildWindow& w) {
        rig.Receive(w, Names({kName1, kName2}));
        w.DblClick(IDC_BURST_FILES, -1);
        EXPECT_TRUE(rig.pty.ReadAvailable().empty());
        EXPECT_TRUE(rig.console.Messages().empty());

        w.DblClick(IDC_BURST_FILES, 1);
        Bytes expected = {0x90, 0xEB, 0x01, 0x45, 0x14, 0x00, 0x00, 0x04};
        expected.insert(expected.end(), kName2.begin(), kName2.end());
        expected.insert(expected.end(), {0x00, 0xC1, 0xC2});
        EXPECT_EQ(rig.pty.Read(28), expected);
        EXPECT_EQ(rig.console.Messages(), std::vector<std::string>{kName2});
        EXPECT_EQ(w.Text(IDC_BURST_LOG), kName2);
        const auto& ops = rig.console.backend.DrawOps(w.dialog);
        ASSERT_FALSE(ops.empty());
        EXPECT_EQ(ops.back().rect, kPictureArea);
        EXPECT_EQ(ops.back().color, ui::RGB(200, 200, 220));
    });
}

// Packets are asked for one after another and placed by the number they
// carry; the picture fills the area's height, centred, and survives repaints.
TEST(FileRetrieval, PullsThePacketsAndDrawsThePicture)
{
    const Bytes tiny = TinyJpeg(), card = sim::MakeTestPicture({3, 12, false, 1});
    ASSERT_LE(tiny.size(), 1024u);
    const auto count = static_cast<std::uint16_t>((card.size() + 1023) / 1024);
    ASSERT_GE(count, 3);
    // Packet 1 is asked for and the last comes; the last is asked for and 1 comes.
    std::vector<std::pair<std::uint16_t, Bytes>> swapped;
    for (std::uint16_t k = 0; k < count; ++k) {
        const std::uint16_t sent = k == 1 ? count - 1 : k == count - 1 ? 1 : k;
        swapped.push_back({sent, Slice(card, sent * 1024u, 1024)});
    }
    const struct {
        const char* name;
        std::uint32_t length;
        std::uint16_t count;
        std::vector<std::pair<std::uint16_t, Bytes>> replies;  // to the requests for 0, 1, ...
        std::vector<ui::Rect> drawn;
    } cases[] = {
        {"one packet", std::uint32_t(tiny.size()), 1, {{0, tiny}}, {{112, 24, 692, 459}}},
        {"no packets", 0, 0, {}, {}},
        {"the last for 1, 1 for the last", std::uint32_t(card.size()), count, swapped, {{112, 24, 692, 459}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.InWindow([&](ChildWindow& w) {
            rig.Fetch(w, c.length, c.count);
            for (std::uint16_t k = 0; k < c.replies.size(); ++k) {
                ASSERT_EQ(rig.pty.Read(10), GetPacket(k));
                rig.Receive(w, Packet(c.replies[k].first, c.replies[k].second));
            }
            EXPECT_TRUE(rig.pty.ReadAvailable().empty());
            std::vector<ui::Rect> drawn;
            for (const auto& picture : rig.console.backend.Pictures())
                drawn.push_back(picture.target);
            EXPECT_EQ(drawn, c.drawn);
            if (c.drawn.empty())
                return;
            EXPECT_NE(w.Text(IDC_BURST_LOG).find("Show Jpeg--OK\r\n"), std::string::npos);
            rig.console.backend.Window(w.dialog)->Invalidate(true);
            const auto& ops = rig.console.backend.DrawOps(w.dialog);
            ASSERT_EQ(ops.size(), 2u);
            EXPECT_EQ(ops[0].rect, kPictureArea);
            EXPECT_EQ(ops[1].rect, c.drawn[0]);
        });
    }
}

// Nothing a camera sends is written outside the picture buffer: a packet whose
// data would end past its 1,024,000 bytes, or one too short for its number,
// is dropped with a word in the status line and the pull stops there.
TEST(FileRetrieval, PacketsBeyondTheBufferOrTooShortAreDropped)
{
    const struct {
        const char* name;
        Bytes reply;
        std::string info;
        bool pullGoesOn;
    } cases[] = {
        {"999 x 1024 + 1024, the last that fits", Packet(999, Bytes(1024, 0x11)), "帧正确", true},
        {"one byte at 1000 x 1024", Packet(1000, Bytes(1, 0x11)), "图像过大，缓冲区内存不足", false},
        {"999 x 1024 + 1025", Packet(999, Bytes(1025, 0x11)), "图像过大，缓冲区内存不足", false},
        {"number 65535", Packet(0xFFFF, Bytes(16, 0x11)), "图像过大，缓冲区内存不足", false},
        {"L = 2", Frame(CMD_GET_PACKET, {0x00, 0x00}), "分包返回指令字节数不对", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.InWindow([&](ChildWindow& w) {
            rig.Fetch(w, 2000000, 2000);
            ASSERT_EQ(rig.pty.Read(10), GetPacket(0));
            rig.Receive(w, c.reply);
            EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), c.info);
            EXPECT_EQ(rig.pty.ReadAvailable() == GetPacket(1), c.pullGoesOn);
        });
    }
}

TEST(FileRetrieval, PictureInformationOfTheWrongLengthStartsNothing)
{
    Rig rig;
    rig.InWindow([&](ChildWindow& w) {
        Bytes info = Info(5000, 5);
        info.insert(info.end() - 2, 0x00);
        info[4] = 12;
        rig.Fetch(w, 0, 0);
        rig.Receive(w, info);
        EXPECT_EQ(w.Text(IDC_BURST_LOG), "分包（精简）返回指令字节数不对");
        EXPECT_TRUE(rig.pty.ReadAvailable().empty());
    });
}

// However the window is left its port is closed; the texts and the radio
// choice survive to the next opening, which resets interval, count, shots and
// "Get the last image". Letters in a number field keep the window open.
TEST(BurstWindow, LeavingClosesThePortAndReopeningKeepsTheTexts)
{
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Close");
        Rig rig;
        rig.InWindow([&](ChildWindow& w) {
            w.SetText(IDC_BURST_INTERVAL, "7");
            w.SetText(IDC_BURST_REQUEST_COUNT, "4");
            w.Check(IDC_BURST_LAST_IMAGE, 0);
            w.Check(IDC_BURST_AFTER, 1);
            rig.Receive(w, Status(8));
            if (!closeBox) {
                w.SetText(IDC_BURST_SHOTS, "x9");
                w.Click(ui::IDOK);
                EXPECT_TRUE(w.Open()) << "x9 is no number";
                w.SetText(IDC_BURST_SHOTS, "9");
            }
            if (closeBox)
                w.dialog.HandleClose();
            else
                w.Click(ui::IDOK);
            EXPECT_FALSE(w.Open());
        });
        EXPECT_EQ(rig.console.Text(IDC_STATUS), "Serial port is closed");
        ASSERT_TRUE(InChildWindow(rig.console, IDC_CONTINUOUSLY_SHOT, [&](ChildWindow& w) {
            EXPECT_EQ(w.Text(IDC_BURST_INTERVAL) + w.Text(IDC_BURST_REQUEST_COUNT) + w.Text(IDC_BURST_SHOTS), "3205");
            EXPECT_EQ(w.Text(IDC_BURST_LAST_IMAGE), "1");
            // The close box takes nothing from the controls, as Cancel.
            EXPECT_EQ(w.Text(IDC_BURST_AFTER) + w.Text(IDC_BURST_BEFORE), closeBox ? "00" : "10");
            EXPECT_EQ(w.Text(IDC_BURST_STATE), "连拍完成\r\n");
            EXPECT_EQ(w.Text(IDC_BURST_LOG), "连拍完成\r\n");
            w.SetText(IDC_BURST_PORT, rig.pty.SlavePath());
            w.Click(IDC_BURST_OPEN_COMMS);
            EXPECT_EQ(w.Text(IDC_BURST_OPEN_COMMS), "Close Comms") << "the port was closed, so it opens";
        }));
    }
}

}  // namespace
}  // namespace qzr::test
