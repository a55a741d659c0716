#include "quickshot/quick_shot_part.h"

#include "res/resource.h"
#include "session/session.h"

void CQuickShotPart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_QUICK_SHOT, [this] { OnQuickShot(); });
}

void CQuickShotPart::OnQuickShot()
{
    // The picture buffer is shared: the quick shot runs only while the main
    // window's port is closed and its polling reads nothing.
    if (Session().Port().IsOpen())
        return;
    const auto routes = Session().Router().Push(m_dialog.Routes());
    m_dialog.DoModal();
}
