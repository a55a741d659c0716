#pragma once

#include <cstdint>

#include "lens/manual_focus.h"
#include "protocol/frame.h"
#include "session/part.h"
#include "session/services.h"

// Lens, light and alarm control: the "Focusing" group (zoom and focus with
// their resets, the lens status, manual focusing with its focus-value chart,
// "Set and Snapshot" and "Stop and Snapshot"), the LED buttons, the test
// pattern, and the settings dialog with the light, autofocus and alarm
// switches it sets.
class CLensPart final : public qzr::CDialogPart, public qzr::ILensService {
public:
    explicit CLensPart(qzr::CSession& session);

    void AddControls(qzr::PartControls& controls) override;
    void AddRoutes(qzr::ReplyRouter& router) override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void SetDefaults() override;
    bool OnTimer(int timerId) override;

    // ILensService
    bool ManualFocusOn() const override { return m_focus.On(); }
    void OnManualFocus() override;
    void ReadFocusValues() override { m_focus.ReadFocusValues(); }
    void StopManualFocusForNotice() override;
    bool SnapAfterQuery() const override { return m_bSnapAfterQuery; }
    void OnSetting() override;

    // --- the "Focusing" group ---
    void OnZoom();
    void OnCheckLens();
    void OnFocus();
    // The resets hold the window for 5 s; the camera's done reply is read
    // by the polls after.
    void OnZoomReset();
    void OnFocusReset();
    void OnSetAndSnapshot();
    void OnStopAndSnapshot();

    // --- the switches: a frame (except for the alarm, which the camera
    // learns from Batch Setting), then the remembered choice ---
    void OnLedOn();
    void OnLedOff();
    void SetWhiteLight();
    void SetInfrared();
    void SetAutoFocusOn();
    void SetAutoFocusOff();
    void SetAlarm();
    void ClearAlarm();
    // "Test": the ascending and the descending test pattern in turn, one
    // byte per write.
    void OnTest();
    // The settings dialog's model "cancel".
    void SendModelCancel();

    static constexpr unsigned kResetWaitMs = 5000;

private:
    qzr::RouteResult OnLensStatus(qzr::Reply reply);
    // A done reply: the log box's text, and the percent the reset zeroed.
    qzr::RouteResult OnLensDone(const char* text, unsigned* zeroed);
    // Shows the log box and the two percent edits after a reply.
    void ShowLens();
    void Send(qzr::Bytes frame);

    CManualFocus m_focus;
    unsigned m_nZoomPercent = 0;   // 1180
    unsigned m_nFocusPercent = 0;  // 1181
    // Set by "Set and Snapshot": every serial-number reply is followed by a
    // snapshot, for the rest of the run.
    bool m_bSnapAfterQuery = false;
    // Whether the next test pattern is the descending one. The main window
    // lives as long as the program, and so does this.
    bool m_bTestDescending = false;
};
