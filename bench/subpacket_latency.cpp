// Sub-packet capture speed: from pressing "Snapshot" to the picture drawn, by
// the numbered protocol and by the simplified one at several stretch sizes,
// next to the whole-package transfer of the same picture size and to the time
// the camera's bytes need on the line alone (11 bits a byte at 8N2). The
// simulated camera paces its output at the line rate; the console runs in
// this process on the headless backend with the real clock, so its 100 ms
// poll and the pauses in its handlers count. Prints figures; checks nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/real_console.h"
#include "sim/camera.h"

namespace {

using Clock = std::chrono::steady_clock;

// How a picture is fetched.
struct Transfer {
    const char* name;
    bool subPacket;
    bool simplified;
    const char* size;  // the Sub-packet Size combo
};

struct Figures {
    double seconds = 0;         // median Snapshot to picture
    std::size_t picture = 0;    // JPEG bytes
    std::size_t fromCamera = 0; // every byte the camera sent for it
    std::size_t requests = 0;   // frames the console sent for it
};

bool Measure(const Transfer& transfer, const char* resolution, std::uint32_t baud, int runs, Figures& out)
{
    qzr::sim::Camera camera(PacedCamera(baud));
    if (!Started(camera))
        return false;
    RealConsole console(camera.DevicePath(), baud);
    if (!console.Opened(baud))
        return false;
    auto& backend = console.backend;
    backend.Select(console.dialog, IDC_RESOLUTION, resolution);
    if (transfer.subPacket) {
        backend.Check(console.dialog, IDC_SUB_PACKET, 1);
        backend.Check(console.dialog, IDC_SIMPLIFIED, transfer.simplified ? 1 : 0);
        backend.SetText(console.dialog, IDC_PACKET_SIZE, transfer.size);
    }

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const std::size_t shown = backend.Pictures().size();
        const auto statsBefore = camera.Stats();
        const auto start = Clock::now();
        backend.Click(console.dialog, IDC_SNAPSHOT);
        const bool drawn = backend.RunUntil([&] { return backend.Pictures().size() > shown; }, 120000);
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (!drawn) {
            std::printf("  %s: run %d: no picture within 120 s\n", transfer.name, run + 1);
            continue;
        }
        times.push_back(elapsed);
        const auto statsAfter = camera.Stats();
        out.picture = camera.LastPicture().size();
        out.fromCamera = statsAfter.bytesWritten - statsBefore.bytesWritten;
        out.requests = statsAfter.framesReceived - statsBefore.framesReceived;
        backend.RunLoop(300);
    }
    if (times.empty())
        return false;
    std::sort(times.begin(), times.end());
    out.seconds = times[times.size() / 2];
    return true;
}

void Report(const char* resolution, std::uint32_t baud, int runs)
{
    const Transfer transfers[] = {
        {"whole package", false, false, ""},
        {"numbered, 512-byte packets", true, false, "512"},
        {"numbered, 1024-byte packets", true, false, "1024"},
        {"simplified, 512-byte stretches", true, true, "512"},
        {"simplified, 1024-byte stretches", true, true, "1024"},
        {"simplified, 2048-byte stretches", true, true, "2048"},
        {"simplified, 4096-byte stretches", true, true, "4096"},
    };
    std::printf("\n%s, quality 1, %u baud, simulator pacing at the line rate, median of %d\n", resolution, baud, runs);
    std::printf("%-34s %8s %8s %6s %9s %9s %9s %7s %7s\n", "transfer", "picture", "on line", "frames", "time s",
                "pic line", "all line", "/pic", "/whole");
    double whole = 0;
    for (const Transfer& t : transfers) {
        Figures f;
        if (!Measure(t, resolution, baud, runs, f))
            continue;
        if (!t.subPacket)
            whole = f.seconds;
        const double pictureLine = static_cast<double>(f.picture) * 11.0 / baud;
        const double allLine = static_cast<double>(f.fromCamera) * 11.0 / baud;
        std::printf("%-34s %8zu %8zu %6zu %9.3f %9.3f %9.3f %7.2f %7.2f\n", t.name, f.picture, f.fromCamera, f.requests,
                    f.seconds, pictureLine, allLine, f.seconds / pictureLine, whole > 0 ? f.seconds / whole : 0.0);
    }
}

}  // namespace

int main()
{
    std::printf("columns: JPEG bytes; bytes the camera sent; frames the console sent; Snapshot to picture;\n"
                "line time of the JPEG and of everything the camera sent (bytes x 11 / rate); time over the\n"
                "JPEG's line time; time over the whole-package time\n");
    Report("640x480", 115200, 3);
    Report("1280x960", 115200, 3);
    return 0;
}
