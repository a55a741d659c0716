#include "ui/progress.h"

#include "ui/backend.h"

namespace ui {

void CTransferMeter::Start(std::uint64_t total)
{
    m_running = true;
    m_total = total;
    m_done = 0;
    m_startMs = CurrentBackend().TickCount();
}

std::optional<Progress> CTransferMeter::Figures() const
{
    if (!m_running)
        return std::nullopt;
    const std::uint64_t elapsedMs = CurrentBackend().TickCount() - m_startMs;
    const std::uint64_t rate = elapsedMs == 0 ? 0 : m_done * 1000 / elapsedMs;
    return Progress{m_done, m_total, rate};
}

}  // namespace ui
