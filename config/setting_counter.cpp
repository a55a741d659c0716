// The setting counter and factory mode. The Count edit counts the cameras
// whose new id and rate were read back; the count survives restarts only on a
// workstation whose settings carry the factory marker, which also puts the
// console into factory mode (Batch Setting, the settings dialog, the
// production-date notice). Nothing here is ever reported: a store that cannot
// be read or written leaves the count in memory as it is.
#include <string>

#include "config/config_part.h"
#include "ui/data_exchange.h"

namespace {

constexpr const char* kMarkerValue = "key";
constexpr const char* kCountValue = "Count";
constexpr std::string_view kFactoryMarker = "4711";
// A value is read into a buffer of 99 bytes that also holds its terminating
// zero: a longer one cannot be read.
constexpr std::size_t kValueCapacity = 99;

}  // namespace

std::optional<std::string> CConfigPart::ReadSetting(std::string_view name) const
{
    if (!m_pSettings)
        return std::nullopt;
    std::optional<std::string> text = m_pSettings->Read(name);
    if (text && text->size() + 1 > kValueCapacity)
        return std::nullopt;
    return text;
}

bool CConfigPart::CheckFactoryMarker(bool takeCount)
{
    const std::optional<std::string> marker = ReadSetting(kMarkerValue);
    if (!marker)
        return false;
    const std::optional<std::string> count = ReadSetting(kCountValue);
    if (!count)
        return false;
    if (takeCount)
        m_nSetCount = ui::LeadingInt(*count);
    return *marker == kFactoryMarker;
}

void CConfigPart::EnsureFactoryMode()
{
    if (!m_bFactoryMode && CheckFactoryMarker(false))
        m_bFactoryMode = true;
}

void CConfigPart::SaveSetCount()
{
    EnsureFactoryMode();
    if (!m_bFactoryMode || !m_pSettings)
        return;
    // The marker is written back with the count, unchanged.
    if (!m_pSettings->Write(kMarkerValue, kFactoryMarker))
        return;
    m_pSettings->Write(kCountValue, std::to_string(m_nSetCount));
}

void CConfigPart::OnClearCount()
{
    m_nSetCount = 0;
    Window().UpdateData(false);
    SaveSetCount();
}
