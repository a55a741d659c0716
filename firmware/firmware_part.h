#pragma once

#include <string>

#include "session/part.h"

// Firmware and on-screen text: the "Upgrade Camera firmware" group and "Send
// OSD Characters".
class CFirmwarePart final : public qzr::CDialogPart {
public:
    explicit CFirmwarePart(qzr::CSession& session) : CDialogPart(session) {}

    void AddControls(qzr::PartControls& controls) override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void SetDefaults() override;

    // Puts a line of text on the camera's picture. The text is typed as UTF-8
    // and goes out in the camera's code page (GBK), at most 100 bytes of it.
    void OnSendOsd();

private:
    std::string m_strOsdText;  // 1153
    int m_nOsdX = 0;           // 1154
    int m_nOsdY = 0;           // 1155
    int m_nOsdSize = 0;        // 1156
};
