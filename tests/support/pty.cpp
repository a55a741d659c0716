#include "tests/support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
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

PtyPair::PtyPair()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    m_slavePath = ::ptsname(m_master);
    // Without an open slave the master reads EIO between the console's opens.
    m_slaveKeepAlive = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    ::close(m_slaveKeepAlive);
    ::close(m_master);
}

void PtyPair::Write(const std::vector<std::uint8_t>& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n < 0)
            throw std::runtime_error("pty write failed");
        done += static_cast<std::size_t>(n);
    }
}

// One read() of at most `limit` bytes once the master side is readable;
// false when nothing came within `timeoutMs`.
bool PtyPair::ReadOnce(std::vector<std::uint8_t>& out, int timeoutMs, std::size_t limit)
{
    pollfd p{m_master, POLLIN, 0};
    std::uint8_t buffer[4096];
    const ssize_t n = ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN)
                          ? ::read(m_master, buffer, std::min(sizeof buffer, limit))
                          : 0;
    out.insert(out.end(), buffer, buffer + std::max<ssize_t>(n, 0));
    return n > 0;
}

std::vector<std::uint8_t> PtyPair::Read(std::size_t count, int timeoutMs)
{
    std::vector<std::uint8_t> out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count && MsLeft(deadline) > 0 && ReadOnce(out, MsLeft(deadline), count - out.size())) {
    }
    return out;
}

std::vector<std::uint8_t> PtyPair::ReadAvailable(int quietMs)
{
    std::vector<std::uint8_t> out;
    while (ReadOnce(out, quietMs, SIZE_MAX)) {
    }
    return out;
}

int PtyPair::WaitQueuedAtSlave(int count, int timeoutMs) const { return WaitQueued(m_slaveKeepAlive, count, timeoutMs); }

int WaitQueued(int fd, int count, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int queued = 0;
    // Readable already means some bytes are there; the rest follow within the
    // line discipline's next push, so wait for it in short polls.
    for (pollfd p{fd, POLLIN, 0}; ::ioctl(fd, FIONREAD, &queued) == 0; ::poll(&p, 1, 1))
        if (queued >= count || MsLeft(deadline) <= 0)
            return queued;
    return -1;
}

}  // namespace qzr::test
