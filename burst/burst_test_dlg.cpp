// The burst test window: its controls, its port, the burst request and the
// reception of the camera's frames. The file list and the retrieval of a
// stored picture are in burst_files.cpp.
#include "burst/burst_test_dlg.h"

#include <algorithm>

#include "protocol/burst.h"
#include "protocol/codes.h"
#include "protocol/commands.h"
#include "res/resource.h"
#include "res/templates.h"
#include "session/session.h"
#include "ui/data_exchange.h"
#include "ui/format.h"

namespace {

constexpr int kPollTimer = 1;
constexpr unsigned kPollPeriodMs = 150;
constexpr std::uint32_t kBurstBaud = 115200;
constexpr std::uint32_t kReadSize = 1056;
constexpr std::size_t kMaxQualityText = 63;
constexpr int kHighestQuality = 5;
constexpr ui::Color kAreaGrey = ui::RGB(200, 200, 220);

}  // namespace

CBurstTestDlg::CBurstTestDlg(qzr::CSession& session) : ui::CDialog(res::BurstTestTemplate()), m_session(session)
{
    OnClicked(IDC_BURST_OPEN_COMMS, [this] { OnOpenComms(); });
    OnClicked(IDC_BURST_SHOOT, [this] { OnBurstShoot(); });
    OnClicked(IDC_BURST_REQUEST_LIST, [this] { OnRequestFileList(); });
    OnListDblClk(IDC_BURST_FILES, [this] { OnFileDblClk(); });
}

qzr::ReplyRouter::Table CBurstTestDlg::Routes()
{
    using qzr::ReplyPoint;
    const auto row = [](std::uint8_t command, auto handler) {
        return qzr::ReplyRoute{ReplyPoint::Frame, qzr::kAnyLength, command, {}, handler};
    };
    return {
        row(qzr::CMD_IMAGE_READY, [this](qzr::Reply frame) { return OnBurstStatus(frame); }),
        row(qzr::CMD_FILE_LIST, [this](qzr::Reply frame) { return HandleFileList(frame); }),
        row(qzr::CMD_SIMPLE_SUBPACKET, [this](qzr::Reply frame) { return HandlePictureInfo(frame); }),
        row(qzr::CMD_GET_PACKET, [this](qzr::Reply frame) { return StoreFilePacket(frame); }),
    };
}

void CBurstTestDlg::DoDataExchange(ui::CDataExchange& dx)
{
    ui::DDX_Text(dx, IDC_BURST_PORT_INFO, m_strPortInfo);
    ui::DDX_Text(dx, IDC_BURST_REQUEST_COUNT, m_nRequestCount);
    ui::DDX_Text(dx, IDC_BURST_SHOTS, m_nBurstShots);
    ui::DDX_Check(dx, IDC_BURST_LAST_IMAGE, m_bLastImage);
    ui::DDX_Text(dx, IDC_BURST_LOG, m_strBurstLog);
    ui::DDX_Text(dx, IDC_BURST_INTERVAL, m_nShotInterval);
    ui::DDX_Radio(dx, IDC_BURST_BEFORE, m_nBeforeRadio);
    ui::DDX_Radio(dx, IDC_BURST_AFTER, m_nAfterRadio);
    ui::DDX_Text(dx, IDC_BURST_STATE, m_strBurstState);
}

bool CBurstTestDlg::OnInitDialog()
{
    m_nShotInterval = 3;
    m_nRequestCount = 20;
    m_nBurstShots = 5;
    m_bLastImage = 1;
    ui::CDialog::OnInitDialog();

    PrepareFileList();
    Combo(IDC_BURST_QUALITY).SelectString(-1, "2");
    Combo(IDC_BURST_RESOLUTION).SelectString(-1, "640x480");
    ui::CDateTimeCtrl picker = DateTimeCtrl(IDC_BURST_DATE);
    picker.SetFormat("yyyy-MM-dd HH:mm:ss");
    picker.SetTime(LocalTime());

    if (qzr::IShellService* shell = m_session.m_services.shell)
        shell->EnumeratePorts(*this, IDC_BURST_PORT);
    if (Combo(IDC_BURST_PORT).GetCount() > 0)
        Combo(IDC_BURST_PORT).SetCurSel(0);

    // A new window starts with an empty picture area.
    m_shownPicture.clear();
    SetTimer(kPollTimer, kPollPeriodMs);
    return true;
}

void CBurstTestDlg::OnOK()
{
    m_burstPort.Close();
    ui::CDialog::OnOK();
}

void CBurstTestDlg::OnCancel()
{
    m_burstPort.Close();
    ui::CDialog::OnCancel();
}

void CBurstTestDlg::ShowTexts()
{
    SetDlgItemText(IDC_BURST_PORT_INFO, m_strPortInfo);
    SetDlgItemText(IDC_BURST_LOG, m_strBurstLog);
    SetDlgItemText(IDC_BURST_STATE, m_strBurstState);
}

// --- the port ---------------------------------------------------------------

void CBurstTestDlg::OnOpenComms()
{
    if (m_burstPort.IsOpen()) {
        m_burstPort.Close();
        SetDlgItemText(IDC_BURST_OPEN_COMMS, "Open serial port");
        return;
    }
    UpdateData(true);
    const std::string portName = Combo(IDC_BURST_PORT).GetWindowText();
    if (portName.empty()) {
        MessageBox("No serial port is detected");
        return;
    }
    if (!m_burstPort.Open(portName, kBurstBaud)) {
        MessageBox("Serial port is already in use,\r\nplease close other program using the serial port and run again.");
        return;
    }
    m_strPortInfo = "Open" + portName;
    UpdateData(false);
    SetDlgItemText(IDC_BURST_OPEN_COMMS, "Close Comms");
}

void CBurstTestDlg::WriteBytes(const qzr::Bytes& frame)
{
    // One byte per write, whatever the port's state: on a closed port each
    // write simply fails.
    for (const std::uint8_t byte : frame)
        m_burstPort.Write(&byte, 1);
}

// --- the burst ----------------------------------------------------------------

void CBurstTestDlg::ReadResolution()
{
    m_nResolution = qzr::ResolutionCodeFromText(Combo(IDC_BURST_RESOLUTION).GetWindowText());
}

void CBurstTestDlg::ReadQuality()
{
    // Only the codes 0 .. 5 are taken; "6" .. "12" leave the previous one.
    const std::string text = Combo(IDC_BURST_QUALITY).GetWindowText().substr(0, kMaxQualityText);
    const int quality = ui::LeadingInt(text);
    if (quality >= 0 && quality <= kHighestQuality)
        m_nQuality = quality;
}

void CBurstTestDlg::OnBurstShoot()
{
    UpdateData(true);
    ReadResolution();
    ReadQuality();
    const ui::DateTime now = LocalTime();
    const qzr::BurstShootRequest request{
        static_cast<std::uint8_t>(m_nResolution),
        static_cast<std::uint8_t>(m_nQuality),
        static_cast<std::uint8_t>(m_nBurstShots & 0xFF),
        static_cast<std::uint8_t>(m_nShotInterval & 0xFF),
        {now.year, now.month, now.day, now.hour, now.minute, now.second},
    };
    WriteBytes(qzr::BuildBurstShootRequest(m_cameraId, request));
    m_strBurstLog = ui::FormatDateTime(now, "Start Capturing：%Y-%m-%d %H:%M:%S\r\n");
    UpdateData(false);
}

qzr::RouteResult CBurstTestDlg::OnBurstStatus(qzr::Reply frame)
{
    const std::optional<std::uint8_t> state = qzr::ParseBurstState(frame);
    if (state == qzr::burst::kFinished) {
        m_strBurstState = "连拍完成\r\n";
        m_strBurstLog += m_strBurstState;
        ShowTexts();
    } else if (state == qzr::burst::kStarted) {
        m_strBurstState = "连拍开始...";
        ShowTexts();
    }
    return qzr::RouteResult::Taken;
}

// --- reception ------------------------------------------------------------------

void CBurstTestDlg::OnTimer(int)
{
    // A message box shown while a frame is handled runs a nested message loop;
    // ticks that arrive meanwhile are dropped, not handled inside the first.
    if (g_bInTimer)
        return;
    g_bInTimer = true;
    PollPort();
    if (m_burstPort.TakeHangUpNotice()) {
        // Said once; the port stays open until the operator closes it.
        m_strPortInfo = "Serial port disconnected";
        m_strBurstLog += "Serial port disconnected: " + qzr::DevicePathOf(m_burstPort.PortName()) + "\r\n";
        ShowTexts();
    }
    // A fetch that stalled, or whose port was closed or hung up, is given up.
    if (m_burstPort.IsOpen() && !m_burstPort.HungUp())
        m_progress.Check();
    else
        m_progress.End();
    g_bInTimer = false;
}

void CBurstTestDlg::PollPort()
{
    if (!m_burstPort.IsOpen())
        return;
    std::uint8_t buffer[kReadSize];
    std::uint32_t n = sizeof buffer;
    if (!m_burstPort.Read(buffer, n) || n == 0)
        return;
    AppendReceived({buffer, n});
}

void CBurstTestDlg::AppendReceived(std::span<const std::uint8_t> bytes)
{
    if (m_nRxLen + bytes.size() >= kRxBufferSize) {
        m_strPortInfo = "接收缓冲区超出";
        ShowTexts();
        return;
    }
    std::copy(bytes.begin(), bytes.end(), m_rxBuf + m_nRxLen);
    m_nRxLen += bytes.size();
    m_strPortInfo = ui::Format("接收到%zu字节", m_nRxLen);
    // Only a buffer that holds exactly one frame is read: bytes past the
    // announced end, or a frame that starts part-way, are never matched.
    if (qzr::IsExactlyOneFrame({m_rxBuf, m_nRxLen})) {
        m_strPortInfo += "--满一帧";
        // What the frame's reading reports (a bad head, a dropped packet)
        // replaces the count in the status line.
        HandleFrame();
    }
    ShowTexts();
}

void CBurstTestDlg::HandleFrame()
{
    const qzr::Reply frame(m_rxBuf, m_nRxLen);
    if (!qzr::HasFrameHead(frame)) {
        // Kept: a request empties the buffer.
        m_strPortInfo = "帧头错误";
        return;
    }
    // The camera id is not compared: this window talks to one camera.
    m_session.Router().Dispatch(qzr::ReplyPoint::Frame, frame);
    m_nRxLen = 0;
}

// --- painting -----------------------------------------------------------------

ui::Rect CBurstTestDlg::PictureArea() const
{
    const ui::Rect frame = GetClientRect(IDC_BURST_PICTURE);
    return {16, 24, 16 + frame.Width() - 5, 24 + frame.Height() - 13};
}

void CBurstTestDlg::OnPaint(ui::Canvas& canvas)
{
    m_rcImage = PictureArea();
    canvas.FillSolidRect(m_rcImage, kAreaGrey);
    // The fetched picture is drawn again: uncovering the window keeps it.
    if (!m_shownPicture.empty())
        DrawFileImage(canvas, m_shownPicture);
}
