#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace qzr {

using Reply = std::span<const std::uint8_t>;

// Where a reader consults the router. Each reader walks its points in the
// order below, and at each point the rows added there in the order they were
// added.
enum class ReplyPoint {
    // The whole-package reader, for every chunk read:
    WholeEveryChunk,  // before anything else looks at it
    WholeFramed,      // chunks that start 90 EB, recognised by their length and command
    WholeExpected,    // after the buffer check, by the reply the console awaits
    // The sub-packet reader:
    SubEveryChunk,    // before anything else looks at it
    SubUnsolicited,   // what a camera sends by itself, whatever is awaited
    SubExpected,      // by the reply the console awaits
    // The reader of a child window with its port of its own: one frame.
    Frame,
};

// What became of a reply at a row.
enum class RouteResult {
    Continue,  // not for this row (or looked at only): the reader goes on
    Taken,     // handled: the reader ends with the bytes taken
    Wait,      // held back or not accepted (yet): the reader ends, nothing taken
};

inline constexpr std::optional<std::size_t> kAnyLength = std::nullopt;
inline constexpr std::optional<std::uint8_t> kAnyCommand = std::nullopt;

// One row: a reply of this length (or any) carrying this command at offset 3
// behind 90 EB (or any bytes at all), for which the condition holds, goes to
// the handler.
struct ReplyRoute {
    ReplyPoint point;
    std::optional<std::size_t> length;
    std::optional<std::uint8_t> command;
    std::function<bool(Reply)> condition;  // empty: always
    std::function<RouteResult(Reply)> handler;
};

// The reply dispatch of a window, as a table. The main window's table is at
// the bottom; a child window that reads the same command bytes its own way
// (burst test, quick shot) pushes its table while it runs, and the readers
// consult the top table only.
class ReplyRouter {
public:
    using Table = std::vector<ReplyRoute>;

    ReplyRouter() : m_tables(1) {}

    // A row of the table on top.
    void Add(ReplyRoute route) { m_tables.back().push_back(std::move(route)); }

    // Makes `table` the one consulted until the returned guard goes.
    class Pushed {
    public:
        explicit Pushed(ReplyRouter& router) : m_router(&router) {}
        Pushed(Pushed&& other) noexcept : m_router(other.m_router) { other.m_router = nullptr; }
        Pushed(const Pushed&) = delete;
        Pushed& operator=(const Pushed&) = delete;
        Pushed& operator=(Pushed&&) = delete;
        ~Pushed()
        {
            if (m_router)
                m_router->m_tables.pop_back();
        }

    private:
        ReplyRouter* m_router;
    };
    [[nodiscard]] Pushed Push(Table table);

    // Offers the reply to the rows of `point` in the top table, in order,
    // until one takes it or holds it back; Continue when none did.
    RouteResult Dispatch(ReplyPoint point, Reply reply) const;

    // Rows in the top table (for a look at the routes, as in tests).
    const Table& Top() const { return m_tables.back(); }

private:
    static bool Matches(const ReplyRoute& route, Reply reply);

    std::vector<Table> m_tables;
};

// Conditions.
// Payload bytes 0 and 1 (frame bytes 6 and 7) are `a` and `b`.
std::function<bool(Reply)> PayloadStartsWith(std::uint8_t a, std::uint8_t b);

}  // namespace qzr
