// Reply polling: timer 1 reads what the camera sent and hands it to the reader
// of the current transfer mode, which consults the reply router at its points;
// a watchdog resends overdue numbered sub-packet requests; short unsolicited
// chunks are camera text or a test-shot trigger.
#include <cstring>
#include <string>

#include "protocol/camera_text.h"
#include "protocol/commands.h"
#include "session/session.h"

namespace qzr {
namespace {

constexpr std::uint32_t kWholeReadSize = 2048;
constexpr std::uint32_t kSubPacketReadSize = 8192;
constexpr std::size_t kMaxTextChunk = 64;
constexpr std::size_t kTriggerChunk = 12;

}  // namespace

void CSession::PollReplies()
{
    PollPort();
    if (m_port.TakeHangUpNotice())
        ReportHangUp();
}

void CSession::ReportHangUp()
{
    const std::string line = "Serial port disconnected: " + DevicePathOf(m_port.PortName()) + "\r\n";
    m_strStatus = "Serial port disconnected";
    // A line of its own, also after a progress text without a line end.
    if (!m_strLog.empty() && m_strLog.back() != '\n')
        AppendToLog("\r\n");
    AppendToLog(line);
    AppendLog(line);
    ShowTexts();
}

void CSession::PollPort()
{
    if (ILensService* lens = m_services.lens; lens && lens->ManualFocusOn()) {
        lens->ReadFocusValues();
        return;
    }
    if (IFirmwareService* firmware = m_services.firmware; firmware && firmware->Upgrading()) {
        firmware->HandleUpgradeRequest();
        return;
    }
    if (m_bSubPacketMode) {
        if (ParseSubPacketReply())
            m_watchdog.ReplyArrived();
    } else {
        ParseWholeReply();
        m_watchdog.CountWholePackageTick();
    }
    RunWatchdog();
}

void CSession::RunWatchdog()
{
    const bool awaitingStart = m_nExpectedReply == CMD_SUBPACKET_START;
    if (!m_watchdog.Tick(awaitingStart))
        return;
    m_strStatus = "重发";
    ShowTexts();
    // The resent request's reply starts afresh, not behind a torn one.
    if (m_services.capture)
        m_services.capture->OnResend();
    ResendLastFrame();
    if (awaitingStart)
        AppendLog("分包重发  30\r\n");
}

std::uint32_t CSession::ParseWholeReply()
{
    if (!m_port.IsOpen())
        return 0;
    if (m_services.capture && m_services.capture->PaceContinuousCapture())
        return 0;
    std::uint8_t buffer[kWholeReadSize];
    std::uint32_t n = sizeof buffer;
    if (!m_port.Read(buffer, n) || n == 0)
        return 0;
    const Reply chunk(buffer, n);

    m_router.Dispatch(ReplyPoint::WholeEveryChunk, chunk);
    if (m_router.Dispatch(ReplyPoint::WholeFramed, chunk) != RouteResult::Continue)
        return n;
    if (RefuseOverflow(n))
        return 0;
    m_watchdog.ReplyArrived();
    m_router.Dispatch(ReplyPoint::WholeExpected, chunk);
    return n;
}

int CSession::ParseSubPacketReply()
{
    std::uint8_t buffer[kSubPacketReadSize];
    std::uint32_t n = sizeof buffer;
    if (!m_port.IsOpen() || !m_port.Read(buffer, n) || n == 0)
        return 0;
    if (RefuseOverflow(n))
        return 0;
    const Reply chunk(buffer, n);
    for (ReplyPoint point : {ReplyPoint::SubEveryChunk, ReplyPoint::SubUnsolicited, ReplyPoint::SubExpected}) {
        switch (m_router.Dispatch(point, chunk)) {
        case RouteResult::Wait:
            return 0;
        case RouteResult::Taken:
            return static_cast<int>(n);
        case RouteResult::Continue:
            break;
        }
    }
    // An awaited reply no row reads is taken without action.
    return static_cast<int>(n);
}

// The readers' own rows: what arrives while nothing is awaited.
void CSession::AddLinkRoutes()
{
    const auto nothingAwaited = [this](Reply) { return m_nExpectedReply == 0; };
    m_router.Add({ReplyPoint::WholeExpected, kAnyLength, kAnyCommand, nothingAwaited, [this](Reply chunk) {
                      DetectTrigger(chunk);
                      ShowFreeText(chunk);
                      return RouteResult::Taken;
                  }});
    m_router.Add({ReplyPoint::SubExpected, kAnyLength, kAnyCommand, nothingAwaited, [this](Reply chunk) {
                      ShowFreeText(chunk);
                      return RouteResult::Taken;
                  }});
}

void CSession::ShowFreeText(std::span<const std::uint8_t> chunk)
{
    if (chunk.empty() || chunk.size() > kMaxTextChunk)
        return;
    // The start-up message is looked for before the separators go in, which
    // would otherwise cut a short "senser ok" line apart.
    if (CameraTextLine(chunk).find("senser ok") != std::string::npos)
        AppendLog("启动成功\r\n");
    ShowCameraText(chunk);
}

void CSession::DetectTrigger(std::span<const std::uint8_t> chunk)
{
    if (chunk.size() >= kTriggerChunk) {
        m_nTriggerCount = 0;
    } else if (m_nTriggerCount + chunk.size() < sizeof m_triggerBytes) {
        std::memcpy(m_triggerBytes + m_nTriggerCount, chunk.data(), chunk.size());
        m_nTriggerCount += chunk.size();
    } else {
        m_nTriggerCount = 0;
        m_strInfo.clear();
        ShowTexts();
        return;
    }
    if (!ContainsTestShotTrigger({m_triggerBytes, m_nTriggerCount}))
        return;
    m_nTriggerCount = 0;
    m_window.Sleep(200);
    if (m_services.capture)
        m_services.capture->OnSnapshot();
    m_strInfo = "收到启动，测试";
    m_strStatus = "测试拍照";
    ShowTexts();
}

}  // namespace qzr
