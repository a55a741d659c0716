#pragma once

#include <cstdint>
#include <span>

class CCameraTestDlg;

// Reception of a whole-package picture: one CMD_SNAPSHOT reply gathered into
// the main window's picture buffer across as many reads as it takes.
class CWholePackageReceiver {
public:
    explicit CWholePackageReceiver(CCameraTestDlg& dialog) : m_dialog(dialog) {}

    // A request went out: the next chunk of more than 3 bytes is the header.
    void Begin();
    // One chunk of the reply.
    void OnChunk(std::span<const std::uint8_t> chunk);

private:
    CCameraTestDlg& m_dialog;
    bool m_bAwaitHeader = true;
    int m_nChunkCount = 0;  // chunks appended after the header
};
