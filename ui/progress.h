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

}  // namespace ui
