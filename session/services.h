#pragma once

#include <cstdint>
#include <span>

namespace ui {
class CDialog;
}

namespace qzr {

// What one part of the main window offers the others. A part sets its pointer
// in the session when it is built; a caller finds a null pointer when that
// part is not in the build and then does without it. The parts reach each
// other only through these, so no subsystem folder includes another.

// Image acquisition.
class ICaptureService {
public:
    // The Snapshot button.
    virtual void OnSnapshot() = 0;
    // The Whole Package radio: whole-package mode, continuous capture ended.
    virtual void OnWholePackage() = 0;
    // The whole-package reader's first step: true when continuous capture
    // used this tick and the port is not to be read.
    virtual bool PaceContinuousCapture() = 0;
    // The watchdog resends the last request: its reply starts afresh.
    virtual void OnResend() = 0;

protected:
    ~ICaptureService() = default;
};

// Camera configuration.
class IConfigService {
public:
    // Factory mode holds once the workstation's marker was found.
    virtual void EnsureFactoryMode() = 0;
    virtual bool FactoryMode() const = 0;
    // Looks for the camera's production-date notice in a received chunk
    // (factory mode only); true when one was found.
    virtual bool CheckProductionDateNotice(std::span<const std::uint8_t> chunk) = 0;
    // The model and the function mode the session's choices hold, to the camera.
    virtual void SendModel() = 0;
    virtual void SendFunctionMode() = 0;

protected:
    ~IConfigService() = default;
};

// Firmware upgrade.
class IFirmwareService {
public:
    virtual bool Upgrading() const = 0;
    // While an upgrade runs, the poll tick serves the camera's packet requests.
    virtual void HandleUpgradeRequest() = 0;

protected:
    ~IFirmwareService() = default;
};

// Lens, light and alarm control.
class ILensService {
public:
    virtual bool ManualFocusOn() const = 0;
    // The "Manual Focus" button: toggles manual focusing.
    virtual void OnManualFocus() = 0;
    // While manual focusing runs, the poll tick reads the focus values.
    virtual void ReadFocusValues() = 0;
    // A production-date notice ends manual focusing.
    virtual void StopManualFocusForNotice() = 0;
    // Set by "Set and Snapshot": every serial-number reply is followed by a snapshot.
    virtual bool SnapAfterQuery() const = 0;
    // The "Setting" button: the settings dialog, in factory mode.
    virtual void OnSetting() = 0;

protected:
    ~ILensService() = default;
};

// The main window itself.
class IShellService {
public:
    virtual void OnOpenComms() = 0;
    virtual void OnCloseComms() = 0;
    // Lists the serial ports in combo `comboId` of `window` as the Comport
    // combo lists them (the built-in camera first); when the device list
    // cannot be read, the operator is told over `window`.
    virtual void EnumeratePorts(ui::CDialog& window, int comboId) = 0;

protected:
    ~IShellService() = default;
};

struct Services {
    ICaptureService* capture = nullptr;
    IConfigService* config = nullptr;
    IFirmwareService* firmware = nullptr;
    ILensService* lens = nullptr;
    IShellService* shell = nullptr;
};

}  // namespace qzr
