// qzr-console: the console on the desktop, or headless under a script.
//
//   qzr-console [--sim]                     the main window
//   qzr-console --headless [--script FILE|-] [--workdir DIR] [--sim]
//                                           the same windows, driven by
//                                           commands, no display
//
// --sim starts the built-in simulated camera and lists its device first in
// the Comport combo, so the console shows pictures without hardware.
// --workdir is where pictures, loog.txt and the other files the windows write
// go (made when missing); relative paths in the script's `file` answers are
// still taken from the folder the console was started in. The factory marker
// and the setting counter live in the user's settings
// ($XDG_CONFIG_HOME/qzr/no.conf on Linux).
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/camera_test_dlg.h"
#include "headless/script.h"
#include "qt/qt_app.h"
#include "qt/qsettings_store.h"
#include "sim/camera.h"

namespace {

struct Options {
    bool headless = false;
    bool sim = false;
    std::string script;
    std::string workdir;
};

const char* const kUsage =
    "usage: qzr-console [--sim]\n"
    "       qzr-console --headless [--script FILE|-] [--workdir DIR] [--sim]\n";

int Usage(const char* problem)
{
    std::cerr << "qzr-console: " << problem << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::vector<char*> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--sim") {
            options.sim = true;
        } else if (arg == "--script" && i + 1 < argc) {
            options.script = argv[++i];
        } else if (arg == "--workdir" && i + 1 < argc) {
            options.workdir = argv[++i];
        } else {
            rest.push_back(argv[i]);  // toolkit options such as -platform
        }
    }
    if (!options.script.empty() && !options.headless)
        return Usage("--script needs --headless");
    if (!options.workdir.empty() && !options.headless)
        return Usage("--workdir needs --headless");

    std::unique_ptr<qzr::sim::Camera> camera;
    if (options.sim) {
        qzr::sim::CameraOptions cameraOptions;
        camera = std::make_unique<qzr::sim::Camera>(cameraOptions);
        std::string error;
        if (!camera->Start(&error)) {
            std::cerr << "qzr-console: the simulated camera did not start: " << error << "\n";
            return 1;
        }
    }

    qzr::CQSettingsStore settings;
    CTestApp app;
    app.m_pSettings = &settings;
    if (camera)
        app.m_preferredPorts.push_back(camera->DevicePath());

    if (options.headless) {
        std::ifstream file;
        std::istream* in = &std::cin;
        if (!options.script.empty() && options.script != "-") {
            file.open(options.script);
            if (!file) {
                std::cerr << "qzr-console: cannot read the script " << options.script << "\n";
                return 1;
            }
            in = &file;
        }
        headless::ScriptOptions scriptOptions;
        std::error_code ec;
        scriptOptions.fileBase = std::filesystem::current_path(ec).string();
        if (!options.workdir.empty()) {
            std::filesystem::create_directories(options.workdir, ec);
            std::filesystem::current_path(options.workdir, ec);
            if (ec) {
                std::cerr << "qzr-console: cannot work in " << options.workdir << ": " << ec.message() << "\n";
                return 1;
            }
        }
        return headless::RunScript(*in, std::cout, std::cerr, scriptOptions,
                                   [&](headless::HeadlessBackend& backend) {
                                       if (camera)
                                           backend.Emit("sim: " + camera->DevicePath());
                                       app.InitInstance();
                                   });
    }

    int qtArgc = static_cast<int>(rest.size());
    rest.push_back(nullptr);  // argv ends with a null pointer
    qtui::QtApplication qt(qtArgc, rest.data());
    ui::SetCurrentBackend(&qt.Backend());
    app.InitInstance();
    ui::SetCurrentBackend(nullptr);
    return 0;
}
