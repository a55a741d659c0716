// Timers on the virtual clock: periods, missed ticks, killing, windows running
// each other's timers, and events dropped while a message box is up.
#include <gtest/gtest.h>

#include <ctime>

#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

using headless::HeadlessBackend;

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override { backend.Open(dlg); }
    void TearDown() override { backend.Close(dlg); }

    HeadlessBackend backend;
    headless::CurrentBackendScope scope{backend};
    CTestDlg dlg;
};

TEST_F(TimerTest, FiresOncePerPeriodWhileTheLoopRuns)
{
    struct Case {
        unsigned period;
        unsigned run;
        int ticks;
    };
    const Case cases[] = {{100, 60000, 600}, {100, 99, 0}, {100, 100, 1}, {330, 1000, 3}, {0, 100, 10}, {5, 50, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.period) + " ms for " + std::to_string(c.run));
        dlg.m_nTicks = 0;
        dlg.SetTimer(1, c.period);
        backend.AdvanceTime(c.run);
        EXPECT_EQ(dlg.m_nTicks, c.ticks);
        dlg.KillTimer(1);
    }
}

TEST_F(TimerTest, NothingFiresOutsideTheLoop)
{
    dlg.SetTimer(1, 100);
    backend.Sleep(1000);
    EXPECT_EQ(dlg.m_nTicks, 0);
    EXPECT_EQ(backend.NowMs(), 1000u);
    // Ten periods were missed: one event, then a period from that one.
    backend.AdvanceTime(0);
    EXPECT_EQ(dlg.m_tickTimes, std::vector<std::uint64_t>{1000});
    backend.AdvanceTime(250);
    EXPECT_EQ(dlg.m_tickTimes, (std::vector<std::uint64_t>{1000, 1100, 1200}));
}

TEST_F(TimerTest, AHandlerThatBlocksDelaysTheNextTickWithoutQueueing)
{
    dlg.m_onTick = [this](int tick) {
        if (tick == 3)
            dlg.Sleep(350);
    };
    dlg.SetTimer(1, 100);
    backend.AdvanceTime(900);
    EXPECT_EQ(dlg.m_tickTimes, (std::vector<std::uint64_t>{100, 200, 300, 650, 750, 850}));
    EXPECT_EQ(backend.NowMs(), 900u);
}

TEST_F(TimerTest, KillingAndRestarting)
{
    // A one-shot: the handler kills its own timer.
    dlg.m_onTick = [this](int) { dlg.KillTimer(1); };
    dlg.SetTimer(1, 100);
    backend.AdvanceTime(1000);
    EXPECT_EQ(dlg.m_nTicks, 1);

    // Setting a running timer again restarts it with the new period.
    dlg.m_onTick = nullptr;
    dlg.m_tickTimes.clear();
    dlg.SetTimer(2, 100);
    backend.AdvanceTime(150);
    dlg.SetTimer(2, 300);
    backend.AdvanceTime(700);
    EXPECT_EQ(dlg.m_tickTimes, (std::vector<std::uint64_t>{1100, 1450, 1750}));
    dlg.KillTimer(2);
    dlg.KillTimer(42);  // unknown: nothing happens
    backend.AdvanceTime(1000);
    EXPECT_EQ(dlg.m_tickTimes.size(), 3u);
}

TEST_F(TimerTest, TimersFireInTimeOrder)
{
    dlg.SetTimer(7, 250);
    dlg.SetTimer(3, 100);
    backend.AdvanceTime(500);
    EXPECT_EQ(dlg.m_log, (std::vector<std::string>{"timer 3", "timer 3", "timer 7", "timer 3", "timer 3", "timer 7",
                                                   "timer 3"}));
}

TEST_F(TimerTest, RunUntilStopsWhenTheConditionHolds)
{
    dlg.SetTimer(1, 100);
    EXPECT_TRUE(backend.RunUntil([&] { return dlg.m_nTicks == 4; }, 1000));
    EXPECT_EQ(backend.NowMs(), 400u);
    EXPECT_FALSE(backend.RunUntil([] { return false; }, 1000));
    EXPECT_EQ(backend.NowMs(), 1400u);
    EXPECT_EQ(dlg.m_nTicks, 14);
}

// The parent's polling goes on while a child window is up, and the child's own
// timer runs too.
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
    // The child's timer went with it.
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
    EXPECT_EQ(dlg.m_tickTimes, (std::vector<std::uint64_t>{100, 200, 500, 600, 700}));
    ASSERT_EQ(backend.Messages().size(), 1u);
    EXPECT_EQ(backend.Messages()[0].text, "reply error");
    EXPECT_EQ(backend.Events(), std::vector<std::string>{"message: reply error"});
}

TEST_F(TimerTest, EndedWindowsStopTheirTimers)
{
    dlg.SetTimer(1, 100);
    backend.AdvanceTime(200);
    backend.Click(dlg, ui::IDCANCEL);
    backend.AdvanceTime(1000);
    EXPECT_EQ(dlg.m_nTicks, 2);
    EXPECT_EQ(dlg.m_log.back(), "cancel");
}

TEST(VirtualClock, LocalTimeIsStartPlusElapsed)
{
    struct Case {
        ui::DateTime start;
        unsigned elapsedMs;
        ui::DateTime expected;
    };
    const Case cases[] = {
        {{2024, 12, 31, 23, 59, 59}, 1500, {2025, 1, 1, 0, 0, 0}},
        {{2024, 2, 28, 23, 59, 59}, 1000, {2024, 2, 29, 0, 0, 0}},
        {{2023, 2, 28, 23, 59, 59}, 1000, {2023, 3, 1, 0, 0, 0}},
        {{2000, 1, 1, 0, 0, 0}, 999, {2000, 1, 1, 0, 0, 0}},
        {{2026, 6, 30, 10, 0, 0}, 90061000, {2026, 7, 1, 11, 1, 1}},
    };
    for (const Case& c : cases) {
        HeadlessBackend backend;
        backend.SetStartTime(c.start);
        backend.Sleep(c.elapsedMs);
        EXPECT_EQ(backend.LocalTime(), c.expected) << c.elapsedMs;
    }
}

}  // namespace
}  // namespace qzr::test

namespace qzr::test {
namespace {

// The real clock, as scripts use it: a short run checks that time really
// passes and that missed ticks still come as one.
TEST(RealClock, MissedTicksComeAsOneAndTimeIsTheSystems)
{
    HeadlessBackend backend(headless::ClockMode::Real);
    headless::CurrentBackendScope scope(backend);
    CTestDlg dlg;
    backend.Open(dlg);
    dlg.SetTimer(1, 20);
    backend.Sleep(100);
    EXPECT_GE(backend.NowMs(), 100u);
    EXPECT_EQ(dlg.m_nTicks, 0);
    backend.RunLoop(0);
    EXPECT_EQ(dlg.m_nTicks, 1);
    const std::uint64_t before = backend.NowMs();
    backend.RunLoop(60);
    EXPECT_GE(backend.NowMs(), before + 60);
    EXPECT_GE(dlg.m_nTicks, 2);
    EXPECT_LE(dlg.m_nTicks, 5);

    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const ui::DateTime local = backend.LocalTime();
    EXPECT_EQ(local.year, tm.tm_year + 1900);
    EXPECT_EQ(local.month, tm.tm_mon + 1);
    backend.Close(dlg);
}

}  // namespace
}  // namespace qzr::test
