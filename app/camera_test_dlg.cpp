#include "app/camera_test_dlg.h"

#include <algorithm>
#include <cstdlib>

#include "res/resource.h"
#include "res/templates.h"
#include "serial/port_list.h"
#include "ui/data_exchange.h"

namespace {

constexpr int kPollTimer = 1;
constexpr unsigned kPollPeriodMs = 100;

}  // namespace

CCameraTestDlg::CCameraTestDlg()
    : ui::CDialog(res::MainDialogTemplate()), m_portSource([] { return qzr::ListSerialDevices(); })
{
    m_session.m_services.shell = this;
    OnClicked(IDC_OPEN_COMMS, [this] { OnOpenComms(); });
    OnClicked(IDC_CLOSE_COMMS, [this] { OnCloseComms(); });
    OnClicked(IDC_START_TIMER, [] {});
    OnDropDown(IDC_COMPORT, [this] { RefreshPorts(); });
    qzr::PartControls controls([this](int id, ui::Notification notification, std::function<void()> handler) {
        Register(id, notification, std::move(handler));
    });
    for (qzr::CDialogPart* part : m_session.Parts()) {
        part->AddControls(controls);
        part->AddRoutes(m_session.Router());
    }
}

CCameraTestDlg::~CCameraTestDlg() = default;

void CCameraTestDlg::DoDataExchange(ui::CDataExchange& dx)
{
    m_session.DoDataExchange(dx);
    for (qzr::CDialogPart* part : m_session.Parts())
        part->DoDataExchange(dx);
}

bool CCameraTestDlg::OnInitDialog()
{
    for (qzr::CDialogPart* part : m_session.Parts())
        part->SetDefaults();
    ui::CDialog::OnInitDialog();

    EnumeratePorts();
    if (Combo(IDC_COMPORT).GetCount() > 0)
        Combo(IDC_COMPORT).SetCurSel(0);
    ui::CComboBox baud = Combo(IDC_BAUDRATE);
    baud.ResetContent();
    for (const char* rate : {"9600", "19200", "38400", "57600", "115200", "230400"})
        baud.AddString(rate);
    baud.SelectString(-1, "115200");

    for (qzr::CDialogPart* part : m_session.Parts())
        part->OnInitDialog();
    SetTimer(kPollTimer, kPollPeriodMs);
    UpdateData(false);
    return true;
}

void CCameraTestDlg::OnTimer(int timerId)
{
    if (g_bInTimer)
        return;
    for (qzr::CDialogPart* part : m_session.Parts())
        if (part->OnTimer(timerId))
            break;
    g_bInTimer = true;
    if (timerId == kPollTimer)
        m_session.PollReplies();
    g_bInTimer = false;
}

void CCameraTestDlg::OnPaint(ui::Canvas& canvas)
{
    for (qzr::CDialogPart* part : m_session.Parts())
        part->OnPaint(canvas);
}

void CCameraTestDlg::EnumeratePorts() { EnumeratePorts(*this, IDC_COMPORT); }

void CCameraTestDlg::EnumeratePorts(ui::CDialog& window, int comboId)
{
    const std::optional<std::vector<std::string>> devices = m_portSource ? m_portSource() : std::nullopt;
    AddPorts(window.Combo(comboId), devices.value_or(std::vector<std::string>{}));
    if (!devices)
        window.MessageBox("No serial port is found", "", ui::Icon::Stop);
}

void CCameraTestDlg::AddPorts(ui::CComboBox combo, const std::vector<std::string>& devices)
{
    for (const std::string& port : m_preferredPorts)
        combo.AddString(port);
    for (const std::string& device : devices)
        if (std::find(m_preferredPorts.begin(), m_preferredPorts.end(), device) == m_preferredPorts.end())
            combo.AddString(device);
}

void CCameraTestDlg::RefreshPorts()
{
    ui::CComboBox combo = Combo(IDC_COMPORT);
    const std::string chosen = combo.GetWindowText();
    const std::optional<std::vector<std::string>> devices = m_portSource ? m_portSource() : std::nullopt;
    if (!devices)
        return;  // the list keeps what it had; start-up already said why
    combo.ResetContent();
    AddPorts(combo, *devices);
    if (const int index = combo.FindStringExact(-1, chosen); index >= 0)
        combo.SetCurSel(index);
    else
        combo.SetWindowText(chosen);
}

void CCameraTestDlg::OnOpenComms()
{
    qzr::CSerialPort& port = m_session.Port();
    if (port.IsOpen()) {
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
    const auto baud = static_cast<std::uint32_t>(std::strtoul(Combo(IDC_BAUDRATE).GetWindowText().c_str(), nullptr, 10));
    if (port.Open(portName, baud)) {
        m_session.m_strStatus = "Open serial port" + portName;
        UpdateData(false);
    } else {
        MessageBox("Serial port is already in use,\r\nplease close other program using the serial port and run again.");
    }
}

void CCameraTestDlg::OnCloseComms()
{
    EnableControl(IDC_OPEN_COMMS, true);
    EnableControl(IDC_CLOSE_COMMS, false);
    m_session.Port().Close();
    m_session.m_strStatus = "Serial port is closed";
    UpdateData(false);
}

bool CTestApp::InitInstance()
{
    CCameraTestDlg dialog;
    dialog.SetPreferredPorts(m_preferredPorts);
    dialog.SetSettingsStore(m_pSettings);
    dialog.DoModal();
    return false;
}
