#pragma once

#include <string>

#include "session/part.h"

// Camera configuration: the "Set Baud Rate" group (camera id and rate), the
// serial number and production date, the model, the setting counter, and the
// "CRC Check Value" calculator.
class CConfigPart final : public qzr::CDialogPart {
public:
    explicit CConfigPart(qzr::CSession& session) : CDialogPart(session) {}

    void AddControls(qzr::PartControls& controls) override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    bool OnTimer(int timerId) override;

    // The calculator: the operator types a frame as hexadecimal text and gets
    // the two check bytes it needs, in the order they go on the line. It talks
    // to no camera.
    void OnCrcCheck();

private:
    int m_nOldId = 0;        // 1137
    int m_nNewId = 0;        // 1138
    int m_bSaveBaud = 1;     // 1139
    int m_nSetCount = 0;     // 1173
    std::string m_strDate;   // 1149
    std::string m_strCrcInput;   // 1142
    std::string m_strCrcOutput;  // 1141
};
