#include "firmware/firmware_upgrade.h"

#include <cstdio>
#include <memory>

CFirmwareUpgrade::LoadResult CFirmwareUpgrade::Load(const std::string& path)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        m_nFirmwareLen = 0;
        return LoadResult::CannotOpen;
    }
    // One byte more than the largest program tells a file that is too large,
    // whatever its size claims (a device or a file still growing).
    qzr::Bytes program(qzr::upgrade::kMaxProgram + 1);
    std::size_t length = 0;
    while (length < program.size()) {
        const std::size_t n = std::fread(program.data() + length, 1, program.size() - length, file.get());
        if (n == 0)
            break;
        length += n;
    }
    if (std::ferror(file.get())) {  // a directory, or a device that fails
        m_nFirmwareLen = 0;
        return LoadResult::CannotOpen;
    }
    if (length > qzr::upgrade::kMaxProgram) {
        m_nFirmwareLen = 0;
        return LoadResult::TooLarge;
    }
    program.resize(length);
    m_program = std::move(program);
    m_plan = qzr::PlanUpgrade(length);
    m_nFirmwareLen = length;
    // Requests answered from now on are served from the new program.
    if (m_bUpgrading)
        RestartProgress();
    return LoadResult::Loaded;
}

std::span<const std::uint8_t> CFirmwareUpgrade::PacketData(std::uint16_t index) const
{
    const std::size_t length = qzr::UpgradePacketDataLength(m_plan, index);
    if (length == 0)
        return {};
    return std::span(m_program).subspan(std::size_t{index} * qzr::upgrade::kPacketSize, length);
}

void CFirmwareUpgrade::Start()
{
    m_bUpgrading = true;
    RestartProgress();
}

void CFirmwareUpgrade::Stop()
{
    m_bUpgrading = false;
    m_meter.Stop();
}

void CFirmwareUpgrade::RestartProgress()
{
    m_served.assign(m_plan.packetCount, false);
    m_nServedBytes = 0;
    m_meter.Start(m_program.size());
}

void CFirmwareUpgrade::PacketServed(std::uint16_t index)
{
    if (index >= m_served.size() || m_served[index])
        return;
    m_served[index] = true;
    m_nServedBytes += qzr::UpgradePacketDataLength(m_plan, index);
    m_meter.SetDone(m_nServedBytes);
}
