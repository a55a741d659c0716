// On-screen text: recorded for tests, not answered.
#include <deque>

#include "protocol/commands.h"
#include "protocol/osd.h"
#include "sim/handlers.h"
#include "sim/server.h"

namespace qzr::sim {
namespace {

constexpr std::size_t kOsdLogLimit = 64;

struct OsdLog {
    std::deque<OsdFrame> texts;  // oldest first
};

bool OnOsdText(Context& context, std::span<const std::uint8_t> request)
{
    auto osd = ParseOsdFrame(request);
    if (!osd)
        return false;
    context.Publish<OsdLog>([&](OsdLog& log) {
        log.texts.push_back(std::move(*osd));
        if (log.texts.size() > kOsdLogLimit)
            log.texts.pop_front();
    });
    return true;
}

}  // namespace

void AddOsdCommands(CommandTable& table) { table.Add({CMD_OSD_TEXT, OnOsdText}); }

std::vector<OsdFrame> Camera::OsdTexts() const
{
    return m_server->Published<OsdLog>([](const OsdLog& log) { return std::vector<OsdFrame>(log.texts.begin(), log.texts.end()); });
}

}  // namespace qzr::sim
