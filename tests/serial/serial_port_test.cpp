// The serial port on a pseudo-terminal: line settings, reads of what is queued,
// exclusive opening and failure reporting.
#include <gtest/gtest.h>

#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "serial/line_rate.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"
#include "tests/support/pty.h"

namespace qzr {
namespace {

using test::PtyPair;
using test::WaitQueued;

std::vector<std::uint8_t> Pattern(std::size_t n)
{
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    return bytes;
}

// Rates termios names and the camera rates it does not (28800, 256000,
// 345600), a typed one among them, all reach the line.
TEST(SerialPort, MasterSideSeesTheLineSettings)
{
    for (std::uint32_t baud : {9600u, 38400u, 115200u, 230400u, 1200u, 28800u, 256000u, 345600u, 576000u, 12345u}) {
        PtyPair pty;
        CSerialPort port;
        ASSERT_TRUE(port.Open(pty.SlavePath(), baud)) << baud;
        termios tio{};
        ASSERT_EQ(::tcgetattr(pty.Master(), &tio), 0);
        EXPECT_EQ(LineRate(pty.Master()), baud);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_TRUE(tio.c_cflag & CSTOPB) << "two stop bits";
        EXPECT_FALSE(tio.c_cflag & PARENB);
        EXPECT_FALSE(tio.c_iflag & INPCK) << "no parity check";
        EXPECT_FALSE(tio.c_lflag & ICANON) << "raw mode";
        port.Close();
    }
}

TEST(SerialPort, ReadTakesOnlyWhatIsQueuedUpToTheCapacity)
{
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), 115200));

    std::uint8_t buffer[2048];
    std::uint32_t length = sizeof buffer;
    EXPECT_TRUE(port.Read(buffer, length));
    EXPECT_EQ(length, 0u) << "an empty queue reads nothing and does not block";

    const auto sent = Pattern(3000);
    pty.Write(sent);
    ASSERT_EQ(WaitQueued(port.Handle(), 3000), 3000);
    length = sizeof buffer;
    ASSERT_TRUE(port.Read(buffer, length));
    ASSERT_EQ(length, 2048u);
    std::vector<std::uint8_t> got(buffer, buffer + length);
    length = sizeof buffer;
    ASSERT_TRUE(port.Read(buffer, length));
    EXPECT_EQ(length, 952u) << "the rest stays queued for the next read";
    got.insert(got.end(), buffer, buffer + length);
    EXPECT_EQ(got, sent);
}

TEST(SerialPort, HangUpIsAFailedRead)
{
    auto pty = std::make_unique<PtyPair>();
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty->SlavePath(), 115200));
    pty.reset();  // the far end goes away, as a pulled adapter
    std::uint8_t buffer[16];
    std::uint32_t length = sizeof buffer;
    EXPECT_FALSE(port.Read(buffer, length));
    EXPECT_EQ(length, CSerialPort::kReadFailed);
}

TEST(SerialPort, OpenFailuresLeaveThePortClosed)
{
    PtyPair pty;
    struct Case {
        const char* why;
        std::string name;
        std::uint32_t baud;
    } cases[] = {
        {"missing device", "/dev/qzr-no-such-port", 115200},
        {"missing bare name", "qzr-no-such-port", 115200},
        {"no rate", pty.SlavePath(), 0},
    };
    for (const Case& c : cases) {
        CSerialPort port;
        EXPECT_FALSE(port.Open(c.name, c.baud)) << c.why;
        EXPECT_FALSE(port.IsOpen()) << c.why;
        EXPECT_EQ(port.Handle(), -1) << c.why;
    }
}

TEST(SerialPort, SecondOpenOfTheSameDeviceFailsUntilClosed)
{
    PtyPair pty;
    CSerialPort first;
    CSerialPort second;
    ASSERT_TRUE(first.Open(pty.SlavePath(), 115200));
    EXPECT_FALSE(second.Open(pty.SlavePath(), 115200));
    first.Close();
    EXPECT_TRUE(second.Open(pty.SlavePath(), 115200)) << "closing releases the device";
}

TEST(SerialPort, CloseTwiceIsHarmless)
{
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), 9600));
    port.Close();
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    std::uint8_t byte = 0;
    EXPECT_FALSE(port.Write(&byte, 1)) << "a closed port writes nothing";
}

TEST(SerialPort, BareNamesLiveInDev)
{
    EXPECT_EQ(DevicePathOf("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathOf("/dev/pts/3"), "/dev/pts/3");
}

TEST(PortList, ListsRealSerialDevicesOnly)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("qzr-ports-" + std::to_string(::getpid()));
    const fs::path sys = root / "sys";
    const fs::path dev = root / "dev";
    fs::create_directories(dev);
    auto tty = [&](const std::string& name, bool device, int uartType, bool node) {
        fs::create_directories(sys / name);
        if (device)
            fs::create_directories(sys / name / "device");
        if (uartType >= 0)
            std::ofstream(sys / name / "type") << uartType << "\n";
        if (node)
            std::ofstream(dev / name) << "";
    };
    tty("ttyUSB0", true, -1, true);
    tty("ttyS0", true, 4, true);
    tty("ttyS1", true, 0, true);     // no UART behind it
    tty("tty1", true, -1, true);     // virtual console
    tty("ptmx", false, -1, true);    // no device
    tty("ttyACM0", true, -1, false); // no device node
    const auto devices = ListSerialDevices(sys.string(), dev.string());
    ASSERT_TRUE(devices);
    EXPECT_EQ(*devices, (std::vector<std::string>{(dev / "ttyS0").string(), (dev / "ttyUSB0").string()}));
    EXPECT_FALSE(ListSerialDevices((root / "missing").string(), dev.string()));
    fs::remove_all(root);
}

}  // namespace
}  // namespace qzr
