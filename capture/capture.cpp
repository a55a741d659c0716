#include "capture/capture.h"

#include <string>

#include "app/camera_test_dlg.h"
#include "protocol/codes.h"
#include "protocol/commands.h"
#include "protocol/snapshot.h"
#include "res/resource.h"

namespace {

// The timed power-cycling capture would run on this timer; nothing starts it,
// but a request on a closed port stops it as that cycle expects.
constexpr int kPowerCycleTimer = 136;

}  // namespace

std::uint8_t CCapture::ResolutionCode()
{
    m_dialog.UpdateData(true);
    return qzr::ResolutionCodeFromText(m_dialog.Combo(IDC_RESOLUTION).GetWindowText());
}

std::uint8_t CCapture::QualityCode()
{
    m_dialog.UpdateData(true);
    return qzr::QualityCodeFromText(m_dialog.Combo(IDC_QUALITY).GetWindowText());
}

void CCapture::OnSnapshot()
{
    m_dialog.AppendLog("拍照\r\n");
    m_dialog.UpdateData(true);
    m_nShotCount = 0;
    RequestSnapshot();
    m_bSnapshotPending = true;
    m_dialog.Sender().m_nIdleTicks = 0;
}

void CCapture::RequestSnapshot()
{
    CCameraTestDlg& dlg = m_dialog;
    dlg.UpdateData(true);
    if (!dlg.m_port.IsOpen()) {
        dlg.KillTimer(kPowerCycleTimer);
        dlg.MessageBox("Please open the serial port first");
        return;
    }
    if (dlg.m_bSubPacketMode) {
        dlg.UpdateData(true);
        m_sub.RequestPicture();
        dlg.ShowTexts();
        return;
    }
    m_nShownTicks = 0;
    dlg.UpdateData(true);
    const std::uint8_t id = static_cast<std::uint8_t>(dlg.m_nCameraId & 0xFF);
    const std::uint8_t resolution = ResolutionCode();
    const std::uint8_t quality = QualityCode();
    qzr::Bytes frame = qzr::BuildSnapshotRequest(id, resolution, quality);
    dlg.SendFrame(frame);
    dlg.m_nExpectedReply = qzr::CMD_SNAPSHOT;
    m_whole.Begin();
    dlg.m_nImageReceived = 0;
    dlg.m_strStatus = "begin";
    dlg.ShowTexts();
}

void CCapture::OnWholePackage()
{
    CCameraTestDlg& dlg = m_dialog;
    dlg.m_bSubPacketMode = false;
    dlg.CheckDlgButton(IDC_WHOLE_PACKAGE, 1);
    dlg.CheckDlgButton(IDC_SUB_PACKET, 0);
    dlg.EnableControl(IDC_PACKET_SIZE, false);
    dlg.EnableControl(IDC_SET_PACKET_SIZE, false);
    dlg.m_bContinuous = 0;
    dlg.EnableControl(IDC_STOP_SNAPSHOT, false);
    dlg.EnableControl(IDC_CONTINUOUS_CAPTURE, true);
    // Continuous capture disabled Snapshot; ending it here gives it back.
    dlg.EnableControl(IDC_SNAPSHOT, true);
}

void CCapture::OnSubPacket()
{
    CCameraTestDlg& dlg = m_dialog;
    dlg.UpdateData(true);
    dlg.m_bSubPacketMode = true;
    dlg.CheckDlgButton(IDC_WHOLE_PACKAGE, 0);
    dlg.CheckDlgButton(IDC_SUB_PACKET, 1);
    dlg.EnableControl(IDC_PACKET_SIZE, true);
    dlg.EnableControl(IDC_SET_PACKET_SIZE, true);
    dlg.EnableControl(IDC_STOP_SNAPSHOT, false);
    dlg.UpdateData(false);
}

void CCapture::OnSimplified() { m_view.ForgetShownResolution(); }

void CCapture::OnContinuousCapture()
{
    CCameraTestDlg& dlg = m_dialog;
    dlg.m_bContinuous = 1;
    if (!dlg.m_port.IsOpen()) {
        // The flag stays set: the next Snapshot starts a continuous run.
        dlg.MessageBox("Please open the serial port first");
        return;
    }
    OnSnapshot();
    dlg.EnableControl(IDC_STOP_SNAPSHOT, true);
    dlg.EnableControl(IDC_CONTINUOUS_CAPTURE, false);
    dlg.EnableControl(IDC_SNAPSHOT, false);
}

void CCapture::OnStopSnapshotting()
{
    CCameraTestDlg& dlg = m_dialog;
    dlg.m_bContinuous = 0;
    dlg.EnableControl(IDC_STOP_SNAPSHOT, false);
    dlg.EnableControl(IDC_CONTINUOUS_CAPTURE, true);
    dlg.EnableControl(IDC_SNAPSHOT, true);
}

bool CCapture::PaceContinuousCapture()
{
    if (!m_dialog.m_bContinuous || m_nShownTicks == 0)
        return false;
    ++m_nShownTicks;
    if (m_nShownTicks <= 2)
        return true;
    ++m_nShotCount;
    m_dialog.m_strInfo = std::to_string(m_nShotCount);
    m_dialog.ShowTexts();
    m_dialog.Sleep(100);
    RequestSnapshot();
    return true;
}
