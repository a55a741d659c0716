#include "capture/sub_packet.h"

#include <cstdlib>
#include <cstring>

#include "app/camera_test_dlg.h"
#include "protocol/commands.h"
#include "protocol/subpacket.h"
#include "res/resource.h"
#include "ui/format.h"

using qzr::Bytes;
using ui::Format;

std::uint8_t CSubPacketTransfer::CameraId() const { return static_cast<std::uint8_t>(m_dialog.m_nCameraId & 0xFF); }

int CSubPacketTransfer::ComboPacketSize() { return std::atoi(m_dialog.Combo(IDC_PACKET_SIZE).GetWindowText().c_str()); }

void CSubPacketTransfer::RequestPicture()
{
    // A new picture ends whatever transfer came before; only the numbered
    // protocol arms the watchdog again, when it starts. The count of a
    // whole-package picture that never completed no longer limits the reads.
    m_dialog.m_bResendArmed = false;
    m_dialog.m_nImageReceived = 0;
    if (m_dialog.m_bSimplified)
        SendSimpleSubPacket();
    else
        SendSetPicture();
}

void CSubPacketTransfer::OnSetPacketSize()
{
    m_dialog.UpdateData(true);
    m_dialog.m_nImageReceived = 0;
    SendSetPacketSize();
}

void CSubPacketTransfer::SendSetPicture()
{
    CCameraTestDlg& dlg = m_dialog;
    const std::uint8_t resolution = dlg.Capture().ResolutionCode();
    const std::uint8_t quality = dlg.Capture().QualityCode();
    Bytes frame = qzr::BuildSetPictureRequest(CameraId(), resolution, quality);
    dlg.SendFrame(frame);
    dlg.m_nExpectedReply = qzr::CMD_SET_PICTURE;
    dlg.m_strStatus = Format("Setting Pic size：%d  quality:%d", resolution, quality);
    dlg.ShowTexts();
    m_nReplyAsmFill = 0;
    dlg.AppendLog("设分辩率\r\n");
}

void CSubPacketTransfer::SendSetPacketSize()
{
    CCameraTestDlg& dlg = m_dialog;
    const int size = ComboPacketSize();
    // Packet sizes are whole multiples of 32; others are not sent.
    if (size <= 0 || size % 32 != 0 || size > 0xFFFF)
        return;
    Bytes frame = qzr::BuildSetPacketSizeRequest(CameraId(), static_cast<std::uint16_t>(size));
    dlg.SendFrame(frame);
    dlg.m_nExpectedReply = qzr::CMD_SET_PACKET_SIZE;
    dlg.m_strStatus = Format("分包大小：%d", size);
    dlg.ShowTexts();
    dlg.AppendLog("设置分包大小\r\n");
    m_nReplyAsmFill = 0;
}

void CSubPacketTransfer::SendSubPacketStart()
{
    CCameraTestDlg& dlg = m_dialog;
    Bytes frame = qzr::BuildSubPacketStartRequest(CameraId());
    dlg.SendFrame(frame);
    dlg.m_nExpectedReply = qzr::CMD_SUBPACKET_START;
    dlg.m_bResendArmed = true;
    dlg.m_strStatus = "Sub-packet start";
    dlg.ShowTexts();
    m_nReplyAsmFill = 0;
    dlg.AppendLog("发送分包拍照:  0x30命令\r\n");
}

void CSubPacketTransfer::RequestPacket(int number)
{
    CCameraTestDlg& dlg = m_dialog;
    Bytes frame = qzr::BuildGetPacketRequest(CameraId(), static_cast<std::uint16_t>(number));
    dlg.SendFrame(frame);
    dlg.m_nExpectedReply = qzr::CMD_GET_PACKET;
    m_nChunkFill = 0;
    const std::string text = Format("请求第 %d 包图像数据\r\n", number + 1);
    dlg.AppendToLog(text);
    dlg.AppendLog(text);
}

void CSubPacketTransfer::SendSimpleSubPacket()
{
    CCameraTestDlg& dlg = m_dialog;
    dlg.UpdateData(true);
    qzr::SimpleSubPacketRequest request{};
    request.packetSize = static_cast<std::uint16_t>(ComboPacketSize());
    request.resolution = dlg.Capture().ResolutionCode();
    request.quality = dlg.Capture().QualityCode();
    request.test = dlg.m_bTestQuality != 0;
    Bytes frame = qzr::BuildSimpleSubPacketRequest(CameraId(), request);
    dlg.SendFrame(frame);
    dlg.m_nExpectedReply = qzr::CMD_SIMPLE_SUBPACKET;
    dlg.m_strStatus = "Sub-packet";
    dlg.ShowTexts();
    m_nReplyAsmFill = 0;
}

void CSubPacketTransfer::ReadImageStretch()
{
    CCameraTestDlg& dlg = m_dialog;
    m_nReadLen = m_nReadChunkSize;
    if (m_nReadOffset + m_nReadChunkSize > m_nReadTotal)
        m_nReadLen = m_nImageLen - m_nReadOffset;
    Bytes frame = qzr::BuildReadImageRequest(CameraId(), {m_nReadOffset, static_cast<std::uint16_t>(m_nReadLen)});
    dlg.SendFrame(frame);
    dlg.m_nExpectedReply = qzr::CMD_READ_IMAGE;
    m_nChunkFill = 0;
    dlg.m_strLog = Format("Getting package=%u", m_nReadChunkSize ? m_nReadOffset / m_nReadChunkSize : 0);
    dlg.ShowTexts();
}

bool CSubPacketTransfer::SetStretchSize()
{
    const int size = ComboPacketSize();
    m_nReadChunkSize = size > 0 ? static_cast<std::uint32_t>(size) : 1024;
    // A stretch and its 8 framing bytes must fit the chunk buffer, and its
    // length the request's 16-bit field; a larger size would stall the reads.
    if (m_nReadChunkSize + qzr::subpacket::kStretchOverhead < kChunkSize)
        return true;
    CCameraTestDlg& dlg = m_dialog;
    dlg.m_strLog = Format("Sub-packet size %u refused: stretches of at most %u bytes can be read\r\n", m_nReadChunkSize,
                          static_cast<unsigned>(kChunkSize - qzr::subpacket::kStretchOverhead - 1));
    dlg.m_nExpectedReply = 0;
    dlg.ShowTexts();
    return false;
}

bool CSubPacketTransfer::RefuseOversizedPicture(std::uint32_t pictureLength)
{
    if (pictureLength <= CCameraTestDlg::kImageBufferSize)
        return false;
    CCameraTestDlg& dlg = m_dialog;
    dlg.m_strLog = Format("图像过大，缓冲区内存不足: picture of %u bytes refused, the buffer holds %u\r\n", pictureLength,
                          CCameraTestDlg::kImageBufferSize);
    dlg.m_nExpectedReply = 0;
    dlg.m_bResendArmed = false;
    dlg.ShowTexts();
    dlg.AppendLog(dlg.m_strLog);
    return true;
}

std::span<const std::uint8_t> CSubPacketTransfer::ControlReply(std::span<const std::uint8_t> chunk, std::size_t length)
{
    if (chunk.size() == length)
        return chunk;
    if (m_nReplyAsmFill == length) {
        m_nReplyAsmFill = 0;
        return {m_replyAsm, length};
    }
    return {};
}

CSubPacketTransfer::Outcome CSubPacketTransfer::OnChunk(std::span<const std::uint8_t> chunk)
{
    CCameraTestDlg& dlg = m_dialog;
    const std::size_t n = chunk.size();

    // Short replies may come in pieces: gather them, except while packets or
    // stretches come (the last piece of one would be held back for good).
    const bool dataExpected = dlg.m_nExpectedReply == qzr::CMD_GET_PACKET || dlg.m_nExpectedReply == qzr::CMD_READ_IMAGE;
    if (!dataExpected && m_nReplyAsmFill + n < kReplyAsmSize) {
        std::memcpy(m_replyAsm + m_nReplyAsmFill, chunk.data(), n);
        m_nReplyAsmFill = static_cast<std::uint8_t>(m_nReplyAsmFill + n);
        if (m_nReplyAsmFill <= qzr::frame::kPayloadOffset ||
            m_nReplyAsmFill < qzr::ReadLe16(m_replyAsm + qzr::frame::kLengthOffset))
            return Outcome::Wait;
    }

    if (OnImageReady(chunk))
        return Outcome::Wait;

    switch (dlg.m_nExpectedReply) {
    case 0:
        return Outcome::FreeText;
    case qzr::CMD_SET_PICTURE:
        return OnSetPictureReply(chunk);
    case qzr::CMD_SET_PACKET_SIZE:
        return OnPacketSizeReply(chunk);
    case qzr::CMD_SUBPACKET_START:
        return OnStartReply(chunk);
    case qzr::CMD_GET_PACKET:
        return OnPacket(chunk);
    case qzr::CMD_SIMPLE_SUBPACKET:
        return OnSimpleReply(chunk);
    case qzr::CMD_READ_IMAGE:
        return OnStretch(chunk);
    default:
        return Outcome::Taken;
    }
}

bool CSubPacketTransfer::OnImageReady(std::span<const std::uint8_t> chunk)
{
    const auto ready = qzr::ParseImageReadyAnnouncement(chunk);
    if (!ready || ready->cameraId != CameraId())
        return false;
    CCameraTestDlg& dlg = m_dialog;
    if (RefuseOversizedPicture(ready->pictureSize))
        return true;
    m_nReadTotal = m_nImageLen = ready->pictureSize;
    m_nPacketIndex = 0;
    dlg.Sender().m_nIdleTicks = 0;
    dlg.m_bResendArmed = false;
    dlg.m_nImageReceived = 0;
    m_nReplyAsmFill = 0;
    m_nReadOffset = 0;
    m_nChunkFill = 0;
    if (!SetStretchSize())
        return true;
    ReadImageStretch();
    dlg.ShowTexts();
    dlg.Sleep(50);
    return true;
}

CSubPacketTransfer::Outcome CSubPacketTransfer::OnSetPictureReply(std::span<const std::uint8_t> chunk)
{
    if (ControlReply(chunk, qzr::subpacket::kControlReplyLength).empty())
        return Outcome::Wait;
    CCameraTestDlg& dlg = m_dialog;
    dlg.m_strInfo = "Get pic size";
    dlg.ShowTexts();
    dlg.AppendLog("收到分辨率\r\n");
    dlg.Sleep(100);
    SendSetPacketSize();
    return Outcome::Taken;
}

CSubPacketTransfer::Outcome CSubPacketTransfer::OnPacketSizeReply(std::span<const std::uint8_t> chunk)
{
    const auto reply = ControlReply(chunk, qzr::subpacket::kControlReplyLength);
    if (reply.empty())
        return Outcome::Wait;
    CCameraTestDlg& dlg = m_dialog;
    const std::uint16_t size = qzr::PacketSizeField(reply);
    m_nPacketFrameLen = size + static_cast<int>(qzr::subpacket::kPacketOverhead);
    dlg.m_strStatus = Format("Get Sub-packet size:%d", size);
    dlg.m_strInfo = "Get Sub-packet size";
    dlg.ShowTexts();
    dlg.Sleep(100);
    dlg.AppendLog("收到分包大小\r\n");
    SendSubPacketStart();
    return Outcome::Taken;
}

CSubPacketTransfer::Outcome CSubPacketTransfer::OnStartReply(std::span<const std::uint8_t> chunk)
{
    CCameraTestDlg& dlg = m_dialog;
    dlg.AppendLog("收到分包返回:  0x30命令\r\n");
    const auto reply = ControlReply(chunk, qzr::subpacket::kStartReplyLength);
    if (reply.empty()) {
        dlg.m_strLog = Format("分包返回指令字节数不对 %zu", chunk.size());
        dlg.ShowTexts();
        return Outcome::Wait;
    }
    const auto start = qzr::ParseSubPacketStartReply(reply);
    if (!start)
        return Outcome::Wait;
    if (RefuseOversizedPicture(start->pictureLength))
        return Outcome::Taken;

    const int packetSize = m_nPacketFrameLen - static_cast<int>(qzr::subpacket::kPacketOverhead);
    const long long count = start->packetCount;
    const long long lastLength = static_cast<long long>(start->pictureLength) - static_cast<long long>(packetSize) * (count - 1);
    // Packets are gathered in the chunk buffer and copied by number: a count or
    // size that does not add up to the picture would place them out of bounds.
    if (count == 0 || lastLength < 0 || lastLength > packetSize ||
        m_nPacketFrameLen >= static_cast<int>(kChunkSize)) {
        dlg.m_strLog = Format("Sub-packet reply refused: picture length %u, %lld packets of %d bytes do not add up\r\n",
                              start->pictureLength, count, packetSize);
        dlg.m_nExpectedReply = 0;
        dlg.m_bResendArmed = false;
        dlg.ShowTexts();
        dlg.AppendLog(dlg.m_strLog);
        return Outcome::Taken;
    }

    m_nImageLen = start->pictureLength;
    m_nPacketCount = static_cast<int>(count);
    m_nLastPacketLen = static_cast<int>(lastLength);
    dlg.m_strLog = Format("Data Length=%u package=%d Last package Len=%d \r\n", m_nImageLen, m_nPacketCount, m_nLastPacketLen);
    dlg.m_strInfo = Format("Data Length=%u package=%d ", m_nImageLen, m_nPacketCount);
    dlg.ShowTexts();
    dlg.AppendLog(dlg.m_strLog);
    dlg.Sleep(100);

    m_nPacketIndex = 0;
    dlg.Sender().m_nIdleTicks = 0;
    if (m_nLastPacketLen == 0)
        dlg.AppendLog("最后一包刚好为0");
    if (m_nPacketIndex < m_nPacketCount)
        RequestPacket(0);
    return Outcome::Taken;
}

CSubPacketTransfer::Outcome CSubPacketTransfer::OnPacket(std::span<const std::uint8_t> chunk)
{
    CCameraTestDlg& dlg = m_dialog;
    const std::size_t n = chunk.size();
    if (m_nChunkFill + n >= kChunkSize)
        return Outcome::Wait;
    std::memcpy(m_chunk + m_nChunkFill, chunk.data(), n);
    m_nChunkFill += static_cast<std::uint32_t>(n);
    const int packetSize = m_nPacketFrameLen - static_cast<int>(qzr::subpacket::kPacketOverhead);
    const std::span<const std::uint8_t> gathered(m_chunk, m_nChunkFill);
    const bool headOk = qzr::IsPacketReplyHead(gathered, CameraId());

    if (m_nPacketIndex == m_nPacketCount - 1) {
        const std::uint32_t expected = static_cast<std::uint32_t>(m_nLastPacketLen) + qzr::subpacket::kPacketOverhead;
        dlg.AppendLog("收到最后一包:  0x31\r\n");
        dlg.AppendLog(Format("最后一包:包号=%d 收到=%u   最后一包长=%u(%d)\r\n", m_nPacketIndex, m_nChunkFill, expected,
                             m_nLastPacketLen));
        if (m_nChunkFill < expected)
            return Outcome::Wait;
        dlg.AppendLog("收到最后一包收完:  0x31\r\n");
        if (m_nChunkFill > expected) {
            // The watchdog asks for it again.
            dlg.AppendLog("最后一包长度过大:  0x31\r\n");
            return Outcome::Wait;
        }
        dlg.AppendLog("最后一包长度正确:  0x31\r\n");
        const int number = qzr::PacketNumberField(gathered);
        dlg.m_strLog = Format("Get last packet  No. %d packet  length = %u \r\n", number + 1, m_nChunkFill);
        dlg.m_strStatus = "Sub-packet finish";
        dlg.ShowTexts();
        if (!headOk) {
            dlg.AppendLog("最后一包，帧头错误  0x31\r\n");
            return Outcome::Wait;
        }
        if (number != m_nPacketIndex)
            return Outcome::Wait;
        // The check field of the last packet is not verified.
        std::memcpy(dlg.m_pImage.get() + static_cast<std::size_t>(m_nPacketIndex) * packetSize,
                    m_chunk + qzr::subpacket::kPacketDataOffset, static_cast<std::size_t>(m_nLastPacketLen));
        dlg.Capture().View().ShowPicture(dlg.m_pImage.get(), m_nImageLen);
        dlg.AppendLog("显示图像:  0x31\r\n");
        dlg.m_nExpectedReply = 0;
        dlg.m_bResendArmed = false;
        if (dlg.m_bContinuous)
            dlg.Capture().OnSnapshot();
        return Outcome::Taken;
    }

    if (m_nChunkFill < static_cast<std::uint32_t>(m_nPacketFrameLen))
        return Outcome::Wait;
    if (m_nChunkFill > static_cast<std::uint32_t>(m_nPacketFrameLen)) {
        RequestPacket(m_nPacketIndex);
        return Outcome::Wait;
    }
    if (!headOk) {
        dlg.AppendToLog("Err--不是包头数据  ");
        dlg.ShowTexts();
        return Outcome::Wait;
    }
    const int number = qzr::PacketNumberField(gathered);
    dlg.m_strLog = Format("Get Sub-packet data No. %d packet/%d  length = %u ", number + 1, m_nPacketCount, m_nChunkFill);
    if (number != m_nPacketIndex)
        return Outcome::Wait;
    const std::uint8_t low = gathered[gathered.size() - 2];
    const std::uint8_t high = gathered[gathered.size() - 1];
    const std::uint16_t computed = qzr::FrameCrc(gathered.data(), gathered.size());
    if (qzr::HasValidCrc(gathered))
        dlg.AppendToLog("----CRC OK\r\n");
    else
        dlg.AppendToLog(Format("%x %x  %x", low, high, computed) + "----CRC  error\r\n");
    dlg.ShowTexts();
    // A packet with a bad CRC is reported and used all the same.
    std::memcpy(dlg.m_pImage.get() + static_cast<std::size_t>(number) * packetSize, gathered.data() + qzr::subpacket::kPacketDataOffset,
                static_cast<std::size_t>(packetSize));
    if (m_nPacketIndex < m_nPacketCount - 1) {
        ++m_nPacketIndex;
        RequestPacket(m_nPacketIndex);
        if (m_nPacketIndex > m_nPacketCount - 2)
            dlg.AppendLog(Format("请求最后一包-%d\r\n", m_nPacketIndex + 1));
    }
    return Outcome::Taken;
}

CSubPacketTransfer::Outcome CSubPacketTransfer::OnSimpleReply(std::span<const std::uint8_t> chunk)
{
    CCameraTestDlg& dlg = m_dialog;
    const auto reply = qzr::ParseSimpleSubPacketReply(ControlReply(chunk, qzr::subpacket::kSimpleReplyLength));
    if (!reply) {
        dlg.m_strLog = "分包（精简）返回指令字节数不对";
        dlg.ShowTexts();
        return Outcome::Wait;
    }
    m_nPacketFrameLen = reply->packetSize + static_cast<int>(qzr::subpacket::kPacketOverhead);
    dlg.m_strStatus = Format("返回分包大小:%d", reply->packetSize);
    dlg.Sleep(50);
    if (RefuseOversizedPicture(reply->pictureSize))
        return Outcome::Taken;
    dlg.m_strLog = Format("Sub-packet：picture Size=%u  packet total=%d   Sub-packet size=%d", reply->pictureSize,
                          reply->packetTotal, reply->packetSize);
    m_nImageLen = m_nReadTotal = reply->pictureSize;
    m_nPacketCount = reply->packetTotal;
    m_nLastPacketLen = static_cast<int>(static_cast<long long>(reply->pictureSize) -
                                        (static_cast<long long>(m_nPacketCount) - 1) * reply->packetSize);
    dlg.m_strInfo = Format("Data Length=%u package=%d ", m_nImageLen, m_nPacketCount);
    dlg.m_strStatus = Format("Last package%d \r\n", m_nLastPacketLen);
    dlg.ShowTexts();

    m_nPacketIndex = 0;
    dlg.Sender().m_nIdleTicks = 0;
    m_nReadOffset = 0;
    if (SetStretchSize())
        ReadImageStretch();
    return Outcome::Taken;
}

CSubPacketTransfer::Outcome CSubPacketTransfer::OnStretch(std::span<const std::uint8_t> chunk)
{
    CCameraTestDlg& dlg = m_dialog;
    const std::size_t n = chunk.size();
    if (m_nChunkFill + n < kChunkSize) {
        std::memcpy(m_chunk + m_nChunkFill, chunk.data(), n);
        m_nChunkFill += static_cast<std::uint32_t>(n);
    } else {
        dlg.m_strStatus = Format("收到文件长度=%zu", n);
        dlg.ShowTexts();
        return Outcome::Wait;
    }
    if (m_nChunkFill < m_nReadLen + qzr::subpacket::kStretchOverhead)
        return Outcome::Wait;
    dlg.m_strStatus = Format("Get package=%u", m_nChunkFill);
    if (!qzr::HasValidCrc({m_chunk, m_nChunkFill}))
        return Outcome::Wait;  // not used, not asked for again
    std::memcpy(dlg.m_pImage.get() + m_nReadOffset, m_chunk + qzr::subpacket::kStretchDataOffset, m_nReadLen);
    m_nReadOffset += m_nReadLen;
    if (m_nReadOffset >= m_nImageLen) {
        dlg.Capture().View().ShowPicture(dlg.m_pImage.get(), m_nImageLen);
        dlg.m_strLog = Format("Get length=%u  OK   show picture", m_nReadOffset);
        dlg.m_nExpectedReply = 0;
        if (dlg.m_bContinuous)
            dlg.Capture().OnSnapshot();
        dlg.ShowTexts();
        return Outcome::Taken;
    }
    ReadImageStretch();
    dlg.m_strLog = Format("%s  Get length=%u", dlg.m_strLog.c_str(), m_nReadOffset);
    dlg.ShowTexts();
    return Outcome::Taken;
}
