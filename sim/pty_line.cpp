#include "sim/pty_line.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace qzr::sim {
namespace {

constexpr std::pair<speed_t, std::uint32_t> kSpeeds[] = {
    {B1200, 1200},       {B2400, 2400},     {B4800, 4800},       {B9600, 9600},       {B19200, 19200},
    {B38400, 38400},     {B57600, 57600},   {B115200, 115200},   {B230400, 230400},   {B460800, 460800},
    {B500000, 500000},   {B576000, 576000}, {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000},
};

void SetError(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
}

}  // namespace

std::optional<std::uint32_t> RateOfSpeed(unsigned speed)
{
    for (const auto& [s, rate] : kSpeeds)
        if (s == speed)
            return rate;
    return std::nullopt;
}

std::optional<unsigned> SpeedOfRate(std::uint32_t rate)
{
    for (const auto& [s, r] : kSpeeds)
        if (r == rate)
            return s;
    return std::nullopt;
}

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
    ::cfsetspeed(&settings, SpeedOfRate(rate).value_or(B115200));
    ::tcsetattr(m_slaveKeepAlive, TCSANOW, &settings);
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
    const auto consoleRate = RateOfSpeed(::cfgetospeed(&settings));
    return consoleRate == rate && (settings.c_cflag & CSIZE) == CS8 && (settings.c_cflag & CSTOPB) &&
           !(settings.c_cflag & PARENB);
}

}  // namespace qzr::sim
