#include "ui/progress.h"

#include "ui/backend.h"
#include "ui/dialog.h"

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

void CTransferProgress::Begin(std::uint64_t total)
{
    m_meter.Start(total);
    m_done = 0;
    m_lastMoveMs = CurrentBackend().TickCount();
    Show();
}

void CTransferProgress::Advance(std::uint64_t done)
{
    if (!m_meter.Running())
        return;
    if (done != m_done)
        m_lastMoveMs = CurrentBackend().TickCount();
    m_done = done;
    m_meter.SetDone(done);
    Show();
}

void CTransferProgress::End()
{
    if (!m_meter.Running())
        return;
    m_meter.Stop();
    Show();
}

void CTransferProgress::Check()
{
    if (m_meter.Running() && CurrentBackend().TickCount() - m_lastMoveMs >= m_stallMs)
        End();
}

void CTransferProgress::Show() { m_window.SetProgress(m_controlId, m_meter.Figures()); }

}  // namespace ui
