#include "serial/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include "serial/line_rate.h"

namespace qzr {
namespace {

// The rates termios can set by name; any other goes by number (line_rate.h).
constexpr std::pair<std::uint32_t, speed_t> kRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedOf(std::uint32_t baud, speed_t& speed)
{
    for (const auto& [rate, code] : kRates) {
        if (rate == baud) {
            speed = code;
            return true;
        }
    }
    return false;
}

// A driver runs a rate given by number as near as its clock allows and reports
// the rate it runs: within 2 % the camera still reads every byte.
bool CloseEnough(std::optional<std::uint32_t> actual, std::uint32_t asked)
{
    if (!actual)
        return false;
    const std::uint64_t off = *actual > asked ? *actual - asked : asked - *actual;
    return off * 50 <= asked;
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// The errors of a device that is no longer there: a hung-up terminal, an
// unplugged adapter.
bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE; }
constexpr short kHangUpEvents = POLLHUP | POLLERR | POLLNVAL;

// The serial device through termios. Destroying it does not close the
// descriptor; Close does.
class CTermiosDevice final : public ILineDevice {
public:
    explicit CTermiosDevice(int fd) : m_fd(fd) {}
    LineIo Read(std::uint8_t* buffer, std::uint32_t& length) override;
    LineIo Write(const std::uint8_t* buffer, std::uint32_t length) override;
    void Close() override;
    int Handle() const override { return m_fd; }

private:
    int m_fd;
};

LineOpener& InstalledOpener()
{
    static LineOpener opener;
    return opener;
}

}  // namespace

void SetLineOpener(LineOpener opener) { InstalledOpener() = std::move(opener); }

std::string DevicePathOf(const std::string& name)
{
    return name.find('/') == std::string::npos ? "/dev/" + name : name;
}

std::unique_ptr<ILineDevice> OpenTermiosDevice(const std::string& name, std::uint32_t baud)
{
    speed_t speed{};
    const bool named = SpeedOf(baud, speed);
    const int fd = ::open(DevicePathOf(name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    auto fail = [fd]() -> std::unique_ptr<ILineDevice> {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return nullptr;
    };
    // Exclusive: a second open of the device fails until this one is closed.
    // The lock also keeps out a second console run by the superuser, whom the
    // terminal's exclusive flag does not stop.
    if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail();

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return fail();
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CRTSCTS);
    tio.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (named && (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0))
        return fail();
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return fail();
    // Some drivers accept a rate they cannot run at and report another: check.
    if (named) {
        termios check{};
        if (::tcgetattr(fd, &check) != 0 || ::cfgetospeed(&check) != speed)
            return fail();
    } else if (!SetLineRate(fd, baud) || !CloseEnough(LineRate(fd), baud)) {
        return fail();
    }
    ::tcflush(fd, TCIOFLUSH);
    return std::make_unique<CTermiosDevice>(fd);
}

LineIo CTermiosDevice::Read(std::uint8_t* buffer, std::uint32_t& length)
{
    const std::uint32_t capacity = length;
    length = 0;
    int queued = 0;
    if (::ioctl(m_fd, FIONREAD, &queued) != 0)
        return DeviceGone(errno) ? LineIo::Gone : LineIo::Failed;
    if (queued <= 0) {
        // Nothing queued: a hung-up line still shows as nothing, so ask poll().
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & kHangUpEvents))
            return LineIo::Gone;
        return LineIo::Done;
    }
    const std::uint32_t wanted = std::min<std::uint32_t>(capacity, static_cast<std::uint32_t>(queued));
    if (wanted == 0)
        return LineIo::Done;
    const ssize_t n = ::read(m_fd, buffer, wanted);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return LineIo::Done;
        return DeviceGone(errno) ? LineIo::Gone : LineIo::Failed;
    }
    // Bytes were queued, yet the read found the end of the line: it hung up.
    if (n == 0)
        return LineIo::Gone;
    length = static_cast<std::uint32_t>(n);
    return LineIo::Done;
}

LineIo CTermiosDevice::Write(const std::uint8_t* buffer, std::uint32_t length)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(CSerialPort::kWriteTimeoutMs);
    std::uint32_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, buffer + done, length - done);
        if (n > 0) {
            done += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return DeviceGone(errno) ? LineIo::Gone : LineIo::Failed;
        pollfd p{m_fd, POLLOUT, 0};
        const int left = MillisecondsLeft(deadline);
        if (left == 0 || ::poll(&p, 1, left) <= 0)
            return LineIo::Failed;
        if (p.revents & kHangUpEvents)
            return LineIo::Gone;
    }
    // Wait until the bytes have left the output queue, so that a caller that
    // closes the port or changes its rate next does not cut them off. A line
    // that hangs up meanwhile never drains: it ends the wait.
    for (;;) {
        int pending = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &pending) != 0)
            return DeviceGone(errno) ? LineIo::Gone : LineIo::Failed;
        if (pending <= 0)
            return LineIo::Done;
        const int left = MillisecondsLeft(deadline);
        if (left == 0)
            return LineIo::Failed;
        pollfd p{m_fd, 0, 0};
        if (::poll(&p, 1, std::min(left, 2)) > 0 && (p.revents & kHangUpEvents))
            return LineIo::Gone;
    }
}

void CTermiosDevice::Close()
{
    // The exclusive flag outlives the close on a pseudo-terminal: clear it.
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

bool CSerialPort::Open(const std::string& name, std::uint32_t baud)
{
    m_strPortName = name;
    if (baud == 0)
        return false;
    const LineOpener& opener = InstalledOpener();
    std::unique_ptr<ILineDevice> device = opener ? opener(name, baud) : OpenTermiosDevice(name, baud);
    if (!device)
        return false;
    m_device = std::move(device);
    m_bOpen = true;
    m_bHungUp = false;
    m_bHangUpNoticed = false;
    return true;
}

LineIo CSerialPort::Noted(LineIo result)
{
    if (result == LineIo::Gone)
        m_bHungUp = true;
    return result;
}

bool CSerialPort::Read(std::uint8_t* buffer, std::uint32_t& length)
{
    if (!m_device || Noted(m_device->Read(buffer, length)) != LineIo::Done) {
        length = kReadFailed;
        return false;
    }
    return true;
}

bool CSerialPort::Write(const std::uint8_t* buffer, std::uint32_t length)
{
    if (m_writeTrace)
        m_writeTrace({buffer, length});
    return m_device && Noted(m_device->Write(buffer, length)) == LineIo::Done;
}

bool CSerialPort::TakeHangUpNotice()
{
    if (!m_bHungUp || m_bHangUpNoticed)
        return false;
    m_bHangUpNoticed = true;
    return true;
}

void CSerialPort::Close()
{
    if (m_device) {
        m_device->Close();
        m_device.reset();
    }
    m_bOpen = false;
    m_bHungUp = false;
    m_bHangUpNoticed = false;
}

}  // namespace qzr
