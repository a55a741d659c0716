// The headless backend: the window contract, events, the virtual clock's timing and order, the calendar.
#include <gtest/gtest.h>

#include <algorithm>

#include "headless/backend.h"
#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

using Lines = std::vector<std::string>;
using Times = std::vector<std::uint64_t>;

class HeadlessRig final : public WindowRig {
public:
    void Run(ui::CDialog& d, const std::function<void()>& steps) override
    {
        backend.Open(d);
        steps();
        backend.Close(d);
    }
    void RunChild(ui::CDialog& d, int id, const std::function<void()>& steps) override
    {
        backend.SetModalHandler([&](ui::CDialog&) { steps(); return ui::IDCANCEL; });
        Click(d, id);
        backend.SetModalHandler(nullptr);
    }
    void Click(ui::CDialog& d, int id) override { EXPECT_TRUE(backend.Click(d, id)) << id; }
    void Type(ui::CDialog& d, int id, std::string_view text) override { EXPECT_TRUE(backend.SetText(d, id, text)); }
    void Choose(ui::CDialog& d, int id, int index) override
    {
        EXPECT_TRUE(backend.Select(d, id, d.Combo(id).GetLBText(index))) << id;
    }
    void DoubleClickRow(ui::CDialog& d, int id, int row) override { EXPECT_TRUE(backend.DblClick(d, id, row)); }
    void Spin(ui::CDialog& d, int id, bool up) override { EXPECT_TRUE(backend.Spin(d, id, up)) << id; }
    void Wait(unsigned ms) override { backend.RunLoop(ms); }

    // Replays the drawing at one pixel, overlay on top: lines straight, ellipses filled, pictures colourless.
    std::optional<ui::Color> DrawnAt(ui::CDialog& d, ui::Point p) override
    {
        using Kind = headless::DrawOp::Kind;
        std::optional<ui::Color> shown;
        ui::Color pen = 0, brush = 0;
        ui::Point at;
        for (const auto* ops : {&backend.DrawOps(d), &backend.OverlayOps(d)})
            for (const headless::DrawOp& op : *ops) {
                const ui::Point to = op.point;
                const ui::Rect r = op.kind != Kind::LineTo ? op.rect
                                                           : ui::Rect{std::min(at.x, to.x), std::min(at.y, to.y),
                                                                      std::max(at.x, to.x) + 1, std::max(at.y, to.y) + 1};
                if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom)
                    shown = op.kind == Kind::LineTo ? pen : op.kind == Kind::Ellipse ? brush : op.color;
                pen = op.kind == Kind::SelectPen ? op.color : pen;
                brush = op.kind == Kind::SelectBrush ? op.color : brush;
                at = op.kind == Kind::MoveTo || op.kind == Kind::LineTo ? to : at;
            }
        return shown;
    }

    headless::HeadlessBackend backend;
    headless::CurrentBackendScope scope{backend};
};

}  // namespace

std::unique_ptr<WindowRig> MakeRig() { return std::make_unique<HeadlessRig>(); }

namespace {

// The test window, open on the contract's headless rig with its virtual clock.
class HeadlessWindowTest : public WindowContract {
protected:
    void SetUp() override { backend.Open(dlg); }
    void TearDown() override { backend.Close(dlg); }
    headless::HeadlessBackend& backend = static_cast<HeadlessRig&>(*rig).backend;
};

// A value that does not read is reported once and ends the pass there.
TEST_F(HeadlessWindowTest, FailedReadReportsAndStopsThePass)
{
    const char *const integer = "Please enter an integer.", *const positive = "Please enter a positive integer.",
                      *const number = "Please enter a number.";
    const struct { int id; const char *text, *message; } cases[] = {
        {IDC_NUMBER, "12a", integer}, {IDC_NUMBER, "", integer}, {IDC_NUMBER, "3000000000", integer},
        {IDC_COUNT, "-1", positive},  {IDC_COUNT, "1.0", positive}, {IDC_VALUE, "1e99", number},
        {IDC_VALUE, "ten", number}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in " + std::to_string(c.id));
        for (int id : {IDC_NUMBER, IDC_COUNT, IDC_VALUE})
            dlg.SetDlgItemText(id, "0");
        dlg.m_strName = "old";
        dlg.m_bFlag = 0;
        backend.ClearRecords();
        dlg.SetDlgItemText(IDC_NAME, "new");
        dlg.CheckDlgButton(IDC_FLAG, 1);
        dlg.SetDlgItemText(c.id, c.text);
        EXPECT_FALSE(dlg.UpdateData(true));
        EXPECT_EQ(backend.Events(), Lines{std::string("message: ") + c.message});
        EXPECT_EQ(dlg.m_strName, "new");  // exchanged before the failure
        EXPECT_EQ(dlg.m_bFlag, 0);        // after it: untouched
    }
}

// A disabled control says so and takes nothing; a picture drawn is announced.
TEST_F(HeadlessWindowTest, DrivingAndEvents)
{
    ASSERT_TRUE(backend.Click(dlg, IDC_LOCKED));
    dlg.EnableControl(IDC_NAME, false);
    ASSERT_TRUE(backend.SetText(dlg, IDC_NAME, "typed"));
    const std::vector<std::uint8_t> jpeg = MakeJpeg(64, 48);
    EXPECT_FALSE(dlg.GetDC()->DrawJpeg(std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + 20), {0, 0, 9, 9}));
    EXPECT_EQ(dlg.GetDC()->DrawJpeg(jpeg, {10, 20, 310, 220}), (ui::Size{64, 48}));
    EXPECT_EQ(backend.Events(), (Lines{"disabled: 116", "disabled: 103", "picture: 64x48 at 10,20,300,200"}));
    EXPECT_EQ(dlg.GetDlgItemText(IDC_NAME), "start");
    EXPECT_FALSE(backend.Print(dlg, 999));
    EXPECT_FALSE(backend.Check(dlg, IDC_FLAG, 2));
    EXPECT_TRUE(dlg.m_log.empty());

    ASSERT_TRUE(backend.Select(dlg, IDC_BAUD, "115200"));
    ASSERT_TRUE(backend.SetText(dlg, IDC_BAUD, "4800"));
    EXPECT_EQ(dlg.Combo(IDC_BAUD).GetCurSel(), -1) << "typing replaces the chosen item";
    ASSERT_TRUE(backend.Check(dlg, IDC_MODE_C, 1));
    ASSERT_TRUE(backend.Check(dlg, IDC_MODE_C, 0));  // clears a radio button without its handler
    EXPECT_EQ(backend.Print(dlg, IDC_MODE_C), "0");
}

TEST_F(HeadlessWindowTest, TimerFiresOncePerPeriodWhileTheLoopRuns)
{
    const struct { unsigned period, run, ticks; } cases[] = {{100, 60000, 600}, {100, 99, 0},  {100, 100, 1},
                                                         {330, 1000, 3},    {0, 100, 10}, {5, 50, 5}};
    for (const auto& c : cases) {
        dlg.m_nTicks = 0;
        dlg.SetTimer(1, c.period);
        backend.AdvanceTime(c.run);
        EXPECT_EQ(dlg.m_nTicks, static_cast<int>(c.ticks)) << c.period << " ms for " << c.run;
        dlg.KillTimer(1);
    }
}

// Time lost in a Sleep or a blocking handler gives one late tick, not a burst.
TEST_F(HeadlessWindowTest, MissedTicksComeAsOne)
{
    dlg.SetTimer(1, 100);
    backend.Sleep(1000);
    EXPECT_EQ(dlg.m_nTicks, 0);
    backend.AdvanceTime(250);
    EXPECT_EQ(dlg.m_tickTimes, (Times{1000, 1100, 1200}));

    dlg.m_onTick = [this](int tick) {
        if (tick == 4)
            dlg.Sleep(350);
    };
    backend.AdvanceTime(650);
    EXPECT_EQ(dlg.m_tickTimes, (Times{1000, 1100, 1200, 1300, 1650, 1750, 1850}));
    EXPECT_EQ(backend.NowMs(), 1900u);
}

// A one-shot, a restart with a new period, and ties fired in the order set.
TEST_F(HeadlessWindowTest, TimersKilledRestartedAndInOrder)
{
    dlg.m_onTick = [this](int) { dlg.KillTimer(1); };  // a one-shot; later an unknown id, ignored
    dlg.SetTimer(1, 100);
    backend.AdvanceTime(1000);
    dlg.SetTimer(7, 250);
    dlg.SetTimer(3, 100);
    backend.AdvanceTime(500);
    dlg.KillTimer(7);
    dlg.SetTimer(3, 300);  // a running timer restarts with the new period
    backend.AdvanceTime(700);
    EXPECT_EQ(dlg.m_tickTimes, (Times{100, 1100, 1200, 1250, 1300, 1400, 1500, 1500, 1800, 2100}));
    EXPECT_EQ(dlg.m_log, (Lines{"timer 1", "timer 3", "timer 3", "timer 7", "timer 3", "timer 3", "timer 7", "timer 3",
                                "timer 3", "timer 3"}));
}

// Times as the script types them, and the local time of the virtual clock.
TEST(VirtualClock, CalendarTimes)
{
    for (const char* bad : {"2023-02-29 00:00:00", "2024-13-01 00:00:00", "2024-01-01 24:00:00", "2024-1-01 00:00:00",
                            "2024-01-01T00:00:00", ""})
        EXPECT_FALSE(headless::ParseDateTime(bad)) << bad;
    EXPECT_EQ(headless::ParseDateTime("2024-02-29 23:05:09"), (ui::DateTime{2024, 2, 29, 23, 5, 9}));

    const struct { ui::DateTime start; unsigned elapsedMs; ui::DateTime expected; } cases[] = {
        {{2024, 12, 31, 23, 59, 59}, 1500, {2025, 1, 1, 0, 0, 0}},
        {{2024, 2, 28, 23, 59, 59}, 1000, {2024, 2, 29, 0, 0, 0}},
        {{2023, 2, 28, 23, 59, 59}, 1000, {2023, 3, 1, 0, 0, 0}},
        {{2026, 6, 30, 10, 0, 0}, 90061999, {2026, 7, 1, 11, 1, 1}},
    };
    for (const auto& c : cases) {
        headless::HeadlessClock clock(headless::ClockMode::Virtual);
        clock.SetStartTime(c.start);
        clock.Sleep(c.elapsedMs);
        EXPECT_EQ(clock.LocalTime(), c.expected) << c.elapsedMs;
    }
}

}  // namespace
}  // namespace qzr::test
