#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "protocol/frame.h"
#include "serial/serial_port.h"
#include "session/reply_router.h"
#include "ui/dialog.h"

namespace qzr {
class CSession;
}

// The quick shot window, reached through the hidden button in the main
// window's top right corner: the fastest check that a camera answers at all.
// On a port of its own at 38400 baud it sends camera 1 one fixed snapshot
// request, gathers whatever bytes come back into the main window's picture
// buffer, and once the line has been quiet for about a second draws them as a
// JPEG over the window.
//
// One object lives as long as the main window. Leaving the window does not
// close its port: it is still open at the next showing (and keeps the main
// window from opening the same device) until it is closed here.
class CQuickShotDlg final : public ui::CDialog {
public:
    explicit CQuickShotDlg(qzr::CSession& session);
    ~CQuickShotDlg() override { m_port.Close(); }

    // This window's reading of the camera's bytes: all of them, unframed.
    qzr::ReplyRouter::Table Routes();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void OnTimer(int timerId) override;

private:
    void OnOpenPort();
    void OnShoot();
    void OnExit();
    void WriteBytes(const qzr::Bytes& bytes);
    void PollPicture();
    qzr::RouteResult StorePictureBytes(qzr::Reply chunk);
    // Draws the bytes stretched over the window above its bottom row of
    // controls; false when they do not begin like a JPEG.
    bool DrawPicture(std::span<const std::uint8_t> jpeg);

    qzr::CSession& m_session;
    qzr::CSerialPort m_port;
    std::string m_strMessage;       // 1131
    std::uint32_t m_nReceived = 0;  // bytes of the current picture stored
    int m_nQuietTicks = 0;          // ticks left until the picture is drawn
};
