#include "quickshot/quick_shot_dlg.h"

#include <algorithm>

#include "protocol/quick_shot.h"
#include "res/resource.h"
#include "res/templates.h"
#include "session/session.h"
#include "ui/data_exchange.h"
#include "ui/format.h"

namespace {

constexpr int kPollTimer = 1;
constexpr unsigned kPollPeriodMs = 150;
constexpr std::uint32_t kQuickBaud = 38400;
constexpr std::uint32_t kReadSize = 1024;
// A tick with data sets the countdown; it ends at the seventh quiet tick.
constexpr int kQuietTicks = 8;
// The row of controls at the bottom that the picture leaves uncovered.
constexpr int kControlRowHeight = 50;

}  // namespace

CQuickShotDlg::CQuickShotDlg(qzr::CSession& session) : ui::CDialog(res::QuickShotTemplate()), m_session(session)
{
    OnClicked(IDC_QUICK_OPEN_PORT, [this] { OnOpenPort(); });
    OnClicked(IDC_QUICK_SHOOT, [this] { OnShoot(); });
    OnClicked(IDC_QUICK_EXIT, [this] { OnExit(); });
}

qzr::ReplyRouter::Table CQuickShotDlg::Routes()
{
    return {{qzr::ReplyPoint::Frame, qzr::kAnyLength, qzr::kAnyCommand, {},
             [this](qzr::Reply chunk) { return StorePictureBytes(chunk); }}};
}

void CQuickShotDlg::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Text(dx, IDC_QUICK_STATUS, m_strMessage); }

bool CQuickShotDlg::OnInitDialog()
{
    ui::CDialog::OnInitDialog();
    if (qzr::IShellService* shell = m_session.m_services.shell)
        shell->EnumeratePorts(*this, IDC_QUICK_PORT);
    if (Combo(IDC_QUICK_PORT).GetCount() > 0)
        Combo(IDC_QUICK_PORT).SetCurSel(0);
    SetTimer(kPollTimer, kPollPeriodMs);
    return true;
}

void CQuickShotDlg::OnOpenPort()
{
    if (m_port.IsOpen()) {
        m_port.Close();
        SetDlgItemText(IDC_QUICK_OPEN_PORT, "Open serial port");
        return;
    }
    UpdateData(true);
    const std::string portName = Combo(IDC_QUICK_PORT).GetWindowText();
    if (portName.empty()) {
        MessageBox("No serial port is detected");
        return;
    }
    if (!m_port.Open(portName, kQuickBaud)) {
        MessageBox("Serial port is already in use,\r\nplease close other program using the serial port and run again.");
        return;
    }
    m_strMessage = "Open" + portName;
    UpdateData(false);
    SetDlgItemText(IDC_QUICK_OPEN_PORT, "Close Comms");
}

void CQuickShotDlg::WriteBytes(const qzr::Bytes& bytes)
{
    // One byte per write; on a closed port the bytes are lost.
    for (const std::uint8_t byte : bytes)
        m_port.Write(&byte, 1);
}

void CQuickShotDlg::OnShoot()
{
    WriteBytes(qzr::BuildQuickSnapshotRequest());
    m_nReceived = 0;
    m_nQuietTicks = 0;
    m_strMessage = "Wait for data < 30seconds.";
    UpdateData(false);
}

void CQuickShotDlg::OnExit()
{
    KillTimer(kPollTimer);
    ui::CDialog::OnOK();
}

void CQuickShotDlg::OnTimer(int) { PollPicture(); }

void CQuickShotDlg::PollPicture()
{
    if (m_port.IsOpen()) {
        std::uint8_t buffer[kReadSize];
        std::uint32_t n = sizeof buffer;
        if (m_port.Read(buffer, n) && n > 0)
            m_session.Router().Dispatch(qzr::ReplyPoint::Frame, {buffer, n});
        if (m_port.TakeHangUpNotice()) {
            // Said once, with the device; the port stays open until closed here.
            m_strMessage = "Serial port disconnected: " + qzr::DevicePathOf(m_port.PortName());
            UpdateData(false);
        }
    }
    if (m_nQuietTicks > 0 && --m_nQuietTicks == 0) {
        m_strMessage += " show";
        UpdateData(false);
        DrawPicture(m_session.Picture().View(0, m_nReceived));
    }
}

qzr::RouteResult CQuickShotDlg::StorePictureBytes(qzr::Reply chunk)
{
    // The picture gathers from the start of the buffer; bytes past its end
    // are dropped and the picture drawn is what fits.
    const std::size_t room = qzr::CPictureBuffer::kSize - m_nReceived;
    const qzr::Reply kept = chunk.first(std::min(chunk.size(), room));
    m_session.Picture().Store(m_nReceived, kept);
    m_nReceived += static_cast<std::uint32_t>(kept.size());
    m_strMessage = ui::Format("接收到长度：%zu  总长：%u", chunk.size(), m_nReceived);
    UpdateData(false);
    m_nQuietTicks = kQuietTicks;
    return qzr::RouteResult::Taken;
}

bool CQuickShotDlg::DrawPicture(std::span<const std::uint8_t> jpeg)
{
    ui::Rect area = GetClientRect();
    area.bottom -= kControlRowHeight;
    if (jpeg.empty() || !qzr::HasJpegStart(jpeg))
        return false;
    // Bytes the decoder rejects draw nothing.
    if (auto dc = GetDC())
        dc->DrawJpeg(jpeg, area);
    return true;
}
