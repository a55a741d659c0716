#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "ui/types.h"

namespace headless {

// Virtual: time moves only when a test advances it (or a window sleeps), so
// minutes of polling take microseconds. Real: the system's clock, for scripts.
enum class ClockMode { Virtual, Real };

// Reads "YYYY-MM-DD HH:MM:SS"; nullopt when the text is not a valid time.
std::optional<ui::DateTime> ParseDateTime(std::string_view text);

// Whoever holds timers on the clock: a window. A window that has ended keeps
// its timers until it is taken down, but hears none of them.
class TimerOwner {
public:
    virtual bool TimersPaused() const = 0;
    virtual void TimerDue(int timerId) = 0;

protected:
    ~TimerOwner() = default;
};

// The headless backend's time and message loop: the clock windows read and
// sleep on, and the timers of every open window, fired in time order.
class HeadlessClock {
public:
    explicit HeadlessClock(ClockMode mode);
    HeadlessClock(const HeadlessClock&) = delete;
    HeadlessClock& operator=(const HeadlessClock&) = delete;

    ClockMode Mode() const { return m_mode; }
    // Milliseconds since the clock was made.
    std::uint64_t NowMs() const;
    // The local time at virtual time zero (virtual clock only).
    void SetStartTime(const ui::DateTime& start) { m_startTime = start; }
    ui::DateTime LocalTime() const;
    // Blocks without running the loop: no timer fires meanwhile.
    void Sleep(unsigned ms);

    // Timer `timerId` of `owner` fires every `periodMs` (10 ms at least, as on
    // the desktop); setting it again restarts it with the new period.
    void SetTimer(TimerOwner& owner, int timerId, unsigned periodMs);
    void KillTimer(TimerOwner& owner, int timerId);
    void KillTimers(TimerOwner& owner);

    // Runs the loop for `ms`: due timers fire in time order, those due at the
    // same moment in the order they were set. On the virtual clock this takes
    // no real time.
    void RunLoop(unsigned ms);
    // Runs the loop until `done` holds (checked first and after every timer
    // event); false when `timeoutMs` passed first.
    bool RunUntil(const std::function<bool()>& done, unsigned timeoutMs);

private:
    struct Timer {
        TimerOwner* owner;
        int id;
        unsigned periodMs;
        std::uint64_t dueMs;
        std::uint64_t order;  // settles timers due at the same moment
    };

    // The timer due first among the owners that still run; null when none.
    Timer* Earliest();
    bool RunLoopUntil(std::uint64_t deadline, const std::function<bool()>* done);
    void WaitUntil(std::uint64_t deadlineMs);

    ClockMode m_mode;
    std::uint64_t m_virtualNowMs = 0;
    std::int64_t m_realStartNs = 0;
    ui::DateTime m_startTime{2024, 1, 31, 12, 0, 0};
    std::uint64_t m_timerOrder = 0;
    std::vector<Timer> m_timers;
};

}  // namespace headless
