#include "capture/sub_packet.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "capture/capture_part.h"
#include "protocol/commands.h"
#include "protocol/subpacket.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/data_exchange.h"
#include "ui/format.h"

using qzr::Bytes;
using qzr::Reply;
using qzr::ReplyPoint;
using ui::Format;

int CSubPacketTransfer::ComboPacketSize()
{
    return ui::LeadingInt(m_session.Window().Combo(IDC_PACKET_SIZE).GetWindowText());
}

void CSubPacketTransfer::AddRoutes(qzr::ReplyRouter& router)
{
    const auto awaiting = [this](std::uint8_t command) {
        return [this, command](Reply) { return m_session.m_nExpectedReply == command; };
    };
    const auto row = [&](std::uint8_t command, Result (CSubPacketTransfer::*handler)(std::span<const std::uint8_t>)) {
        router.Add({ReplyPoint::SubExpected, qzr::kAnyLength, qzr::kAnyCommand, awaiting(command),
                    [this, handler](Reply chunk) { return (this->*handler)(chunk); }});
    };
    router.Add({ReplyPoint::SubEveryChunk, qzr::kAnyLength, qzr::kAnyCommand, {},
                [this](Reply chunk) { return Reassemble(chunk); }});
    // A picture the camera announces by itself is read whatever is awaited.
    router.Add({ReplyPoint::SubUnsolicited, qzr::subpacket::kImageReadyLength, qzr::CMD_IMAGE_READY,
                [this](Reply chunk) {
                    const auto ready = qzr::ParseImageReadyAnnouncement(chunk);
                    return ready && ready->cameraId == m_session.CameraId();
                },
                [this](Reply chunk) { return OnImageReady(chunk); }});
    row(qzr::CMD_SET_PICTURE, &CSubPacketTransfer::OnSetPictureReply);
    row(qzr::CMD_SET_PACKET_SIZE, &CSubPacketTransfer::OnPacketSizeReply);
    row(qzr::CMD_SUBPACKET_START, &CSubPacketTransfer::OnStartReply);
    row(qzr::CMD_GET_PACKET, &CSubPacketTransfer::OnPacket);
    row(qzr::CMD_SIMPLE_SUBPACKET, &CSubPacketTransfer::OnSimpleReply);
    row(qzr::CMD_READ_IMAGE, &CSubPacketTransfer::OnStretch);
}

void CSubPacketTransfer::RequestPicture()
{
    // A new picture ends whatever transfer came before; only the numbered
    // protocol arms the watchdog again, when it starts. The count of a
    // whole-package picture that never completed no longer limits the reads.
    m_session.Watchdog().Disarm();
    m_session.Picture().ResetReceived();
    if (m_capture.m_bSimplified)
        SendSimpleSubPacket();
    else
        SendSetPicture();
}

void CSubPacketTransfer::OnSetPacketSize()
{
    m_capture.Progress().End();
    m_session.Window().UpdateData(true);
    m_session.Picture().ResetReceived();
    SendSetPacketSize();
}

void CSubPacketTransfer::SendSetPicture()
{
    qzr::CSession& session = m_session;
    const std::uint8_t resolution = m_capture.ResolutionCode();
    const std::uint8_t quality = m_capture.QualityCode();
    Bytes frame = qzr::BuildSetPictureRequest(session.CameraId(), resolution, quality);
    session.SendFrame(frame);
    session.m_nExpectedReply = qzr::CMD_SET_PICTURE;
    session.m_strStatus = Format("Setting Pic size：%d  quality:%d", resolution, quality);
    session.ShowTexts();
    m_nReplyAsmFill = 0;
    session.AppendLog("设分辩率\r\n");
}

void CSubPacketTransfer::SendSetPacketSize()
{
    qzr::CSession& session = m_session;
    const int size = ComboPacketSize();
    // Packet sizes are whole multiples of 32; others are not sent.
    if (size <= 0 || size % 32 != 0 || size > 0xFFFF)
        return;
    Bytes frame = qzr::BuildSetPacketSizeRequest(session.CameraId(), static_cast<std::uint16_t>(size));
    session.SendFrame(frame);
    session.m_nExpectedReply = qzr::CMD_SET_PACKET_SIZE;
    session.m_strStatus = Format("分包大小：%d", size);
    session.ShowTexts();
    session.AppendLog("设置分包大小\r\n");
    m_nReplyAsmFill = 0;
}

void CSubPacketTransfer::SendSubPacketStart()
{
    qzr::CSession& session = m_session;
    Bytes frame = qzr::BuildSubPacketStartRequest(session.CameraId());
    session.SendFrame(frame);
    session.m_nExpectedReply = qzr::CMD_SUBPACKET_START;
    session.Watchdog().Arm();
    session.m_strStatus = "Sub-packet start";
    session.ShowTexts();
    m_nReplyAsmFill = 0;
    session.AppendLog("发送分包拍照:  0x30命令\r\n");
}

void CSubPacketTransfer::RequestPacket(int number)
{
    qzr::CSession& session = m_session;
    Bytes frame = qzr::BuildGetPacketRequest(session.CameraId(), static_cast<std::uint16_t>(number));
    session.SendFrame(frame);
    session.m_nExpectedReply = qzr::CMD_GET_PACKET;
    m_nChunkFill = 0;
    const std::string text = Format("请求第 %d 包图像数据\r\n", number + 1);
    session.AppendToLog(text);
    session.AppendLog(text);
}

void CSubPacketTransfer::SendSimpleSubPacket()
{
    qzr::CSession& session = m_session;
    session.Window().UpdateData(true);
    qzr::SimpleSubPacketRequest request{};
    request.packetSize = static_cast<std::uint16_t>(ComboPacketSize());
    request.resolution = m_capture.ResolutionCode();
    request.quality = m_capture.QualityCode();
    request.test = m_capture.m_bTestQuality != 0;
    Bytes frame = qzr::BuildSimpleSubPacketRequest(session.CameraId(), request);
    session.SendFrame(frame);
    session.m_nExpectedReply = qzr::CMD_SIMPLE_SUBPACKET;
    session.m_strStatus = "Sub-packet";
    session.ShowTexts();
    m_nReplyAsmFill = 0;
}

void CSubPacketTransfer::ReadImageStretch()
{
    qzr::CSession& session = m_session;
    m_nReadLen = m_nReadChunkSize;
    if (m_nReadOffset + m_nReadChunkSize > m_nReadTotal)
        m_nReadLen = m_nImageLen - m_nReadOffset;
    Bytes frame = qzr::BuildReadImageRequest(session.CameraId(), {m_nReadOffset, static_cast<std::uint16_t>(m_nReadLen)});
    session.SendFrame(frame);
    session.m_nExpectedReply = qzr::CMD_READ_IMAGE;
    m_nChunkFill = 0;
    session.m_strLog = Format("Getting package=%u", m_nReadChunkSize ? m_nReadOffset / m_nReadChunkSize : 0);
    session.ShowTexts();
}

bool CSubPacketTransfer::SetStretchSize()
{
    const int size = ComboPacketSize();
    m_nReadChunkSize = size > 0 ? static_cast<std::uint32_t>(size) : 1024;
    // A stretch and its 8 framing bytes must fit the chunk buffer, and its
    // length the request's 16-bit field; a larger size would stall the reads.
    if (m_nReadChunkSize + qzr::subpacket::kStretchOverhead < kChunkSize)
        return true;
    qzr::CSession& session = m_session;
    session.m_strLog = Format("Sub-packet size %u refused: stretches of at most %u bytes can be read\r\n", m_nReadChunkSize,
                              static_cast<unsigned>(kChunkSize - qzr::subpacket::kStretchOverhead - 1));
    session.m_nExpectedReply = 0;
    m_capture.Progress().End();
    session.ShowTexts();
    return false;
}

bool CSubPacketTransfer::RefuseOversizedPicture(std::uint32_t pictureLength)
{
    if (pictureLength <= qzr::CPictureBuffer::kSize)
        return false;
    qzr::CSession& session = m_session;
    session.m_strLog = Format("图像过大，缓冲区内存不足: picture of %u bytes refused, the buffer holds %u\r\n", pictureLength,
                              qzr::CPictureBuffer::kSize);
    session.m_nExpectedReply = 0;
    session.Watchdog().Disarm();
    m_capture.Progress().End();
    session.ShowTexts();
    session.AppendLog(session.m_strLog);
    return true;
}

CSubPacketTransfer::Result CSubPacketTransfer::Reassemble(std::span<const std::uint8_t> chunk)
{
    // Short replies may come in pieces: gather them, except while packets or
    // stretches come (the last piece of one would be held back for good).
    const std::uint8_t expected = m_session.m_nExpectedReply;
    if (expected == qzr::CMD_GET_PACKET || expected == qzr::CMD_READ_IMAGE || m_nReplyAsmFill + chunk.size() >= kReplyAsmSize)
        return Result::Continue;
    std::memcpy(m_replyAsm + m_nReplyAsmFill, chunk.data(), chunk.size());
    m_nReplyAsmFill = static_cast<std::uint8_t>(m_nReplyAsmFill + chunk.size());
    const std::span<const std::uint8_t> gathered(m_replyAsm, m_nReplyAsmFill);
    if (m_nReplyAsmFill <= qzr::frame::kPayloadOffset || m_nReplyAsmFill < qzr::LengthField(gathered))
        return Result::Wait;
    return Result::Continue;
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

bool CSubPacketTransfer::Gather(std::span<const std::uint8_t> chunk)
{
    if (m_nChunkFill + chunk.size() >= kChunkSize)
        return false;
    std::memcpy(m_chunk + m_nChunkFill, chunk.data(), chunk.size());
    m_nChunkFill += static_cast<std::uint32_t>(chunk.size());
    return true;
}

CSubPacketTransfer::Result CSubPacketTransfer::OnImageReady(std::span<const std::uint8_t> chunk)
{
    const auto ready = qzr::ParseImageReadyAnnouncement(chunk);
    if (!ready || RefuseOversizedPicture(ready->pictureSize))
        return Result::Wait;
    qzr::CSession& session = m_session;
    m_nReadTotal = m_nImageLen = ready->pictureSize;
    m_nPacketIndex = 0;
    session.Watchdog().ReplyArrived();
    session.Watchdog().Disarm();
    session.Picture().ResetReceived();
    m_nReplyAsmFill = 0;
    m_nReadOffset = 0;
    m_nChunkFill = 0;
    if (!SetStretchSize())
        return Result::Wait;
    m_capture.Progress().Begin(m_nImageLen);
    ReadImageStretch();
    session.ShowTexts();
    session.Window().Sleep(50);
    return Result::Wait;
}

CSubPacketTransfer::Result CSubPacketTransfer::OnSetPictureReply(std::span<const std::uint8_t> chunk)
{
    if (ControlReply(chunk, qzr::subpacket::kControlReplyLength).empty())
        return Result::Wait;
    qzr::CSession& session = m_session;
    session.m_strInfo = "Get pic size";
    session.ShowTexts();
    session.AppendLog("收到分辨率\r\n");
    session.Window().Sleep(100);
    SendSetPacketSize();
    return Result::Taken;
}

CSubPacketTransfer::Result CSubPacketTransfer::OnPacketSizeReply(std::span<const std::uint8_t> chunk)
{
    const auto reply = ControlReply(chunk, qzr::subpacket::kControlReplyLength);
    if (reply.empty())
        return Result::Wait;
    qzr::CSession& session = m_session;
    const std::uint16_t size = qzr::PacketSizeField(reply);
    m_nPacketFrameLen = size + static_cast<int>(qzr::subpacket::kPacketOverhead);
    session.m_strStatus = Format("Get Sub-packet size:%d", size);
    session.m_strInfo = "Get Sub-packet size";
    session.ShowTexts();
    session.Window().Sleep(100);
    session.AppendLog("收到分包大小\r\n");
    SendSubPacketStart();
    return Result::Taken;
}

CSubPacketTransfer::Result CSubPacketTransfer::OnStartReply(std::span<const std::uint8_t> chunk)
{
    qzr::CSession& session = m_session;
    session.AppendLog("收到分包返回:  0x30命令\r\n");
    const auto reply = ControlReply(chunk, qzr::subpacket::kStartReplyLength);
    if (reply.empty()) {
        session.m_strLog = Format("分包返回指令字节数不对 %zu", chunk.size());
        session.ShowTexts();
        return Result::Wait;
    }
    const auto start = qzr::ParseSubPacketStartReply(reply);
    if (!start)
        return Result::Wait;
    if (RefuseOversizedPicture(start->pictureLength))
        return Result::Taken;

    const int packetSize = m_nPacketFrameLen - static_cast<int>(qzr::subpacket::kPacketOverhead);
    const long long count = start->packetCount;
    const long long lastLength = static_cast<long long>(start->pictureLength) - static_cast<long long>(packetSize) * (count - 1);
    // Packets are gathered in the chunk buffer and stored by number: a count or
    // size that does not add up to the picture would place them out of bounds.
    if (count == 0 || lastLength < 0 || lastLength > packetSize || m_nPacketFrameLen >= static_cast<int>(kChunkSize)) {
        session.m_strLog = Format("Sub-packet reply refused: picture length %u, %lld packets of %d bytes do not add up\r\n",
                                  start->pictureLength, count, packetSize);
        session.m_nExpectedReply = 0;
        session.Watchdog().Disarm();
        m_capture.Progress().End();
        session.ShowTexts();
        session.AppendLog(session.m_strLog);
        return Result::Taken;
    }

    m_nImageLen = start->pictureLength;
    m_nPacketCount = static_cast<int>(count);
    m_nLastPacketLen = static_cast<int>(lastLength);
    session.m_strLog = Format("Data Length=%u package=%d Last package Len=%d \r\n", m_nImageLen, m_nPacketCount, m_nLastPacketLen);
    session.m_strInfo = Format("Data Length=%u package=%d ", m_nImageLen, m_nPacketCount);
    session.ShowTexts();
    session.AppendLog(session.m_strLog);
    session.Window().Sleep(100);

    m_nPacketIndex = 0;
    session.Watchdog().ReplyArrived();
    m_capture.Progress().Begin(m_nImageLen);
    if (m_nLastPacketLen == 0)
        session.AppendLog("最后一包刚好为0");
    if (m_nPacketIndex < m_nPacketCount)
        RequestPacket(0);
    return Result::Taken;
}

CSubPacketTransfer::Result CSubPacketTransfer::OnPacket(std::span<const std::uint8_t> chunk)
{
    qzr::CSession& session = m_session;
    if (!Gather(chunk))
        return Result::Wait;
    const int packetSize = m_nPacketFrameLen - static_cast<int>(qzr::subpacket::kPacketOverhead);
    const std::span<const std::uint8_t> gathered(m_chunk, m_nChunkFill);
    const bool headOk = qzr::IsPacketReplyHead(gathered, session.CameraId());

    if (m_nPacketIndex == m_nPacketCount - 1) {
        const std::uint32_t expected = static_cast<std::uint32_t>(m_nLastPacketLen) + qzr::subpacket::kPacketOverhead;
        session.AppendLog("收到最后一包:  0x31\r\n");
        session.AppendLog(Format("最后一包:包号=%d 收到=%u   最后一包长=%u(%d)\r\n", m_nPacketIndex, m_nChunkFill, expected,
                                 m_nLastPacketLen));
        if (m_nChunkFill < expected)
            return Result::Wait;
        session.AppendLog("收到最后一包收完:  0x31\r\n");
        if (m_nChunkFill > expected) {
            // The watchdog asks for it again.
            session.AppendLog("最后一包长度过大:  0x31\r\n");
            return Result::Wait;
        }
        session.AppendLog("最后一包长度正确:  0x31\r\n");
        const int number = qzr::PacketNumberField(gathered);
        session.m_strLog = Format("Get last packet  No. %d packet  length = %u \r\n", number + 1, m_nChunkFill);
        session.m_strStatus = "Sub-packet finish";
        session.ShowTexts();
        if (!headOk) {
            session.AppendLog("最后一包，帧头错误  0x31\r\n");
            return Result::Wait;
        }
        if (number != m_nPacketIndex)
            return Result::Wait;
        // The check field of the last packet is not verified.
        const auto packet = qzr::ParsePacketReply(gathered);
        session.Picture().Store(static_cast<std::size_t>(m_nPacketIndex) * packetSize, packet->data);
        m_capture.Progress().End();
        m_capture.OnPictureReceived(session.Picture().View(0, m_nImageLen), [&session] {
            session.AppendLog("显示图像:  0x31\r\n");
            session.Watchdog().Disarm();
        });
        return Result::Taken;
    }

    if (m_nChunkFill < static_cast<std::uint32_t>(m_nPacketFrameLen))
        return Result::Wait;
    if (m_nChunkFill > static_cast<std::uint32_t>(m_nPacketFrameLen)) {
        RequestPacket(m_nPacketIndex);
        return Result::Wait;
    }
    if (!headOk) {
        session.AppendToLog("Err--不是包头数据  ");
        session.ShowTexts();
        return Result::Wait;
    }
    const auto packet = qzr::ParsePacketReply(gathered);
    session.m_strLog = Format("Get Sub-packet data No. %d packet/%d  length = %u ", packet->packetNumber + 1, m_nPacketCount,
                              m_nChunkFill);
    if (packet->packetNumber != m_nPacketIndex)
        return Result::Wait;
    if (packet->crcOk) {
        session.AppendToLog("----CRC OK\r\n");
    } else {
        const std::uint16_t carried = qzr::CarriedCrc(gathered);
        session.AppendToLog(Format("%x %x  %x", carried & 0xFF, carried >> 8, qzr::FrameCrc(gathered.data(), gathered.size())) +
                            "----CRC  error\r\n");
    }
    session.ShowTexts();
    // A packet with a bad CRC is reported and used all the same.
    session.Picture().Store(static_cast<std::size_t>(packet->packetNumber) * packetSize, packet->data);
    m_capture.Progress().Advance(std::min<std::uint64_t>(std::uint64_t(m_nPacketIndex + 1) * packetSize, m_nImageLen));
    if (m_nPacketIndex < m_nPacketCount - 1) {
        ++m_nPacketIndex;
        RequestPacket(m_nPacketIndex);
        if (m_nPacketIndex > m_nPacketCount - 2)
            session.AppendLog(Format("请求最后一包-%d\r\n", m_nPacketIndex + 1));
    }
    return Result::Taken;
}

CSubPacketTransfer::Result CSubPacketTransfer::OnSimpleReply(std::span<const std::uint8_t> chunk)
{
    qzr::CSession& session = m_session;
    const auto reply = qzr::ParseSimpleSubPacketReply(ControlReply(chunk, qzr::subpacket::kSimpleReplyLength));
    if (!reply) {
        session.m_strLog = "分包（精简）返回指令字节数不对";
        session.ShowTexts();
        return Result::Wait;
    }
    m_nPacketFrameLen = reply->packetSize + static_cast<int>(qzr::subpacket::kPacketOverhead);
    session.m_strStatus = Format("返回分包大小:%d", reply->packetSize);
    session.Window().Sleep(50);
    if (RefuseOversizedPicture(reply->pictureSize))
        return Result::Taken;
    session.m_strLog = Format("Sub-packet：picture Size=%u  packet total=%d   Sub-packet size=%d", reply->pictureSize,
                              reply->packetTotal, reply->packetSize);
    m_nImageLen = m_nReadTotal = reply->pictureSize;
    m_nPacketCount = reply->packetTotal;
    m_nLastPacketLen = static_cast<int>(static_cast<long long>(reply->pictureSize) -
                                        (static_cast<long long>(m_nPacketCount) - 1) * reply->packetSize);
    session.m_strInfo = Format("Data Length=%u package=%d ", m_nImageLen, m_nPacketCount);
    session.m_strStatus = Format("Last package%d \r\n", m_nLastPacketLen);
    session.ShowTexts();

    m_nPacketIndex = 0;
    session.Watchdog().ReplyArrived();
    m_nReadOffset = 0;
    if (SetStretchSize()) {
        m_capture.Progress().Begin(m_nImageLen);
        ReadImageStretch();
    }
    return Result::Taken;
}

CSubPacketTransfer::Result CSubPacketTransfer::OnStretch(std::span<const std::uint8_t> chunk)
{
    qzr::CSession& session = m_session;
    if (!Gather(chunk)) {
        session.m_strStatus = Format("收到文件长度=%zu", chunk.size());
        session.ShowTexts();
        return Result::Wait;
    }
    if (m_nChunkFill < m_nReadLen + qzr::subpacket::kStretchOverhead)
        return Result::Wait;
    session.m_strStatus = Format("Get package=%u", m_nChunkFill);
    const auto stretch = qzr::ParseReadImageReply({m_chunk, m_nChunkFill}, m_nReadLen);
    if (!stretch || !stretch->crcOk)
        return Result::Wait;  // not used, not asked for again
    session.Picture().Store(m_nReadOffset, stretch->data);
    m_nReadOffset += m_nReadLen;
    m_capture.Progress().Advance(std::min(m_nReadOffset, m_nImageLen));
    if (m_nReadOffset >= m_nImageLen) {
        m_capture.Progress().End();
        m_capture.OnPictureReceived(session.Picture().View(0, m_nImageLen), [this, &session] {
            session.m_strLog = Format("Get length=%u  OK   show picture", m_nReadOffset);
        });
        session.ShowTexts();
        return Result::Taken;
    }
    ReadImageStretch();
    session.m_strLog = Format("%s  Get length=%u", session.m_strLog.c_str(), m_nReadOffset);
    session.ShowTexts();
    return Result::Taken;
}
