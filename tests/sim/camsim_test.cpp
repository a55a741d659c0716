// qzr-camsim as a user runs it: prints where to connect, answers there with
// pacing on, removes its link when stopped.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/camera_id.h"
#include "tests/sim/raw_client.h"

extern char** environ;

namespace qzr::sim {
namespace {

// qzr-camsim started with `args`, its standard output on a pipe.
class CamsimProcess {
public:
    explicit CamsimProcess(std::vector<std::string> args)
    {
        args.insert(args.begin(), QZR_CAMSIM_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = ::fdopen(out[0], "r");
    }
    ~CamsimProcess() { Terminate(); }

    // The first line the program printed, without its line end.
    std::string FirstLine()
    {
        char line[512] = {};
        if (m_out && std::fgets(line, sizeof line, m_out))
            line[std::strcspn(line, "\n")] = '\0';
        return line;
    }

    // Sends SIGTERM and returns the wait status.
    int Terminate()
    {
        int status = -1;
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
        if (m_out)
            std::fclose(m_out);
        m_out = nullptr;
        return status;
    }

private:
    pid_t m_pid = -1;
    std::FILE* m_out = nullptr;
};

TEST(Camsim, ServesAtTheLinkUntilTerminated)
{
    const auto link = std::filesystem::temp_directory_path() / ("qzr-camsim-" + std::to_string(::getpid()));
    CamsimProcess camsim({"--id", "12", "--baud", "57600", "--link", link.string()});
    ASSERT_EQ(camsim.FirstLine(), link.string());
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

TEST(Camsim, RefusesUnknownOptionsAndRates)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{"--baud", "1200"}, {"--id", "256"}, {"--colour"}}) {
        CamsimProcess camsim(args);
        EXPECT_EQ(camsim.FirstLine(), "") << args[0];
        int status = camsim.Terminate();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args[0] << " " << status;
    }
}

}  // namespace
}  // namespace qzr::sim
