// What a camera says about itself: its serial number and production date
// ("Check Date"), its model and function mode ("Check Model No."); the notice
// a camera sends once its production date has been set; and the model,
// function mode and switches the console sets ("Batch Setting" and the
// settings dialog's model buttons).
#include <cstdio>

#include "config/config_part.h"
#include "protocol/commands.h"
#include "protocol/model.h"
#include "protocol/serial_number.h"
#include "res/resource.h"
#include "session/session.h"

namespace {

constexpr unsigned kSnapAfterQueryMs = 10;
constexpr std::uint8_t kUnknownModelCode = 0x11;
// Function modes a model reply names; 0, 1 and 100 up read as function 1.
constexpr std::uint8_t kFirstNamedMode = 2;
constexpr std::uint8_t kLastNamedMode = 99;

}  // namespace

void CConfigPart::OnCheckDate()
{
    qzr::CSession& session = Session();
    // Replies are read in whole-package mode only; this also ends a continuous capture.
    SwitchToWholePackage();
    m_strDate = "Checking…";
    Window().UpdateData(false);
    session.m_nExpectedReply = qzr::CMD_QUERY_SERIAL;
    qzr::Bytes query = qzr::BuildSerialNumberQuery(session.CameraId());
    session.SendFrame(query);
}

// The awaited stays the serial number, so every later reply of its size is
// read here too.
qzr::RouteResult CConfigPart::OnSerialNumberReply(qzr::Reply reply)
{
    if (const auto parsed = qzr::ParseSerialNumberReply(reply)) {
        char text[96];
        std::snprintf(text, sizeof text,
                      parsed->serialValid ? "Serial Number %x   Production date %d/%d  %d  "
                                          : "Serial Number error %x   Production date %d/%d  %d  ",
                      static_cast<unsigned>(parsed->serialNumber), parsed->month, parsed->day, 2000 + parsed->year);
        m_strDate = text;
    } else {
        m_strDate = "查询出错";
    }
    Window().SetDlgItemText(IDC_DATE, m_strDate);
    if (qzr::ILensService* lens = Session().m_services.lens; lens && lens->SnapAfterQuery())
        Window().SetTimer(kSnapAfterQueryTimer, kSnapAfterQueryMs);
    return qzr::RouteResult::Continue;
}

bool CConfigPart::CheckProductionDateNotice(std::span<const std::uint8_t> chunk)
{
    qzr::CSession& session = Session();
    // Only the first chunk after start-up looks for the marker; a workstation
    // that gains it later is in factory mode once another feature asks.
    if (!m_bNoticeChunkSeen) {
        m_bNoticeChunkSeen = true;
        EnsureFactoryMode();
    }
    if (!m_bFactoryMode || !qzr::ContainsProductionDateNotice(chunk))
        return false;
    session.m_strLog = "**********设置生产日期**********";
    session.ShowTexts();
    if (qzr::ILensService* lens = session.m_services.lens)
        lens->StopManualFocusForNotice();
    return true;
}

void CConfigPart::OnCheckModel()
{
    qzr::CSession& session = Session();
    SwitchToWholePackage();
    qzr::Bytes query = qzr::BuildModelQuery(session.CameraId());
    session.SendFrame(query);
    session.m_strLog = "Checking…";
    Window().UpdateData(false);
}

// Recognised whatever the console awaits, and the awaited stays as it is.
qzr::RouteResult CConfigPart::OnModelReply(qzr::Reply reply)
{
    const auto parsed = qzr::ParseModelReply(reply);
    if (!parsed)
        return qzr::RouteResult::Continue;
    qzr::CSession& session = Session();
    std::string text = "Complete：";
    const auto model = parsed->modelCode == parsed->modelCodeAgain ? qzr::ModelReplyText(parsed->modelCode) : std::nullopt;
    text += model ? *model : " Mode error";
    if (parsed->functionMode >= kFirstNamedMode && parsed->functionMode <= kLastNamedMode)
        text += "  Mode：" + std::to_string(parsed->functionMode);
    else
        text += "  Fun1";
    session.m_strLog = text;
    session.ShowTexts();
    return qzr::RouteResult::Taken;
}

std::uint8_t CConfigPart::ModelCodeFromName()
{
    if (const auto code = qzr::ModelCodeOfName(Session().m_choices.m_strModel))
        return *code;
    Window().MessageBox("型号出错--未知");
    return kUnknownModelCode;
}

void CConfigPart::SendModel()
{
    qzr::CSession& session = Session();
    qzr::Bytes frame = qzr::BuildSetModelRequest(session.CameraId(), ModelCodeFromName());
    session.SendFrame(frame);
}

void CConfigPart::SendFunctionMode()
{
    qzr::CSession& session = Session();
    // The model is not in this frame, but an unknown one is reported here too.
    ModelCodeFromName();
    qzr::Bytes frame = qzr::BuildSetFunctionRequest(session.CameraId(), session.m_choices.m_nFunctionMode);
    session.SendFrame(frame);
}

void CConfigPart::OnBatchSetting()
{
    qzr::CSession& session = Session();
    SwitchToWholePackage();
    // The first Batch Setting after start-up lets the operator make the
    // choices in the settings dialog first (factory mode only).
    if (!m_bBatchDialogShown) {
        m_bBatchDialogShown = true;
        if (qzr::ILensService* lens = session.m_services.lens)
            lens->OnSetting();
        else
            EnsureFactoryMode();
    }
    EnsureFactoryMode();
    if (!m_bFactoryMode)
        return;
    const qzr::CameraChoices& choices = session.m_choices;
    qzr::BatchSetting setting;
    setting.whiteLight = choices.m_bWhiteLight != 0;
    setting.autoFocus = choices.m_bAutoFocus != 0;
    setting.alarm = choices.m_bAlarm != 0;
    setting.modelCode = ModelCodeFromName();
    setting.functionMode = choices.m_nFunctionMode;
    qzr::Bytes frame = qzr::BuildBatchSettingRequest(session.CameraId(), setting);
    session.SendFrame(frame);
    session.m_strLog = "设置中...";
    Window().UpdateData(false);
}
