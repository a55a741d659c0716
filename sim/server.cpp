#include "sim/server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "protocol/commands.h"
#include "protocol/subpacket.h"

namespace qzr::sim {
namespace {

constexpr std::size_t kMaxRequestPayload = 8192;
constexpr std::size_t kFrameLogLimit = 4096;
constexpr int kBitsPerByte = 11;  // start, 8 data, 2 stop
// A request that stops arriving for this long was line noise, not a frame.
constexpr auto kQuietLine = std::chrono::milliseconds(200);
constexpr std::size_t kReadSize = 4096;  // a pty never reports more queued
constexpr auto kRetryWrite = std::chrono::milliseconds(5);
constexpr std::size_t kShortReply = 64;
constexpr auto kShortestPeriod = std::chrono::milliseconds(1);

// What the console reads when the camera talks at another rate: a byte for a
// byte, never the one sent.
std::uint8_t Garbled(std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); }

}  // namespace

Server::Server(CameraOptions options)
    : m_options(std::move(options)),
      m_state(m_options.id, m_options.baud, m_options.stateFile),
      m_assembler(kMaxRequestPayload),
      m_publishedId(m_options.id),
      m_publishedBaud(m_options.baud)
{
    AddAllCommands(m_commands);
}

Server::~Server() { Stop(); }

// ---------------------------------------------------------------- lifecycle

bool Server::Start(std::string* error)
{
    if (m_thread.joinable())
        return true;
    m_state.id = m_options.id;
    m_state.baud = m_options.baud;
    m_state.Load();
    if (!m_line.Open(m_state.baud, error))
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
    PublishIdAndRate();
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void Server::Stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        Wake();
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

// ---------------------------------------------------------------- any thread

std::uint8_t Server::CurrentId() const
{
    std::lock_guard lock(m_mutex);
    return m_publishedId;
}

std::uint32_t Server::CurrentBaud() const
{
    std::lock_guard lock(m_mutex);
    return m_publishedBaud;
}

CameraStats Server::Stats() const
{
    std::lock_guard lock(m_mutex);
    return m_stats;
}

std::vector<Bytes> Server::ReceivedFrames() const
{
    std::lock_guard lock(m_mutex);
    return {m_frames.begin(), m_frames.end()};
}

void Server::AddFault(const Fault& fault, int replies)
{
    std::lock_guard lock(m_mutex);
    m_faults.push_back({fault, replies});
}

void Server::ClearFaults()
{
    std::lock_guard lock(m_mutex);
    m_faults.clear();
}

void Server::SetAnswering(bool answering)
{
    std::lock_guard lock(m_mutex);
    m_answering = answering;
}

void Server::Post(std::function<void(Context&)> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
    }
    Wake();
}

bool Server::WaitUntil(const std::function<bool(const CameraStats&)>& condition, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return condition(m_stats); });
}

void Server::Wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
}

// ---------------------------------------------------------------- serving loop

void Server::Run()
{
    while (!m_stop) {
        const auto now = Clock::now();
        std::optional<Clock::time_point> wakeAt = NextWakeTime();
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
        RunTasks();
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

std::optional<Server::Clock::time_point> Server::NextWakeTime() const
{
    std::optional<Clock::time_point> at;
    const auto earliest = [&](Clock::time_point t) { at = at ? std::min(*at, t) : t; };
    if (!m_out.empty())
        earliest(m_options.pacing ? std::max(m_out.front().notBefore, m_lineFreeAt) : m_out.front().notBefore);
    if (m_assembler.Buffered() > 0)
        earliest(m_lastInput + kQuietLine);
    for (const auto& timed : m_timers)
        earliest(timed.at);
    return at;
}

// Posted tasks first, then the scheduled ones that are due, earliest first.
void Server::RunTasks()
{
    std::vector<std::function<void(Context&)>> posted;
    {
        std::lock_guard lock(m_mutex);
        posted.swap(m_posted);
    }
    for (auto& task : posted)
        task(m_context);

    // Only what is due now: a task that schedules another at once does not
    // keep the line waiting.
    const auto now = Clock::now();
    for (;;) {
        const auto due = std::min_element(m_timers.begin(), m_timers.end(),
                                          [](const Timed& a, const Timed& b) { return a.at < b.at; });
        if (due == m_timers.end() || due->at > now)
            break;
        Timed timed = std::move(*due);
        m_timers.erase(due);
        m_runningTask = timed.id;
        m_runningCancelled = false;
        const bool again = timed.task(m_context);
        m_runningTask = 0;
        if (again && timed.period > Clock::duration::zero() && !m_runningCancelled) {
            // Periods missed while the thread was busy are not made up in a burst.
            timed.at += timed.period;
            if (timed.at <= now)
                timed.at = now + timed.period;
            m_timers.push_back(std::move(timed));
        }
    }
    PublishIdAndRate();
}

TaskId Server::Schedule(Clock::duration delay, Clock::duration period, std::function<bool(Context&)> task)
{
    const TaskId id = ++m_lastTaskId;
    m_timers.push_back({id, Clock::now() + delay, period, std::move(task)});
    return id;
}

void Server::Cancel(TaskId id)
{
    if (id != 0 && id == m_runningTask)
        m_runningCancelled = true;
    std::erase_if(m_timers, [id](const Timed& timed) { return timed.id == id; });
}

void Server::PublishIdAndRate()
{
    std::lock_guard lock(m_mutex);
    m_publishedId = m_state.id;
    m_publishedBaud = m_state.baud;
}

// The rate the console's line is set to, when the camera hears anything at it:
// 0 for its own rate, else a rate a row of the table listens at.
std::optional<std::uint32_t> Server::HeardRate() const
{
    if (m_line.Matches(m_state.baud))
        return 0;
    for (const auto& row : m_commands.Rows())
        if (row.rate != 0 && m_line.Matches(row.rate))
            return row.rate;
    return std::nullopt;
}

void Server::ReadLine()
{
    std::uint8_t buffer[kReadSize];
    const ssize_t n = ::read(m_line.Master(), buffer, sizeof buffer);
    if (n <= 0)
        return;
    m_lastInput = Clock::now();
    const auto rate = HeardRate();
    {
        std::lock_guard lock(m_mutex);
        m_stats.bytesReceived += static_cast<std::size_t>(n);
        if (!rate)
            m_stats.bytesNotUnderstood += static_cast<std::size_t>(n);
    }
    if (!rate || *rate != m_heardRate) {
        // At a rate the camera does not hear, framing errors: nothing of it
        // makes a frame. A request begun at another setting is lost either way.
        m_assembler.Clear();
        m_heardRate = rate.value_or(0);
    }
    if (rate)
        for (const auto& frame : m_assembler.Feed(std::span(buffer, static_cast<std::size_t>(n))))
            HandleFrame(frame);
    m_changed.notify_all();
}

void Server::HandleFrame(const Bytes& frame)
{
    bool taken = false;
    if (const auto header = ParseFrameHeader(frame)) {
        for (const auto& row : m_commands.Rows()) {
            const bool addressed = header->cameraId == m_state.id || (row.alsoAtIdZero && header->cameraId == 0);
            const bool heard = row.rate == m_heardRate || (m_heardRate == 0 && row.rate == m_state.baud);
            if (row.command != header->command || !addressed || !heard)
                continue;
            m_replyRate = row.rate;
            taken = row.handle(m_context, frame);
            m_replyRate = 0;
            if (taken)
                break;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_heardRate != 0 && !taken) {
            // At a rate only some rows listen at, any other frame is noise.
            m_stats.bytesNotUnderstood += frame.size();
        } else {
            m_frames.push_back(frame);
            if (m_frames.size() > kFrameLogLimit)
                m_frames.pop_front();
            ++m_stats.framesReceived;
        }
        // A new id or rate holds from the next frame on; tests see it with this one counted.
        m_publishedId = m_state.id;
        m_publishedBaud = m_state.baud;
    }
    m_changed.notify_all();
}

// ---------------------------------------------------------------- output

void Server::QueueReply(Bytes reply, std::uint32_t rate)
{
    Outgoing out{std::move(reply), rate};
    bool drop = false, corrupt = false;
    int lengthChange = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_answering)
            return;
        const auto header = ParseFrameHeader(out.bytes);
        std::optional<std::uint8_t> command;
        std::optional<std::uint16_t> packet;
        if (header)
            command = header->command;
        if (command == CMD_GET_PACKET)
            if (const auto parsed = ParsePacketReply(out.bytes))
                packet = parsed->packetNumber;
        for (auto& active : m_faults) {
            const Fault& f = active.fault;
            if (active.remaining == 0 || (f.command && f.command != command) || (f.packet && f.packet != packet))
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
    }
    if (drop)
        return;
    // The check field ends every reply.
    if (corrupt && !out.bytes.empty())
        out.bytes.back() = static_cast<std::uint8_t>(~out.bytes.back());
    if (lengthChange < 0)
        out.bytes.resize(out.bytes.size() - std::min<std::size_t>(out.bytes.size(), static_cast<std::size_t>(-lengthChange)));
    else
        out.bytes.resize(out.bytes.size() + static_cast<std::size_t>(lengthChange), 0);
    m_out.push_back(std::move(out));
}

void Server::WriteOutput()
{
    while (!m_out.empty()) {
        const auto now = Clock::now();
        Outgoing& out = m_out.front();
        const std::uint32_t rate = out.rate ? out.rate : m_state.baud;
        const auto byteTime = std::chrono::nanoseconds(1000000000LL * kBitsPerByte / std::max<std::uint32_t>(1, rate));
        // Paced output goes out in pieces of about 10 ms of line time, and never
        // fewer than kShortReply bytes: the console recognises short replies by
        // the size of one read, so they must not straddle two even at 9600.
        const std::size_t pacedPiece = std::max<std::size_t>(kShortReply, rate / kBitsPerByte / 100);
        if (now < out.notBefore || (m_options.pacing && now < m_lineFreeAt))
            return;
        std::size_t n = std::min(out.bytes.size() - out.sent, kReadSize);
        if (out.chunk)
            n = std::min(n, out.chunk - out.sent % out.chunk);
        if (m_options.pacing)
            n = std::min(n, pacedPiece);
        std::uint8_t piece[kReadSize];
        std::copy_n(out.bytes.begin() + static_cast<std::ptrdiff_t>(out.sent), n, piece);
        if (!m_line.Matches(rate))
            std::transform(piece, piece + n, piece, Garbled);
        const ssize_t written = n ? ::write(m_line.Master(), piece, n) : 0;
        if (written < 0) {
            // Full (EAGAIN) or no listener: try again later, reading requests meanwhile.
            m_writeBlocked = true;
            return;
        }
        m_writeBlocked = false;
        out.sent += static_cast<std::size_t>(written);
        {
            std::lock_guard lock(m_mutex);
            m_stats.bytesWritten += static_cast<std::size_t>(written);
        }
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

// ---------------------------------------------------------------- Context

void Context::Reply(Bytes reply) { m_server.QueueReply(std::move(reply), m_server.m_replyRate); }

void Context::Send(Bytes bytes) { m_server.m_out.push_back({std::move(bytes), m_server.m_replyRate}); }

TaskId Context::After(std::chrono::milliseconds delay, std::function<void(Context&)> task)
{
    return m_server.Schedule(delay, Server::Clock::duration::zero(), [task = std::move(task)](Context& context) {
        task(context);
        return false;
    });
}

TaskId Context::Every(std::chrono::milliseconds period, std::function<bool(Context&)> task)
{
    const auto step = std::max<std::chrono::milliseconds>(period, kShortestPeriod);
    return m_server.Schedule(step, step, std::move(task));
}

void Context::Cancel(TaskId task) { m_server.Cancel(task); }

void Context::PublishIn(const std::function<void(PartStore&)>& change)
{
    {
        std::lock_guard lock(m_server.m_mutex);
        change(m_server.m_published);
    }
    m_server.m_changed.notify_all();
}

}  // namespace qzr::sim
