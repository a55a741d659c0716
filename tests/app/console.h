#pragma once

// The main window on the headless backend with a virtual clock, and a camera
// played by the test on the master side of a pseudo-terminal.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/camera_test_dlg.h"
#include "headless/backend.h"
#include "protocol/frame.h"
#include "res/resource.h"
#include "tests/support/pty.h"

namespace qzr::test {

class Console {
public:
    explicit Console(std::optional<std::vector<std::string>> ports = std::vector<std::string>{})
        : m_scope(backend)
    {
        dialog.SetPortSource([ports] { return ports; });
    }
    ~Console()
    {
        if (backend.IsOpen(dialog))
            backend.Close(dialog);
        dialog.Session().Port().Close();
    }

    void Open() { backend.Open(dialog); }
    // Opens Comms on `path` at `baud` through the window, as an operator does.
    void Connect(const std::string& path, const std::string& baud = "115200")
    {
        SetText(IDC_COMPORT, path);
        SetText(IDC_BAUDRATE, baud);
        Click(IDC_OPEN_COMMS);
    }

    void Click(int id) { ASSERT_TRUE(backend.Click(dialog, id)) << id; }
    void SetText(int id, const std::string& text) { ASSERT_TRUE(backend.SetText(dialog, id, text)) << id; }
    void Select(int id, const std::string& text) { ASSERT_TRUE(backend.Select(dialog, id, text)) << id << " " << text; }
    void Check(int id, int state) { ASSERT_TRUE(backend.Check(dialog, id, state)) << id; }
    std::string Text(int id) const { return backend.Print(dialog, id).value_or("<no control>"); }
    bool Enabled(int id) const { return backend.Window(dialog)->IsEnabled(id); }
    std::vector<std::string> ComboItems(int id) const
    {
        std::vector<std::string> items;
        auto* window = backend.Window(dialog);
        for (int i = 0; i < window->ComboCount(id); ++i)
            items.push_back(window->ComboItem(id, i));
        return items;
    }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& m : backend.Messages())
            texts.push_back(m.text);
        return texts;
    }
    // One poll tick of timer 1.
    void Tick(int ticks = 1) { backend.RunLoop(100 * static_cast<unsigned>(ticks)); }
    // Bytes for the console: written on the master side, ticking once they
    // are all queued at the console's port.
    void Receive(PtyPair& pty, const Bytes& bytes)
    {
        pty.Write(bytes);
        const int queued = WaitQueued(dialog.Session().Port().Handle(), static_cast<int>(bytes.size()));
        ASSERT_GE(queued, static_cast<int>(bytes.size()));
        Tick();
    }

    headless::HeadlessBackend backend{headless::ClockMode::Virtual};
    CCameraTestDlg dialog;

private:
    headless::CurrentBackendScope m_scope;
};

// Runs a test in a fresh working directory (saved pictures, the log file).
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        m_previous = std::filesystem::current_path();
        m_path = std::filesystem::temp_directory_path() /
                 ("qzr-app-test-" + std::to_string(::getpid()) + "-" + std::to_string(s_counter++));
        std::filesystem::create_directories(m_path);
        std::filesystem::current_path(m_path);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(m_previous);
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    static inline int s_counter = 0;
    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};

}  // namespace qzr::test
