// Camera configuration end to end: the built qzr-console under a headless
// script, as a production line runs it, against the simulated camera over a
// pseudo-terminal, with a settings directory of its own.
#include "protocol/camera_id.h"
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

// A camera whose settings nobody remembers is found by "Check" and tells its
// serial number, production date and model; it then becomes camera 2 at a
// rate typed into the setting-rate combo that termios has no name for, saved.
// The console reads it back at that rate and counts it in the workstation's
// settings.
TEST(ConfigEndToEnd, CheckFindsTheCameraThenANewIdAndRateAreReadBackAndCounted)
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
    fs::create_directories(console.SettingsFile().parent_path());
    std::ofstream(console.SettingsFile()) << "[General]\nkey=4711\nCount=17\n";

    const RunResult run = console.Script("set 1013 " + camera->DevicePath() +
                                         "\nclick 1135\nprint 1137\nprint 1138\nprint 1127\nprint 1014\nprint 1016\n"
                                         "click 1018\nuntil 1149 Production 5000\nprint 1149\n"
                                         "click 1179\nuntil 1024 Complete 5000\nprint 1024\n"
                                         "print 1173\nset 1138 2\nset 1016 256000\nclick 1136\nprint 1131\nuntil 1173 18 5000\n"
                                         "print 1137\nprint 1127\nprint 1016\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(run.out,
              "1137=9\n1138=9\n1127=9\n1014=57600\n1016=57600\n"
              "1149=Serial Number abcdef   Production date 5/17  2023  \n"
              "1024=Complete： QZR-H5  Mode：3\n"
              "1173=17\n1131=New ID is set as2\n1137=2\n1127=2\n1016=256000\n");
    EXPECT_EQ(camera->CurrentId(), 2);
    EXPECT_EQ(camera->CurrentBaud(), 256000u);
    const auto frames = camera->ReceivedFrames();
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(IsQueryIdRequest(frames.back())) << "heard at 256000";
    const std::string settings = "\n" + ReadFile(console.SettingsFile()) + "\n";
    EXPECT_NE(settings.find("\nCount=18\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\nkey=4711\n"), std::string::npos) << settings;
}

}  // namespace
}  // namespace qzr::test
