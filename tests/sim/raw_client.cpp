#include "tests/sim/raw_client.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "serial/line_rate.h"

namespace qzr::test {

RawClient::RawClient(const std::string& path, std::uint32_t rate)
{
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        throw std::runtime_error("cannot open " + path);
    SetLine(rate);
    ::tcflush(m_fd, TCIOFLUSH);
}

RawClient::~RawClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void RawClient::SetLine(std::uint32_t rate, bool twoStopBits)
{
    termios settings{};
    ::tcgetattr(m_fd, &settings);
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | CSTOPB | PARENB);
    settings.c_cflag |= CS8 | CREAD | CLOCAL | (twoStopBits ? CSTOPB : 0);
    // A rate termios has no name for goes by number once the rest is set.
    const bool named = ::cfsetspeed(&settings, rate) == 0;
    if (::tcsetattr(m_fd, TCSANOW, &settings) != 0 || (!named && !SetLineRate(m_fd, rate)))
        throw std::runtime_error("cannot set the line to " + std::to_string(rate) + (twoStopBits ? "" : " 1 stop") + ": " + std::strerror(errno));
}

void RawClient::SendFrame(Bytes frame)
{
    StampCrc(frame);
    Write(frame);
}

}  // namespace qzr::test
