// The serial port on a pseudo-terminal: settings, reads, exclusive opening, failures; the frame sender.
#include <gtest/gtest.h>

#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "serial/frame_sender.h"
#include "serial/line_rate.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"
#include "tests/support/pty.h"

namespace qzr {
namespace {

using test::PtyPair;
using test::WaitQueued;

// Every rate reaches the line, those termios lacks (28800, 256000, 345600) and a typed one included.
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

// A read takes what is queued, up to its capacity, without waiting; a hang-up is a failed read.
TEST(SerialPort, ReadTakesOnlyWhatIsQueuedUpToTheCapacity)
{
    auto pty = std::make_unique<PtyPair>();
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty->SlavePath(), 115200));
    std::uint8_t buffer[2048];
    std::uint32_t length = sizeof buffer;
    EXPECT_TRUE(port.Read(buffer, length));
    EXPECT_EQ(length, 0u) << "an empty queue reads nothing and does not block";

    std::vector<std::uint8_t> sent(3000), got;
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i * 7);
    pty->Write(sent);
    ASSERT_EQ(WaitQueued(port.Handle(), 3000), 3000);
    for (const std::uint32_t expected : {2048u, 952u}) {
        length = sizeof buffer;
        ASSERT_TRUE(port.Read(buffer, length));
        ASSERT_EQ(length, expected) << "the rest stays queued for the next read";
        got.insert(got.end(), buffer, buffer + length);
    }
    EXPECT_EQ(got, sent);

    pty.reset();  // the far end goes away, as a pulled adapter
    length = sizeof buffer;
    EXPECT_FALSE(port.Read(buffer, length));
    EXPECT_EQ(length, CSerialPort::kReadFailed);
}

// A port that failed to open or was closed (twice) stays closed and writes nothing; opening is exclusive.
TEST(SerialPort, OpenFailsOnMissingDevicesAndWhileInUse)
{
    PtyPair pty;
    const std::pair<const char*, std::uint32_t> failures[] = {
        {"/dev/qzr-no-such-port", 115200}, {"qzr-no-such-port", 115200}, {pty.SlavePath().c_str(), 0}};
    for (const auto& [name, baud] : failures) {
        CSerialPort port;
        EXPECT_FALSE(port.Open(name, baud)) << name << " at " << baud;
        EXPECT_FALSE(port.IsOpen()) << name;
        EXPECT_EQ(port.Handle(), -1) << name;
    }
    CSerialPort first, second;
    ASSERT_TRUE(first.Open(pty.SlavePath(), 115200));
    EXPECT_FALSE(second.Open(pty.SlavePath(), 115200));
    first.Close();
    first.Close();
    EXPECT_FALSE(first.IsOpen());
    std::uint8_t byte = 0;
    EXPECT_FALSE(first.Write(&byte, 1)) << "a closed port writes nothing";
    EXPECT_TRUE(second.Open(pty.SlavePath(), 115200)) << "closing releases the device";
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
        fs::create_directories(device ? sys / name / "device" : sys / name);
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

// Frames leave CRC-stamped in one write and oversized ones never (resends are in the window tests).
TEST(FrameSender, StampsTheCrcAndWritesOnce)
{
    PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), 115200));
    std::vector<Bytes> writes;
    port.SetWriteTrace([&](std::span<const std::uint8_t> bytes) { writes.emplace_back(bytes.begin(), bytes.end()); });
    CFrameSender sender(port);

    Bytes frame = BuildFrame(1, CMD_SNAPSHOT, std::vector<std::uint8_t>{0x05, 0x01});
    EXPECT_TRUE(sender.SendFrame(frame));
    const Bytes expected = {0x90, 0xEB, 0x01, 0x02, 0x02, 0x00, 0x05, 0x01, 0x9F, 0x03};
    EXPECT_EQ(frame, expected) << "the caller's buffer carries the CRC";
    EXPECT_EQ(writes, std::vector<Bytes>{expected});
    EXPECT_EQ(pty.Read(expected.size()), expected);
    EXPECT_EQ(Bytes(sender.LastFrame().begin(), sender.LastFrame().end()), expected);

    // A frame too long: stamped all the same, neither written nor remembered.
    Bytes big = BuildFrame(1, CMD_OSD_TEXT, Bytes(292, 0x41));
    EXPECT_FALSE(sender.SendFrame(big));
    EXPECT_TRUE(HasValidCrc(big));
    EXPECT_EQ(writes.size(), 1u);
    EXPECT_EQ(Bytes(sender.LastFrame().begin(), sender.LastFrame().end()), expected) << "the earlier frame stays";
    EXPECT_EQ(sender.LastCommand(), CMD_SNAPSHOT);
}

}  // namespace
}  // namespace qzr
