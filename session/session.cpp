#include "session/session.h"

#include <cstdio>

#include "protocol/camera_text.h"
#include "protocol/frame.h"
#include "protocol/text_codec.h"
#include "res/resource.h"
#include "serial/log_file.h"
#include "session/part.h"
#include "ui/data_exchange.h"

bool g_bInTimer = false;

namespace qzr {

CSession::CSession(ui::CDialog& window) : m_window(window) { AddLinkRoutes(); }

CDialogPart::CDialogPart(CSession& session) : m_session(session) { session.AddPart(this); }

ui::CDialog& CDialogPart::Window() { return m_session.Window(); }

bool CSession::SendFrame(Bytes& frame)
{
    if (frame.size() <= CFrameSender::kMaxFrame)
        m_watchdog.FrameSent();
    return m_sender.SendFrame(frame);
}

bool CSession::SendFrameBytewise(Bytes& frame)
{
    return m_sender.SendFrameBytewise(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

void CSession::ResendLastFrame()
{
    char text[64];
    std::snprintf(text, sizeof text, "重发协议 cmd=%x\n", m_sender.LastCommand());
    AppendLog(text);
    m_sender.ResendLastFrame();
}

void CSession::AppendLog(std::string_view text)
{
    if (!m_bSaveLog)
        return;
    AppendLogEntry(kLogFileName, ui::FormatDateTime(m_window.LocalTime(), "%Y-%m-%d %H:%M:%S  "), text);
}

bool CSession::RefuseOverflow(std::size_t length)
{
    if (!m_picture.WouldOverflow(length))
        return false;
    AppendToLog("\r\n图像过大，缓冲区内存不足\r\n");
    // Shown at once: the refused chunk brings no other refresh of the boxes.
    ShowTexts();
    return true;
}

void CSession::ShowTexts()
{
    m_window.SetDlgItemText(IDC_STATUS, m_strStatus);
    m_window.SetDlgItemText(IDC_LOG, m_strLog);
    m_window.SetDlgItemText(IDC_INFO, m_strInfo);
    m_window.SetDlgItemText(IDC_CAMERA_TEXT, m_strCameraText);
}

void CSession::AppendToLog(std::string_view text)
{
    m_strLog += text;
    if (m_strLog.size() <= kMaxLogText)
        return;
    // Cut at a line start (or at least at a character start) within the last part.
    std::size_t cut = m_strLog.size() - kMaxLogText;
    const std::size_t lineStart = m_strLog.find('\n', cut);
    if (lineStart != std::string::npos && lineStart + 1 < m_strLog.size())
        cut = lineStart + 1;
    else
        while (cut < m_strLog.size() && (static_cast<unsigned char>(m_strLog[cut]) & 0xC0) == 0x80)
            ++cut;
    m_strLog.erase(0, cut);
}

void CSession::ShowCameraText(std::span<const std::uint8_t> chunk)
{
    const std::string text = GbkToUtf8(FormatCameraText(chunk));
    if (++m_nTextLines > 25) {
        m_nTextLines = 0;
        m_strCameraText.clear();
    }
    m_strCameraText += text;
    ShowTexts();
}

void CSession::DoDataExchange(ui::CDataExchange& dx)
{
    ui::DDX_Text(dx, IDC_STATUS, m_strStatus);
    ui::DDX_Text(dx, IDC_LOG, m_strLog);
    ui::DDX_Text(dx, IDC_INFO, m_strInfo);
    ui::DDX_Text(dx, IDC_CAMERA_TEXT, m_strCameraText);
    ui::DDX_Text(dx, IDC_CAMERA_ID, m_nCameraId);
    ui::DDX_Check(dx, IDC_SAVE_LOG, m_bSaveLog);
}

}  // namespace qzr
