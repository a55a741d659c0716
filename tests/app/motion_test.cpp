// Motion detection: the area dialog as the operator sees it (the red dots of
// the watched cells, the boxes, the base image), and what a confirmed area
// becomes: the frame on the line, "pos.txt", "posText.txt"; the alarm in the
// log box.
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <utility>

#include "motion/motion_area_dlg.h"
#include "protocol/motion.h"
#include "sim/picture.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

namespace fs = std::filesystem;
using headless::DrawOp;
using Cells = std::set<std::pair<int, int>>;  // (row, column)

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

// A real picture of 640 x 480, padded behind its end marker to `size` bytes.
Bytes JpegOfSize(std::size_t size)
{
    Bytes jpeg = sim::MakeTestPicture({});
    jpeg.resize(size, 0x00);
    return jpeg;
}

// The cells the grid shows watched: every red dot lies in its cell, 13 pixels
// apart from the grid's corner at 10,10, four dots a cell each way.
Cells WatchedCells(const std::vector<DrawOp>& ops)
{
    Cells cells;
    for (const DrawOp& op : ops) {
        if (op.kind != DrawOp::Kind::Ellipse)
            continue;
        const int dotColumn = (op.rect.left + 2 - 10) / 13 - 1, dotRow = (op.rect.top + 2 - 10) / 13 - 1;
        cells.insert({dotRow / 4, dotColumn / 4});
    }
    return cells;
}

int Count(const std::vector<DrawOp>& ops, DrawOp::Kind kind)
{
    return static_cast<int>(std::count_if(ops.begin(), ops.end(), [&](const DrawOp& op) { return op.kind == kind; }));
}

Cells Border()
{
    Cells cells;
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 12; ++c)
            if (r == 0 || r == 8 || c == 0 || c == 11)
                cells.insert({r, c});
    return cells;
}

// The dialog on its own, open on the headless backend.
class AreaDialog : public ::testing::Test {
protected:
    AreaDialog() { backend.Open(dialog); }
    ~AreaDialog() override { backend.Close(dialog); }

    void Click(int id) { ASSERT_TRUE(backend.Click(dialog, id)) << id; }
    void LClick(int x, int y) { backend.LClick(dialog, {x, y}); }
    void Spin(bool up) { ASSERT_TRUE(backend.Spin(dialog, IDC_MOTION_SENSITIVITY_SPIN, up)); }
    // A repaint without changing the area: a cell clicked twice.
    void Repaint()
    {
        LClick(100, 100);
        LClick(100, 100);
    }
    void Import(const fs::path& path)
    {
        backend.QueueFileAnswer(path.string());
        Click(IDC_MOTION_IMPORT);
    }
    const std::vector<DrawOp>& Ops() const { return backend.DrawOps(dialog); }
    Cells Watched() const { return WatchedCells(Ops()); }
    std::string Text(int id) const { return backend.Print(dialog, id).value_or("<no control>"); }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& m : backend.Messages())
            texts.push_back(m.text);
        return texts;
    }

    ScratchDirectory directory;
    headless::HeadlessBackend backend{headless::ClockMode::Virtual};
    headless::CurrentBackendScope scope{backend};
    CMotionAreaDlg dialog;
};

// Hit areas line up with the dots: the strip between the rectangle's edge and
// the first dots belongs to the first cell, the edges themselves to none.
TEST_F(AreaDialog, ClickSelectsTheCellUnderTheDots)
{
    const struct {
        int x, y;
        Cells watched;
    } cases[] = {
        {10, 100, {}},         {11, 100, {{1, 0}}},  {70, 100, {{1, 0}}},  {75, 100, {{1, 1}}},
        {646, 100, {{1, 11}}}, {647, 100, {}},       {100, 10, {}},        {100, 11, {{0, 1}}},
        {100, 70, {{0, 1}}},   {100, 75, {{1, 1}}},  {100, 490, {{8, 1}}}, {100, 491, {}},
        {100, 646, {}},
    };
    for (const auto& c : cases) {
        Click(IDC_MOTION_CLEAR);
        LClick(c.x, c.y);
        EXPECT_EQ(Watched(), c.watched) << c.x << "," << c.y;
    }
}

TEST_F(AreaDialog, SecondClickClearsButADoubleClickTogglesOnce)
{
    LClick(200, 200);
    EXPECT_EQ(Watched(), (Cells{{3, 3}}));
    LClick(200, 200);
    EXPECT_EQ(Watched(), Cells{});
    backend.LDblClick(dialog, {200, 200});
    EXPECT_EQ(Watched(), (Cells{{3, 3}}));
}

TEST_F(AreaDialog, QuickSelectionsAccumulate)
{
    Cells central;
    for (int r = 1; r <= 7; ++r)
        for (int c = 1; c <= 10; ++c)
            central.insert({r, c});
    const Cells border = Border();
    Cells all = central;
    all.insert(border.begin(), border.end());
    const struct {
        std::vector<int> buttons;
        Cells watched;
    } cases[] = {
        {{IDC_MOTION_CENTRAL}, central},
        {{IDC_MOTION_SURROUNDINGS}, border},
        {{IDC_MOTION_CENTRAL, IDC_MOTION_SURROUNDINGS}, all},
        {{IDC_MOTION_CENTRAL, IDC_MOTION_REVERSE}, border},
        {{IDC_MOTION_UPPER, IDC_MOTION_BOTTOM, IDC_MOTION_LEFT, IDC_MOTION_RIGHT}, border},
        {{IDC_MOTION_ALL}, all},
        {{IDC_MOTION_ALL, IDC_MOTION_CLEAR}, {}},
    };
    ASSERT_EQ(central.size(), 70u);
    ASSERT_EQ(border.size(), 38u);
    for (const auto& c : cases) {
        Click(IDC_MOTION_CLEAR);
        for (int id : c.buttons)
            Click(id);
        EXPECT_EQ(Watched(), c.watched) << c.buttons.front() << " and " << c.buttons.size() - 1 << " more";
    }
}

// The arrows step the stored value within 0 to 100, whatever the box shows.
TEST_F(AreaDialog, SensitivityArrowsStepTheStoredValue)
{
    EXPECT_EQ(Text(IDC_MOTION_SENSITIVITY), "80");
    EXPECT_EQ(Text(IDC_MOTION_INTERVAL), "3");
    EXPECT_EQ(Text(IDC_MOTION_DENSITY), "4");
    for (int i = 0; i < 25; ++i)
        Spin(true);
    EXPECT_EQ(Text(IDC_MOTION_SENSITIVITY), "100");
    for (int i = 0; i < 105; ++i)
        Spin(false);
    EXPECT_EQ(Text(IDC_MOTION_SENSITIVITY), "0");
    for (int i = 0; i < 80; ++i)
        Spin(true);
    ASSERT_TRUE(backend.SetText(dialog, IDC_MOTION_SENSITIVITY, "150"));
    Spin(false);
    EXPECT_EQ(Text(IDC_MOTION_SENSITIVITY), "79");
}

// An empty grid: a grey band one cell wide around a bluish centre, no dots,
// ten lines across and thirteen down framing the cells.
TEST_F(AreaDialog, EmptyGridPaintsBandCentreAndLines)
{
    Repaint();
    const std::vector<DrawOp>& ops = Ops();
    ASSERT_GE(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, DrawOp::Kind::FillSolidRect);
    EXPECT_EQ(ops[0].rect, (ui::Rect{10, 10, 647, 491}));
    EXPECT_EQ(ops[0].color, ui::RGB(180, 180, 180));
    EXPECT_EQ(ops[1].kind, DrawOp::Kind::FillSolidRect);
    EXPECT_EQ(ops[1].rect, (ui::Rect{68, 68, 589, 433}));
    EXPECT_EQ(ops[1].color, ui::RGB(180, 180, 220));
    EXPECT_EQ(Count(ops, DrawOp::Kind::Ellipse), 0);

    std::set<std::array<int, 4>> lines;  // from x, y to x, y
    ui::Point at;
    ui::Color pen = 0;
    for (const DrawOp& op : ops) {
        if (op.kind == DrawOp::Kind::SelectPen)
            pen = op.color;
        if (op.kind == DrawOp::Kind::MoveTo)
            at = op.point;
        if (op.kind == DrawOp::Kind::LineTo) {
            EXPECT_EQ(pen, ui::RGB(80, 80, 80));
            lines.insert({at.x, at.y, op.point.x, op.point.y});
        }
    }
    std::set<std::array<int, 4>> expected;
    for (int y = 16; y <= 484; y += 52)
        expected.insert({16, y, 641, y});
    for (int x = 16; x <= 640; x += 52)
        expected.insert({x, 16, x, 485});
    EXPECT_EQ(expected.size(), 23u);
    EXPECT_EQ(lines, expected);
}

// A watched cell shows 4 by 4 red dots of radius 2, 13 pixels apart, 7 pixels
// inside its left and top line.
TEST_F(AreaDialog, WatchedCellShowsSixteenDots)
{
    LClick(200, 150);  // row 2, column 3: lines at x 172 and y 120
    std::set<std::pair<int, int>> centres;
    ui::Color brush = 0;
    for (const DrawOp& op : Ops()) {
        if (op.kind == DrawOp::Kind::SelectBrush)
            brush = op.color;
        if (op.kind == DrawOp::Kind::Ellipse) {
            EXPECT_EQ(brush, ui::RGB(255, 0, 0));
            EXPECT_EQ(op.rect.Width(), 4);
            EXPECT_EQ(op.rect.Height(), 4);
            centres.insert({op.rect.left + 2, op.rect.top + 2});
        }
    }
    std::set<std::pair<int, int>> expected;
    for (int x : {179, 192, 205, 218})
        for (int y : {127, 140, 153, 166})
            expected.insert({x, y});
    EXPECT_EQ(centres, expected);
}

TEST_F(AreaDialog, BaseImageUpToHalfAMegabyte)
{
    WriteFile(directory.Path() / "fits.jpg", JpegOfSize(512000));
    WriteFile(directory.Path() / "large.jpg", JpegOfSize(512001));
    Import(directory.Path() / "fits.jpg");
    EXPECT_TRUE(Messages().empty());
    ASSERT_EQ(backend.Pictures().size(), 1u);
    EXPECT_EQ(backend.Pictures()[0].size, (ui::Size{640, 480}));
    EXPECT_EQ(backend.Pictures()[0].target, (ui::Rect{10, 10, 647, 491}));
    EXPECT_EQ(Count(Ops(), DrawOp::Kind::FillSolidRect), 0) << "the picture replaces the background";

    // Refused: the picture already loaded stays, drawn again at every repaint.
    Import(directory.Path() / "large.jpg");
    EXPECT_EQ(Messages(), std::vector<std::string>{"文件长度超出500K"});
    Repaint();
    EXPECT_EQ(backend.Pictures().size(), 4u) << "import, refused import and two clicks: four repaints";
    EXPECT_EQ(Count(Ops(), DrawOp::Kind::Picture), 1);

    Import(directory.Path() / "missing.jpg");
    EXPECT_EQ(Messages().back(), "文件打开失败");
    EXPECT_EQ(Count(Ops(), DrawOp::Kind::Picture), 1);
}

// With a picture loaded, every repaint shows the stored values in the boxes.
TEST_F(AreaDialog, RepaintOverAPictureShowsTheStoredValues)
{
    WriteFile(directory.Path() / "scene.jpg", sim::MakeTestPicture({}));
    ASSERT_TRUE(backend.SetText(dialog, IDC_MOTION_DENSITY, "2"));
    Repaint();
    EXPECT_EQ(Text(IDC_MOTION_DENSITY), "2") << "without a picture the typed text stays";
    Import(directory.Path() / "scene.jpg");
    EXPECT_EQ(Text(IDC_MOTION_DENSITY), "4");
}

// Bytes that are no picture, or a file that reads short, draw neither a
// picture nor the background; the dots and lines still show.
TEST_F(AreaDialog, FileThatIsNoPictureDrawsNoBackground)
{
    const fs::path text = directory.Path() / "notes.jpg";
    std::ofstream(text) << "not a picture";
    // Files of the kernel's that claim a page and hold a line read short.
    const fs::path shortRead = "/sys/devices/system/cpu/online";
    struct Case {
        fs::path path;
        std::vector<std::string> messages;
    };
    std::vector<Case> cases = {{text, {}}};
    if (fs::exists(shortRead) && fs::file_size(shortRead) > ReadFile(shortRead).size())
        cases.push_back({shortRead, {"读入的文件长度不对"}});
    for (const Case& c : cases) {
        backend.ClearRecords();
        Click(IDC_MOTION_ALL);
        Import(c.path);
        EXPECT_EQ(Messages(), c.messages) << c.path;
        EXPECT_EQ(Count(Ops(), DrawOp::Kind::Picture), 0) << c.path;
        EXPECT_EQ(Count(Ops(), DrawOp::Kind::FillSolidRect), 0) << c.path;
        EXPECT_EQ(Count(Ops(), DrawOp::Kind::Ellipse), 108 * 16) << c.path;
        EXPECT_EQ(Count(Ops(), DrawOp::Kind::LineTo), 23) << c.path;
    }
    if (cases.size() == 1)
        GTEST_SKIP() << "no kernel file that reads short here";
}

// The main window's "Motion Detection" with the dialog run by `operate`,
// against a camera played by the test.
class MotionDetection : public ::testing::Test {
protected:
    void SetUp() override { console.Open(); }

    // Opens the dialog, lets `operate` work in it, then presses `end`.
    void RunDialog(const std::function<void(ui::CDialog&)>& operate = {}, int end = ui::IDOK)
    {
        console.backend.SetModalHandler([&](ui::CDialog& motion) {
            if (operate)
                operate(motion);
            EXPECT_TRUE(console.backend.Click(motion, end));
            return ui::IDCANCEL;
        });
        console.Click(IDC_MOTION_DETECTION);
        console.backend.SetModalHandler({});
    }
    std::function<void(ui::CDialog&)> Type(int id, std::string text)
    {
        return [this, id, text](ui::CDialog& motion) { ASSERT_TRUE(console.backend.SetText(motion, id, text)); };
    }
    std::string Log() const { return console.Text(IDC_LOG); }
    static Bytes Frame(std::uint8_t sensitivity, std::uint8_t interval, std::uint8_t density, const MotionAreaMap& area)
    {
        Bytes frame = BuildMotionAreaFrame(1, {sensitivity, interval, density}, area);
        StampCrc(frame);
        return frame;
    }

    ScratchDirectory directory;
    PtyPair camera;
    Console console;
};

// Nothing watched: the camera gets 108 zero cells with the defaults in one
// frame of 120 bytes written a byte at a time, neither logged nor kept for
// resending; the two files hold the cells and the frame as text.
TEST_F(MotionDetection, EmptyAreaGoesOutAndIntoBothFiles)
{
    console.Connect(camera.SlavePath());
    console.Check(IDC_SAVE_LOG, 1);
    std::vector<std::size_t> writes;
    console.dialog.Session().Port().SetWriteTrace([&](std::span<const std::uint8_t> bytes) { writes.push_back(bytes.size()); });
    RunDialog();

    Bytes expected = {0x90, 0xEB, 0x01, 0x81, 0x70, 0x00, 0x50, 0x03, 0x04, 0x00};
    expected.resize(118, 0x00);
    expected.insert(expected.end(), {0x92, 0xF3});
    EXPECT_EQ(camera.Read(120), expected);
    EXPECT_EQ(writes, std::vector<std::size_t>(120, 1));
    EXPECT_TRUE(console.dialog.Session().LastFrame().empty());
    EXPECT_FALSE(fs::exists(directory.Path() / "loog.txt"));
    EXPECT_EQ(ReadFile(directory.Path() / "pos.txt"), std::string(108, '\0'));
    const std::string text = ReadFile(directory.Path() / "posText.txt");
    EXPECT_EQ(text.size(), 360u);
    EXPECT_EQ(text.substr(0, 30), "90 EB 01 81 70 00 50 03 04 00 ");
    EXPECT_EQ(text.substr(354), "92 F3 ");
    EXPECT_TRUE(console.Messages().empty());
}

// The camera takes each value's low byte: 300 goes as 44, 256 as 0.
TEST_F(MotionDetection, ValuesGoOutAsTheirLowByte)
{
    console.Connect(camera.SlavePath());
    const struct {
        const char *sensitivity, *interval, *density;
        MotionSettings sent;
    } cases[] = {
        {"300", "3", "4", {44, 3, 4}},
        {"80", "256", "4", {80, 0, 4}},
        {"-1", "7", "260", {255, 7, 4}},
    };
    for (const auto& c : cases) {
        RunDialog([&](ui::CDialog& motion) {
            Type(IDC_MOTION_SENSITIVITY, c.sensitivity)(motion);
            Type(IDC_MOTION_INTERVAL, c.interval)(motion);
            Type(IDC_MOTION_DENSITY, c.density)(motion);
        });
        const Bytes sent = camera.Read(120);
        EXPECT_TRUE(HasValidCrc(sent)) << c.sensitivity;
        const auto area = ParseMotionAreaFrame(sent);
        ASSERT_TRUE(area) << c.sensitivity;
        EXPECT_EQ(area->settings, c.sent) << c.sensitivity;
    }
}

// Cells marked with the mouse and the buttons reach the camera and the files
// in row order; every opening starts empty again.
TEST_F(MotionDetection, MarkedCellsReachTheCameraAndTheFiles)
{
    console.Connect(camera.SlavePath());
    MotionAreaMap central;
    for (int r = 1; r <= 7; ++r)
        for (int c = 1; c <= 10; ++c)
            central.At(r, c) = 1;
    MotionAreaMap corners;
    corners.At(0, 0) = corners.At(8, 11) = 1;
    const struct {
        const char* name;
        std::function<void(ui::CDialog&)> operate;
        MotionAreaMap area;
        std::uint16_t crc;  // computed outside this code
    } cases[] = {
        {"central", [this](ui::CDialog& m) { console.backend.Click(m, IDC_MOTION_CENTRAL); }, central, 0x7216},
        {"two corners", [this](ui::CDialog& m) { console.backend.LClick(m, {20, 20}); console.backend.LClick(m, {640, 480}); },
         corners, 0x5504},
        {"reopened: empty", {}, MotionAreaMap{}, 0xF392},
    };
    for (const auto& c : cases) {
        RunDialog(c.operate);
        const Bytes sent = camera.Read(120);
        EXPECT_EQ(sent, Frame(80, 3, 4, c.area)) << c.name;
        EXPECT_EQ(CarriedCrc(sent), c.crc) << c.name;
        EXPECT_EQ(ReadFile(directory.Path() / "pos.txt"), std::string(c.area.cells.begin(), c.area.cells.end())) << c.name;
        EXPECT_EQ(ReadFile(directory.Path() / "posText.txt"), SpacedHexText(sent)) << c.name;
    }
}

// Cancel, or text that is not a number, sends and writes nothing.
TEST_F(MotionDetection, NothingLeavesWithoutOk)
{
    console.Connect(camera.SlavePath());
    RunDialog([this](ui::CDialog& m) { console.backend.Click(m, IDC_MOTION_ALL); }, ui::IDCANCEL);
    RunDialog(Type(IDC_MOTION_INTERVAL, "three"));
    EXPECT_EQ(console.Messages().size(), 1u) << "the number is asked for";
    EXPECT_TRUE(camera.ReadAvailable().empty());
    EXPECT_EQ(directory.Files(), std::vector<std::string>{});
}

// With the port closed both files are written before the operator is told.
TEST_F(MotionDetection, ClosedPortStillWritesTheFiles)
{
    std::vector<std::string> filesAtMessage;
    console.backend.SetEventSink([&](const std::string& line) {
        if (line.rfind("message: ", 0) == 0)
            filesAtMessage = directory.Files();
    });
    RunDialog();
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"Please open the serial port first"});
    EXPECT_EQ(filesAtMessage, (std::vector<std::string>{"pos.txt", "posText.txt"}));
}

// A file that cannot be written is reported; the other one and the frame go on.
TEST_F(MotionDetection, UnwritableFileDoesNotStopTheSending)
{
    console.Connect(camera.SlavePath());
    fs::create_directory(directory.Path() / "pos.txt");
    RunDialog();
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"打开文件失败"});
    EXPECT_EQ(ReadFile(directory.Path() / "posText.txt").size(), 360u);
    EXPECT_EQ(camera.Read(120).size(), 120u);
}

// An alarm names the camera that sent it, whichever the console addresses, and
// replaces what the log box showed.
TEST_F(MotionDetection, AlarmNamesItsCameraInTheLogBox)
{
    console.Connect(camera.SlavePath());
    for (std::uint8_t id : {7, 200}) {
        console.Receive(camera, BuildMotionAlarm(id));
        EXPECT_EQ(Log(), std::to_string(id) + "号摄像头  移动帧测报警!!");
    }
    EXPECT_EQ(console.Text(IDC_CAMERA_ID), "1");
}

// Only an alarm read whole, alone, in whole-package mode is shown.
TEST(MotionAlarm, NotReadWholeIsNotShown)
{
    const Bytes alarm = BuildMotionAlarm(7);
    Bytes withMore = alarm;
    withMore.push_back(0x0A);
    const struct {
        const char* name;
        bool subPacket;
        std::vector<Bytes> chunks;
    } cases[] = {
        {"split over two polls", false, {Bytes(alarm.begin(), alarm.begin() + 6), Bytes(alarm.begin() + 6, alarm.end())}},
        {"with a byte more", false, {withMore}},
        {"in sub-packet mode", true, {alarm}},
    };
    for (const auto& c : cases) {
        PtyPair camera;
        Console console;
        console.Open();
        console.Connect(camera.SlavePath());
        if (c.subPacket)
            console.Click(IDC_SUB_PACKET);
        for (const Bytes& chunk : c.chunks)
            console.Receive(camera, chunk);
        EXPECT_EQ(console.Text(IDC_LOG).find("移动帧测报警"), std::string::npos) << c.name;
    }
}

}  // namespace
}  // namespace qzr::test
