// Data exchange, radio groups, combo boxes, driving and modal child windows,
// on the headless backend.
#include <gtest/gtest.h>

#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

using headless::HeadlessBackend;

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { backend.Open(dlg); }
    void TearDown() override { backend.Close(dlg); }

    ui::WindowPeer& Peer() { return *dlg.Peer(); }
    std::string Shown(int id) { return backend.Print(dlg, id).value_or("<no control>"); }
    std::vector<std::string> Items(int id)
    {
        std::vector<std::string> items;
        for (int i = 0; i < Peer().ComboCount(id); ++i)
            items.push_back(Peer().ComboItem(id, i));
        return items;
    }

    HeadlessBackend backend;
    headless::CurrentBackendScope scope{backend};
    CTestDlg dlg;
};

// --- data exchange -------------------------------------------------------------

TEST_F(WindowTest, InitShowsMembersInControls)
{
    EXPECT_EQ(Shown(IDC_NAME), "start");
    EXPECT_EQ(Shown(IDC_NUMBER), "7");
    EXPECT_EQ(Shown(IDC_COUNT), "3");
    EXPECT_EQ(Shown(IDC_VALUE), "1.5");
    EXPECT_EQ(Shown(IDC_FLAG), "0");
    EXPECT_EQ(Shown(IDC_MODE_A), "1");
    EXPECT_EQ(Shown(IDC_MODE_B), "0");
    EXPECT_EQ(Shown(IDC_BAUD), "9600");
    EXPECT_EQ(Peer().ComboSelection(IDC_BAUD), 0);
}

TEST_F(WindowTest, ReadsEveryKindOfValue)
{
    Peer().SetText(IDC_NAME, "  spaced  ");
    Peer().SetText(IDC_NUMBER, " -42 ");
    Peer().SetText(IDC_COUNT, "4000000000");
    Peer().SetText(IDC_VALUE, "2.25");
    Peer().SetCheck(IDC_FLAG, 1);
    Peer().SetCheck(IDC_MODE_A, 0);
    Peer().SetCheck(IDC_MODE_C, 1);
    Peer().SetText(IDC_BAUD, "57600");
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.m_strName, "  spaced  ");
    EXPECT_EQ(dlg.m_nNumber, -42);
    EXPECT_EQ(dlg.m_nCount, 4000000000u);
    EXPECT_FLOAT_EQ(dlg.m_fValue, 2.25f);
    EXPECT_EQ(dlg.m_bFlag, 1);
    EXPECT_EQ(dlg.m_nMode, 2);  // the static between the radios does not count
    EXPECT_EQ(dlg.m_strBaud, "57600");
    EXPECT_TRUE(backend.Messages().empty());
}

// A value that does not read is reported once; what was exchanged before it
// keeps its new value, what comes after it is not read at all.
TEST_F(WindowTest, FailedReadReportsAndStopsThePass)
{
    struct Case {
        int id;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {IDC_NUMBER, "12a", "Please enter an integer."},
        {IDC_NUMBER, "", "Please enter an integer."},
        {IDC_NUMBER, "3000000000", "Please enter an integer."},
        {IDC_COUNT, "-1", "Please enter a positive integer."},
        {IDC_COUNT, "1.0", "Please enter a positive integer."},
        {IDC_VALUE, "1e99", "Please enter a number."},
        {IDC_VALUE, "ten", "Please enter a number."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in " + std::to_string(c.id));
        dlg.m_strName = "old";
        dlg.m_bFlag = 0;
        dlg.UpdateData(false);
        backend.ClearRecords();
        Peer().SetText(IDC_NAME, "new");
        Peer().SetCheck(IDC_FLAG, 1);
        Peer().SetText(c.id, c.text);
        EXPECT_FALSE(dlg.UpdateData(true));
        ASSERT_EQ(backend.Messages().size(), 1u);
        EXPECT_EQ(backend.Messages()[0].text, c.message);
        EXPECT_EQ(backend.Events(), std::vector<std::string>{std::string("message: ") + c.message});
        EXPECT_EQ(dlg.m_strName, "new");  // exchanged before the failure
        EXPECT_EQ(dlg.m_bFlag, 0);        // after it: untouched
        Peer().SetText(IDC_NUMBER, "0");
        Peer().SetText(IDC_COUNT, "0");
        Peer().SetText(IDC_VALUE, "0");
    }
}

TEST_F(WindowTest, ShowingWritesMembersToControls)
{
    dlg.m_nNumber = -5;
    dlg.m_fValue = 10.0f;
    dlg.m_nMode = 1;
    dlg.m_bFlag = 1;
    dlg.m_strBaud = "19";  // a prefix selects the item
    ASSERT_TRUE(dlg.UpdateData(false));
    EXPECT_EQ(Shown(IDC_NUMBER), "-5");
    EXPECT_EQ(Shown(IDC_VALUE), "10");
    EXPECT_EQ(Shown(IDC_FLAG), "1");
    EXPECT_EQ(Shown(IDC_MODE_A) + Shown(IDC_MODE_B) + Shown(IDC_MODE_C), "010");
    EXPECT_EQ(Peer().ComboSelection(IDC_BAUD), 1);
    EXPECT_EQ(Shown(IDC_BAUD), "19200");

    dlg.m_strBaud = "57600";  // no such item: typed into the edit field
    dlg.m_nMode = -1;
    dlg.UpdateData(false);
    EXPECT_EQ(Shown(IDC_BAUD), "57600");
    EXPECT_EQ(Shown(IDC_MODE_A) + Shown(IDC_MODE_B) + Shown(IDC_MODE_C), "000");
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.m_nMode, -1);
}

// --- radio groups ------------------------------------------------------------

TEST_F(WindowTest, RadioClickClearsOnlyItsOwnGroup)
{
    ASSERT_TRUE(backend.Click(dlg, IDC_ALONE));
    EXPECT_EQ(Shown(IDC_ALONE), "1");
    EXPECT_EQ(Shown(IDC_MODE_A), "1");  // another group

    ASSERT_TRUE(backend.Click(dlg, IDC_MODE_B));
    EXPECT_EQ(Shown(IDC_MODE_A) + Shown(IDC_MODE_B) + Shown(IDC_MODE_C), "010");
    EXPECT_EQ(Shown(IDC_ALONE), "1");
    EXPECT_EQ(dlg.m_log.back(), "mode B 1");  // the group is settled before the handler runs

    ASSERT_TRUE(backend.Check(dlg, IDC_MODE_C, 1));
    EXPECT_EQ(Shown(IDC_MODE_A) + Shown(IDC_MODE_B) + Shown(IDC_MODE_C), "001");
    ASSERT_TRUE(backend.Check(dlg, IDC_MODE_C, 0));
    EXPECT_EQ(Shown(IDC_MODE_A) + Shown(IDC_MODE_B) + Shown(IDC_MODE_C), "000");
}

// --- combo boxes -------------------------------------------------------------

TEST_F(WindowTest, SortedComboInsertsInOrderAndKeepsTheSelection)
{
    EXPECT_EQ(Items(IDC_PORTS), (std::vector<std::string>{"com1", "COM2", "COM3"}));
    auto ports = dlg.Combo(IDC_PORTS);
    ports.SetCurSel(1);
    EXPECT_EQ(ports.AddString("COM10"), 1);
    EXPECT_EQ(ports.AddString("COM4"), 4);
    EXPECT_EQ(ports.AddString("/dev/pts/3"), 0);
    EXPECT_EQ(Items(IDC_PORTS), (std::vector<std::string>{"/dev/pts/3", "com1", "COM10", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(ports.GetCurSel(), 3);
    EXPECT_EQ(ports.GetLBText(ports.GetCurSel()), "COM2");

    auto bauds = dlg.Combo(IDC_BAUD);  // unsorted: appended
    EXPECT_EQ(bauds.AddString("1200"), 3);
    EXPECT_EQ(bauds.InsertString(0, "300"), 0);
    EXPECT_EQ(bauds.InsertString(99, "x"), -1);
    EXPECT_EQ(Items(IDC_BAUD), (std::vector<std::string>{"300", "9600", "19200", "115200", "1200"}));
}

TEST_F(WindowTest, ComboSearchesByPrefixAndExactly)
{
    auto combo = dlg.Combo(IDC_BAUD);
    combo.ResetContent();
    EXPECT_EQ(Shown(IDC_BAUD), "");
    for (const char* item : {"alpha", "beta", "Alps"})
        combo.AddString(item);
    struct Case {
        int startAfter;
        const char* prefix;
        int found;
    };
    const Case cases[] = {
        {-1, "al", 0}, {0, "AL", 2}, {2, "al", 0},  // wraps around
        {1, "b", 1},   {-1, "z", -1}, {-1, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.prefix) + " after " + std::to_string(c.startAfter));
        combo.SetCurSel(1);
        EXPECT_EQ(combo.SelectString(c.startAfter, c.prefix), c.found);
        EXPECT_EQ(combo.GetCurSel(), c.found < 0 ? 1 : c.found);  // unchanged when not found
    }
    EXPECT_EQ(combo.FindStringExact(-1, "BETA"), 1);
    EXPECT_EQ(combo.FindStringExact(-1, "bet"), -1);
    EXPECT_EQ(combo.FindStringExact(0, "alpha"), 0);  // wraps back to the first

    combo.SetCurSel(2);
    EXPECT_EQ(combo.GetWindowText(), "Alps");
    EXPECT_EQ(combo.SetCurSel(7), -1);
    EXPECT_EQ(combo.GetCurSel(), -1);
    EXPECT_EQ(combo.GetWindowText(), "Alps");  // the edit text stays
}

TEST_F(WindowTest, DropListShowsItsSelection)
{
    EXPECT_EQ(Shown(IDC_LEVEL), "");
    Peer().SetText(IDC_LEVEL, "high");  // no edit field: ignored
    EXPECT_EQ(Shown(IDC_LEVEL), "");
    ASSERT_TRUE(backend.Select(dlg, IDC_LEVEL, "high"));
    EXPECT_EQ(Shown(IDC_LEVEL), "high");
    EXPECT_FALSE(backend.SetText(dlg, IDC_LEVEL, "low"));
}

// --- driving -------------------------------------------------------------------

TEST_F(WindowTest, DisabledControlsOnlyReport)
{
    ASSERT_TRUE(backend.Click(dlg, IDC_LOCKED));
    EXPECT_EQ(backend.Events(), std::vector<std::string>{"disabled: 116"});
    EXPECT_TRUE(dlg.m_log.empty());

    Peer().Enable(IDC_LOCKED, true);
    backend.Click(dlg, IDC_LOCKED);
    EXPECT_EQ(dlg.m_log, std::vector<std::string>{"locked"});

    Peer().Enable(IDC_NAME, false);
    backend.SetText(dlg, IDC_NAME, "typed");
    EXPECT_EQ(Shown(IDC_NAME), "start");
    EXPECT_EQ(backend.Events().back(), "disabled: 103");
}

TEST_F(WindowTest, ControlsAnswerAsAPersonSeesThem)
{
    ASSERT_TRUE(backend.Click(dlg, IDC_FLAG));
    ASSERT_TRUE(backend.Click(dlg, IDC_FLAG));
    ASSERT_TRUE(backend.Check(dlg, IDC_FLAG, 1));
    ASSERT_TRUE(backend.SetText(dlg, IDC_NAME, "abc"));
    ASSERT_TRUE(backend.Select(dlg, IDC_BAUD, "115200"));
    ASSERT_TRUE(backend.SetText(dlg, IDC_BAUD, "4800"));
    EXPECT_EQ(Peer().ComboSelection(IDC_BAUD), -1);  // typing replaces the chosen item
    ASSERT_TRUE(backend.Spin(dlg, IDC_ARROWS, true));
    ASSERT_TRUE(backend.Spin(dlg, IDC_ARROWS, false));
    backend.LClick(dlg, {10, 20});
    backend.LDblClick(dlg, {30, 40});
    EXPECT_EQ(dlg.m_log, (std::vector<std::string>{"flag 1", "flag 0", "flag 1", "name abc", "baud chosen 2",
                                                   "baud typed 4800", "delta -1", "delta 1", "down 10,20",
                                                   "down 30,40", "dblclk 30,40"}));
}

TEST_F(WindowTest, ListRowsAndDoubleClicks)
{
    auto list = dlg.List(IDC_FILES);
    EXPECT_EQ(list.InsertItem(0, "b.jpg"), 0);
    EXPECT_EQ(list.InsertItem(0, "a.jpg"), 0);
    EXPECT_EQ(list.InsertItem(99, "c.jpg"), 2);
    list.SetItemText(0, 1, "10");
    list.SetItemText(2, 1, "30");
    list.SetItemText(2, 5, "ignored");
    EXPECT_EQ(Shown(IDC_FILES), "a.jpg\t10\nb.jpg\t\nc.jpg\t30");
    EXPECT_EQ(list.GetItemText(1, 0), "b.jpg");
    EXPECT_EQ(list.GetClientWidth(), 240);

    ASSERT_TRUE(backend.DblClick(dlg, IDC_FILES, 2));
    ASSERT_TRUE(backend.DblClick(dlg, IDC_FILES, -1));
    EXPECT_FALSE(backend.DblClick(dlg, IDC_FILES, 3));
    EXPECT_EQ(dlg.m_log, (std::vector<std::string>{"row 2", "row -1"}));
    list.DeleteAllItems();
    EXPECT_EQ(Shown(IDC_FILES), "");
}

TEST_F(WindowTest, DateTimeTakesAndShowsItsValue)
{
    ASSERT_TRUE(backend.SetText(dlg, IDC_WHEN, "2024-02-29 23:05:09"));
    EXPECT_EQ(dlg.DateTimeCtrl(IDC_WHEN).GetTime(), (ui::DateTime{2024, 2, 29, 23, 5, 9}));
    EXPECT_EQ(Shown(IDC_WHEN), "2024-02-29 23:05:09");
    dlg.DateTimeCtrl(IDC_WHEN).SetFormat("dd/MM/yy h:mm tt");
    EXPECT_EQ(Peer().GetText(IDC_WHEN), "29/02/24 11:05 PM");
    for (const char* bad : {"2023-02-29 00:00:00", "2024-13-01 00:00:00", "2024-01-01 24:00:00", "2024-1-01 00:00:00",
                            "2024-01-01T00:00:00", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(backend.SetText(dlg, IDC_WHEN, bad));
    }
    EXPECT_EQ(Shown(IDC_WHEN), "2024-02-29 23:05:09");
}

TEST_F(WindowTest, WrongControlsAreRefusedWithAReason)
{
    EXPECT_EQ(backend.Click(dlg, 999).error(), "unknown id 999");
    EXPECT_EQ(backend.Click(dlg, ui::IDC_STATIC).error(), "unknown id -1");
    EXPECT_EQ(backend.Select(dlg, IDC_BAUD, "9601").error(), "combo 110 has no item \"9601\"");
    EXPECT_FALSE(backend.Select(dlg, IDC_NAME, "x"));
    EXPECT_FALSE(backend.Check(dlg, IDC_GO, 1));
    EXPECT_FALSE(backend.Check(dlg, IDC_FLAG, 2));
    EXPECT_FALSE(backend.Spin(dlg, IDC_GO, true));
    EXPECT_FALSE(backend.DblClick(dlg, IDC_NAME, 0));
    EXPECT_FALSE(backend.SetText(dlg, IDC_GO, "x"));
    EXPECT_FALSE(backend.Print(dlg, 999).has_value());
    EXPECT_EQ(Shown(IDC_GO), "Go");
    EXPECT_TRUE(dlg.m_log.empty());
}

TEST_F(WindowTest, FileDialogAnswersFromTheQueue)
{
    backend.QueueFileAnswer("/tmp/fw.bin");
    backend.QueueFileCancel();
    for (int i = 0; i < 3; ++i)
        backend.Click(dlg, IDC_OPEN_FILE);
    EXPECT_EQ(dlg.m_log, (std::vector<std::string>{"file /tmp/fw.bin", "file cancelled", "file cancelled"}));
    EXPECT_EQ(backend.FileDialogsShown(), 3);
}

// --- windows -------------------------------------------------------------------

TEST_F(WindowTest, ClientAreaIsTwoPixelsPerDialogUnit)
{
    EXPECT_EQ(dlg.GetClientRect(), (ui::Rect{0, 0, 480, 340}));
    EXPECT_EQ(dlg.GetClientRect(IDC_PICTURE), (ui::Rect{0, 0, 200, 150}));
    EXPECT_EQ(dlg.GetClientRect(999), ui::Rect{});
    EXPECT_EQ(Peer().GetText(0), "Test window");
}

TEST_F(WindowTest, ChildWindowEndsWithCancelByDefault)
{
    backend.Click(dlg, IDC_CHILD);
    EXPECT_EQ(dlg.m_nChildResult, ui::IDCANCEL);
    EXPECT_EQ(backend.TopWindow(), &dlg);  // the child is gone
}

TEST_F(WindowTest, ModalHandlerDrivesTheChild)
{
    ui::CDialog* seen = nullptr;
    backend.SetModalHandler([&](ui::CDialog& child) {
        seen = &child;
        EXPECT_EQ(backend.TopWindow(), &child);
        EXPECT_EQ(backend.BottomWindow(), &dlg);
        EXPECT_EQ(backend.Print(child, IDC_CHILD_TEXT), "start");  // handed in by the parent
        backend.SetText(child, IDC_CHILD_TEXT, "from child");
        backend.Click(child, ui::IDOK);
        return 12345;  // not used: the child ended itself
    });
    backend.Click(dlg, IDC_CHILD);
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(dlg.m_nChildResult, ui::IDOK);
    EXPECT_EQ(Shown(IDC_NAME), "from child");

    backend.SetModalHandler([](ui::CDialog&) { return 77; });  // gives up without ending it
    backend.Click(dlg, IDC_CHILD);
    EXPECT_EQ(dlg.m_nChildResult, 77);
}

TEST_F(WindowTest, EndDialogOfAnOpenWindowIsRecorded)
{
    EXPECT_FALSE(backend.HasEnded(dlg));
    backend.Click(dlg, ui::IDOK);
    EXPECT_EQ(backend.EndResult(dlg), ui::IDOK);
    backend.Close(dlg);
    EXPECT_FALSE(backend.IsOpen(dlg));
    EXPECT_EQ(dlg.Peer(), nullptr);
}

TEST(WindowOpening, OkRefusedWhileAValueIsWrong)
{
    HeadlessBackend backend;
    headless::CurrentBackendScope scope(backend);
    CTestDlg dlg;
    backend.SetModalHandler([&](ui::CDialog& d) {
        backend.SetText(d, IDC_NUMBER, "seven");
        backend.Click(d, ui::IDOK);
        EXPECT_FALSE(backend.HasEnded(d));  // the window stays open
        backend.SetText(d, IDC_NUMBER, "8");
        backend.Click(d, ui::IDOK);
        return 0;
    });
    EXPECT_EQ(dlg.DoModal(), ui::IDOK);
    EXPECT_EQ(dlg.m_nNumber, 8);
    EXPECT_EQ(backend.Events(), std::vector<std::string>{"message: Please enter an integer."});
    EXPECT_FALSE(dlg.IsWindowOpen());
}

}  // namespace
}  // namespace qzr::test
