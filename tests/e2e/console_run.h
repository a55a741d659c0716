#pragma once

// The built qzr-console, run headless under a script in a temporary
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

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RunResult {
    int status = -1;  // exit status; 137 when killed after a minute
    std::string out, err;
};

// A temporary directory: `work` is the console's working directory, `config`
// its settings directory (XDG_CONFIG_HOME, so that no run reads or writes the
// user's own settings); the script and the captured output lie beside them.
class ConsoleRun {
public:
    ConsoleRun()
    {
        static int counter = 0;
        m_root = std::filesystem::temp_directory_path() /
                 ("qzr-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(Work());
        std::filesystem::create_directories(Config());
    }
    ~ConsoleRun()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    std::filesystem::path Work() const { return m_root / "work"; }
    std::filesystem::path Config() const { return m_root / "config"; }
    // The console's settings file (factory marker and setting counter).
    std::filesystem::path SettingsFile() const { return Config() / "qzr" / "no.conf"; }

    // Runs `qzr-console --headless --script FILE` in Work().
    RunResult Script(const std::string& script)
    {
        std::ofstream(m_root / "script.txt") << script;
        const std::string command = "cd '" + Work().string() + "' && XDG_CONFIG_HOME='" + Config().string() +
                                    "' exec timeout -s KILL 60 '" QZR_CONSOLE
                                    "' --headless --script ../script.txt >../out.txt 2>../err.txt";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(m_root / "out.txt"), ReadFile(m_root / "err.txt")};
    }

private:
    std::filesystem::path m_root;
};

}  // namespace qzr::test
