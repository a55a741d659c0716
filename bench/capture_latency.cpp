// Whole-package capture speed: from pressing "Snapshot" to the picture drawn,
// for a 640x480 picture from the simulated camera pacing its output at the
// line rate, next to the time the reply needs on the line alone (11 bits a
// byte at 8N2). Then the processor time the idle console spends polling an
// open port. The console runs in this process on the headless backend with
// the real clock. Prints figures; checks nothing.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/real_console.h"
#include "sim/camera.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double ThreadCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

void MeasureSnapshot(std::uint32_t baud, int runs)
{
    qzr::sim::Camera camera(PacedCamera(baud));
    if (!Started(camera))
        return;
    RealConsole console(camera.DevicePath(), baud);
    if (!console.Opened(baud))
        return;
    console.backend.Select(console.dialog, IDC_RESOLUTION, "640x480");

    std::vector<double> times;
    std::size_t replyBytes = 0;
    for (int run = 0; run < runs; ++run) {
        const std::size_t shown = console.backend.Pictures().size();
        const auto start = Clock::now();
        console.backend.Click(console.dialog, IDC_SNAPSHOT);
        const bool drawn = console.backend.RunUntil([&] { return console.backend.Pictures().size() > shown; }, 30000);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (!drawn) {
            std::printf("  %u baud: run %d: no picture within 30 s\n", baud, run + 1);
            continue;
        }
        times.push_back(elapsed);
        replyBytes = camera.LastPicture().size() + 9;
        console.backend.RunLoop(300);
    }
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    const double line = static_cast<double>(replyBytes) * 11.0 / baud;
    // The console reads at most 2048 bytes a 100 ms poll.
    const double pollLimit = static_cast<double>(replyBytes) / 20480.0;
    std::printf("%6u baud: reply %zu bytes; snapshot to picture median %.3f s (min %.3f, max %.3f, %zu runs); "
                "line time %.3f s; poll-rate limit %.3f s; median/line %.2f\n",
                baud, replyBytes, times[times.size() / 2], times.front(), times.back(), times.size(), line, pollLimit,
                times[times.size() / 2] / line);
}

void MeasureIdle(unsigned seconds)
{
    // A bare pseudo-terminal: nothing else in this process runs meanwhile.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::printf("no pseudo-terminal\n");
        return;
    }
    const std::string slave = ::ptsname(master);
    const int keepAlive = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    {
        RealConsole console(slave, 115200);
        const double cpuBefore = ThreadCpuSeconds();
        const auto start = Clock::now();
        console.backend.RunLoop(seconds * 1000);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = ThreadCpuSeconds() - cpuBefore;
        std::printf("idle polling of an open port: %.4f s processor time in %.2f s (%.3f %% of one core, %.1f us a tick)\n",
                    cpu, wall, 100.0 * cpu / wall, 1e6 * cpu / (wall * 10.0));
    }
    if (keepAlive >= 0)
        ::close(keepAlive);
    ::close(master);
}

}  // namespace

int main()
{
    std::printf("whole-package snapshot, 640x480, quality 1, simulator pacing at the line rate\n");
    for (std::uint32_t baud : {115200u, 230400u})
        MeasureSnapshot(baud, 5);
    MeasureIdle(10);
    return 0;
}
