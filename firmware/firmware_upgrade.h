#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/firmware.h"
#include "ui/progress.h"

// The firmware upgrade's own state: the program read from a file and cut into
// packets, whether an upgrade runs, the camera's request gathered across
// reads, and the transfer's progress. The camera drives the transfer, so
// nothing here decides which packet goes next; the progress only counts which
// packets were served at least once.
class CFirmwareUpgrade {
public:
    enum class LoadResult { Loaded, CannotOpen, TooLarge };
    // Reads a program file of at most 409,600 bytes, byte for byte. A refused
    // file leaves the program in memory as it was, with no file selected.
    LoadResult Load(const std::string& path);

    // Bytes of the selected program file; 0 when none is (an empty file, or
    // the last load failed).
    std::size_t SelectedLength() const { return m_nFirmwareLen; }
    std::size_t ProgramLength() const { return m_program.size(); }
    // N and R of the program in memory.
    const qzr::UpgradePlan& Plan() const { return m_plan; }
    // The program bytes packet `index` carries; empty beyond the last packet.
    std::span<const std::uint8_t> PacketData(std::uint16_t index) const;

    bool Upgrading() const { return m_bUpgrading; }
    // Upload announced the program: requests are served from now on.
    void Start();
    // Cancel or the camera's completion: requests are no longer read.
    void Stop();

    // The request being gathered. There is one for the program's life; an
    // upgrade's end leaves it as it is.
    qzr::UpgradeRequestGatherer& Request() { return m_request; }

    // A packet went out whole.
    void PacketServed(std::uint16_t index);
    // Program bytes of the packets served so far (each packet once) of the
    // program's bytes, with the rate since Upload; nullopt while no upgrade runs.
    std::optional<ui::Progress> Progress() const { return m_meter.Figures(); }

private:
    void RestartProgress();

    qzr::Bytes m_program;
    qzr::UpgradePlan m_plan;
    std::size_t m_nFirmwareLen = 0;
    bool m_bUpgrading = false;
    qzr::UpgradeRequestGatherer m_request;
    std::vector<bool> m_served;  // by packet index
    std::uint64_t m_nServedBytes = 0;
    ui::CTransferMeter m_meter;
};
