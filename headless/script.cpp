#include "headless/script.h"

#include <algorithm>
#include <charconv>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "headless/escape.h"
#include "ui/dialog.h"

namespace headless {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The next blank-separated word of `rest`; `rest` keeps what follows it.
std::string_view NextWord(std::string_view& rest)
{
    std::size_t begin = 0;
    while (begin < rest.size() && IsBlank(rest[begin]))
        ++begin;
    std::size_t end = begin;
    while (end < rest.size() && !IsBlank(rest[end]))
        ++end;
    const std::string_view word = rest.substr(begin, end - begin);
    rest.remove_prefix(end);
    return word;
}

// Free text after a word: everything past the one blank that separates it.
std::string_view TextAfter(std::string_view rest) { return rest.empty() ? rest : rest.substr(1); }

bool OnlyBlanks(std::string_view rest)
{
    for (char c : rest)
        if (!IsBlank(c))
            return false;
    return true;
}

bool ParseNumber(std::string_view word, int& value)
{
    if (word.empty())
        return false;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (*first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
}

// Longest script line taken; a longer one is refused rather than held in memory.
constexpr std::size_t kMaxLineLength = 1 << 20;

enum class LineRead { Line, End, TooLong };

// One line without its line feed; the last line may lack one.
LineRead ReadLine(std::istream& in, std::string& line)
{
    line.clear();
    char c = 0;
    bool any = false;
    while (in.get(c)) {
        any = true;
        if (c == '\n')
            return LineRead::Line;
        if (line.size() == kMaxLineLength)
            return LineRead::TooLong;
        line += c;
    }
    return any ? LineRead::Line : LineRead::End;
}

class ScriptDriver {
public:
    ScriptDriver(std::istream& in, std::ostream& out, std::ostream& err, const ScriptOptions& options,
                 HeadlessBackend& backend)
        : m_in(in), m_out(out), m_err(err), m_options(options), m_backend(backend)
    {
    }

    int Status() const { return m_status; }

    // One event line, escaped.
    void Line(const std::string& raw) { WriteEscaped(EscapeForOutput(raw)); }

    // Runs the innermost modal window on the commands that follow.
    int Drive(ui::CDialog& dialog)
    {
        for (;;) {
            if (!m_backend.IsOpen(dialog) || m_backend.HasEnded(dialog))
                return ui::IDCANCEL;  // the backend takes the window's own result
            if (m_stopped) {
                // Closing as the close box does; a window that refuses is given up.
                dialog.HandleClose();
                return ui::IDCANCEL;
            }
            std::string line;
            const LineRead read = ReadLine(m_in, line);
            if (read == LineRead::End) {
                m_stopped = true;
                continue;
            }
            ++m_lineNumber;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const DriveResult result = read == LineRead::TooLong
                                           ? DriveResult::Fail("line longer than " + std::to_string(kMaxLineLength) +
                                                               " bytes")
                                           : Execute(dialog, line);
            if (!result) {
                constexpr std::size_t kShown = 200;
                m_err << "line " << m_lineNumber << ": " << result.error() << " ("
                      << EscapeForOutput(std::string_view(line).substr(0, kShown))
                      << (line.size() > kShown ? "..." : "") << ")" << std::endl;
                m_status = 1;
                m_stopped = true;
            }
        }
    }

private:
    void WriteEscaped(const std::string& escaped)
    {
        m_out << escaped << '\n';
        m_out.flush();
    }

    static DriveResult BadSyntax(const std::string& why) { return DriveResult::Fail("bad syntax: " + why); }

    DriveResult Execute(ui::CDialog& dialog, std::string_view line)
    {
        std::string_view rest = line;
        const std::string_view command = NextWord(rest);
        if (command.empty() || command.front() == '#')
            return DriveResult::Ok();

        // Commands that name a control first.
        if (command == "set" || command == "select" || command == "check" || command == "click" ||
            command == "dblclick" || command == "spin" || command == "until" || command == "print") {
            int id = 0;
            if (!ParseNumber(NextWord(rest), id))
                return BadSyntax(std::string(command) + " needs a control id");
            if (command == "set" || command == "select") {
                const std::optional<std::string> text = UnescapeArgument(TextAfter(rest));
                if (!text)
                    return BadSyntax("broken \\x escape");
                return command == "set" ? m_backend.SetText(dialog, id, *text) : m_backend.Select(dialog, id, *text);
            }
            if (command == "click") {
                if (!OnlyBlanks(rest))
                    return BadSyntax("click takes only an id");
                return m_backend.Click(dialog, id);
            }
            if (command == "print") {
                if (!OnlyBlanks(rest))
                    return BadSyntax("print takes only an id");
                return Print(dialog, id);
            }
            if (command == "until")
                return Until(dialog, id, rest);
            const std::string_view word = NextWord(rest);
            if (!OnlyBlanks(rest))
                return BadSyntax("too many arguments");
            if (command == "check") {
                if (word != "0" && word != "1")
                    return BadSyntax("check takes 0 or 1");
                return m_backend.Check(dialog, id, word == "1" ? 1 : 0);
            }
            if (command == "spin") {
                if (word != "up" && word != "down")
                    return BadSyntax("spin takes up or down");
                return m_backend.Spin(dialog, id, word == "up");
            }
            int row = 0;
            if (!ParseNumber(word, row))
                return BadSyntax("dblclick needs a row");
            return m_backend.DblClick(dialog, id, row);
        }
        if (command == "lclick" || command == "ldblclick") {
            ui::Point p;
            if (!ParseNumber(NextWord(rest), p.x) || !ParseNumber(NextWord(rest), p.y) || !OnlyBlanks(rest))
                return BadSyntax(std::string(command) + " takes X Y");
            if (command == "lclick")
                m_backend.LClick(dialog, p);
            else
                m_backend.LDblClick(dialog, p);
            return DriveResult::Ok();
        }
        if (command == "file") {
            const std::optional<std::string> path = UnescapeArgument(TextAfter(rest));
            if (!path)
                return BadSyntax("broken \\x escape");
            if (path->empty())
                return BadSyntax("file takes a path or cancel");
            if (*path == "cancel")
                m_backend.QueueFileCancel();
            else if (!m_options.fileBase.empty() && path->front() != '/')
                m_backend.QueueFileAnswer(m_options.fileBase + "/" + *path);
            else
                m_backend.QueueFileAnswer(*path);
            return DriveResult::Ok();
        }
        if (command == "wait") {
            int ms = 0;
            if (!ParseNumber(NextWord(rest), ms) || ms < 0 || !OnlyBlanks(rest))
                return BadSyntax("wait takes milliseconds");
            // The loop ends early when the window itself ends.
            m_backend.RunUntil([&] { return m_backend.HasEnded(dialog) || !m_backend.IsOpen(dialog); },
                               static_cast<unsigned>(ms));
            return DriveResult::Ok();
        }
        if (command == "sync") {
            if (!OnlyBlanks(rest))
                return BadSyntax("sync takes nothing");
            Line("sync");
            return DriveResult::Ok();
        }
        if (command == "ports") {
            if (!OnlyBlanks(rest))
                return BadSyntax("ports takes nothing");
            return Ports();
        }
        if (command == "progress") {
            if (!OnlyBlanks(rest))
                return BadSyntax("progress takes nothing");
            Line("progress: " + FormatProgress(m_backend.RunningTransfer()));
            return DriveResult::Ok();
        }
        return BadSyntax("unknown command \"" + std::string(command) + "\"");
    }

    DriveResult Print(ui::CDialog& dialog, int id)
    {
        const HeadlessWindow* window = m_backend.Window(dialog);
        const ControlState* control = window ? window->Control(id) : nullptr;
        if (!control)
            return DriveResult::Fail("unknown id " + std::to_string(id));
        const std::string head = std::to_string(id) + "=";
        if (control->kind != ui::ControlKind::ListView) {
            WriteEscaped(head + EscapeForOutput(m_backend.Print(dialog, id).value_or("")));
            return DriveResult::Ok();
        }
        // One row a line, cells escaped one by one and separated by real tabs.
        if (control->rows.empty())
            WriteEscaped(head);
        for (std::size_t r = 0; r < control->rows.size(); ++r) {
            const auto& cells = control->rows[r];
            const std::size_t columns = std::max(cells.size(), control->columns.size());
            std::string line = r == 0 ? head : std::string();
            for (std::size_t c = 0; c < columns; ++c) {
                if (c > 0)
                    line += '\t';
                if (c < cells.size())
                    line += EscapeForOutput(cells[c]);
            }
            WriteEscaped(line);
        }
        return DriveResult::Ok();
    }

    // until ID TEXT MS: the last word is the time, the text lies between.
    DriveResult Until(ui::CDialog& dialog, int id, std::string_view rest)
    {
        while (!rest.empty() && IsBlank(rest.back()))
            rest.remove_suffix(1);
        std::size_t blank = rest.size();
        while (blank > 0 && !IsBlank(rest[blank - 1]))
            --blank;
        if (blank == 0)
            return BadSyntax("until takes ID TEXT MS");
        int ms = 0;
        if (!ParseNumber(rest.substr(blank), ms) || ms < 0)
            return BadSyntax("until needs milliseconds last");
        const std::optional<std::string> text = UnescapeArgument(TextAfter(rest.substr(0, blank - 1)));
        if (!text)
            return BadSyntax("broken \\x escape");
        if (!m_backend.Print(dialog, id))
            return DriveResult::Fail("unknown id " + std::to_string(id));
        const auto shown = [&] { return m_backend.Print(dialog, id).value_or(""); };
        const bool found = m_backend.RunUntil(
            [&] {
                return !m_backend.IsOpen(dialog) || m_backend.HasEnded(dialog) ||
                       shown().find(*text) != std::string::npos;
            },
            static_cast<unsigned>(ms));
        if (!m_backend.IsOpen(dialog) || m_backend.HasEnded(dialog))
            return DriveResult::Fail("the window closed while waiting for \"" + *text + "\" in " + std::to_string(id));
        if (!found)
            return DriveResult::Fail("timed out after " + std::to_string(ms) + " ms waiting for \"" + *text +
                                     "\" in " + std::to_string(id) + ", which shows \"" + shown() + "\"");
        return DriveResult::Ok();
    }

    DriveResult Ports()
    {
        ui::CDialog* bottom = m_backend.BottomWindow();
        const HeadlessWindow* window = bottom ? m_backend.Window(*bottom) : nullptr;
        if (!window || !window->Control(m_options.portComboId))
            return DriveResult::Fail("no port combo " + std::to_string(m_options.portComboId));
        // As when the operator drops the list down: the window lists the ports afresh.
        bottom->HandleCommand(m_options.portComboId, ui::Notification::DropDown);
        for (int i = 0, n = window->ComboCount(m_options.portComboId); i < n; ++i)
            Line(window->ComboItem(m_options.portComboId, i));
        return DriveResult::Ok();
    }

    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
    const ScriptOptions& m_options;
    HeadlessBackend& m_backend;
    int m_lineNumber = 0;
    int m_status = 0;
    bool m_stopped = false;
};

}  // namespace

int RunScript(std::istream& in, std::ostream& out, std::ostream& err, const ScriptOptions& options,
              const std::function<void(HeadlessBackend&)>& application)
{
    HeadlessBackend backend(options.clock);
    backend.SetRecording(false);  // a script may run for hours: nothing is kept
    ScriptDriver driver(in, out, err, options, backend);
    backend.SetEventSink([&](const std::string& line) { driver.Line(line); });
    backend.SetModalHandler([&](ui::CDialog& dialog) { return driver.Drive(dialog); });
    ui::SetCurrentBackend(&backend);
    application(backend);
    ui::SetCurrentBackend(nullptr);
    return driver.Status();
}

}  // namespace headless
