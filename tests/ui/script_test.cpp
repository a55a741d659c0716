// The script driver on string streams, with the test window as the application.
#include <gtest/gtest.h>

#include <sstream>

#include "headless/escape.h"
#include "headless/script.h"
#include "tests/ui/test_jpeg.h"
#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

using headless::EscapeForOutput;
using headless::UnescapeArgument;

TEST(ScriptEscapes, ArgumentsIn)
{
    struct Case {
        std::string_view in;
        std::optional<std::string> out;
    };
    const Case cases[] = {
        {"plain text", "plain text"},
        {R"(a\tb\r\nc)", "a\tb\r\nc"},
        {R"(\\x41)", R"(\x41)"},
        {R"(\x41\x7e\xFF)", "A~\xFF"},
        {R"(C:\dir)", R"(C:\dir)"},  // other escapes stay as typed
        {R"(end\)", R"(end\)"},
        {R"(\xG1)", std::nullopt},
        {R"(\x4)", std::nullopt},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UnescapeArgument(c.in), c.out) << c.in;
}

TEST(ScriptEscapes, LinesOut)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"Open serial portCOM3", "Open serial portCOM3"},
        {"串口已打开", "串口已打开"},
        {"line\r\nnext\tcell", R"(line\r\nnext\tcell)"},
        {"back\\slash", R"(back\\slash)"},
        {std::string("nul\0bell\a" "del\x7F", 13), R"(nul\x00bell\x07del\x7F)"},
        {"\xB4\xAE\xBF\xDA", R"(\xB4\xAE\xBF\xDA)"},      // GBK bytes are not UTF-8
        {"\xC0\x80", R"(\xC0\x80)"},                      // overlong
        {"\xED\xA0\x80", R"(\xED\xA0\x80)"},              // a surrogate
        {"\xE4\xB8", R"(\xE4\xB8)"},                      // cut short
        {"ok\xE4\xB8\xB2!", "ok\xE4\xB8\xB2!"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EscapeForOutput(c.in), c.out) << c.out;
}

// Runs `script` against the test window on the virtual clock.
struct ScriptRun {
    int status = -1;
    std::vector<std::string> out;
    std::string err;
    std::vector<std::string> log;  // the window's handler notes
};

ScriptRun RunScriptOn(const std::string& script, const std::function<void(CTestDlg&)>& prepare = {})
{
    std::istringstream in(script);
    std::ostringstream out;
    std::ostringstream err;
    headless::ScriptOptions options;
    options.portComboId = IDC_PORTS;
    options.clock = headless::ClockMode::Virtual;
    ScriptRun run;
    run.status = headless::RunScript(in, out, err, options, [&](headless::HeadlessBackend& backend) {
        backend.Emit("app: started");
        CTestDlg dlg;
        if (prepare)
            prepare(dlg);
        dlg.DoModal();
        run.log = dlg.m_log;
    });
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        run.out.push_back(line);
    run.err = err.str();
    return run;
}

using Lines = std::vector<std::string>;

TEST(Script, CommandsAndTheirOutput)
{
    struct Case {
        const char* name;
        std::string script;
        Lines out;
    };
    const Case cases[] = {
        {"set and print", "set 103 hello\\tworld\\x21\nprint 103\n", {"103=hello\\tworld!"}},
        {"empty text", "set 103\nprint 103\nset 103 \nprint 103\n", {"103=", "103="}},
        {"text keeps its blanks", "set 103  two  spaces \nprint 103\n", {"103= two  spaces "}},
        {"select", "select 110 115200\nprint 110\n", {"110=115200"}},
        {"check", "check 104 1\nprint 104\ncheck 107 1\nprint 105\nprint 107\n", {"104=1", "105=0", "107=1"}},
        {"caption", "print 115\n", {"115=Go"}},
        {"date-time", "set 113 2025-03-04 05:06:07\nprint 113\n", {"113=2025-03-04 05:06:07"}},
        {"disabled", "click 116\nsync\n", {"disabled: 116", "sync"}},
        {"comments and blank lines", "# a comment\n\n   \n  # indented\nsync\n", {"sync"}},
        {"crlf lines", "set 103 x\r\nprint 103\r\n", {"103=x"}},
        {"ports", "ports\n", {"com1", "COM2", "COM3"}},
        {"list", "print 112\n", {"112="}},
        {"file answers", "file /tmp/a b.bin\nclick 119\nfile cancel\nclick 119\nprint 103\n", {"103=start"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptRun run = RunScriptOn(c.script);
        EXPECT_EQ(run.status, 0) << run.err;
        Lines expected = {"app: started"};
        expected.insert(expected.end(), c.out.begin(), c.out.end());
        EXPECT_EQ(run.out, expected);
        EXPECT_EQ(run.err, "");
    }
}

TEST(Script, HandlersRunAsForAPerson)
{
    const ScriptRun run = RunScriptOn(
        "click 115\nclick 104\ndblclick 112 1\ndblclick 112 -1\nspin 114 up\nspin 114 down\n"
        "lclick 3 4\nldblclick 5 6\nselect 110 19200\nset 110 4800\nfile /tmp/fw.bin\nclick 119\n"
        "print 112\n",
        [](CTestDlg& dlg) { dlg.m_rows = {{"a.jpg", "1"}, {"b\tc.jpg", "2"}}; });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.log, (Lines{"go", "flag 1", "row 1", "row -1", "delta -1", "delta 1", "down 3,4", "down 5,6",
                              "dblclk 5,6", "baud chosen 1", "baud typed 4800", "file /tmp/fw.bin", "cancel"}));
    // One row a line; a tab inside a cell is escaped, the tab between cells is not.
    EXPECT_EQ(run.out, (Lines{"app: started", "112=a.jpg\t1", "b\\tc.jpg\t2"}));
}

TEST(Script, TimersRunOnlyInWaitAndUntil)
{
    const auto prepare = [](CTestDlg& dlg) {
        dlg.m_bTimerOnInit = true;  // timer 1, 100 ms
        dlg.m_onTick = [&dlg](int tick) {
            dlg.m_strName = "tick " + std::to_string(tick);
            dlg.UpdateData(false);
        };
    };
    const ScriptRun run = RunScriptOn("print 103\nwait 350\nprint 103\nuntil 103 tick 7 1000\nprint 103\n", prepare);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, (Lines{"app: started", "103=start", "103=tick 3", "103=tick 7"}));
}

TEST(Script, MessagesAndPicturesAreEvents)
{
    const auto prepare = [](CTestDlg& dlg) {
        dlg.m_bTimerOnInit = true;
        dlg.m_onTick = [&dlg](int tick) {
            if (tick == 1)
                dlg.MessageBox("串口已打开\r\nsecond line");
            if (tick == 2)
                dlg.GetDC()->DrawJpeg(MakeJpeg(32, 24), {4, 6, 68, 54});
        };
    };
    const ScriptRun run = RunScriptOn("wait 100\nsync\nwait 100\n", prepare);
    EXPECT_EQ(run.out, (Lines{"app: started", "message: 串口已打开\\r\\nsecond line", "sync",
                              "picture: 32x24 at 4,6,64,48"}));
}

TEST(Script, FailuresStopTheScriptAndCloseTheWindows)
{
    struct Case {
        const char* script;
        const char* reason;
    };
    const Case cases[] = {
        {"click 999\n", "line 1: unknown id 999"},
        {"sync\nselect 110 300\n", "line 2: combo 110 has no item \"300\""},
        {"until 103 never 500\n", "line 1: timed out after 500 ms"},
        {"check 104 2\n", "line 1: bad syntax"},
        {"spin 114 sideways\n", "line 1: bad syntax"},
        {"wait soon\n", "line 1: bad syntax"},
        {"frobnicate 1\n", "line 1: bad syntax: unknown command \"frobnicate\""},
        {"until 103\n", "line 1: bad syntax"},
        {"set 103 \\xG1\n", "line 1: bad syntax"},
        {"click 115 now\n", "line 1: bad syntax"},
        {"set 113 tomorrow\n", "line 1: \"tomorrow\" is not YYYY-MM-DD HH:MM:SS"},
        {"click\n", "line 1: bad syntax"},
        {"print 12x\n", "line 1: bad syntax"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const ScriptRun run = RunScriptOn(std::string(c.script) + "sync\nclick 115\n");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        // Nothing after the failing line runs; the window was closed.
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), "sync"), std::string(c.script).find("sync") == 0 ? 1 : 0);
        EXPECT_EQ(run.log, Lines{"cancel"});
    }
}

TEST(Script, OverlongLineIsRefused)
{
    const ScriptRun run = RunScriptOn("set 103 " + std::string(2 << 20, 'x') + "\nsync\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("line 1: line longer than"), std::string::npos);
    EXPECT_LT(run.err.size(), 400u);
    EXPECT_EQ(run.out, Lines{"app: started"});
}

TEST(Script, LastLineNeedsNoLineFeed)
{
    const ScriptRun run = RunScriptOn("sync\nprint 115");
    EXPECT_EQ(run.out, (Lines{"app: started", "sync", "115=Go"}));
}

// A window that ends by itself (a timer handler) ends its wait early; the
// commands that follow are not read.
TEST(Script, WindowEndingDuringAWait)
{
    const auto prepare = [](CTestDlg& dlg) {
        dlg.m_bTimerOnInit = true;
        dlg.m_onTick = [&dlg](int tick) {
            if (tick == 3)
                dlg.EndDialog(ui::IDOK);
        };
    };
    const ScriptRun waited = RunScriptOn("wait 1000\nsync\n", prepare);
    EXPECT_EQ(waited.status, 0);
    EXPECT_EQ(waited.out, Lines{"app: started"});
    EXPECT_EQ(waited.log, (Lines{"timer 1", "timer 1", "timer 1"}));

    const ScriptRun until = RunScriptOn("until 103 never 1000\n", prepare);
    EXPECT_EQ(until.status, 1);
    EXPECT_NE(until.err.find("the window closed"), std::string::npos) << until.err;
}

TEST(Script, EndOfInputClosesTheWindow)
{
    const ScriptRun run = RunScriptOn("click 115\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.log, (Lines{"go", "cancel"}));

    const ScriptRun empty = RunScriptOn("");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.log, Lines{"cancel"});
}

TEST(Script, ClickIntoAChildWindowAndBack)
{
    const ScriptRun run = RunScriptOn(
        "click 118\n"
        "print 200\n"          // the child's edit
        "set 200 typed in child\n"
        "print 103\n"          // not in the child: fails the script if addressed there
        "click 1\n"            // the child's OK
        "print 103\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("line 4: unknown id 103"), std::string::npos) << run.err;
    // The failure closed the child with Cancel, then the main window.
    EXPECT_EQ(run.log, (Lines{"child 2", "cancel"}));

    const ScriptRun ok = RunScriptOn("click 118\nset 200 typed in child\nclick 1\nprint 103\n");
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, (Lines{"app: started", "103=typed in child"}));
    EXPECT_EQ(ok.log, (Lines{"child 1", "cancel"}));

    // The input ends inside the child: both windows close, status 0.
    const ScriptRun open = RunScriptOn("click 118\n");
    EXPECT_EQ(open.status, 0);
    EXPECT_EQ(open.log, (Lines{"child 2", "cancel"}));
}

TEST(Script, ParentTimersRunWhileTheChildWaits)
{
    const auto prepare = [](CTestDlg& dlg) {
        dlg.m_bTimerOnInit = true;
        dlg.m_onTick = [&dlg](int tick) { dlg.m_strName = "tick " + std::to_string(tick); };
    };
    const ScriptRun run = RunScriptOn("click 118\nwait 500\nclick 2\n", prepare);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.log, (Lines{"timer 1", "timer 1", "timer 1", "timer 1", "timer 1", "child 2", "cancel"}));
}

}  // namespace
}  // namespace qzr::test
