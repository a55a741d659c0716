#include "tests/support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace qzr::test {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

}  // namespace

void LineEnd::Write(const std::vector<std::uint8_t>& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        pollfd p{m_fd, POLLOUT, 0};
        if ((n < 0 && errno != EAGAIN) || ::poll(&p, 1, 5000) <= 0)
            throw std::runtime_error("write to the line failed or stalled");
    }
}

std::vector<std::uint8_t> LineEnd::Read(std::size_t count, int timeoutMs)
{
    std::vector<std::uint8_t> out;
    while (out.size() < count) {
        const auto got = ReadOnce(timeoutMs, count - out.size());
        if (!got)
            break;
        out.insert(out.end(), got->begin(), got->end());
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> LineEnd::ReadOnce(int timeoutMs, std::size_t limit)
{
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
        return std::nullopt;
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, std::min(sizeof buffer, limit));
    if (n <= 0)
        return std::nullopt;
    return std::vector<std::uint8_t>(buffer, buffer + n);
}

PtyPair::PtyPair()
{
    m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_fd < 0 || ::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)
        throw std::runtime_error("no pseudo-terminal");
    m_slavePath = ::ptsname(m_fd);
    // Without an open slave the master reads EIO between the console's opens.
    m_slaveKeepAlive = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    ::close(m_slaveKeepAlive);
    ::close(m_fd);
}

int PtyPair::WaitQueuedAtSlave(int count, int timeoutMs) const { return WaitQueued(m_slaveKeepAlive, count, timeoutMs); }

int WaitQueued(int fd, int count, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int queued = 0;
    // Readable means bytes have begun to arrive; the rest follow on the line discipline's next push.
    for (pollfd p{fd, POLLIN, 0}; ::ioctl(fd, FIONREAD, &queued) == 0; ::poll(&p, 1, 1))
        if (queued >= count || MsLeft(deadline) <= 0)
            return queued;
    return -1;
}

}  // namespace qzr::test
