#pragma once

// A small window with one control of every kind, and a child window it opens,
// for exercising the window layer on the headless backend.

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "headless/backend.h"
#include "ui/data_exchange.h"
#include "ui/dialog.h"

namespace qzr::test {

enum : int {
    IDC_NUMBER = 100,    // edit, int
    IDC_COUNT = 101,     // edit, unsigned
    IDC_VALUE = 102,     // edit, float
    IDC_NAME = 103,      // edit, text
    IDC_FLAG = 104,      // check box
    IDC_MODE_A = 105,    // radio group A/B/C
    IDC_MODE_B = 106,
    IDC_MODE_C = 107,
    IDC_ALONE = 108,     // a radio in a group of its own
    IDC_PORTS = 109,     // sorted combo
    IDC_BAUD = 110,      // editable combo
    IDC_LEVEL = 111,     // drop-down list
    IDC_FILES = 112,     // list view
    IDC_WHEN = 113,      // date-time picker
    IDC_ARROWS = 114,    // up-down
    IDC_GO = 115,
    IDC_LOCKED = 116,    // starts disabled
    IDC_PICTURE = 117,
    IDC_CHILD = 118,     // opens the child window
    IDC_OPEN_FILE = 119,
    IDC_CHILD_TEXT = 200,
};

inline constexpr std::string_view kPorts[] = {"COM3", "com1", "COM2"};
inline constexpr std::string_view kBauds[] = {"9600", "19200", "115200"};
inline constexpr std::string_view kLevels[] = {"low", "high"};

inline constexpr ui::ControlTemplate kTestControls[] = {
    {IDC_NUMBER, ui::ControlKind::Edit, "", 4, 4, 40, 12, ui::kGroup},
    {IDC_COUNT, ui::ControlKind::Edit, "", 4, 18, 40, 12},
    {IDC_VALUE, ui::ControlKind::Edit, "", 4, 32, 40, 12},
    {IDC_NAME, ui::ControlKind::Edit, "", 4, 46, 40, 12},
    {IDC_FLAG, ui::ControlKind::CheckBox, "Flag", 4, 60, 40, 10},
    {IDC_MODE_A, ui::ControlKind::RadioButton, "A", 4, 72, 20, 10, ui::kGroup},
    {ui::IDC_STATIC, ui::ControlKind::Static, "between", 26, 72, 20, 10},
    {IDC_MODE_B, ui::ControlKind::RadioButton, "B", 48, 72, 20, 10},
    {IDC_MODE_C, ui::ControlKind::RadioButton, "C", 70, 72, 20, 10},
    {IDC_ALONE, ui::ControlKind::RadioButton, "Alone", 92, 72, 30, 10, ui::kGroup},
    {IDC_PORTS, ui::ControlKind::ComboBox, "", 50, 4, 50, 80, ui::kGroup | ui::kSorted, kPorts},
    {IDC_BAUD, ui::ControlKind::ComboBox, "", 50, 18, 50, 80, 0, kBauds},
    {IDC_LEVEL, ui::ControlKind::DropList, "", 50, 32, 50, 80, 0, kLevels},
    {IDC_FILES, ui::ControlKind::ListView, "", 4, 90, 120, 40, ui::kFullRowSelect},
    {IDC_WHEN, ui::ControlKind::DateTimePicker, "", 4, 134, 80, 12},
    {IDC_ARROWS, ui::ControlKind::UpDown, "", 86, 134, 9, 14},
    {IDC_GO, ui::ControlKind::PushButton, "Go", 4, 150, 30, 13},
    {IDC_LOCKED, ui::ControlKind::PushButton, "Locked", 36, 150, 30, 13, ui::kDisabled},
    {IDC_PICTURE, ui::ControlKind::Frame, "", 130, 4, 100, 75},
    {IDC_CHILD, ui::ControlKind::PushButton, "Child...", 68, 150, 30, 13},
    {IDC_OPEN_FILE, ui::ControlKind::PushButton, "Open", 100, 150, 30, 13},
    {ui::IDOK, ui::ControlKind::DefPushButton, "OK", 160, 150, 30, 13},
    {ui::IDCANCEL, ui::ControlKind::PushButton, "Cancel", 194, 150, 30, 13},
};

inline constexpr ui::DialogTemplate kTestTemplate = {900, "Test window", 240, 170, kTestControls};

inline constexpr ui::ControlTemplate kChildControls[] = {
    {IDC_CHILD_TEXT, ui::ControlKind::Edit, "", 4, 4, 60, 12},
    {ui::IDOK, ui::ControlKind::DefPushButton, "OK", 4, 20, 30, 13},
    {ui::IDCANCEL, ui::ControlKind::PushButton, "Cancel", 36, 20, 30, 13},
};

inline constexpr ui::DialogTemplate kChildTemplate = {901, "Child", 80, 40, kChildControls};

// The child: hands its text back on OK; may run a timer of its own.
class CChildDlg : public ui::CDialog {
public:
    CChildDlg() : CDialog(kChildTemplate) {}

    std::string m_strText;
    unsigned m_nTimerPeriod = 0;
    int m_nTicks = 0;

protected:
    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (m_nTimerPeriod)
            SetTimer(5, m_nTimerPeriod);
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
        OnClicked(IDC_GO, [this] { Note("go"); });
        OnClicked(IDC_LOCKED, [this] { Note("locked"); });
        OnClicked(IDC_FLAG, [this] { Note("flag " + std::to_string(IsDlgButtonChecked(IDC_FLAG))); });
        OnClicked(IDC_MODE_B, [this] { Note("mode B " + std::to_string(IsDlgButtonChecked(IDC_MODE_B))); });
        OnEditChange(IDC_NAME, [this] { Note("name " + GetDlgItemText(IDC_NAME)); });
        OnEditChange(IDC_BAUD, [this] { Note("baud typed " + GetDlgItemText(IDC_BAUD)); });
        OnSelChange(IDC_BAUD, [this] { Note("baud chosen " + std::to_string(Combo(IDC_BAUD).GetCurSel())); });
        OnListDblClk(IDC_FILES, [this] { Note("row " + std::to_string(List(IDC_FILES).GetFirstSelected())); });
        OnDeltaPos(IDC_ARROWS, [this](int delta) { Note("delta " + std::to_string(delta)); });
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
    // Timer 1 as the main window does it: a guard drops events that arrive while
    // a handler runs a nested loop (a message box).
    bool m_bInTimer = false;
    int m_nTicks = 0;
    int m_nDropped = 0;
    std::vector<std::uint64_t> m_tickTimes;
    std::function<void(int tick)> m_onTick;  // extra work in the guarded part
    int m_nChildResult = 0;
    unsigned m_nChildTimerPeriod = 0;
    int m_nChildTicks = 0;
    bool m_bTimerOnInit = false;
    std::vector<std::pair<std::string, std::string>> m_rows;  // list rows made at init
    std::function<void(ui::Canvas&)> m_paint;

    void Note(std::string line) { m_log.push_back(std::move(line)); }

    // Access for the tests to the protected parts of CDialog.
    using CDialog::Combo;
    using CDialog::DateTimeCtrl;
    using CDialog::GetClientRect;
    using CDialog::GetDC;
    using CDialog::Invalidate;
    using CDialog::KillTimer;
    using CDialog::List;
    using CDialog::MessageBox;
    using CDialog::SetTimer;
    using CDialog::Sleep;

protected:
    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        List(IDC_FILES).InsertColumn(0, "Name", 80);
        List(IDC_FILES).InsertColumn(1, "Size", 40);
        for (const auto& row : m_rows) {
            const int index = List(IDC_FILES).InsertItem(List(IDC_FILES).GetItemCount(), row.first);
            List(IDC_FILES).SetItemText(index, 1, row.second);
        }
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
        if (m_bInTimer) {
            ++m_nDropped;
            return;
        }
        m_bInTimer = true;
        ++m_nTicks;
        m_tickTimes.push_back(static_cast<headless::HeadlessBackend&>(ui::CurrentBackend()).NowMs());
        Note("timer " + std::to_string(id));
        if (m_onTick)
            m_onTick(m_nTicks);
        m_bInTimer = false;
    }

    void OnPaint(ui::Canvas& canvas) override
    {
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
        CChildDlg child;
        child.m_strText = m_strName;
        child.m_nTimerPeriod = m_nChildTimerPeriod;
        m_nChildResult = child.DoModal();
        m_nChildTicks = child.m_nTicks;
        Note("child " + std::to_string(m_nChildResult));
        if (m_nChildResult == ui::IDOK) {
            m_strName = child.m_strText;
            UpdateData(false);
        }
    }
};

}  // namespace qzr::test
