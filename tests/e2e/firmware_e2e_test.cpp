// A firmware upgrade end to end: the built qzr-console under a headless script
// uploads a 300 KB program at 115200 baud to the built qzr-camsim over a
// pseudo-terminal, the camera asking at random with repeats, or losing a
// request; the program the camera writes out is the file, byte for byte.
// Every order and request fault against the in-process camera is in
// tests/app/firmware_test.cpp.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

struct Order {
    const char* name;
    const char* options;  // of qzr-camsim
    const char* logged;   // by qzr-camsim
};
void PrintTo(const Order& order, std::ostream* out) { *out << order.name; }

class FirmwareEndToEnd : public ::testing::TestWithParam<Order> {};

TEST_P(FirmwareEndToEnd, CameraWritesOutTheProgramByteForByte)
{
    const fs::path root = fs::temp_directory_path() / ("qzr-e2e-firmware-" + std::to_string(::getpid()) + GetParam().name);
    fs::create_directories(root);
    std::mt19937 random(300);
    std::string program(300 * 1024, '\0');
    for (char& b : program)
        b = static_cast<char>(random());
    std::ofstream(root / "program.bin", std::ios::binary) << program;
    std::ofstream(root / "script.txt") << "set 1013 " << (root / "camera").string() << "\nclick 1007\nprogress\nfile "
                                       << (root / "program.bin").string()
                                       << "\nclick 1150\nclick 1151\nprint 1141\nwait 3000\nprogress\n"
                                          "until 1024 更新完成 90000\nprogress\n";
    // The camera serves at the link `camera` from the background while the console runs.
    const std::string command = "cd '" + root.string() + "' && { '" QZR_CAMSIM "' --link camera --firmware-out out.bin " +
                                GetParam().options +
                                " >/dev/null 2>camsim.log & camsim=$!; "
                                "for i in $(seq 50); do [ -e camera ] && break; sleep 0.1; done; "
                                "timeout -s KILL 100 '" QZR_CONSOLE "' --headless --script script.txt >out.txt 2>err.txt; "
                                "status=$?; kill $camsim; wait $camsim; exit $status; }";
    const int status = std::system(command.c_str());
    const std::string out = ReadFile(root / "out.txt"), log = ReadFile(root / "camsim.log");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out << ReadFile(root / "err.txt") << log;

    // Idle, the start frame's check bytes, a transfer under way, idle again.
    const std::regex shown("progress: idle\n1141=[0-9a-f]{1,2} [0-9a-f]{1,2}\n"
                           "progress: [1-9][0-9]*/307200 bytes, [1-9][0-9]* B/s\nprogress: idle\n");
    EXPECT_TRUE(std::regex_match(out, shown)) << out;
    EXPECT_TRUE(ReadFile(root / "out.bin") == program) << log;
    EXPECT_NE(log.find(GetParam().logged), std::string::npos) << log;
    std::error_code ec;
    fs::remove_all(root, ec);
}

INSTANTIATE_TEST_SUITE_P(EachOrder, FirmwareEndToEnd,
                         ::testing::Values(Order{"RandomWithRepeats", "--firmware-order random", "complete: 307200 bytes"},
                                           Order{"OneRequestLost", "--firmware-lose 40", "no packet 40 in time, asking again"}),
                         [](const ::testing::TestParamInfo<Order>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qzr::test
