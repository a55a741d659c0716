#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qzr::test {

// A pseudo-terminal whose master side the test holds; the slave path is what
// the console opens as its serial port.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Writes all bytes to the master side (the console's port reads them).
    void Write(const std::vector<std::uint8_t>& bytes);
    // Reads what the console wrote, waiting with poll() until `count` bytes
    // have come or `timeoutMs` has passed.
    std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs = 2000);
    // Everything that arrives within `timeoutMs` of quiet.
    std::vector<std::uint8_t> ReadAvailable(int quietMs = 50);
    // Waits until `count` bytes are queued on the slave side, for whichever
    // window holds it open; returns the queued count (see WaitQueued).
    int WaitQueuedAtSlave(int count, int timeoutMs = 2000) const;

private:
    bool ReadOnce(std::vector<std::uint8_t>& out, int timeoutMs, std::size_t limit);

    int m_master = -1;
    int m_slaveKeepAlive = -1;  // keeps the slave side alive between opens
    std::string m_slavePath;
};

// Waits with poll() until at least `count` bytes are queued for reading on
// `fd` (FIONREAD), or `timeoutMs` has passed. Returns the queued count.
int WaitQueued(int fd, int count, int timeoutMs = 2000);

}  // namespace qzr::test
