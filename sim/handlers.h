#pragma once

// What a command file of the camera sees. A subsystem is one file that adds
// its rows to the command table (see subsystems.cpp) and keeps its own state
// in CameraState::Of<T>(); everything here runs on the camera's serving thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "protocol/frame.h"
#include "sim/camera_state.h"

namespace qzr::sim {

class Server;

// Names a scheduled task so that it can be cancelled; 0 names none.
using TaskId = std::uint64_t;

class Context {
public:
    CameraState& state;

    // A reply: it passes the fault switches and goes nowhere while the camera
    // is silent. Inside a handler it goes out at the rate the request came at.
    void Reply(Bytes reply);
    // Bytes the camera sends of its own accord: no fault touches them.
    void Send(Bytes bytes);

    // Runs `task` once after `delay`.
    TaskId After(std::chrono::milliseconds delay, std::function<void(Context&)> task);
    // Runs `task` every `period`, the first time one period from now, until it
    // returns false or is cancelled.
    TaskId Every(std::chrono::milliseconds period, std::function<bool(Context&)> task);
    // A task that has run its course or was cancelled before is no error.
    void Cancel(TaskId task);

    // Changes what a subsystem shows tests (kept by type, read through
    // Server::Published<T>) under the lock, and wakes tests waiting on the camera.
    template <typename T, typename F>
    void Publish(F&& change)
    {
        PublishIn([&](PartStore& published) { change(published.Get<T>()); });
    }

    // Changes the camera's own state of a subsystem and publishes the result.
    template <typename T, typename F>
    void Change(F&& change)
    {
        T& own = state.Of<T>();
        change(own);
        Publish<T>([&](T& published) { published = own; });
    }

private:
    friend class Server;
    Context(Server& server, CameraState& state) : state(state), m_server(server) {}
    void PublishIn(const std::function<void(PartStore&)>& change);

    Server& m_server;
};

// Takes a complete request frame; returns whether the request was its own.
// One that is not (a payload of another length, say) goes on to the next row
// with the same command byte.
using Handler = std::function<bool(Context&, std::span<const std::uint8_t> request)>;

struct CommandRow {
    std::uint8_t command;
    Handler handle;
    bool alsoAtIdZero = false;  // heard when addressed to id 0 as well as to the camera's id
    std::uint32_t rate = 0;     // heard at this line rate instead of the camera's own (0)
};

// The rows in the order requests try them.
class CommandTable {
public:
    void Add(CommandRow row) { m_rows.push_back(std::move(row)); }
    const std::vector<CommandRow>& Rows() const { return m_rows; }

private:
    std::vector<CommandRow> m_rows;
};

// Every subsystem's rows (subsystems.cpp).
void AddAllCommands(CommandTable& table);

}  // namespace qzr::sim
