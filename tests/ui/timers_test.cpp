// Timers on the virtual clock: periods, missed ticks, killing, a child window
// running its parent's timers, and events dropped while a message box is up.
#include <gtest/gtest.h>

#include <ctime>

#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

using TimerTest = WindowTest;
using Times = std::vector<std::uint64_t>;

TEST_F(TimerTest, FiresOncePerPeriodWhileTheLoopRuns)
{
    const struct {
        unsigned period, run;
        int ticks;
    } cases[] = {{100, 60000, 600}, {100, 99, 0}, {100, 100, 1}, {330, 1000, 3}, {0, 100, 10}, {5, 50, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.period) + " ms for " + std::to_string(c.run));
        dlg.m_nTicks = 0;
        dlg.SetTimer(1, c.period);
        backend.AdvanceTime(c.run);
        EXPECT_EQ(dlg.m_nTicks, c.ticks);
        dlg.KillTimer(1);
    }
}

// Time lost outside the loop (a Sleep) or in a handler that blocks gives one
// late event, not a burst; the next comes a period after it.
TEST_F(TimerTest, MissedTicksComeAsOne)
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

TEST_F(TimerTest, KillingRestartingAndOrder)
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
    backend.Click(dlg, ui::IDCANCEL);  // an ended window's timers stop
    backend.AdvanceTime(1000);
    EXPECT_EQ(dlg.m_tickTimes, (Times{100, 1100, 1200, 1250, 1300, 1400, 1500, 1500, 1800, 2100}));
    EXPECT_EQ(dlg.m_log, (std::vector<std::string>{"timer 1", "timer 3", "timer 3", "timer 7", "timer 3", "timer 3",
                                                   "timer 7", "timer 3", "timer 3", "timer 3", "cancel"}));
}

// The parent's polling goes on while a child window is up, and the child's own
// timer runs too; the child's timer goes with it.
TEST_F(TimerTest, ParentTimersRunDuringAChildWindow)
{
    dlg.SetTimer(1, 100);
    dlg.m_nChildTimerPeriod = 200;
    int ticksBefore = -1;
    backend.SetModalHandler([&](ui::CDialog& child) {
        ticksBefore = dlg.m_nTicks;
        backend.AdvanceTime(1000);
        backend.Click(child, ui::IDCANCEL);
        return 0;
    });
    backend.Click(dlg, IDC_CHILD);
    EXPECT_EQ(ticksBefore, 0);
    EXPECT_EQ(dlg.m_nTicks, 10);
    EXPECT_EQ(dlg.m_nChildTicks, 5);
    backend.AdvanceTime(1000);
    EXPECT_EQ(dlg.m_nTicks, 20);
}

// Two polling events arrive while a handler's message box is up: the window's
// guard drops both, and polling resumes after the box.
TEST_F(TimerTest, EventsDuringAMessageBoxAreDropped)
{
    backend.SetMessageBoxDwell(250);
    dlg.m_onTick = [this](int tick) {
        if (tick == 2)
            dlg.MessageBox("reply error");
    };
    dlg.SetTimer(1, 100);
    backend.AdvanceTime(700);
    EXPECT_EQ(dlg.m_nDropped, 2);
    EXPECT_EQ(dlg.m_tickTimes, (Times{100, 200, 500, 600, 700}));
    EXPECT_EQ(backend.Events(), std::vector<std::string>{"message: reply error"});
}

TEST(VirtualClock, LocalTimeIsStartPlusElapsed)
{
    const struct {
        ui::DateTime start;
        unsigned elapsedMs;
        ui::DateTime expected;
    } cases[] = {
        {{2024, 12, 31, 23, 59, 59}, 1500, {2025, 1, 1, 0, 0, 0}},
        {{2024, 2, 28, 23, 59, 59}, 1000, {2024, 2, 29, 0, 0, 0}},
        {{2023, 2, 28, 23, 59, 59}, 1000, {2023, 3, 1, 0, 0, 0}},
        {{2026, 6, 30, 10, 0, 0}, 90061999, {2026, 7, 1, 11, 1, 1}},
    };
    for (const auto& c : cases) {
        headless::HeadlessBackend backend;
        backend.SetStartTime(c.start);
        backend.Sleep(c.elapsedMs);
        EXPECT_EQ(backend.LocalTime(), c.expected) << c.elapsedMs;
    }
}

// The real clock, as scripts use it: time passes, missed ticks still come as
// one, and the local time is the system's.
TEST(RealClock, MissedTicksComeAsOneAndTimeIsTheSystems)
{
    headless::HeadlessBackend backend(headless::ClockMode::Real);
    headless::CurrentBackendScope scope(backend);
    CTestDlg dlg;
    backend.Open(dlg);
    dlg.SetTimer(1, 10);
    backend.Sleep(50);
    EXPECT_GE(backend.NowMs(), 50u);
    backend.RunLoop(0);
    EXPECT_EQ(dlg.m_nTicks, 1);

    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    EXPECT_EQ(backend.LocalTime().year, tm.tm_year + 1900);
    EXPECT_EQ(backend.LocalTime().month, tm.tm_mon + 1);
    backend.Close(dlg);
}

}  // namespace
}  // namespace qzr::test
