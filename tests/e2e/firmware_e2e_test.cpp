// A firmware upgrade end to end: the built qzr-console under a headless script
// uploads a 300 KB program at 115200 baud to the built qzr-camsim over a
// pseudo-terminal. The camera asks for the packets in a random order with
// repeats and lets one request go unanswered; the program it writes out is
// the file, byte for byte. The other orders and faults are the window tests'.
#include <random>
#include <regex>

#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

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
                                         "--firmware-out ../out.bin --firmware-order random --firmware-lose 40");
    const std::string log = ReadFile(console.Root() / "camsim.log");
    EXPECT_EQ(run.status, 0) << run.out << run.err << log;

    // Idle, the start frame's check bytes, a transfer under way, idle again.
    const std::regex shown("progress: idle\n1141=[0-9a-f]{1,2} [0-9a-f]{1,2}\n"
                           "progress: [1-9][0-9]*/307200 bytes, [1-9][0-9]* B/s\nprogress: idle\n");
    EXPECT_TRUE(std::regex_match(run.out, shown)) << run.out;
    EXPECT_TRUE(ReadFile(console.Root() / "out.bin") == program) << log;
    EXPECT_NE(log.find("no packet 40 in time, asking again"), std::string::npos) << log;
    EXPECT_NE(log.find("complete: 307200 bytes"), std::string::npos) << log;
}

}  // namespace
}  // namespace qzr::test
