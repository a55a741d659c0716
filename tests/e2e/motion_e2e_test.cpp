// Motion detection end to end: the built qzr-console, headless under a script,
// marks an area over an imported picture and confirms it; the simulated
// camera holds that area, and its alarm shows in the console's log box.
#include <future>
#include <thread>

#include "sim/picture.h"
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

TEST(MotionEndToEnd, AreaReachesTheCameraAndItsAlarmTheLogBox)
{
    const auto camera = StartCamera();
    ConsoleRun console;
    const Bytes scene = sim::MakeTestPicture({});
    std::ofstream(console.Root() / "scene.jpg", std::ios::binary).write(reinterpret_cast<const char*>(scene.data()), scene.size());
    auto alarm = std::async(std::launch::async, [&camera] {  // as camera 7, once it holds an area
        for (int i = 0; i < 2000 && !camera->MotionArea(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        camera->RaiseMotionAlarm(7);
    });
    // Motion Detection, Central, two corner cells, the picture, density 2, OK.
    const RunResult run = console.Script("set 1013 " + camera->DevicePath() +
                                         "\nclick 1007\nclick 1122\nclick 1011\nlclick 20 20\nlclick 640 480\nfile " +
                                         (console.Root() / "scene.jpg").string() +
                                         "\nclick 1122\nset 1196 2\nclick 1\nuntil 1024 移动帧测报警 20000\nprint 1024\n");
    alarm.wait();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "picture: 640x480 at 10,10,637,481\n1024=7号摄像头  移动帧测报警!!\n");
    MotionAreaMap area;
    for (int r = 1; r <= 7; ++r)
        for (int c = 1; c <= 10; ++c)
            area.At(r, c) = 1;
    area.At(0, 0) = area.At(8, 11) = 1;
    const auto held = camera->MotionArea();
    ASSERT_TRUE(held);
    EXPECT_EQ(held->area, area);
    EXPECT_EQ(held->settings, (MotionSettings{80, 3, 2}));
    EXPECT_EQ(ReadFile(console.Work() / "pos.txt"), std::string(area.cells.begin(), area.cells.end()));
}

}  // namespace
}  // namespace qzr::test
