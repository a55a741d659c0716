#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/frame.h"

namespace qzr::test {

// The console's end of the line reduced to bytes: opens a serial device raw,
// sets rate and frame format, writes frames and reads with poll().
class RawClient {
public:
    explicit RawClient(const std::string& path, std::uint32_t rate = 115200);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // 8 data bits, no parity (all a pseudo-terminal keeps); two stop bits
    // unless `twoStopBits` is false.
    void SetLine(std::uint32_t rate, bool twoStopBits = true);

    // Stamps the CRC into a built request (as the console's sender does) and writes it.
    void SendFrame(Bytes frame);
    void SendRaw(const Bytes& bytes);

    // Reads until `count` bytes have come or the line stays quiet for `timeoutMs`.
    Bytes Read(std::size_t count, int timeoutMs = 5000);
    // Whatever comes until the line stays quiet for `quietMs`.
    Bytes ReadQuiet(int quietMs = 150);
    // The bytes of one read() (at most `limit`) once something is there, nullopt after `timeoutMs`.
    std::optional<Bytes> ReadOnce(int timeoutMs = 5000, std::size_t limit = 4096);

private:
    int m_fd = -1;
};

}  // namespace qzr::test
