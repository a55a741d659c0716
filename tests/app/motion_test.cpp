// Motion detection: the area dialog, a confirmed area as frame, "pos.txt" and "posText.txt"; the alarm.
#include <filesystem>
#include <set>

#include "motion/motion_area_dlg.h"
#include "sim/picture.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

namespace fs = std::filesystem;
using headless::DrawOp;
using Cells = std::set<std::pair<int, int>>;  // (row, column)

class AreaDialog : public ::testing::Test {
protected:
    AreaDialog() { backend.Open(dialog); }
    ~AreaDialog() override { backend.Close(dialog); }

    void Click(int id) { ASSERT_TRUE(backend.Click(dialog, id)) << id; }
    void LClick(int x, int y) { backend.LClick(dialog, {x, y}); }
    int Count(DrawOp::Kind kind) const
    {
        const auto& ops = backend.DrawOps(dialog);
        return static_cast<int>(std::count_if(ops.begin(), ops.end(), [&](const DrawOp& op) { return op.kind == kind; }));
    }
    // The cells shown watched: a red dot every 13 pixels from the grid's corner at 10,10, four a cell each way.
    Cells Watched() const
    {
        Cells cells;
        for (const DrawOp& op : backend.DrawOps(dialog))
            if (op.kind == DrawOp::Kind::Ellipse)
                cells.insert({((op.rect.top - 8) / 13 - 1) / 4, ((op.rect.left - 8) / 13 - 1) / 4});
        return cells;
    }

    ScratchDirectory directory;
    headless::HeadlessBackend backend{headless::ClockMode::Virtual};
    headless::CurrentBackendScope scope{backend};
    CMotionAreaDlg dialog;
};

// Empty grid: grey one-cell band bluish centre, 23 lines; clicks hit cells under their dots, never edges.
TEST_F(AreaDialog, ClickSelectsTheCellUnderTheDots)
{
    Click(IDC_MOTION_CLEAR);
    const auto& ops = backend.DrawOps(dialog);
    ASSERT_GE(ops.size(), 2u);
    EXPECT_EQ(ops[0], (DrawOp{DrawOp::Kind::FillSolidRect, {10, 10, 647, 491}, ui::RGB(180, 180, 180)}));
    EXPECT_EQ(ops[1], (DrawOp{DrawOp::Kind::FillSolidRect, {68, 68, 589, 433}, ui::RGB(180, 180, 220)}));
    EXPECT_EQ(Count(DrawOp::Kind::LineTo), 23);
    const struct { int x, y; Cells watched; } cases[] = {
        {10, 100, {}},  {11, 100, {{1, 0}}},    {75, 100, {{1, 1}}},  {646, 100, {{1, 11}}}, {647, 100, {}},
        {100, 10, {}},  {100, 11, {{0, 1}}},    {100, 75, {{1, 1}}},  {100, 490, {{8, 1}}}, {100, 491, {}},
    };
    for (const auto& c : cases) {
        Click(IDC_MOTION_CLEAR);
        LClick(c.x, c.y);
        EXPECT_EQ(Watched(), c.watched) << c.x << "," << c.y;
        EXPECT_EQ(Count(DrawOp::Kind::Ellipse), 16 * static_cast<int>(c.watched.size())) << "4 by 4 dots a cell";
    }
}

// Selections accumulate; a cell clicked twice is clear again, a double click toggles once.
TEST_F(AreaDialog, ClicksAndQuickSelections)
{
    constexpr int kClick = -1, kDoubleClick = -2;  // at 200,200: row 3, column 3
    const std::pair<std::vector<int>, std::size_t> cases[] = {
        {{kClick, kClick}, 0}, {{kDoubleClick}, 1}, {{IDC_MOTION_CENTRAL}, 70}, {{IDC_MOTION_SURROUNDINGS}, 38},
        {{IDC_MOTION_CENTRAL, IDC_MOTION_SURROUNDINGS}, 108}, {{IDC_MOTION_CENTRAL, IDC_MOTION_REVERSE}, 38},
        {{IDC_MOTION_UPPER, IDC_MOTION_BOTTOM, IDC_MOTION_LEFT, IDC_MOTION_RIGHT}, 38},
    };
    for (const auto& [actions, watched] : cases) {
        Click(IDC_MOTION_CLEAR);
        for (int action : actions) {
            if (action == kClick)
                LClick(200, 200);
            else if (action == kDoubleClick)
                backend.LDblClick(dialog, {200, 200});
            else
                Click(action);
        }
        EXPECT_EQ(Watched().size(), watched) << actions.front();
        EXPECT_TRUE(watched != 38 || (Watched().count({0, 5}) && !Watched().count({4, 5}))) << "the border";
    }
}

// The arrows step the stored value within 0 to 100, not the text in the box.
TEST_F(AreaDialog, SensitivityArrows)
{
    const auto spin = [this](bool up, int times) {
        for (int i = 0; i < times; ++i)
            EXPECT_TRUE(backend.Spin(dialog, IDC_MOTION_SENSITIVITY_SPIN, up));
        return *backend.Print(dialog, IDC_MOTION_SENSITIVITY);
    };
    EXPECT_EQ(*backend.Print(dialog, IDC_MOTION_SENSITIVITY) + *backend.Print(dialog, IDC_MOTION_INTERVAL) +
                  *backend.Print(dialog, IDC_MOTION_DENSITY), "8034");
    EXPECT_EQ(spin(true, 25), "100");
    EXPECT_EQ(spin(false, 105), "0");
    spin(true, 80);
    ASSERT_TRUE(backend.SetText(dialog, IDC_MOTION_SENSITIVITY, "150"));
    EXPECT_EQ(spin(false, 1), "79");
}

// A picture up to 512000 bytes becomes the background; non-pictures or a file that reads short draw nothing.
TEST_F(AreaDialog, BaseImage)
{
    Bytes jpeg = sim::MakeTestPicture({});
    for (std::size_t size : {512000, 512001}) {
        jpeg.resize(size, 0x00);
        WriteFile(directory.Path() / std::to_string(size), jpeg);
    }
    std::ofstream(directory.Path() / "text") << "not a picture";
    const fs::path shortRead = "/sys/devices/system/cpu/online";  // claims a page, holds a line
    const struct { fs::path path; const char* message; int pictures; } cases[] = {
        {directory.Path() / "512000", "", 1},
        {directory.Path() / "512001", "文件长度超出500K", 1},
        {directory.Path() / "missing", "文件打开失败", 1},
        {directory.Path() / "text", "", 0},
        {shortRead, "读入的文件长度不对", 0},
    };
    for (const auto& c : cases) {
        if (c.path == shortRead && (!fs::exists(shortRead) || fs::file_size(shortRead) == ReadFile(shortRead).size()))
            continue;
        backend.ClearRecords();
        backend.QueueFileAnswer(c.path.string());
        Click(IDC_MOTION_IMPORT);
        EXPECT_EQ(backend.Messages().empty() ? "" : backend.Messages()[0].text, c.message) << c.path;
        EXPECT_EQ(backend.Pictures().size(), static_cast<std::size_t>(c.pictures)) << c.path;
        EXPECT_EQ(Count(DrawOp::Kind::FillSolidRect), 0) << c.path;
        EXPECT_EQ(Count(DrawOp::Kind::LineTo), 23) << c.path;
    }
}

// The main window's button, the area dialog confirmed with `typed` texts and `clicked` button.
class MotionDetection : public ::testing::Test, public Rig {
protected:
    MotionDetection() : Rig({.connect = false}) {}
    void Confirm(std::initializer_list<std::pair<int, const char*>> typed = {}, int clicked = 0)
    {
        ASSERT_TRUE(InChildWindow(console, IDC_MOTION_DETECTION, [&](ChildWindow& w) {
            for (const auto& [id, text] : typed)
                w.SetText(id, text);
            if (clicked)
                w.Click(clicked);
            w.Click(ui::IDOK);
        }));
    }
};

// The area goes to both files (before the message if the port is closed) and, byte by byte, to the camera,
// neither logged nor kept for resending; every opening starts empty.
TEST_F(MotionDetection, AreaGoesToTheCameraAndBothFiles)
{
    bool filesAtMessage = false;
    console.backend.SetEventSink([&](const std::string&) { filesAtMessage = fs::exists("pos.txt") && fs::exists("posText.txt"); });
    Confirm();
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"Please open the serial port first"});
    EXPECT_TRUE(filesAtMessage);
    console.Connect(camera.SlavePath());
    console.Check(IDC_SAVE_LOG, 1);
    Confirm({{IDC_MOTION_SENSITIVITY, "300"}, {IDC_MOTION_INTERVAL, "256"}}, IDC_MOTION_CENTRAL);
    EXPECT_EQ(Slice(camera.Read(120), 6, 4), Bytes({44, 0, 4, 0}));
    Confirm();
    EXPECT_EQ(camera.Read(120), Hex("90 EB 01 81 70 00 50 03 04") + Bytes(109, 0x00) + Hex("92 F3"));
    EXPECT_EQ(ReadFile(dir.Path() / "pos.txt"), std::string(108, '\0'));
    const std::string text = ReadFile(dir.Path() / "posText.txt");
    EXPECT_EQ(text.size(), 360u);
    EXPECT_EQ(text.substr(0, 30) + text.substr(354), "90 EB 01 81 70 00 50 03 04 00 92 F3 ");
    EXPECT_EQ(std::count_if(console.writes.begin(), console.writes.end(), [](const auto& w) { return w.bytes.size() == 1; }), 240);
    EXPECT_TRUE(console.dialog.Session().LastFrame().empty());
    EXPECT_FALSE(fs::exists(dir.Path() / "loog.txt"));
}

// An alarm is shown only when read whole in whole-package mode.
TEST(MotionAlarm, ShownOnlyWhenReadWhole)
{
    const Bytes alarm = BuildMotionAlarm(7);
    Bytes longer = alarm;
    longer.push_back(0x0A);
    const struct { bool subPacket; std::vector<Bytes> chunks; std::string log; } cases[] = {
        {false, {alarm}, "7号摄像头  移动帧测报警!!"},
        {false, {Slice(alarm, 0, 6), Slice(alarm, 6)}, ""},
        {false, {longer}, ""},
        {true, {alarm}, ""},
    };
    for (const auto& c : cases) {
        Rig rig;
        if (c.subPacket)
            rig.console.Click(IDC_SUB_PACKET);
        for (const Bytes& chunk : c.chunks)
            rig.Send(chunk);
        EXPECT_EQ(rig.console.Text(IDC_LOG), c.log) << c.chunks.size() << c.subPacket;
    }
}

}  // namespace
}  // namespace qzr::test
