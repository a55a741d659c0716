#pragma once

#include <cstdint>
#include <span>

class CCameraTestDlg;

// Sub-packet transfers: the numbered protocol (set picture, set packet size,
// start, then packets by number, with CRC-checked packets and resends on
// time-outs) and the simplified protocol (one request, then stretches read by
// byte offset), which also serves a picture the camera announces by itself.
class CSubPacketTransfer {
public:
    explicit CSubPacketTransfer(CCameraTestDlg& dialog) : m_dialog(dialog) {}

    // What became of a received chunk.
    enum class Outcome {
        Wait,      // held back or not accepted (yet)
        Taken,     // used
        FreeText,  // nothing is expected: the chunk is camera text
    };
    Outcome OnChunk(std::span<const std::uint8_t> chunk);

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

    // Senders; each sets the expected reply to its command byte.
    void SendSetPicture();
    void SendSetPacketSize();
    void SendSubPacketStart();
    void RequestPacket(int number);
    void SendSimpleSubPacket();
    void ReadImageStretch();

    static constexpr std::uint32_t kChunkSize = 10240;
    static constexpr std::uint8_t kReplyAsmSize = 32;
    static constexpr int kDefaultPacketFrameLen = 523;  // a 512-byte packet plus 11

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

private:
    // A control reply of `length` bytes, from the chunk itself or from the
    // reassembly buffer; empty when it is incomplete.
    std::span<const std::uint8_t> ControlReply(std::span<const std::uint8_t> chunk, std::size_t length);
    bool OnImageReady(std::span<const std::uint8_t> chunk);
    Outcome OnSetPictureReply(std::span<const std::uint8_t> chunk);
    Outcome OnPacketSizeReply(std::span<const std::uint8_t> chunk);
    Outcome OnStartReply(std::span<const std::uint8_t> chunk);
    Outcome OnPacket(std::span<const std::uint8_t> chunk);
    Outcome OnSimpleReply(std::span<const std::uint8_t> chunk);
    Outcome OnStretch(std::span<const std::uint8_t> chunk);
    // The stretch size from the combo (1024 when it reads 0); false, with the
    // transfer stopped and the operator told, when no stretch that long fits.
    bool SetStretchSize();
    // Stops a transfer whose announced picture does not fit the buffer.
    bool RefuseOversizedPicture(std::uint32_t pictureLength);
    // The sizes typed into the Sub-packet Size combo.
    int ComboPacketSize();
    std::uint8_t CameraId() const;

    CCameraTestDlg& m_dialog;
    std::uint8_t m_chunk[kChunkSize] = {};
    std::uint8_t m_replyAsm[kReplyAsmSize] = {};
};
