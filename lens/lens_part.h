#pragma once

#include "session/part.h"

// Lens, light and alarm control: the "Focusing" group (zoom and focus,
// manual focusing), the LED, light, autofocus and alarm switches, the test
// pattern and the settings dialog.
class CLensPart final : public qzr::CDialogPart {
public:
    explicit CLensPart(qzr::CSession& session) : CDialogPart(session) {}

    void AddControls(qzr::PartControls& controls) override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void SetDefaults() override;
    bool OnTimer(int timerId) override;

private:
    unsigned m_nZoomPercent = 0;   // 1180
    unsigned m_nFocusPercent = 0;  // 1181
};
