#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/frame.h"

namespace qzr {

// Cuts a byte stream into frames by their length field, for the side that
// receives requests (the camera). Bytes may come split over many reads or
// several frames in one read. A frame is accepted when its check field holds
// its CRC or the fixed tail C1 C2; bytes before a frame head, heads that claim
// more than the maximum payload, and frames whose check field fits neither are
// skipped a byte at a time until the next 90 EB. The buffer never holds more
// than one maximal frame.
class FrameAssembler {
public:
    explicit FrameAssembler(std::size_t maxPayload = 4096);

    // Takes received bytes and returns the frames they complete, in order.
    std::vector<Bytes> Feed(std::span<const std::uint8_t> bytes);

    // The line went quiet in the middle of a frame: give up the head that was
    // waited on and look again from the next byte. Returns frames found then.
    std::vector<Bytes> Resync();

    // Forgets everything buffered.
    void Clear() { m_buffer.clear(); }

    std::size_t Buffered() const { return m_buffer.size(); }
    std::size_t SkippedBytes() const { return m_skipped; }

private:
    void Drop(std::size_t count);
    void Extract(std::vector<Bytes>& frames);

    std::size_t m_maxPayload;
    Bytes m_buffer;  // at most one incomplete frame of the maximal size
    std::size_t m_skipped = 0;
};

}  // namespace qzr
