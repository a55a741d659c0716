#include "protocol/frame_stream.h"

#include <algorithm>

namespace qzr {

FrameAssembler::FrameAssembler(std::size_t maxPayload) : m_maxPayload(maxPayload)
{
    m_buffer.reserve(m_maxPayload + frame::kOverhead);
}

std::vector<Bytes> FrameAssembler::Feed(std::span<const std::uint8_t> bytes)
{
    std::vector<Bytes> frames;
    const std::size_t capacity = m_maxPayload + frame::kOverhead;
    while (!bytes.empty()) {
        // Only as much as one maximal frame needs; the rest after extracting.
        const std::size_t room = capacity - std::min(capacity, m_buffer.size());
        const std::size_t take = std::max<std::size_t>(1, std::min(room, bytes.size()));
        m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        Extract(frames);
    }
    return frames;
}

std::vector<Bytes> FrameAssembler::Resync()
{
    std::vector<Bytes> frames;
    if (!m_buffer.empty()) {
        Drop(1);
        Extract(frames);
    }
    return frames;
}

void FrameAssembler::Drop(std::size_t count)
{
    count = std::min(count, m_buffer.size());
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(count));
    m_skipped += count;
}

void FrameAssembler::Extract(std::vector<Bytes>& frames)
{
    for (;;) {
        // Skip to the next possible head byte.
        const auto head = std::find(m_buffer.begin(), m_buffer.end(), frame::kHead0);
        Drop(static_cast<std::size_t>(head - m_buffer.begin()));
        if (m_buffer.size() < 2)
            return;
        if (m_buffer[1] != frame::kHead1) {
            Drop(1);
            continue;
        }
        const auto header = ParseFrameHeader(m_buffer);
        if (!header)
            return;
        if (header->payloadLength > m_maxPayload) {
            Drop(1);
            continue;
        }
        const std::size_t total = header->payloadLength + frame::kOverhead;
        if (m_buffer.size() < total)
            return;
        const std::span<const std::uint8_t> candidate(m_buffer.data(), total);
        const bool fixedTail = candidate[total - 2] == frame::kTail0 && candidate[total - 1] == frame::kTail1;
        if (!fixedTail && !HasValidCrc(candidate)) {
            Drop(1);
            continue;
        }
        frames.emplace_back(candidate.begin(), candidate.end());
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(total));
    }
}

}  // namespace qzr
