// The setting counter and factory mode. The Count edit counts the cameras
// whose new id and rate were read back; the count survives restarts only on a
// workstation whose settings carry the factory marker, which also puts the
// console into factory mode (Batch Setting, the settings dialog, the
// production-date notice). Nothing here is ever reported: a store that cannot
// be read or written leaves the count in memory as it is.
#include <cctype>
#include <climits>
#include <string>

#include "config/config_part.h"

namespace {

constexpr const char* kMarkerValue = "key";
constexpr const char* kCountValue = "Count";
constexpr std::string_view kFactoryMarker = "4711";
// A value is read into a buffer of 99 bytes that also holds its terminating
// zero: a longer one cannot be read.
constexpr std::size_t kValueCapacity = 99;

// The number the text begins with, after blanks and an optional sign, as a
// count: 0 without digits, the int range's end where it is longer.
int LeadingNumber(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    long long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

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
        m_nSetCount = LeadingNumber(*count);
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
