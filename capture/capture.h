#pragma once

#include <cstdint>
#include <span>

#include "capture/picture_view.h"
#include "capture/sub_packet.h"
#include "capture/whole_package.h"

class CCameraTestDlg;

// Image acquisition: the Snapshot button and its request in either transfer
// mode, the resolution and quality codes, the transfer-mode radios and
// continuous capture. Owns the whole-package reception and the picture area.
class CCapture {
public:
    explicit CCapture(CCameraTestDlg& dialog) : m_dialog(dialog), m_whole(dialog), m_sub(dialog), m_view(dialog) {}

    void OnSnapshot();
    void RequestSnapshot();
    // Codes of the "JPEG Resolution" and "Compression Ratio" choices (the
    // controls are read first).
    std::uint8_t ResolutionCode();
    std::uint8_t QualityCode();

    void OnWholePackage();
    void OnSubPacket();
    void OnSimplified();
    void OnContinuousCapture();
    void OnStopSnapshotting();

    // Whole-package continuous capture: two poll ticks after a picture was
    // shown, the next is requested. True when this tick must not read the port.
    bool PaceContinuousCapture();
    // A whole-package reply chunk while a picture is awaited.
    void OnWholeReplyChunk(std::span<const std::uint8_t> chunk) { m_whole.OnChunk(chunk); }

    CPictureView& View() { return m_view; }
    CSubPacketTransfer& SubPacket() { return m_sub; }

    int m_nShownTicks = 0;   // ticks since a picture was shown, 0 while none is
    int m_nShotCount = 0;    // follow-up pictures of the current continuous run
    bool m_bSnapshotPending = false;

private:
    CCameraTestDlg& m_dialog;
    CWholePackageReceiver m_whole;
    CSubPacketTransfer m_sub;
    CPictureView m_view;
};
