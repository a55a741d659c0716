#pragma once

// The built qzr-console, run headless under a script in a temporary working
// directory, as a production line runs it.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qzr::test {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RunResult {
    int status = -1;  // exit status; 137 when killed after a minute
    std::string out, err;
};

// A temporary directory: `work` is the console's working directory, the
// script and the captured output lie beside it.
class ConsoleRun {
public:
    ConsoleRun()
    {
        static int counter = 0;
        m_root = fs::temp_directory_path() / ("qzr-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(Work());
    }
    ~ConsoleRun()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    fs::path Work() const { return m_root / "work"; }

    // Runs `qzr-console --headless --script FILE` in Work().
    RunResult Script(const std::string& script)
    {
        std::ofstream(m_root / "script.txt") << script;
        const std::string command = "cd '" + Work().string() + "' && exec timeout -s KILL 60 '" QZR_CONSOLE
                                    "' --headless --script ../script.txt >../out.txt 2>../err.txt";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(m_root / "out.txt"), ReadFile(m_root / "err.txt")};
    }

private:
    fs::path m_root;
};

}  // namespace qzr::test
