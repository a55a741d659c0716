#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "capture/picture_view.h"
#include "capture/sub_packet.h"
#include "capture/whole_package.h"
#include "session/part.h"
#include "session/services.h"
#include "ui/progress.h"

// Image acquisition: the Snapshot button and its request in either transfer
// mode, the resolution and quality codes, the transfer-mode radios, "Save",
// continuous capture and the timer controls beside it. Owns the whole-package
// reception, the sub-packet transfers and the picture area.
class CCapturePart final : public qzr::CDialogPart, public qzr::ICaptureService {
public:
    explicit CCapturePart(qzr::CSession& session);

    void AddControls(qzr::PartControls& controls) override;
    void AddRoutes(qzr::ReplyRouter& router) override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void SetDefaults() override;
    void OnInitDialog() override;
    void OnPaint(ui::Canvas&) override { m_view.OnPaint(); }
    // The poll tick: a picture transfer that stalled or lost its port is given up.
    bool OnTimer(int timerId) override;

    // ICaptureService
    void OnSnapshot() override;
    void OnWholePackage() override;
    // Whole-package continuous capture: two poll ticks after a picture was
    // shown, the next is requested. True when this tick must not read the port.
    bool PaceContinuousCapture() override;
    void OnResend() override { m_sub.OnResend(); }

    void RequestSnapshot();
    // Codes of the "JPEG Resolution" and "Compression Ratio" choices (the
    // controls are read first).
    std::uint8_t ResolutionCode();
    std::uint8_t QualityCode();

    // The one path of a finished picture, whichever transfer brought it: it is
    // drawn and saved, the transfer is complete, the receiver reports it
    // (`report`), and continuous capture goes on (at once in sub-packet mode,
    // after two poll ticks in whole-package mode).
    void OnPictureReceived(std::span<const std::uint8_t> jpeg, const std::function<void()>& report);

    // The bar over the status box: the picture transfer's bytes received
    // against the bytes announced.
    ui::CTransferProgress& Progress() { return m_progress; }

    int m_bSaveImage = 0;    // 1129 "Save"
    int m_bTestQuality = 0;  // 1134 "Test"
    int m_bSimplified = 1;   // 1140 "Simplified"

private:
    void OnSubPacket();
    void OnSimplified() { m_view.ForgetShownResolution(); }
    void OnContinuousCapture();
    void OnStopSnapshotting();

    ui::CTransferProgress m_progress;
    CWholePackageReceiver m_whole;
    CSubPacketTransfer m_sub;
    CPictureView m_view;
    int m_nShownTicks = 0;  // ticks since a picture was shown, 0 while none is
    int m_nShotCount = 0;   // follow-up pictures of the current continuous run
    // The two transfer-mode radios each form a group of their own; their
    // exchanged values (0 selected, -1 not) mirror the transfer mode.
    int m_nWholePackageRadio = 0;
    int m_nSubPacketRadio = -1;
    unsigned m_nIntervalMin = 0;  // 1165
    float m_fSwitchOnSec = 0;     // 1172
};
