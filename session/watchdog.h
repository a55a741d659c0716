#pragma once

namespace qzr {

// Poll-tick counting for the transfers: the resend watchdog of numbered
// sub-packet transfers and the idle count that ends a whole-package snapshot's
// pending state. Every new frame starts the counts over.
class CWatchdog {
public:
    // A frame was remembered for resending: the idle ticks and its resends start at 0.
    void FrameSent()
    {
        m_nIdleTicks = 0;
        m_nResendCount = 0;
    }
    // A reply (or any bytes the reader took) arrived.
    void ReplyArrived() { m_nIdleTicks = 0; }

    // A numbered sub-packet transfer starts (armed) or ends (disarmed).
    void Arm() { m_bResendArmed = true; }
    void Disarm() { m_bResendArmed = false; }
    bool Armed() const { return m_bResendArmed; }

    // The Snapshot button was pressed: whole-package polls count the ticks
    // until the picture arrives or 20 have passed.
    void SnapshotRequested()
    {
        m_bSnapshotPending = true;
        m_nIdleTicks = 0;
    }
    void SnapshotArrived() { m_bSnapshotPending = false; }
    // The whole-package poll's counting: while a snapshot is pending the
    // ticks count up and give up after 20; otherwise they stay at 0.
    void CountWholePackageTick();

    // One tick of the watchdog. True when the last frame is to be resent now
    // (at most five times per frame): after 600 idle ticks while the reply to
    // the start request is awaited, after 400 otherwise.
    bool Tick(bool awaitingStartReply);

    static constexpr int kIdleLimitStart = 600;  // 60 s for the reply to the start request
    static constexpr int kIdleLimitOther = 400;  // 40 s for any other awaited reply
    static constexpr int kMaxResends = 5;
    static constexpr int kPendingTicks = 20;

private:
    int m_nIdleTicks = 0;
    int m_nResendCount = 0;
    bool m_bResendArmed = false;
    bool m_bSnapshotPending = false;
};

}  // namespace qzr
