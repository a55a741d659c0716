#pragma once

#include <functional>

#include "session/reply_router.h"
#include "ui/dialog.h"

namespace ui {
class CDataExchange;
class Canvas;
}  // namespace ui

namespace qzr {

class CSession;

// The message map of the window a part belongs to: the part's handlers for
// its controls.
class PartControls {
public:
    using Register = std::function<void(int id, ui::Notification, std::function<void()>)>;
    explicit PartControls(Register add) : m_add(std::move(add)) {}

    void OnClicked(int id, std::function<void()> handler) { m_add(id, ui::Notification::Clicked, std::move(handler)); }
    void OnEditChange(int id, std::function<void()> handler) { m_add(id, ui::Notification::EditChange, std::move(handler)); }
    void OnSelChange(int id, std::function<void()> handler) { m_add(id, ui::Notification::SelChange, std::move(handler)); }

private:
    Register m_add;
};

// One subsystem of the main window, in a folder of its own. It owns its
// state, reaches its neighbours only through the session, and offers the
// window what the window loops over: its controls and handlers, its data
// exchange, its start-up defaults, its timers, its reply routes and its
// painting. Building a part registers it with the session, so adding a
// subsystem to the window is one member of the window.
class CDialogPart {
public:
    explicit CDialogPart(CSession& session);
    virtual ~CDialogPart() = default;
    CDialogPart(const CDialogPart&) = delete;
    CDialogPart& operator=(const CDialogPart&) = delete;

    virtual void AddControls(PartControls&) {}
    virtual void AddRoutes(ReplyRouter&) {}
    virtual void DoDataExchange(ui::CDataExchange&) {}
    // Start-up: defaults before the controls are filled, then the part's own
    // initialisation once the window's controls exist.
    virtual void SetDefaults() {}
    virtual void OnInitDialog() {}
    // True when the timer is the part's (the part has handled it).
    virtual bool OnTimer(int) { return false; }
    virtual void OnPaint(ui::Canvas&) {}

protected:
    CSession& Session() { return m_session; }
    ui::CDialog& Window();

private:
    CSession& m_session;
};

}  // namespace qzr
