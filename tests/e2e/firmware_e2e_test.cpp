// A firmware upgrade end to end: the built qzr-console under a headless script
// uploads a 300 KB program at 115200 baud to the built qzr-camsim over a
// pseudo-terminal, in each order the camera may ask for the packets, and the
// program the camera writes out is the file, byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>

namespace qzr::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// qzr-camsim started through the shell, which prints its own process id and
// then becomes the program; its log goes to `log`.
class Camsim {
public:
    Camsim(const std::string& args, const fs::path& log)
        : m_out(::popen(("echo $$; exec '" QZR_CAMSIM "' " + args + " 2>'" + log.string() + "'").c_str(), "r")),
          m_pid(std::atoi(Line().c_str()))
    {
    }
    ~Camsim()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGTERM);
        if (m_out)
            ::pclose(m_out);
    }
    std::string Line()
    {
        char line[512] = {};
        if (m_out && std::fgets(line, sizeof line, m_out))
            line[std::strcspn(line, "\n")] = '\0';
        return line;
    }

private:
    std::FILE* m_out;
    pid_t m_pid;
};

struct Order {
    const char* name;
    const char* options;  // of qzr-camsim
};

void PrintTo(const Order& order, std::ostream* out) { *out << order.name; }

class FirmwareEndToEnd : public ::testing::TestWithParam<Order> {
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("qzr-e2e-firmware-" + std::to_string(::getpid()) + "-" + GetParam().name);
        fs::create_directories(m_root);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    fs::path m_root;
};

TEST_P(FirmwareEndToEnd, CameraWritesOutTheProgramByteForByte)
{
    std::mt19937 random(300);
    std::string program(300 * 1024, '\0');
    for (char& b : program)
        b = static_cast<char>(random());
    std::ofstream(m_root / "program.bin", std::ios::binary) << program;

    Camsim camsim("--firmware-out '" + (m_root / "out.bin").string() + "' " + GetParam().options, m_root / "camsim.log");
    const std::string device = camsim.Line();
    ASSERT_FALSE(device.empty());
    std::ofstream(m_root / "script.txt") << "set 1013 " << device << "\nclick 1007\nprogress\nfile "
                                         << (m_root / "program.bin").string()
                                         << "\nclick 1150\nclick 1151\nprint 1141\nwait 3000\nprogress\n"
                                            "until 1024 更新完成 90000\nprogress\n";
    const std::string command = "cd '" + m_root.string() + "' && exec timeout -s KILL 100 '" QZR_CONSOLE
                                "' --headless --script script.txt >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    const std::string out = ReadFile(m_root / "out.txt");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << out << ReadFile(m_root / "err.txt") << ReadFile(m_root / "camsim.log");

    // Idle, the start frame's check bytes, a transfer under way, idle again.
    const std::regex shown("progress: idle\n1141=[0-9a-f]{1,2} [0-9a-f]{1,2}\n"
                           "progress: [1-9][0-9]*/307200 bytes, [1-9][0-9]* B/s\nprogress: idle\n");
    EXPECT_TRUE(std::regex_match(out, shown)) << out;
    EXPECT_TRUE(ReadFile(m_root / "out.bin") == program) << ReadFile(m_root / "camsim.log");
}

INSTANTIATE_TEST_SUITE_P(EachOrder, FirmwareEndToEnd,
                         ::testing::Values(Order{"InOrder", "--firmware-order in-order"},
                                           Order{"Reverse", "--firmware-order reverse"},
                                           Order{"RandomWithRepeats", "--firmware-order random"},
                                           Order{"OneRequestLost", "--firmware-lose 40"}),
                         [](const ::testing::TestParamInfo<Order>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qzr::test
