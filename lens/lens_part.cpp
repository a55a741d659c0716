#include "lens/lens_part.h"

#include <string>

#include "lens/camera_settings_dlg.h"
#include "protocol/commands.h"
#include "protocol/lens.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/data_exchange.h"

CLensPart::CLensPart(qzr::CSession& session) : CDialogPart(session), m_focus(session)
{
    session.m_services.lens = this;
}

void CLensPart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_ZOOM, [this] { OnZoom(); });
    controls.OnClicked(IDC_CHECK_LENS, [this] { OnCheckLens(); });
    controls.OnClicked(IDC_FOCUS, [this] { OnFocus(); });
    controls.OnClicked(IDC_ZOOM_RESET, [this] { OnZoomReset(); });
    controls.OnClicked(IDC_FOCUS_RESET, [this] { OnFocusReset(); });
    controls.OnClicked(IDC_AUTO_FOCUSING, [] {});
    controls.OnClicked(IDC_MANUAL_FOCUS, [this] { OnManualFocus(); });
    controls.OnClicked(IDC_SET_AND_SNAPSHOT, [this] { OnSetAndSnapshot(); });
    controls.OnClicked(IDC_STOP_AND_SNAPSHOT, [this] { OnStopAndSnapshot(); });
    controls.OnClicked(IDC_LED_ON, [this] { OnLedOn(); });
    controls.OnClicked(IDC_LED_OFF, [this] { OnLedOff(); });
    controls.OnClicked(IDC_TEST_PATTERN, [this] { OnTest(); });
    controls.OnClicked(IDC_SETTING, [this] { OnSetting(); });
}

// Lens replies are read in whole-package mode only, by the length of one read.
void CLensPart::AddRoutes(qzr::ReplyRouter& router)
{
    using qzr::ReplyPoint;
    router.Add({ReplyPoint::WholeFramed, qzr::lens::kStatusLength, qzr::CMD_LENS_STATUS, {},
                [this](qzr::Reply reply) { return OnLensStatus(reply); }});
    router.Add({ReplyPoint::WholeFramed, qzr::lens::kDoneLength, qzr::CMD_AUTOFOCUS_DONE,
                qzr::PayloadStartsWith(qzr::lens::kAutofocusDoneMark, qzr::lens::kAutofocusDoneMark),
                [this](qzr::Reply) { return OnLensDone("聚焦完成", nullptr); }});
    router.Add({ReplyPoint::WholeFramed, qzr::lens::kDoneLength, qzr::CMD_ZOOM_RESET_DONE,
                qzr::PayloadStartsWith(qzr::lens::kZoomResetDoneMark, qzr::lens::kZoomResetDoneMark),
                [this](qzr::Reply) { return OnLensDone("变焦复位OK", &m_nZoomPercent); }});
    router.Add({ReplyPoint::WholeFramed, qzr::lens::kDoneLength, qzr::CMD_FOCUS_RESET_DONE,
                qzr::PayloadStartsWith(qzr::lens::kFocusResetDoneMark, qzr::lens::kFocusResetDoneMark),
                [this](qzr::Reply) { return OnLensDone("聚焦复位OK", &m_nFocusPercent); }});
}

void CLensPart::DoDataExchange(ui::CDataExchange& dx)
{
    ui::DDX_Text(dx, IDC_ZOOM_PERCENT, m_nZoomPercent);
    ui::DDX_Text(dx, IDC_FOCUS_PERCENT, m_nFocusPercent);
}

void CLensPart::SetDefaults()
{
    qzr::CameraChoices& choices = Session().m_choices;
    choices.m_bAlarm = 0;
    choices.m_bAutoFocus = 0;
    choices.m_bWhiteLight = 0;
}

bool CLensPart::OnTimer(int timerId)
{
    if (timerId != CManualFocus::kTimer)
        return false;
    m_focus.SendPoll();
    return true;
}

void CLensPart::Send(qzr::Bytes frame) { Session().SendFrame(frame); }

// --- zoom and focus ------------------------------------------------------------

void CLensPart::OnZoom()
{
    // A zoom that is not a number is reported; the last one read goes out.
    Window().UpdateData(true);
    Send(qzr::BuildZoomRequest(Session().CameraId(), static_cast<std::uint8_t>(m_nZoomPercent & 0xFF)));
    Session().m_strLog = "Zooming......";
    Window().UpdateData(false);
}

void CLensPart::OnCheckLens()
{
    Send(qzr::BuildCheckLensRequest(Session().CameraId()));
    Session().m_strLog = "Check...";
    Window().UpdateData(false);
}

void CLensPart::OnFocus()
{
    Send(qzr::BuildFocusRequest(Session().CameraId()));
    Session().m_strLog = "Focusing...";
    Window().UpdateData(false);
}

void CLensPart::OnZoomReset()
{
    Send(qzr::BuildZoomResetRequest(Session().CameraId()));
    Window().Sleep(kResetWaitMs);
}

void CLensPart::OnFocusReset()
{
    Send(qzr::BuildFocusResetRequest(Session().CameraId()));
    Window().Sleep(kResetWaitMs);
}

qzr::RouteResult CLensPart::OnLensStatus(qzr::Reply reply)
{
    const auto status = qzr::ParseLensStatus(reply);
    if (!status)
        return qzr::RouteResult::Continue;
    std::string& log = Session().m_strLog;
    log = "完成，可以试拍了";
    // A pair whose copies disagree leaves its percent as it was.
    if (status->zoom == status->zoomAgain)
        m_nZoomPercent = status->zoom;
    if (status->focus == status->focusAgain)
        m_nFocusPercent = status->focus;
    if (m_nFocusPercent == qzr::lens::kFocusUnusable)
        log = "亮度过低，或对焦位置太平滑，不适合聚焦操作";
    else if (m_nZoomPercent > 100 || m_nFocusPercent > 100)
        log = "需要复位才能正常调焦";
    else if (m_nZoomPercent == 0 && m_nFocusPercent == 0)
        log = "请调焦或聚焦";
    ShowLens();
    return qzr::RouteResult::Taken;
}

qzr::RouteResult CLensPart::OnLensDone(const char* text, unsigned* zeroed)
{
    if (zeroed)
        *zeroed = 0;
    Session().m_strLog = text;
    ShowLens();
    return qzr::RouteResult::Taken;
}

// Replies refresh only what they change, so a field being typed into
// elsewhere in the window keeps its text.
void CLensPart::ShowLens()
{
    Session().ShowTexts();
    Window().SetDlgItemText(IDC_ZOOM_PERCENT, std::to_string(m_nZoomPercent));
    Window().SetDlgItemText(IDC_FOCUS_PERCENT, std::to_string(m_nFocusPercent));
}

// --- manual focusing -------------------------------------------------------------

void CLensPart::OnManualFocus()
{
    // The focus values are read in whole-package mode; continuous capture ends.
    if (qzr::ICaptureService* capture = Session().m_services.capture)
        capture->OnWholePackage();
    if (!m_focus.On()) {
        Window().UpdateData(true);
        m_focus.Start();
        return;
    }
    // The camera answers a poll at once, but the answer waits for the next
    // poll tick; read here, it cannot be taken for the start of the reply
    // that follows (the picture of "Stop and Snapshot").
    m_focus.ReadFocusValues();
    if (m_focus.On())  // unless that answer held the production-date notice
        m_focus.Stop("Start Focusing");
}

void CLensPart::StopManualFocusForNotice()
{
    if (m_focus.On())
        m_focus.Stop("启动调焦");
}

void CLensPart::OnSetAndSnapshot()
{
    if (m_focus.On())
        OnManualFocus();
    m_bSnapAfterQuery = true;
}

void CLensPart::OnStopAndSnapshot()
{
    if (m_focus.On())
        OnManualFocus();
    if (qzr::ICaptureService* capture = Session().m_services.capture)
        capture->OnSnapshot();
}

// --- switches --------------------------------------------------------------------

void CLensPart::OnLedOn() { Send(qzr::BuildLedRequest(Session().CameraId(), true)); }

void CLensPart::OnLedOff() { Send(qzr::BuildLedRequest(Session().CameraId(), false)); }

void CLensPart::SetWhiteLight()
{
    Send(qzr::BuildLightRequest(Session().CameraId(), true));
    Session().m_choices.m_bWhiteLight = 1;
}

void CLensPart::SetInfrared()
{
    Send(qzr::BuildLightRequest(Session().CameraId(), false));
    Session().m_choices.m_bWhiteLight = 0;
}

void CLensPart::SetAutoFocusOn()
{
    Send(qzr::BuildAutoFocusRequest(Session().CameraId(), true));
    Session().m_choices.m_bAutoFocus = 1;
}

void CLensPart::SetAutoFocusOff()
{
    Send(qzr::BuildAutoFocusRequest(Session().CameraId(), false));
    Session().m_choices.m_bAutoFocus = 0;
}

void CLensPart::SetAlarm() { Session().m_choices.m_bAlarm = 1; }

void CLensPart::ClearAlarm() { Session().m_choices.m_bAlarm = 0; }

void CLensPart::OnTest()
{
    qzr::Bytes frame = qzr::BuildTestPattern(Session().CameraId(), m_bTestDescending);
    Session().SendFrameBytewise(frame);
    m_bTestDescending = !m_bTestDescending;
}

void CLensPart::SendModelCancel() { Send(qzr::BuildModelCancelRequest(Session().CameraId())); }

// --- the settings dialog -----------------------------------------------------------

void CLensPart::OnSetting()
{
    qzr::IConfigService* config = Session().m_services.config;
    if (!config)
        return;
    config->EnsureFactoryMode();
    if (!config->FactoryMode())
        return;
    const qzr::CameraChoices& choices = Session().m_choices;
    CCameraSettingsDlg dialog(*this, Session());
    dialog.m_strModel = choices.m_strModel;
    dialog.m_nFunctionMode = choices.m_nFunctionMode;
    dialog.m_strLightState = choices.m_bWhiteLight > 0 ? "白光" : "红光";
    dialog.m_strFocusState = choices.m_bAutoFocus > 0 ? "聚焦" : "不聚焦";
    dialog.m_strAlarmState = choices.m_bAlarm > 0 ? "报警" : "不报警";
    dialog.DoModal();
}
