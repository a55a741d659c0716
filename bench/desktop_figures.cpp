// Figures of the console on the desktop backend (run with
// QT_QPA_PLATFORM=offscreen, or under Xvfb):
//
//   qzr_bench_desktop startup    shows the main window and ends at once: time
//                                the whole process (hyperfine and the like)
//   qzr_bench_desktop memory     takes a 1280x960 picture from the simulated
//                                camera and prints the peak memory
//   qzr_bench_desktop idle SEC   keeps the port open on the simulated camera
//                                for SEC seconds and prints the processor time
//
// Prints figures; checks nothing.
#include <sys/resource.h>

#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/camera_test_dlg.h"
#include "qt/qt_app.h"
#include "res/resource.h"
#include "sim/camera.h"

namespace {

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// "VmHWM:   123456 kB" of this process.
std::string StatusLine(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0)
            return line;
    return key + ": ?";
}

void Open(CCameraTestDlg& dialog, const std::string& device)
{
    dialog.Combo(IDC_COMPORT).SetWindowText(device);
    dialog.HandleCommand(IDC_OPEN_COMMS, ui::Notification::Clicked);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "startup";
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    int qtArgc = 1;
    qtui::QtApplication qt(qtArgc, argv);
    ui::SetCurrentBackend(&qt.Backend());

    qzr::sim::Camera camera;
    if (mode != "startup" && !camera.Start()) {
        std::printf("the simulated camera did not start\n");
        return 1;
    }
    CCameraTestDlg dialog;
    dialog.SetPortSource([] { return std::vector<std::string>{}; });

    // Runs once the window is on screen and its loop has started.
    QTimer::singleShot(0, [&] {
        if (mode == "startup") {
            dialog.EndDialog(ui::IDCANCEL);
            return;
        }
        Open(dialog, camera.DevicePath());
        if (mode == "idle") {
            const double start = CpuSeconds();
            QTimer::singleShot(idleSeconds * 1000, [&, start] {
                const double used = CpuSeconds() - start;
                std::printf("idle with the port open: %.3f s of processor time in %d s (%.3f %% of a core)\n", used,
                            idleSeconds, 100.0 * used / idleSeconds);
                dialog.EndDialog(ui::IDCANCEL);
            });
            return;
        }
        dialog.Combo(IDC_RESOLUTION).SelectString(-1, "1280x960");
        dialog.HandleCommand(IDC_SNAPSHOT, ui::Notification::Clicked);
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            if (dialog.GetDlgItemText(IDC_LOG).find("---OK") == std::string::npos)
                return;
            poll->stop();
            std::printf("with a 1280x960 picture shown: %s, %s\n", StatusLine("VmHWM").c_str(), StatusLine("VmRSS").c_str());
            dialog.EndDialog(ui::IDCANCEL);
        });
        poll->start(50);
    });
    dialog.DoModal();
    ui::SetCurrentBackend(nullptr);
    return 0;
}
