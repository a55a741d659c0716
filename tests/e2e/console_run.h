#pragma once

// The built qzr-console run headless under a script, to its end or while the test plays the camera.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/camera.h"

namespace qzr::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How many pictures lie in `folder`; each must be the camera's latest.
inline std::size_t SavedPictures(const fs::path& folder, const sim::Camera& camera)
{
    const Bytes made = camera.LastPicture();
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".jpg")
            continue;
        ++count;
        EXPECT_TRUE(ReadFile(entry.path()) == std::string(made.begin(), made.end())) << entry.path() << " is damaged";
    }
    return count;
}

// A simulated camera on a pseudo-terminal, started; paced at the line rate if `pacing`.
inline std::unique_ptr<sim::Camera> StartCamera(std::uint8_t id = 1, std::uint32_t baud = 115200, bool pacing = false,
                                                const std::string& link = "")
{
    auto camera = std::make_unique<sim::Camera>(sim::CameraOptions{id, baud, pacing, link, ""});
    std::string error;
    EXPECT_TRUE(camera->Start(&error)) << error;
    return camera;
}

// A program in `dir`, settings in `config`, stdin `in`, output `stem`.out/.err; killed at 100 s or dropped.
// It inherits no descriptor: one holding the camera's side would hide a hang-up.
class Child {
public:
    Child(const fs::path& dir, std::vector<std::string> argv, const fs::path& config, const fs::path& in,
          const fs::path& stem)
        : m_out(stem.string() + ".out")
    {
        std::vector<char*> args;
        for (std::string& arg : argv)
            args.push_back(arg.data());
        args.push_back(nullptr);
        const std::string errors = stem.string() + ".err";
        m_pid = ::fork();
        if (m_pid != 0)
            return;
        ::dup2(::open(in.c_str(), O_RDONLY), 0);
        ::dup2(::open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        ::close_range(3, ~0U, 0);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::alarm(100);
        if (::chdir(dir.c_str()) == 0)
            ::execv(args[0], args.data());
        ::_exit(127);
    }
    ~Child() { Stop(SIGKILL); }
    // Waits for the end; false when the program was killed.
    bool Wait()
    {
        if (m_pid > 0 && !m_done) {
            int status = 0;
            rusage usage{};
            m_done = ::wait4(m_pid, &status, 0, &usage) == m_pid;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            m_peakKb = usage.ru_maxrss;
        }
        return m_status >= 0;
    }
    // Ends the program with `signal` if it still runs.
    void Stop(int signal)
    {
        if (m_pid > 0 && !m_done) {
            ::kill(m_pid, signal);
            Wait();
        }
    }
    std::string Output() const { return ReadFile(m_out); }
    int Status() const { return m_status; }
    long PeakKb() const { return m_peakKb; }

private:
    fs::path m_out;
    pid_t m_pid = -1;
    bool m_done = false;
    int m_status = -1;  // -1 when killed
    long m_peakKb = 0;
};

struct RunResult {
    int status = -1;  // exit status; -1 when killed after 100 s
    std::string out, err;
};

// A temporary directory: Work() for the console, Config() for its settings (not the user's), outputs beside.
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

    // Starts `qzr-console --headless` on Root()/`name`.script, or stdin with `args`; writes `name`.out/.err.
    std::unique_ptr<Child> Start(const std::string& name, const std::string& script, std::vector<std::string> args = {})
    {
        const fs::path file = m_root / (name + ".script");
        std::ofstream(file) << script;
        std::vector<std::string> argv = {QZR_CONSOLE, "--headless", "--script", args.empty() ? file.string() : "-"};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<Child>(Work(), argv, Config(), args.empty() ? "/dev/null" : file, m_root / name);
    }

    // Runs `script` to its end; with `camsim` options qzr-camsim serves Root()/camera, logs in camsim.err.
    RunResult Script(const std::string& script, std::vector<std::string> camsim = {})
    {
        std::unique_ptr<Child> camera;
        if (!camsim.empty()) {
            camsim.insert(camsim.begin(), {QZR_CAMSIM, "--link", "../camera"});
            camera = std::make_unique<Child>(Work(), camsim, Config(), "/dev/null", m_root / "camsim");
            for (int i = 0; i < 250 && !fs::exists(m_root / "camera"); ++i)
                std::this_thread::sleep_for(20ms);
        }
        const auto console = Start("script", script);
        console->Wait();
        if (camera)
            camera->Stop(SIGTERM);
        return {console->Status(), console->Output(), ReadFile(m_root / "script.err")};
    }

private:
    fs::path m_root;
};

}  // namespace qzr::test
