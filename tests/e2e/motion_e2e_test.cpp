// Motion detection end to end: the built qzr-console, headless under a script,
// marks an area over an imported picture and confirms it; the simulated
// camera holds that area, and its alarm shows in the console's log box.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#include "protocol/motion.h"
#include "sim/camera.h"
#include "sim/picture.h"

namespace qzr::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MotionEndToEnd, AreaReachesTheCameraAndItsAlarmTheLogBox)
{
    sim::CameraOptions options;
    options.pacing = false;
    sim::Camera camera(options);
    std::string error;
    ASSERT_TRUE(camera.Start(&error)) << error;

    const fs::path root = fs::temp_directory_path() / ("qzr-motion-e2e-" + std::to_string(::getpid()));
    const fs::path work = root / "work";
    fs::create_directories(work);
    const Bytes scene = sim::MakeTestPicture({});
    std::ofstream(root / "scene.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(scene.data()), static_cast<std::streamsize>(scene.size()));
    std::ofstream(root / "script.txt") << "set 1013 " << camera.DevicePath() << "\n"
                                       << "click 1007\n"
                                          "click 1122\n"      // Motion Detection: the dialog takes what follows
                                          "click 1011\n"      // Central
                                          "lclick 20 20\n"    // the top left cell
                                          "lclick 640 480\n"  // the bottom right cell
                                          "file " << (root / "scene.jpg").string() << "\n"
                                       << "click 1122\n"  // Import field base image
                                          "set 1196 2\n"
                                          "click 1\n"
                                          "until 1024 移动帧测报警 20000\n"
                                          "print 1024\n";

    // The camera raises its alarm, as camera 7, once it holds an area.
    auto alarm = std::async(std::launch::async, [&camera] {
        for (auto waited = 0ms; waited < 20s; waited += 10ms) {
            if (camera.MotionArea()) {
                camera.RaiseMotionAlarm(7);
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    });
    const std::string command = "cd '" + work.string() + "' && exec timeout -s KILL 60 '" QZR_CONSOLE
                                "' --headless --script ../script.txt >../out.txt 2>../err.txt";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(alarm.get()) << "the camera never got an area";
    const std::string out = ReadFile(root / "out.txt"), err = ReadFile(root / "err.txt");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << err << out;

    EXPECT_NE(out.find("picture: 640x480 at 10,10,637,481\n"), std::string::npos) << out;
    EXPECT_NE(out.find("1024=7号摄像头  移动帧测报警!!\n"), std::string::npos) << out;
    MotionAreaMap area;
    for (int r = 1; r <= 7; ++r)
        for (int c = 1; c <= 10; ++c)
            area.At(r, c) = 1;
    area.At(0, 0) = area.At(8, 11) = 1;
    const auto held = camera.MotionArea();
    ASSERT_TRUE(held);
    EXPECT_EQ(held->area, area);
    EXPECT_EQ(held->settings, (MotionSettings{80, 3, 2}));
    EXPECT_EQ(ReadFile(work / "pos.txt"), std::string(area.cells.begin(), area.cells.end()));
    EXPECT_EQ(ReadFile(work / "posText.txt").size(), 360u);

    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace
}  // namespace qzr::test
