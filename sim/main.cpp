// qzr-camsim: a camera on a pseudo-terminal for the console to talk to.
//   qzr-camsim [--id N] [--baud RATE] [--no-pacing] [--link PATH] [--state FILE]
//              [--alarm-every MS] [--alarm-id N]
//              [--serial HEX] [--date YYYY-MM-DD] [--faulty-serial]
//              [--model NAME|CODE] [--function N]
//              [--firmware-out PATH] [--firmware-order in-order|reverse|random]
//              [--firmware-lose K]
// Prints the device to connect to (the link when one is made) and serves until
// SIGINT or SIGTERM. SIGUSR1 raises a motion alarm, as does every MS
// milliseconds with --alarm-every; --alarm-id gives the alarms another
// camera's id. SIGUSR2 makes it send the notice of a production date just set.
// During a firmware upgrade it asks for the packets in the given order, loses
// its first request for packet K if asked to, logs on standard error and
// writes the program it received to the --firmware-out file.
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "protocol/camera_id.h"
#include "protocol/model.h"
#include "sim/camera.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: qzr-camsim [--id N] [--baud RATE] [--no-pacing] [--link PATH] [--state FILE]\n"
                 "                  [--alarm-every MS] [--alarm-id N]\n"
                 "                  [--serial HEX] [--date YYYY-MM-DD] [--faulty-serial] [--model NAME|CODE] [--function N]\n"
                 "                  [--firmware-out PATH] [--firmware-order in-order|reverse|random] [--firmware-lose K]\n");
    return 2;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value, int base = 10)
{
    char* end = nullptr;
    value = std::strtoul(text, &end, base);
    return end && *end == '\0' && end != text && text[0] != '-' && value <= max;
}

// YYYY-MM-DD with the year 2000 to 2255, which the reply's byte holds; month
// and day as given, so that a camera with a date out of range can be played.
bool ParseDate(const char* text, qzr::sim::CameraIdentity& identity)
{
    int year = 0, month = 0, day = 0;
    char rest = 0;
    if (std::sscanf(text, "%4d-%2d-%2d%c", &year, &month, &day, &rest) != 3)
        return false;
    if (year < 2000 || year > 2255 || month < 0 || month > 255 || day < 0 || day > 255)
        return false;
    identity.year = year;
    identity.month = month;
    identity.day = day;
    return true;
}

// A model name of the table, or its code in hexadecimal.
bool ParseModel(const char* text, std::uint8_t& code)
{
    if (const auto named = qzr::ModelCodeOfName(text)) {
        code = *named;
        return true;
    }
    unsigned long value = 0;
    if (!ParseNumber(text, 0xFF, value, 16))
        return false;
    code = static_cast<std::uint8_t>(value);
    return true;
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
    unsigned long alarmEveryMs = 0;
    std::optional<std::uint8_t> alarmId;
    qzr::sim::CameraIdentity identity;
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
        } else if (arg == "--alarm-every" && hasValue && ParseNumber(argv[i + 1], 86400000, value) && value > 0) {
            alarmEveryMs = value;
            ++i;
        } else if (arg == "--alarm-id" && hasValue && ParseNumber(argv[i + 1], 255, value)) {
            alarmId = static_cast<std::uint8_t>(value);
            ++i;
        } else if (arg == "--serial" && hasValue && ParseNumber(argv[i + 1], 0xFFFFFFFF, value, 16)) {
            identity.serialNumber = static_cast<std::uint32_t>(value);
            ++i;
        } else if (arg == "--date" && hasValue && ParseDate(argv[i + 1], identity)) {
            ++i;
        } else if (arg == "--faulty-serial") {
            identity.serialValid = false;
        } else if (arg == "--model" && hasValue && ParseModel(argv[i + 1], identity.modelCode)) {
            ++i;
        } else if (arg == "--function" && hasValue && ParseNumber(argv[i + 1], 255, value)) {
            identity.functionMode = static_cast<std::uint8_t>(value);
            ++i;
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

    // Signals are taken by the waits below, not by whichever thread they hit.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    qzr::sim::Camera camera(options);
    std::string error;
    if (!camera.Start(&error)) {
        std::fprintf(stderr, "qzr-camsim: %s\n", error.c_str());
        return 1;
    }
    camera.SetIdentity(identity);
    upgrade.log = [](const std::string& line) { std::fprintf(stderr, "qzr-camsim: %s\n", line.c_str()); };
    camera.SetUpgradeOptions(upgrade);
    if (loseRequest)
        camera.AddUpgradeRequestFault({qzr::sim::UpgradeRequestFault::Kind::Lost, loseRequest});
    const std::string path = options.linkPath.empty() ? camera.DevicePath() : camera.LinkPath();
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(alarmEveryMs);
    auto nextAlarm = Clock::now() + period;
    for (;;) {
        int signal = 0;
        if (alarmEveryMs == 0) {
            sigwait(&signals, &signal);
        } else {
            const long long left = std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::nanoseconds>(nextAlarm - Clock::now()).count());
            const timespec wait{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
            signal = sigtimedwait(&signals, nullptr, &wait);
            if (signal < 0) {
                if (errno == EAGAIN) {
                    camera.RaiseMotionAlarm(alarmId);
                    nextAlarm += period;
                }
                continue;
            }
        }
        if (signal == SIGUSR1)
            camera.RaiseMotionAlarm(alarmId);
        else if (signal == SIGUSR2)
            camera.SendProductionDateNotice();
        else
            break;
    }
    camera.Stop();
    return 0;
}
