// How long the simulated camera takes to send a 10,000-byte reply with pacing
// on, next to the time the line itself needs (11 bits a byte).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "protocol/subpacket.h"
#include "sim/camera.h"

namespace {

using Clock = std::chrono::steady_clock;

int OpenRaw(const std::string& path, std::uint32_t rate)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    settings.c_cflag |= CS8 | CSTOPB | CREAD | CLOCAL;
    ::cfsetspeed(&settings, rate);
    ::tcsetattr(fd, TCSANOW, &settings);
    ::tcflush(fd, TCIOFLUSH);
    return fd;
}

void Send(int fd, qzr::Bytes frame)
{
    qzr::StampCrc(frame);
    [[maybe_unused]] auto n = ::write(fd, frame.data(), frame.size());
}

// Reads `count` bytes; false when the camera stops sending for 5 s.
bool Receive(int fd, std::size_t count)
{
    std::size_t got = 0;
    std::uint8_t buffer[4096];
    while (got < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

int main()
{
    constexpr std::size_t kReplyBytes = 10000;
    constexpr std::uint16_t kData = kReplyBytes - qzr::subpacket::kStretchOverhead;
    std::printf("%-8s %-12s %-12s %s\n", "rate", "measured s", "line time s", "ratio");
    for (std::uint32_t rate : {115200u, 230400u}) {
        qzr::sim::CameraOptions options;
        options.baud = rate;
        qzr::sim::Camera camera(options);
        std::string error;
        if (!camera.Start(&error)) {
            std::fprintf(stderr, "camera: %s\n", error.c_str());
            return 1;
        }
        const int fd = OpenRaw(camera.DevicePath(), rate);
        // A picture large enough to read one stretch of kData bytes from.
        Send(fd, qzr::BuildSimpleSubPacketRequest(1, {kData, 8, 0, false}));
        if (!Receive(fd, qzr::subpacket::kSimpleReplyLength) || camera.LastPicture().size() < kData) {
            std::fprintf(stderr, "no picture to read\n");
            return 1;
        }
        const auto start = Clock::now();
        Send(fd, qzr::BuildReadImageRequest(1, {0, kData}));
        if (!Receive(fd, kReplyBytes)) {
            std::fprintf(stderr, "reply incomplete\n");
            return 1;
        }
        const double measured = std::chrono::duration<double>(Clock::now() - start).count();
        const double lineTime = kReplyBytes * 11.0 / rate;
        std::printf("%-8u %-12.3f %-12.3f %.3f\n", rate, measured, lineTime, measured / lineTime);
        ::close(fd);
    }
    return 0;
}
