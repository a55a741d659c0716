#pragma once

// The main window on the headless backend with the real clock, its port open
// on `device` at `baud`, for the capture benchmarks.

#include <cstdint>
#include <string>
#include <vector>

#include "app/camera_test_dlg.h"
#include "headless/backend.h"
#include "res/resource.h"

struct RealConsole {
    RealConsole(const std::string& device, std::uint32_t baud) : scope(backend)
    {
        dialog.SetPortSource([] { return std::vector<std::string>{}; });
        backend.Open(dialog);
        backend.SetText(dialog, IDC_COMPORT, device);
        backend.SetText(dialog, IDC_BAUDRATE, std::to_string(baud));
        backend.Click(dialog, IDC_OPEN_COMMS);
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
