#include "burst/burst_part.h"

#include "res/resource.h"
#include "session/session.h"

void CBurstPart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_CONTINUOUSLY_SHOT, [this] { OnContinuouslyShot(); });
}

void CBurstPart::OnContinuouslyShot()
{
    qzr::CSession& session = Session();
    Window().UpdateData(true);
    // The main window's port stays closed after the burst window, until the
    // operator opens it again.
    if (qzr::IShellService* shell = session.m_services.shell)
        shell->OnCloseComms();
    m_dialog.SetCameraId(session.CameraId());
    // The window reads 0x40, 0x31 and 0x42 its own way while it runs.
    const auto routes = session.Router().Push(m_dialog.Routes());
    m_dialog.DoModal();
}
