#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qzr {

// The serial devices that really exist on this machine, as device paths in
// sorted order: entries of the kernel's tty class that belong to a device,
// without virtual consoles and without serial-core ports that report no UART.
// nullopt when the device list cannot be read. `sysClassTty` is the kernel's
// tty class folder (a test may give another).
std::optional<std::vector<std::string>> ListSerialDevices(const std::string& sysClassTty = "/sys/class/tty",
                                                          const std::string& devDir = "/dev");

}  // namespace qzr
