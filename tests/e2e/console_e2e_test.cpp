// The built qzr-console, run headless under a script as a production line
// runs it, against the simulated camera.
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

// A picture from the simulated camera lands in the working directory exactly
// as the camera made it, whole or in sub-packets of either protocol. Controls:
// 1013 port, 1007 Open Comms, 1129 Save, 1124 resolution, 1106 Sub-packet,
// 1140 Simplified, 1133 packet size, 1009 Snapshot, 1036 status.
TEST(ConsoleEndToEnd, SavedPictureIsTheCamerasJpeg)
{
    const struct {
        const char *resolution, *mode, *log;  // the log box 1024 tells the transfer
    } cases[] = {
        {"640x480", "", "---OK"},
        {"320x240", "check 1106 1\ncheck 1140 0\nset 1133 512\n", "Get last packet"},
        {"320x240", "check 1106 1\nset 1133 1024\n", "OK   show picture"},
    };
    for (const auto& [resolution, mode, log] : cases) {
        SCOPED_TRACE(std::string(resolution) + " " + mode);
        const auto camera = StartCamera();
        ConsoleRun console;
        const RunResult run = console.Script("set 1013 " + camera->DevicePath() + "\nclick 1007\ncheck 1129 1\nselect 1124 " +
                                             resolution + "\n" + mode + "click 1009\nuntil 1036 show JPG 20000\nprint 1024\n");
        ASSERT_EQ(run.status, 0) << run.err << run.out;
        EXPECT_NE(run.out.find(std::string("picture: ") + resolution), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(log), std::string::npos) << run.out;
        const std::vector<fs::path> pictures = Pictures(console.Work());
        ASSERT_EQ(pictures.size(), 1u) << run.out;
        const Bytes made = camera->LastPicture();
        EXPECT_EQ(ReadFile(pictures[0]), std::string(made.begin(), made.end()));
    }
}

// The first failing line ends the run with status 1 and its reason.
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
