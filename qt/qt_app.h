#pragma once

// The desktop toolkit for the console's windows. This header deliberately
// includes no toolkit header, so the executable's main stays toolkit-free:
//
//     qtui::QtApplication qt(argc, argv);
//     ui::SetCurrentBackend(&qt.Backend());
//     ... construct the main window and call DoModal() ...

#include <memory>

#include "ui/backend.h"

namespace qtui {

class QtApplication {
public:
    // Starts the toolkit (display connection, fonts, style). argc and argv may
    // lose the toolkit's own options (-platform, -display ...).
    QtApplication(int& argc, char** argv);
    ~QtApplication();
    QtApplication(const QtApplication&) = delete;
    QtApplication& operator=(const QtApplication&) = delete;

    // The backend that shows windows on the desktop; valid while this object lives.
    ui::Backend& Backend();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace qtui
