#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ui/canvas.h"
#include "ui/dialog_template.h"
#include "ui/types.h"

namespace ui {

class CDialog;

// The toolkit side of one window: control state, timers and drawing. A peer is
// made by the backend from the window's template; controls are named by id.
// Ids that the template does not hold are ignored by setters and give empty
// values from getters.
class WindowPeer {
public:
    virtual ~WindowPeer() = default;

    // Text of an edit, of a combo's edit field, a button's caption or a label.
    virtual std::string GetText(int id) const = 0;
    virtual void SetText(int id, std::string_view text) = 0;

    // Check boxes and radio buttons: 0 clear, 1 checked.
    virtual int GetCheck(int id) const = 0;
    virtual void SetCheck(int id, int state) = 0;

    virtual bool IsEnabled(int id) const = 0;
    virtual void Enable(int id, bool enable) = 0;

    // Combo boxes. Adding to a sorted combo inserts in alphabetical order; the
    // result is the new item's index. Selecting an item shows its text in the
    // edit field; index -1 clears the selection (the edit text stays).
    virtual int ComboCount(int id) const = 0;
    virtual std::string ComboItem(int id, int index) const = 0;
    virtual int ComboAdd(int id, std::string_view text) = 0;
    virtual int ComboInsert(int id, int index, std::string_view text) = 0;
    virtual void ComboReset(int id) = 0;
    virtual int ComboSelection(int id) const = 0;
    virtual void ComboSetSelection(int id, int index) = 0;

    // List views (report view).
    virtual void ListInsertColumn(int id, int column, std::string_view title, int width) = 0;
    virtual int ListInsertRow(int id, int row, std::string_view text) = 0;
    virtual void ListSetItemText(int id, int row, int column, std::string_view text) = 0;
    virtual std::string ListItemText(int id, int row, int column) const = 0;
    virtual int ListRowCount(int id) const = 0;
    virtual int ListColumnCount(int id) const = 0;
    virtual void ListDeleteAll(int id) = 0;
    virtual int ListSelectedRow(int id) const = 0;  // first selected row, -1 for none
    virtual void ListSelectRow(int id, int row) = 0;  // -1 clears the selection

    // Date-time pickers.
    virtual DateTime GetDateTime(int id) const = 0;
    virtual void SetDateTime(int id, const DateTime& value) = 0;
    virtual void SetDateTimeFormat(int id, std::string_view format) = 0;

    // Progress controls: the figures of the transfer that runs, or nullopt
    // when none does (the bar is empty).
    virtual void SetProgress(int id, const std::optional<Progress>& progress) = 0;

    // Client rectangle of a control in pixels ({0, 0, width, height}); id 0 is
    // the window's own client area.
    virtual Rect ClientRect(int id) const = 0;

    // Timer `timerId` delivers CDialog::HandleTimer every `periodMs` until killed;
    // setting it again restarts it with the new period.
    virtual void SetTimer(int timerId, unsigned periodMs) = 0;
    virtual void KillTimer(int timerId) = 0;

    // Drawing outside painting (the window's device context).
    virtual std::unique_ptr<Canvas> GetCanvas() = 0;
    // The overlay: a second drawing surface over the first. What is drawn
    // there hides what lies below it; clearing it shows the window's own
    // drawing again as it was, without drawing it anew. Repaints leave it alone.
    virtual std::unique_ptr<Canvas> GetOverlayCanvas() = 0;
    virtual void ClearOverlay() = 0;
    // Asks for a repaint; with `erase` everything drawn so far is cleared first.
    virtual void Invalidate(bool erase) = 0;
};

struct FileDialogOptions {
    std::string filter;  // "name|pattern" pairs separated by '|'; empty for all files
    bool hideReadOnly = true;
};

// Process-wide services of the toolkit: making windows, running them modally,
// the clock, message boxes and file dialogs.
class Backend {
public:
    virtual ~Backend() = default;

    // Builds the window from its template, runs OnInitDialog and the window's
    // message loop until EndDialog; returns the EndDialog result.
    virtual int RunModal(CDialog& dialog, const DialogTemplate& tmpl) = 0;
    // Ends the modal loop of `dialog` with `result` once the current handler returns.
    virtual void EndModal(CDialog& dialog, int result) = 0;

    // Blocks the calling (only) thread; no window message is handled meanwhile.
    virtual void Sleep(unsigned ms) = 0;
    // The busy cursor over the windows, on or off again (calls nest).
    virtual void SetWaitCursor(bool) {}
    virtual DateTime LocalTime() const = 0;
    // Milliseconds on a steady clock (for rates and time-outs); the base
    // takes the system's, a backend with a clock of its own overrides it.
    virtual std::uint64_t TickCount() const;

    virtual int MessageBox(CDialog* owner, std::string_view text, std::string_view caption, Icon icon) = 0;
    // The chosen path, or nullopt when the operator cancels.
    virtual std::optional<std::string> GetOpenFileName(CDialog* owner, const FileDialogOptions& options) = 0;

    // Size of a JPEG picture, or nullopt when it does not decode.
    virtual std::optional<Size> JpegSize(std::span<const std::uint8_t> jpeg) const = 0;
};

// The backend every window uses; set once by the executable or the test.
Backend& CurrentBackend();
void SetCurrentBackend(Backend* backend);

}  // namespace ui
