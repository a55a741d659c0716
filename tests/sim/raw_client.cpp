#include "tests/sim/raw_client.h"

#include <fcntl.h>
#include <poll.h>
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
    SendRaw(frame);
}

void RawClient::SendRaw(const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, 5000) <= 0)
            throw std::runtime_error("write to the camera stalled");
    }
}

Bytes RawClient::Read(std::size_t count, int timeoutMs)
{
    Bytes out;
    while (out.size() < count) {
        const auto got = ReadOnce(timeoutMs, count - out.size());
        if (!got)
            break;
        out.insert(out.end(), got->begin(), got->end());
    }
    return out;
}

Bytes RawClient::ReadQuiet(int quietMs) { return Read(SIZE_MAX, quietMs); }

std::optional<Bytes> RawClient::ReadOnce(int timeoutMs, std::size_t limit)
{
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return std::nullopt;
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, std::min(sizeof buffer, limit));
    if (n <= 0)
        return std::nullopt;
    return Bytes(buffer, buffer + n);
}

}  // namespace qzr::test
