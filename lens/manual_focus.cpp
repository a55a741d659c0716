#include "lens/manual_focus.h"

#include "protocol/lens.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/canvas.h"

namespace {

constexpr std::uint32_t kReadSize = 128;
// Longer chunks are not focus values; they are dropped without trace.
constexpr std::uint32_t kMaxValueChunk = 64;
// Pictures are drawn at this corner of the picture frame, inside its border.
constexpr int kPictureLeft = 240;
constexpr int kPictureTop = 24;
constexpr int kPictureRightInset = 5;
constexpr int kPictureBottomInset = 13;

}  // namespace

void CManualFocus::Start()
{
    ui::CDialog& window = m_session.Window();
    window.SetDlgItemText(IDC_MANUAL_FOCUS, "Stop Focusing");
    m_bManualFocus = true;
    window.SetTimer(kTimer, kPeriodMs);
    m_chart.Reset();
    DrawChart();
}

void CManualFocus::Stop(std::string_view caption)
{
    ui::CDialog& window = m_session.Window();
    window.SetDlgItemText(IDC_MANUAL_FOCUS, caption);
    m_bManualFocus = false;
    window.KillTimer(kTimer);
    window.ClearOverlay();
}

void CManualFocus::SendPoll()
{
    qzr::Bytes frame = qzr::BuildFocusValueRequest(m_session.CameraId());
    m_session.SendFrame(frame);
}

void CManualFocus::ReadFocusValues()
{
    std::uint8_t buffer[kReadSize];
    std::uint32_t n = sizeof buffer;
    if (!m_session.Port().Read(buffer, n) || n == 0 || n > kMaxValueChunk)
        return;
    const std::span<const std::uint8_t> chunk(buffer, n);
    // The notice may end the run; the chunk is shown all the same.
    if (qzr::IConfigService* config = m_session.m_services.config)
        config->CheckProductionDateNotice(chunk);
    m_session.ShowCameraText(chunk);
    if (!m_bManualFocus)
        return;
    if (const auto value = qzr::FocusValueOfLine(chunk)) {
        m_chart.Add(*value);
        DrawChart();
    }
}

ui::Rect CManualFocus::ChartArea() const
{
    const ui::Rect frame = m_session.Window().GetClientRect(IDC_PICTURE);
    return {kPictureLeft, kPictureTop, kPictureLeft + frame.Width() - kPictureRightInset,
            kPictureTop + frame.Height() - kPictureBottomInset};
}

void CManualFocus::DrawChart()
{
    // Each drawing replaces the last, so the overlay holds one chart.
    m_session.Window().ClearOverlay();
    if (auto dc = m_session.Window().GetOverlayDC())
        m_chart.Draw(*dc, ChartArea());
}
