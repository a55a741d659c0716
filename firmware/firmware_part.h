#pragma once

#include <cstdint>
#include <string>

#include "firmware/firmware_upgrade.h"
#include "session/part.h"
#include "session/services.h"

// Firmware and on-screen text: the "Upgrade Camera firmware" group with its
// progress bar, and "Send OSD Characters".
class CFirmwarePart final : public qzr::CDialogPart, public qzr::IFirmwareService {
public:
    explicit CFirmwarePart(qzr::CSession& session);

    void AddControls(qzr::PartControls& controls) override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void SetDefaults() override;

    // "Open File": loads a program file of at most 409,600 bytes and tells its
    // length and packets in the log box. Allowed while an upgrade runs: later
    // requests are then served from the new program.
    void OnOpenFirmware();
    // "Upload": announces the program to the camera, which then asks for its
    // packets. The button stays disabled until Cancel or completion, also
    // when the upload is refused.
    void OnUpload();
    // "Cancel", and the camera's report that the upgrade is complete. Nothing
    // is sent to the camera.
    void OnCancelUpload();

    // IFirmwareService
    bool Upgrading() const override { return m_upgrade.Upgrading(); }
    // Each poll tick while an upgrade runs: gathers the camera's request and
    // answers it with the packet it asks for.
    void HandleUpgradeRequest() override;

    // Puts a line of text on the camera's picture. The text is typed as UTF-8
    // and goes out in the camera's code page (GBK), at most 100 bytes of it.
    void OnSendOsd();

private:
    // Writes packet `index`: its head, the program bytes in pieces of 128 with
    // a 5 ms pause after each, and the CRC.
    void SendFirmwarePacket(std::uint16_t index);
    void ShowProgress();

    CFirmwareUpgrade m_upgrade;
    std::string m_strOsdText;  // 1153
    int m_nOsdX = 0;           // 1154
    int m_nOsdY = 0;           // 1155
    int m_nOsdSize = 0;        // 1156
};
