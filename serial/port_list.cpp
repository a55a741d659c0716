#include "serial/port_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace qzr {

namespace fs = std::filesystem;

std::optional<std::vector<std::string>> ListSerialDevices(const std::string& sysClassTty, const std::string& devDir)
{
    std::error_code ec;
    fs::directory_iterator it(sysClassTty, ec);
    if (ec)
        return std::nullopt;
    std::vector<std::string> devices;
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().string();
        // Terminals without a device behind them (tty, console, ptmx, vcs) and
        // the virtual consoles tty0..tty63 are not serial ports.
        if (!fs::exists(entry.path() / "device", ec))
            continue;
        if (name.size() > 3 && name.compare(0, 3, "tty") == 0 && std::isdigit(static_cast<unsigned char>(name[3])))
            continue;
        // Serial-core ports report their UART type; 0 means no UART is there.
        std::ifstream type(entry.path() / "type");
        int uart = -1;
        if (type >> uart && uart == 0)
            continue;
        const std::string path = devDir + "/" + name;
        if (!fs::exists(path, ec))
            continue;
        devices.push_back(path);
    }
    std::sort(devices.begin(), devices.end());
    return devices;
}

}  // namespace qzr
