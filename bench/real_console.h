#pragma once

// The main window on the headless backend with the real clock, its port open
// on `device` at `baud`, for the capture benchmarks.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/camera_test_dlg.h"
#include "headless/backend.h"
#include "res/resource.h"
#include "sim/camera.h"

// The simulated camera at `baud`, its replies paced at the line's rate.
inline qzr::sim::CameraOptions PacedCamera(std::uint32_t baud)
{
    qzr::sim::CameraOptions options;
    options.baud = baud;
    options.pacing = true;
    return options;
}

// Starts the simulated camera; says why when it does not.
inline bool Started(qzr::sim::Camera& camera)
{
    std::string error;
    if (camera.Start(&error))
        return true;
    std::printf("camera did not start: %s\n", error.c_str());
    return false;
}

struct RealConsole {
    RealConsole(const std::string& device, std::uint32_t baud) : scope(backend)
    {
        dialog.SetPortSource([] { return std::vector<std::string>{}; });
        backend.Open(dialog);
        backend.SetText(dialog, IDC_COMPORT, device);
        backend.SetText(dialog, IDC_BAUDRATE, std::to_string(baud));
        backend.Click(dialog, IDC_OPEN_COMMS);
    }
    // Whether the port opened; says so when it did not.
    bool Opened(std::uint32_t baud)
    {
        if (dialog.Session().Port().IsOpen())
            return true;
        std::printf("port did not open at %u\n", baud);
        return false;
    }
    ~RealConsole()
    {
        backend.Close(dialog);
        dialog.Session().Port().Close();
    }

    headless::HeadlessBackend backend{headless::ClockMode::Real};
    headless::CurrentBackendScope scope;
    CCameraTestDlg dialog;
};
