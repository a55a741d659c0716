#include "session/picture_buffer.h"

#include <algorithm>
#include <cstring>

namespace qzr {

bool CPictureBuffer::Append(std::span<const std::uint8_t> bytes)
{
    if (WouldOverflow(bytes.size()))
        return false;
    if (!bytes.empty())
        std::memcpy(m_data.get() + m_nImageReceived, bytes.data(), bytes.size());
    m_nImageReceived += static_cast<std::uint32_t>(bytes.size());
    return true;
}

bool CPictureBuffer::Store(std::size_t offset, std::span<const std::uint8_t> bytes)
{
    if (offset > kSize || bytes.size() > kSize - offset)
        return false;
    if (!bytes.empty())
        std::memcpy(m_data.get() + offset, bytes.data(), bytes.size());
    return true;
}

std::span<const std::uint8_t> CPictureBuffer::View(std::size_t offset, std::size_t length) const
{
    offset = std::min<std::size_t>(offset, kSize);
    return {m_data.get() + offset, std::min<std::size_t>(length, kSize - offset)};
}

}  // namespace qzr
