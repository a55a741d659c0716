// The built qzr-console against a misbehaving camera (line lost and back, wrong rate, noise, rival console):
// it lives on, says what happened, saves no damaged picture, keeps memory flat, and takes a picture after.
#include <random>

#include "sim/picture.h"
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

// When the camera misbehaves, and how.
enum class When { AtStart, FrameHeard, HalfPictureSent, NotUnderstood };
enum class Fault { None, Unplug, NoiseForReply, SecondConsole };

struct FaultCase {
    const char* name;
    std::uint32_t cameraBaud;
    std::string script;
    When when;
    Fault fault;
    std::vector<std::string> printed;  // what the script's output holds
    std::size_t pictures;              // saved, each the camera's own
};

// The camera's link lies beside the console's working directory.
const std::string kDevice = "../camera";
const std::string kOpen = "set 1013 " + kDevice + "\nclick 1007\n";
const std::string kHangUp = "Serial port disconnected: " + kDevice;
const std::string kReopen = "click 1008\nclick 1007\nselect 1124 320x240\nclick 1009\nuntil 1036 show JPG 30000\n";
const std::string kReported = "until 1036 Serial port disconnected 15000\nwait 1500\nprint 1036\nprint 1024\n";
const std::string kBigPicture = "check 1129 1\nselect 1124 1600x1200\nselect 1125 0\nclick 1009\n";
// A pseudo-terminal passes at most 4095 bytes a tick: the megabyte takes some 26 s, then Snapshot is pressed.
const std::string kAfterNoise = "wait 40000\ncheck 1129 1\nclick 1009\nuntil 1036 show JPG 30000\n";
constexpr std::size_t kNoiseBytes = 1 << 20;

const FaultCase kCases[] = {
    {"UnplugMidWholePackage", 115200, kOpen + kBigPicture + kReported + kReopen, When::HalfPictureSent, Fault::Unplug,
     {"1036=Serial port disconnected\n", kHangUp + "\\r\\n", "picture: 320x240"}, 1},
    {"UnplugMidNumberedTransfer", 115200,
     kOpen + "check 1106 1\ncheck 1140 0\nset 1133 512\n" + kBigPicture + kReported + kReopen, When::HalfPictureSent,
     Fault::Unplug, {"1036=Serial port disconnected\n", kHangUp + "\\r\\n", "picture: 320x240"}, 1},
    {"UnplugUnderTheBurstWindow", 115200,
     "click 1187\n" + kOpen + "click 1009\nuntil 1131 Serial port disconnected 15000\nwait 1000\nprint 1021\n"
     "click 1007\nclick 1007\nprint 1131\n",
     When::FrameHeard, Fault::Unplug, {kHangUp + "\\r\\n", "1131=Open" + kDevice + "\n"}, 0},
    {"UnplugUnderTheQuickShotWindow", 115200,
     "click 1015\nset 1013 " + kDevice + "\nclick 1008\nclick 1007\nuntil 1131 Serial port disconnected 15000\nwait 1000\n"
     "click 1008\nclick 1008\nprint 1131\nclick 1008\nclick 1009\n",
     When::FrameHeard, Fault::Unplug, {"1131=Open" + kDevice + "\n"}, 0},
    {"CameraAtAnotherRate", 9600, kOpen + "check 1129 1\nclick 1009\nwait 3000\nprint 1036\n", When::NotUnderstood,
     Fault::None, {"1036=begin\n"}, 0},
    {"NoiseWhileIdleThenAsTheSnapshotReply", 115200, kOpen + "check 1106 1\nwait 3000\nclick 1009\n" + kAfterNoise,
     When::AtStart, Fault::NoiseForReply, {"picture: 640x480"}, 1},
    {"SecondConsoleOnThePort", 115200, kOpen + "print 1036\nwait 5000\n", When::AtStart, Fault::SecondConsole,
     {"1036=Open serial port" + kDevice + "\n"}, 0},
};

// The peak memory of a console that takes one picture from a well-behaved camera.
long QuietPeakKb()
{
    static const long peak = [] {
        ConsoleRun dirs;
        const auto camera = StartCamera(1, 115200, false, (dirs.Root() / "camera").string());
        const auto console = dirs.Start("quiet", kOpen + "check 1106 1\nclick 1009\nuntil 1036 show JPG 30000\n");
        EXPECT_TRUE(console->Wait() && console->Status() == 0) << console->Output();
        return console->PeakKb();
    }();
    return peak;
}

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class FaultEndToEnd : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultEndToEnd, ConsoleLivesOnAndTakesAPictureAfter)
{
    const FaultCase& c = GetParam();
    ConsoleRun dirs;
    // Paced, a transfer is slow enough to be caught halfway.
    const std::string link = (dirs.Root() / "camera").string();
    auto camera = StartCamera(1, c.cameraBaud, c.fault == Fault::Unplug, link);
    camera->SetAnswering(c.fault != Fault::NoiseForReply);
    const auto console = dirs.Start("console", c.script);

    // The camera's misbehaviour, when its moment comes.
    const auto due = [&](const sim::CameraStats& stats) {
        return c.when == When::AtStart || (c.when == When::NotUnderstood ? stats.bytesNotUnderstood : stats.framesReceived) > 0;
    };
    ASSERT_TRUE(camera->WaitUntil(due, 30s)) << "the moment never came";
    if (c.when == When::HalfPictureSent) {
        // The request was heard; the picture's first half takes this long on the line.
        const std::size_t half = sim::MakeTestPicture({11, 0, false, 1}).size() / 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(half * 11 * 1000 / c.cameraBaud));
    }
    switch (c.fault) {
    case Fault::Unplug:
        // The camera's side vanishes; a camera comes back under the same name.
        camera.reset();
        std::this_thread::sleep_for(300ms);
        camera = StartCamera(1, c.cameraBaud, true, link);
        break;
    case Fault::NoiseForReply: {
        std::mt19937 random(7);
        Bytes noise(kNoiseBytes);
        for (auto& b : noise)
            b = static_cast<std::uint8_t>(random());
        camera->SendRaw(noise);
        camera->SetAnswering(true);
        break;
    }
    case Fault::SecondConsole: {
        for (int i = 0; i < 500 && console->Output().find("1036=Open") == std::string::npos; ++i)
            std::this_thread::sleep_for(20ms);
        const auto second = dirs.Start("second", kOpen + "print 1036\n");
        ASSERT_TRUE(second->Wait());
        EXPECT_NE(second->Output().find("message: Serial port is already in use"), std::string::npos) << second->Output();
        EXPECT_EQ(second->Output().find("1036=Open serial port"), std::string::npos) << second->Output();
        break;
    }
    case Fault::None:
        break;
    }

    ASSERT_TRUE(console->Wait()) << "the console hung";
    const std::string out = console->Output();
    EXPECT_EQ(console->Status(), 0) << out << ReadFile(dirs.Root() / "console.err");
    for (const std::string& text : c.printed)
        EXPECT_NE(out.find(text), std::string::npos) << text << " in\n" << out;
    // Said once per hang-up, however long the port stays open on the dead line.
    EXPECT_EQ(out.find(kHangUp, out.find(kHangUp) + 1), std::string::npos) << out;
    EXPECT_EQ(SavedPictures(dirs.Work(), *camera), c.pictures) << out;
    EXPECT_TRUE(c.when != When::NotUnderstood || camera->Stats().framesReceived == 0) << "no frame heard at another rate";
    // A megabyte of noise leaves the console's memory where a quiet run has it.
    if (c.fault == Fault::NoiseForReply) {
        EXPECT_LT(console->PeakKb(), QuietPeakKb() + 4096) << "peak " << console->PeakKb() << " KiB";
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultEndToEnd, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qzr::test
