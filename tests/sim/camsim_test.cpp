// qzr-camsim as a user runs it: where to connect, paced answers, alarms, link removal, bad options.
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

// qzr-camsim via a shell that prints its pid then execs it; Line() gives the next output line ("" at end).
struct Camsim {
    explicit Camsim(const std::string& args) : out(::popen(("echo $$; exec '" QZR_CAMSIM_PATH "' " + args).c_str(), "r")) {}
    ~Camsim() { Terminate(); }
    std::string Line()
    {
        char line[512] = {};
        if (out && std::fgets(line, sizeof line, out))
            line[std::strcspn(line, "\n")] = '\0';
        return line;
    }
    // Sends SIGTERM and returns the wait status.
    int Terminate()
    {
        if (pid > 0)
            ::kill(pid, SIGTERM);
        pid = 0;
        const int status = out ? ::pclose(out) : -1;
        out = nullptr;
        return status;
    }
    std::FILE* out;
    pid_t pid = std::atoi(Line().c_str());
};

// Answers at its link at the given rate, alarms on SIGUSR1 and on a timer, removes its link when terminated.
TEST(Camsim, ServesAtTheLinkAndRaisesAlarmsUntilTerminated)
{
    const auto link = std::filesystem::temp_directory_path() / ("qzr-camsim-" + std::to_string(::getpid()));
    Camsim camsim("--id 12 --baud 57600 --alarm-every 700 --alarm-id 9 --link " + link.string());
    ASSERT_EQ(camsim.Line(), link.string());
    {
        test::RawClient client(link.string(), 57600);
        client.SendFrame(BuildQueryIdRequest());
        const Bytes reply = client.Read(11);
        EXPECT_EQ(ParseQueryIdReply(reply), 12);
        EXPECT_TRUE(HasValidCrc(reply));
        ::kill(camsim.pid, SIGUSR1);
        EXPECT_EQ(client.Read(12, 400), BuildMotionAlarm(9)) << "at once";
        EXPECT_EQ(client.Read(12), BuildMotionAlarm(9)) << "after 700 ms";
    }
    const int status = camsim.Terminate();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
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
