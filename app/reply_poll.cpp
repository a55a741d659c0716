// Reply polling: timer 1 reads what the camera sent and hands it to the reader
// of the current transfer mode; a watchdog resends overdue numbered sub-packet
// requests; short unsolicited chunks are camera text or a test-shot trigger.
#include <array>
#include <cstring>
#include <span>

#include "app/camera_test_dlg.h"
#include "protocol/camera_text.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/lens.h"
#include "protocol/text_codec.h"
#include "res/resource.h"

namespace {

constexpr int kPollTimer = 1;
constexpr int kVerifySettingTimer = 22;
constexpr int kSnapAfterQueryTimer = 135;
constexpr int kFocusValueTimer = 137;
constexpr int kCounterTimer = 153;

constexpr std::uint32_t kWholeReadSize = 2048;
constexpr std::uint32_t kSubPacketReadSize = 8192;
constexpr int kIdleLimitStart = 600;   // 60 s for the reply to the start request
constexpr int kIdleLimitOther = 400;   // 40 s for any other awaited reply
constexpr int kMaxResends = 5;
constexpr int kPendingTicks = 20;
constexpr std::size_t kMaxTextChunk = 64;
constexpr std::size_t kTriggerChunk = 12;

}  // namespace

// Short chunks gathered while nothing is expected, for the trigger bytes.
std::uint8_t g_triggerBytes[60];
std::size_t g_nTriggerCount = 0;

void CCameraTestDlg::OnTimer(int timerId)
{
    if (g_bInTimer)
        return;
    switch (timerId) {
    case kVerifySettingTimer:
        // The verification of a new id and rate runs here; nothing arms it yet.
        KillTimer(kVerifySettingTimer);
        break;
    case kSnapAfterQueryTimer:
        KillTimer(kSnapAfterQueryTimer);
        m_capture.OnSnapshot();
        break;
    case kFocusValueTimer: {
        qzr::Bytes frame = qzr::BuildFocusValueRequest(static_cast<std::uint8_t>(m_nCameraId & 0xFF));
        SendFrame(frame);
        break;
    }
    case kCounterTimer:
        return;
    default:
        break;
    }
    g_bInTimer = true;
    if (timerId == kPollTimer)
        PollReplies();
    g_bInTimer = false;
}

void CCameraTestDlg::PollReplies()
{
    int& idleTicks = m_sender.m_nIdleTicks;
    if (m_bSubPacketMode) {
        if (ParseSubPacketReply())
            idleTicks = 0;
    } else {
        ParseWholeReply();
        if (m_capture.m_bSnapshotPending) {
            if (++idleTicks > kPendingTicks) {
                idleTicks = 0;
                m_capture.m_bSnapshotPending = false;
            }
        } else {
            idleTicks = 0;
        }
    }
    Watchdog();
}

void CCameraTestDlg::Watchdog()
{
    if (!m_bResendArmed)
        return;
    const int limit = m_nExpectedReply == qzr::CMD_SUBPACKET_START ? kIdleLimitStart : kIdleLimitOther;
    if (++m_sender.m_nIdleTicks <= limit)
        return;
    if (m_sender.m_nResendCount >= kMaxResends) {
        m_bResendArmed = false;
        return;
    }
    ++m_sender.m_nResendCount;
    m_sender.m_nIdleTicks = 0;
    m_strStatus = "重发";
    ShowTexts();
    // The resent request's reply starts afresh, not behind a torn one.
    m_capture.SubPacket().OnResend();
    ResendLastFrame();
    if (m_nExpectedReply == qzr::CMD_SUBPACKET_START)
        AppendLog("分包重发  30\r\n");
}

namespace {

// One row per reply the whole-package reader recognises by the length of one
// read and its command byte.
struct ReplyRoute {
    std::size_t length;
    std::uint8_t command;
    bool (*condition)(const CCameraTestDlg&, std::span<const std::uint8_t>);
    // The handler; true when the chunk's handling ends with it.
    bool (CCameraTestDlg::*handler)(std::span<const std::uint8_t>);
};

// Replies of the lens, model, serial-number and motion-alarm features join
// this table as they are taught to the console.
constexpr std::array<ReplyRoute, 0> kWholeRoutes{};

}  // namespace

bool CCameraTestDlg::DispatchWholeReply(std::span<const std::uint8_t> chunk)
{
    if (!qzr::HasFrameHead(chunk) || chunk.size() <= qzr::frame::kCommandOffset)
        return false;
    for (const ReplyRoute& route : kWholeRoutes) {
        if (route.length != chunk.size() || route.command != chunk[qzr::frame::kCommandOffset])
            continue;
        if (route.condition && !route.condition(*this, chunk))
            continue;
        return (this->*route.handler)(chunk);
    }
    return false;
}

std::uint32_t CCameraTestDlg::ParseWholeReply()
{
    if (!m_port.IsOpen())
        return 0;
    if (m_capture.PaceContinuousCapture())
        return 0;
    std::uint8_t buffer[kWholeReadSize];
    std::uint32_t n = sizeof buffer;
    if (!m_port.Read(buffer, n) || n == 0)
        return 0;
    const std::span<const std::uint8_t> chunk(buffer, n);

    if (DispatchWholeReply(chunk))
        return n;
    if (n + m_nImageReceived > kImageBufferSize) {
        AppendToLog("\r\n图像过大，缓冲区内存不足\r\n");
        return 0;
    }
    m_sender.m_nIdleTicks = 0;
    if (m_nExpectedReply == 0) {
        DetectTrigger(chunk);
        if (n >= 1 && n <= kMaxTextChunk)
            ShowCameraText(chunk);
    } else if (m_nExpectedReply == qzr::CMD_SNAPSHOT) {
        m_capture.OnWholeReplyChunk(chunk);
    }
    return n;
}

int CCameraTestDlg::ParseSubPacketReply()
{
    std::uint8_t buffer[kSubPacketReadSize];
    std::uint32_t n = sizeof buffer;
    if (!m_port.IsOpen() || !m_port.Read(buffer, n) || n == 0)
        return 0;
    if (n + m_nImageReceived > kImageBufferSize) {
        AppendToLog("\r\n图像过大，缓冲区内存不足\r\n");
        return 0;
    }
    const std::span<const std::uint8_t> chunk(buffer, n);
    switch (m_capture.SubPacket().OnChunk(chunk)) {
    case CSubPacketTransfer::Outcome::Wait:
        return 0;
    case CSubPacketTransfer::Outcome::FreeText:
        if (n <= kMaxTextChunk)
            ShowCameraText(chunk);
        return static_cast<int>(n);
    case CSubPacketTransfer::Outcome::Taken:
        break;
    }
    return static_cast<int>(n);
}

void CCameraTestDlg::DetectTrigger(std::span<const std::uint8_t> chunk)
{
    if (chunk.size() >= kTriggerChunk) {
        g_nTriggerCount = 0;
    } else if (g_nTriggerCount + chunk.size() < sizeof g_triggerBytes) {
        std::memcpy(g_triggerBytes + g_nTriggerCount, chunk.data(), chunk.size());
        g_nTriggerCount += chunk.size();
    } else {
        g_nTriggerCount = 0;
        m_strInfo.clear();
        ShowTexts();
        return;
    }
    if (!qzr::ContainsTestShotTrigger({g_triggerBytes, g_nTriggerCount}))
        return;
    g_nTriggerCount = 0;
    Sleep(200);
    m_capture.OnSnapshot();
    m_strInfo = "收到启动，测试";
    m_strStatus = "测试拍照";
    ShowTexts();
}

void CCameraTestDlg::ShowCameraText(std::span<const std::uint8_t> chunk)
{
    // The start-up message is looked for before the separators go in, which
    // would otherwise cut a short "senser ok" line apart.
    if (qzr::CameraTextLine(chunk).find("senser ok") != std::string::npos)
        AppendLog("启动成功\r\n");
    const std::string text = qzr::GbkToUtf8(qzr::FormatCameraText(chunk));
    if (++m_nTextLines > 25) {
        m_nTextLines = 0;
        m_strCameraText.clear();
    }
    m_strCameraText += text;
    ShowTexts();
}
