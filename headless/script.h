#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "headless/backend.h"

namespace headless {

struct ScriptOptions {
    // The combo whose entries `ports` prints, in the bottom-most window.
    int portComboId = 1013;
    // Scripts run on the real clock; tests of the driver may take the virtual one.
    ClockMode clock = ClockMode::Real;
    // The folder relative paths of `file` answers are taken from (empty: the
    // working directory).
    std::string fileBase;
};

// Runs the application's windows under a script read one command a line from
// `in`:
//
//   set ID TEXT         type into an edit, a combo's edit field, a date-time
//   select ID TEXT      choose the first combo item equal to TEXT
//   check ID 0|1        set a check box or radio button, running its handler
//   click ID            press a button (a modal window it opens takes the
//                       following commands until it closes)
//   dblclick ID ROW     double click list row ROW (-1: no row)
//   lclick X Y / ldblclick X Y    mouse in the current window's client area
//   spin ID up|down     an up-down control's arrow
//   file PATH | file cancel       answer of the next file-open dialog
//   wait MS             run the message loop for MS milliseconds
//   until ID TEXT MS    run it until the control's text contains TEXT
//   print ID            print ID=TEXT
//   sync                print "sync"
//   ports               print the port combo's entries, one a line
//   progress            print "progress: DONE/TOTAL bytes, RATE B/s" for the
//                       transfer that runs, or "progress: idle"
//
// Lines starting with '#' are comments. Arguments understand the escapes
// \r \n \t \\ \xHH; TEXT runs to the end of the line. Every event (message
// boxes, pictures, disabled controls, lines the application emits) is written
// to `out` as one escaped UTF-8 line and flushed at once. Timers run only
// inside wait and until.
//
// `application` is called with the backend made current; it shows the main
// window modally (and may Emit lines of its own first). The first failing
// command writes its reason to `err`, closes all windows and makes the result
// 1; the end of the input closes the windows and the result is 0.
int RunScript(std::istream& in, std::ostream& out, std::ostream& err, const ScriptOptions& options,
              const std::function<void(HeadlessBackend&)>& application);

}  // namespace headless
