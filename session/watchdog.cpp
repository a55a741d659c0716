#include "session/watchdog.h"

namespace qzr {

void CWatchdog::CountWholePackageTick()
{
    if (!m_bSnapshotPending) {
        m_nIdleTicks = 0;
        return;
    }
    if (++m_nIdleTicks > kPendingTicks) {
        m_nIdleTicks = 0;
        m_bSnapshotPending = false;
    }
}

bool CWatchdog::Tick(bool awaitingStartReply)
{
    if (!m_bResendArmed)
        return false;
    const int limit = awaitingStartReply ? kIdleLimitStart : kIdleLimitOther;
    if (++m_nIdleTicks <= limit)
        return false;
    if (m_nResendCount >= kMaxResends) {
        m_bResendArmed = false;
        return false;
    }
    ++m_nResendCount;
    m_nIdleTicks = 0;
    return true;
}

}  // namespace qzr
