#pragma once

#include <cstdint>
#include <span>

#include "session/reply_router.h"

class CCapturePart;
namespace qzr {
class CSession;
}

// Sub-packet transfers: the numbered protocol (set picture, set packet size,
// start, then packets by number, with CRC-checked packets and resends on
// time-outs) and the simplified protocol (one request, then stretches read by
// byte offset), which also serves a picture the camera announces by itself.
class CSubPacketTransfer {
public:
    CSubPacketTransfer(qzr::CSession& session, CCapturePart& capture) : m_session(session), m_capture(capture) {}

    // The short-reply reassembly, the camera's announcement and one row per
    // awaited reply.
    void AddRoutes(qzr::ReplyRouter& router);

    // The request a Snapshot sends in sub-packet mode.
    void RequestPicture();
    // Button "Set sub-packet size and Snapshot": enters at the packet-size step.
    void OnSetPacketSize();
    // The watchdog resent the last request: its reply starts afresh, in the
    // packet buffer and in the reassembly of short replies alike.
    void OnResend()
    {
        m_nChunkFill = 0;
        m_nReplyAsmFill = 0;
    }

    static constexpr std::uint32_t kChunkSize = 10240;
    static constexpr std::uint8_t kReplyAsmSize = 32;
    static constexpr int kDefaultPacketFrameLen = 523;  // a 512-byte packet plus 11

private:
    using Result = qzr::RouteResult;

    // Senders; each sets the expected reply to its command byte.
    void SendSetPicture();
    void SendSetPacketSize();
    void SendSubPacketStart();
    void RequestPacket(int number);
    void SendSimpleSubPacket();
    void ReadImageStretch();

    // Short replies may come in pieces: Wait while one is being gathered.
    Result Reassemble(std::span<const std::uint8_t> chunk);
    // A control reply of `length` bytes, from the chunk itself or from the
    // reassembly buffer; empty when it is incomplete.
    std::span<const std::uint8_t> ControlReply(std::span<const std::uint8_t> chunk, std::size_t length);
    Result OnImageReady(std::span<const std::uint8_t> chunk);
    Result OnSetPictureReply(std::span<const std::uint8_t> chunk);
    Result OnPacketSizeReply(std::span<const std::uint8_t> chunk);
    Result OnStartReply(std::span<const std::uint8_t> chunk);
    Result OnPacket(std::span<const std::uint8_t> chunk);
    Result OnSimpleReply(std::span<const std::uint8_t> chunk);
    Result OnStretch(std::span<const std::uint8_t> chunk);
    // Packet and stretch replies gather in the chunk buffer; false when the
    // chunk does not fit behind what is there.
    bool Gather(std::span<const std::uint8_t> chunk);
    // The stretch size from the combo (1024 when it reads 0); false, with the
    // transfer stopped and the operator told, when no stretch that long fits.
    bool SetStretchSize();
    // Stops a transfer whose announced picture does not fit the buffer.
    bool RefuseOversizedPicture(std::uint32_t pictureLength);
    // The sizes typed into the Sub-packet Size combo.
    int ComboPacketSize();

    qzr::CSession& m_session;
    CCapturePart& m_capture;
    int m_nPacketFrameLen = kDefaultPacketFrameLen;
    std::uint32_t m_nImageLen = 0;
    int m_nPacketCount = 0;
    int m_nPacketIndex = 0;
    int m_nLastPacketLen = 0;
    std::uint32_t m_nChunkFill = 0;
    std::uint8_t m_nReplyAsmFill = 0;
    std::uint32_t m_nReadChunkSize = 1024;
    std::uint32_t m_nReadLen = 0;
    std::uint32_t m_nReadOffset = 0;
    std::uint32_t m_nReadTotal = 0;
    std::uint8_t m_chunk[kChunkSize] = {};
    std::uint8_t m_replyAsm[kReplyAsmSize] = {};
};
