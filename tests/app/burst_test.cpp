// The burst test window ("Continuously Shot") against a camera played on its own pseudo-terminal.
#include "protocol/burst.h"
#include "protocol/subpacket.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

constexpr ui::Rect kArea = {16, 24, 789, 459}, kDrawn4To3 = {112, 24, 692, 459};
const std::string kName1 = "20260305140709_01", kName2 = "20260305140712_02";

Bytes Status(std::uint8_t state) { return BuildBurstStatus(1, state, 0); }
Bytes Names(const std::vector<std::string>& names) { return BuildFileListReply(1, names); }
Bytes Packet(std::uint16_t number, const Bytes& data) { return BuildPacketReply(1, number, data); }
// `extra` more payload bytes than the frame had, and its length field says so.
Bytes Longer(Bytes frame, std::size_t extra)
{
    frame.insert(frame.end() - 2, extra, 0x33);
    frame[4] = static_cast<std::uint8_t>(frame[4] + extra);
    return frame;
}

// The main window at 2026-03-05 14:07:09; `body` runs in the burst window, its port on the camera.
struct BurstRig : Rig {
    BurstRig() : Rig({.connect = false}) { console.backend.SetStartTime({2026, 3, 5, 14, 7, 9}); }
    void InWindow(const std::function<void(ChildWindow&)>& body)
    {
        InPortWindow(IDC_CONTINUOUSLY_SHOT, {IDC_BURST_PORT, IDC_BURST_OPEN_COMMS, IDC_BURST_PORT_INFO}, body);
    }
    void Receive(ChildWindow& w, const Bytes& bytes) { w.Receive(camera, bytes, 150, 1056); }
    // Opens the second of two listed names (a double click on no row sends nothing), then answers `info`.
    void Fetch(ChildWindow& w, const Bytes& info)
    {
        Receive(w, Names({kName1, kName2}));
        w.DblClick(IDC_BURST_FILES, -1);
        w.DblClick(IDC_BURST_FILES, 1);
        EXPECT_EQ(camera.Read(28), Hex("90 EB 01 45 14 00 00 04") + ToBytes(kName2) + Hex("00 C1 C2"));
        EXPECT_EQ(console.Messages(), std::vector<std::string>{kName2});
        Receive(w, info);
    }
};

// The request: choices, the PC's time, the id; a quality over 5 keeps the last, a bad resolution gives 5.
TEST(BurstWindow, BurstRequestCarriesTheChoicesAndTheTime)
{
    const struct {
        std::uint8_t cameraId;
        std::vector<std::pair<int, std::string>> steps;  // a choice, or 0 for a press
        std::uint8_t resolution, quality;  // in the last request
    } cases[] = {
        {1, {{IDC_BURST_QUALITY, "3"}, {0, ""}, {IDC_BURST_QUALITY, "8"}}, 5, 3},
        {1, {{IDC_BURST_RESOLUTION, "160x120"}, {0, ""}, {IDC_BURST_RESOLUTION, "-----16:9-----"}}, 5, 2},
        {7, {{IDC_BURST_RESOLUTION, "1920x1080"}}, 0x10, 2},
    };
    for (const auto& c : cases) {
        BurstRig rig;
        rig.console.SetText(IDC_CAMERA_ID, std::to_string(c.cameraId));
        rig.InWindow([&](ChildWindow& w) {
            for (const auto& [id, value] : c.steps) {
                if (id) {
                    w.Select(id, value);
                } else {
                    w.Click(IDC_BURST_SHOOT);
                    rig.camera.Read(18);
                }
            }
            w.Click(IDC_BURST_SHOOT);
            const Bytes head = {0x90, 0xEB, c.cameraId, 0x41, 0x0A, 0x00, c.resolution, c.quality};
            EXPECT_EQ(rig.camera.Read(18), head + Hex("05 03 1A 03 05 0E 07 09 C1 C2")) << int(c.cameraId) << " " << c.steps.size();
            EXPECT_EQ(w.Text(IDC_BURST_LOG), "Start Capturing：2026-03-05 14:07:09\r\n");
        });
    }
}

// Only a buffer of exactly one good frame is read; anything else waits till it fills and a request clears it.
TEST(BurstWindow, ReadsTheBufferOnlyAsExactlyOneFrame)
{
    Bytes badFirst = Status(8), badSecond = Status(8);
    badFirst[1] = 0x00;
    badSecond[0] = 0x00;
    const std::pair<Bytes, std::string> cases[] = {{badFirst, "帧头错误"}, {badSecond, "帧头错误"}, {Status(8) + Status(8), "接收到24字节"}};
    for (const auto& [bytes, info] : cases) {
        BurstRig rig;
        rig.InWindow([&](ChildWindow& w) {
            rig.Receive(w, Status(burst::kStarted));
            EXPECT_EQ(w.Text(IDC_BURST_STATE) + w.Text(IDC_BURST_PORT_INFO), "连拍开始...接收到12字节--满一帧");
            rig.Receive(w, bytes);
            EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), info);
            rig.Receive(w, Status(8));
            EXPECT_EQ(w.Text(IDC_BURST_STATE), "连拍开始...");
            for (int i = 0; i < 3; ++i)
                rig.Receive(w, Bytes(900, 0x00));
            EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), "接收缓冲区超出");
            w.Click(IDC_BURST_REQUEST_LIST);
            for (int i = 0; i < 2; ++i)
                rig.Receive(w, Status(8));
            EXPECT_EQ(w.Text(IDC_BURST_STATE) + w.Text(IDC_BURST_LOG), "连拍完成\r\n连拍完成\r\n连拍完成\r\n");
        });
    }
}

// Names after or before the picker's date, or the latest, are listed; one not 17 characters is shown instead.
TEST(BurstWindow, RequestsAndListsFileNames)
{
    const Bytes latest = Hex("90 EB 01 43 0A 00 00 14 01 FF 00 00 00 00 00 00 C1 C2");
    const Bytes before = Hex("90 EB 01 43 0A 00 00 14 00 FF 1A 03 05 0E 07 09 C1 C2");
    const std::string rows2 = "1\t" + kName1 + "\t\n2\t" + kName2 + "\t";
    const struct {
        int lastImage, radio;  // radio 0: none selected
        Bytes request, reply; std::string rows, log; std::vector<std::string> messages;
    } cases[] = {
        {1, IDC_BURST_AFTER, latest, Longer(Names({kName1, kName2}), 1), rows2, "共有2个图片文件", {}},
        {0, IDC_BURST_BEFORE, before, Names({}), "", "共有0个图片文件", {"没有你要找的图片文件"}},
        {0, 0, before, Names({"2026030514070_01", kName2}), "1\t" + kName2 + "\t", "共有1个图片文件",
         {"2026030514070_01"}},
    };
    for (const auto& c : cases) {
        BurstRig rig;
        rig.InWindow([&](ChildWindow& w) {
            w.SetText(IDC_BURST_DATE, "2026-03-05 14:07:09");
            w.Check(IDC_BURST_LAST_IMAGE, c.lastImage);
            if (c.radio)
                w.Check(c.radio, 1);
            w.Click(IDC_BURST_REQUEST_LIST);
            EXPECT_EQ(rig.camera.Read(18), c.request);
            EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), "2026-03-05 14:07:09");
            rig.Receive(w, c.reply);
            EXPECT_EQ(w.Text(IDC_BURST_FILES) + "|" + w.Text(IDC_BURST_LOG), c.rows + "|" + c.log);
            EXPECT_EQ(rig.console.Messages(), c.messages);
        });
    }
}

// Packets land by the number they carry and survive repaints; information of a wrong length starts nothing.
TEST(BurstWindow, PullsThePacketsAndDrawsThePicture)
{
    const Bytes card = sim::MakeTestPicture({3, 12, false, 1});
    const auto count = static_cast<std::uint16_t>((card.size() + 1023) / 1024);
    ASSERT_GE(count, 3);
    // Packet 1 is asked for and the last comes, the last is asked for and 1 comes.
    std::vector<Bytes> swapped;
    for (std::uint16_t k = 0; k < count; ++k) {
        const std::uint16_t sent = k == 1 ? count - 1 : k == count - 1 ? 1 : k;
        const std::size_t from = sent * 1024u, to = std::min<std::size_t>(card.size(), from + 1024);
        swapped.push_back(Packet(sent, Bytes(card.begin() + from, card.begin() + to)));
    }
    const struct {
        Bytes info;
        std::vector<Bytes> replies;  // to the requests for 0, 1, ...
        std::optional<ui::Rect> drawn; std::string logEnd;
    } cases[] = {
        {BuildSimpleSubPacketReply(1, {0, 0, 1024}), {}, {}, "分包大小=1024\r\n"},
        {BuildSimpleSubPacketReply(1, {std::uint32_t(card.size()), count, 1024}), swapped, kDrawn4To3, "Show Jpeg--OK\r\n"},
        {Longer(BuildSimpleSubPacketReply(1, {5000, 5, 1024}), 1), {}, {}, "分包（精简）返回指令字节数不对"},
    };
    for (const auto& c : cases) {
        BurstRig rig;
        rig.InWindow([&](ChildWindow& w) {
            rig.Fetch(w, c.info);
            for (std::uint16_t k = 0; k < c.replies.size(); ++k) {
                ASSERT_EQ(rig.camera.Read(10), BuildGetPacketRequest(1, k));
                rig.Receive(w, c.replies[k]);
            }
            EXPECT_TRUE(rig.camera.ReadAvailable().empty());
            const std::string log = w.Text(IDC_BURST_LOG);
            EXPECT_EQ(log.substr(log.size() - std::min(log.size(), c.logEnd.size())), c.logEnd);
            const auto& ops = rig.console.backend.DrawOps(w.dialog);
            EXPECT_EQ(ops.front(), (headless::DrawOp{headless::DrawOp::Kind::FillSolidRect, kArea, ui::RGB(200, 200, 220)}));
            ASSERT_EQ(rig.console.backend.Pictures().size(), c.drawn ? 1u : 0u);
            if (!c.drawn)
                return;
            rig.console.backend.Window(w.dialog)->Invalidate(true);
            ASSERT_EQ(ops.size(), 2u);
            EXPECT_EQ(ops[0].rect, kArea);
            EXPECT_EQ(ops[1].rect, *c.drawn);
        });
    }
}

// A packet past the picture buffer, or too short, is dropped and ends the pull.
TEST(BurstWindow, PacketsBeyondTheBufferOrTooShortAreDropped)
{
    const std::tuple<Bytes, std::string, bool> cases[] = {
        {Packet(999, Bytes(1024, 0x11)), "帧正确", true},
        {Packet(1000, Bytes(1, 0x11)), "图像过大，缓冲区内存不足", false},
        {Packet(999, Bytes(1025, 0x11)), "图像过大，缓冲区内存不足", false},
        {Packet(0xFFFF, Bytes(16, 0x11)), "图像过大，缓冲区内存不足", false},
        {Bytes{0x90, 0xEB, 0x01, 0x31, 0x02, 0x00, 0x00, 0x00, 0xC1, 0xC2}, "分包返回指令字节数不对", false},
    };
    for (const auto& [reply, info, pullGoesOn] : cases) {
        BurstRig rig;
        rig.InWindow([&](ChildWindow& w) {
            rig.Fetch(w, BuildSimpleSubPacketReply(1, {2000000, 2000, 1024}));
            ASSERT_EQ(rig.camera.Read(10), BuildGetPacketRequest(1, 0));
            rig.Receive(w, reply);
            EXPECT_EQ(w.Text(IDC_BURST_PORT_INFO), info);
            EXPECT_EQ(rig.camera.ReadAvailable() == BuildGetPacketRequest(1, 1), pullGoesOn) << info;
        });
    }
}

// Leaving closes the port; texts stay (the radio choice after Close), numbers and "Get the last image" reset.
TEST(BurstWindow, LeavingClosesThePortAndReopeningKeepsTheTexts)
{
    for (const bool closeBox : {false, true}) {
        BurstRig rig;
        rig.InWindow([&](ChildWindow& w) {
            w.SetText(IDC_BURST_INTERVAL, "7");
            w.Check(IDC_BURST_LAST_IMAGE, 0);
            w.Check(IDC_BURST_AFTER, 1);
            rig.Receive(w, Status(8));
            if (closeBox) {
                w.dialog.HandleClose();
                return;
            }
            w.SetText(IDC_BURST_SHOTS, "x9");
            w.Click(ui::IDOK);
            EXPECT_TRUE(w.Open());
            w.SetText(IDC_BURST_SHOTS, "9");
            w.Click(ui::IDOK);
        });
        EXPECT_EQ(rig.console.Text(IDC_STATUS), "Serial port is closed");
        ASSERT_TRUE(InChildWindow(rig.console, IDC_CONTINUOUSLY_SHOT, [&](ChildWindow& w) {
            EXPECT_EQ(w.Text(IDC_BURST_INTERVAL) + w.Text(IDC_BURST_REQUEST_COUNT) + w.Text(IDC_BURST_SHOTS) +
                          w.Text(IDC_BURST_LAST_IMAGE),
                      "32051");
            // The close box takes nothing from the controls, as Cancel.
            EXPECT_EQ(w.Text(IDC_BURST_AFTER), closeBox ? "0" : "1");
            EXPECT_EQ(w.Text(IDC_BURST_LOG), "连拍完成\r\n");
            w.SetText(IDC_BURST_PORT, rig.camera.SlavePath());
            w.Click(IDC_BURST_OPEN_COMMS);
            EXPECT_EQ(w.Text(IDC_BURST_OPEN_COMMS), "Close Comms") << closeBox;
        }));
    }
}

}  // namespace
}  // namespace qzr::test
