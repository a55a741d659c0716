// The script driver on string streams, with the test window as the application.
#include <gtest/gtest.h>

#include <sstream>

#include "headless/escape.h"
#include "headless/script.h"
#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

using Lines = std::vector<std::string>;

TEST(ScriptEscapes, ArgumentsInAndLinesOut)
{
    const std::pair<std::string_view, std::optional<std::string>> in[] = {
        {R"(a\tb\r\nc)", "a\tb\r\nc"},   {R"(\\x41)", R"(\x41)"},     {R"(\x41\x7e\xFF)", "A~\xFF"},
        {R"(C:\dir\)", R"(C:\dir\)"},  // other escapes, and a last backslash, stay as typed
        {R"(\xG1)", std::nullopt},        {R"(\x4)", std::nullopt},
    };
    for (const auto& [text, expected] : in)
        EXPECT_EQ(headless::UnescapeArgument(text), expected) << text;

    const std::pair<std::string, std::string> out[] = {
        {"串口已打开", "串口已打开"},
        {"line\r\nnext\tcell", R"(line\r\nnext\tcell)"},
        {"back\\slash", R"(back\\slash)"},
        {std::string("nul\0bell\a" "del\x7F", 13), R"(nul\x00bell\x07del\x7F)"},
        {"\xB4\xAE\xBF\xDA", R"(\xB4\xAE\xBF\xDA)"},  // GBK bytes are not UTF-8
        {"\xC0\x80", R"(\xC0\x80)"},                  // overlong
        {"\xED\xA0\x80", R"(\xED\xA0\x80)"},          // a surrogate
        {"ok\xE4\xB8", R"(ok\xE4\xB8)"},              // cut short
    };
    for (const auto& [text, expected] : out)
        EXPECT_EQ(headless::EscapeForOutput(text), expected) << expected;
}

struct ScriptRun {
    int status = -1;
    std::string out, err;
    Lines log;  // the window's handler notes
};

// Runs `script` against the test window on the virtual clock.
ScriptRun RunScriptOn(const std::string& script, const std::function<void(CTestDlg&)>& prepare = {})
{
    std::istringstream in(script);
    std::ostringstream out, err;
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
        EXPECT_FALSE(dlg.IsWindowOpen());
        run.log = dlg.m_log;
    });
    run.out = out.str();
    run.err = err.str();
    return run;
}

// Timer 1 every 100 ms; `onTick` runs on each tick.
std::function<void(CTestDlg&)> Ticking(std::function<void(CTestDlg&, int tick)> onTick)
{
    return [onTick](CTestDlg& dlg) {
        dlg.m_bTimerOnInit = true;
        dlg.m_onTick = [&dlg, onTick](int tick) { onTick(dlg, tick); };
    };
}

TEST(Script, CommandsAndTheirOutput)
{
    const struct {
        const char* name;
        std::string script;
        std::string out;
    } cases[] = {
        {"set and print", "set 103 hello\\tworld\\x21\nprint 103\n", "103=hello\\tworld!\n"},
        {"empty text", "set 103\nprint 103\nset 103 \nprint 103\n", "103=\n103=\n"},
        {"text keeps its blanks", "set 103  two  spaces \nprint 103\n", "103= two  spaces \n"},
        {"check", "check 104 1\nprint 104\ncheck 107 1\nprint 105\nprint 107\n", "104=1\n105=0\n107=1\n"},
        {"date-time", "set 113 2025-03-04 05:06:07\nprint 113\n", "113=2025-03-04 05:06:07\n"},
        {"disabled", "click 116\nsync\n", "disabled: 116\nsync\n"},
        {"comments and blank lines", "# a comment\n\n   \n  # indented\nsync\n", "sync\n"},
        {"crlf lines", "set 103 x\r\nprint 103\r\n", "103=x\n"},
        {"last line without a line feed", "sync\nprint 115", "sync\n115=Go\n"},
        {"ports", "ports\n", "com1\nCOM2\nCOM3\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptRun run = RunScriptOn(c.script);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "app: started\n" + c.out);
        EXPECT_EQ(run.err, "");
    }
}

TEST(Script, HandlersRunAsForAPerson)
{
    const ScriptRun run = RunScriptOn(
        "click 115\nclick 104\nclick 104\ncheck 104 1\nset 103 abc\ndblclick 112 1\ndblclick 112 -1\n"
        "spin 114 up\nspin 114 down\nlclick 3 4\nldblclick 5 6\nselect 110 19200\nset 110 4800\n"
        "file /tmp/a b.bin\nclick 119\nfile cancel\nclick 119\nclick 119\nprint 112\n",
        [](CTestDlg& dlg) { dlg.m_rows = {{"a.jpg", "1"}, {"b\tc.jpg", "2"}}; });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.log, (Lines{"go", "flag 1", "flag 0", "flag 1", "name abc", "row 1", "row -1", "delta -1",
                              "delta 1", "down 3,4", "down 5,6", "dblclk 5,6", "baud chosen 1", "baud typed 4800",
                              "file /tmp/a b.bin", "file cancelled", "file cancelled", "cancel"}));
    // One row a line; a tab inside a cell is escaped, the tab between cells is not.
    EXPECT_EQ(run.out, "app: started\n112=a.jpg\t1\nb\\tc.jpg\t2\n");
}

// Timers run only in wait and until; events are printed escaped, in order.
TEST(Script, TimersRunOnlyInWaitAndUntilAndEventsArePrinted)
{
    const ScriptRun run = RunScriptOn("print 103\nwait 350\nprint 103\nuntil 103 tick 7 1000\nprint 103\n",
                                      Ticking([](CTestDlg& dlg, int tick) {
                                          dlg.m_strName = "tick " + std::to_string(tick);
                                          dlg.UpdateData(false);
                                          if (tick == 5)
                                              dlg.MessageBox("串口已打开\r\nsecond line");
                                      }));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "app: started\n103=start\n103=tick 3\nmessage: 串口已打开\\r\\nsecond line\n103=tick 7\n");
}

// The first failing command ends the script with its reason, cut short, status 1, and closes the window.
TEST(Script, FailuresStopTheScriptAndCloseTheWindows)
{
    const std::pair<std::string, std::string> cases[] = {
        {"click 999", "line 1: unknown id 999"},
        {"sync\nselect 110 300", "line 2: combo 110 has no item \"300\""},
        {"until 103 never 500", "line 1: timed out after 500 ms"},
        {"frobnicate 1", "line 1: bad syntax: unknown command \"frobnicate\""},
        {"set 113 tomorrow", "line 1: \"tomorrow\" is not YYYY-MM-DD HH:MM:SS"},
        {"set 103 " + std::string(2 << 20, 'x'), "line 1: line longer than"},
        {"check 104 2", "line 1: bad syntax"}, {"spin 114 sideways", "line 1: bad syntax"},
        {"wait soon", "line 1: bad syntax"},   {"until 103", "line 1: bad syntax"},
        {"click 115 now", "line 1: bad syntax"}, {"print 12x", "line 1: bad syntax"},
        {"set 103 \\xG1", "line 1: bad syntax"}, {"set 111 low", "line 1: control 111 takes no typing"},
        {"select 103 x", "line 1: control 103 is not a combo box"},
        {"check 115 1", "line 1: control 115 is not a check box"}, {"spin 115 up", "line 1: control 115 is not an up"},
        {"dblclick 103 0", "line 1: control 103 is not a list"}, {"dblclick 112 0", "line 1: list 112 has no row 0"},
    };
    for (const auto& [script, reason] : cases) {
        SCOPED_TRACE(script.substr(0, 40));
        const ScriptRun run = RunScriptOn(script + "\nsync\nclick 115\n");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind(reason, 0), 0u) << run.err;
        EXPECT_LT(run.err.size(), 400u);
        EXPECT_EQ(run.out, script.starts_with("sync") ? "app: started\nsync\n" : "app: started\n");
        EXPECT_EQ(run.log, Lines{"cancel"});
    }
}

// Windows end by themselves in a wait, on a failure (a child is cancelled first) or at input end (status 0).
TEST(Script, WindowsEndByThemselvesOnAFailureOrWithTheInput)
{
    const auto endAtThree = Ticking([](CTestDlg& dlg, int tick) {
        if (tick == 3)
            dlg.EndDialog(ui::IDOK);
    });
    const struct {
        std::string script;
        bool endsAtThree;
        int status;
        std::string err;
        Lines log;
    } cases[] = {
        {"wait 1000\nsync\n", true, 0, "", {"timer 1", "timer 1", "timer 1"}},
        {"until 103 never 1000\n", true, 1, "line 1: the window closed", {"timer 1", "timer 1", "timer 1"}},
        {"click 118\nprint 103\nclick 1\n", false, 1, "line 2: unknown id 103", {"child 2", "cancel"}},
        {"click 118\n", false, 0, "", {"child 2", "cancel"}},
        {"click 115\n", false, 0, "", {"go", "cancel"}},
        {"", false, 0, "", {"cancel"}},
    };
    for (const auto& c : cases) {
        const ScriptRun run = RunScriptOn(c.script, c.endsAtThree ? endAtThree : nullptr);
        EXPECT_EQ(run.status, c.status) << c.script;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err) << c.script;
        EXPECT_EQ(run.out, "app: started\n") << c.script;
        EXPECT_EQ(run.log, c.log) << c.script;
    }
}

}  // namespace
}  // namespace qzr::test
