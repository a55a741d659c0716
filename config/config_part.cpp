#include "config/config_part.h"

#include "protocol/commands.h"
#include "protocol/crc_text.h"
#include "protocol/model.h"
#include "protocol/serial_number.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/data_exchange.h"

CConfigPart::CConfigPart(qzr::CSession& session) : CDialogPart(session) { session.m_services.config = this; }

void CConfigPart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_SET_BAUD, [this] { OnSetBaud(); });
    controls.OnClicked(IDC_CHECK_BAUD, [this] { OnCheckBaud(); });
    controls.OnClicked(IDC_DEFAULT_SETTINGS, [this] { OnDefaultSettings(); });
    controls.OnClicked(IDC_CLEAR_COUNT, [this] { OnClearCount(); });
    controls.OnClicked(IDC_CHECK_DATE, [this] { OnCheckDate(); });
    controls.OnClicked(IDC_SET_DATE, [] {});
    controls.OnClicked(IDC_CHECK_MODEL, [this] { OnCheckModel(); });
    controls.OnClicked(IDC_BATCH_SETTING, [this] { OnBatchSetting(); });
    controls.OnClicked(IDC_CRC_CHECK, [this] { OnCrcCheck(); });
}

void CConfigPart::AddRoutes(qzr::ReplyRouter& router)
{
    using qzr::ReplyPoint;
    using qzr::RouteResult;
    // The notice is looked for in every chunk before anything reads it; the
    // chunk then goes on as usual.
    router.Add({ReplyPoint::WholeEveryChunk, qzr::kAnyLength, qzr::kAnyCommand, {}, [this](qzr::Reply chunk) {
                    CheckProductionDateNotice(chunk);
                    return RouteResult::Continue;
                }});
    router.Add({ReplyPoint::WholeFramed, qzr::kModelReplyLength, qzr::CMD_MODEL_REPLY, {},
                [this](qzr::Reply reply) { return OnModelReply(reply); }});
    router.Add({ReplyPoint::WholeFramed, qzr::kSerialNumberReplyLength, qzr::CMD_QUERY_SERIAL,
                [this](qzr::Reply) { return Session().m_nExpectedReply == qzr::CMD_QUERY_SERIAL; },
                [this](qzr::Reply reply) { return OnSerialNumberReply(reply); }});
}

void CConfigPart::DoDataExchange(ui::CDataExchange& dx)
{
    ui::DDX_Text(dx, IDC_OLD_ID, m_nOldId);
    ui::DDX_Text(dx, IDC_NEW_ID, m_nNewId);
    ui::DDX_Check(dx, IDC_SAVE_BAUD, m_bSaveBaud);
    ui::DDX_Text(dx, IDC_CRC_INPUT, m_strCrcInput);
    ui::DDX_Text(dx, IDC_CRC_OUTPUT, m_strCrcOutput);
    ui::DDX_Text(dx, IDC_DATE, m_strDate);
    ui::DDX_Text(dx, IDC_SET_COUNT, m_nSetCount);
}

void CConfigPart::OnInitDialog()
{
    // The stored count is shown whatever the marker; factory mode itself waits
    // for its first use.
    CheckFactoryMarker(true);
}

bool CConfigPart::OnTimer(int timerId)
{
    switch (timerId) {
    case kVerifySettingTimer:
        Window().KillTimer(kVerifySettingTimer);
        // A message box of the read-back must not let the polling read the port.
        g_bInTimer = true;
        VerifyNewSetting();
        return true;
    case kSnapAfterQueryTimer:
        Window().KillTimer(kSnapAfterQueryTimer);
        if (qzr::ICaptureService* capture = Session().m_services.capture)
            capture->OnSnapshot();
        return true;
    default:
        return false;
    }
}

void CConfigPart::SwitchToWholePackage()
{
    if (qzr::ICaptureService* capture = Session().m_services.capture)
        capture->OnWholePackage();
}

void CConfigPart::OnCrcCheck()
{
    Window().UpdateData(true);
    const auto answer = qzr::CrcToolAnswer(qzr::HexTextToBytes(m_strCrcInput));
    if (!answer) {
        // The output box keeps its previous text.
        Window().MessageBox("Frame head is not 90 EB error");
        return;
    }
    m_strCrcOutput = *answer;
    Window().UpdateData(false);
}
