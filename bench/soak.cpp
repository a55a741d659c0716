// Soak run: continuous capture from the simulated camera without pacing, with a
// fault from the camera's switches armed on about one reply in twenty. For
// each transfer mode it counts the pictures requested, those shown intact
// (byte for byte a picture the camera made), shown damaged with a report in
// the status or log box, shown damaged without any report, and transfers that
// stalled until the operator acted (no picture for five seconds: Stop
// Snapshotting, then Continuously Capture again), and which fault led to
// which outcome; then the peak memory of the process and the processor time
// of the console's thread. The console runs in this process on the headless
// backend with the real clock; the camera serves from its own thread.
//   qzr_bench_soak [whole|numbered|simplified|all] [PICTURES]   (default all 500)
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/real_console.h"
#include "protocol/commands.h"
#include "sim/camera.h"
#include "sim/picture.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using qzr::Bytes;
using qzr::sim::Fault;

struct Mode {
    const char* name;
    bool subPacket;
    bool simplified;
    std::uint8_t firstRequest;  // the command that starts a picture's transfer
};
constexpr Mode kModes[] = {
    {"whole", false, false, qzr::CMD_SNAPSHOT},
    {"numbered", true, false, qzr::CMD_SET_PICTURE},
    {"simplified", true, true, qzr::CMD_SIMPLE_SUBPACKET},
};

struct FaultKind {
    const char* name;
    Fault fault;
};
const std::vector<FaultKind>& FaultKinds()
{
    static const std::vector<FaultKind> kinds = {
        {"drop", Fault::DropReply()},
        {"corrupt-crc", Fault::CorruptCrc()},
        {"split", Fault::SplitReply(61, std::chrono::milliseconds(40))},
        {"delay", Fault::DelayReply(std::chrono::milliseconds(400))},
        {"cut-5", Fault::WrongLength(-5)},
        {"pad+5", Fault::WrongLength(5)},
    };
    return kinds;
}

enum Outcome { Intact, Reported, Silent, Stalled, kOutcomes };
const char* const kOutcomeNames[] = {"intact", "damaged-reported", "damaged-silent", "stalled"};

// One picture's transfer: the faults armed while it ran, and what came of it.
struct Transfer {
    std::vector<std::string> faults;
    bool reported = false;
};

// What the camera can have made: its test cards by running number.
class CameraPictures {
public:
    // Whether `jpeg` is one of the first `made` pictures (a few more are
    // looked at: the camera numbers every picture it makes, answered or not).
    bool Made(const Bytes& jpeg, std::size_t made)
    {
        for (; m_count < made + 64; ++m_count)
            m_made.insert(qzr::sim::MakeTestPicture({1, 1, false, static_cast<unsigned>(m_count + 1)}));
        return m_made.count(jpeg) > 0;
    }

private:
    std::set<Bytes> m_made;
    std::size_t m_count = 0;
};

bool DamageReported(const std::string& status, const std::string& log)
{
    for (const char* text : {"JPG格式不对", "长度数据丢失", "Received image header - Error"})
        if (status.find(text) != std::string::npos)
            return true;
    for (const char* text : {"CRC  error", "Err--", "字节数不对", "图像过大"})
        if (log.find(text) != std::string::npos)
            return true;
    return false;
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

bool Soak(const Mode& mode, int pictures)
{
    qzr::sim::CameraOptions options;
    options.pacing = false;
    qzr::sim::Camera camera(options);
    if (!Started(camera))
        return false;
    const fs::path folder = fs::temp_directory_path() / ("qzr-soak-" + std::to_string(::getpid()) + "-" + mode.name);
    fs::create_directories(folder);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);

    std::mt19937 random(20240131u + mode.firstRequest);
    std::vector<Transfer> transfers;
    std::map<std::string, std::array<int, kOutcomes>> byFault;
    int counts[kOutcomes] = {};
    int requested = 0, faultsArmed = 0;
    {
        RealConsole console(camera.DevicePath(), 115200);
        auto& backend = console.backend;
        auto& dialog = console.dialog;
        backend.SetRecording(false);
        // Every frame the console writes asks for one reply: one in twenty gets a fault.
        dialog.Session().Port().SetWriteTrace([&](std::span<const std::uint8_t> bytes) {
            const auto header = qzr::ParseFrameHeader(bytes);
            if (!header)
                return;
            if (header->command == mode.firstRequest) {
                ++requested;
                transfers.emplace_back();
            }
            if (!transfers.empty() && random() % 20 == 0) {
                const FaultKind& kind = FaultKinds()[random() % FaultKinds().size()];
                camera.AddFault(kind.fault, 1);
                transfers.back().faults.push_back(kind.name);
                ++faultsArmed;
            }
        });
        backend.Select(dialog, IDC_RESOLUTION, "160x120");
        backend.Select(dialog, IDC_QUALITY, "1");
        backend.Check(dialog, IDC_SAVE_IMAGE, 1);
        if (mode.subPacket) {
            backend.Check(dialog, IDC_SUB_PACKET, 1);
            backend.Check(dialog, IDC_SIMPLIFIED, mode.simplified ? 1 : 0);
            backend.Select(dialog, IDC_PACKET_SIZE, "512");
        }

        CameraPictures made;
        // Outcomes go to the oldest transfer still running: in sub-packet
        // mode the next picture is asked for before this loop sees the file.
        std::size_t next = 0;
        const auto finish = [&](Outcome outcome) {
            if (next >= transfers.size())
                return;
            ++counts[outcome];
            const Transfer& t = transfers[next++];
            for (const std::string& fault : t.faults)
                ++byFault[fault][outcome];
            if (t.faults.empty())
                ++byFault["none"][outcome];
        };
        const double cpuBefore = ThreadCpuSeconds();
        const auto start = Clock::now();
        backend.Click(dialog, IDC_CONTINUOUS_CAPTURE);
        auto lastPicture = Clock::now();
        std::size_t finished = 0;  // transfers with an outcome
        std::string shownStatus, shownLog;
        while (static_cast<int>(finished) < pictures) {
            backend.RunLoop(100);
            const std::string status = dialog.Session().m_strStatus, log = dialog.Session().m_strLog;
            if ((status != shownStatus || log != shownLog) && DamageReported(status, log) && next < transfers.size())
                transfers[next].reported = true;
            shownStatus = status;
            shownLog = log;
            for (const auto& entry : fs::directory_iterator(folder)) {
                if (entry.path().extension() != ".jpg")
                    continue;
                std::ifstream in(entry.path(), std::ios::binary);
                const Bytes jpeg{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
                in.close();
                fs::remove(entry.path());
                if (next >= transfers.size())
                    continue;
                finish(made.Made(jpeg, static_cast<std::size_t>(requested)) ? Intact : transfers[next].reported ? Reported : Silent);
                ++finished;
                lastPicture = Clock::now();
            }
            if (Clock::now() - lastPicture > std::chrono::seconds(5) && next < transfers.size()) {
                // The operator sees nothing happen and starts again.
                while (next < transfers.size()) {
                    finish(Stalled);
                    ++finished;
                }
                backend.Click(dialog, IDC_STOP_SNAPSHOT);
                backend.Click(dialog, IDC_CONTINUOUS_CAPTURE);
                lastPicture = Clock::now();
            }
        }
        backend.Click(dialog, IDC_STOP_SNAPSHOT);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = ThreadCpuSeconds() - cpuBefore;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%-10s %4d requested, %4d intact, %3d damaged-reported, %3d damaged-silent, %3d stalled; "
                    "%d faults armed; %.0f s, console thread %.1f s CPU, peak RSS %ld MiB\n",
                    mode.name, requested, counts[Intact], counts[Reported], counts[Silent], counts[Stalled], faultsArmed,
                    seconds, cpu, usage.ru_maxrss / 1024);
        for (const auto& [fault, outcomes] : byFault) {
            std::printf("    %-12s", fault.c_str());
            for (int o = 0; o < kOutcomes; ++o)
                if (outcomes[o])
                    std::printf(" %s %d", kOutcomeNames[o], outcomes[o]);
            std::printf("\n");
        }
        std::fflush(stdout);
    }
    fs::current_path(previous);
    fs::remove_all(folder);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string which = argc > 1 ? argv[1] : "all";
    const int pictures = argc > 2 ? std::atoi(argv[2]) : 500;
    if (pictures <= 0) {
        std::fprintf(stderr, "usage: qzr_bench_soak [whole|numbered|simplified|all] [PICTURES]\n");
        return 2;
    }
    bool any = false;
    for (const Mode& mode : kModes) {
        if (which != "all" && which != mode.name)
            continue;
        any = true;
        if (!Soak(mode, pictures))
            return 1;
    }
    if (!any) {
        std::fprintf(stderr, "usage: qzr_bench_soak [whole|numbered|simplified|all] [PICTURES]\n");
        return 2;
    }
    return 0;
}
