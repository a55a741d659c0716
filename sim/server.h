#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "protocol/frame_stream.h"
#include "sim/camera.h"
#include "sim/camera_state.h"
#include "sim/handlers.h"
#include "sim/pty_line.h"

namespace qzr::sim {

// Serves the camera on its pseudo-terminal from a thread of its own: reads
// requests at the line settings the camera shares, hands them to the command
// table, and writes replies through the fault switches, paced at the line rate.
// Runs the tasks that handlers schedule. The public functions may be called
// from any thread.
class Server {
public:
    explicit Server(CameraOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Start(std::string* error);
    void Stop();

    std::string DevicePath() const { return m_line.SlavePath(); }
    std::string LinkPath() const { return m_options.linkPath; }
    std::uint8_t CurrentId() const;
    std::uint32_t CurrentBaud() const;
    CameraStats Stats() const;
    std::vector<Bytes> ReceivedFrames() const;

    void AddFault(const Fault& fault, int replies);
    void ClearFaults();
    void SetAnswering(bool answering);

    // Runs `task` on the serving thread as soon as it is free.
    void Post(std::function<void(Context&)> task);

    // Reads, under the lock, what a subsystem published with Context::Publish<T>.
    template <typename T, typename F>
    auto Published(F&& read) const
    {
        std::lock_guard lock(m_mutex);
        return read(std::as_const(m_published.Get<T>()));
    }

    bool WaitUntil(const std::function<bool(const CameraStats&)>& condition, std::chrono::milliseconds timeout) const;

private:
    friend class Context;
    using Clock = std::chrono::steady_clock;

    struct Outgoing {
        Bytes bytes;
        std::uint32_t rate = 0;  // 0: the camera's rate whenever a piece goes out
        std::size_t sent = 0;
        Clock::time_point notBefore = Clock::now();
        std::size_t chunk = 0;  // pause after every chunk bytes; 0: no pauses
        std::chrono::milliseconds pause{0};
    };
    struct ActiveFault {
        Fault fault;
        int remaining;  // negative: until cleared
    };
    struct Timed {
        TaskId id;
        Clock::time_point at;
        Clock::duration period;  // zero: once
        std::function<bool(Context&)> task;
    };

    void Run();
    void RunTasks();
    void ReadLine();
    std::optional<std::uint32_t> HeardRate() const;
    void HandleFrame(const Bytes& frame);
    void QueueReply(Bytes reply, std::uint32_t rate);
    void WriteOutput();
    std::optional<Clock::time_point> NextWakeTime() const;
    TaskId Schedule(Clock::duration delay, Clock::duration period, std::function<bool(Context&)> task);
    void Cancel(TaskId id);
    void PublishIdAndRate();
    void Wake();

    const CameraOptions m_options;
    PtyLine m_line;
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    bool m_linked = false;

    // Owned by the serving thread.
    CameraState m_state;
    Context m_context{*this, m_state};
    CommandTable m_commands;
    FrameAssembler m_assembler;
    Clock::time_point m_lastInput;
    std::uint32_t m_heardRate = 0;  // of the bytes in the assembler; 0: the camera's own
    std::uint32_t m_replyRate = 0;  // of the row whose handler runs
    std::deque<Outgoing> m_out;
    Clock::time_point m_lineFreeAt;
    bool m_writeBlocked = false;
    std::vector<Timed> m_timers;
    TaskId m_lastTaskId = 0;
    TaskId m_runningTask = 0;
    bool m_runningCancelled = false;

    // Shared, under m_mutex.
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::uint8_t m_publishedId;
    std::uint32_t m_publishedBaud;
    mutable PartStore m_published;
    CameraStats m_stats;
    std::deque<Bytes> m_frames;
    std::vector<ActiveFault> m_faults;
    bool m_answering = true;
    std::vector<std::function<void(Context&)>> m_posted;
};

}  // namespace qzr::sim
