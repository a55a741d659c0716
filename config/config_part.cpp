#include "config/config_part.h"

#include "protocol/crc_text.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/data_exchange.h"

namespace {

constexpr int kVerifySettingTimer = 22;
constexpr int kSnapAfterQueryTimer = 135;

}  // namespace

void CConfigPart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_CRC_CHECK, [this] { OnCrcCheck(); });
    controls.OnClicked(IDC_SET_DATE, [] {});
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

bool CConfigPart::OnTimer(int timerId)
{
    switch (timerId) {
    case kVerifySettingTimer:
        // The verification of a new id and rate runs here; nothing arms it yet.
        Window().KillTimer(kVerifySettingTimer);
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
