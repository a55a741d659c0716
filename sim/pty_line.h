#pragma once

#include <cstdint>
#include <string>

namespace qzr::sim {

// The camera's end of the serial line: the master side of a pseudo-terminal.
// A slave descriptor stays open inside so that the master does not read EIO
// while the console has the port closed.
class PtyLine {
public:
    PtyLine() = default;
    ~PtyLine() { Close(); }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Opens the pair, sets the line raw 8N2 at `rate` (as a port left behind
    // by an earlier user would be) and makes the master non-blocking.
    bool Open(std::uint32_t rate, std::string* error);
    void Close();

    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

    // Whether the console has the line set as the camera talks: `rate`, 8 data
    // bits, 2 stop bits, no parity. Read from the settings the console made on
    // the slave side, which the master sees.
    bool Matches(std::uint32_t rate) const;

private:
    int m_master = -1;
    int m_slaveKeepAlive = -1;
    std::string m_slavePath;
};

}  // namespace qzr::sim
