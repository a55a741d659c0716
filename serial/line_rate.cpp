#include "serial/line_rate.h"

#if defined(__linux__)
// The kernel's own terminal structures: glibc's <termios.h> has no termios2
// and must not be included beside them.
#include <asm/termbits.h>
#include <sys/ioctl.h>
#else
#include <termios.h>
#endif

namespace qzr {

#if defined(__linux__)

bool SetLineRate(int fd, std::uint32_t rate)
{
    termios2 settings{};
    if (rate == 0 || ::ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ospeed = rate;
    settings.c_ispeed = rate;
    return ::ioctl(fd, TCSETS2, &settings) == 0;
}

std::optional<std::uint32_t> LineRate(int fd)
{
    termios2 settings{};
    if (::ioctl(fd, TCGETS2, &settings) != 0)
        return std::nullopt;
    return settings.c_ospeed;
}

#else

// The BSDs and macOS name a rate by its number: any rate goes through termios.
bool SetLineRate(int fd, std::uint32_t rate)
{
    termios settings{};
    return rate != 0 && ::tcgetattr(fd, &settings) == 0 && ::cfsetspeed(&settings, rate) == 0 &&
           ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

std::optional<std::uint32_t> LineRate(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(::cfgetospeed(&settings));
}

#endif

}  // namespace qzr
