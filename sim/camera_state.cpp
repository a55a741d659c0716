#include "sim/camera_state.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "protocol/camera_id.h"

namespace qzr::sim {
namespace {

// The whole word as a decimal number.
std::optional<unsigned long> NumberOf(const std::optional<std::string>& word)
{
    unsigned long value = 0;
    if (!word || word->empty())
        return std::nullopt;
    const auto [end, error] = std::from_chars(word->data(), word->data() + word->size(), value);
    if (error != std::errc() || end != word->data() + word->size())
        return std::nullopt;
    return value;
}

}  // namespace

void StateFile::Read()
{
    if (m_path.empty())
        return;
    std::ifstream in(m_path);
    std::string key, value;
    while (in >> key >> value)
        Set(key, value);
}

void StateFile::Write() const
{
    if (m_path.empty())
        return;
    std::ofstream out(m_path, std::ios::trunc);
    for (const auto& [key, value] : m_values)
        out << key << ' ' << value << '\n';
}

std::optional<std::string> StateFile::Value(const std::string& key) const
{
    const auto found = std::find_if(m_values.begin(), m_values.end(), [&](const auto& kv) { return kv.first == key; });
    if (found == m_values.end())
        return std::nullopt;
    return found->second;
}

void StateFile::Set(const std::string& key, std::string value)
{
    const auto found = std::find_if(m_values.begin(), m_values.end(), [&](const auto& kv) { return kv.first == key; });
    if (found != m_values.end())
        found->second = std::move(value);
    else
        m_values.emplace_back(key, std::move(value));
}

CameraState::CameraState(std::uint8_t id, std::uint32_t baud, std::string stateFile)
    : id(id), baud(baud), saved(std::move(stateFile))
{
    // The id and rate head the file whatever order it had.
    saved.Set("id", std::to_string(id));
    saved.Set("baud", std::to_string(baud));
}

void CameraState::Load()
{
    saved.Read();
    if (const auto value = NumberOf(saved.Value("id")); value && *value <= 0xFF)
        id = static_cast<std::uint8_t>(*value);
    if (const auto value = NumberOf(saved.Value("baud"));
        value && *value <= 0xFFFFFFFFu && BaudCodeFromRate(static_cast<std::uint32_t>(*value)))
        baud = static_cast<std::uint32_t>(*value);
}

void CameraState::Save()
{
    saved.Set("id", std::to_string(id));
    saved.Set("baud", std::to_string(baud));
    saved.Write();
}

const Bytes& CameraState::TakePicture()
{
    ++picture.number;
    currentPicture = MakeTestPicture(picture);
    return currentPicture;
}

}  // namespace qzr::sim
