// The built qzr-console, run headless under a script as a production line
// runs it, against the simulated camera or a bare pseudo-terminal.
#include <gtest/gtest.h>
#include <termios.h>

#include <filesystem>
#include <string>

#include "sim/camera.h"
#include "tests/e2e/console_run.h"
#include "tests/support/pty.h"

namespace qzr::test {
namespace {

// A snapshot from the simulated camera lands in the working directory
// exactly as the camera made it.
TEST(ConsoleEndToEnd, SavedPictureIsTheCamerasJpeg)
{
    for (const std::string resolution : {"640x480", "160x120"}) {
        SCOPED_TRACE(resolution);
        sim::CameraOptions options;
        options.pacing = false;
        sim::Camera camera(options);
        std::string error;
        ASSERT_TRUE(camera.Start(&error)) << error;

        ConsoleRun console;
        const RunResult run = console.Script("set 1013 " + camera.DevicePath() + "\nclick 1007\ncheck 1129 1\nselect 1124 " +
                                             resolution + "\nclick 1009\nuntil 1024 ---OK 20000\nprint 1036\n");
        ASSERT_EQ(run.status, 0) << run.err << run.out;
        EXPECT_NE(run.out.find("1036=show JPG"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("picture: " + resolution), std::string::npos) << run.out;
        std::vector<fs::path> pictures;
        for (const auto& entry : fs::directory_iterator(console.Work()))
            pictures.push_back(entry.path());
        ASSERT_EQ(pictures.size(), 1u) << run.out;
        EXPECT_EQ(pictures[0].extension(), ".jpg");
        const Bytes made = camera.LastPicture();
        ASSERT_FALSE(made.empty());
        EXPECT_EQ(ReadFile(pictures[0]), std::string(made.begin(), made.end()));
    }
}

// The console sets the line as the cameras expect: the rate asked for, 8 data
// bits, 2 stop bits, no parity.
TEST(ConsoleEndToEnd, OpensThePortWithTheCamerasLineSettings)
{
    PtyPair pty;
    ConsoleRun console;
    const RunResult run = console.Script("set 1013 " + pty.SlavePath() + "\nset 1014 38400\nclick 1007\nprint 1036\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "1036=Open serial port" + pty.SlavePath() + "\n");
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(tio.c_cflag & (CSIZE | CSTOPB | PARENB), static_cast<tcflag_t>(CS8 | CSTOPB));
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
