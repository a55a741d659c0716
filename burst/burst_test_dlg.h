#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "protocol/frame.h"
#include "res/resource.h"
#include "serial/serial_port.h"
#include "session/reply_router.h"
#include "ui/dialog.h"
#include "ui/progress.h"

namespace qzr {
class CSession;
}

// The burst test window "Continuously Shot (Motion Detection) Test", for
// cameras that take bursts of pictures by themselves and keep them as files.
// On a port of its own at 115200 baud the operator starts a burst and sees it
// start and end, asks for the names of the stored pictures around a date and
// fetches one into the main window's picture buffer, where it is drawn.
//
// One object lives as long as the main window, so its texts, radio choices
// and counters survive from one opening to the next. Frames it sends keep the
// fixed tail C1 C2 and go out one byte per write; what it receives is taken as
// exactly one frame and read through the rows of Routes(), which the router
// consults instead of the main window's while this window runs.
class CBurstTestDlg final : public ui::CDialog {
public:
    explicit CBurstTestDlg(qzr::CSession& session);

    // The camera to talk to, from the main window before each opening.
    void SetCameraId(std::uint8_t id) { m_cameraId = id; }
    // This window's reading of the camera's frames.
    qzr::ReplyRouter::Table Routes();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    // Close, Escape and the close box all close the port first, so that the
    // main window can open the same port again.
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(int timerId) override;
    void OnPaint(ui::Canvas& canvas) override;

private:
    // --- the port and the burst ---
    void OnOpenComms();
    void OnBurstShoot();
    void ReadResolution();
    void ReadQuality();
    void WriteBytes(const qzr::Bytes& frame);
    void PollPort();
    void AppendReceived(std::span<const std::uint8_t> bytes);
    void HandleFrame();
    qzr::RouteResult OnBurstStatus(qzr::Reply frame);
    // The three text boxes the camera's frames change, without touching the
    // fields the operator may be typing into.
    void ShowTexts();

    // --- the stored pictures ---
    void PrepareFileList();
    void OnRequestFileList();
    qzr::RouteResult HandleFileList(qzr::Reply frame);
    void AddFileEntry(std::span<const std::uint8_t> entry);
    void OnFileDblClk();
    void RequestFile(const std::string& name);
    qzr::RouteResult HandlePictureInfo(qzr::Reply frame);
    void RequestFilePacket(int packet);
    qzr::RouteResult StoreFilePacket(qzr::Reply frame);
    void DrawFileImage(std::span<const std::uint8_t> jpeg);
    // The picture at the area's full height, centred across.
    void DrawFileImage(ui::Canvas& canvas, std::span<const std::uint8_t> jpeg);
    // The picture area inside frame 1194, in client pixels.
    ui::Rect PictureArea() const;

    qzr::CSession& m_session;

    int m_nQuality = 0;     // quality code last taken, 0 .. 5
    int m_nResolution = 0;  // resolution code last taken
    ui::Rect m_rcImage;     // picture area, set at every paint
    int m_nFilePacketIndex = 0;
    int m_nFilePacketCount = 0;
    int m_nFilePacketSize = 1024;  // asked for, and the step at which packets are placed
    std::uint32_t m_nFileReceived = 0;
    ui::CTransferProgress m_progress{*this, IDC_BURST_PROGRESS};  // the file being fetched  // data bytes of the packets stored since the picture information
    int m_nListCount = 0;
    // Received bytes, taken as one frame; they never reach the buffer's size.
    static constexpr std::size_t kRxBufferSize = 2010;
    std::uint8_t m_rxBuf[kRxBufferSize] = {};
    std::size_t m_nRxLen = 0;
    std::uint8_t m_cameraId = 1;
    qzr::CSerialPort m_burstPort;
    // The picture last drawn, drawn again when the window repaints.
    qzr::Bytes m_shownPicture;

    // Exchanged with the controls.
    std::string m_strPortInfo;    // 1131
    unsigned m_nRequestCount = 0;  // 1192
    unsigned m_nBurstShots = 0;    // 1193
    int m_bLastImage = 0;          // 1191
    std::string m_strBurstLog;    // 1021
    unsigned m_nShotInterval = 0;  // 1195
    int m_nBeforeRadio = -1;       // radio group from 1105
    int m_nAfterRadio = -1;        // from 1106
    std::string m_strBurstState;  // 1024
};
