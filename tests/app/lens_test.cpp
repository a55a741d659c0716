// Lens, light and alarm control in the main window: the frames of the
// "Focusing" group, the LED and test buttons, the lens replies, the resets'
// wait, manual focusing with its lines, its chart and what ends it, and the
// settings dialog. The camera is played by the test on a pseudo-terminal;
// every write of the console is kept with its time on the virtual clock.
#include "config/settings_store.h"
#include "protocol/commands.h"
#include "protocol/lens.h"
#include "protocol/serial_number.h"
#include "protocol/snapshot.h"
#include "sim/picture.h"
#include "tests/app/child_window.h"

namespace qzr::test {
namespace {

using headless::DrawOp;

// A workstation with the factory marker.
class FactoryStore final : public ISettingsStore {
public:
    std::optional<std::string> Read(std::string_view name) const override
    {
        return name == "key" ? "4711" : std::optional<std::string>("0");
    }
    bool Write(std::string_view, std::string_view) override { return true; }
};

struct Write {
    std::uint64_t atMs;
    Bytes bytes;
};

// The main window with its port open on the test's pseudo-terminal.
struct Rig {
    explicit Rig(bool factory = false)
    {
        if (factory)
            console.dialog.SetSettingsStore(&store);
        console.Open();
        console.dialog.Session().Port().SetWriteTrace([this](std::span<const std::uint8_t> bytes) {
            writes.push_back({console.backend.NowMs(), Bytes(bytes.begin(), bytes.end())});
        });
        console.Connect(pty.SlavePath());
    }
    // What the console wrote since the last look, all writes together.
    Bytes Line()
    {
        Bytes line;
        for (const Write& w : writes)
            line.insert(line.end(), w.bytes.begin(), w.bytes.end());
        writes.clear();
        return line;
    }
    void Receive(const Bytes& bytes) { console.Receive(pty, bytes); }
    void Receive(std::string_view text) { Receive(Bytes(text.begin(), text.end())); }
    std::string Log() const { return console.Text(IDC_LOG); }

    FactoryStore store;
    PtyPair pty;
    Console console;
    std::vector<Write> writes;
};

Bytes Reply(std::uint8_t command, Bytes payload)
{
    Bytes frame = BuildFrame(1, command, payload);
    StampCrc(frame);
    return frame;
}

const Bytes kPoll = {0x90, 0xEB, 0x01, 0xEF, 0x05, 0x00, 0x11, 0x22, 0x33, 0x44, 0xEF, 0x6E, 0x1E};
const Bytes kSnapshot = {0x90, 0xEB, 0x01, 0x02, 0x02, 0x00, 0x05, 0x01, 0x9F, 0x03};
const Bytes kNotice = {0x90, 0xEB, 0x01, 0xF1, 0x02, 0x00, 0xF1, 0xF1, 0x01, 0xE2};

// With camera id 1; the zoom edit is read by "Zoom" only.
TEST(LensButtons, SendTheirFramesAndSayWhatTheyDo)
{
    const struct {
        int button;
        const char* zoom;
        Bytes frame;
        const char* log;
    } cases[] = {
        {IDC_ZOOM, "100", {0x90, 0xEB, 0x01, 0x72, 0x02, 0x00, 0x64, 0x64, 0x01, 0x1A}, "Zooming......"},
        {IDC_ZOOM, "256", {0x90, 0xEB, 0x01, 0x72, 0x02, 0x00, 0x00, 0x00, 0xCD, 0xF1}, "Zooming......"},
        {IDC_CHECK_LENS, "100", {0x90, 0xEB, 0x01, 0x72, 0x02, 0x00, 0x78, 0x78, 0xA2, 0x8F}, "Check..."},
        {IDC_FOCUS, "7", {0x90, 0xEB, 0x01, 0x76, 0x02, 0x00, 0x76, 0x76, 0x65, 0xC4}, "Focusing..."},
        {IDC_ZOOM_RESET, "7", {0x90, 0xEB, 0x01, 0x70, 0x02, 0x00, 0x70, 0x70, 0x80, 0xC3}, ""},
        {IDC_FOCUS_RESET, "7", {0x90, 0xEB, 0x01, 0x74, 0x02, 0x00, 0x74, 0x74, 0xC6, 0xC6}, ""},
        {IDC_LED_ON, "7", {0x90, 0xEB, 0x01, 0x07, 0x02, 0x00, 0x33, 0x00, 0xDA, 0x9F}, ""},
        {IDC_LED_OFF, "7", {0x90, 0xEB, 0x01, 0x07, 0x02, 0x00, 0xCC, 0x00, 0x25, 0x9C}, ""},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.console.SetText(IDC_ZOOM_PERCENT, c.zoom);
        rig.console.Click(c.button);
        EXPECT_EQ(rig.Line(), c.frame) << c.button << " " << c.zoom;
        EXPECT_EQ(rig.Log(), c.log) << c.button;
    }
}

TEST(LensReplies, StatusDoneRepliesAndTheirLookAlikes)
{
    const struct {
        Bytes reply;
        std::string zoom, focus, log;
    } cases[] = {
        {Reply(CMD_LENS_STATUS, {0x32, 0x32, 0xFA, 0xFA}), "50", "250", "亮度过低，或对焦位置太平滑，不适合聚焦操作"},
        {Reply(CMD_LENS_STATUS, {0x65, 0x65, 0x00, 0x00}), "101", "0", "需要复位才能正常调焦"},
        {Reply(CMD_LENS_STATUS, {0x00, 0x00, 0x00, 0x00}), "0", "0", "请调焦或聚焦"},
        {Reply(CMD_LENS_STATUS, {0x32, 0x32, 0x28, 0x28}), "50", "40", "完成，可以试拍了"},
        // Copies that disagree keep what the window had (zoom 77, focus 9 before each case).
        {Reply(CMD_LENS_STATUS, {0x32, 0x31, 0x10, 0x10}), "77", "16", "完成，可以试拍了"},
        {Reply(CMD_ZOOM_RESET_DONE, {0x71, 0x71}), "0", "9", "变焦复位OK"},
        {Reply(CMD_FOCUS_RESET_DONE, {0x75, 0x75}), "77", "0", "聚焦复位OK"},
        {Reply(CMD_AUTOFOCUS_DONE, {0x33, 0x33}), "77", "9", "聚焦完成"},
        {Reply(CMD_ZOOM_RESET_DONE, {0x71, 0x70}), "77", "9", "Zooming......"},
        {Reply(CMD_AUTOFOCUS_DONE, {0x68, 0x68}), "77", "9", "Zooming......"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.console.SetText(IDC_ZOOM_PERCENT, "77");
        rig.console.Click(IDC_ZOOM);
        rig.Receive(Reply(CMD_LENS_STATUS, {77, 77, 9, 9}));
        rig.console.Click(IDC_ZOOM);
        rig.Receive(c.reply);
        EXPECT_EQ(rig.console.Text(IDC_ZOOM_PERCENT) + "/" + rig.console.Text(IDC_FOCUS_PERCENT) + " " + rig.Log(),
                  c.zoom + "/" + c.focus + " " + c.log);
    }
}

// Nothing of the window runs for 5 s; the reply that came meanwhile is read after.
TEST(LensReset, HoldsTheWindowFiveSeconds)
{
    for (int button : {IDC_ZOOM_RESET, IDC_FOCUS_RESET}) {
        Rig rig;
        const Bytes done = Reply(button == IDC_ZOOM_RESET ? CMD_ZOOM_RESET_DONE : CMD_FOCUS_RESET_DONE,
                                 button == IDC_ZOOM_RESET ? Bytes{0x71, 0x71} : Bytes{0x75, 0x75});
        // The camera is done at once; the console reads its reply only after the wait.
        rig.console.dialog.Session().Port().SetWriteTrace([&](std::span<const std::uint8_t>) {
            rig.pty.Write(done);
            WaitQueued(rig.console.dialog.Session().Port().Handle(), static_cast<int>(done.size()));
        });
        const std::uint64_t start = rig.console.backend.NowMs();
        rig.console.Click(button);
        EXPECT_EQ(rig.console.backend.NowMs() - start, 5000u);
        EXPECT_EQ(rig.Log(), "") << "no poll during the wait";
        rig.console.Tick();
        EXPECT_EQ(rig.Log(), button == IDC_ZOOM_RESET ? "变焦复位OK" : "聚焦复位OK");
    }
}

TEST(ManualFocus, PollsAndShowsTheValueLines)
{
    Rig rig;
    rig.console.Check(IDC_SUB_PACKET, 1);
    rig.console.Click(IDC_MANUAL_FOCUS);
    EXPECT_EQ(rig.console.Text(IDC_MANUAL_FOCUS), "Stop Focusing");
    EXPECT_EQ(rig.console.Text(IDC_WHOLE_PACKAGE), "1");
    rig.console.backend.RunLoop(1000);
    const std::vector<Write> polls = rig.writes;
    ASSERT_EQ(polls.size(), 3u);
    EXPECT_EQ(polls[0].bytes, kPoll);
    EXPECT_EQ(polls[2].atMs - polls[1].atMs, 330u);

    rig.Receive("987654\n");
    rig.Receive("987654");
    rig.Receive("12");  // a line split over two polls
    rig.Receive("34\n");
    rig.Receive(std::string(65, '7'));  // more than a value: dropped
    EXPECT_EQ(rig.console.Text(IDC_CAMERA_TEXT), "987,654\r\n98,765\r\n1\r\n34\r\n");
    rig.Receive(Reply(CMD_LENS_STATUS, {50, 50, 5, 5}));  // a line of text now, not a lens reply
    EXPECT_EQ(rig.console.Text(IDC_ZOOM_PERCENT) + rig.Log(), "0");

    // The 26th line since start empties the box first.
    for (int line = 6; line <= 25; ++line)
        rig.Receive("5\n");
    EXPECT_NE(rig.console.Text(IDC_CAMERA_TEXT), "5\r\n");
    rig.Receive("6\n");
    EXPECT_EQ(rig.console.Text(IDC_CAMERA_TEXT), "6\r\n");

    rig.console.Click(IDC_MANUAL_FOCUS);
    EXPECT_EQ(rig.console.Text(IDC_MANUAL_FOCUS), "Start Focusing");
    rig.Line();
    rig.console.backend.RunLoop(1000);
    EXPECT_TRUE(rig.Line().empty());
}

// The production-date notice ends manual focusing; without it running, the
// button keeps its caption.
TEST(ManualFocus, ProductionDateNoticeEndsIt)
{
    for (bool focusing : {true, false}) {
        Rig rig(true);
        if (focusing)
            rig.console.Click(IDC_MANUAL_FOCUS);
        rig.Receive(kNotice);
        EXPECT_EQ(rig.Log(), "**********设置生产日期**********");
        EXPECT_EQ(rig.console.Text(IDC_MANUAL_FOCUS), focusing ? "启动调焦" : "Manual Focus");
        rig.Line();
        rig.console.backend.RunLoop(1000);
        EXPECT_TRUE(rig.Line().empty());
    }
}

// Snapshot and "Stop and Snapshot" end manual focusing and take the picture;
// "Continuously Capture" only ends it.
TEST(ManualFocus, EndedByTheCaptureButtons)
{
    const struct {
        int button;
        Bytes sent;
    } cases[] = {{IDC_SNAPSHOT, kSnapshot}, {IDC_STOP_AND_SNAPSHOT, kSnapshot}, {IDC_CONTINUOUS_CAPTURE, {}},
                 {IDC_SET_AND_SNAPSHOT, {}}};
    for (const auto& c : cases) {
        Rig rig;
        rig.console.Click(IDC_MANUAL_FOCUS);
        rig.console.Click(c.button);
        EXPECT_EQ(rig.console.Text(IDC_MANUAL_FOCUS), "Start Focusing") << c.button;
        EXPECT_EQ(rig.Line(), c.sent) << c.button;
        EXPECT_TRUE(rig.console.Enabled(IDC_CONTINUOUS_CAPTURE)) << c.button;
    }
}

// From "Set and Snapshot" on, every serial-number reply is followed by a snapshot 10 ms later.
TEST(SetAndSnapshot, EveryCheckDateIsFollowedByASnapshot)
{
    Rig rig;
    rig.console.Click(IDC_SET_AND_SNAPSHOT);
    EXPECT_TRUE(rig.Line().empty());
    for (const Bytes& reply : {BuildSerialNumberReply(1, {0x1E240, 18, 7, 31, true}), BuildSerialNumberReply(1, {1, 99, 1, 1, true})}) {
        rig.console.Click(IDC_CHECK_DATE);
        rig.Line();
        rig.pty.Write(reply);
        WaitQueued(rig.console.dialog.Session().Port().Handle(), static_cast<int>(reply.size()));
        rig.console.backend.RunLoop(200);
        ASSERT_EQ(rig.writes.size(), 1u);
        EXPECT_EQ(rig.writes[0].bytes, kSnapshot);
        EXPECT_EQ(rig.writes[0].atMs % 100, 10u) << "10 ms after the poll tick that read the reply";
        rig.Line();
    }
}

TEST(TestPattern, AscendingAndDescendingInTurnOneByteAWrite)
{
    Rig rig;
    const Bytes ascending = {0x90, 0xEB, 0x01, 0xDD, 0x04, 0x00, 0x01, 0x02, 0x03, 0x04, 0x15, 0xE7};
    const Bytes descending = {0x90, 0xEB, 0x01, 0xDD, 0x04, 0x00, 0x04, 0x03, 0x02, 0x01, 0xF4, 0x0F};
    for (const Bytes& pattern : {ascending, descending, ascending}) {
        rig.console.Click(IDC_TEST_PATTERN);
        ASSERT_EQ(rig.writes.size(), 12u);
        EXPECT_EQ(rig.Line(), pattern);
    }
}

// The chart of the values so far covers the picture area while focusing
// runs, its highest value written beside it; afterwards the area shows the
// last picture again, which is not drawn anew.
TEST(FocusChart, ShowsThePeakAndGoesWithoutRedrawingThePicture)
{
    Rig rig;
    rig.console.Click(IDC_SNAPSHOT);
    const Bytes reply = BuildSnapshotReply(1, sim::MakeTestPicture({5, 12, false, 1}));
    for (std::size_t at = 0; at < reply.size(); at += 2048)  // a poll's read at a time
        rig.Receive(Bytes(reply.begin() + static_cast<std::ptrdiff_t>(at),
                          reply.begin() + static_cast<std::ptrdiff_t>(std::min(reply.size(), at + 2048))));
    const std::vector<DrawOp> picture = rig.console.backend.DrawOps(rig.console.dialog);
    ASSERT_EQ(rig.console.backend.Pictures().size(), 1u);

    rig.console.Click(IDC_MANUAL_FOCUS);
    const auto texts = [&] {
        std::vector<std::string> shown;
        for (const DrawOp& op : rig.console.backend.OverlayOps(rig.console.dialog))
            if (op.kind == DrawOp::Kind::Text)
                shown.push_back(op.text);
        return shown;
    };
    EXPECT_EQ(texts(), (std::vector<std::string>{"手动调焦", "等待调焦值……"}));
    for (const char* line : {"120\n", "480\n", "910\n", "1,2\n", "300\n", "senser ok\n"})
        rig.Receive(line);
    EXPECT_EQ(texts(), (std::vector<std::string>{"手动调焦    当前 300", "峰值 910"}));
    const std::vector<DrawOp>& chart = rig.console.backend.OverlayOps(rig.console.dialog);
    ASSERT_FALSE(chart.empty());
    EXPECT_EQ(chart.front().kind, DrawOp::Kind::FillSolidRect);
    EXPECT_EQ(chart.front().rect, (ui::Rect{240, 24, 927, 511}));
    EXPECT_EQ(std::count_if(chart.begin(), chart.end(), [](const DrawOp& op) { return op.kind == DrawOp::Kind::Ellipse; }), 1);

    rig.console.Click(IDC_MANUAL_FOCUS);
    EXPECT_TRUE(rig.console.backend.OverlayOps(rig.console.dialog).empty());
    EXPECT_EQ(rig.console.backend.DrawOps(rig.console.dialog), picture);
    EXPECT_EQ(rig.console.backend.Pictures().size(), 1u) << "no picture: line for the restored area";
}

// --- the settings dialog ---------------------------------------------------------

struct Dialog {
    std::string light, focus, alarm, model, function;
};
Dialog Shown(ChildWindow& w)
{
    return {w.Text(IDC_SETTINGS_LIGHT_STATE), w.Text(IDC_SETTINGS_FOCUS_STATE), w.Text(IDC_SETTINGS_ALARM_STATE),
            w.Text(IDC_SETTINGS_MODEL), w.Text(IDC_SETTINGS_FUNCTION)};
}

TEST(SettingsDialog, OpensInFactoryModeOnlyWithTheRememberedChoices)
{
    Rig outside;
    EXPECT_FALSE(InChildWindow(outside.console, IDC_SETTING, [](ChildWindow&) {}));
    EXPECT_TRUE(outside.console.Messages().empty());

    Rig rig(true);
    Dialog first;
    ASSERT_TRUE(InChildWindow(rig.console, IDC_SETTING, [&](ChildWindow& w) {
        first = Shown(w);
        w.Click(IDC_SETTINGS_INFRARED);
        w.Click(IDC_SETTINGS_AUTOFOCUS_SET);
        w.Click(IDC_SETTINGS_ALARM);
        EXPECT_EQ(w.Text(IDC_SETTINGS_LIGHT_STATE) + w.Text(IDC_SETTINGS_FOCUS_STATE) + w.Text(IDC_SETTINGS_ALARM_STATE),
                  "红外聚焦报警");
        w.Select(IDC_SETTINGS_FUNCTION, "3-短时暴光");
        w.Click(IDC_SETTINGS_MODEL_SET);
    }));
    EXPECT_EQ(first.light + first.focus + first.alarm + " " + first.model + " " + first.function, "红光不聚焦不报警 QZR-L1N 1-标准型");
    EXPECT_EQ(rig.Line(), (Bytes{0x90, 0xEB, 0x01, 0xBA, 0x04, 0x00, 0xEA, 0xEA, 0xCC, 0xCC, 0x00, 0x80,   // infrared
                                 0x90, 0xEB, 0x01, 0xE9, 0x04, 0x00, 0xE9, 0xE9, 0x33, 0x33, 0x96, 0x6D,   // autofocus on
                                 0x90, 0xEB, 0x01, 0xE3, 0x04, 0x00, 0xE3, 0xE3, 0x11, 0x11, 0x16, 0x55,   // QZR-L1N
                                 0x90, 0xEB, 0x01, 0xE4, 0x04, 0x00, 0xB4, 0xB4, 0x03, 0x03, 0x78, 0xE4}))  // mode 3
        << "the alarm has no frame";

    // Infrared reads "红光" once reopened; mode 3 preselects 1, mode 2 preselects 2.
    ASSERT_TRUE(InChildWindow(rig.console, IDC_SETTING, [&](ChildWindow& w) {
        const Dialog again = Shown(w);
        EXPECT_EQ(again.light + again.focus + again.alarm + " " + again.function, "红光聚焦报警 1-标准型");
        w.Click(IDC_SETTINGS_WHITE_LIGHT);
        w.Click(IDC_SETTINGS_AUTOFOCUS_CANCEL);
        w.Click(IDC_SETTINGS_NO_ALARM);
        w.Select(IDC_SETTINGS_FUNCTION, "2-不延时直拍");
        w.Click(IDC_SETTINGS_MODEL_SET);
    }));
    ASSERT_TRUE(InChildWindow(rig.console, IDC_SETTING, [&](ChildWindow& w) {
        const Dialog again = Shown(w);
        EXPECT_EQ(again.light + again.focus + again.alarm + " " + again.function, "白光不聚焦不报警 2-不延时直拍");
    }));
    const Bytes line = rig.Line();
    EXPECT_EQ(Bytes(line.begin(), line.begin() + 24),
              (Bytes{0x90, 0xEB, 0x01, 0xEA, 0x04, 0x00, 0xEA, 0xEA, 0x33, 0x33, 0x98, 0x77,    // white light
                     0x90, 0xEB, 0x01, 0xB9, 0x04, 0x00, 0xB9, 0xB9, 0xCC, 0xCC, 0xFB, 0xB1}));  // autofocus off
}

// The model, a second later the function mode by the number before the "-".
TEST(SettingsDialog, ModelThenFunctionModeASecondLater)
{
    const Bytes modelM2 = {0x90, 0xEB, 0x01, 0xE3, 0x04, 0x00, 0xE3, 0xE3, 0x22, 0x22, 0xE0, 0x03};
    const struct {
        const char* function;
        Bytes functionFrame;
    } cases[] = {
        {"12-abc", {0x90, 0xEB, 0x01, 0xE4, 0x04, 0x00, 0xB4, 0xB4, 0x0C, 0x0C, 0xA9, 0x05}},
        {"x-1", {0x90, 0xEB, 0x01, 0xE4, 0x04, 0x00, 0xB4, 0xB4, 0x00, 0x00, 0x48, 0x81}},
        {"-3", {}},
        {"3", {}},
    };
    for (const auto& c : cases) {
        Rig rig(true);
        ASSERT_TRUE(InChildWindow(rig.console, IDC_SETTING, [&](ChildWindow& w) {
            w.Select(IDC_SETTINGS_MODEL, "QZR-M2");
            w.SetText(IDC_SETTINGS_FUNCTION, c.function);
            w.Click(IDC_SETTINGS_MODEL_SET);
        }));
        ASSERT_EQ(rig.writes.size(), c.functionFrame.empty() ? 1u : 2u) << c.function;
        EXPECT_EQ(rig.writes[0].bytes, modelM2);
        if (!c.functionFrame.empty()) {
            EXPECT_EQ(rig.writes[1].bytes, c.functionFrame) << c.function;
            EXPECT_EQ(rig.writes[1].atMs - rig.writes[0].atMs, 1000u);
        }
    }
}

TEST(SettingsDialog, CancelAndUnknownModels)
{
    Rig rig(true);
    ASSERT_TRUE(InChildWindow(rig.console, IDC_SETTING, [&](ChildWindow& w) {
        w.Click(IDC_SETTINGS_MODEL_CANCEL);
        EXPECT_EQ(rig.Line(), (Bytes{0x90, 0xEB, 0x01, 0xE3, 0x04, 0x00, 0xE3, 0xE3, 0x22, 0x33, 0xF0, 0x01}));
        // A category word is no model: told before and after the wait, both frames go.
        w.Select(IDC_SETTINGS_MODEL, "星光级");
        w.Click(IDC_SETTINGS_MODEL_SET);
    }));
    EXPECT_EQ(rig.console.Messages(), (std::vector<std::string>{"型号出错--未知", "型号出错--未知"}));
    EXPECT_EQ(rig.writes.size(), 2u);
    // Reopened, the model list shows the word again (found from the second item on).
    ASSERT_TRUE(InChildWindow(rig.console, IDC_SETTING, [&](ChildWindow& w) {
        EXPECT_EQ(w.Text(IDC_SETTINGS_MODEL), "星光级");
        EXPECT_EQ(w.backend.Window(w.dialog)->ComboSelection(IDC_SETTINGS_MODEL), 16);
    }));
}

// The first Batch Setting opens the dialog; what was chosen there goes out at once.
TEST(SettingsDialog, FirstBatchSettingSendsWhatWasChosen)
{
    Rig rig(true);
    ASSERT_TRUE(InChildWindow(rig.console, IDC_BATCH_SETTING, [&](ChildWindow& w) {
        w.Click(IDC_SETTINGS_INFRARED);
        w.Click(IDC_SETTINGS_ALARM);
        w.Click(IDC_SETTINGS_NO_ALARM);
    }));
    const Bytes line = rig.Line();
    EXPECT_EQ(Bytes(line.end() - 14, line.end()),
              (Bytes{0x90, 0xEB, 0x01, 0xE8, 0x06, 0x00, 0xCC, 0xCC, 0xCC, 0x11, 0x11, 0x00, 0x21, 0x34}));
}

}  // namespace
}  // namespace qzr::test
