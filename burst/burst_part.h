#pragma once

#include "burst/burst_test_dlg.h"
#include "session/part.h"

// The burst test: the main window's "Continuously Shot" button closes the main
// window's port and runs the burst test window, whose one object lives as long
// as the main window.
class CBurstPart final : public qzr::CDialogPart {
public:
    explicit CBurstPart(qzr::CSession& session) : CDialogPart(session), m_dialog(session) {}

    void AddControls(qzr::PartControls& controls) override;

    void OnContinuouslyShot();

private:
    CBurstTestDlg m_dialog;
};
