#include "tests/fuzz/console_harness.h"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/camera_test_dlg.h"
#include "config/settings_store.h"
#include "headless/backend.h"
#include "protocol/commands.h"
#include "protocol/frame_stream.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "res/resource.h"
#include "serial/line_device.h"
#include "session/services.h"
#include "sim/picture.h"
#include "tests/support/utf8.h"

namespace qzr::fuzz {
namespace {

constexpr std::size_t kMaxChunk = 8192;

// --- the steps ----------------------------------------------------------------------

enum class Op : std::uint8_t { Chunk, Wait, Click, Choose, Line };

struct Step {
    Op op = Op::Wait;
    std::uint8_t a = 0, b = 0;
    std::span<const std::uint8_t> bytes;  // Chunk: the camera's bytes, within the input
};

class StepReader {
public:
    explicit StepReader(std::span<const std::uint8_t> input) : m_input(input) {}
    bool Done() const { return m_at >= m_input.size(); }
    Step Next()
    {
        Step step;
        step.op = static_cast<Op>(Byte() % 5);
        if (step.op == Op::Chunk) {
            const std::size_t low = Byte();
            const std::size_t length = std::min<std::size_t>(low | (std::size_t{Byte()} << 8), kMaxChunk);
            step.bytes = m_input.subspan(m_at, std::min(length, m_input.size() - m_at));
            m_at += step.bytes.size();
            return step;
        }
        step.a = Byte();
        if (step.op == Op::Choose)
            step.b = Byte();
        return step;
    }

private:
    std::uint8_t Byte() { return m_at < m_input.size() ? m_input[m_at++] : 0; }
    std::span<const std::uint8_t> m_input;
    std::size_t m_at = 0;
};

// --- the line ----------------------------------------------------------------------

// A serial line in memory, "fuzz-line", opened exclusively like a real port; what its queue
// cannot take is lost, as on an overrun. A hang-up ends every device opened before it.
class MemoryLine {
public:
    static constexpr std::size_t kQueueSize = 8192;  // what a driver's input queue holds

    MemoryLine()
    {
        SetLineOpener([this](const std::string& name, std::uint32_t) -> std::unique_ptr<ILineDevice> {
            if (name != "fuzz-line" || !m_present || m_inUse)
                return nullptr;
            m_inUse = true;
            m_input.clear();  // an open empties the queues, as the termios device does
            return std::make_unique<Device>(*this);
        });
    }
    ~MemoryLine() { SetLineOpener({}); }

    void Send(std::span<const std::uint8_t> bytes)
    {
        if (m_present)
            m_input.insert(m_input.end(), bytes.begin(), bytes.begin() + std::min(bytes.size(), Space()));
    }
    std::size_t Space() const { return kQueueSize - m_input.size(); }
    Bytes TakeWritten() { return std::exchange(m_written, {}); }
    void HangUp()
    {
        if (std::exchange(m_present, false)) {
            m_input.clear();
            ++m_generation;
            m_inUse = false;  // the old device is gone; it is released as its port closes
        }
    }
    void ComeBack() { m_present = true; }
    bool Present() const { return m_present; }
    bool InUse() const { return m_inUse; }  // a port has it open since it came back
    unsigned Generation() const { return m_generation; }

private:
    class Device final : public ILineDevice {
    public:
        explicit Device(MemoryLine& line) : m_line(line), m_generation(line.m_generation) {}
        ~Device() override { Close(); }
        LineIo Read(std::uint8_t* buffer, std::uint32_t& length) override
        {
            auto& input = m_line.m_input;
            const std::size_t n = Gone() ? 0 : std::min<std::size_t>(length, input.size());
            std::copy_n(input.begin(), n, buffer);
            input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n));
            length = static_cast<std::uint32_t>(n);
            return Gone() ? LineIo::Gone : LineIo::Done;
        }
        LineIo Write(const std::uint8_t* buffer, std::uint32_t length) override
        {
            if (Gone())
                return LineIo::Gone;
            Bytes& written = m_line.m_written;
            if (written.size() + length > (1u << 20))
                written.clear();  // nobody listens: keep memory flat
            written.insert(written.end(), buffer, buffer + length);
            return LineIo::Done;
        }
        void Close() override
        {
            if (std::exchange(m_open, false) && !Gone())
                m_line.m_inUse = false;
        }

    private:
        bool Gone() const { return !m_line.m_present || m_generation != m_line.m_generation; }
        MemoryLine& m_line;
        const unsigned m_generation;
        bool m_open = true;
    };

    std::deque<std::uint8_t> m_input;
    Bytes m_written;
    unsigned m_generation = 0;
    bool m_present = true;
    bool m_inUse = false;
};

// --- the good camera and the workstation ---------------------------------------------

const Bytes& TestPicture()
{
    static const Bytes jpeg = sim::MakeTestPicture({1, 12, false, 1});
    return jpeg;
}

// A camera that answers every picture request properly, in any mode.
class GoodCamera {
public:
    explicit GoodCamera(MemoryLine& line) : m_line(line) {}

    // Answers what the console wrote, queued as far as the line's queue takes it.
    void Serve()
    {
        for (const Bytes& request : m_assembler.Feed(m_line.TakeWritten())) {
            const Bytes reply = Answer(request);
            m_outbox.insert(m_outbox.end(), reply.begin(), reply.end());
        }
        const auto n = static_cast<std::ptrdiff_t>(std::min(m_outbox.size(), m_line.Space()));
        m_line.Send(Bytes(m_outbox.begin(), m_outbox.begin() + n));
        m_outbox.erase(m_outbox.begin(), m_outbox.begin() + n);
    }

private:
    Bytes Answer(const Bytes& request)
    {
        const std::uint8_t id = request[frame::kIdOffset];
        const Bytes& jpeg = TestPicture();
        const auto size = static_cast<std::uint32_t>(jpeg.size());
        const auto slice = [&](std::size_t from, std::size_t length) {
            from = std::min(from, jpeg.size());
            return std::span(jpeg).subspan(from, std::min(length, jpeg.size() - from));
        };
        const auto count = [&](std::uint32_t packet) { return static_cast<std::uint16_t>((size + packet - 1) / packet); };
        switch (request[frame::kCommandOffset]) {
        case CMD_SNAPSHOT:
            return ParseSnapshotRequest(request) ? BuildSnapshotReply(id, jpeg) : Bytes{};
        case CMD_SET_PICTURE:
            if (const auto r = ParseSetPictureRequest(request))
                return BuildSetPictureReply(id, r->resolution, r->quality);
            break;
        case CMD_SET_PACKET_SIZE:
            if (const auto packet = ParseSetPacketSizeRequest(request); packet && *packet > 0)
                return BuildSetPacketSizeReply(id, m_packetSize = *packet);
            break;
        case CMD_SUBPACKET_START:
            return BuildSubPacketStartReply(id, {size, count(m_packetSize)});
        case CMD_GET_PACKET:
            if (const auto number = ParseGetPacketRequest(request))
                return BuildPacketReply(id, *number, slice(std::size_t{*number} * m_packetSize, m_packetSize));
            break;
        case CMD_SIMPLE_SUBPACKET:
            if (const auto r = ParseSimpleSubPacketRequest(request); r && r->packetSize > 0)
                return BuildSimpleSubPacketReply(id, {size, count(r->packetSize), r->packetSize});
            break;
        case CMD_READ_IMAGE:
            if (const auto r = ParseReadImageRequest(request))
                return BuildReadImageReply(id, slice(r->offset, r->length));
            break;
        }
        return {};
    }

    MemoryLine& m_line;
    FrameAssembler m_assembler;
    std::deque<std::uint8_t> m_outbox;
    std::uint16_t m_packetSize = 512;
};

// The workstation with the factory marker, so that the production-date notice is looked for.
class FactoryStore final : public ISettingsStore {
public:
    std::optional<std::string> Read(std::string_view name) const override
    {
        const auto found = m_values.find(std::string(name));
        return found == m_values.end() ? std::nullopt : std::optional(found->second);
    }
    bool Write(std::string_view name, std::string_view text) override
    {
        m_values[std::string(name)] = text;
        return true;
    }

private:
    std::map<std::string, std::string> m_values{{"key", "4711"}};
};

// A firmware program to upload, 5000 bytes (two packets), removed as the program ends.
const std::string& FirmwareFile()
{
    static const struct File {
        File()
        {
            std::ofstream out(path, std::ios::binary);
            for (int i = 0; i < 5000; ++i)
                out.put(static_cast<char>(i * 7));
        }
        ~File()
        {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
        std::string path = std::filesystem::temp_directory_path() / ("qzr-fuzz-firmware-" + std::to_string(::getpid()));
    } file;
    return file.path;
}

// --- the run -------------------------------------------------------------------------

constexpr std::string_view kHangUpText = "Serial port disconnected";
constexpr unsigned kTickMs = 100;
constexpr unsigned kLongWaitsMs[] = {2000, 10000, 41000, 61000};

// A text box and the most it may hold.
struct Box {
    int id;
    std::size_t limit;
    const char* what;
};
constexpr std::size_t kShortBox = 1024;

// A window as the steps see it: poll tick, where it reports a hang-up, buttons by step
// index (-1 the close box) and text boxes.
struct Window {
    unsigned tickMs;
    int status, log;
    std::vector<int> buttons;
    std::vector<Box> boxes;
};
const Window kBurstWindow{150, IDC_BURST_PORT_INFO, IDC_BURST_PORT_INFO,
    {IDC_BURST_OPEN_COMMS, IDC_BURST_SHOOT, IDC_BURST_REQUEST_LIST, -1},
    {{IDC_BURST_PORT_INFO, kShortBox, "burst status line"}, {IDC_BURST_STATE, kShortBox, "burst state"},
     {IDC_BURST_LOG, 256 * 1024, "burst log"}}};
const Window kQuickShotWindow{150, IDC_QUICK_STATUS, IDC_QUICK_STATUS, {IDC_QUICK_OPEN_PORT, IDC_QUICK_SHOOT, IDC_QUICK_EXIT},
    {{IDC_QUICK_STATUS, kShortBox, "quick shot status line"}}};

// The main window's choices by step: resolution, quality, packet size.
const std::pair<int, std::vector<const char*>> kChoices[] = {
    {IDC_RESOLUTION, {"160x120", "320x240", "640x480", "1280x960", "4000x3000", "-----16:9-----", "1920x1080"}},
    {IDC_QUALITY, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}},
    {IDC_PACKET_SIZE, {"128", "256", "512", "1024", "2048", "4096"}},
};

enum class Child { None, Burst, QuickShot, QuickShotToClose };

class Run {
public:
    explicit Run(Family family) : m_family(family), m_scope(m_backend)
    {
        m_dialog.SetPortSource([] { return std::vector<std::string>{"fuzz-line"}; });
        m_dialog.SetSettingsStore(&m_store);
        m_backend.SetModalHandler([this](ui::CDialog& dialog) { return RunChild(dialog); });
        m_backend.Open(m_dialog);
        Click(m_dialog, IDC_OPEN_COMMS);
        // The family's own buttons follow those of every family, and its flow begins.
        std::vector<int>& buttons = m_main.buttons;
        switch (family) {
        case Family::Whole:
            Click(m_dialog, IDC_SNAPSHOT);
            break;
        case Family::Numbered:
        case Family::Simplified:
            Click(m_dialog, IDC_SUB_PACKET);
            m_backend.Check(m_dialog, IDC_SIMPLIFIED, family == Family::Simplified);
            Click(m_dialog, IDC_SNAPSHOT);
            break;
        case Family::Idle:
            buttons.insert(buttons.end(), {IDC_CHECK_DATE, IDC_CHECK_MODEL, IDC_CHECK_LENS, IDC_CHECK_BAUD, IDC_SET_AND_SNAPSHOT});
            break;
        case Family::Upgrade:
            buttons.insert(buttons.end(), {IDC_UPLOAD, IDC_CANCEL_UPLOAD, IDC_OPEN_FIRMWARE});
            m_backend.QueueFileAnswer(FirmwareFile());
            Click(m_dialog, IDC_OPEN_FIRMWARE);
            Click(m_dialog, IDC_UPLOAD);
            break;
        case Family::Focus:
            buttons.insert(buttons.end(), {IDC_MANUAL_FOCUS, IDC_SET_AND_SNAPSHOT, IDC_STOP_AND_SNAPSHOT});
            Click(m_dialog, IDC_MANUAL_FOCUS);
            break;
        case Family::Children:
            buttons.insert(buttons.end(), {IDC_CONTINUOUSLY_SHOT, IDC_QUICK_SHOT});
            break;
        }
        m_line.TakeWritten();
    }
    ~Run()
    {
        m_backend.SetModalHandler({});
        if (m_backend.IsOpen(m_dialog))
            m_backend.Close(m_dialog);
        m_dialog.Session().Port().Close();
    }

    std::optional<std::string> Go(std::span<const std::uint8_t> input)
    {
        StepReader steps(input);
        m_steps = &steps;
        Play(m_dialog, m_main, nullptr);
        m_steps = nullptr;
        if (!m_finding)
            Recover();
        return m_finding;
    }

private:
    // Plays steps on `dialog` until the input ends, something broke or the
    // window closed. `childPort` is a child window's record of its own port:
    // the line's count when the port opened, none while it is closed.
    void Play(ui::CDialog& dialog, const Window& window, std::optional<unsigned>* childPort)
    {
        const auto ended = [&] { return m_backend.HasEnded(dialog) || !m_backend.IsOpen(dialog); };
        while (!m_steps->Done() && !m_finding && !ended()) {
            const Step step = m_steps->Next();
            switch (step.op) {
            case Op::Chunk:
                m_line.Send(step.bytes);
                break;
            case Op::Wait:
                m_backend.RunLoop(step.a < 224 ? window.tickMs * (step.a % 8 + 1) : kLongWaitsMs[step.a % 4]);
                m_line.TakeWritten();
                // Bytes the camera sent before it went are read first, as from
                // a real device: the main window's report is due once a read
                // or write found the line gone.
                if (!childPort && !m_dialog.Session().Port().HungUp())
                    break;
                if (std::exchange(m_hangUpPending, false) && Shown(dialog, window.status).find(kHangUpText) == std::string::npos &&
                    Shown(dialog, window.log).find(std::string(kHangUpText) + ": /dev/fuzz-line") == std::string::npos)
                    Found("hang-up not reported: status \"" + Shown(dialog, window.status) + "\"");
                break;
            case Op::Click:
                m_hangUpPending = false;
                if (childPort)
                    ClickChild(dialog, window.buttons, step.a % window.buttons.size(), *childPort);
                else
                    ClickMain(m_main.buttons[step.a % m_main.buttons.size()]);
                break;
            case Op::Choose:
                if (!childPort) {
                    const auto& [id, items] = kChoices[step.a % 3];
                    m_backend.Select(m_dialog, id, items[step.b % items.size()]);
                } else if (&window == &kBurstWindow) {
                    m_backend.DblClick(dialog, IDC_BURST_FILES, step.b % 8 - 1);
                }
                break;
            case Op::Line:
                if (step.a % 2) {
                    m_line.ComeBack();
                } else {
                    const CSerialPort& port = m_dialog.Session().Port();
                    const bool reportDue = childPort ? *childPort == m_line.Generation() : port.IsOpen() && !port.HungUp();
                    m_hangUpPending = m_line.Present() && reportDue;
                    m_line.HangUp();
                }
                break;
            }
            if (childPort && !ended())
                CheckBoxes(dialog, window);
            if (m_dialog.Session().Picture().Received() > CPictureBuffer::kSize)
                Found("picture buffer filled past its end");
            CheckBoxes(m_dialog, m_main);
        }
    }

    void ClickMain(int id)
    {
        m_opening = id == IDC_CONTINUOUSLY_SHOT ? Child::Burst : id == IDC_QUICK_SHOT ? Child::QuickShot : Child::None;
        if (id == IDC_OPEN_FIRMWARE)
            m_backend.QueueFileAnswer(FirmwareFile());
        Click(m_dialog, id);
    }

    // The port button, first in the table, opens a closed port and closes an open one.
    void ClickChild(ui::CDialog& dialog, const std::vector<int>& buttons, std::size_t index, std::optional<unsigned>& port)
    {
        if (buttons[index] < 0)
            return dialog.HandleClose();
        const bool wasInUse = m_line.InUse();
        Click(dialog, buttons[index]);
        if (index != 0)
            return;
        if (port)
            port.reset();
        else if (!wasInUse && m_line.InUse())
            port = m_line.Generation();
    }

    // A child window the main window opened runs the following steps. The
    // operator then leaves it: the burst window by its close box, which closes
    // its port; the quick shot window by Exit, after closing its port so that
    // the main window can open the device again.
    int RunChild(ui::CDialog& dialog)
    {
        const Child child = std::exchange(m_opening, Child::None);
        const bool burst = child == Child::Burst;
        std::optional<unsigned>& port = burst ? m_burstPort : m_quickShotPort;
        if (child == Child::QuickShotToClose) {
            Click(dialog, IDC_QUICK_OPEN_PORT);
            port.reset();
            Click(dialog, IDC_QUICK_EXIT);
        }
        if (child == Child::None || child == Child::QuickShotToClose || !m_steps)
            return ui::IDCANCEL;
        Play(dialog, burst ? kBurstWindow : kQuickShotWindow, &port);
        const auto ended = [&] { return m_backend.HasEnded(dialog) || !m_backend.IsOpen(dialog); };
        if (!ended() && !burst && port) {
            Click(dialog, IDC_QUICK_OPEN_PORT);
            port.reset();
        }
        if (!ended())
            burst ? dialog.HandleClose() : Click(dialog, IDC_QUICK_EXIT);
        if (burst)
            port.reset();
        return ui::IDCANCEL;
    }

    void CheckBoxes(const ui::CDialog& dialog, const Window& window)
    {
        for (const Box& box : window.boxes) {
            const std::string text = Shown(dialog, box.id);
            if (text.size() > box.limit)
                Found(std::string(box.what) + " holds " + std::to_string(text.size()) + " bytes");
            else if (!test::IsValidUtf8(text))
                Found(std::string(box.what) + " holds text that is not UTF-8");
        }
    }

    // The device is back; the operator looks at the window for a moment (a
    // hang-up the console has not met yet shows by then), ends what runs,
    // opens the port again if need be, and takes a picture from a good camera.
    void Recover()
    {
        CSession& session = m_dialog.Session();
        CSerialPort& port = session.Port();
        const Services& services = session.m_services;
        m_line.ComeBack();
        m_backend.RunLoop(2 * kTickMs);
        if (services.firmware && services.firmware->Upgrading())
            Click(m_dialog, IDC_CANCEL_UPLOAD);
        if (services.lens && services.lens->ManualFocusOn())
            Click(m_dialog, IDC_MANUAL_FOCUS);
        if (Enabled(IDC_STOP_SNAPSHOT))
            Click(m_dialog, IDC_STOP_SNAPSHOT);
        if (!port.IsOpen() || port.HungUp()) {
            Reopen();
            // The quick shot window still holds the device: closed there first.
            if (!port.IsOpen() && m_line.InUse()) {
                m_opening = Child::QuickShotToClose;
                Click(m_dialog, IDC_QUICK_SHOT);
                Reopen();
            }
            if (!port.IsOpen())
                return Found("the port cannot be opened again");
        }
        for (int tick = 0; tick < 100 && m_line.Space() < MemoryLine::kQueueSize; ++tick)
            m_backend.RunLoop(kTickMs);
        m_line.TakeWritten();

        if (!Enabled(IDC_SNAPSHOT))
            return Found("Snapshot stays disabled");
        GoodCamera camera(m_line);
        const std::size_t before = m_backend.Pictures().size();
        Click(m_dialog, IDC_SNAPSHOT);
        for (int tick = 0; tick < 900 && m_backend.Pictures().size() == before; ++tick) {
            camera.Serve();
            m_backend.RunLoop(kTickMs);
        }
        if (m_backend.Pictures().size() == before)
            return Found("no picture from a good camera afterwards; status \"" + Shown(m_dialog, IDC_STATUS) + "\", log \"" +
                         Shown(m_dialog, IDC_LOG).substr(0, 200) + "\"");
        if (m_backend.Pictures().back().size != ui::Size{160, 120})
            Found("the good camera's picture drawn at another size");
    }
    void Reopen()
    {
        if (!Enabled(IDC_OPEN_COMMS))
            Click(m_dialog, IDC_CLOSE_COMMS);
        Click(m_dialog, IDC_OPEN_COMMS);
    }

    void Click(ui::CDialog& dialog, int id) { m_backend.Click(dialog, id); }
    bool Enabled(int id) const { return m_backend.Window(m_dialog)->IsEnabled(id); }
    std::string Shown(const ui::CDialog& dialog, int id) const { return m_backend.Print(dialog, id).value_or(""); }
    void Found(std::string what)
    {
        if (!m_finding)
            m_finding = std::string(FamilyName(m_family)) + ": " + std::move(what);
    }

    const Family m_family;
    MemoryLine m_line;  // outlives the ports that have it open
    headless::HeadlessBackend m_backend{headless::ClockMode::Virtual};
    headless::CurrentBackendScope m_scope;
    FactoryStore m_store;
    CCameraTestDlg m_dialog;
    Window m_main{kTickMs, IDC_STATUS, IDC_LOG,
        {IDC_SNAPSHOT, IDC_CONTINUOUS_CAPTURE, IDC_STOP_SNAPSHOT, IDC_WHOLE_PACKAGE, IDC_SUB_PACKET, IDC_SIMPLIFIED,
         IDC_TEST_QUALITY, IDC_SET_PACKET_SIZE, IDC_OPEN_COMMS, IDC_CLOSE_COMMS},
        {{IDC_STATUS, kShortBox, "status box"}, {IDC_INFO, kShortBox, "info box"},
         {IDC_LOG, CSession::kMaxLogText + 1024, "log box"}, {IDC_CAMERA_TEXT, 16 * 1024, "camera text box"}}};
    StepReader* m_steps = nullptr;
    Child m_opening = Child::None;
    std::optional<unsigned> m_burstPort, m_quickShotPort;
    bool m_hangUpPending = false;
    std::optional<std::string> m_finding;
};

}  // namespace

const char* FamilyName(Family family)
{
    static const char* const kNames[] = {"whole", "numbered", "simplified", "idle", "upgrade", "focus", "children"};
    return kNames[static_cast<int>(family)];
}

void FixFrames(std::uint8_t* input, std::size_t size)
{
    StepReader reader({input, size});
    while (!reader.Done()) {
        const Step step = reader.Next();
        if (step.op != Op::Chunk || step.bytes.size() < frame::kOverhead + 1 || !HasFrameHead(step.bytes))
            continue;
        std::uint8_t* bytes = input + (step.bytes.data() - input);
        const std::size_t payload = step.bytes.size() - frame::kOverhead;
        bytes[frame::kLengthOffset] = static_cast<std::uint8_t>(payload & 0xFF);
        bytes[frame::kLengthOffset + 1] = static_cast<std::uint8_t>(payload >> 8);
        StampCrc(bytes, step.bytes.size());
    }
}

std::optional<std::string> RunConsole(Family family, std::span<const std::uint8_t> input)
{
    return Run(family).Go(input);
}

}  // namespace qzr::fuzz
