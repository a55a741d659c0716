// Motion detection end to end: the built qzr-console, headless under a script,
// marks an area over an imported picture and confirms it; the simulated
// camera holds that area, and its alarm shows in the console's log box.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "sim/camera.h"
#include "sim/picture.h"

namespace qzr::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(MotionEndToEnd, AreaReachesTheCameraAndItsAlarmTheLogBox)
{
    sim::CameraOptions options;
    options.pacing = false;
    sim::Camera camera(options);
    ASSERT_TRUE(camera.Start());
    const fs::path root = fs::temp_directory_path() / ("qzr-motion-e2e-" + std::to_string(::getpid()));
    fs::create_directories(root / "work");
    const Bytes scene = sim::MakeTestPicture({});
    std::ofstream(root / "scene.jpg", std::ios::binary).write(reinterpret_cast<const char*>(scene.data()), scene.size());
    // Motion Detection, Central, two corner cells, the picture, density 2, OK.
    std::ofstream(root / "script.txt") << "set 1013 " << camera.DevicePath()
                                       << "\nclick 1007\nclick 1122\nclick 1011\nlclick 20 20\nlclick 640 480\nfile "
                                       << (root / "scene.jpg").string()
                                       << "\nclick 1122\nset 1196 2\nclick 1\nuntil 1024 移动帧测报警 20000\nprint 1024\n";
    auto alarm = std::async(std::launch::async, [&camera] {  // as camera 7, once it holds an area
        for (int i = 0; i < 2000 && !camera.MotionArea(); ++i)
            std::this_thread::sleep_for(10ms);
        camera.RaiseMotionAlarm(7);
    });
    const std::string command = "cd '" + (root / "work").string() + "' && timeout -s KILL 60 '" QZR_CONSOLE
                                "' --headless --script ../script.txt >../out.txt 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    alarm.wait();
    const auto read = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(read(root / "out.txt"), "picture: 640x480 at 10,10,637,481\n1024=7号摄像头  移动帧测报警!!\n");
    MotionAreaMap area;
    for (int r = 1; r <= 7; ++r)
        for (int c = 1; c <= 10; ++c)
            area.At(r, c) = 1;
    area.At(0, 0) = area.At(8, 11) = 1;
    const auto held = camera.MotionArea();
    ASSERT_TRUE(held);
    EXPECT_EQ(held->area, area);
    EXPECT_EQ(held->settings, (MotionSettings{80, 3, 2}));
    EXPECT_EQ(read(root / "work" / "pos.txt"), std::string(area.cells.begin(), area.cells.end()));
    fs::remove_all(root);
}

}  // namespace
}  // namespace qzr::test
