#include "sim/pty_line.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/line_rate.h"

namespace qzr::sim {
namespace {

void SetError(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
}

}  // namespace

bool PtyLine::Open(std::uint32_t rate, std::string* error)
{
    Close();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        SetError(error, "posix_openpt");
        return false;
    }
    char name[128];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || ::ptsname_r(m_master, name, sizeof name) != 0) {
        SetError(error, "pseudo-terminal setup");
        Close();
        return false;
    }
    m_slavePath = name;
    m_slaveKeepAlive = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slaveKeepAlive < 0) {
        SetError(error, "open " + m_slavePath);
        Close();
        return false;
    }
    termios settings{};
    ::tcgetattr(m_slaveKeepAlive, &settings);
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB);
    settings.c_cflag |= CS8 | CSTOPB | CREAD | CLOCAL;
    ::tcsetattr(m_slaveKeepAlive, TCSANOW, &settings);
    SetLineRate(m_slaveKeepAlive, rate);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    return true;
}

void PtyLine::Close()
{
    if (m_slaveKeepAlive >= 0)
        ::close(m_slaveKeepAlive);
    if (m_master >= 0)
        ::close(m_master);
    m_slaveKeepAlive = m_master = -1;
}

bool PtyLine::Matches(std::uint32_t rate) const
{
    termios settings{};
    if (::tcgetattr(m_master, &settings) != 0)
        return false;
    // By number: the console may have set a rate termios has no name for.
    return LineRate(m_master) == rate && (settings.c_cflag & CSIZE) == CS8 && (settings.c_cflag & CSTOPB) &&
           !(settings.c_cflag & PARENB);
}

}  // namespace qzr::sim
