#pragma once

#include "quickshot/quick_shot_dlg.h"
#include "session/part.h"

// The quick shot: the hidden button in the main window's top right corner
// runs the quick shot window while the main window's port is closed.
class CQuickShotPart final : public qzr::CDialogPart {
public:
    explicit CQuickShotPart(qzr::CSession& session) : CDialogPart(session), m_dialog(session) {}

    void AddControls(qzr::PartControls& controls) override;

    void OnQuickShot();

private:
    CQuickShotDlg m_dialog;
};
