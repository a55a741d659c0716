#include "tests/fuzz/console_harness.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string_view>

#include "app/camera_test_dlg.h"
#include "config/settings_store.h"
#include "headless/backend.h"
#include "protocol/commands.h"
#include "protocol/frame_stream.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "res/resource.h"
#include "session/services.h"
#include "sim/picture.h"
#include "tests/support/utf8.h"

namespace qzr::fuzz {

// --- the line ----------------------------------------------------------------------

class MemoryLine::Device final : public ILineDevice {
public:
    Device(MemoryLine& line) : m_line(line), m_generation(line.m_generation) {}
    ~Device() override { Close(); }

    LineIo Read(std::uint8_t* buffer, std::uint32_t& length) override
    {
        const std::uint32_t capacity = length;
        length = 0;
        if (Gone())
            return LineIo::Gone;
        const std::size_t n = std::min<std::size_t>(capacity, m_line.m_input.size());
        std::copy_n(m_line.m_input.begin(), n, buffer);
        m_line.m_input.erase(m_line.m_input.begin(), m_line.m_input.begin() + static_cast<std::ptrdiff_t>(n));
        length = static_cast<std::uint32_t>(n);
        return LineIo::Done;
    }
    LineIo Write(const std::uint8_t* buffer, std::uint32_t length) override
    {
        if (Gone())
            return LineIo::Gone;
        Bytes& written = m_line.m_written;
        if (written.size() + length > kMaxWritten)
            written.clear();  // nobody listens: keep memory flat
        written.insert(written.end(), buffer, buffer + length);
        return LineIo::Done;
    }
    void Close() override
    {
        if (m_open && m_generation == m_line.m_generation)
            m_line.m_inUse = false;
        m_open = false;
    }

private:
    bool Gone() const { return !m_line.m_present || m_generation != m_line.m_generation; }

    MemoryLine& m_line;
    unsigned m_generation;
    bool m_open = true;
};

MemoryLine::MemoryLine()
{
    SetLineOpener([this](const std::string& name, std::uint32_t) { return Open(name); });
}

MemoryLine::~MemoryLine() { SetLineOpener({}); }

std::unique_ptr<ILineDevice> MemoryLine::Open(const std::string& name)
{
    if (name != kName || !m_present || m_inUse)
        return nullptr;
    m_inUse = true;
    m_input.clear();  // an open empties the queues, as the termios device does
    return std::make_unique<Device>(*this);
}

std::size_t MemoryLine::Send(std::span<const std::uint8_t> bytes)
{
    if (!m_present)
        return 0;
    const std::size_t n = std::min(bytes.size(), Space());
    m_input.insert(m_input.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

Bytes MemoryLine::TakeWritten() { return std::exchange(m_written, {}); }

void MemoryLine::HangUp()
{
    if (!m_present)
        return;
    m_present = false;
    m_input.clear();
    ++m_generation;
    m_inUse = false;  // the old device is gone; it is released as its port closes
}

void MemoryLine::ComeBack() { m_present = true; }

// --- families -----------------------------------------------------------------------

namespace {

constexpr std::array<std::pair<Family, std::string_view>, 7> kNames = {{
    {Family::Whole, "whole"},
    {Family::Numbered, "numbered"},
    {Family::Simplified, "simplified"},
    {Family::Idle, "idle"},
    {Family::Upgrade, "upgrade"},
    {Family::Focus, "focus"},
    {Family::Children, "children"},
}};

}  // namespace

const char* FamilyName(Family family)
{
    for (const auto& [f, name] : kNames)
        if (f == family)
            return name.data();
    return "?";
}

std::optional<Family> FamilyOfName(std::string_view name)
{
    for (const auto& [f, n] : kNames)
        if (n == name)
            return f;
    return std::nullopt;
}

// --- steps ---------------------------------------------------------------------------

Step StepReader::Next()
{
    Step step;
    step.op = static_cast<Op>(Byte() % kOpCount);
    switch (step.op) {
    case Op::Chunk: {
        const std::size_t low = Byte();
        const std::size_t length = std::min<std::size_t>(low | (std::size_t{Byte()} << 8), kMaxChunk);
        step.bytesAt = m_at;
        step.bytes = m_input.subspan(m_at, std::min(length, m_input.size() - m_at));
        m_at += step.bytes.size();
        break;
    }
    case Op::Choose:
        step.a = Byte();
        step.b = Byte();
        break;
    case Op::Wait:
    case Op::Click:
    case Op::Line:
        step.a = Byte();
        break;
    }
    return step;
}

StepWriter& StepWriter::Chunk(std::span<const std::uint8_t> bytes)
{
    for (std::size_t at = 0; at < bytes.size() || (at == 0 && bytes.empty()); at += kMaxChunk) {
        const std::size_t n = std::min(kMaxChunk, bytes.size() - at);
        m_input.insert(m_input.end(), {static_cast<std::uint8_t>(Op::Chunk), static_cast<std::uint8_t>(n & 0xFF),
                                       static_cast<std::uint8_t>(n >> 8)});
        m_input.insert(m_input.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (bytes.empty())
            break;
    }
    return *this;
}
StepWriter& StepWriter::Wait(std::uint8_t ticks)
{
    m_input.insert(m_input.end(), {static_cast<std::uint8_t>(Op::Wait), static_cast<std::uint8_t>(ticks - 1)});
    return *this;
}
StepWriter& StepWriter::Click(std::uint8_t button)
{
    m_input.insert(m_input.end(), {static_cast<std::uint8_t>(Op::Click), button});
    return *this;
}
StepWriter& StepWriter::Choose(std::uint8_t control, std::uint8_t item)
{
    m_input.insert(m_input.end(), {static_cast<std::uint8_t>(Op::Choose), control, item});
    return *this;
}
StepWriter& StepWriter::Line(bool comesBack)
{
    m_input.insert(m_input.end(), {static_cast<std::uint8_t>(Op::Line), static_cast<std::uint8_t>(comesBack)});
    return *this;
}

void FixFrames(std::uint8_t* input, std::size_t size)
{
    StepReader reader({input, size});
    while (!reader.Done()) {
        const Step step = reader.Next();
        if (step.op != Op::Chunk || step.bytes.size() < frame::kOverhead + 1 || step.bytes[0] != frame::kHead0 ||
            step.bytes[1] != frame::kHead1)
            continue;
        std::uint8_t* bytes = input + step.bytesAt;
        const std::size_t payload = step.bytes.size() - frame::kOverhead;
        bytes[4] = static_cast<std::uint8_t>(payload & 0xFF);
        bytes[5] = static_cast<std::uint8_t>(payload >> 8);
        StampCrc(bytes, step.bytes.size());
    }
}

// --- the run -------------------------------------------------------------------------

namespace {

using headless::HeadlessBackend;

// The workstation with the factory marker, so that the production-date notice
// is looked for.
class FactoryStore final : public ISettingsStore {
public:
    std::optional<std::string> Read(std::string_view name) const override
    {
        const auto found = m_values.find(std::string(name));
        return found == m_values.end() ? std::nullopt : std::optional(found->second);
    }
    bool Write(std::string_view name, std::string_view text) override
    {
        m_values[std::string(name)] = std::string(text);
        return true;
    }

private:
    std::map<std::string, std::string> m_values{{"key", "4711"}};
};

const Bytes& TestPicture()
{
    static const Bytes jpeg = sim::MakeTestPicture({1, 12, false, 1});
    return jpeg;
}

// A firmware program to upload: 5000 bytes, two packets; removed as the
// program ends.
const std::string& FirmwareFile()
{
    struct File {
        File() : path((std::filesystem::temp_directory_path() / ("qzr-fuzz-firmware-" + std::to_string(::getpid()) + ".bin")).string())
        {
            std::ofstream out(path, std::ios::binary);
            for (int i = 0; i < 5000; ++i)
                out.put(static_cast<char>(i * 7));
        }
        ~File()
        {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
        std::string path;
    };
    static const File file;
    return file.path;
}

// A camera that answers every picture request properly, in either mode.
class GoodCamera {
public:
    explicit GoodCamera(MemoryLine& line) : m_line(line) {}

    // Answers what the console wrote, and queues the answers as far as the
    // line's queue takes them.
    void Serve()
    {
        const Bytes written = m_line.TakeWritten();
        for (const Bytes& request : m_assembler.Feed(written))
            Answer(request);
        while (!m_outbox.empty() && m_line.Space() > 0) {
            const std::size_t n = std::min(m_outbox.size(), m_line.Space());
            const Bytes piece(m_outbox.begin(), m_outbox.begin() + static_cast<std::ptrdiff_t>(n));
            m_line.Send(piece);
            m_outbox.erase(m_outbox.begin(), m_outbox.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }

private:
    void Answer(const Bytes& request)
    {
        const auto header = ParseFrameHeader(request);
        if (!header)
            return;
        const std::uint8_t id = header->cameraId;
        const Bytes& jpeg = TestPicture();
        const auto size = static_cast<std::uint32_t>(jpeg.size());
        const auto slice = [&](std::size_t from, std::size_t length) {
            from = std::min(from, jpeg.size());
            return std::span<const std::uint8_t>(jpeg).subspan(from, std::min(length, jpeg.size() - from));
        };
        const auto count = [&](std::uint32_t packet) { return static_cast<std::uint16_t>((size + packet - 1) / packet); };
        Bytes reply;
        switch (header->command) {
        case CMD_SNAPSHOT:
            if (ParseSnapshotRequest(request))
                reply = BuildSnapshotReply(id, jpeg);
            break;
        case CMD_SET_PICTURE:
            if (const auto r = ParseSetPictureRequest(request))
                reply = BuildSetPictureReply(id, r->resolution, r->quality);
            break;
        case CMD_SET_PACKET_SIZE:
            if (const auto packet = ParseSetPacketSizeRequest(request); packet && *packet > 0) {
                m_packetSize = *packet;
                reply = BuildSetPacketSizeReply(id, *packet);
            }
            break;
        case CMD_SUBPACKET_START:
            reply = BuildSubPacketStartReply(id, {size, count(m_packetSize)});
            break;
        case CMD_GET_PACKET:
            if (const auto number = ParseGetPacketRequest(request))
                reply = BuildPacketReply(id, *number, slice(std::size_t{*number} * m_packetSize, m_packetSize));
            break;
        case CMD_SIMPLE_SUBPACKET:
            if (const auto r = ParseSimpleSubPacketRequest(request); r && r->packetSize > 0)
                reply = BuildSimpleSubPacketReply(id, {size, count(r->packetSize), r->packetSize});
            break;
        case CMD_READ_IMAGE:
            if (const auto r = ParseReadImageRequest(request))
                reply = BuildReadImageReply(id, slice(r->offset, r->length));
            break;
        default:
            break;
        }
        m_outbox.insert(m_outbox.end(), reply.begin(), reply.end());
    }

    MemoryLine& m_line;
    FrameAssembler m_assembler;
    std::deque<std::uint8_t> m_outbox;
    std::uint16_t m_packetSize = 512;
};

constexpr std::string_view kHangUpText = "Serial port disconnected";
constexpr std::size_t kMaxShortBox = 1024;
constexpr std::size_t kMaxLogBox = CSession::kMaxLogText + 1024;
constexpr std::size_t kMaxCameraTextBox = 16 * 1024;
constexpr std::size_t kMaxChildLog = 256 * 1024;
constexpr unsigned kTickMs = 100;
constexpr unsigned kChildTickMs = 150;
constexpr unsigned kLongWaitsMs[] = {2000, 10000, 41000, 61000};
constexpr std::uint8_t kFirstLongWait = 224;
constexpr int kDrainTicks = 100;
constexpr int kRecoveryTicks = 900;

const char* const kResolutions[] = {"160x120", "320x240", "640x480", "1280x960", "4000x3000", "-----16:9-----", "1920x1080"};
const char* const kQualities[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
const char* const kPacketSizes[] = {"128", "256", "512", "1024", "2048", "4096"};

enum class Child { None, Burst, QuickShot, QuickShotToClose };

class Run {
public:
    explicit Run(Family family) : m_family(family), m_scope(m_backend)
    {
        m_dialog.SetPortSource([] { return std::vector<std::string>{MemoryLine::kName}; });
        m_dialog.SetSettingsStore(&m_store);
        m_backend.SetModalHandler([this](ui::CDialog& dialog) { return RunChild(dialog); });
        m_backend.Open(m_dialog);
        Click(m_dialog, IDC_OPEN_COMMS);
        m_mainTable = {IDC_SNAPSHOT,   IDC_CONTINUOUS_CAPTURE, IDC_STOP_SNAPSHOT,   IDC_WHOLE_PACKAGE, IDC_SUB_PACKET,
                       IDC_SIMPLIFIED, IDC_TEST_QUALITY,       IDC_SET_PACKET_SIZE, IDC_OPEN_COMMS,    IDC_CLOSE_COMMS};
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
            m_mainTable.insert(m_mainTable.end(),
                               {IDC_CHECK_DATE, IDC_CHECK_MODEL, IDC_CHECK_LENS, IDC_CHECK_BAUD, IDC_SET_AND_SNAPSHOT});
            break;
        case Family::Upgrade:
            m_mainTable.insert(m_mainTable.end(), {IDC_UPLOAD, IDC_CANCEL_UPLOAD, IDC_OPEN_FIRMWARE});
            m_backend.QueueFileAnswer(FirmwareFile());
            Click(m_dialog, IDC_OPEN_FIRMWARE);
            Click(m_dialog, IDC_UPLOAD);
            break;
        case Family::Focus:
            m_mainTable.insert(m_mainTable.end(), {IDC_MANUAL_FOCUS, IDC_SET_AND_SNAPSHOT, IDC_STOP_AND_SNAPSHOT});
            Click(m_dialog, IDC_MANUAL_FOCUS);
            break;
        case Family::Children:
            m_mainTable.insert(m_mainTable.end(), {IDC_CONTINUOUSLY_SHOT, IDC_QUICK_SHOT});
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
        RunMain();
        m_steps = nullptr;
        if (!m_finding)
            Recover();
        return m_finding;
    }

private:
    // --- the main window's steps ---
    void RunMain()
    {
        while (!m_steps->Done() && !m_finding) {
            const Step step = m_steps->Next();
            switch (step.op) {
            case Op::Chunk:
                m_line.Send(step.bytes);
                break;
            case Op::Wait:
                Wait(step.a);
                // Bytes the camera sent before it went are read first, as from
                // a real device; the report is due once a read or write found
                // the line gone.
                if (m_hangUpPending && m_dialog.Session().Port().HungUp()) {
                    m_hangUpPending = false;
                    const std::string status = Shown(m_dialog, IDC_STATUS), log = Shown(m_dialog, IDC_LOG);
                    if (status != kHangUpText && log.find(std::string(kHangUpText) + ": /dev/fuzz-line") == std::string::npos)
                        Found("hang-up not reported: status \"" + status + "\"");
                }
                break;
            case Op::Click:
                m_hangUpPending = false;
                m_opening = Child::None;
                if (m_family == Family::Children && step.a % m_mainTable.size() == buttons::kBurstWindow)
                    m_opening = Child::Burst;
                if (m_family == Family::Children && step.a % m_mainTable.size() == buttons::kQuickShotWindow)
                    m_opening = Child::QuickShot;
                if (m_mainTable[step.a % m_mainTable.size()] == IDC_OPEN_FIRMWARE)
                    m_backend.QueueFileAnswer(FirmwareFile());
                Click(m_dialog, m_mainTable[step.a % m_mainTable.size()]);
                break;
            case Op::Choose:
                ChooseMain(step.a, step.b);
                break;
            case Op::Line:
                LineStep(step.a, m_dialog.Session().Port().IsOpen() && !m_dialog.Session().Port().HungUp());
                break;
            }
            CheckMain();
        }
    }

    void ChooseMain(std::uint8_t control, std::uint8_t item)
    {
        switch (control % 3) {
        case buttons::kResolution:
            m_backend.Select(m_dialog, IDC_RESOLUTION, kResolutions[item % std::size(kResolutions)]);
            break;
        case buttons::kQuality:
            m_backend.Select(m_dialog, IDC_QUALITY, kQualities[item % std::size(kQualities)]);
            break;
        default:
            m_backend.Select(m_dialog, IDC_PACKET_SIZE, kPacketSizes[item % std::size(kPacketSizes)]);
            break;
        }
    }

    // Ticks of the window that runs: the main window polls every 100 ms, the
    // child windows every 150 ms.
    void Wait(std::uint8_t arg, unsigned tickMs = kTickMs)
    {
        m_backend.RunLoop(arg < kFirstLongWait ? tickMs * (arg % 8 + 1) : kLongWaitsMs[arg % std::size(kLongWaitsMs)]);
        m_line.TakeWritten();
    }

    void LineStep(std::uint8_t arg, bool reportDue)
    {
        if (arg % 2) {
            m_line.ComeBack();
        } else {
            m_hangUpPending = m_line.Present() && reportDue;
            m_line.HangUp();
        }
    }

    // --- the child windows' steps ---
    int RunChild(ui::CDialog& dialog)
    {
        const Child child = std::exchange(m_opening, Child::None);
        if (child == Child::QuickShotToClose) {
            Click(dialog, IDC_QUICK_OPEN_PORT);
            m_quickShotPort.reset();
            Click(dialog, IDC_QUICK_EXIT);
            return ui::IDCANCEL;
        }
        if (child == Child::None || !m_steps)
            return ui::IDCANCEL;
        const bool burst = child == Child::Burst;
        const std::vector<int> table = burst ? std::vector<int>{IDC_BURST_OPEN_COMMS, IDC_BURST_SHOOT, IDC_BURST_REQUEST_LIST, -1}
                                             : std::vector<int>{IDC_QUICK_OPEN_PORT, IDC_QUICK_SHOOT, IDC_QUICK_EXIT};
        const int statusId = burst ? IDC_BURST_PORT_INFO : IDC_QUICK_STATUS;
        // The line's count when the window's own port opened; none while it is closed.
        std::optional<unsigned>& childPort = burst ? m_burstPort : m_quickShotPort;
        const auto ended = [&] { return m_backend.HasEnded(dialog) || !m_backend.IsOpen(dialog); };
        while (!m_steps->Done() && !m_finding && !ended()) {
            const Step step = m_steps->Next();
            switch (step.op) {
            case Op::Chunk:
                m_line.Send(step.bytes);
                break;
            case Op::Wait:
                Wait(step.a, kChildTickMs);
                if (m_hangUpPending) {
                    m_hangUpPending = false;
                    if (Shown(dialog, statusId).find(kHangUpText) == std::string::npos)
                        Found("hang-up not reported in the child window: \"" + Shown(dialog, statusId) + "\"");
                }
                break;
            case Op::Click:
                m_hangUpPending = false;
                if (const int id = table[step.a % table.size()]; id < 0) {
                    dialog.HandleClose();
                } else if (id == table[0]) {
                    // The port button opens a closed port and closes an open one.
                    const bool wasInUse = m_line.InUse();
                    Click(dialog, id);
                    if (childPort)
                        childPort.reset();
                    else if (!wasInUse && m_line.InUse())
                        childPort = m_line.Generation();
                } else {
                    Click(dialog, id);
                }
                break;
            case Op::Choose:
                if (burst)
                    m_backend.DblClick(dialog, IDC_BURST_FILES, step.b % 8 - 1);
                break;
            case Op::Line:
                LineStep(step.a, childPort == m_line.Generation());
                break;
            }
            if (!ended())
                CheckChild(dialog, burst);
            CheckMain();
        }
        // The operator leaves the window: the burst window by its close box,
        // which closes its port; the quick shot window by Exit, after closing
        // its port so that the main window can open the device again.
        if (!ended() && !burst && childPort) {
            Click(dialog, IDC_QUICK_OPEN_PORT);
            childPort.reset();
        }
        if (!ended())
            burst ? dialog.HandleClose() : Click(dialog, IDC_QUICK_EXIT);
        if (burst)
            childPort.reset();  // the burst window closes its port as it closes
        return ui::IDCANCEL;
    }

    // --- what must hold after every step ---
    void CheckMain()
    {
        CSession& session = m_dialog.Session();
        if (session.Picture().Received() > CPictureBuffer::kSize)
            Found("picture buffer filled past its end");
        CheckBox(m_dialog, IDC_STATUS, kMaxShortBox, "status box");
        CheckBox(m_dialog, IDC_INFO, kMaxShortBox, "info box");
        CheckBox(m_dialog, IDC_LOG, kMaxLogBox, "log box");
        CheckBox(m_dialog, IDC_CAMERA_TEXT, kMaxCameraTextBox, "camera text box");
    }
    void CheckChild(ui::CDialog& dialog, bool burst)
    {
        if (burst) {
            CheckBox(dialog, IDC_BURST_PORT_INFO, kMaxShortBox, "burst status line");
            CheckBox(dialog, IDC_BURST_STATE, kMaxShortBox, "burst state");
            CheckBox(dialog, IDC_BURST_LOG, kMaxChildLog, "burst log");
        } else {
            CheckBox(dialog, IDC_QUICK_STATUS, kMaxShortBox, "quick shot status line");
        }
    }
    void CheckBox(ui::CDialog& dialog, int id, std::size_t limit, const char* what)
    {
        const std::string text = Shown(dialog, id);
        if (text.size() > limit)
            Found(std::string(what) + " holds " + std::to_string(text.size()) + " bytes");
        else if (!test::IsValidUtf8(text))
            Found(std::string(what) + " holds text that is not UTF-8");
    }

    // --- the recovery ---
    void Recover()
    {
        CSession& session = m_dialog.Session();
        CSerialPort& port = session.Port();
        const Services& services = session.m_services;
        // The device is back; the operator looks at the window for a moment
        // (a hang-up the console has not met yet shows by then).
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
        for (int tick = 0; tick < kDrainTicks && m_line.Queued() > 0; ++tick)
            m_backend.RunLoop(kTickMs);
        m_line.TakeWritten();

        if (!Enabled(IDC_SNAPSHOT))
            return Found("Snapshot stays disabled");
        GoodCamera camera(m_line);
        const std::size_t before = m_backend.Pictures().size();
        Click(m_dialog, IDC_SNAPSHOT);
        for (int tick = 0; tick < kRecoveryTicks && m_backend.Pictures().size() == before; ++tick) {
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

    // --- helpers ---
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
    HeadlessBackend m_backend{headless::ClockMode::Virtual};
    headless::CurrentBackendScope m_scope;
    FactoryStore m_store;
    CCameraTestDlg m_dialog;
    std::vector<int> m_mainTable;
    StepReader* m_steps = nullptr;
    Child m_opening = Child::None;
    std::optional<unsigned> m_burstPort, m_quickShotPort;
    bool m_hangUpPending = false;
    std::optional<std::string> m_finding;
};

}  // namespace

std::optional<std::string> RunConsole(Family family, std::span<const std::uint8_t> input)
{
    Run run(family);
    return run.Go(input);
}

}  // namespace qzr::fuzz
