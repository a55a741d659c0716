#pragma once

#include <cstdint>
#include <string>

#include "protocol/frame.h"
#include "tests/support/pty.h"

namespace qzr::test {

// The console's end of the line as bytes: a serial device opened raw.
class RawClient : public LineEnd {
public:
    explicit RawClient(const std::string& path, std::uint32_t rate = 115200);
    ~RawClient();

    // 8 data bits, no parity (all a pty keeps); two stop bits unless told not to.
    void SetLine(std::uint32_t rate, bool twoStopBits = true);
    // Stamps the CRC into a built request (as the console's sender does) and writes it.
    void SendFrame(Bytes frame);
};

}  // namespace qzr::test
