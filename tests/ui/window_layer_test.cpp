// Data exchange, radio groups, combo boxes, lists, driving and modal child
// windows, on the headless backend.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

using Lines = std::vector<std::string>;

class WindowLayerTest : public WindowTest {
protected:
    ui::WindowPeer& Peer() { return *dlg.Peer(); }
    std::string Modes() { return Shown(IDC_MODE_A) + Shown(IDC_MODE_B) + Shown(IDC_MODE_C); }
    // The exchanged controls and members, in exchange order, joined by '|'.
    std::string Controls()
    {
        return Shown(IDC_NAME) + "|" + Shown(IDC_NUMBER) + "|" + Shown(IDC_COUNT) + "|" + Shown(IDC_VALUE) + "|" +
               Shown(IDC_FLAG) + "|" + Modes() + "|" + Shown(IDC_BAUD);
    }
    std::string Members()
    {
        std::ostringstream s;
        s << dlg.m_strName << '|' << dlg.m_nNumber << '|' << dlg.m_nCount << '|' << dlg.m_fValue << '|' << dlg.m_bFlag
          << '|' << dlg.m_nMode << '|' << dlg.m_strBaud;
        return s.str();
    }
    Lines Items(int id)
    {
        Lines items;
        for (int i = 0; i < Peer().ComboCount(id); ++i)
            items.push_back(Peer().ComboItem(id, i));
        return items;
    }
};

TEST_F(WindowLayerTest, ExchangesEveryKindOfValueBothWays)
{
    EXPECT_EQ(Controls(), "start|7|3|1.5|0|100|9600");
    EXPECT_EQ(Peer().ComboSelection(IDC_BAUD), 0);
    dlg.m_nNumber = -5;
    dlg.m_fValue = 10.0f;
    dlg.m_nMode = 1;
    dlg.m_bFlag = 1;
    dlg.m_strBaud = "19";  // a prefix selects the item
    ASSERT_TRUE(dlg.UpdateData(false));
    EXPECT_EQ(Controls(), "start|-5|3|10|1|010|19200");
    EXPECT_EQ(Peer().ComboSelection(IDC_BAUD), 1);

    dlg.m_strBaud = "57600";  // no such item: typed into the edit field
    dlg.m_nMode = -1;
    dlg.UpdateData(false);
    EXPECT_EQ(Controls(), "start|-5|3|10|1|000|57600");
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(Members(), "start|-5|3|10|1|-1|57600");

    Peer().SetText(IDC_NAME, "  spaced  ");
    Peer().SetText(IDC_NUMBER, " -42 ");
    Peer().SetText(IDC_COUNT, "4000000000");
    Peer().SetText(IDC_VALUE, "2.25");
    Peer().SetCheck(IDC_FLAG, 0);
    Peer().SetCheck(IDC_MODE_C, 1);  // the static between the radios does not count
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(Members(), "  spaced  |-42|4000000000|2.25|0|2|57600");
    EXPECT_TRUE(backend.Messages().empty());
}

// A value that does not read is reported once; what was exchanged before it
// keeps its new value, what comes after it is not read at all.
TEST_F(WindowLayerTest, FailedReadReportsAndStopsThePass)
{
    const struct {
        int id;
        const char* text;
        const char* message;
    } cases[] = {
        {IDC_NUMBER, "12a", "Please enter an integer."},
        {IDC_NUMBER, "", "Please enter an integer."},
        {IDC_NUMBER, "3000000000", "Please enter an integer."},
        {IDC_COUNT, "-1", "Please enter a positive integer."},
        {IDC_COUNT, "1.0", "Please enter a positive integer."},
        {IDC_VALUE, "1e99", "Please enter a number."},
        {IDC_VALUE, "ten", "Please enter a number."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in " + std::to_string(c.id));
        for (int id : {IDC_NUMBER, IDC_COUNT, IDC_VALUE})
            Peer().SetText(id, "0");
        dlg.m_strName = "old";
        dlg.m_bFlag = 0;
        backend.ClearRecords();
        Peer().SetText(IDC_NAME, "new");
        Peer().SetCheck(IDC_FLAG, 1);
        Peer().SetText(c.id, c.text);
        EXPECT_FALSE(dlg.UpdateData(true));
        EXPECT_EQ(backend.Events(), Lines{std::string("message: ") + c.message});
        EXPECT_EQ(dlg.m_strName, "new");  // exchanged before the failure
        EXPECT_EQ(dlg.m_bFlag, 0);        // after it: untouched
    }
}

TEST_F(WindowLayerTest, RadioClickClearsOnlyItsOwnGroup)
{
    ASSERT_TRUE(backend.Click(dlg, IDC_ALONE));
    EXPECT_EQ(Shown(IDC_ALONE) + Modes(), "1100");  // another group
    ASSERT_TRUE(backend.Click(dlg, IDC_MODE_B));
    EXPECT_EQ(Shown(IDC_ALONE) + Modes(), "1010");
    EXPECT_EQ(dlg.m_log.back(), "mode B 1");  // the group is settled before the handler runs
    ASSERT_TRUE(backend.Check(dlg, IDC_MODE_C, 1));
    EXPECT_EQ(Modes(), "001");
    ASSERT_TRUE(backend.Check(dlg, IDC_MODE_C, 0));
    EXPECT_EQ(Modes(), "000");
}

TEST_F(WindowLayerTest, SortedComboInsertsInOrderAndKeepsTheSelection)
{
    EXPECT_EQ(Items(IDC_PORTS), (Lines{"com1", "COM2", "COM3"}));
    auto ports = dlg.Combo(IDC_PORTS);
    ports.SetCurSel(1);
    EXPECT_EQ(ports.AddString("COM10"), 1);
    EXPECT_EQ(ports.AddString("COM4"), 4);
    EXPECT_EQ(ports.AddString("/dev/pts/3"), 0);
    EXPECT_EQ(Items(IDC_PORTS), (Lines{"/dev/pts/3", "com1", "COM10", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(ports.GetLBText(ports.GetCurSel()), "COM2");

    auto bauds = dlg.Combo(IDC_BAUD);  // unsorted: appended
    EXPECT_EQ(bauds.AddString("1200"), 3);
    EXPECT_EQ(bauds.InsertString(0, "300"), 0);
    EXPECT_EQ(bauds.InsertString(99, "x"), -1);
    EXPECT_EQ(Items(IDC_BAUD), (Lines{"300", "9600", "19200", "115200", "1200"}));
    ASSERT_TRUE(backend.Select(dlg, IDC_BAUD, "115200"));
    ASSERT_TRUE(backend.SetText(dlg, IDC_BAUD, "4800"));
    EXPECT_EQ(Peer().ComboSelection(IDC_BAUD), -1);  // typing replaces the chosen item

    Peer().SetText(IDC_LEVEL, "high");  // a drop-down list has no edit field
    EXPECT_EQ(Shown(IDC_LEVEL), "");
    ASSERT_TRUE(backend.Select(dlg, IDC_LEVEL, "high"));
    EXPECT_EQ(Shown(IDC_LEVEL), "high");
}

TEST_F(WindowLayerTest, ComboSearchesByPrefixAndExactly)
{
    auto combo = dlg.Combo(IDC_BAUD);
    combo.ResetContent();
    EXPECT_EQ(Shown(IDC_BAUD), "");
    for (const char* item : {"alpha", "beta", "Alps"})
        combo.AddString(item);
    const struct {
        int startAfter;
        const char* prefix;
        int found;
    } cases[] = {{-1, "al", 0}, {0, "AL", 2}, {2, "al", 0} /* wraps around */, {1, "b", 1}, {-1, "z", -1}, {-1, "", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.prefix) + " after " + std::to_string(c.startAfter));
        combo.SetCurSel(1);
        EXPECT_EQ(combo.SelectString(c.startAfter, c.prefix), c.found);
        EXPECT_EQ(combo.GetCurSel(), c.found < 0 ? 1 : c.found);  // unchanged when not found
    }
    EXPECT_EQ(combo.FindStringExact(-1, "BETA"), 1);
    EXPECT_EQ(combo.FindStringExact(-1, "bet"), -1);
    EXPECT_EQ(combo.FindStringExact(0, "alpha"), 0);  // wraps back to the first

    combo.SetCurSel(2);
    EXPECT_EQ(combo.SetCurSel(7), -1);
    EXPECT_EQ(combo.GetCurSel(), -1);
    EXPECT_EQ(combo.GetWindowText(), "Alps");  // the edit text stays
}

TEST_F(WindowLayerTest, ListRowsAndDateTime)
{
    auto list = dlg.List(IDC_FILES);
    EXPECT_EQ(list.InsertItem(0, "b.jpg"), 0);
    EXPECT_EQ(list.InsertItem(0, "a.jpg"), 0);
    EXPECT_EQ(list.InsertItem(99, "c.jpg"), 2);
    list.SetItemText(0, 1, "10");
    list.SetItemText(2, 5, "ignored");
    EXPECT_EQ(Shown(IDC_FILES), "a.jpg\t10\nb.jpg\t\nc.jpg\t");
    EXPECT_FALSE(backend.DblClick(dlg, IDC_FILES, 3));
    list.DeleteAllItems();
    EXPECT_EQ(Shown(IDC_FILES), "");

    ASSERT_TRUE(backend.SetText(dlg, IDC_WHEN, "2024-02-29 23:05:09"));
    EXPECT_EQ(dlg.DateTimeCtrl(IDC_WHEN).GetTime(), (ui::DateTime{2024, 2, 29, 23, 5, 9}));
    dlg.DateTimeCtrl(IDC_WHEN).SetFormat("dd/MM/yy h:mm tt");
    EXPECT_EQ(Peer().GetText(IDC_WHEN), "29/02/24 11:05 PM");
    for (const char* bad : {"2023-02-29 00:00:00", "2024-13-01 00:00:00", "2024-01-01 24:00:00", "2024-1-01 00:00:00",
                            "2024-01-01T00:00:00", ""})
        EXPECT_FALSE(backend.SetText(dlg, IDC_WHEN, bad)) << bad;
    EXPECT_EQ(Shown(IDC_WHEN), "2024-02-29 23:05:09");
}

TEST_F(WindowLayerTest, DisabledAndWrongControlsDoNothing)
{
    ASSERT_TRUE(backend.Click(dlg, IDC_LOCKED));
    Peer().Enable(IDC_NAME, false);
    backend.SetText(dlg, IDC_NAME, "typed");
    EXPECT_EQ(backend.Events(), (Lines{"disabled: 116", "disabled: 103"}));
    EXPECT_EQ(Shown(IDC_NAME), "start");

    EXPECT_EQ(backend.Click(dlg, ui::IDC_STATIC).error(), "unknown id -1");
    EXPECT_FALSE(backend.Print(dlg, 999));
    EXPECT_FALSE(backend.Select(dlg, IDC_NAME, "x"));
    EXPECT_FALSE(backend.SetText(dlg, IDC_LEVEL, "low"));
    EXPECT_FALSE(backend.SetText(dlg, IDC_GO, "x"));
    EXPECT_FALSE(backend.Check(dlg, IDC_GO, 1));
    EXPECT_FALSE(backend.Check(dlg, IDC_FLAG, 2));
    EXPECT_FALSE(backend.Spin(dlg, IDC_GO, true));
    EXPECT_FALSE(backend.DblClick(dlg, IDC_NAME, 0));
    EXPECT_TRUE(dlg.m_log.empty());

    Peer().Enable(IDC_LOCKED, true);
    backend.Click(dlg, IDC_LOCKED);
    EXPECT_EQ(dlg.m_log, Lines{"locked"});
}

TEST_F(WindowLayerTest, ClientAreaIsTwoPixelsPerDialogUnit)
{
    EXPECT_EQ(dlg.GetClientRect(), (ui::Rect{0, 0, 480, 340}));
    EXPECT_EQ(dlg.GetClientRect(IDC_PICTURE), (ui::Rect{0, 0, 200, 150}));
    EXPECT_EQ(dlg.GetClientRect(999), ui::Rect{});
    EXPECT_EQ(Peer().GetText(0), "Test window");
}

// The script drives a child through the modal hook (script_test.cpp); here
// the hook's own rules: no hook ends the child at once with Cancel, a hook that
// returns without ending it gives the result.
TEST_F(WindowLayerTest, ModalChildRunsThroughTheHook)
{
    backend.Click(dlg, IDC_CHILD);
    EXPECT_EQ(dlg.m_nChildResult, ui::IDCANCEL);
    backend.SetModalHandler([&](ui::CDialog& child) {
        EXPECT_EQ(backend.TopWindow(), &child);
        EXPECT_EQ(backend.BottomWindow(), &dlg);
        return 77;
    });
    backend.Click(dlg, IDC_CHILD);
    EXPECT_EQ(dlg.m_nChildResult, 77);
    EXPECT_EQ(backend.TopWindow(), &dlg);  // the child is gone

    EXPECT_FALSE(backend.HasEnded(dlg));
    backend.Click(dlg, ui::IDOK);
    EXPECT_EQ(backend.EndResult(dlg), ui::IDOK);
    backend.Close(dlg);
    EXPECT_EQ(dlg.Peer(), nullptr);
}

}  // namespace
}  // namespace qzr::test
