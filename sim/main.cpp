// qzr-camsim: a camera on a pseudo-terminal for the console to talk to.
//   qzr-camsim [--id N] [--baud RATE] [--no-pacing] [--link PATH] [--state FILE]
//              [--firmware-out PATH] [--firmware-order in-order|reverse|random]
//              [--firmware-lose K]
// Prints the device to connect to (the link when one is made) and serves until
// SIGINT or SIGTERM. During a firmware upgrade it asks for the packets in the
// given order, loses its first request for packet K if asked to, logs on
// standard error and writes the program it received to the --firmware-out file.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "protocol/camera_id.h"
#include "sim/camera.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: qzr-camsim [--id N] [--baud RATE] [--no-pacing] [--link PATH] [--state FILE]\n"
                         "                  [--firmware-out PATH] [--firmware-order in-order|reverse|random]\n"
                         "                  [--firmware-lose K]\n");
    return 2;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value)
{
    char* end = nullptr;
    value = std::strtoul(text, &end, 10);
    return end && *end == '\0' && end != text && value <= max;
}

std::optional<qzr::sim::UpgradeOrder> UpgradeOrderOf(const std::string& name)
{
    if (name == "in-order")
        return qzr::sim::UpgradeOrder::InOrder;
    if (name == "reverse")
        return qzr::sim::UpgradeOrder::Reverse;
    if (name == "random")
        return qzr::sim::UpgradeOrder::RandomWithRepeats;
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    qzr::sim::CameraOptions options;
    qzr::sim::UpgradeOptions upgrade;
    std::optional<std::uint16_t> loseRequest;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        unsigned long value = 0;
        if (arg == "--id" && hasValue && ParseNumber(argv[i + 1], 255, value)) {
            options.id = static_cast<std::uint8_t>(value);
            ++i;
        } else if (arg == "--baud" && hasValue && ParseNumber(argv[i + 1], 10000000, value) &&
                   qzr::BaudCodeFromRate(static_cast<std::uint32_t>(value))) {
            options.baud = static_cast<std::uint32_t>(value);
            ++i;
        } else if (arg == "--no-pacing") {
            options.pacing = false;
        } else if (arg == "--link" && hasValue) {
            options.linkPath = argv[++i];
        } else if (arg == "--state" && hasValue) {
            options.stateFile = argv[++i];
        } else if (arg == "--firmware-out" && hasValue) {
            upgrade.outPath = argv[++i];
        } else if (arg == "--firmware-order" && hasValue && UpgradeOrderOf(argv[i + 1])) {
            upgrade.order = *UpgradeOrderOf(argv[++i]);
        } else if (arg == "--firmware-lose" && hasValue && ParseNumber(argv[i + 1], 0xFFFF, value)) {
            loseRequest = static_cast<std::uint16_t>(value);
            ++i;
        } else {
            return Usage();
        }
    }

    // Signals are taken by sigwait below, not by whichever thread they hit.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    qzr::sim::Camera camera(options);
    std::string error;
    if (!camera.Start(&error)) {
        std::fprintf(stderr, "qzr-camsim: %s\n", error.c_str());
        return 1;
    }
    upgrade.log = [](const std::string& line) { std::fprintf(stderr, "qzr-camsim: %s\n", line.c_str()); };
    camera.SetUpgradeOptions(upgrade);
    if (loseRequest)
        camera.AddUpgradeRequestFault({qzr::sim::UpgradeRequestFault::Kind::Lost, loseRequest});
    const std::string path = options.linkPath.empty() ? camera.DevicePath() : camera.LinkPath();
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    camera.Stop();
    return 0;
}
