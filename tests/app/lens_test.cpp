// Lens, light and alarm control: button frames, lens replies, resets, manual focusing, the settings dialog.
#include "protocol/commands.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

using headless::DrawOp;

// The main window in factory mode with the camera on its port.
struct LensRig : Rig {
    explicit LensRig(bool factory = true) : Rig({.settings = factory ? kFactorySettings : Settings{}}) {}
    void Send(std::string_view text) { Rig::Send(ToBytes(std::string(text))); }
    using Rig::Send;
    std::string Text(int id) const { return console.Text(id); }
    void Dialog(int button, const std::function<void(ChildWindow&)>& body) { ASSERT_TRUE(InChildWindow(console, button, body)); }
};

Bytes Reply(std::uint8_t command, Bytes payload)
{
    Bytes frame = BuildFrame(1, command, payload);
    StampCrc(frame);
    return frame;
}

const Bytes kSnapshot = {0x90, 0xEB, 0x01, 0x02, 0x02, 0x00, 0x05, 0x01, 0x9F, 0x03};

// The zoom edit is read by "Zoom" only; the resets hold the window for 5 s.
TEST(LensButtons, SendTheirFramesAndSayWhatTheyDo)
{
    const struct { int button; const char* zoom; Bytes frame; const char* log; std::uint64_t holdsMs; } cases[] = {
        {IDC_ZOOM, "100", {0x90, 0xEB, 0x01, 0x72, 0x02, 0x00, 0x64, 0x64, 0x01, 0x1A}, "Zooming......", 0},
        {IDC_ZOOM, "256", {0x90, 0xEB, 0x01, 0x72, 0x02, 0x00, 0x00, 0x00, 0xCD, 0xF1}, "Zooming......", 0},
        {IDC_CHECK_LENS, "100", {0x90, 0xEB, 0x01, 0x72, 0x02, 0x00, 0x78, 0x78, 0xA2, 0x8F}, "Check...", 0},
        {IDC_FOCUS, "7", {0x90, 0xEB, 0x01, 0x76, 0x02, 0x00, 0x76, 0x76, 0x65, 0xC4}, "Focusing...", 0},
        {IDC_ZOOM_RESET, "7", {0x90, 0xEB, 0x01, 0x70, 0x02, 0x00, 0x70, 0x70, 0x80, 0xC3}, "", 5000},
        {IDC_FOCUS_RESET, "7", {0x90, 0xEB, 0x01, 0x74, 0x02, 0x00, 0x74, 0x74, 0xC6, 0xC6}, "", 5000},
        {IDC_LED_ON, "7", {0x90, 0xEB, 0x01, 0x07, 0x02, 0x00, 0x33, 0x00, 0xDA, 0x9F}, "", 0},
        {IDC_LED_OFF, "7", {0x90, 0xEB, 0x01, 0x07, 0x02, 0x00, 0xCC, 0x00, 0x25, 0x9C}, "", 0},
        {IDC_MANUAL_FOCUS, "7", {}, "", 0},  // the first poll follows 330 ms later
    };
    for (const auto& c : cases) {
        LensRig rig;
        rig.console.SetText(IDC_ZOOM_PERCENT, c.zoom);
        const std::uint64_t start = rig.console.backend.NowMs();
        rig.console.Click(c.button);
        EXPECT_EQ(rig.console.backend.NowMs() - start, c.holdsMs) << c.button;
        EXPECT_EQ(rig.console.Line(), c.frame) << c.button << " " << c.zoom;
        EXPECT_EQ(rig.Text(IDC_LOG), c.log) << c.button;
    }
}

// Three presses: ascending, descending, ascending, each in 12 one-byte writes.
TEST(LensButtons, TestPatternsTakeTurns)
{
    LensRig rig;
    const Bytes ascending = Hex("90 EB 01 DD 04 00 01 02 03 04 15 E7"), descending = Hex("90 EB 01 DD 04 00 04 03 02 01 F4 0F");
    for (const Bytes& pattern : {ascending, descending, ascending}) {
        rig.console.Click(IDC_TEST_PATTERN);
        EXPECT_EQ(rig.console.writes.size(), 12u);
        EXPECT_EQ(rig.console.Line(), pattern);
    }
}

// Before each case the window shows zoom 77 and focus 9 and has sent a zoom.
TEST(LensReplies, StatusDoneRepliesAndTheirLookAlikes)
{
    const struct { Bytes reply; std::string shown; } cases[] = {
        {Reply(CMD_LENS_STATUS, {0x32, 0x32, 0xFA, 0xFA}), "50/250 亮度过低，或对焦位置太平滑，不适合聚焦操作"},
        {Reply(CMD_LENS_STATUS, {0x65, 0x65, 0x00, 0x00}), "101/0 需要复位才能正常调焦"},
        {Reply(CMD_LENS_STATUS, {0x00, 0x00, 0x00, 0x00}), "0/0 请调焦或聚焦"},
        {Reply(CMD_LENS_STATUS, {0x32, 0x32, 0x28, 0x28}), "50/40 完成，可以试拍了"},
        {Reply(CMD_LENS_STATUS, {0x32, 0x31, 0x10, 0x10}), "77/16 完成，可以试拍了"},  // copies disagree
        {Reply(CMD_ZOOM_RESET_DONE, {0x71, 0x71}), "0/9 变焦复位OK"},
        {Reply(CMD_FOCUS_RESET_DONE, {0x75, 0x75}), "77/0 聚焦复位OK"},
        {Reply(CMD_AUTOFOCUS_DONE, {0x33, 0x33}), "77/9 聚焦完成"},
        {Reply(CMD_ZOOM_RESET_DONE, {0x71, 0x70}), "77/9 Zooming......"},
        {Reply(CMD_AUTOFOCUS_DONE, {0x68, 0x68}), "77/9 Zooming......"},
    };
    for (const auto& c : cases) {
        LensRig rig;
        rig.Send(Reply(CMD_LENS_STATUS, {77, 77, 9, 9}));
        rig.console.Click(IDC_ZOOM);
        rig.Send(c.reply);
        EXPECT_EQ(rig.Text(IDC_ZOOM_PERCENT) + "/" + rig.Text(IDC_FOCUS_PERCENT) + " " + rig.Text(IDC_LOG), c.shown);
    }
}

TEST(ManualFocus, PollsAndShowsTheValueLines)
{
    LensRig rig;
    rig.console.Check(IDC_SUB_PACKET, 1);
    rig.console.Click(IDC_MANUAL_FOCUS);
    EXPECT_EQ(rig.Text(IDC_MANUAL_FOCUS) + rig.Text(IDC_WHOLE_PACKAGE), "Stop Focusing1");
    rig.console.backend.RunLoop(1000);
    ASSERT_EQ(rig.console.writes.size(), 3u);
    EXPECT_EQ(rig.console.writes[0].bytes, (Bytes{0x90, 0xEB, 0x01, 0xEF, 0x05, 0x00, 0x11, 0x22, 0x33, 0x44, 0xEF, 0x6E, 0x1E}));
    EXPECT_EQ(rig.console.writes[2].ms - rig.console.writes[1].ms, 330u);

    const std::string tooLong(65, '7');  // more than a value: dropped
    for (std::string_view chunk : {"987654\n", "987654", "12", "34\n", tooLong.c_str()})
        rig.Send(chunk);
    EXPECT_EQ(rig.Text(IDC_CAMERA_TEXT), "987,654\r\n98,765\r\n1\r\n34\r\n");
    rig.Send(Reply(CMD_LENS_STATUS, {50, 50, 5, 5}));  // a line of text now, no lens reply
    EXPECT_EQ(rig.Text(IDC_ZOOM_PERCENT) + rig.Text(IDC_LOG), "0");

    rig.console.Click(IDC_MANUAL_FOCUS);
    EXPECT_EQ(rig.Text(IDC_MANUAL_FOCUS), "Start Focusing");
    rig.console.Line();
    rig.console.backend.RunLoop(1000);
    EXPECT_TRUE(rig.console.Line().empty());
}

// What ends manual focusing and which ends take the picture; the last poll's answer spoils no picture.
TEST(ManualFocus, WhatEndsIt)
{
    const struct {
        bool focusing;
        int button;  // 0: the production-date notice arrives
        const char* caption; Bytes sent;
    } cases[] = {
        {true, 0, "启动调焦", {}},
        {false, 0, "Manual Focus", {}},
        {true, IDC_SNAPSHOT, "Start Focusing", kSnapshot},
        {true, IDC_CONTINUOUS_CAPTURE, "Start Focusing", {}},
        {true, IDC_SET_AND_SNAPSHOT, "Start Focusing", {}},
    };
    for (const auto& c : cases) {
        LensRig rig;
        if (c.focusing)
            rig.console.Click(IDC_MANUAL_FOCUS);
        if (c.button) {
            rig.camera.Write(ToBytes("42\n"));  // the last poll's answer, not yet read
            WaitQueued(rig.Port(), 3);
            rig.console.Click(c.button);
        } else {
            rig.Send(BuildProductionDateNotice(1));
        }
        EXPECT_EQ(rig.Text(IDC_MANUAL_FOCUS), c.caption) << c.button;
        EXPECT_EQ(rig.console.Line(), c.sent) << c.button;
        if (!c.sent.empty()) {
            EXPECT_EQ(rig.Text(IDC_CAMERA_TEXT), "42\r\n");
            rig.Send(BuildSnapshotReply(1, Jpeg(1)));
            EXPECT_EQ(rig.console.backend.Pictures().size(), 1u) << c.button;
        }
        EXPECT_EQ(rig.Text(IDC_LOG) == "**********设置生产日期**********", c.button == 0);
        EXPECT_TRUE(rig.console.Enabled(IDC_CONTINUOUS_CAPTURE)) << "no continuous capture started";
        rig.console.backend.RunLoop(1000);
        EXPECT_TRUE(rig.console.Line().empty()) << "no more polls";
    }
}

// From "Set and Snapshot" on, every serial-number reply brings a snapshot.
TEST(SetAndSnapshot, EveryCheckDateIsFollowedByASnapshot)
{
    LensRig rig;
    rig.console.Click(IDC_SET_AND_SNAPSHOT);
    for (const Bytes& reply : {BuildSerialNumberReply(1, {0x1E240, 18, 7, 31, true}), BuildSerialNumberReply(1, {1, 99, 1, 1, true})}) {
        rig.console.Click(IDC_CHECK_DATE);
        rig.console.Line();
        rig.Send(reply);
        rig.console.Tick();
        ASSERT_EQ(rig.console.writes.size(), 1u);
        EXPECT_EQ(rig.console.writes[0].bytes, kSnapshot);
        rig.console.Line();
    }
}

// The chart with its peak covers the picture while focusing; the picture then shows again.
TEST(FocusChart, ShowsThePeakAndGoesWithoutRedrawingThePicture)
{
    LensRig rig;
    rig.console.Click(IDC_SNAPSHOT);
    rig.Feed(BuildSnapshotReply(1, Jpeg(5)));
    const std::vector<DrawOp> picture = rig.console.backend.DrawOps(rig.console.dialog);
    ASSERT_EQ(rig.console.backend.Pictures().size(), 1u);

    const std::vector<DrawOp>& chart = rig.console.backend.OverlayOps(rig.console.dialog);
    const auto texts = [&] {
        std::vector<std::string> shown;
        for (const DrawOp& op : chart)
            if (op.kind == DrawOp::Kind::Text)
                shown.push_back(op.text);
        return shown;
    };
    rig.console.Click(IDC_MANUAL_FOCUS);
    EXPECT_EQ(texts(), (std::vector<std::string>{"手动调焦", "等待调焦值……"}));
    for (const char* line : {"120\n", "480\n", "910\n", "1,2\n", "300\n", "senser ok\n"})
        rig.Send(line);
    EXPECT_EQ(texts(), (std::vector<std::string>{"手动调焦    当前 300", "峰值 910"}));
    ASSERT_FALSE(chart.empty());
    EXPECT_EQ(chart.front().rect, (ui::Rect{240, 24, 927, 511}));
    EXPECT_EQ(std::count_if(chart.begin(), chart.end(), [](const DrawOp& op) { return op.kind == DrawOp::Kind::Ellipse; }), 1);

    rig.console.Click(IDC_MANUAL_FOCUS);
    EXPECT_TRUE(chart.empty());
    EXPECT_EQ(rig.console.backend.DrawOps(rig.console.dialog), picture);
    EXPECT_EQ(rig.console.backend.Pictures().size(), 1u);
}

std::string States(ChildWindow& w)
{
    return w.Text(IDC_SETTINGS_LIGHT_STATE) + "/" + w.Text(IDC_SETTINGS_FOCUS_STATE) + "/" +
           w.Text(IDC_SETTINGS_ALARM_STATE) + " " + w.Text(IDC_SETTINGS_MODEL) + " " + w.Text(IDC_SETTINGS_FUNCTION);
}

// Each button's frame and state; Set sends the model, a second later the function mode numbered before "-".
TEST(SettingsDialog, ButtonsSendTheirFramesAndShowTheState)
{
    const std::string m2 = "90 EB 01 E3 04 00 E3 E3 22 22 E0 03 ", idle = "红光/不聚焦/不报警 QZR-L1N 1-标准型";
    const struct { int button; std::string frames, states; const char* function = nullptr; std::uint64_t heldMs = 0; } cases[] = {
        {IDC_SETTINGS_WHITE_LIGHT, "90 EB 01 EA 04 00 EA EA 33 33 98 77", "白光/不聚焦/不报警 QZR-L1N 1-标准型"},
        {IDC_SETTINGS_INFRARED, "90 EB 01 BA 04 00 EA EA CC CC 00 80", "红外/不聚焦/不报警 QZR-L1N 1-标准型"},
        {IDC_SETTINGS_AUTOFOCUS_SET, "90 EB 01 E9 04 00 E9 E9 33 33 96 6D", "红光/聚焦/不报警 QZR-L1N 1-标准型"},
        {IDC_SETTINGS_AUTOFOCUS_CANCEL, "90 EB 01 B9 04 00 B9 B9 CC CC FB B1", idle},
        {IDC_SETTINGS_ALARM, "", "红光/不聚焦/报警 QZR-L1N 1-标准型"},
        {IDC_SETTINGS_NO_ALARM, "", idle},
        {IDC_SETTINGS_MODEL_CANCEL, "90 EB 01 E3 04 00 E3 E3 22 33 F0 01", idle},
        {IDC_SETTINGS_MODEL_SET, m2 + "90 EB 01 E4 04 00 B4 B4 0C 0C A9 05", "红光/不聚焦/不报警 QZR-M2 12-abc", "12-abc", 1000},
        {IDC_SETTINGS_MODEL_SET, m2, "红光/不聚焦/不报警 QZR-M2 -3", "-3", 1000},
        {IDC_SETTINGS_MODEL_SET, m2, "红光/不聚焦/不报警 QZR-M2 3", "3", 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.states);
        LensRig rig;
        const std::uint64_t start = rig.console.backend.NowMs();
        rig.Dialog(IDC_SETTING, [&](ChildWindow& w) {
            EXPECT_EQ(States(w), idle);
            if (c.function) {
                w.Select(IDC_SETTINGS_MODEL, "QZR-M2");
                w.SetText(IDC_SETTINGS_FUNCTION, c.function);
            }
            w.Click(c.button);
            EXPECT_EQ(States(w), c.states);
        });
        EXPECT_EQ(rig.console.backend.NowMs() - start, c.heldMs);
        EXPECT_EQ(rig.console.Line(), Hex(c.frames));
    }
    LensRig outside(false);
    EXPECT_FALSE(InChildWindow(outside.console, IDC_SETTING, [](ChildWindow&) {}));
}

// Reopened, the dialog shows what was remembered; the first Batch Setting opens it.
TEST(SettingsDialog, ShowsTheRememberedChoicesAgain)
{
    LensRig rig;
    rig.Dialog(IDC_BATCH_SETTING, [&](ChildWindow& w) {
        w.Click(IDC_SETTINGS_INFRARED);
        w.Click(IDC_SETTINGS_AUTOFOCUS_SET);
        w.Click(IDC_SETTINGS_ALARM);
        w.Select(IDC_SETTINGS_FUNCTION, "3-短时暴光");
        w.Click(IDC_SETTINGS_MODEL_SET);
    });
    const Bytes line = rig.console.Line();
    EXPECT_EQ(Bytes(line.end() - 14, line.end()),
              (Bytes{0x90, 0xEB, 0x01, 0xE8, 0x06, 0x00, 0xCC, 0x33, 0x33, 0x11, 0x11, 0x03, 0x4E, 0x15}));
    EXPECT_FALSE(InChildWindow(rig.console, IDC_BATCH_SETTING, [](ChildWindow&) {})) << "only the first opens it";
    EXPECT_EQ(rig.console.Line().size(), 14u);
    rig.Dialog(IDC_SETTING, [&](ChildWindow& w) {
        EXPECT_EQ(States(w), "红光/聚焦/报警 QZR-L1N 1-标准型");
        w.Select(IDC_SETTINGS_MODEL, "星光级");  // no model: told before and after the wait
        w.Select(IDC_SETTINGS_FUNCTION, "2-不延时直拍");
        w.Click(IDC_SETTINGS_MODEL_SET);
    });
    EXPECT_EQ(rig.console.Messages(), (std::vector<std::string>{"型号出错--未知", "型号出错--未知"}));
    EXPECT_EQ(rig.console.writes.size(), 2u);
    rig.Dialog(IDC_SETTING, [&](ChildWindow& w) {
        EXPECT_EQ(States(w), "红光/聚焦/报警 星光级 2-不延时直拍");
        EXPECT_EQ(w.backend.Window(w.dialog)->ComboSelection(IDC_SETTINGS_MODEL), 16) << "from the second item on";
    });
}

}  // namespace
}  // namespace qzr::test
