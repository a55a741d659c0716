#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "burst/burst_part.h"
#include "capture/capture_part.h"
#include "config/config_part.h"
#include "firmware/firmware_part.h"
#include "lens/lens_part.h"
#include "motion/motion_part.h"
#include "quickshot/quick_shot_part.h"
#include "session/services.h"
#include "session/session.h"
#include "ui/dialog.h"

// The main window "Quivra QZR Test Tool V4.0". It owns the session, which
// holds what the subsystems share, and one part per subsystem, and loops over
// the parts for their controls, data exchange, start-up, timers, replies and
// painting. Of its own it has the port list and Open and Close Comms.
class CCameraTestDlg : public ui::CDialog, public qzr::IShellService {
public:
    CCameraTestDlg();
    ~CCameraTestDlg() override;

    // Where the Comport combo's entries come from: the device list, or nullopt
    // when it cannot be read. Devices in `preferredPorts` (the built-in camera)
    // are listed first, in their order.
    using PortSource = std::function<std::optional<std::vector<std::string>>()>;
    void SetPortSource(PortSource source) { m_portSource = std::move(source); }
    void SetPreferredPorts(std::vector<std::string> ports) { m_preferredPorts = std::move(ports); }
    // Where the factory marker and the setting counter are kept; none: a
    // workstation without the marker.
    void SetSettingsStore(qzr::ISettingsStore* store) { m_config.SetSettingsStore(store); }

    qzr::CSession& Session() { return m_session; }

    void EnumeratePorts();
    // Lists the ports again as the Comport combo drops down: adapters plugged
    // in since appear, the typed or chosen entry stays, the built-in camera
    // stays first.
    void RefreshPorts();
    void OnOpenComms() override;
    void OnCloseComms() override;
    void EnumeratePorts(ui::CDialog& window, int comboId) override;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void OnOK() override {}  // Enter does not close the main window
    void OnTimer(int timerId) override;
    void OnPaint(ui::Canvas& canvas) override;

private:
    // The built-in camera first, then the devices.
    void AddPorts(ui::CComboBox combo, const std::vector<std::string>& devices);

    qzr::CSession m_session{*this};
    // The subsystems, one part each; a part registers itself with the session.
    CCapturePart m_capture{m_session};
    CConfigPart m_config{m_session};
    CFirmwarePart m_firmware{m_session};
    CLensPart m_lens{m_session};
    CMotionPart m_motion{m_session};
    CBurstPart m_burst{m_session};
    CQuickShotPart m_quickShot{m_session};

    PortSource m_portSource;
    std::vector<std::string> m_preferredPorts;
};

// The application object: shows the main window and ends when it closes.
class CTestApp {
public:
    // Devices to list first in the Comport combo (the built-in camera).
    std::vector<std::string> m_preferredPorts;
    // The per-user settings (factory marker, setting counter); none when null.
    qzr::ISettingsStore* m_pSettings = nullptr;
    bool InitInstance();
};
