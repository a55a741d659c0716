#pragma once

#include <cstdint>
#include <optional>

#include "ui/types.h"

namespace ui {

// The figures of one long transfer for a progress control: the bytes done of
// the bytes in all, and the rate since the transfer started, measured on the
// backend's clock. Before Start and after Stop there are none.
class CTransferMeter {
public:
    // A transfer of `total` bytes starts now, nothing of it done.
    void Start(std::uint64_t total);
    void Stop() { m_running = false; }
    bool Running() const { return m_running; }
    void SetDone(std::uint64_t done) { m_done = done; }

    // Done, total and bytes a second so far; nullopt while no transfer runs.
    std::optional<Progress> Figures() const;

private:
    bool m_running = false;
    std::uint64_t m_total = 0;
    std::uint64_t m_done = 0;
    std::uint64_t m_startMs = 0;
};

class CDialog;

// A transfer's figures shown in a progress control of a window: the bar fills
// as the transfer goes and empties when it ends or is given up. A transfer
// whose bytes have not moved for `stallMs` counts as given up.
class CTransferProgress {
public:
    CTransferProgress(CDialog& window, int controlId, std::uint64_t stallMs = 10000)
        : m_window(window), m_controlId(controlId), m_stallMs(stallMs)
    {
    }

    // A transfer of `total` bytes starts now.
    void Begin(std::uint64_t total);
    // `done` bytes of it have arrived.
    void Advance(std::uint64_t done);
    // It ended (or was refused or abandoned): the bar empties.
    void End();
    bool Running() const { return m_meter.Running(); }
    // Called now and then (a poll tick): ends a transfer that stalled.
    void Check();

private:
    void Show();

    CDialog& m_window;
    int m_controlId;
    std::uint64_t m_stallMs;
    CTransferMeter m_meter;
    std::uint64_t m_done = 0;
    std::uint64_t m_lastMoveMs = 0;
};

}  // namespace ui
