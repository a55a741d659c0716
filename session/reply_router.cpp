#include "session/reply_router.h"

#include "protocol/frame.h"

namespace qzr {

ReplyRouter::Pushed ReplyRouter::Push(Table table)
{
    m_tables.push_back(std::move(table));
    return Pushed(*this);
}

bool ReplyRouter::Matches(const ReplyRoute& route, Reply reply)
{
    if (route.length && *route.length != reply.size())
        return false;
    if (route.command) {
        const auto header = ParseFrameHeader(reply);
        if (!header || header->command != *route.command)
            return false;
    }
    return !route.condition || route.condition(reply);
}

RouteResult ReplyRouter::Dispatch(ReplyPoint point, Reply reply) const
{
    // A copy: a handler may open a window that pushes a table of its own.
    const Table rows = m_tables.back();
    for (const ReplyRoute& route : rows) {
        if (route.point != point || !Matches(route, reply))
            continue;
        const RouteResult result = route.handler(reply);
        if (result != RouteResult::Continue)
            return result;
    }
    return RouteResult::Continue;
}

std::function<bool(Reply)> PayloadStartsWith(std::uint8_t a, std::uint8_t b)
{
    return [a, b](Reply reply) {
        const auto payload = ReplyPayload(reply);
        return payload.size() >= 2 && payload[0] == a && payload[1] == b;
    };
}

}  // namespace qzr
