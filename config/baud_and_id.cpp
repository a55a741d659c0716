// A camera's id and line rate: "Set" gives it a new id and rate and reads the
// id back at the new rate; "Check" finds a camera whose rate nobody remembers
// by trying every rate of the Baud Rate combo; "Default" goes back to camera 1
// at 115200. These read the port themselves, between fixed sleeps, on the
// window's thread: the window does not respond meanwhile and shows the busy
// cursor.
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "config/config_part.h"
#include "protocol/camera_id.h"
#include "res/resource.h"
#include "session/session.h"

namespace {

constexpr unsigned kVerifyDelayMs = 100;
constexpr unsigned kAfterSetIdMs = 1000;
constexpr unsigned kAfterSetBaudMs = 500;
constexpr int kVerifyAttempts = 8;
constexpr unsigned kVerifyRetryMs = 300;
constexpr int kSearchReadsPerRate = 5;
constexpr unsigned kSearchReadMs = 200;
constexpr unsigned kBeforeFinalOpenMs = 1;
constexpr std::uint32_t kIdReplyReadSize = 32;
constexpr const char* kDefaultRate = "115200";
constexpr const char* kOpenFailed = "Serial port failed to open, stop query";

// The rate a combo's text names: its leading decimal digits; 0 (which no port
// opens at) for none or for more than a rate can be.
std::uint32_t RateOfText(std::string_view text)
{
    const std::string copy(text);
    const unsigned long long rate = std::strtoull(copy.c_str(), nullptr, 10);
    return rate > UINT32_MAX ? 0 : static_cast<std::uint32_t>(rate);
}

}  // namespace

void CConfigPart::OnSetBaud()
{
    Window().EnableControl(IDC_OPEN_COMMS, false);
    Window().EnableControl(IDC_CLOSE_COMMS, true);
    SetIdAndBaud();
}

int CConfigPart::SetIdAndBaud()
{
    ui::CDialog& window = Window();
    qzr::CSession& session = Session();
    // A value the edits cannot give has been reported; no camera is changed
    // with a number the operator did not type.
    if (!window.UpdateData(true))
        return 0;
    if (m_nNewId > 255 || m_nNewId < 0) {
        window.MessageBox("New ID is set 0～255");
        return 0;
    }
    ui::CWaitCursor busy;
    const auto newId = static_cast<std::uint8_t>(m_nNewId);
    qzr::Bytes setId = qzr::BuildSetIdRequest(static_cast<std::uint8_t>(m_nOldId & 0xFF), newId);
    session.SendFrame(setId);
    session.m_strInfo = "New ID is set as" + std::to_string(m_nNewId);
    window.UpdateData(false);
    // The camera takes its new id before it hears the rate for that id.
    window.Sleep(kAfterSetIdMs);

    // Both frames go out at the rate the port is open with now.
    const std::uint8_t baudCode = qzr::BaudCodeFromText(window.Combo(IDC_SET_BAUDRATE).GetWindowText());
    qzr::Bytes setBaud = qzr::BuildSetBaudRequest(newId, baudCode, m_bSaveBaud != 0);
    session.SendFrame(setBaud);
    window.Sleep(kAfterSetBaudMs);
    window.SetTimer(kVerifySettingTimer, kVerifyDelayMs);
    return 1;
}

void CConfigPart::VerifyNewSetting()
{
    ui::CDialog& window = Window();
    std::optional<ui::CWaitCursor> busy(std::in_place);
    const std::string portName = window.Combo(IDC_COMPORT).GetWindowText();
    std::string rateText = window.Combo(IDC_SET_BAUDRATE).GetWindowText();
    if (rateText.empty()) {
        // The camera took code 6 for an empty choice.
        rateText = kDefaultRate;
        window.Combo(IDC_SET_BAUDRATE).SelectString(-1, rateText);
        window.UpdateData(true);
    }
    if (!ReopenPort(portName, rateText)) {
        busy.reset();
        window.MessageBox(kOpenFailed);
        return;
    }
    SendQueryId();
    for (int attempt = 0; attempt < kVerifyAttempts; ++attempt) {
        if (const int id = ReadIdReply(); id >= 0) {
            TakeAnsweringCamera(id, rateText);
            ++m_nSetCount;
            window.UpdateData(false);
            SaveSetCount();
            return;
        }
        SendQueryId();
        window.Sleep(kVerifyRetryMs);
    }
    // Unanswered: the port stays open at the new rate.
}

void CConfigPart::OnCheckBaud()
{
    Window().EnableControl(IDC_OPEN_COMMS, false);
    Window().EnableControl(IDC_CLOSE_COMMS, true);
    SearchBaudRate();
}

int CConfigPart::SearchBaudRate()
{
    ui::CDialog& window = Window();
    qzr::CSerialPort& port = Session().Port();
    std::optional<ui::CWaitCursor> busy(std::in_place);
    const std::string portName = window.Combo(IDC_COMPORT).GetWindowText();
    const ui::CComboBox rates = window.Combo(IDC_BAUDRATE);
    bool found = false;
    for (int index = 0; !found && index < rates.GetCount(); ++index) {
        const std::string rateText = rates.GetLBText(index);
        if (!ReopenPort(portName, rateText)) {
            busy.reset();
            window.MessageBox(kOpenFailed);
            break;
        }
        SendQueryId();
        // The camera answers at the rate it listens on; a reply split over two
        // reads is not recognised, so each rate gets five short reads, not one long one.
        for (int read = 0; !found && read < kSearchReadsPerRate; ++read) {
            window.Sleep(kSearchReadMs);
            if (const int id = ReadIdReply(); id >= 0) {
                TakeAnsweringCamera(id, rateText);
                found = true;
            }
        }
    }
    // Open again at the rate the combo shows, the one found after a success.
    const std::string rateText = rates.GetWindowText();
    if (port.IsOpen())
        port.Close();
    window.Sleep(kBeforeFinalOpenMs);
    return port.Open(portName, RateOfText(rateText)) ? 1 : 0;
}

int CConfigPart::ReadIdReply()
{
    std::uint8_t buffer[kIdReplyReadSize];
    std::uint32_t length = sizeof buffer;
    if (!Session().Port().Read(buffer, length))
        return -1;
    const auto id = qzr::ParseQueryIdReply({buffer, length});
    return id ? *id : -1;
}

void CConfigPart::OnDefaultSettings()
{
    qzr::CSession& session = Session();
    ui::CDialog& window = Window();
    m_nOldId = 1;
    session.m_nCameraId = 1;
    window.Combo(IDC_SET_BAUDRATE).SelectString(-1, kDefaultRate);
    window.Combo(IDC_BAUDRATE).SelectString(-1, kDefaultRate);
    if (qzr::IShellService* shell = session.m_services.shell) {
        shell->OnCloseComms();
        shell->OnOpenComms();
    }
    m_nNewId = 2;
    window.UpdateData(false);
}

bool CConfigPart::ReopenPort(const std::string& portName, std::string_view rateText)
{
    qzr::CSerialPort& port = Session().Port();
    if (port.IsOpen())
        port.Close();
    return port.Open(portName, RateOfText(rateText));
}

void CConfigPart::SendQueryId()
{
    qzr::Bytes query = qzr::BuildQueryIdRequest();
    Session().SendFrame(query);
}

void CConfigPart::TakeAnsweringCamera(int id, const std::string& rateText)
{
    ui::CDialog& window = Window();
    m_nOldId = id;
    m_nNewId = id;
    Session().m_nCameraId = id;
    window.UpdateData(false);
    window.Combo(IDC_SET_BAUDRATE).SelectString(-1, rateText);
    window.Combo(IDC_BAUDRATE).SelectString(-1, rateText);
}
