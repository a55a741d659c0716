#include "headless/backend.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "headless/jpeg.h"
#include "ui/dialog.h"

namespace headless {
namespace {

std::int64_t SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

ui::DateTime AddSeconds(const ui::DateTime& t, std::int64_t seconds)
{
    std::int64_t total = DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second +
                         seconds;
    std::int64_t days = total / 86400;
    std::int64_t rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    ui::DateTime out;
    CivilFromDays(days, out.year, out.month, out.day);
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest / 60 % 60);
    out.second = static_cast<int>(rest % 60);
    return out;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<ui::DateTime> ParseDateTime(std::string_view text)
{
    // YYYY-MM-DD HH:MM:SS, every field its full width.
    static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != kShape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i])
            return std::nullopt;
    }
    const auto field = [&](std::size_t at, std::size_t width) {
        int value = 0;
        for (std::size_t i = at; i < at + width; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    ui::DateTime t{field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2)};
    if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

HeadlessBackend::HeadlessBackend(ClockMode mode) : m_mode(mode), m_realStartNs(SteadyNs()) {}

// The dialogs may be gone already (a test's locals): they are not touched here.
HeadlessBackend::~HeadlessBackend() = default;

// --- windows -----------------------------------------------------------------

HeadlessWindow* HeadlessBackend::Find(const ui::CDialog& dialog) const
{
    for (const auto& window : m_windows)
        if (&window->Dialog() == &dialog)
            return window.get();
    return nullptr;
}

HeadlessWindow& HeadlessBackend::Create(ui::CDialog& dialog, const ui::DialogTemplate& tmpl)
{
    m_windows.push_back(std::make_unique<HeadlessWindow>(*this, dialog, tmpl));
    HeadlessWindow& window = *m_windows.back();
    dialog.AttachPeer(&window);
    return window;
}

void HeadlessBackend::Destroy(const ui::CDialog& dialog)
{
    const auto it = std::find_if(m_windows.begin(), m_windows.end(),
                                 [&](const auto& window) { return &window->Dialog() == &dialog; });
    if (it == m_windows.end())
        return;
    (*it)->Dialog().AttachPeer(nullptr);
    m_windows.erase(it);
}

int HeadlessBackend::RunModal(ui::CDialog& dialog, const ui::DialogTemplate& tmpl)
{
    if (Find(dialog))
        return -1;  // already showing: a window cannot run twice
    Create(dialog, tmpl);
    dialog.HandleInitDialog();
    int given = ui::IDCANCEL;
    if (HeadlessWindow* window = Find(dialog); window && !window->Ended() && m_modalHandler) {
        ModalHandler handler = m_modalHandler;  // the handler may replace itself
        given = handler(dialog);
    }
    const HeadlessWindow* window = Find(dialog);
    const int result = window && window->Ended() ? window->Result() : given;
    Destroy(dialog);
    return result;
}

void HeadlessBackend::EndModal(ui::CDialog& dialog, int result)
{
    if (HeadlessWindow* window = Find(dialog))
        window->End(result);
}

void HeadlessBackend::Open(ui::CDialog& dialog) { Open(dialog, dialog.Template()); }

void HeadlessBackend::Open(ui::CDialog& dialog, const ui::DialogTemplate& tmpl)
{
    if (Find(dialog))
        return;
    Create(dialog, tmpl);
    dialog.HandleInitDialog();
}

void HeadlessBackend::Close(ui::CDialog& dialog) { Destroy(dialog); }

bool HeadlessBackend::HasEnded(const ui::CDialog& dialog) const
{
    const HeadlessWindow* window = Find(dialog);
    return window && window->Ended();
}

std::optional<int> HeadlessBackend::EndResult(const ui::CDialog& dialog) const
{
    const HeadlessWindow* window = Find(dialog);
    if (!window || !window->Ended())
        return std::nullopt;
    return window->Result();
}

ui::CDialog* HeadlessBackend::BottomWindow() const
{
    return m_windows.empty() ? nullptr : &m_windows.front()->Dialog();
}

ui::CDialog* HeadlessBackend::TopWindow() const { return m_windows.empty() ? nullptr : &m_windows.back()->Dialog(); }

// --- clock and message loop ----------------------------------------------------

std::uint64_t HeadlessBackend::NowMs() const
{
    if (m_mode == ClockMode::Virtual)
        return m_virtualNowMs;
    return static_cast<std::uint64_t>((SteadyNs() - m_realStartNs) / 1000000);
}

void HeadlessBackend::WaitUntil(std::uint64_t deadlineMs)
{
    if (m_mode == ClockMode::Virtual) {
        m_virtualNowMs = std::max(m_virtualNowMs, deadlineMs);
        return;
    }
    const std::int64_t target = m_realStartNs + static_cast<std::int64_t>(deadlineMs) * 1000000;
    const std::int64_t now = SteadyNs();
    if (target > now)
        std::this_thread::sleep_for(std::chrono::nanoseconds(target - now));
}

void HeadlessBackend::Sleep(unsigned ms)
{
    if (m_mode == ClockMode::Virtual)
        m_virtualNowMs += ms;
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ui::DateTime HeadlessBackend::LocalTime() const
{
    if (m_mode == ClockMode::Virtual)
        return AddSeconds(m_startTime, static_cast<std::int64_t>(m_virtualNowMs / 1000));
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

HeadlessWindow* HeadlessBackend::EarliestTimer(int& timerId) const
{
    HeadlessWindow* best = nullptr;
    const HeadlessWindow::Timer* bestTimer = nullptr;
    for (const auto& window : m_windows) {
        if (window->Ended())
            continue;  // its loop is over; the window only waits to be taken down
        for (const auto& [id, timer] : window->Timers()) {
            if (!bestTimer || timer.dueMs < bestTimer->dueMs ||
                (timer.dueMs == bestTimer->dueMs && timer.order < bestTimer->order)) {
                best = window.get();
                bestTimer = &timer;
                timerId = id;
            }
        }
    }
    return best;
}

bool HeadlessBackend::RunLoopUntil(std::uint64_t deadline, const std::function<bool()>* done)
{
    const auto finished = [&] { return done && (*done)(); };
    for (;;) {
        if (finished())
            return true;
        int timerId = 0;
        HeadlessWindow* window = EarliestTimer(timerId);
        const std::uint64_t now = NowMs();
        if (!window || window->Timers().at(timerId).dueMs > deadline) {
            WaitUntil(deadline);
            return finished();
        }
        // A handler that blocked past the end of the run ends it, like any late loop.
        if (now > deadline)
            return finished();
        WaitUntil(window->Timers().at(timerId).dueMs);
        // Missed periods are not made up: the next event is one period after this one.
        HeadlessWindow::Timer& timer = window->Timers().at(timerId);
        timer.dueMs = NowMs() + timer.periodMs;
        window->Dialog().HandleTimer(timerId);
    }
}

void HeadlessBackend::RunLoop(unsigned ms) { RunLoopUntil(NowMs() + ms, nullptr); }

bool HeadlessBackend::RunUntil(const std::function<bool()>& done, unsigned timeoutMs)
{
    return RunLoopUntil(NowMs() + timeoutMs, &done);
}

// --- dialogs -----------------------------------------------------------------

int HeadlessBackend::MessageBox(ui::CDialog*, std::string_view text, std::string_view caption, ui::Icon icon)
{
    if (m_recording)
        m_messages.push_back({std::string(text), std::string(caption), icon});
    Emit("message: " + std::string(text));
    if (m_messageBoxDwellMs > 0)
        RunLoop(m_messageBoxDwellMs);
    return ui::IDOK;
}

std::optional<std::string> HeadlessBackend::GetOpenFileName(ui::CDialog*, const ui::FileDialogOptions&)
{
    ++m_fileDialogsShown;
    if (m_fileAnswers.empty())
        return std::nullopt;
    std::optional<std::string> answer = std::move(m_fileAnswers.front());
    m_fileAnswers.pop_front();
    return answer;
}

std::optional<ui::Size> HeadlessBackend::JpegSize(std::span<const std::uint8_t> jpeg) const
{
    return DecodeJpegSize(jpeg);
}

// --- events and records --------------------------------------------------------

void HeadlessBackend::Emit(const std::string& line)
{
    if (m_recording)
        m_events.push_back(line);
    if (m_sink)
        m_sink(line);
}

void HeadlessBackend::NotePicture(const ui::Size& size, const ui::Rect& target)
{
    if (m_recording)
        m_pictures.push_back({size, target});
    Emit("picture: " + std::to_string(size.width) + "x" + std::to_string(size.height) + " at " +
         std::to_string(target.left) + "," + std::to_string(target.top) + "," + std::to_string(target.Width()) +
         "," + std::to_string(target.Height()));
}

void HeadlessBackend::ClearRecords()
{
    m_events.clear();
    m_messages.clear();
    m_pictures.clear();
}

const std::vector<DrawOp>& HeadlessBackend::DrawOps(const ui::CDialog& dialog) const
{
    static const std::vector<DrawOp> kNone;
    const HeadlessWindow* window = Find(dialog);
    return window ? window->DrawOps() : kNone;
}

const std::vector<DrawOp>& HeadlessBackend::OverlayOps(const ui::CDialog& dialog) const
{
    static const std::vector<DrawOp> kNone;
    const HeadlessWindow* window = Find(dialog);
    return window ? window->OverlayOps() : kNone;
}

int HeadlessBackend::RepaintCount(const ui::CDialog& dialog) const
{
    const HeadlessWindow* window = Find(dialog);
    return window ? window->RepaintCount() : 0;
}

// --- driving -----------------------------------------------------------------

ControlState* HeadlessBackend::Resolve(ui::CDialog& dialog, int id, DriveResult& failure)
{
    HeadlessWindow* window = Find(dialog);
    if (!window) {
        failure = DriveResult::Fail("the window is not open");
        return nullptr;
    }
    ControlState* control = window->Control(id);
    if (!control)
        failure = DriveResult::Fail("unknown id " + std::to_string(id));
    return control;
}

bool HeadlessBackend::Disabled(const ControlState& control, int id)
{
    if (control.enabled)
        return false;
    Emit("disabled: " + std::to_string(id));
    return true;
}

DriveResult HeadlessBackend::Click(ui::CDialog& dialog, int id)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (Disabled(*control, id))
        return DriveResult::Ok();
    if (control->kind == ui::ControlKind::CheckBox)
        control->check = control->check ? 0 : 1;
    dialog.HandleCommand(id, ui::Notification::Clicked);
    return DriveResult::Ok();
}

DriveResult HeadlessBackend::SetText(ui::CDialog& dialog, int id, std::string_view text)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    switch (control->kind) {
    case ui::ControlKind::Edit:
    case ui::ControlKind::ComboBox:
        if (Disabled(*control, id))
            return DriveResult::Ok();
        control->text = std::string(text);
        // Typing replaces the chosen item with free text.
        if (control->kind == ui::ControlKind::ComboBox)
            control->selection = -1;
        dialog.HandleCommand(id, ui::Notification::EditChange);
        return DriveResult::Ok();
    case ui::ControlKind::DateTimePicker: {
        const std::optional<ui::DateTime> value = ParseDateTime(text);
        if (!value)
            return DriveResult::Fail("\"" + std::string(text) + "\" is not YYYY-MM-DD HH:MM:SS");
        if (Disabled(*control, id))
            return DriveResult::Ok();
        control->dateTime = *value;
        return DriveResult::Ok();
    }
    default:
        return DriveResult::Fail("control " + std::to_string(id) + " takes no typing");
    }
}

DriveResult HeadlessBackend::Select(ui::CDialog& dialog, int id, std::string_view text)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (!control->IsCombo())
        return DriveResult::Fail("control " + std::to_string(id) + " is not a combo box");
    const auto it = std::find(control->items.begin(), control->items.end(), text);
    if (it == control->items.end())
        return DriveResult::Fail("combo " + std::to_string(id) + " has no item \"" + std::string(text) + "\"");
    if (Disabled(*control, id))
        return DriveResult::Ok();
    control->selection = static_cast<int>(it - control->items.begin());
    control->text = *it;
    dialog.HandleCommand(id, ui::Notification::SelChange);
    return DriveResult::Ok();
}

DriveResult HeadlessBackend::Check(ui::CDialog& dialog, int id, int state)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (state != 0 && state != 1)
        return DriveResult::Fail("a check state is 0 or 1");
    if (!control->IsButtonWithState())
        return DriveResult::Fail("control " + std::to_string(id) + " is not a check box or radio button");
    if (Disabled(*control, id))
        return DriveResult::Ok();
    if (control->kind == ui::ControlKind::CheckBox) {
        control->check = state;
        dialog.HandleCommand(id, ui::Notification::Clicked);
    } else if (state == 1) {
        dialog.HandleCommand(id, ui::Notification::Clicked);
    } else {
        control->check = 0;
    }
    return DriveResult::Ok();
}

DriveResult HeadlessBackend::DblClick(ui::CDialog& dialog, int id, int row)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (control->kind != ui::ControlKind::ListView)
        return DriveResult::Fail("control " + std::to_string(id) + " is not a list");
    if (row < -1 || row >= static_cast<int>(control->rows.size()))
        return DriveResult::Fail("list " + std::to_string(id) + " has no row " + std::to_string(row));
    if (Disabled(*control, id))
        return DriveResult::Ok();
    control->selectedRow = row;
    dialog.HandleCommand(id, ui::Notification::DblClick);
    return DriveResult::Ok();
}

DriveResult HeadlessBackend::Spin(ui::CDialog& dialog, int id, bool up)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (control->kind != ui::ControlKind::UpDown)
        return DriveResult::Fail("control " + std::to_string(id) + " is not an up-down control");
    if (Disabled(*control, id))
        return DriveResult::Ok();
    dialog.HandleDeltaPos(id, up ? -1 : 1);
    return DriveResult::Ok();
}

void HeadlessBackend::LClick(ui::CDialog& dialog, ui::Point p)
{
    if (Find(dialog))
        dialog.HandleLButtonDown(p);
}

void HeadlessBackend::LDblClick(ui::CDialog& dialog, ui::Point p)
{
    if (!Find(dialog))
        return;
    dialog.HandleLButtonDown(p);
    if (Find(dialog))
        dialog.HandleLButtonDblClk(p);
}

std::optional<std::string> HeadlessBackend::Print(const ui::CDialog& dialog, int id) const
{
    const HeadlessWindow* window = Find(dialog);
    if (!window)
        return std::nullopt;
    const ControlState* control = window->Control(id);
    if (!control)
        return std::nullopt;
    switch (control->kind) {
    case ui::ControlKind::CheckBox:
    case ui::ControlKind::RadioButton:
        return std::string(control->check ? "1" : "0");
    case ui::ControlKind::ListView: {
        std::string text;
        for (std::size_t r = 0; r < control->rows.size(); ++r) {
            if (r > 0)
                text += '\n';
            const auto& cells = control->rows[r];
            const std::size_t columns = std::max(cells.size(), control->columns.size());
            for (std::size_t c = 0; c < columns; ++c) {
                if (c > 0)
                    text += '\t';
                if (c < cells.size())
                    text += cells[c];
            }
        }
        return text;
    }
    case ui::ControlKind::DateTimePicker:
        return FormatPickerTime(control->dateTime, "yyyy-MM-dd HH:mm:ss");
    case ui::ControlKind::Progress:
        return FormatProgress(control->progress);
    default:
        return window->GetText(id);
    }
}

std::optional<ui::Progress> HeadlessBackend::RunningTransfer() const
{
    for (auto window = m_windows.rbegin(); window != m_windows.rend(); ++window)
        for (const ui::ControlTemplate& c : (*window)->Template().controls)
            if (c.kind == ui::ControlKind::Progress)
                if (const ControlState* control = (*window)->Control(c.id); control && control->progress)
                    return control->progress;
    return std::nullopt;
}

}  // namespace headless
