#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/settings_store.h"
#include "session/part.h"
#include "session/services.h"

// Camera configuration: the "Set Baud Rate" group (a camera's new id and rate,
// read back at the new rate, and the search for an unknown camera's rate),
// the serial number and production date, the model with Batch Setting, the
// setting counter with the factory marker, and the "CRC Check Value"
// calculator.
class CConfigPart final : public qzr::CDialogPart, public qzr::IConfigService {
public:
    explicit CConfigPart(qzr::CSession& session);

    // Where the factory marker and the setting counter live; without a store
    // the workstation is one without the marker.
    void SetSettingsStore(qzr::ISettingsStore* store) { m_pSettings = store; }

    void AddControls(qzr::PartControls& controls) override;
    void AddRoutes(qzr::ReplyRouter& router) override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void OnInitDialog() override;
    bool OnTimer(int timerId) override;

    // IConfigService
    void EnsureFactoryMode() override;
    bool FactoryMode() const override { return m_bFactoryMode; }
    bool CheckProductionDateNotice(std::span<const std::uint8_t> chunk) override;
    void SendModel() override;
    void SendFunctionMode() override;

    // --- new id and rate (baud_and_id.cpp) ---
    // "Set": the camera at the ID edit gets the New ID, then the chosen rate;
    // 600 ms later the console reads the id back at the new rate.
    void OnSetBaud();
    // 1 when the frames went out and the read-back is armed, 0 for an id out of range.
    int SetIdAndBaud();
    void VerifyNewSetting();
    // "Check": tries every rate of the Baud Rate combo until a camera answers.
    void OnCheckBaud();
    // 1 when the port is open at the end.
    int SearchBaudRate();
    // The id of a camera's answer to the id query in one read, or -1.
    int ReadIdReply();
    // "Default": camera 1 at 115200, New ID 2, the port reopened.
    void OnDefaultSettings();

    // --- setting counter and factory mode (setting_counter.cpp) ---
    // Whether the workstation carries the factory marker; at start-up it also
    // takes the stored count.
    bool CheckFactoryMarker(bool takeCount);
    // Writes the marker and the count, in factory mode only.
    void SaveSetCount();
    void OnClearCount();

    // --- serial number and model (camera_identity.cpp) ---
    void OnCheckDate();
    void OnCheckModel();
    void OnBatchSetting();
    // The code of the chosen model name; an unknown name is reported and gives 0x11.
    std::uint8_t ModelCodeFromName();

    // The calculator: the operator types a frame as hexadecimal text and gets
    // the two check bytes it needs, in the order they go on the line. It talks
    // to no camera.
    void OnCrcCheck();

private:
    // One-shot timers of the main window: the read-back of a new id and rate,
    // and the snapshot after a serial-number reply.
    static constexpr int kVerifySettingTimer = 22;
    static constexpr int kSnapAfterQueryTimer = 135;

    qzr::RouteResult OnSerialNumberReply(qzr::Reply reply);
    qzr::RouteResult OnModelReply(qzr::Reply reply);
    void SwitchToWholePackage();
    // Closes the port if open and opens it on `portName` at the rate the text
    // gives as a decimal number.
    bool ReopenPort(const std::string& portName, std::string_view rateText);
    void SendQueryId();
    // A camera answered at `rateText`: its id goes to all three id edits and
    // the rate is chosen in both rate combos where they list it.
    void TakeAnsweringCamera(int id, const std::string& rateText);
    std::optional<std::string> ReadSetting(std::string_view name) const;

    qzr::ISettingsStore* m_pSettings = nullptr;
    bool m_bFactoryMode = false;
    bool m_bNoticeChunkSeen = false;  // the first chunk after start-up tries factory mode
    bool m_bBatchDialogShown = false;

    int m_nOldId = 0;        // 1137
    int m_nNewId = 0;        // 1138
    int m_bSaveBaud = 1;     // 1139
    int m_nSetCount = 0;     // 1173
    std::string m_strDate;   // 1149
    std::string m_strCrcInput;   // 1142
    std::string m_strCrcOutput;  // 1141
};
