#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "config/crc_tool.h"
#include "firmware/osd_text.h"
#include "serial/frame_sender.h"
#include "serial/serial_port.h"
#include "ui/dialog.h"

// True while a timer event of the main window is being handled; events that
// arrive meanwhile (a message box runs a nested message loop) are dropped.
extern bool g_bInTimer;

// The main window "Quivra QZR Test Tool V4.0". It owns what the subsystems
// share: the port, the camera id, the expected reply, the transfer mode, the
// picture buffer and the four text boxes.
class CCameraTestDlg : public ui::CDialog {
public:
    CCameraTestDlg();
    ~CCameraTestDlg() override;

    // Where the Comport combo's entries come from: the device list, or nullopt
    // when it cannot be read. Devices in `preferredPorts` (the built-in camera)
    // are listed first, in their order.
    using PortSource = std::function<std::optional<std::vector<std::string>>()>;
    void SetPortSource(PortSource source) { m_portSource = std::move(source); }
    void SetPreferredPorts(std::vector<std::string> ports) { m_preferredPorts = std::move(ports); }

    // --- shared members ---
    static constexpr std::uint32_t kImageBufferSize = 1024000;

    qzr::CSerialPort m_port;
    int m_nCameraId = 1;
    std::string m_strModel = "QZR-L1N";
    std::uint8_t m_nExpectedReply = 0;
    bool m_bSubPacketMode = false;
    int m_bContinuous = 0;
    std::unique_ptr<std::uint8_t[]> m_pImage;
    std::uint32_t m_nImageReceived = 0;

    std::string m_strStatus;      // 1036
    std::string m_strLog;         // 1024
    std::string m_strInfo;        // 1131
    std::string m_strCameraText;  // 1170
    int m_nTextLines = 0;

    int m_bSaveImage = 0;
    int m_bSaveLog = 0;
    int m_bTestQuality = 0;
    int m_bSimplified = 1;
    int m_nOldId = 0;
    int m_nNewId = 0;
    int m_bSaveBaud = 1;
    std::string m_strCrcInput;
    std::string m_strCrcOutput;
    std::string m_strDate;
    std::string m_strOsdText;
    int m_nOsdX = 0;
    int m_nOsdY = 0;
    int m_nOsdSize = 0;
    int m_nSetCount = 0;
    unsigned m_nZoomPercent = 0;
    unsigned m_nFocusPercent = 0;
    unsigned m_nIntervalMin = 0;
    float m_fSwitchOnSec = 0;

    std::uint8_t m_bWhiteLight = 0;
    std::uint8_t m_bAutoFocus = 0;
    std::uint8_t m_bAlarm = 0;

    // Shows the four text boxes (status, log, info, camera text). Replies that
    // arrive on the timer refresh only these, not every control: a box the
    // operator has just ticked or a field being typed into is not reset
    // before a handler reads it.
    void ShowTexts();

    // Appends to the log box's text, which keeps at most its last 64 KiB: a
    // line that repeats an error for days must not grow it without end.
    void AppendToLog(std::string_view text);
    static constexpr std::size_t kMaxLogText = 64 * 1024;

    // --- frame transmission and the log file ---
    // Stamps the CRC, remembers the frame for resending and writes it.
    bool SendFrame(std::uint8_t* frame, std::uint32_t length) { return m_sender.SendFrame(frame, length); }
    bool SendFrame(std::vector<std::uint8_t>& frame) { return m_sender.SendFrame(frame); }
    // Writes the last frame again byte by byte and logs it.
    void ResendLastFrame();
    // Appends a time-stamped entry to "loog.txt" when "Save logging" is ticked.
    void AppendLog(std::string_view text);
    qzr::CFrameSender& Sender() { return m_sender; }

    // --- reply polling ---
    // Timer 1: hands what arrived to the parser of the current transfer mode and
    // resends the last frame when a numbered sub-packet reply is overdue.
    void PollReplies();
    // Whole-package mode; returns the bytes handled (0 when nothing arrived).
    std::uint32_t ParseWholeReply();
    // Sub-packet mode; non-zero when bytes arrived and were taken.
    int ParseSubPacketReply();
    bool m_bResendArmed = false;

    CCapture& Capture() { return m_capture; }

    // --- start-up, ports ---
    void EnumeratePorts();
    void OnOpenComms();
    void OnCloseComms();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void OnOK() override {}  // Enter does not close the main window
    void OnTimer(int timerId) override;
    void OnPaint(ui::Canvas&) override { m_capture.View().OnPaint(); }

private:
    void OnResolutionEdited();
    void Watchdog();
    // An idle camera asks for a test shot with the bytes 01 05 06.
    void DetectTrigger(std::span<const std::uint8_t> chunk);
    // Free text from the camera, one line in the camera text box.
    void ShowCameraText(std::span<const std::uint8_t> chunk);
    // A reply the whole-package reader recognises by the length of one read;
    // true when the chunk's handling ends there.
    bool DispatchWholeReply(std::span<const std::uint8_t> chunk);
    void OnNoAction() {}

    qzr::CFrameSender m_sender{m_port};
    CCapture m_capture{*this};
    CCrcTool m_crcTool{*this};
    COsdText m_osdText{*this};
    PortSource m_portSource;
    std::vector<std::string> m_preferredPorts;
    // The two transfer-mode radios each form a group of their own; their
    // exchanged values (0 selected, -1 not) mirror m_bSubPacketMode.
    int m_nWholePackageRadio = 0;
    int m_nSubPacketRadio = -1;
};

// The application object: shows the main window and ends when it closes.
class CTestApp {
public:
    // Devices to list first in the Comport combo (the built-in camera).
    std::vector<std::string> m_preferredPorts;
    bool InitInstance();
};
