#pragma once

// The main window, headless on a virtual clock, and its modal windows, against a camera on a pseudo-terminal.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/camera_test_dlg.h"
#include "config/settings_store.h"
#include "headless/backend.h"
#include "protocol/frame.h"
#include "res/resource.h"
#include "serial/line_rate.h"
#include "sim/picture.h"
#include "tests/support/pty.h"

namespace qzr::test {

// "90 EB 01 ..." as bytes.
inline Bytes Hex(const std::string& text)
{
    Bytes bytes;
    std::istringstream in(text);
    for (unsigned value = 0; in >> std::hex >> value;)
        bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}
inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline Bytes operator+(Bytes bytes, const Bytes& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}
// Up to `length` bytes of `bytes` from `from`.
inline Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length = SIZE_MAX)
{
    from = std::min(from, bytes.size());
    length = std::min(length, bytes.size() - from);
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}
inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
// A real JPEG from the simulator's test card; `number` makes two pictures differ.
inline Bytes Jpeg(std::uint8_t resolution, unsigned number = 1) { return sim::MakeTestPicture({resolution, 12, false, number}); }

class Console {
public:
    explicit Console(std::optional<std::vector<std::string>> ports = std::vector<std::string>{}) : m_scope(backend)
    {
        dialog.SetPortSource([ports] { return ports; });
        CSerialPort& port = dialog.Session().Port();
        port.SetWriteTrace([this, &port](std::span<const std::uint8_t> bytes) {
            writes.push_back({backend.NowMs(), Bytes(bytes.begin(), bytes.end()), LineRate(port.Handle()).value_or(0)});
            if (onWrite)
                onWrite(writes.back().bytes);
        });
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
        for (int i = 0; i < backend.Window(dialog)->ComboCount(id); ++i)
            items.push_back(backend.Window(dialog)->ComboItem(id, i));
        return items;
    }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const auto& m : backend.Messages())
            texts.push_back(m.text);
        return texts;
    }
    // Poll ticks of timer 1.
    void Tick(int ticks = 1) { backend.RunLoop(100 * static_cast<unsigned>(ticks)); }
    // All the console wrote since the last look.
    Bytes Line()
    {
        Bytes line;
        for (const Write& write : writes)
            line.insert(line.end(), write.bytes.begin(), write.bytes.end());
        writes.clear();
        return line;
    }

    headless::HeadlessBackend backend{headless::ClockMode::Virtual};
    CCameraTestDlg dialog;
    // Every port write as the line got it: virtual ms, bytes, line rate.
    struct Write {
        std::uint64_t ms;
        Bytes bytes;
        std::uint32_t rate;
    };
    std::vector<Write> writes;
    // Runs after each write is recorded: a camera that answers at once.
    std::function<void(const Bytes&)> onWrite;

private:
    headless::CurrentBackendScope m_scope;
};

// Runs a test in a fresh working directory (saved pictures, the log file).
class ScratchDirectory {
public:
    ScratchDirectory() : m_previous(std::filesystem::current_path())
    {
        std::string path = (std::filesystem::temp_directory_path() / "qzr-app-test-XXXXXX").string();
        m_path = ::mkdtemp(path.data());
        std::filesystem::current_path(m_path);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(m_previous);
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }
    // The pictures saved since the last call, by name; their files are removed.
    std::vector<Bytes> TakePictures() const
    {
        std::set<std::filesystem::path> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            if (entry.path().extension() == ".jpg")
                names.insert(entry.path());
        std::vector<Bytes> pictures;
        for (const auto& name : names) {
            pictures.push_back(ToBytes(ReadFile(name)));
            std::filesystem::remove(name);
        }
        return pictures;
    }
    std::string Log() const { return ReadFile(m_path / "loog.txt"); }

private:
    std::filesystem::path m_previous, m_path;
};

// The workstation's settings in memory: the factory marker "key", the setting counter "Count".
using Settings = std::map<std::string, std::string, std::less<>>;
inline const Settings kFactorySettings = {{"key", "4711"}, {"Count", "17"}};
struct MemoryStore final : ISettingsStore {
    std::optional<std::string> Read(std::string_view name) const override
    {
        const auto value = values.find(name);
        return value == values.end() ? std::nullopt : std::optional(value->second);
    }
    bool Write(std::string_view name, std::string_view text) override
    {
        values.insert_or_assign(std::string(name), std::string(text));
        return true;
    }
    Settings values;
};

// A window that a button of the main window runs modally.
struct ChildWindow {
    void Click(int id) { ASSERT_TRUE(backend.Click(dialog, id)) << id; }
    void SetText(int id, const std::string& text) { ASSERT_TRUE(backend.SetText(dialog, id, text)) << id; }
    void Select(int id, const std::string& text) { ASSERT_TRUE(backend.Select(dialog, id, text)) << id << text; }
    void Check(int id, int state) { ASSERT_TRUE(backend.Check(dialog, id, state)) << id; }
    void DblClick(int id, int row) { ASSERT_TRUE(backend.DblClick(dialog, id, row)) << id; }
    std::string Text(int id) const { return backend.Print(dialog, id).value_or("<no control>"); }
    bool Open() const { return backend.IsOpen(dialog) && !backend.HasEnded(dialog); }
    void Run(unsigned ms) { backend.RunLoop(ms); }
    // Pieces of at most `piece` bytes, each queued at the port, then read by a tick of `tickMs`.
    void Receive(PtyPair& pty, const Bytes& bytes, unsigned tickMs, std::size_t piece)
    {
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const Bytes part = Slice(bytes, at, piece);
            pty.Write(part);
            ASSERT_GE(pty.WaitQueuedAtSlave(static_cast<int>(part.size())), static_cast<int>(part.size()));
            Run(tickMs);
        }
    }

    headless::HeadlessBackend& backend;
    ui::CDialog& dialog;
};

// Runs `body` in the window `button` opens, then closes it as its close box would; false if none opened.
inline bool InChildWindow(Console& console, int button, const std::function<void(ChildWindow&)>& body)
{
    bool opened = false;
    console.backend.SetModalHandler([&](ui::CDialog& dialog) {
        opened = true;
        ChildWindow child{console.backend, dialog};
        body(child);
        if (child.Open())
            dialog.HandleClose();
        return ui::IDCANCEL;
    });
    console.Click(button);
    console.backend.SetModalHandler({});
    return opened;
}

struct RigOptions {
    bool save = false, log = false, connect = true;
    Settings settings = {};
};

// The main window in a fresh directory, Save, Save logging and settings as asked, its port on the camera.
struct Rig {
    explicit Rig(RigOptions options = {})
    {
        store.values = options.settings;
        console.dialog.SetSettingsStore(&store);
        console.Open();
        console.Check(IDC_SAVE_IMAGE, options.save);
        console.Check(IDC_SAVE_LOG, options.log);
        if (options.connect)
            console.Connect(camera.SlavePath());
    }
    // The next `n` bytes the camera receives.
    Bytes Heard(std::size_t n) { return camera.Read(n); }
    // Nothing more reaches the camera, also when `ticks` poll ticks pass first.
    void ExpectQuiet(const std::string& why, int ticks = 0)
    {
        if (ticks)
            console.Tick(ticks);
        EXPECT_EQ(camera.ReadAvailable(30), Bytes{}) << why;
    }
    // Bytes for the console, read by one poll tick once they are all queued at its port.
    void Send(const Bytes& bytes)
    {
        camera.Write(bytes);
        ASSERT_GE(WaitQueued(Port(), static_cast<int>(bytes.size())), static_cast<int>(bytes.size()));
        console.Tick();
    }
    // Even pieces of at most 2048 bytes (what a poll reads and the line's queue holds), a poll tick each.
    void Feed(const Bytes& bytes)
    {
        const std::size_t pieces = (bytes.size() + 2047) / 2048, piece = (bytes.size() + pieces - 1) / pieces;
        for (std::size_t from = 0; from < bytes.size(); from += piece)
            Send(Slice(bytes, from, piece));
    }
    int Port() { return console.dialog.Session().Port().Handle(); }
    // Runs `body` in the window `button` opens, its port (`ids`: combo, Open, status) opened if `connect`.
    void InPortWindow(int button, std::array<int, 3> ids, const std::function<void(ChildWindow&)>& body, bool connect = true)
    {
        ASSERT_TRUE(InChildWindow(console, button, [&](ChildWindow& w) {
            if (connect) {
                w.SetText(ids[0], camera.SlavePath());
                w.Click(ids[1]);
                ASSERT_EQ(w.Text(ids[2]), "Open" + camera.SlavePath());
            }
            body(w);
        }));
    }

    ScratchDirectory dir;
    MemoryStore store;
    PtyPair camera;
    Console console;
};

}  // namespace qzr::test
