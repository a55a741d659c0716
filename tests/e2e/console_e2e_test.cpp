// The built qzr-console, run headless under a script as a production line
// runs it, against the simulated camera or a bare pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "sim/camera.h"
#include "tests/support/pty.h"

namespace qzr::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RunResult {
    int status = -1;  // exit status, -1 when it did not exit by itself
    std::string out;
    std::string err;
};

// A temporary directory: `work` is the console's working directory, the
// script and the captured output lie beside it.
class ConsoleRun {
public:
    ConsoleRun()
    {
        static int counter = 0;
        m_root = fs::temp_directory_path() / ("qzr-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(Work());
    }
    ~ConsoleRun()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    fs::path Work() const { return m_root / "work"; }

    // Runs `qzr-console --headless --script FILE` in Work(); kills it after
    // `timeout` (the status then stays -1).
    RunResult Script(const std::string& script, std::chrono::seconds timeout = std::chrono::seconds(60))
    {
        const fs::path scriptPath = m_root / "script.txt";
        std::ofstream(scriptPath) << script;
        const fs::path outPath = m_root / "out.txt";
        const fs::path errPath = m_root / "err.txt";

        const std::string work = Work().string();
        const std::string scriptFile = scriptPath.string();
        const pid_t child = ::fork();
        if (child == 0) {
            // Only async-signal-safe calls here: the camera's thread runs on in the parent.
            const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || err < 0 || ::chdir(work.c_str()) != 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
                ::_exit(127);
            ::execl(QZR_CONSOLE, QZR_CONSOLE, "--headless", "--script", scriptFile.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        RunResult run;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        for (;;) {
            const pid_t done = ::waitpid(child, &status, WNOHANG);
            if (done == child) {
                if (WIFEXITED(status))
                    run.status = WEXITSTATUS(status);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        run.out = ReadFile(outPath);
        run.err = ReadFile(errPath);
        return run;
    }

    std::vector<fs::path> SavedPictures() const
    {
        std::vector<fs::path> pictures;
        for (const auto& entry : fs::directory_iterator(Work()))
            if (entry.path().extension() == ".jpg")
                pictures.push_back(entry.path());
        return pictures;
    }

private:
    fs::path m_root;
};

// A snapshot from the simulated camera lands in the working directory
// exactly as the camera made it.
TEST(ConsoleEndToEnd, SavedPictureIsTheCamerasJpeg)
{
    for (const char* resolution : {"640x480", "160x120"}) {
        SCOPED_TRACE(resolution);
        sim::CameraOptions options;
        options.pacing = false;
        sim::Camera camera(options);
        std::string error;
        ASSERT_TRUE(camera.Start(&error)) << error;

        ConsoleRun console;
        const RunResult run = console.Script("set 1013 " + camera.DevicePath() +
                                       "\n"
                                       "click 1007\n"
                                       "check 1129 1\n"
                                       "select 1124 " +
                                       resolution +
                                       "\n"
                                       "click 1009\n"
                                       "until 1024 ---OK 20000\n"
                                       "print 1036\n");
        ASSERT_EQ(run.status, 0) << run.err << run.out;
        EXPECT_NE(run.out.find("1036=show JPG"), std::string::npos) << run.out;
        const auto pictures = console.SavedPictures();
        ASSERT_EQ(pictures.size(), 1u) << run.out;
        const Bytes made = camera.LastPicture();
        ASSERT_FALSE(made.empty());
        const std::string saved = ReadFile(pictures[0]);
        EXPECT_EQ(saved, std::string(made.begin(), made.end()));
        EXPECT_NE(run.out.find(std::string("picture: ") + resolution), std::string::npos) << run.out;
    }
}

// The console sets the line as the cameras expect: the rate asked for, 8 data
// bits, 2 stop bits, no parity.
TEST(ConsoleEndToEnd, OpensThePortWithTheCamerasLineSettings)
{
    PtyPair pty;
    ConsoleRun console;
    const RunResult run = console.Script("set 1013 " + pty.SlavePath() +
                                   "\n"
                                   "set 1014 38400\n"
                                   "click 1007\n"
                                   "print 1036\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "1036=Open serial port" + pty.SlavePath() + "\n");

    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_cflag & PARENB);
}

TEST(ConsoleEndToEnd, UnknownControlStopsTheScript)
{
    ConsoleRun console;
    const RunResult run = console.Script("print 1036\nclick 4242\nprint 1024\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("4242"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "1036=\n") << "nothing after the failing line";
}

}  // namespace
}  // namespace qzr::test
