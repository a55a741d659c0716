#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "serial/line_device.h"

namespace qzr {

// One serial device, opened exclusively for synchronous reading and writing.
// It has no thread and no buffering of its own: callers poll Read from window
// timers and write whole frames with Write. Pseudo-terminals work like real
// ports. Destroying the object does not close the device.
//
// A device that hangs up (the other end of a pseudo-terminal closed, a USB
// adapter pulled) makes every read fail from then on; the port notes it once,
// for the window that polls it to tell the operator, and otherwise stays as
// it is until it is closed.
class CSerialPort {
public:
    CSerialPort() = default;
    virtual ~CSerialPort() = default;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens `name` (a device path, or a bare name such as ttyUSB0 for
    // /dev/ttyUSB0) at `baud` with 8 data bits, 2 stop bits, no parity check,
    // raw, no flow control, and empties both queues. Any rate the driver can
    // run, named by termios or not. False when the device is missing, in use
    // or refuses the rate; the port is then closed.
    bool Open(const std::string& name, std::uint32_t baud);

    // Reads what is queued, at most `length` bytes, without waiting; `length`
    // becomes the number read. False (length 0xFFFFFFFF) when the device failed,
    // as after the other end hung up or an adapter was pulled.
    bool Read(std::uint8_t* buffer, std::uint32_t& length);

    // Writes all bytes and waits until they have left the output queue. False on
    // a closed port, an error, or when the line has not taken them within the
    // write time-out.
    bool Write(const std::uint8_t* buffer, std::uint32_t length);

    // Harmless on a closed port.
    void Close();

    bool IsOpen() const { return m_bOpen; }
    const std::string& PortName() const { return m_strPortName; }
    // The device's file descriptor, -1 when closed (for tests that wait on it).
    int Handle() const { return m_device ? m_device->Handle() : -1; }

    // True once a read or a write found the device gone, until the port is
    // closed or opened again.
    bool HungUp() const { return m_bHungUp; }
    // True exactly once per hang-up: for the first caller after it was found.
    bool TakeHangUpNotice();

    // Called with the bytes of every Write call before they go out (traffic
    // traces and tests that check how a frame was written).
    using WriteTrace = std::function<void(std::span<const std::uint8_t>)>;
    void SetWriteTrace(WriteTrace trace) { m_writeTrace = std::move(trace); }

    static constexpr std::uint32_t kReadFailed = 0xFFFFFFFF;
    // A write that the line has not taken within this time fails.
    static constexpr int kWriteTimeoutMs = 50000;

private:
    LineIo Noted(LineIo result);

    std::string m_strPortName = "Com1";
    std::unique_ptr<ILineDevice> m_device;
    bool m_bOpen = false;
    bool m_bHungUp = false;
    bool m_bHangUpNoticed = false;
    WriteTrace m_writeTrace;
};

// The device path a port name stands for: names without a slash live in /dev.
std::string DevicePathOf(const std::string& name);

}  // namespace qzr
