// The burst test and quick shot windows of the built qzr-console, run headless
// under a script against the simulated camera.
#include <gtest/gtest.h>

#include <string>

#include "sim/camera.h"
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

struct SimulatedCamera {
    SimulatedCamera()
    {
        sim::CameraOptions options;
        options.pacing = false;
        camera = std::make_unique<sim::Camera>(options);
        std::string error;
        EXPECT_TRUE(camera->Start(&error)) << error;
    }
    std::unique_ptr<sim::Camera> camera;
};

// A burst of 3 a second apart, its end awaited, the list of the latest
// pictures, the second fetched and drawn at its own proportions.
TEST(BurstEndToEnd, BurstListAndFetchTheSecondPicture)
{
    SimulatedCamera sim;
    ConsoleRun console;
    const RunResult run = console.Script("click 1187\nset 1013 " + sim.camera->DevicePath() +
                                         "\nclick 1007\nselect 1124 160x120\nset 1193 3\nset 1195 1\nclick 1008\n"
                                         "until 1024 连拍完成 20000\nclick 1009\nuntil 1021 共有3个图片文件 5000\n"
                                         "print 1186\ndblclick 1186 1\nuntil 1021 Show Jpeg--OK 20000\nclick 1\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    const std::vector<std::string> names = sim.camera->StoredPictureNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_NE(run.out.find("1186=1\t" + names[0] + "\t\n2\t" + names[1] + "\t\n3\t" + names[2] + "\t\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("message: " + names[1] + "\npicture: 160x120 at 112,24,580,435\n"), std::string::npos)
        << run.out;
}

TEST(BurstEndToEnd, QuickShotAt38400DrawsAPicture)
{
    SimulatedCamera sim;
    ConsoleRun console;
    const RunResult run = console.Script("click 1015\nset 1013 " + sim.camera->DevicePath() +
                                         "\nclick 1008\nclick 1007\nuntil 1131 show 30000\nclick 1009\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(run.out, "picture: 640x480 at 0,0,800,490\n");
}

}  // namespace
}  // namespace qzr::test
