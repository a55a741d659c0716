#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "headless/clock.h"
#include "headless/window.h"
#include "ui/backend.h"
#include "ui/dialog_template.h"
#include "ui/types.h"

namespace ui {
class CDialog;
}

namespace headless {

// Receives every event line (message boxes, pictures, disabled clicks, lines
// the application adds) as UTF-8 text, not yet escaped.
using EventSink = std::function<void(const std::string& line)>;

// Runs a modal window that a handler opened until the window ends (the
// backend sees EndDialog) or the handler gives up by returning; the returned
// value is the modal result when the window did not end by itself.
using ModalHandler = std::function<int(ui::CDialog&)>;

// A message box as it was shown.
struct ShownMessage {
    std::string text;
    std::string caption;
    ui::Icon icon = ui::Icon::None;
};

// A picture drawn by any window.
struct DrawnPicture {
    ui::Size size;    // decoded size
    ui::Rect target;  // where it was drawn, client pixels
};

// The outcome of a driving action: fine, or the reason it could not be done.
class DriveResult {
public:
    static DriveResult Ok() { return DriveResult(); }
    static DriveResult Fail(std::string reason)
    {
        DriveResult result;
        result.m_ok = false;
        result.m_error = std::move(reason);
        return result;
    }
    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const std::string& error() const { return m_error; }

private:
    bool m_ok = true;
    std::string m_error;
};

// The backend without a display: control values in memory, timers on a
// virtual or the real clock, message boxes printed and answered OK, file
// dialogs answered from a queue, drawing recorded.
class HeadlessBackend final : public ui::Backend {
public:
    explicit HeadlessBackend(ClockMode mode = ClockMode::Virtual);
    ~HeadlessBackend() override;
    HeadlessBackend(const HeadlessBackend&) = delete;
    HeadlessBackend& operator=(const HeadlessBackend&) = delete;

    // --- ui::Backend ---
    int RunModal(ui::CDialog& dialog, const ui::DialogTemplate& tmpl) override;
    void EndModal(ui::CDialog& dialog, int result) override;
    void Sleep(unsigned ms) override;
    ui::DateTime LocalTime() const override;
    std::uint64_t TickCount() const override { return NowMs(); }
    int MessageBox(ui::CDialog* owner, std::string_view text, std::string_view caption, ui::Icon icon) override;
    std::optional<std::string> GetOpenFileName(ui::CDialog* owner, const ui::FileDialogOptions& options) override;
    std::optional<ui::Size> JpegSize(std::span<const std::uint8_t> jpeg) const override;

    // --- windows ---
    // Opens a window without blocking (a test's main window): builds it, runs
    // OnInitDialog and returns. Close forgets it; its timers stop.
    void Open(ui::CDialog& dialog);
    void Open(ui::CDialog& dialog, const ui::DialogTemplate& tmpl);
    void Close(ui::CDialog& dialog);
    bool IsOpen(const ui::CDialog& dialog) const { return Find(dialog) != nullptr; }
    // Whether EndDialog was called for an open window, and with what.
    bool HasEnded(const ui::CDialog& dialog) const;
    std::optional<int> EndResult(const ui::CDialog& dialog) const;
    // The window of an open dialog; null when it is not open.
    HeadlessWindow* Window(const ui::CDialog& dialog) const { return Find(dialog); }
    // The first opened (bottom-most) and the last opened (innermost) window.
    ui::CDialog* BottomWindow() const;
    ui::CDialog* TopWindow() const;
    // Who runs modal windows; unset, a modal window ends with IDCANCEL at once.
    void SetModalHandler(ModalHandler handler) { m_modalHandler = std::move(handler); }

    // --- clock and message loop (see HeadlessClock) ---
    ClockMode Mode() const { return m_clock.Mode(); }
    std::uint64_t NowMs() const { return m_clock.NowMs(); }
    void SetStartTime(const ui::DateTime& start) { m_clock.SetStartTime(start); }
    // Runs the message loop for `ms`: the timers of every open window fire when
    // due, in time order.
    void RunLoop(unsigned ms) { m_clock.RunLoop(ms); }
    void AdvanceTime(unsigned ms) { m_clock.RunLoop(ms); }
    bool RunUntil(const std::function<bool()>& done, unsigned timeoutMs) { return m_clock.RunUntil(done, timeoutMs); }

    // --- events and records ---
    void SetEventSink(EventSink sink) { m_sink = std::move(sink); }
    // Prints an event line of the application's own (for example "sim: PATH").
    void Emit(const std::string& line);
    // Keeping events, messages, pictures and drawing in memory; on by default,
    // off for long-running scripts.
    void SetRecording(bool on) { m_recording = on; }
    bool Recording() const { return m_recording; }
    const std::vector<std::string>& Events() const { return m_events; }
    const std::vector<ShownMessage>& Messages() const { return m_messages; }
    const std::vector<DrawnPicture>& Pictures() const { return m_pictures; }
    void ClearRecords();
    // Drawing of an open window since its last erasing repaint.
    const std::vector<DrawOp>& DrawOps(const ui::CDialog& dialog) const;
    // Drawing on the overlay of an open window since it was last cleared.
    const std::vector<DrawOp>& OverlayOps(const ui::CDialog& dialog) const;
    int RepaintCount(const ui::CDialog& dialog) const;

    // --- test knobs ---
    // A message box keeps the message loop running for `ms` before it answers.
    void SetMessageBoxDwell(unsigned ms) { m_messageBoxDwellMs = ms; }
    // The answer of the next file-open dialog: a path, or nullopt for cancel.
    void QueueFileAnswer(std::optional<std::string> path) { m_fileAnswers.push_back(std::move(path)); }
    void QueueFileCancel() { m_fileAnswers.push_back(std::nullopt); }
    int FileDialogsShown() const { return m_fileDialogsShown; }

    // --- driving, as a person (and the script) would ---
    // Presses a control. A disabled one prints "disabled: ID" and nothing else
    // happens; a check box toggles before its handler runs; a radio button
    // selects itself and clears its group.
    DriveResult Click(ui::CDialog& dialog, int id);
    // Types into an edit or a combo's edit field (the EditChange handler runs),
    // or sets a date-time control from "YYYY-MM-DD HH:MM:SS".
    DriveResult SetText(ui::CDialog& dialog, int id, std::string_view text);
    // Chooses the first combo item equal to `text` (the SelChange handler runs).
    DriveResult Select(ui::CDialog& dialog, int id, std::string_view text);
    // Sets a check box (then its Clicked handler runs) or selects a radio button
    // as a click does; 0 on a radio button clears it without a handler.
    DriveResult Check(ui::CDialog& dialog, int id, int state);
    // Selects list row `row` (-1: none), then the double-click handler runs.
    DriveResult DblClick(ui::CDialog& dialog, int id, int row);
    // An up-down control's arrow: up reports -1, down +1.
    DriveResult Spin(ui::CDialog& dialog, int id, bool up);
    void LClick(ui::CDialog& dialog, ui::Point p);
    // A click followed by the double-click message, as a person's double click.
    void LDblClick(ui::CDialog& dialog, ui::Point p);
    // What `print` shows: an edit's or combo's text, a button's caption, 0/1 for
    // a check box or radio button, list rows joined by '\n' with cells joined by
    // '\t', a date-time as YYYY-MM-DD HH:MM:SS. nullopt for an unknown id.
    std::optional<std::string> Print(const ui::CDialog& dialog, int id) const;
    // The figures of the first progress control that shows a running transfer,
    // looking from the innermost window out; nullopt when none does.
    std::optional<ui::Progress> RunningTransfer() const;

    // Called by the canvas of a window for each picture it draws.
    void NotePicture(const ui::Size& size, const ui::Rect& target);

private:
    HeadlessWindow* Find(const ui::CDialog& dialog) const;
    HeadlessWindow& Create(ui::CDialog& dialog, const ui::DialogTemplate& tmpl);
    void Destroy(const ui::CDialog& dialog);
    // The control of `id` in an open window, or the reason there is none.
    ControlState* Resolve(ui::CDialog& dialog, int id, DriveResult& failure);
    bool Disabled(const ControlState& control, int id);

    HeadlessClock m_clock;  // outlives the windows, whose timers it holds
    std::vector<std::unique_ptr<HeadlessWindow>> m_windows;
    ModalHandler m_modalHandler;
    EventSink m_sink;
    bool m_recording = true;
    std::vector<std::string> m_events;
    std::vector<ShownMessage> m_messages;
    std::vector<DrawnPicture> m_pictures;
    unsigned m_messageBoxDwellMs = 0;
    std::deque<std::optional<std::string>> m_fileAnswers;
    int m_fileDialogsShown = 0;

    friend class HeadlessWindow;
    HeadlessClock& Clock() { return m_clock; }
};

// Makes a backend current for the life of the scope (tests).
class CurrentBackendScope {
public:
    explicit CurrentBackendScope(ui::Backend& backend) { ui::SetCurrentBackend(&backend); }
    ~CurrentBackendScope() { ui::SetCurrentBackend(nullptr); }
    CurrentBackendScope(const CurrentBackendScope&) = delete;
    CurrentBackendScope& operator=(const CurrentBackendScope&) = delete;
};

}  // namespace headless
