#include "lens/lens_part.h"

#include "protocol/lens.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/data_exchange.h"

namespace {

constexpr int kFocusValueTimer = 137;

}  // namespace

void CLensPart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_AUTO_FOCUSING, [] {});
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
    if (timerId != kFocusValueTimer)
        return false;
    qzr::Bytes frame = qzr::BuildFocusValueRequest(Session().CameraId());
    Session().SendFrame(frame);
    return true;
}
