#pragma once

// The built qzr-console, run headless under a script in a temporary
// directory, as a production line runs it, against the simulated camera.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sim/camera.h"

namespace qzr::test {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The pictures saved in `folder`.
inline std::vector<fs::path> Pictures(const fs::path& folder)
{
    std::vector<fs::path> pictures;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".jpg")
            pictures.push_back(entry.path());
    return pictures;
}

// A simulated camera on a pseudo-terminal, started; it sends as fast as the
// line takes its bytes unless `pacing`.
inline std::unique_ptr<sim::Camera> StartCamera(std::uint8_t id = 1, std::uint32_t baud = 115200, bool pacing = false)
{
    sim::CameraOptions options;
    options.id = id;
    options.baud = baud;
    options.pacing = pacing;
    auto camera = std::make_unique<sim::Camera>(options);
    std::string error;
    EXPECT_TRUE(camera->Start(&error)) << error;
    return camera;
}

struct RunResult {
    int status = -1;  // exit status; 137 when killed after 100 s
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
        m_root = fs::temp_directory_path() / ("qzr-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(Work());
        fs::create_directories(Config());
    }
    ~ConsoleRun()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    const fs::path& Root() const { return m_root; }
    fs::path Work() const { return m_root / "work"; }
    fs::path Config() const { return m_root / "config"; }
    // The console's settings file (factory marker and setting counter).
    fs::path SettingsFile() const { return Config() / "qzr" / "no.conf"; }

    // Runs `qzr-console --headless --script FILE` in Work(). With `camsim`
    // options, qzr-camsim runs meanwhile as a program of its own, in Work(),
    // serving at Root()/camera and logging to Root()/camsim.log.
    RunResult Script(const std::string& script, const std::string& camsim = "")
    {
        std::ofstream(m_root / "script.txt") << script;
        std::string command = "cd '" + Work().string() + "' && ";
        if (!camsim.empty())
            command += "{ '" QZR_CAMSIM "' --link ../camera " + camsim +
                       " >/dev/null 2>../camsim.log & camsim=$!; "
                       "for i in $(seq 50); do [ -e ../camera ] && break; sleep 0.1; done; }; ";
        command += "XDG_CONFIG_HOME='" + Config().string() + "' timeout -s KILL 100 '" QZR_CONSOLE
                   "' --headless --script ../script.txt >../out.txt 2>../err.txt; status=$?; ";
        if (!camsim.empty())
            command += "kill $camsim; wait $camsim; ";
        const int status = std::system((command + "exit $status").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(m_root / "out.txt"), ReadFile(m_root / "err.txt")};
    }

private:
    fs::path m_root;
};

}  // namespace qzr::test
