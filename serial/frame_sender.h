#pragma once

#include <cstdint>
#include <span>

#include "serial/serial_port.h"

namespace qzr {

// The one way the main window sends frames: stamps the CRC, remembers the frame
// for resending, and writes it.
class CFrameSender {
public:
    explicit CFrameSender(CSerialPort& port) : m_port(port) {}

    // Stamps the CRC into the last two bytes. Frames over 256 bytes are stamped
    // but neither remembered nor written (false). Otherwise remembers the frame,
    // writes it in one piece; returns the write's result.
    bool SendFrame(std::uint8_t* frame, std::uint32_t length);
    bool SendFrame(std::span<std::uint8_t> frame) { return SendFrame(frame.data(), static_cast<std::uint32_t>(frame.size())); }

    // Writes the remembered frame again, one byte per write (the CRC stamped
    // when it was first sent). Nothing when no frame was sent yet.
    void ResendLastFrame();

    // Stamps the CRC and writes one byte per write, without remembering the
    // frame (for frames the camera must not get twice).
    bool SendFrameBytewise(std::uint8_t* frame, std::uint32_t length);

    std::span<const std::uint8_t> LastFrame() const { return {m_lastFrame, m_nLastFrameLen}; }
    // Command byte of the remembered frame, 0 when none.
    std::uint8_t LastCommand() const;

    static constexpr std::uint32_t kMaxFrame = 256;

private:
    CSerialPort& m_port;
    std::uint8_t m_lastFrame[kMaxFrame] = {};
    std::uint32_t m_nLastFrameLen = 0;
};

}  // namespace qzr
