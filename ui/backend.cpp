#include "ui/backend.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "ui/dialog_template.h"

namespace ui {
namespace {
Backend* g_backend = nullptr;
}

Backend& CurrentBackend()
{
    if (!g_backend)
        std::abort();  // an executable or test forgot to choose a backend
    return *g_backend;
}

void SetCurrentBackend(Backend* backend) { g_backend = backend; }

std::uint64_t Backend::TickCount() const
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

std::string FormatDateTime(const DateTime& t, const char* format)
{
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    char buffer[256];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

const ControlTemplate* FindControl(const DialogTemplate& tmpl, int id)
{
    if (id == IDC_STATIC)
        return nullptr;
    for (const ControlTemplate& control : tmpl.controls)
        if (control.id == id)
            return &control;
    return nullptr;
}

}  // namespace ui
