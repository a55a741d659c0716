// Camera configuration end to end: the built qzr-console under a headless
// script, as a production line runs it, against the simulated camera over a
// pseudo-terminal, with a settings directory of its own.
#include <gtest/gtest.h>

#include <string>

#include "protocol/camera_id.h"
#include "sim/camera.h"
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

std::unique_ptr<sim::Camera> StartCamera(std::uint8_t id, std::uint32_t baud)
{
    sim::CameraOptions options;
    options.id = id;
    options.baud = baud;
    auto camera = std::make_unique<sim::Camera>(options);
    std::string error;
    EXPECT_TRUE(camera->Start(&error)) << error;
    return camera;
}

bool HasLine(const std::string& text, const std::string& line)
{
    return ("\n" + text + "\n").find("\n" + line + "\n") != std::string::npos;
}

// Camera 1 at 115200 becomes camera 2 at 38400, saved; the console reads it
// back at 38400 and counts it in the workstation's settings.
TEST(ConfigEndToEnd, NewIdAndRateAreReadBackAndCounted)
{
    const auto camera = StartCamera(1, 115200);
    ConsoleRun console;
    std::filesystem::create_directories(console.SettingsFile().parent_path());
    std::ofstream(console.SettingsFile()) << "[General]\nkey=4711\nCount=17\n";

    const RunResult run = console.Script("set 1013 " + camera->DevicePath() +
                                         "\nclick 1007\nprint 1173\nset 1137 1\nset 1138 2\nselect 1016 38400\n"
                                         "check 1139 1\nclick 1136\nprint 1131\nuntil 1173 18 5000\n"
                                         "print 1137\nprint 1138\nprint 1127\nprint 1016\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(run.out, "1173=17\n1131=New ID is set as2\n1137=2\n1138=2\n1127=2\n1016=38400\n");
    EXPECT_EQ(camera->CurrentId(), 2);
    EXPECT_EQ(camera->CurrentBaud(), 38400u);
    const std::string settings = ReadFile(console.SettingsFile());
    EXPECT_TRUE(HasLine(settings, "Count=18")) << settings;
    EXPECT_TRUE(HasLine(settings, "key=4711")) << settings;
}

// A rate typed into the setting-rate combo that termios has no name for.
TEST(ConfigEndToEnd, TypedRateReachesTheCamera)
{
    const auto camera = StartCamera(1, 115200);
    ConsoleRun console;
    const RunResult run = console.Script("set 1013 " + camera->DevicePath() +
                                         "\nclick 1007\nset 1137 1\nset 1138 3\nset 1016 256000\nclick 1136\n"
                                         "until 1173 1 5000\nprint 1137\nprint 1016\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(run.out, "1137=3\n1016=256000\n");
    EXPECT_EQ(camera->CurrentBaud(), 256000u);
    const auto frames = camera->ReceivedFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(IsQueryIdRequest(frames.back())) << "heard at 256000";
    EXPECT_FALSE(std::filesystem::exists(console.SettingsFile())) << "no marker, nothing written";
}

// A camera whose settings nobody remembers is found by "Check", then tells
// its serial number, production date and model.
TEST(ConfigEndToEnd, CheckFindsTheCameraThenReadsWhatItIs)
{
    const auto camera = StartCamera(9, 57600);
    sim::CameraIdentity identity;
    identity.serialNumber = 0x00ABCDEF;
    identity.year = 2023;
    identity.month = 5;
    identity.day = 17;
    identity.modelCode = 0x35;
    identity.functionMode = 3;
    camera->SetIdentity(identity);
    ConsoleRun console;
    const RunResult run = console.Script("set 1013 " + camera->DevicePath() +
                                         "\nclick 1135\nprint 1137\nprint 1138\nprint 1127\nprint 1014\nprint 1016\n"
                                         "click 1018\nuntil 1149 Production 5000\nprint 1149\n"
                                         "click 1179\nuntil 1024 Complete 5000\nprint 1024\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(run.out,
              "1137=9\n1138=9\n1127=9\n1014=57600\n1016=57600\n"
              "1149=Serial Number abcdef   Production date 5/17  2023  \n"
              "1024=Complete： QZR-H5  Mode：3\n");
}

}  // namespace
}  // namespace qzr::test
