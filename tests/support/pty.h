#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzr::test {

// One end of a serial line the test holds, read and written with poll().
class LineEnd {
public:
    LineEnd() = default;
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    // Writes all bytes, waiting while the line is full.
    void Write(const std::vector<std::uint8_t>& bytes);
    // Reads until `count` bytes have come or nothing more came for `timeoutMs`.
    std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs = 5000);
    // Everything that arrives until the line has been quiet for `quietMs`.
    std::vector<std::uint8_t> ReadAvailable(int quietMs = 50) { return Read(SIZE_MAX, quietMs); }
    // The bytes of one read() (at most `limit`) once something is there; nothing after `timeoutMs`.
    std::optional<std::vector<std::uint8_t>> ReadOnce(int timeoutMs, std::size_t limit = 4096);

protected:
    int m_fd = -1;
};

// A pseudo-terminal whose master the test holds; the console opens the slave path as its port.
class PtyPair : public LineEnd {
public:
    PtyPair();
    ~PtyPair();

    int Master() const { return m_fd; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Waits until `count` bytes are queued on the slave side, whoever holds it; returns the count.
    int WaitQueuedAtSlave(int count, int timeoutMs = 2000) const;

private:
    int m_slaveKeepAlive = -1;  // keeps the slave side alive between opens
    std::string m_slavePath;
};

// Polls until `count` bytes are queued on `fd` or `timeoutMs` passes; returns the queued count.
int WaitQueued(int fd, int count, int timeoutMs = 2000);

}  // namespace qzr::test
