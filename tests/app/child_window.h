#pragma once

// A window that a button of the main window runs modally, driven by the test
// as the script driver drives it: both windows' timers on the virtual clock,
// and the bytes for its own port from a camera the test plays.

#include <functional>

#include "tests/app/console.h"

namespace qzr::test {

class ChildWindow {
public:
    ChildWindow(headless::HeadlessBackend& backend, ui::CDialog& dialog) : backend(backend), dialog(dialog) {}

    void Click(int id) { ASSERT_TRUE(backend.Click(dialog, id)) << id; }
    void SetText(int id, const std::string& text) { ASSERT_TRUE(backend.SetText(dialog, id, text)) << id; }
    void Select(int id, const std::string& text) { ASSERT_TRUE(backend.Select(dialog, id, text)) << id << text; }
    void Check(int id, int state) { ASSERT_TRUE(backend.Check(dialog, id, state)) << id; }
    void DblClick(int id, int row) { ASSERT_TRUE(backend.DblClick(dialog, id, row)) << id; }
    std::string Text(int id) const { return backend.Print(dialog, id).value_or("<no control>"); }
    bool Open() const { return backend.IsOpen(dialog) && !backend.HasEnded(dialog); }
    void Run(unsigned ms) { backend.RunLoop(ms); }
    // Pieces of at most `piece` bytes, each queued at the port, then read by
    // a tick of `tickMs`.
    void Receive(PtyPair& pty, const Bytes& bytes, unsigned tickMs, std::size_t piece)
    {
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const Bytes part(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + piece)));
            pty.Write(part);
            ASSERT_GE(pty.WaitQueuedAtSlave(static_cast<int>(part.size())), static_cast<int>(part.size()));
            Run(tickMs);
        }
    }

    headless::HeadlessBackend& backend;
    ui::CDialog& dialog;
};

// Presses `button` in the main window and runs `body` in the window it opens,
// which is then closed as its close box closes it, if still open. False when
// no window opened.
inline bool InChildWindow(Console& console, int button, const std::function<void(ChildWindow&)>& body)
{
    bool opened = false;
    console.backend.SetModalHandler([&](ui::CDialog& dialog) {
        opened = true;
        ChildWindow child(console.backend, dialog);
        body(child);
        if (child.Open())
            dialog.HandleClose();
        return ui::IDCANCEL;
    });
    console.Click(button);
    console.backend.SetModalHandler({});
    return opened;
}

}  // namespace qzr::test
