#include "headless/clock.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "protocol/calendar.h"

namespace headless {
namespace {

using qzr::CivilFromDays;
using qzr::DaysFromCivil;

std::int64_t SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ui::DateTime AddSeconds(const ui::DateTime& t, std::int64_t seconds)
{
    std::int64_t total = DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second +
                         seconds;
    std::int64_t days = total / 86400;
    std::int64_t rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    ui::DateTime out;
    CivilFromDays(days, out.year, out.month, out.day);
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest / 60 % 60);
    out.second = static_cast<int>(rest % 60);
    return out;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<ui::DateTime> ParseDateTime(std::string_view text)
{
    // YYYY-MM-DD HH:MM:SS, every field its full width.
    static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != kShape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i])
            return std::nullopt;
    }
    const auto field = [&](std::size_t at, std::size_t width) {
        int value = 0;
        for (std::size_t i = at; i < at + width; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    ui::DateTime t{field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2)};
    if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

HeadlessClock::HeadlessClock(ClockMode mode) : m_mode(mode), m_realStartNs(SteadyNs()) {}

std::uint64_t HeadlessClock::NowMs() const
{
    if (m_mode == ClockMode::Virtual)
        return m_virtualNowMs;
    return static_cast<std::uint64_t>((SteadyNs() - m_realStartNs) / 1000000);
}

ui::DateTime HeadlessClock::LocalTime() const
{
    if (m_mode == ClockMode::Virtual)
        return AddSeconds(m_startTime, static_cast<std::int64_t>(m_virtualNowMs / 1000));
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void HeadlessClock::Sleep(unsigned ms)
{
    if (m_mode == ClockMode::Virtual)
        m_virtualNowMs += ms;
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void HeadlessClock::WaitUntil(std::uint64_t deadlineMs)
{
    if (m_mode == ClockMode::Virtual) {
        m_virtualNowMs = std::max(m_virtualNowMs, deadlineMs);
        return;
    }
    const std::int64_t target = m_realStartNs + static_cast<std::int64_t>(deadlineMs) * 1000000;
    const std::int64_t now = SteadyNs();
    if (target > now)
        std::this_thread::sleep_for(std::chrono::nanoseconds(target - now));
}

// --- timers ------------------------------------------------------------------

void HeadlessClock::SetTimer(TimerOwner& owner, int timerId, unsigned periodMs)
{
    const unsigned period = std::max(periodMs, 10u);
    const Timer timer{&owner, timerId, period, NowMs() + period, ++m_timerOrder};
    const auto it = std::find_if(m_timers.begin(), m_timers.end(),
                                 [&](const Timer& t) { return t.owner == &owner && t.id == timerId; });
    if (it != m_timers.end())
        *it = timer;
    else
        m_timers.push_back(timer);
}

void HeadlessClock::KillTimer(TimerOwner& owner, int timerId)
{
    std::erase_if(m_timers, [&](const Timer& t) { return t.owner == &owner && t.id == timerId; });
}

void HeadlessClock::KillTimers(TimerOwner& owner)
{
    std::erase_if(m_timers, [&](const Timer& t) { return t.owner == &owner; });
}

HeadlessClock::Timer* HeadlessClock::Earliest()
{
    Timer* best = nullptr;
    for (Timer& timer : m_timers) {
        if (timer.owner->TimersPaused())
            continue;
        if (!best || timer.dueMs < best->dueMs || (timer.dueMs == best->dueMs && timer.order < best->order))
            best = &timer;
    }
    return best;
}

bool HeadlessClock::RunLoopUntil(std::uint64_t deadline, const std::function<bool()>* done)
{
    const auto finished = [&] { return done && (*done)(); };
    for (;;) {
        if (finished())
            return true;
        Timer* timer = Earliest();
        if (!timer || timer->dueMs > deadline) {
            WaitUntil(deadline);
            return finished();
        }
        // A handler that blocked past the end of the run ends it, like any late loop.
        if (NowMs() > deadline)
            return finished();
        WaitUntil(timer->dueMs);
        // Missed periods are not made up: the next event is one period after this one.
        timer->dueMs = NowMs() + timer->periodMs;
        // The handler may set and kill timers: nothing of the list is held across it.
        TimerOwner& owner = *timer->owner;
        const int id = timer->id;
        owner.TimerDue(id);
    }
}

void HeadlessClock::RunLoop(unsigned ms) { RunLoopUntil(NowMs() + ms, nullptr); }

bool HeadlessClock::RunUntil(const std::function<bool()>& done, unsigned timeoutMs)
{
    return RunLoopUntil(NowMs() + timeoutMs, &done);
}

}  // namespace headless
