#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame.h"
#include "serial/frame_sender.h"
#include "serial/serial_port.h"
#include "session/picture_buffer.h"
#include "session/reply_router.h"
#include "session/services.h"
#include "session/watchdog.h"
#include "ui/dialog.h"

namespace ui {
class CDataExchange;
}

// True while a timer event of the main window is being handled; events that
// arrive meanwhile (a message box runs a nested message loop) are dropped.
extern bool g_bInTimer;

namespace qzr {

class CDialogPart;

// What the console last chose for the camera's light, autofocus and alarm
// switches, its model and its function mode. Nothing is read back from the
// camera; Batch Setting sends them all at once.
struct CameraChoices {
    std::string m_strModel = "QZR-L1N";
    std::uint8_t m_nFunctionMode = 0;
    std::uint8_t m_bWhiteLight = 0;
    std::uint8_t m_bAutoFocus = 0;
    std::uint8_t m_bAlarm = 0;
};

// What the parts of the main window share: the port with the frame sender and
// the log file, the camera id, the awaited reply, the transfer mode, the
// watchdog, the picture buffer, the four text boxes, the remembered camera
// choices, the reply router and the reply polling. It knows the window only
// as a window of the window layer, never the main window's class.
class CSession {
public:
    explicit CSession(ui::CDialog& window);
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    ui::CDialog& Window() { return m_window; }

    // --- the line ---
    CSerialPort& Port() { return m_port; }
    int m_nCameraId = 1;  // edit 1127; its low byte addresses every frame
    std::uint8_t CameraId() const { return static_cast<std::uint8_t>(m_nCameraId & 0xFF); }
    // Stamps the CRC, remembers the frame for resending (frames up to 256
    // bytes; longer ones are neither remembered nor written) and writes it.
    bool SendFrame(Bytes& frame);
    // Stamps the CRC and writes one byte per write, without remembering it.
    bool SendFrameBytewise(Bytes& frame);
    // Writes the last frame again byte by byte and logs it.
    void ResendLastFrame();
    std::span<const std::uint8_t> LastFrame() const { return m_sender.LastFrame(); }
    // A time-stamped entry in "loog.txt" when "Save logging" is ticked.
    void AppendLog(std::string_view text);
    int m_bSaveLog = 0;  // check box 1196

    // --- the transfer ---
    std::uint8_t m_nExpectedReply = 0;  // command byte of the awaited reply, 0 for none
    bool m_bSubPacketMode = false;
    int m_bContinuous = 0;
    CWatchdog& Watchdog() { return m_watchdog; }
    CPictureBuffer& Picture() { return m_picture; }
    // The picture buffer check of the readers: true, with the log box told,
    // when `length` more bytes would not fit behind what was received.
    bool RefuseOverflow(std::size_t length);

    // --- the text boxes ---
    std::string m_strStatus;      // 1036
    std::string m_strLog;         // 1024
    std::string m_strInfo;        // 1131
    std::string m_strCameraText;  // 1170
    int m_nTextLines = 0;
    // Shows the four text boxes. Replies that arrive on the timer refresh only
    // these, not every control, so that a box the operator has just ticked or
    // a field being typed into is not reset before a handler reads it.
    void ShowTexts();
    // Appends to the log box's text, which keeps at most its last 64 KiB.
    void AppendToLog(std::string_view text);
    static constexpr std::size_t kMaxLogText = 64 * 1024;
    // One line of free text from the camera in the camera text box; the box
    // is emptied when more than 25 lines were added since it was last.
    void ShowCameraText(std::span<const std::uint8_t> chunk);

    // --- what the parts share besides ---
    CameraChoices m_choices;
    Services m_services;
    ReplyRouter& Router() { return m_router; }

    // --- reply polling, on timer 1 ---
    // Manual focusing first, then a firmware upgrade, else the reader of the
    // transfer mode with the watchdog. A port found hung up on the way, by a
    // read or a write, is reported once at the end of the tick.
    void PollReplies();
    // Whole-package mode; the bytes handled (0 when nothing arrived).
    std::uint32_t ParseWholeReply();
    // Sub-packet mode; non-zero when bytes arrived and were taken.
    int ParseSubPacketReply();

    // The controls the session owns: the text boxes, the camera id, "Save logging".
    void DoDataExchange(ui::CDataExchange& dx);

    // The parts, in the order they were built.
    void AddPart(CDialogPart* part) { m_parts.push_back(part); }
    const std::vector<CDialogPart*>& Parts() const { return m_parts; }

private:
    void PollPort();
    // "Serial port disconnected" in the status box and a log line with the
    // device; the port stays open until the operator closes it.
    void ReportHangUp();
    void RunWatchdog();
    void AddLinkRoutes();
    // Free text while nothing is awaited: chunks of 1 to 64 bytes; the
    // camera's start-up message is logged.
    void ShowFreeText(std::span<const std::uint8_t> chunk);
    // An idle camera asks for a test shot with the bytes 01 05 06.
    void DetectTrigger(std::span<const std::uint8_t> chunk);

    ui::CDialog& m_window;
    CSerialPort m_port;
    CFrameSender m_sender{m_port};
    CWatchdog m_watchdog;
    CPictureBuffer m_picture;
    ReplyRouter m_router;
    std::vector<CDialogPart*> m_parts;
    // Short chunks gathered while nothing is expected, for the trigger bytes.
    std::uint8_t m_triggerBytes[60] = {};
    std::size_t m_nTriggerCount = 0;
};

}  // namespace qzr
