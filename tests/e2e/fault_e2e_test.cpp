// The built qzr-console, headless under a script, against a simulated camera
// that misbehaves while the script runs: its side of the line vanishes in the
// middle of a transfer and comes back on the same device name, it talks at
// another rate, it sends a megabyte of noise, a second console wants its port.
// The console lives on, says what happened, saves no damaged picture, keeps
// its memory flat, and takes a picture once the camera behaves again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "sim/camera.h"
#include "sim/picture.h"
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

using namespace std::chrono_literals;

// A console run in the background: its exit status and its peak memory.
class BackgroundConsole {
public:
    BackgroundConsole(const ConsoleRun& dirs, const std::string& name, const std::string& script)
        : m_out(dirs.Work().parent_path() / (name + ".out"))
    {
        const fs::path scriptFile = dirs.Work().parent_path() / (name + ".script");
        std::ofstream(scriptFile) << script;
        const std::string work = dirs.Work().string(), config = dirs.Config().string();
        const std::string err = (dirs.Work().parent_path() / (name + ".err")).string(), out = m_out.string();
        const std::string scriptPath = scriptFile.string();
        m_pid = ::fork();
        if (m_pid == 0) {
            // The camera's side of the line lives in this process: a console
            // that kept it open would never see the camera vanish.
            ::close_range(3, ~0U, 0);
            if (::chdir(work.c_str()) != 0)
                ::_exit(126);
            ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(o, 1);
            ::dup2(e, 2);
            ::execl(QZR_CONSOLE, QZR_CONSOLE, "--headless", "--script", scriptPath.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~BackgroundConsole()
    {
        if (m_pid > 0 && !m_done) {
            ::kill(m_pid, SIGKILL);
            Wait(5s);
        }
    }
    // Waits for the end (killing the console after `limit`); false when it had to be killed.
    bool Wait(std::chrono::seconds limit = 90s)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            int status = 0;
            rusage usage{};
            const pid_t done = ::wait4(m_pid, &status, WNOHANG, &usage);
            if (done == m_pid) {
                m_done = true;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                m_peakKb = usage.ru_maxrss;
                return true;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                m_done = true;
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
    }
    std::string Output() const { return ReadFile(m_out); }
    int Status() const { return m_status; }
    long PeakKb() const { return m_peakKb; }

private:
    fs::path m_out;
    pid_t m_pid = -1;
    bool m_done = false;
    int m_status = -1;
    long m_peakKb = 0;
};

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::vector<fs::path> Pictures(const fs::path& folder)
{
    std::vector<fs::path> pictures;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".jpg")
            pictures.push_back(entry.path());
    return pictures;
}

// When the camera misbehaves, and how.
enum class When { AtStart, HalfPictureSent, FrameHeard, NotUnderstood };
enum class Fault { Unplug, Noise, NoiseForReply, None, SecondConsole };

struct FaultCase {
    const char* name;
    std::uint32_t cameraBaud;
    std::string before;  // script lines up to the fault ("DEV" stands for the device)
    When when;
    Fault fault;
    std::string after;   // script lines after it
    std::vector<std::string> printed;  // what the script's output holds
    int pictures;        // saved afterwards, each the camera's own
};
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

const std::string kOpen = "set 1013 DEV\nclick 1007\n";
const std::string kReopen = "click 1008\nclick 1007\nselect 1124 320x240\nclick 1009\nuntil 1036 show JPG 30000\n";
const std::string kReported = "until 1036 Serial port disconnected 15000\nwait 1500\nprint 1036\nprint 1024\n";
constexpr std::size_t kNoiseBytes = 1 << 20;
constexpr std::uint8_t kBigResolution = 11;  // 1600x1200, chosen below at quality 0
// A pseudo-terminal passes at most 4095 bytes a poll tick: the megabyte takes
// some 26 s to read, after which the operator presses Snapshot.
const std::string kAfterNoise = "wait 40000\ncheck 1129 1\nclick 1009\nuntil 1036 show JPG 30000\n";

const FaultCase kCases[] = {
    {"UnplugMidWholePackage", 115200, kOpen + "check 1129 1\nselect 1124 1600x1200\nselect 1125 0\nclick 1009\n",
     When::HalfPictureSent, Fault::Unplug, kReported + kReopen,
     {"1036=Serial port disconnected\n", "Serial port disconnected: DEV\\r\\n"}, 1},
    {"UnplugMidNumberedTransfer", 115200,
     kOpen + "check 1129 1\ncheck 1106 1\ncheck 1140 0\nset 1133 512\nselect 1124 1600x1200\nselect 1125 0\nclick 1009\n",
     When::HalfPictureSent, Fault::Unplug, kReported + kReopen,
     {"1036=Serial port disconnected\n", "Serial port disconnected: DEV\\r\\n"}, 1},
    {"UnplugUnderTheBurstWindow", 115200, "click 1187\nset 1013 DEV\nclick 1007\nclick 1009\n", When::FrameHeard,
     Fault::Unplug, "until 1131 Serial port disconnected 15000\nwait 1000\nprint 1021\nclick 1007\nclick 1007\nprint 1131\n",
     {"Serial port disconnected: DEV\\r\\n", "1131=OpenDEV\n"}, 0},
    {"UnplugUnderTheQuickShotWindow", 115200, "click 1015\nset 1013 DEV\nclick 1008\nclick 1007\n", When::FrameHeard,
     Fault::Unplug, "until 1131 Serial port disconnected 15000\nwait 1000\nclick 1008\nclick 1008\nprint 1131\nclick 1008\nclick 1009\n",
     {"1131=OpenDEV\n"}, 0},
    {"CameraAtAnotherRate", 9600, kOpen + "check 1129 1\nclick 1009\n", When::NotUnderstood, Fault::None,
     "wait 3000\nprint 1036\n", {"1036=begin\n"}, 0},
    {"NoiseWhileIdle", 115200, kOpen + "check 1106 1\n", When::AtStart, Fault::Noise,
     kAfterNoise, {"picture: 640x480"}, 1},
    {"NoiseAsTheSnapshotReply", 115200, kOpen + "check 1106 1\nclick 1009\n", When::FrameHeard, Fault::NoiseForReply,
     kAfterNoise, {"picture: 640x480"}, 1},
    {"SecondConsoleOnThePort", 115200, kOpen + "print 1036\n", When::AtStart, Fault::SecondConsole, "wait 5000\n",
     {"1036=Open serial portDEV\n"}, 0},
};

class FaultEndToEnd : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultEndToEnd, ConsoleLivesOnAndTakesAPictureAfter)
{
    const FaultCase& c = GetParam();
    ConsoleRun dirs;
    const std::string device = (dirs.Work().parent_path() / "camera").string();
    sim::CameraOptions options;
    options.baud = c.cameraBaud;
    options.linkPath = device;
    options.pacing = c.fault == Fault::Unplug;  // slow enough to be caught halfway
    auto camera = std::make_unique<sim::Camera>(options);
    std::string error;
    ASSERT_TRUE(camera->Start(&error)) << error;
    if (c.fault == Fault::NoiseForReply)
        camera->SetAnswering(false);

    const auto withDevice = [&](std::string text) {
        for (std::size_t at = text.find("DEV"); at != std::string::npos; at = text.find("DEV", at + device.size()))
            text.replace(at, 3, device);
        return text;
    };
    BackgroundConsole console(dirs, "console", withDevice(c.before + c.after));

    // The camera's misbehaviour, when its moment comes. (The condition runs
    // under the camera's lock: it asks the camera nothing.)
    const std::size_t halfPicture = sim::MakeTestPicture({kBigResolution, 0, false, 1}).size() / 2;
    const auto due = [&](const sim::CameraStats& stats) {
        switch (c.when) {
        case When::AtStart:
            return true;
        case When::HalfPictureSent:
            return stats.framesReceived > 0;
        case When::FrameHeard:
            return stats.framesReceived > 0;
        case When::NotUnderstood:
            return stats.bytesNotUnderstood > 0;
        }
        return false;
    };
    ASSERT_TRUE(camera->WaitUntil(due, 30s)) << "the moment never came";
    if (c.when == When::HalfPictureSent) {
        // The request was heard; the picture's first half takes this long on the line.
        const auto lineTime = std::chrono::milliseconds(halfPicture * 11 * 1000 / options.baud);
        std::this_thread::sleep_for(lineTime);
    }
    std::unique_ptr<BackgroundConsole> second;
    std::mt19937 random(7);
    Bytes noise(kNoiseBytes);
    for (auto& b : noise)
        b = static_cast<std::uint8_t>(random());
    switch (c.fault) {
    case Fault::Unplug:
        // The camera's side vanishes; a camera comes back under the same name.
        camera.reset();
        std::this_thread::sleep_for(300ms);
        camera = std::make_unique<sim::Camera>(options);
        ASSERT_TRUE(camera->Start(&error)) << error;
        break;
    case Fault::Noise:
        camera->SendRaw(noise);
        break;
    case Fault::NoiseForReply:
        camera->SendRaw(noise);
        camera->SetAnswering(true);
        break;
    case Fault::SecondConsole:
        for (int i = 0; i < 500 && console.Output().find("1036=Open") == std::string::npos; ++i)
            std::this_thread::sleep_for(20ms);
        second = std::make_unique<BackgroundConsole>(dirs, "second", withDevice(kOpen + "print 1036\n"));
        ASSERT_TRUE(second->Wait());
        EXPECT_NE(second->Output().find("message: Serial port is already in use"), std::string::npos) << second->Output();
        EXPECT_EQ(second->Output().find("1036=Open serial port"), std::string::npos) << second->Output();
        break;
    case Fault::None:
        break;
    }

    ASSERT_TRUE(console.Wait()) << "the console hung";
    const std::string out = console.Output();
    EXPECT_EQ(console.Status(), 0) << out << ReadFile(dirs.Work().parent_path() / "console.err");
    for (const std::string& text : c.printed)
        EXPECT_NE(out.find(withDevice(text)), std::string::npos) << withDevice(text) << " in\n" << out;
    // Said once per hang-up, however long the port stays open on the dead line.
    if (c.fault == Fault::Unplug) {
        EXPECT_LE(Count(out, "Serial port disconnected: " + device), 1u) << out;
    }

    const std::vector<fs::path> pictures = Pictures(dirs.Work());
    ASSERT_EQ(pictures.size(), static_cast<std::size_t>(c.pictures)) << out;
    if (!pictures.empty()) {
        const Bytes made = camera->LastPicture();
        EXPECT_TRUE(ReadFile(pictures[0]) == std::string(made.begin(), made.end())) << "a damaged picture was saved";
    }
    if (c.when == When::NotUnderstood) {
        EXPECT_EQ(camera->Stats().framesReceived, 0u);
    }

    // A megabyte of noise leaves the console's memory where a quiet run has it.
    if (c.fault == Fault::Noise || c.fault == Fault::NoiseForReply) {
        ConsoleRun quietDirs;
        sim::CameraOptions quietOptions;
        quietOptions.linkPath = device + "-quiet";
        auto quietCamera = std::make_unique<sim::Camera>(quietOptions);
        ASSERT_TRUE(quietCamera->Start(&error)) << error;
        BackgroundConsole quiet(quietDirs, "quiet",
                                "set 1013 " + device + "-quiet\nclick 1007\ncheck 1106 1\nclick 1009\nuntil 1036 show JPG 30000\n");
        ASSERT_TRUE(quiet.Wait());
        EXPECT_LT(console.PeakKb(), quiet.PeakKb() + 4096) << "peak " << console.PeakKb() << " KiB against " << quiet.PeakKb();
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultEndToEnd, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qzr::test
