#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/dialog_template.h"
#include "ui/types.h"

namespace ui {

class CDataExchange;

// What a control reports to its window.
enum class Notification {
    Clicked,     // a button, check box or radio button was pressed
    EditChange,  // the operator typed into an edit or a combo's edit field
    SelChange,   // the operator chose a combo item
    DblClick,    // a list row was double-clicked
    DropDown,    // a combo's list is about to drop down
};

// Base of every window. A window holds its state as members and its behaviour
// as handlers registered by control id; a backend shows it and feeds it events
// through the Handle... entry points. A window never knows which backend it has.
class CDialog {
public:
    explicit CDialog(const DialogTemplate& tmpl);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Shows the window modally; returns the value given to EndDialog.
    int DoModal();
    void EndDialog(int result);
    const DialogTemplate& Template() const { return m_template; }
    bool IsWindowOpen() const { return m_peer != nullptr; }

    // Copies controls to members (save) or members to controls. Returns false
    // when a value could not be read; the operator has been told why.
    bool UpdateData(bool save = true);

    // --- services, for the window and the parts it owns ---
    // Controls.
    void EnableControl(int id, bool enable);
    bool IsControlEnabled(int id) const;
    std::string GetDlgItemText(int id) const;
    void SetDlgItemText(int id, std::string_view text);
    int IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, int state);
    CComboBox Combo(int id) const { return CComboBox(m_peer, id); }
    CListCtrl List(int id) const { return CListCtrl(m_peer, id); }
    CDateTimeCtrl DateTimeCtrl(int id) const { return CDateTimeCtrl(m_peer, id); }
    Rect GetClientRect(int id = 0) const;
    // A progress control: the figures of a transfer, or nullopt for none.
    void SetProgress(int id, const std::optional<Progress>& progress);

    // Timers, time, blocking waits.
    void SetTimer(int timerId, unsigned periodMs);
    void KillTimer(int timerId);
    void Sleep(unsigned ms);
    DateTime LocalTime() const;

    // Dialogs and drawing.
    int MessageBox(std::string_view text, std::string_view caption = {}, Icon icon = Icon::None);
    std::optional<std::string> GetOpenFileName(const FileDialogOptions& options = {});
    std::unique_ptr<Canvas> GetDC();
    void Invalidate(bool erase = true);
    // Drawing that covers the window's own for a while (a chart over the
    // picture area, say): ClearOverlay takes it away and what was below shows
    // again, without being drawn again. Repaints keep the overlay.
    std::unique_ptr<Canvas> GetOverlayDC();
    void ClearOverlay();

    // --- entry points for backends ---
    void AttachPeer(WindowPeer* peer) { m_peer = peer; }
    WindowPeer* Peer() const { return m_peer; }
    bool HandleInitDialog() { return OnInitDialog(); }
    void HandleCommand(int id, Notification notification);
    void HandleTimer(int timerId) { OnTimer(timerId); }
    void HandlePaint(Canvas& canvas) { OnPaint(canvas); }
    void HandleLButtonDown(Point p) { OnLButtonDown(p); }
    void HandleLButtonDblClk(Point p) { OnLButtonDblClk(p); }
    // An up-down control's arrow: -1 for up, +1 for down.
    void HandleDeltaPos(int id, int delta);
    // The close box or Escape.
    void HandleClose() { OnCancel(); }
    // Whether a handler is registered (backends may skip notifications nobody hears).
    bool Handles(int id, Notification notification) const;

protected:
    // Overridables, as in the classic framework. The base OnInitDialog shows the
    // members in the controls; OnOK reads them and ends with IDOK when they are
    // valid; OnCancel ends with IDCANCEL.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange&) {}
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnTimer(int) {}
    virtual void OnPaint(Canvas&) {}
    virtual void OnLButtonDown(Point) {}
    virtual void OnLButtonDblClk(Point) {}

    // Message map.
    void OnClicked(int id, std::function<void()> handler) { Register(id, Notification::Clicked, std::move(handler)); }
    void OnEditChange(int id, std::function<void()> handler) { Register(id, Notification::EditChange, std::move(handler)); }
    void OnSelChange(int id, std::function<void()> handler) { Register(id, Notification::SelChange, std::move(handler)); }
    void OnListDblClk(int id, std::function<void()> handler) { Register(id, Notification::DblClick, std::move(handler)); }
    void OnDropDown(int id, std::function<void()> handler) { Register(id, Notification::DropDown, std::move(handler)); }
    void OnDeltaPos(int id, std::function<void(int)> handler) { m_deltaHandlers[id] = std::move(handler); }
    void Register(int id, Notification notification, std::function<void()> handler);

private:
    friend class CDataExchange;
    // Selects radio `id` and clears the other radios of its group.
    void SelectRadio(int id);

    const DialogTemplate& m_template;
    WindowPeer* m_peer = nullptr;
    std::map<std::pair<int, Notification>, std::function<void()>> m_handlers;
    std::map<int, std::function<void(int)>> m_deltaHandlers;
};

// Shows the busy cursor for its life: for a handler that holds the window's
// thread in a procedure of several waits and port operations.
class CWaitCursor {
public:
    CWaitCursor() { CurrentBackend().SetWaitCursor(true); }
    ~CWaitCursor() { CurrentBackend().SetWaitCursor(false); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace ui
