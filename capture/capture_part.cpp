#include "capture/capture_part.h"

#include <string>

#include "protocol/codes.h"
#include "protocol/commands.h"
#include "protocol/snapshot.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/data_exchange.h"

namespace {

// The timed power-cycling capture would run on this timer; nothing starts it,
// but a request on a closed port stops it as that cycle expects.
constexpr int kPowerCycleTimer = 136;
constexpr int kPollTimer = 1;

}  // namespace

CCapturePart::CCapturePart(qzr::CSession& session)
    : CDialogPart(session),
      m_progress(session.Window(), IDC_TRANSFER_PROGRESS),
      m_whole(session, *this),
      m_sub(session, *this),
      m_view(session, *this)
{
    session.m_services.capture = this;
}

void CCapturePart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_SNAPSHOT, [this] { OnSnapshot(); });
    controls.OnClicked(IDC_WHOLE_PACKAGE, [this] { OnWholePackage(); });
    controls.OnClicked(IDC_SUB_PACKET, [this] { OnSubPacket(); });
    controls.OnClicked(IDC_SIMPLIFIED, [this] { OnSimplified(); });
    controls.OnClicked(IDC_TEST_QUALITY, [this] { Window().UpdateData(true); });
    controls.OnClicked(IDC_SET_PACKET_SIZE, [this] { m_sub.OnSetPacketSize(); });
    controls.OnClicked(IDC_CONTINUOUS_CAPTURE, [this] { OnContinuousCapture(); });
    controls.OnClicked(IDC_STOP_SNAPSHOT, [this] { OnStopSnapshotting(); });
    controls.OnEditChange(IDC_RESOLUTION, [this] { Window().MessageBox("改变"); });
}

void CCapturePart::AddRoutes(qzr::ReplyRouter& router)
{
    m_whole.AddRoutes(router);
    m_sub.AddRoutes(router);
}

void CCapturePart::DoDataExchange(ui::CDataExchange& dx)
{
    const bool subPacket = Session().m_bSubPacketMode;
    if (!dx.Saving()) {
        m_nWholePackageRadio = subPacket ? -1 : 0;
        m_nSubPacketRadio = subPacket ? 0 : -1;
    }
    ui::DDX_Check(dx, IDC_SAVE_IMAGE, m_bSaveImage);
    ui::DDX_Check(dx, IDC_TEST_QUALITY, m_bTestQuality);
    ui::DDX_Check(dx, IDC_SIMPLIFIED, m_bSimplified);
    ui::DDX_Radio(dx, IDC_WHOLE_PACKAGE, m_nWholePackageRadio);
    ui::DDX_Radio(dx, IDC_SUB_PACKET, m_nSubPacketRadio);
    ui::DDX_Text(dx, IDC_INTERVAL_MIN, m_nIntervalMin);
    ui::DDX_Text(dx, IDC_SWITCH_ON_SEC, m_fSwitchOnSec);
}

void CCapturePart::SetDefaults()
{
    m_nIntervalMin = 5;
    m_fSwitchOnSec = 10.0f;
}

void CCapturePart::OnInitDialog()
{
    ui::CDialog& window = Window();
    Session().m_bSubPacketMode = false;
    window.CheckDlgButton(IDC_WHOLE_PACKAGE, 1);
    window.CheckDlgButton(IDC_SUB_PACKET, 0);
    window.Combo(IDC_QUALITY).SelectString(-1, "1");
    window.Combo(IDC_RESOLUTION).SelectString(-1, "640x480");
    window.Combo(IDC_PACKET_SIZE).SelectString(-1, "512");
    window.EnableControl(IDC_PACKET_SIZE, false);
    window.EnableControl(IDC_SET_PACKET_SIZE, false);
    window.EnableControl(IDC_STOP_SNAPSHOT, false);
}

bool CCapturePart::OnTimer(int timerId)
{
    if (timerId == kPollTimer) {
        // A port that hung up brings no more bytes: the bar ends as when it closes.
        if (Session().Port().IsOpen() && !Session().Port().HungUp())
            m_progress.Check();
        else
            m_progress.End();
    }
    return false;  // the poll itself runs on
}

std::uint8_t CCapturePart::ResolutionCode()
{
    Window().UpdateData(true);
    return qzr::ResolutionCodeFromText(Window().Combo(IDC_RESOLUTION).GetWindowText());
}

std::uint8_t CCapturePart::QualityCode()
{
    Window().UpdateData(true);
    return qzr::QualityCodeFromText(Window().Combo(IDC_QUALITY).GetWindowText());
}

void CCapturePart::OnSnapshot()
{
    qzr::CSession& session = Session();
    session.AppendLog("拍照\r\n");
    if (qzr::ILensService* lens = session.m_services.lens; lens && lens->ManualFocusOn())
        lens->OnManualFocus();
    if (qzr::IFirmwareService* firmware = session.m_services.firmware; firmware && firmware->Upgrading()) {
        Window().MessageBox("正在更新程序，不能拍照");
        return;
    }
    Window().UpdateData(true);
    m_nShotCount = 0;
    RequestSnapshot();
    session.Watchdog().SnapshotRequested();
}

void CCapturePart::RequestSnapshot()
{
    qzr::CSession& session = Session();
    ui::CDialog& window = Window();
    window.UpdateData(true);
    if (!session.Port().IsOpen()) {
        window.KillTimer(kPowerCycleTimer);
        window.MessageBox("Please open the serial port first");
        return;
    }
    m_progress.End();  // the new picture's bar starts once its size is known
    if (session.m_bSubPacketMode) {
        window.UpdateData(true);
        m_sub.RequestPicture();
        session.ShowTexts();
        return;
    }
    m_nShownTicks = 0;
    window.UpdateData(true);
    const std::uint8_t resolution = ResolutionCode();
    const std::uint8_t quality = QualityCode();
    qzr::Bytes frame = qzr::BuildSnapshotRequest(session.CameraId(), resolution, quality);
    session.SendFrame(frame);
    session.m_nExpectedReply = qzr::CMD_SNAPSHOT;
    m_whole.Begin();
    session.Picture().ResetReceived();
    session.m_strStatus = "begin";
    session.ShowTexts();
}

void CCapturePart::OnPictureReceived(std::span<const std::uint8_t> jpeg, const std::function<void()>& report)
{
    m_view.ShowPicture(jpeg);
    m_nShownTicks = 1;
    report();
    if (Session().m_bSubPacketMode && Session().m_bContinuous)
        OnSnapshot();
}

void CCapturePart::OnWholePackage()
{
    ui::CDialog& window = Window();
    Session().m_bSubPacketMode = false;
    window.CheckDlgButton(IDC_WHOLE_PACKAGE, 1);
    window.CheckDlgButton(IDC_SUB_PACKET, 0);
    window.EnableControl(IDC_PACKET_SIZE, false);
    window.EnableControl(IDC_SET_PACKET_SIZE, false);
    Session().m_bContinuous = 0;
    window.EnableControl(IDC_STOP_SNAPSHOT, false);
    window.EnableControl(IDC_CONTINUOUS_CAPTURE, true);
    // Continuous capture disabled Snapshot; ending it here gives it back.
    window.EnableControl(IDC_SNAPSHOT, true);
}

void CCapturePart::OnSubPacket()
{
    ui::CDialog& window = Window();
    window.UpdateData(true);
    Session().m_bSubPacketMode = true;
    window.CheckDlgButton(IDC_WHOLE_PACKAGE, 0);
    window.CheckDlgButton(IDC_SUB_PACKET, 1);
    window.EnableControl(IDC_PACKET_SIZE, true);
    window.EnableControl(IDC_SET_PACKET_SIZE, true);
    // Continuous capture disabled Snapshot and Continuously Capture: while it
    // runs, Stop stays the way out of it.
    window.EnableControl(IDC_STOP_SNAPSHOT, Session().m_bContinuous != 0);
    window.UpdateData(false);
}

void CCapturePart::OnContinuousCapture()
{
    qzr::CSession& session = Session();
    if (qzr::ILensService* lens = session.m_services.lens; lens && lens->ManualFocusOn()) {
        lens->OnManualFocus();
        return;
    }
    session.m_bContinuous = 1;
    if (!session.Port().IsOpen()) {
        // The flag stays set: the next Snapshot starts a continuous run.
        Window().MessageBox("Please open the serial port first");
        return;
    }
    OnSnapshot();
    Window().EnableControl(IDC_STOP_SNAPSHOT, true);
    Window().EnableControl(IDC_CONTINUOUS_CAPTURE, false);
    Window().EnableControl(IDC_SNAPSHOT, false);
}

void CCapturePart::OnStopSnapshotting()
{
    Session().m_bContinuous = 0;
    Window().EnableControl(IDC_STOP_SNAPSHOT, false);
    Window().EnableControl(IDC_CONTINUOUS_CAPTURE, true);
    Window().EnableControl(IDC_SNAPSHOT, true);
}

bool CCapturePart::PaceContinuousCapture()
{
    if (!Session().m_bContinuous || m_nShownTicks == 0)
        return false;
    ++m_nShownTicks;
    if (m_nShownTicks <= 2)
        return true;
    ++m_nShotCount;
    Session().m_strInfo = std::to_string(m_nShotCount);
    Session().ShowTexts();
    Window().Sleep(100);
    RequestSnapshot();
    return true;
}
