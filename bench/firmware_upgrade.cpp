// Firmware upgrade speed: from pressing "Upload" to the camera's report that
// the upgrade is complete, for a program of 409,600 bytes (100 packets of
// 4096), next to three models: the line time of the packets alone (11 bits a
// byte at 8N2), the poll tick (at most one request served per 100 ms tick)
// and the pauses the console makes (10 ms before a packet, 5 ms after each
// 128-byte piece). The simulated camera paces its requests at the line rate.
// A pseudo-terminal takes the console's writes at once, where a serial port
// holds each write for its line time; the second run of each rate holds
// every write for that time, as a real port would. Prints figures; checks
// nothing.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "bench/real_console.h"
#include "protocol/firmware.h"
#include "sim/camera.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kProgram = qzr::upgrade::kMaxProgram;

struct Figures {
    double seconds = 0;
    std::size_t requests = 0;
    bool complete = false;
};

bool Measure(const std::string& programPath, std::uint32_t baud, bool lineTimedWrites, Figures& out)
{
    qzr::sim::Camera camera(PacedCamera(baud));
    if (!Started(camera))
        return false;
    RealConsole console(camera.DevicePath(), baud);
    if (!console.Opened(baud))
        return false;
    if (lineTimedWrites) {
        console.dialog.Session().Port().SetWriteTrace([baud](std::span<const std::uint8_t> bytes) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(bytes.size() * 11 * 1000000000ull / baud));
        });
    }
    auto& backend = console.backend;
    backend.QueueFileAnswer(programPath);
    backend.Click(console.dialog, IDC_OPEN_FIRMWARE);

    const auto start = Clock::now();
    backend.Click(console.dialog, IDC_UPLOAD);
    out.complete = backend.RunUntil(
        [&] { return backend.Print(console.dialog, IDC_LOG).value_or("").find("更新完成") != std::string::npos; }, 300000);
    out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    out.requests = camera.Upgrade().requested.size();
    return true;
}

}  // namespace

int main()
{
    const std::string path = (std::filesystem::temp_directory_path() / "qzr-bench-firmware.bin").string();
    {
        std::mt19937 random(1);
        std::string program(kProgram, '\0');
        for (char& b : program)
            b = static_cast<char>(random());
        std::ofstream(path, std::ios::binary) << program;
    }
    const qzr::UpgradePlan plan = qzr::PlanUpgrade(kProgram);
    const double packetBytes = static_cast<double>(kProgram + plan.packetCount * qzr::upgrade::kPacketOverhead);
    const double tickModel = plan.packetCount * 0.1;
    const double pauses = plan.packetCount * (0.010 + 0.005 * (qzr::upgrade::kPacketSize / 128));

    std::printf("%u bytes in %u packets; simulator pacing on; one run each\n", static_cast<unsigned>(kProgram),
                plan.packetCount);
    std::printf("%-8s %-22s %8s %9s %9s %9s %9s %8s\n", "rate", "console writes", "requests", "time s", "line s",
                "ticks s", "pauses s", "/line");
    for (std::uint32_t baud : {115200u, 230400u}) {
        const double line = packetBytes * 11.0 / baud;
        for (bool lineTimed : {false, true}) {
            Figures f;
            if (!Measure(path, baud, lineTimed, f))
                continue;
            std::printf("%-8u %-22s %8zu %9.2f %9.2f %9.2f %9.2f %8.2f%s\n", baud,
                        lineTimed ? "held for line time" : "at once (pty)", f.requests, f.seconds, line, tickModel,
                        pauses, f.seconds / line, f.complete ? "" : "  (not complete)");
        }
    }
    std::filesystem::remove(path);
    return 0;
}
