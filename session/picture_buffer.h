#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace qzr {

// The picture buffer of the main window: 1,024,000 bytes, zero-filled, in
// which the transfers gather a picture and which the burst and quick shot
// windows borrow. Every write is bounded here: nothing a camera sends can be
// written outside it.
class CPictureBuffer {
public:
    static constexpr std::uint32_t kSize = 1024000;

    CPictureBuffer() : m_data(new std::uint8_t[kSize]()) {}

    // Bytes gathered so far by the transfer that appends (whole package,
    // quick shot); the other transfers store by offset and reset it.
    std::uint32_t Received() const { return m_nImageReceived; }
    void ResetReceived() { m_nImageReceived = 0; }
    // Whether `length` more bytes would run past the end.
    bool WouldOverflow(std::size_t length) const { return length > kSize - m_nImageReceived; }

    // Appends after what was received; false (nothing written) when it does not fit.
    bool Append(std::span<const std::uint8_t> bytes);
    // Writes at `offset`; false (nothing written) when it would end past the buffer.
    bool Store(std::size_t offset, std::span<const std::uint8_t> bytes);
    // `length` bytes from `offset`, cut at the end of the buffer.
    std::span<const std::uint8_t> View(std::size_t offset, std::size_t length) const;
    // What was received, from the start.
    std::span<const std::uint8_t> ReceivedBytes() const { return {m_data.get(), m_nImageReceived}; }

private:
    std::unique_ptr<std::uint8_t[]> m_data;
    std::uint32_t m_nImageReceived = 0;
};

}  // namespace qzr
