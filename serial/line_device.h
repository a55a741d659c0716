#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qzr {

// What a read or a write of a line device came to.
enum class LineIo {
    Done,
    Failed,  // an error that leaves the device in place
    Gone,    // the device hung up or was unplugged; it stays gone until reopened
};

// The device under a CSerialPort once it is open: the operating system's
// serial device (termios) for the console, or a line that a program plays the
// camera on in memory (the fuzz targets install one with SetLineOpener).
class ILineDevice {
public:
    virtual ~ILineDevice() = default;

    // Reads what is queued, at most `length` bytes, without waiting; `length`
    // becomes the number read.
    virtual LineIo Read(std::uint8_t* buffer, std::uint32_t& length) = 0;
    // Writes all bytes and waits until they have left the output queue.
    virtual LineIo Write(const std::uint8_t* buffer, std::uint32_t length) = 0;
    // Releases the device; the object is not used after.
    virtual void Close() = 0;
    // A file descriptor to wait on, -1 when there is none.
    virtual int Handle() const { return -1; }
};

// Opens device `name` at `baud`; null when it is missing, in use or refuses
// the rate.
using LineOpener = std::function<std::unique_ptr<ILineDevice>(const std::string& name, std::uint32_t baud)>;

// Every port opened from now on opens through `opener`; an empty one restores
// the termios device.
void SetLineOpener(LineOpener opener);

// The serial device by termios, exclusive (see CSerialPort::Open).
std::unique_ptr<ILineDevice> OpenTermiosDevice(const std::string& name, std::uint32_t baud);

}  // namespace qzr
