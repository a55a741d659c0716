#include "sim/camera.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

#include "protocol/camera_id.h"
#include "protocol/commands.h"
#include "protocol/frame_stream.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "sim/picture.h"
#include "sim/pty_line.h"

namespace qzr::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxRequestPayload = 8192;
constexpr std::size_t kFrameLogLimit = 4096;
constexpr std::size_t kOsdLogLimit = 64;
constexpr std::uint16_t kDefaultPacketSize = 512;
constexpr std::uint16_t kDefaultSimplePacketSize = 1024;
constexpr std::uint16_t kMaxPacketSize = 60000;  // a packet reply's length field must hold size + 3
constexpr int kBitsPerByte = 11;                 // start, 8 data, 2 stop
// A request that stops arriving for this long was line noise, not a frame.
constexpr auto kQuietLine = std::chrono::milliseconds(200);
constexpr std::size_t kReadSize = 4096;  // a pty never reports more queued
constexpr auto kRetryWrite = std::chrono::milliseconds(5);
constexpr std::size_t kShortReply = 64;
constexpr std::uint8_t kTrigger[] = {0x01, 0x05, 0x06};

// A quality byte of 100 or more carries the "test" mark.
PictureParams ParamsOf(std::uint8_t resolution, std::uint8_t qualityByte)
{
    PictureParams params;
    params.resolution = resolution;
    params.test = qualityByte >= subpacket::kTestQualityOffset;
    params.quality = static_cast<std::uint8_t>(params.test ? qualityByte - subpacket::kTestQualityOffset : qualityByte);
    return params;
}

// What the console reads when the camera talks at another rate: a byte for a
// byte, never the one sent.
std::uint8_t Garbled(std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); }

}  // namespace

Fault Fault::DropPacket(std::uint16_t number)
{
    Fault fault = DropReply();
    fault.command = CMD_GET_PACKET;
    fault.packet = number;
    return fault;
}

class Camera::Server {
public:
    // Runs f under the lock that guards what other threads see.
    template <typename F>
    auto Locked(F f) const
    {
        std::lock_guard lock(m_mutex);
        return f();
    }

    explicit Server(CameraOptions options) : m_options(std::move(options)), m_assembler(kMaxRequestPayload)
    {
        m_published.id = m_options.id;
        m_published.baud = m_options.baud;
    }
    ~Server() { Stop(); }

    bool Start(std::string* error);
    void Stop();

    // --- called from any thread ---
    std::string DevicePath() const { return m_line.SlavePath(); }
    std::string LinkPath() const { return m_options.linkPath; }
    std::uint8_t CurrentId() const { return Locked([&] { return m_published.id; }); }
    std::uint32_t CurrentBaud() const { return Locked([&] { return m_published.baud; }); }
    Bytes LastPicture() const { return Locked([&] { return m_published.picture; }); }
    CameraStats Stats() const { return Locked([&] { return m_stats; }); }
    std::vector<Bytes> ReceivedFrames() const
    {
        return Locked([&] { return std::vector<Bytes>(m_frames.begin(), m_frames.end()); });
    }
    std::vector<OsdFrame> OsdTexts() const
    {
        return Locked([&] { return std::vector<OsdFrame>(m_osd.begin(), m_osd.end()); });
    }
    void AddFault(const Fault& fault, int replies)
    {
        Locked([&] { m_faults.push_back({fault, replies}); });
    }
    void ClearFaults()
    {
        Locked([&] { m_faults.clear(); });
    }
    void SetAnswering(bool answering)
    {
        Locked([&] { m_answering = answering; });
    }
    void Post(std::function<void()> task);
    bool WaitUntil(const std::function<bool(const CameraStats&)>& condition, std::chrono::milliseconds timeout) const;

    // --- the serving thread ---
    void AnnounceImage();
    void QueueUnsolicited(Bytes bytes) { m_out.push_back({std::move(bytes), 0, Clock::now()}); }

private:
    using Handler = std::optional<Bytes> (Server::*)(std::span<const std::uint8_t> frame);
    struct CommandRow {
        std::uint8_t command;
        bool alsoAtIdZero;  // answered when addressed to id 0 as well
        Handler handle;
    };
    static const CommandRow kCommands[];

    struct Outgoing {
        Bytes bytes;
        std::size_t sent = 0;
        Clock::time_point notBefore;
        std::size_t chunk = 0;  // pause after every chunk bytes; 0: no pauses
        std::chrono::milliseconds pause{0};
    };
    struct ActiveFault {
        Fault fault;
        int remaining;  // negative: until cleared
    };
    struct Published {
        std::uint8_t id = 1;
        std::uint32_t baud = 115200;
        Bytes picture;
    };

    void Run();
    void ReadLine();
    void HandleFrame(const Bytes& frame);
    void QueueReply(Bytes reply);
    void WriteOutput();
    std::optional<Clock::time_point> NextOutputTime() const;
    void MakePicture(const PictureParams& params);
    void Publish();
    void LoadState();
    void SaveState() const;

    std::optional<Bytes> OnQueryId(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnSetId(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnSetBaud(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnSnapshot(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnSetPicture(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnSetPacketSize(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnSubPacketStart(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnGetPacket(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnSimpleSubPacket(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnReadImage(std::span<const std::uint8_t> frame);
    std::optional<Bytes> OnOsdText(std::span<const std::uint8_t> frame);

    const CameraOptions m_options;
    PtyLine m_line;
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    bool m_linked = false;

    // Owned by the serving thread.
    std::uint8_t m_id = 1;
    std::uint32_t m_baud = 115200;
    std::uint8_t m_resolution = 5;
    std::uint8_t m_quality = 1;
    bool m_test = false;
    std::uint16_t m_packetSize = kDefaultPacketSize;
    Bytes m_picture;  // of the current transfer
    unsigned m_pictureNumber = 0;
    FrameAssembler m_assembler;
    Clock::time_point m_lastInput;
    std::deque<Outgoing> m_out;
    Clock::time_point m_lineFreeAt;
    bool m_writeBlocked = false;

    // Shared, under m_mutex.
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    Published m_published;
    CameraStats m_stats;
    std::deque<Bytes> m_frames;
    std::deque<OsdFrame> m_osd;
    std::vector<ActiveFault> m_faults;
    bool m_answering = true;
    std::vector<std::function<void()>> m_tasks;
};

// One row per command the camera understands; a new command is a row here and
// a handler below.
const Camera::Server::CommandRow Camera::Server::kCommands[] = {
    {CMD_QUERY_ID, true, &Server::OnQueryId},
    {CMD_SET_ID, false, &Server::OnSetId},
    {CMD_SET_BAUD, false, &Server::OnSetBaud},
    {CMD_SET_BAUD_SAVE, false, &Server::OnSetBaud},
    {CMD_SNAPSHOT, false, &Server::OnSnapshot},
    {CMD_SET_PICTURE, false, &Server::OnSetPicture},
    {CMD_SET_PACKET_SIZE, false, &Server::OnSetPacketSize},
    {CMD_SUBPACKET_START, false, &Server::OnSubPacketStart},
    {CMD_GET_PACKET, false, &Server::OnGetPacket},
    {CMD_SIMPLE_SUBPACKET, false, &Server::OnSimpleSubPacket},
    {CMD_READ_IMAGE, false, &Server::OnReadImage},
    {CMD_OSD_TEXT, false, &Server::OnOsdText},
};

// ---------------------------------------------------------------- lifecycle

bool Camera::Server::Start(std::string* error)
{
    if (m_thread.joinable())
        return true;
    m_id = m_options.id;
    m_baud = m_options.baud;
    LoadState();
    if (!m_line.Open(m_baud, error))
        return false;
    if (!m_options.linkPath.empty()) {
        struct stat existing{};
        if (::lstat(m_options.linkPath.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode))
            ::unlink(m_options.linkPath.c_str());
        if (::symlink(m_line.SlavePath().c_str(), m_options.linkPath.c_str()) != 0) {
            if (error)
                *error = "cannot make the link " + m_options.linkPath;
            m_line.Close();
            return false;
        }
        m_linked = true;
    }
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    Publish();
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void Camera::Server::Stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    if (m_wake >= 0)
        ::close(m_wake);
    m_wake = -1;
    if (m_linked)
        ::unlink(m_options.linkPath.c_str());
    m_linked = false;
    m_line.Close();
}

void Camera::Server::LoadState()
{
    if (m_options.stateFile.empty())
        return;
    std::ifstream in(m_options.stateFile);
    std::string key;
    unsigned long value = 0;
    while (in >> key >> value) {
        if (key == "id" && value <= 0xFF)
            m_id = static_cast<std::uint8_t>(value);
        else if (key == "baud" && BaudCodeFromRate(static_cast<std::uint32_t>(value)))
            m_baud = static_cast<std::uint32_t>(value);
    }
}

void Camera::Server::SaveState() const
{
    if (m_options.stateFile.empty())
        return;
    std::ofstream out(m_options.stateFile, std::ios::trunc);
    out << "id " << unsigned(m_id) << "\nbaud " << m_baud << "\n";
}

void Camera::Server::Publish()
{
    Locked([&] {
        m_published.id = m_id;
        m_published.baud = m_baud;
    });
}

void Camera::Server::Post(std::function<void()> task)
{
    Locked([&] { m_tasks.push_back(std::move(task)); });
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
}

bool Camera::Server::WaitUntil(const std::function<bool(const CameraStats&)>& condition,
                               std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return condition(m_stats); });
}

// ---------------------------------------------------------------- serving loop

void Camera::Server::Run()
{
    while (!m_stop) {
        const auto now = Clock::now();
        std::optional<Clock::time_point> wakeAt = NextOutputTime();
        if (m_assembler.Buffered() > 0) {
            const auto giveUp = m_lastInput + kQuietLine;
            wakeAt = wakeAt ? std::min(*wakeAt, giveUp) : giveUp;
        }
        // A master write that found the slave's buffers full is retried a little
        // later: poll() on a pty master reports room it does not have.
        if (m_writeBlocked)
            wakeAt = std::max(wakeAt.value_or(now), now + kRetryWrite);
        timespec timeout{};
        if (wakeAt) {
            const auto ns = std::max<long long>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(*wakeAt - now).count());
            timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
            timeout.tv_nsec = static_cast<long>(ns % 1000000000);
        }
        pollfd fds[2] = {{m_line.Master(), POLLIN, 0}, {m_wake, POLLIN, 0}};
        ::ppoll(fds, 2, wakeAt ? &timeout : nullptr, nullptr);
        if (m_stop)
            break;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] auto n = ::read(m_wake, &count, sizeof count);
        }
        std::vector<std::function<void()>> tasks;
        Locked([&] { tasks.swap(m_tasks); });
        for (auto& task : tasks)
            task();
        if (fds[0].revents & POLLIN)
            ReadLine();
        if (m_assembler.Buffered() > 0 && Clock::now() >= m_lastInput + kQuietLine) {
            for (const auto& frame : m_assembler.Resync())
                HandleFrame(frame);
            m_assembler.Clear();
        }
        WriteOutput();
    }
}

void Camera::Server::ReadLine()
{
    std::uint8_t buffer[kReadSize];
    const ssize_t n = ::read(m_line.Master(), buffer, sizeof buffer);
    if (n <= 0)
        return;
    m_lastInput = Clock::now();
    const bool understood = m_line.Matches(m_baud);
    Locked([&] {
        m_stats.bytesReceived += static_cast<std::size_t>(n);
        if (!understood)
            m_stats.bytesNotUnderstood += static_cast<std::size_t>(n);
    });
    if (!understood) {
        // Framing errors at the wrong rate: nothing of it makes a frame, and a
        // request begun before is lost too.
        m_assembler.Clear();
        m_changed.notify_all();
        return;
    }
    for (const auto& frame : m_assembler.Feed(std::span(buffer, static_cast<std::size_t>(n))))
        HandleFrame(frame);
    m_changed.notify_all();
}

void Camera::Server::HandleFrame(const Bytes& frame)
{
    const std::uint8_t addressee = frame[frame::kIdOffset];
    const std::uint8_t command = frame[frame::kCommandOffset];
    for (const auto& row : kCommands) {
        if (row.command != command || (addressee != m_id && !(row.alsoAtIdZero && addressee == 0)))
            continue;
        if (auto reply = (this->*row.handle)(frame)) {
            QueueReply(std::move(*reply));
            break;
        }
    }
    Locked([&] {
        m_frames.push_back(frame);
        if (m_frames.size() > kFrameLogLimit)
            m_frames.pop_front();
        ++m_stats.framesReceived;
    });
    m_changed.notify_all();
}

void Camera::Server::QueueReply(Bytes reply)
{
    Outgoing out{std::move(reply), 0, Clock::now()};
    bool drop = false, corrupt = false;
    int lengthChange = 0;
    Locked([&] {
        if (!m_answering) {
            drop = true;
            return;
        }
        const std::uint8_t command = out.bytes[frame::kCommandOffset];
        std::optional<std::uint16_t> packet;
        if (command == CMD_GET_PACKET)
            if (const auto parsed = ParsePacketReply(out.bytes))
                packet = parsed->packetNumber;
        for (auto& active : m_faults) {
            const Fault& f = active.fault;
            if (active.remaining == 0 || (f.command && *f.command != command) || (f.packet && f.packet != packet))
                continue;
            switch (f.kind) {
            case Fault::Kind::Drop: drop = true; break;
            case Fault::Kind::CorruptCrc: corrupt = true; break;
            case Fault::Kind::Split:
                out.chunk = std::max<std::size_t>(1, f.chunkSize);
                out.pause = f.pause;
                break;
            case Fault::Kind::Delay: out.notBefore += f.pause; break;
            case Fault::Kind::WrongLength: lengthChange += f.lengthChange; break;
            }
            if (active.remaining > 0)
                --active.remaining;
        }
        std::erase_if(m_faults, [](const ActiveFault& a) { return a.remaining == 0; });
        if (!drop)
            ++m_stats.repliesQueued;
    });
    if (drop)
        return;
    if (corrupt)
        out.bytes.back() = static_cast<std::uint8_t>(~out.bytes.back());
    if (lengthChange < 0)
        out.bytes.resize(out.bytes.size() - std::min<std::size_t>(out.bytes.size(), static_cast<std::size_t>(-lengthChange)));
    else
        out.bytes.resize(out.bytes.size() + static_cast<std::size_t>(lengthChange), 0);
    m_out.push_back(std::move(out));
}

std::optional<Clock::time_point> Camera::Server::NextOutputTime() const
{
    if (m_out.empty())
        return std::nullopt;
    auto at = m_out.front().notBefore;
    if (m_options.pacing)
        at = std::max(at, m_lineFreeAt);
    return at;
}

void Camera::Server::WriteOutput()
{
    const auto byteTime = std::chrono::nanoseconds(1000000000LL * kBitsPerByte / std::max<std::uint32_t>(1, m_baud));
    // Paced output goes out in pieces of about 10 ms of line time, and never
    // fewer than kShortReply bytes: the console recognises short replies by
    // the size of one read, so they must not straddle two even at 9600.
    const std::size_t pacedPiece = std::max<std::size_t>(kShortReply, m_baud / kBitsPerByte / 100);
    while (!m_out.empty()) {
        const auto now = Clock::now();
        Outgoing& out = m_out.front();
        if (now < out.notBefore || (m_options.pacing && now < m_lineFreeAt))
            return;
        std::size_t n = std::min(out.bytes.size() - out.sent, kReadSize);
        if (out.chunk)
            n = std::min(n, out.chunk - out.sent % out.chunk);
        if (m_options.pacing)
            n = std::min(n, pacedPiece);
        std::uint8_t piece[kReadSize];
        std::copy_n(out.bytes.begin() + static_cast<std::ptrdiff_t>(out.sent), n, piece);
        if (!m_line.Matches(m_baud))
            std::transform(piece, piece + n, piece, Garbled);
        const ssize_t written = n ? ::write(m_line.Master(), piece, n) : 0;
        if (written < 0) {
            // Full (EAGAIN) or no listener: try again later, reading requests meanwhile.
            m_writeBlocked = true;
            return;
        }
        m_writeBlocked = false;
        out.sent += static_cast<std::size_t>(written);
        Locked([&] { m_stats.bytesWritten += static_cast<std::size_t>(written); });
        if (m_options.pacing) {
            // Continue from where the line got to, unless it has been idle.
            if (m_lineFreeAt + pacedPiece * byteTime < now)
                m_lineFreeAt = now;
            m_lineFreeAt += static_cast<long>(written) * byteTime;
        }
        if (out.sent >= out.bytes.size()) {
            m_out.pop_front();
            continue;
        }
        if (out.chunk && out.sent % out.chunk == 0)
            out.notBefore = now + out.pause;
    }
}

// ---------------------------------------------------------------- pictures

void Camera::Server::MakePicture(const PictureParams& base)
{
    PictureParams params = base;
    params.number = ++m_pictureNumber;
    m_picture = MakeTestPicture(params);
    Locked([&] { m_published.picture = m_picture; });
}

void Camera::Server::AnnounceImage()
{
    MakePicture({m_resolution, m_quality, m_test});
    QueueUnsolicited(BuildImageReadyAnnouncement(m_id, static_cast<std::uint32_t>(m_picture.size())));
}

// ---------------------------------------------------------------- handlers

std::optional<Bytes> Camera::Server::OnQueryId(std::span<const std::uint8_t> frame)
{
    if (!IsQueryIdRequest(frame))
        return std::nullopt;
    return BuildQueryIdReply(m_id, BaudCodeFromRate(m_baud).value_or(BaudCodeFromText("")));
}

// The new id and rate are not answered; they hold from the next frame on.
std::optional<Bytes> Camera::Server::OnSetId(std::span<const std::uint8_t> frame)
{
    if (const auto id = ParseSetIdRequest(frame)) {
        m_id = *id;
        Publish();
    }
    return std::nullopt;
}

std::optional<Bytes> Camera::Server::OnSetBaud(std::span<const std::uint8_t> frame)
{
    const auto request = ParseSetBaudRequest(frame);
    if (!request)
        return std::nullopt;
    if (const auto rate = BaudRateFromCode(request->baudCode)) {
        m_baud = *rate;
        if (request->save)
            SaveState();
        Publish();
    }
    return std::nullopt;
}

std::optional<Bytes> Camera::Server::OnSnapshot(std::span<const std::uint8_t> frame)
{
    const auto request = ParseSnapshotRequest(frame);
    if (!request)
        return std::nullopt;
    const PictureParams params = ParamsOf(request->resolution, request->quality);
    m_resolution = params.resolution;
    m_quality = params.quality;
    m_test = params.test;
    MakePicture(params);
    return BuildSnapshotReply(m_id, m_picture);
}

std::optional<Bytes> Camera::Server::OnSetPicture(std::span<const std::uint8_t> frame)
{
    const auto request = ParseSetPictureRequest(frame);
    if (!request)
        return std::nullopt;
    const PictureParams params = ParamsOf(request->resolution, request->quality);
    m_resolution = params.resolution;
    m_quality = params.quality;
    m_test = params.test;
    return BuildSetPictureReply(m_id, request->resolution, request->quality);
}

std::optional<Bytes> Camera::Server::OnSetPacketSize(std::span<const std::uint8_t> frame)
{
    const auto size = ParseSetPacketSizeRequest(frame);
    if (!size)
        return std::nullopt;
    if (*size > 0)
        m_packetSize = std::min(*size, kMaxPacketSize);
    return BuildSetPacketSizeReply(m_id, m_packetSize);
}

std::optional<Bytes> Camera::Server::OnSubPacketStart(std::span<const std::uint8_t> frame)
{
    if (!IsSubPacketStartRequest(frame))
        return std::nullopt;
    MakePicture({m_resolution, m_quality, m_test});
    const auto length = static_cast<std::uint32_t>(m_picture.size());
    return BuildSubPacketStartReply(m_id, {length, static_cast<std::uint16_t>(PacketCount(length, m_packetSize))});
}

std::optional<Bytes> Camera::Server::OnGetPacket(std::span<const std::uint8_t> frame)
{
    const auto number = ParseGetPacketRequest(frame);
    if (!number || m_picture.empty())
        return std::nullopt;
    const std::size_t from = std::size_t{*number} * m_packetSize;
    if (from >= m_picture.size())
        return std::nullopt;
    const std::size_t length = std::min<std::size_t>(m_packetSize, m_picture.size() - from);
    return BuildPacketReply(m_id, *number, std::span(m_picture).subspan(from, length));
}

std::optional<Bytes> Camera::Server::OnSimpleSubPacket(std::span<const std::uint8_t> frame)
{
    const auto request = ParseSimpleSubPacketRequest(frame);
    if (!request)
        return std::nullopt;
    m_resolution = request->resolution;
    m_quality = request->quality;
    m_test = request->test;
    MakePicture({m_resolution, m_quality, m_test});
    const std::uint16_t packetSize = request->packetSize ? request->packetSize : kDefaultSimplePacketSize;
    const auto size = static_cast<std::uint32_t>(m_picture.size());
    return BuildSimpleSubPacketReply(m_id, {size, static_cast<std::uint16_t>(PacketCount(size, packetSize)), packetSize});
}

std::optional<Bytes> Camera::Server::OnReadImage(std::span<const std::uint8_t> frame)
{
    const auto request = ParseReadImageRequest(frame);
    if (!request || m_picture.empty())
        return std::nullopt;
    const std::size_t from = std::min<std::size_t>(request->offset, m_picture.size());
    const std::size_t length = std::min<std::size_t>(request->length, m_picture.size() - from);
    return BuildReadImageReply(m_id, std::span(m_picture).subspan(from, length));
}

std::optional<Bytes> Camera::Server::OnOsdText(std::span<const std::uint8_t> frame)
{
    if (auto osd = ParseOsdFrame(frame))
        Locked([&] {
            m_osd.push_back(std::move(*osd));
            if (m_osd.size() > kOsdLogLimit)
                m_osd.pop_front();
        });
    return std::nullopt;
}

// ---------------------------------------------------------------- Camera

Camera::Camera(CameraOptions options) : m_server(std::make_unique<Server>(std::move(options))) {}
Camera::~Camera() = default;

bool Camera::Start(std::string* error) { return m_server->Start(error); }
void Camera::Stop() { m_server->Stop(); }
std::string Camera::DevicePath() const { return m_server->DevicePath(); }
std::string Camera::LinkPath() const { return m_server->LinkPath(); }
std::uint8_t Camera::CurrentId() const { return m_server->CurrentId(); }
std::uint32_t Camera::CurrentBaud() const { return m_server->CurrentBaud(); }
void Camera::AddFault(const Fault& fault, int replies) { m_server->AddFault(fault, replies); }
void Camera::ClearFaults() { m_server->ClearFaults(); }
void Camera::SetAnswering(bool answering) { m_server->SetAnswering(answering); }
std::vector<Bytes> Camera::ReceivedFrames() const { return m_server->ReceivedFrames(); }
std::vector<OsdFrame> Camera::OsdTexts() const { return m_server->OsdTexts(); }
Bytes Camera::LastPicture() const { return m_server->LastPicture(); }
CameraStats Camera::Stats() const { return m_server->Stats(); }

void Camera::AnnounceImage()
{
    Server* server = m_server.get();
    server->Post([server] { server->AnnounceImage(); });
}

void Camera::SendText(const std::string& text) { SendRaw(Bytes(text.begin(), text.end())); }

void Camera::SendTrigger() { SendRaw(Bytes(std::begin(kTrigger), std::end(kTrigger))); }

void Camera::SendRaw(const Bytes& bytes)
{
    Server* server = m_server.get();
    server->Post([server, bytes] { server->QueueUnsolicited(bytes); });
}

bool Camera::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const
{
    return m_server->WaitUntil([count](const CameraStats& s) { return s.framesReceived >= count; }, timeout);
}

bool Camera::WaitUntil(const std::function<bool(const CameraStats&)>& condition, std::chrono::milliseconds timeout) const
{
    return m_server->WaitUntil(condition, timeout);
}

}  // namespace qzr::sim
