#include "serial/frame_sender.h"

#include <cstring>

#include "protocol/frame.h"

namespace qzr {

bool CFrameSender::SendFrame(std::uint8_t* frame, std::uint32_t length)
{
    StampCrc(frame, length);
    if (length > kMaxFrame)
        return false;
    std::memcpy(m_lastFrame, frame, length);
    m_nLastFrameLen = length;
    return m_port.Write(frame, length);
}

std::uint8_t CFrameSender::LastCommand() const
{
    const auto header = ParseFrameHeader(LastFrame());
    return header ? header->command : 0;
}

void CFrameSender::ResendLastFrame()
{
    for (std::uint32_t i = 0; i < m_nLastFrameLen; ++i)
        m_port.Write(&m_lastFrame[i], 1);
}

bool CFrameSender::SendFrameBytewise(std::uint8_t* frame, std::uint32_t length)
{
    StampCrc(frame, length);
    bool ok = true;
    for (std::uint32_t i = 0; i < length; ++i)
        ok = m_port.Write(&frame[i], 1) && ok;
    return ok;
}

}  // namespace qzr
