// qzr-camsim as a user runs it: prints where to connect, answers there with
// pacing on, removes its link when stopped, refuses bad options.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "protocol/camera_id.h"
#include "protocol/motion.h"
#include "tests/sim/raw_client.h"

namespace qzr::sim {
namespace {

// qzr-camsim started through the shell, which prints its own process id and
// then becomes the program.
class Camsim {
public:
    explicit Camsim(const std::string& args)
        : m_out(::popen(("echo $$; exec '" QZR_CAMSIM_PATH "' " + args).c_str(), "r")), m_pid(std::atoi(Line().c_str()))
    {
    }
    ~Camsim() { Terminate(); }

    // The next line printed, without its line end; empty at the end of the output.
    std::string Line()
    {
        char line[512] = {};
        if (m_out && std::fgets(line, sizeof line, m_out))
            line[std::strcspn(line, "\n")] = '\0';
        return line;
    }

    void Signal(int signal)
    {
        if (m_pid > 0)
            ::kill(m_pid, signal);
    }

    // Sends SIGTERM and returns the wait status.
    int Terminate()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGTERM);
        m_pid = 0;
        const int status = m_out ? ::pclose(m_out) : -1;
        m_out = nullptr;
        return status;
    }

private:
    std::FILE* m_out;
    pid_t m_pid;
};

TEST(Camsim, ServesAtTheLinkUntilTerminated)
{
    const auto link = std::filesystem::temp_directory_path() / ("qzr-camsim-" + std::to_string(::getpid()));
    Camsim camsim("--id 12 --baud 57600 --link " + link.string());
    ASSERT_EQ(camsim.Line(), link.string());
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    {
        test::RawClient client(link.string(), 57600);
        client.SendFrame(BuildQueryIdRequest());
        const Bytes reply = client.Read(11);
        EXPECT_EQ(ParseQueryIdReply(reply), 12);
        EXPECT_TRUE(HasValidCrc(reply));
    }
    const int status = camsim.Terminate();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// A motion alarm on SIGUSR1 and every so often, as the camera given.
TEST(Camsim, RaisesMotionAlarms)
{
    Camsim camsim("--no-pacing --alarm-every 700 --alarm-id 9");
    test::RawClient client(camsim.Line());
    camsim.Signal(SIGUSR1);
    EXPECT_EQ(client.Read(12, 400), BuildMotionAlarm(9)) << "at once";
    EXPECT_EQ(client.Read(12), BuildMotionAlarm(9)) << "after 700 ms";
}

TEST(Camsim, RefusesUnknownOptionsAndRates)
{
    for (const char* args : {"--baud 1200", "--id 256", "--colour", "--alarm-every 0", "--alarm-id 256"}) {
        Camsim camsim(args);
        EXPECT_EQ(camsim.Line(), "") << args;
        const int status = camsim.Terminate();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args << " " << status;
    }
}

}  // namespace
}  // namespace qzr::sim
