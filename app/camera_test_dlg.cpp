#include "app/camera_test_dlg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "res/resource.h"
#include "res/templates.h"
#include "serial/log_file.h"
#include "serial/port_list.h"
#include "ui/data_exchange.h"

bool g_bInTimer = false;

namespace {

constexpr int kPollTimer = 1;
constexpr unsigned kPollPeriodMs = 100;

}  // namespace

CCameraTestDlg::CCameraTestDlg()
    : ui::CDialog(res::MainDialogTemplate()),
      m_pImage(new std::uint8_t[kImageBufferSize]()),
      m_portSource([] { return qzr::ListSerialDevices(); })
{
    OnClicked(IDC_OPEN_COMMS, [this] { OnOpenComms(); });
    OnClicked(IDC_CLOSE_COMMS, [this] { OnCloseComms(); });
    OnClicked(IDC_SNAPSHOT, [this] { m_capture.OnSnapshot(); });
    OnClicked(IDC_WHOLE_PACKAGE, [this] { m_capture.OnWholePackage(); });
    OnClicked(IDC_SUB_PACKET, [this] { m_capture.OnSubPacket(); });
    OnClicked(IDC_SIMPLIFIED, [this] { m_capture.OnSimplified(); });
    OnClicked(IDC_TEST_QUALITY, [this] { UpdateData(true); });
    OnClicked(IDC_SET_PACKET_SIZE, [this] { m_capture.SubPacket().OnSetPacketSize(); });
    OnClicked(IDC_CONTINUOUS_CAPTURE, [this] { m_capture.OnContinuousCapture(); });
    OnClicked(IDC_STOP_SNAPSHOT, [this] { m_capture.OnStopSnapshotting(); });
    OnClicked(IDC_CRC_CHECK, [this] { m_crcTool.OnCrcCheck(); });
    OnClicked(IDC_SEND_OSD, [this] { m_osdText.OnSendOsd(); });
    OnEditChange(IDC_RESOLUTION, [this] { OnResolutionEdited(); });
    for (int id : {IDC_AUTO_FOCUSING, IDC_START_TIMER, IDC_SET_DATE})
        OnClicked(id, [this] { OnNoAction(); });
}

CCameraTestDlg::~CCameraTestDlg() = default;

void CCameraTestDlg::DoDataExchange(ui::CDataExchange& dx)
{
    if (!dx.Saving()) {
        m_nWholePackageRadio = m_bSubPacketMode ? -1 : 0;
        m_nSubPacketRadio = m_bSubPacketMode ? 0 : -1;
    }
    ui::DDX_Text(dx, IDC_STATUS, m_strStatus);
    ui::DDX_Text(dx, IDC_LOG, m_strLog);
    ui::DDX_Text(dx, IDC_INFO, m_strInfo);
    ui::DDX_Text(dx, IDC_CAMERA_TEXT, m_strCameraText);
    ui::DDX_Text(dx, IDC_CAMERA_ID, m_nCameraId);
    ui::DDX_Check(dx, IDC_SAVE_IMAGE, m_bSaveImage);
    ui::DDX_Check(dx, IDC_SAVE_LOG, m_bSaveLog);
    ui::DDX_Check(dx, IDC_TEST_QUALITY, m_bTestQuality);
    ui::DDX_Check(dx, IDC_SIMPLIFIED, m_bSimplified);
    ui::DDX_Radio(dx, IDC_WHOLE_PACKAGE, m_nWholePackageRadio);
    ui::DDX_Radio(dx, IDC_SUB_PACKET, m_nSubPacketRadio);
    ui::DDX_Text(dx, IDC_OLD_ID, m_nOldId);
    ui::DDX_Text(dx, IDC_NEW_ID, m_nNewId);
    ui::DDX_Check(dx, IDC_SAVE_BAUD, m_bSaveBaud);
    ui::DDX_Text(dx, IDC_CRC_INPUT, m_strCrcInput);
    ui::DDX_Text(dx, IDC_CRC_OUTPUT, m_strCrcOutput);
    ui::DDX_Text(dx, IDC_DATE, m_strDate);
    ui::DDX_Text(dx, IDC_OSD_TEXT, m_strOsdText);
    ui::DDX_Text(dx, IDC_OSD_X, m_nOsdX);
    ui::DDX_Text(dx, IDC_OSD_Y, m_nOsdY);
    ui::DDX_Text(dx, IDC_OSD_SIZE, m_nOsdSize);
    ui::DDX_Text(dx, IDC_SET_COUNT, m_nSetCount);
    ui::DDX_Text(dx, IDC_ZOOM_PERCENT, m_nZoomPercent);
    ui::DDX_Text(dx, IDC_FOCUS_PERCENT, m_nFocusPercent);
    ui::DDX_Text(dx, IDC_INTERVAL_MIN, m_nIntervalMin);
    ui::DDX_Text(dx, IDC_SWITCH_ON_SEC, m_fSwitchOnSec);
}

bool CCameraTestDlg::OnInitDialog()
{
    m_bAlarm = 0;
    m_bAutoFocus = 0;
    m_bWhiteLight = 0;
    m_nIntervalMin = 5;
    m_fSwitchOnSec = 10.0f;
    m_nOsdX = 10;
    m_nOsdY = 1;
    m_nOsdSize = 16;

    ui::CDialog::OnInitDialog();

    m_bSubPacketMode = false;
    CheckDlgButton(IDC_WHOLE_PACKAGE, 1);
    CheckDlgButton(IDC_SUB_PACKET, 0);

    EnumeratePorts();
    if (Combo(IDC_COMPORT).GetCount() > 0)
        Combo(IDC_COMPORT).SetCurSel(0);

    ui::CComboBox baud = Combo(IDC_BAUDRATE);
    baud.ResetContent();
    for (const char* rate : {"9600", "19200", "38400", "57600", "115200", "230400"})
        baud.AddString(rate);
    baud.SelectString(-1, "115200");

    Combo(IDC_QUALITY).SelectString(-1, "1");
    Combo(IDC_RESOLUTION).SelectString(-1, "640x480");
    Combo(IDC_PACKET_SIZE).SelectString(-1, "512");

    EnableControl(IDC_PACKET_SIZE, false);
    EnableControl(IDC_SET_PACKET_SIZE, false);
    EnableControl(IDC_STOP_SNAPSHOT, false);

    SetTimer(kPollTimer, kPollPeriodMs);

    UpdateData(false);
    return true;
}

void CCameraTestDlg::EnumeratePorts()
{
    std::optional<std::vector<std::string>> devices = m_portSource ? m_portSource() : std::nullopt;
    ui::CComboBox combo = Combo(IDC_COMPORT);
    for (const std::string& port : m_preferredPorts)
        combo.AddString(port);
    if (!devices) {
        MessageBox("No serial port is found", "", ui::Icon::Stop);
        return;
    }
    for (const std::string& device : *devices)
        if (std::find(m_preferredPorts.begin(), m_preferredPorts.end(), device) == m_preferredPorts.end())
            combo.AddString(device);
}

void CCameraTestDlg::OnOpenComms()
{
    if (m_port.IsOpen()) {
        MessageBox("串口已打开");
        return;
    }
    EnableControl(IDC_OPEN_COMMS, false);
    EnableControl(IDC_CLOSE_COMMS, true);
    UpdateData(true);

    const std::string portName = Combo(IDC_COMPORT).GetWindowText();
    if (portName.empty()) {
        MessageBox("No serial port is detected");
        return;
    }
    const std::uint32_t baud = static_cast<std::uint32_t>(std::strtoul(Combo(IDC_BAUDRATE).GetWindowText().c_str(), nullptr, 10));
    if (m_port.Open(portName, baud)) {
        m_strStatus = "Open serial port" + portName;
        UpdateData(false);
    } else {
        MessageBox("Serial port is already in use,\r\nplease close other program using the serial port and run again.");
    }
}

void CCameraTestDlg::OnCloseComms()
{
    EnableControl(IDC_OPEN_COMMS, true);
    EnableControl(IDC_CLOSE_COMMS, false);
    m_port.Close();
    m_strStatus = "Serial port is closed";
    UpdateData(false);
}

void CCameraTestDlg::ShowTexts()
{
    SetDlgItemText(IDC_STATUS, m_strStatus);
    SetDlgItemText(IDC_LOG, m_strLog);
    SetDlgItemText(IDC_INFO, m_strInfo);
    SetDlgItemText(IDC_CAMERA_TEXT, m_strCameraText);
}

void CCameraTestDlg::AppendToLog(std::string_view text)
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

void CCameraTestDlg::OnResolutionEdited() { MessageBox("改变"); }

void CCameraTestDlg::ResendLastFrame()
{
    char text[64];
    std::snprintf(text, sizeof text, "重发协议 cmd=%x\n", m_sender.LastCommand());
    AppendLog(text);
    m_sender.ResendLastFrame();
}

void CCameraTestDlg::AppendLog(std::string_view text)
{
    if (!m_bSaveLog)
        return;
    qzr::AppendLogEntry(qzr::kLogFileName, ui::FormatDateTime(LocalTime(), "%Y-%m-%d %H:%M:%S  "), text);
}

bool CTestApp::InitInstance()
{
    CCameraTestDlg dialog;
    dialog.SetPreferredPorts(m_preferredPorts);
    dialog.DoModal();
    return false;
}
