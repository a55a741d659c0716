#pragma once

// A window with one control of every kind and a child, and the rig each backend runs the contract through.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/backend.h"
#include "ui/data_exchange.h"
#include "ui/dialog.h"

namespace qzr::test {

enum : int {
    IDC_NUMBER = 100, IDC_COUNT, IDC_VALUE, IDC_NAME,  // edits: int, unsigned, float, text
    IDC_FLAG, IDC_MODE_A, IDC_MODE_B, IDC_MODE_C,      // check box; radio group A/B/C
    IDC_ALONE,                                         // a radio in a group of its own
    IDC_PORTS, IDC_BAUD, IDC_LEVEL,                    // sorted combo, editable combo, drop-down list
    IDC_FILES, IDC_WHEN, IDC_ARROWS, IDC_GO, IDC_LOCKED, IDC_PICTURE, IDC_CHILD, IDC_OPEN_FILE, IDC_LOG, IDC_PROGRESS,
    IDC_CHILD_TEXT = 200,
};

inline constexpr std::string_view kPorts[] = {"COM3", "com1", "COM2"};
inline constexpr std::string_view kBauds[] = {"9600", "19200", "115200"};
inline constexpr std::string_view kLevels[] = {"low", "high"};

using ui::ControlKind;
inline constexpr ui::ControlTemplate kTestControls[] = {
    {IDC_NUMBER, ControlKind::Edit, "", 4, 4, 40, 12, ui::kGroup},
    {IDC_COUNT, ControlKind::Edit, "", 4, 18, 40, 12},
    {IDC_VALUE, ControlKind::Edit, "", 4, 32, 40, 12},
    {IDC_NAME, ControlKind::Edit, "", 4, 46, 40, 12},
    {IDC_FLAG, ControlKind::CheckBox, "Flag", 4, 60, 40, 10},
    {IDC_MODE_A, ControlKind::RadioButton, "A", 4, 72, 20, 10, ui::kGroup},
    {ui::IDC_STATIC, ControlKind::Static, "between", 26, 72, 20, 10},
    {IDC_MODE_B, ControlKind::RadioButton, "B", 48, 72, 20, 10},
    {IDC_MODE_C, ControlKind::RadioButton, "C", 70, 72, 20, 10},
    {IDC_ALONE, ControlKind::RadioButton, "Alone", 92, 72, 30, 10, ui::kGroup},
    {IDC_PORTS, ControlKind::ComboBox, "", 50, 4, 50, 80, ui::kGroup | ui::kSorted, kPorts},
    {IDC_BAUD, ControlKind::ComboBox, "", 50, 18, 50, 80, 0, kBauds},
    {IDC_LEVEL, ControlKind::DropList, "", 50, 32, 50, 80, 0, kLevels},
    {IDC_FILES, ControlKind::ListView, "", 4, 90, 120, 40, ui::kFullRowSelect},
    {IDC_WHEN, ControlKind::DateTimePicker, "", 4, 134, 80, 12},
    {IDC_ARROWS, ControlKind::UpDown, "", 86, 134, 9, 14},
    {IDC_GO, ControlKind::PushButton, "Go", 4, 150, 30, 13},
    {IDC_LOCKED, ControlKind::PushButton, "Locked", 36, 150, 30, 13, ui::kDisabled},
    {IDC_PICTURE, ControlKind::Frame, "", 130, 4, 100, 75},
    {IDC_CHILD, ControlKind::PushButton, "Child...", 68, 150, 30, 13},
    {IDC_OPEN_FILE, ControlKind::PushButton, "Open", 100, 150, 30, 13},
    {IDC_LOG, ControlKind::Edit, "", 130, 84, 100, 40, ui::kMultiline | ui::kReadOnly | ui::kVScroll},
    {IDC_PROGRESS, ControlKind::Progress, "", 130, 128, 100, 9},
    {ui::IDOK, ControlKind::DefPushButton, "OK", 160, 150, 30, 13},
    {ui::IDCANCEL, ControlKind::PushButton, "Cancel", 194, 150, 30, 13},
};
inline constexpr ui::DialogTemplate kTestTemplate = {900, "Test window", 240, 170, kTestControls};

inline constexpr ui::ControlTemplate kChildControls[] = {
    {IDC_CHILD_TEXT, ControlKind::Edit, "", 4, 4, 60, 12},
    {ui::IDOK, ControlKind::DefPushButton, "OK", 4, 20, 30, 13},
    {ui::IDCANCEL, ControlKind::PushButton, "Cancel", 36, 20, 30, 13},
};
inline constexpr ui::DialogTemplate kChildTemplate = {901, "Child", 80, 40, kChildControls};

// The child: hands its text back on OK; may run a timer, or end as it starts.
class CChildDlg : public ui::CDialog {
public:
    CChildDlg() : CDialog(kChildTemplate) {}
    std::string m_strText;
    unsigned m_nTimerPeriod = 0;
    int m_nEndAtInit = 0;
    int m_nTicks = 0;

protected:
    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (m_nTimerPeriod)
            SetTimer(5, m_nTimerPeriod);
        if (m_nEndAtInit)
            EndDialog(m_nEndAtInit);
        return true;
    }
    void DoDataExchange(ui::CDataExchange& dx) override { ui::DDX_Text(dx, IDC_CHILD_TEXT, m_strText); }
    void OnTimer(int) override { ++m_nTicks; }
};

// The test window. Every handler notes what it saw in m_log.
class CTestDlg : public ui::CDialog {
public:
    CTestDlg() : CDialog(kTestTemplate)
    {
        const auto num = [](int n) { return std::to_string(n); };
        OnClicked(IDC_GO, [this] { Note("go"); });
        OnClicked(IDC_LOCKED, [this] { Note("locked"); });
        OnClicked(IDC_FLAG, [=, this] { Note("flag " + num(IsDlgButtonChecked(IDC_FLAG))); });
        OnClicked(IDC_MODE_B, [=, this] { Note("mode B " + num(IsDlgButtonChecked(IDC_MODE_B))); });
        OnEditChange(IDC_NAME, [this] { Note("name " + GetDlgItemText(IDC_NAME)); });
        OnEditChange(IDC_LOG, [this] { Note("log " + GetDlgItemText(IDC_LOG)); });
        OnEditChange(IDC_BAUD, [this] { Note("baud typed " + GetDlgItemText(IDC_BAUD)); });
        OnSelChange(IDC_BAUD, [=, this] { Note("baud chosen " + num(Combo(IDC_BAUD).GetCurSel())); });
        OnListDblClk(IDC_FILES, [=, this] { Note("row " + num(List(IDC_FILES).GetFirstSelected())); });
        OnDeltaPos(IDC_ARROWS, [=, this](int delta) { Note("delta " + num(delta)); });
        OnClicked(IDC_CHILD, [this] { OpenChild(); });
        OnClicked(IDC_OPEN_FILE, [this] {
            const auto path = GetOpenFileName();
            Note(path ? "file " + *path : std::string("file cancelled"));
        });
    }

    // Members exchanged with the controls, in this order.
    std::string m_strName = "start";
    int m_nNumber = 7;
    unsigned m_nCount = 3;
    float m_fValue = 1.5f;
    int m_bFlag = 0;
    int m_nMode = 0;
    std::string m_strBaud = "9600";

    std::vector<std::string> m_log;
    int m_nTicks = 0;
    std::vector<std::uint64_t> m_tickTimes;  // the backend's clock at each tick
    std::function<void(int tick)> m_onTick;  // extra work on each tick
    bool m_bTimerOnInit = false;             // timer 1, 100 ms, from OnInitDialog
    std::function<void(CChildDlg&)> m_prepareChild;
    std::optional<CChildDlg> m_child;  // the last one opened
    std::vector<std::pair<std::string, std::string>> m_rows;  // list rows made at init
    std::function<void(ui::Canvas&)> m_paint;
    int m_nPaints = 0;

    void Note(std::string line) { m_log.push_back(std::move(line)); }

protected:
    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        auto list = List(IDC_FILES);
        list.InsertColumn(0, "Name", 80);
        list.InsertColumn(1, "Size", 40);
        for (const auto& [name, size] : m_rows)
            list.SetItemText(list.InsertItem(list.GetItemCount(), name), 1, size);
        if (m_bTimerOnInit)
            SetTimer(1, 100);
        return true;
    }

    void DoDataExchange(ui::CDataExchange& dx) override
    {
        ui::DDX_Text(dx, IDC_NAME, m_strName);
        ui::DDX_Text(dx, IDC_NUMBER, m_nNumber);
        ui::DDX_Text(dx, IDC_COUNT, m_nCount);
        ui::DDX_Text(dx, IDC_VALUE, m_fValue);
        ui::DDX_Check(dx, IDC_FLAG, m_bFlag);
        ui::DDX_Radio(dx, IDC_MODE_A, m_nMode);
        ui::DDX_CBString(dx, IDC_BAUD, m_strBaud);
    }

    void OnTimer(int id) override
    {
        ++m_nTicks;
        m_tickTimes.push_back(ui::CurrentBackend().TickCount());
        Note("timer " + std::to_string(id));
        if (m_onTick)
            m_onTick(m_nTicks);
    }

    void OnPaint(ui::Canvas& canvas) override
    {
        ++m_nPaints;
        if (m_paint)
            m_paint(canvas);
    }
    void OnLButtonDown(ui::Point p) override { Note("down " + std::to_string(p.x) + "," + std::to_string(p.y)); }
    void OnLButtonDblClk(ui::Point p) override { Note("dblclk " + std::to_string(p.x) + "," + std::to_string(p.y)); }
    void OnCancel() override
    {
        Note("cancel");
        CDialog::OnCancel();
    }

private:
    void OpenChild()
    {
        CChildDlg& child = m_child.emplace();
        child.m_strText = m_strName;
        if (m_prepareChild)
            m_prepareChild(child);
        const int result = child.DoModal();
        Note("child " + std::to_string(result));
        if (result == ui::IDOK) {
            m_strName = child.m_strText;
            UpdateData(false);
        }
    }
};

// The backend of a test program (which defines MakeRig()) as the contract needs it.
class WindowRig {
public:
    virtual ~WindowRig() = default;

    // Shows `dialog`, runs `steps` while it is up, then takes it down.
    virtual void Run(ui::CDialog& dialog, const std::function<void()>& steps) = 0;
    // Presses control `id`; `steps` run while the modal window it opens is up.
    virtual void RunChild(ui::CDialog& dialog, int id, const std::function<void()>& steps) = 0;

    // The operator: click, type, pick, double click a row (-1: below the last), press an up-down arrow.
    virtual void Click(ui::CDialog& dialog, int id) = 0;
    virtual void Type(ui::CDialog& dialog, int id, std::string_view text) = 0;
    virtual void Choose(ui::CDialog& dialog, int id, int index) = 0;
    virtual void DoubleClickRow(ui::CDialog& dialog, int id, int row) = 0;
    virtual void Spin(ui::CDialog& dialog, int id, bool up) = 0;

    // Runs the message loop for about `ms`: timers fire, asked-for repaints happen.
    virtual void Wait(unsigned ms) = 0;
    // The colour drawn at client pixel `p`, nullopt where nothing was; any over a picture.
    virtual std::optional<ui::Color> DrawnAt(ui::CDialog& dialog, ui::Point p) = 0;
};

std::unique_ptr<WindowRig> MakeRig();
// A real JPEG of one colour (blue), made by the toolkit's encoder.
std::vector<std::uint8_t> MakeJpeg(int width, int height);

class WindowContract : public ::testing::Test {
protected:
    std::unique_ptr<WindowRig> rig = MakeRig();
    CTestDlg dlg;
};

}  // namespace qzr::test
