// Each subsystem end to end against the simulated camera (pictures per transfer mode: fault_e2e_test.cpp).
// Controls: 1013 port, 1007 Open Comms, 1008 Close Comms, 1009 Snapshot, 1024 log, 1036 status, 1129 Save.
#include <algorithm>
#include <future>
#include <random>
#include <regex>

#include "protocol/camera_id.h"
#include "sim/picture.h"
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

std::string Open(const sim::Camera& camera) { return "set 1013 " + camera.DevicePath() + "\nclick 1007\n"; }

// The first failing line ends the run with status 1 and its reason.
TEST(ScriptEndToEnd, UnknownControlStopsTheScript)
{
    const RunResult run = ConsoleRun().Script("print 1036\nclick 4242\nprint 1024\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("4242"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "1036=\n") << "nothing after the failing line";
}

// A burst of 3, the latest listed, the second fetched and drawn; then a quick shot.
TEST(BurstEndToEnd, BurstListFetchAndQuickShot)
{
    const auto camera = StartCamera();
    const RunResult run = ConsoleRun().Script(
        "click 1187\n" + Open(*camera) + "select 1124 160x120\nset 1193 3\nset 1195 1\nclick 1008\nuntil 1024 连拍完成 20000\n"
        "click 1009\nuntil 1021 共有3个图片文件 5000\nprint 1186\ndblclick 1186 1\nuntil 1021 Show Jpeg--OK 20000\n"
        "click 1\nclick 1015\nset 1013 " + camera->DevicePath() + "\nclick 1008\nclick 1007\nuntil 1131 show 30000\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    const std::vector<std::string> names = camera->StoredPictureNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(run.out, "1186=1\t" + names[0] + "\t\n2\t" + names[1] + "\t\n3\t" + names[2] + "\t\nmessage: " + names[1] +
                           "\npicture: 160x120 at 112,24,580,435\npicture: 640x480 at 0,0,800,490\n");
}

// "Check" finds a forgotten camera and its model; then camera 2 at an odd typed rate, read back, counted.
TEST(ConfigEndToEnd, CheckFindsTheCameraThenANewIdAndRateAreReadBackAndCounted)
{
    const auto camera = StartCamera(9, 57600);
    camera->SetIdentity({0x00ABCDEF, 2023, 5, 17, true, 0x35, 3});
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
    EXPECT_TRUE(!frames.empty() && IsQueryIdRequest(frames.back())) << "heard at 256000";
    const std::string settings = "\n" + ReadFile(console.SettingsFile()) + "\n";
    EXPECT_NE(settings.find("\nCount=18\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\nkey=4711\n"), std::string::npos) << settings;
}

// qzr-camsim asks for a 300 KB program out of order, one request lost, and writes it out byte for byte.
TEST(FirmwareEndToEnd, CameraWritesOutTheProgramByteForByte)
{
    ConsoleRun console;
    std::mt19937 random(300);
    std::string program(300 * 1024, '\0');
    for (char& b : program)
        b = static_cast<char>(random());
    std::ofstream(console.Root() / "program.bin", std::ios::binary) << program;
    const RunResult run = console.Script("set 1013 " + (console.Root() / "camera").string() + "\nclick 1007\nprogress\nfile " +
                                             (console.Root() / "program.bin").string() +
                                             "\nclick 1150\nclick 1151\nprint 1141\nwait 3000\nprogress\n"
                                             "until 1024 更新完成 90000\nprogress\n",
                                         {"--firmware-out", "../out.bin", "--firmware-order", "random", "--firmware-lose", "40"});
    const std::string log = ReadFile(console.Root() / "camsim.err");
    EXPECT_EQ(run.status, 0) << run.out << run.err << log;
    // Idle, the start frame's check bytes, a transfer under way, idle again.
    const std::regex shown("progress: idle\n1141=[0-9a-f]{1,2} [0-9a-f]{1,2}\n"
                           "progress: [1-9][0-9]*/307200 bytes, [1-9][0-9]* B/s\nprogress: idle\n");
    EXPECT_TRUE(std::regex_match(run.out, shown)) << run.out;
    EXPECT_TRUE(ReadFile(console.Root() / "out.bin") == program) << log;
    EXPECT_NE(log.find("no packet 40 in time, asking again"), std::string::npos) << log;
}

// Focusing by hand past the peak shows values that rise and fall; then a picture.
TEST(LensEndToEnd, ManualFocusPastThePeakThenStopAndSnapshot)
{
    const auto camera = StartCamera(1, 115200, /*pacing=*/true);
    ConsoleRun console;
    const RunResult run = console.Script(Open(*camera) + "check 1129 1\nclick 1123\nclick 1166\nclick 1168\nprint 1168\nwait " +
                                         std::to_string(sim::kFocusPeakAt.count() + 2000) +
                                         "\nclick 1171\nuntil 1024 ---OK 10000\nprint 1168\nprint 1170\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    ASSERT_EQ(run.out.rfind("1168=Stop Focusing\npicture: 640x480 at ", 0), 0u) << run.out;
    EXPECT_EQ(run.out.find("picture:", run.out.find("picture:") + 1), std::string::npos) << "one picture only";
    EXPECT_NE(run.out.find("\n1168=Start Focusing\n"), std::string::npos) << run.out;
    EXPECT_EQ(SavedPictures(console.Work(), *camera), 1u);

    // The camera text box's lines, "1,234\r\n" each as `print` shows them.
    std::vector<std::uint64_t> values;
    std::string text = run.out.substr(run.out.find("1170="));
    std::erase(text, ',');
    const std::regex line("([0-9]+)\\\\r\\\\n");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it)
        values.push_back(std::stoull((*it)[1]));
    ASSERT_GE(values.size(), 10u) << run.out;
    const auto peak = std::max_element(values.begin(), values.end());
    EXPECT_TRUE(peak != values.begin() && peak + 1 != values.end()) << run.out;
    EXPECT_TRUE(std::is_sorted(values.begin(), peak + 1) && std::is_sorted(peak, values.end(), std::greater<>())) << run.out;
    const sim::LensRecord lens = camera->Lens();
    EXPECT_EQ(lens.led, true);
    EXPECT_EQ(lens.testPatterns, std::vector<bool>{false});
    EXPECT_LE(lens.focusPolls - values.size(), 1u) << "only a poll sent as focusing stopped may go unshown";
}

// An area marked over an imported picture reaches the camera; its alarm the log box.
TEST(MotionEndToEnd, AreaReachesTheCameraAndItsAlarmTheLogBox)
{
    const auto camera = StartCamera();
    ConsoleRun console;
    const Bytes scene = sim::MakeTestPicture({});
    std::ofstream(console.Root() / "scene.jpg", std::ios::binary).write(reinterpret_cast<const char*>(scene.data()), scene.size());
    auto alarm = std::async(std::launch::async, [&camera] {
        for (int i = 0; i < 2000 && !camera->MotionArea(); ++i)
            std::this_thread::sleep_for(10ms);
        camera->RaiseMotionAlarm(7);
    });
    const RunResult run = console.Script(Open(*camera) + "click 1122\nclick 1011\nlclick 20 20\nlclick 640 480\nfile " +
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
