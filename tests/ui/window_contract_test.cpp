// The window contract, on the backend of the test program that compiles it.
#include <QtCore/QBuffer>
#include <QtGui/QImage>

#include <sstream>

#include "tests/ui/test_window.h"

namespace qzr::test {

using Bytes = std::vector<std::uint8_t>;

Bytes MakeJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return {bytes.begin(), bytes.end()};
}

namespace {

using Lines = std::vector<std::string>;

// The checks of buttons as 0s and 1s.
std::string Checks(const CTestDlg& dlg, std::initializer_list<int> ids)
{
    std::string shown;
    for (int id : ids)
        shown += std::to_string(dlg.IsDlgButtonChecked(id));
    return shown;
}

// The exchanged controls and members, in exchange order, joined by '|'.
std::string Controls(const CTestDlg& dlg)
{
    std::string joined;
    for (int id : {IDC_NAME, IDC_NUMBER, IDC_COUNT, IDC_VALUE})
        joined += dlg.GetDlgItemText(id) + "|";
    return joined + Checks(dlg, {IDC_FLAG}) + "|" + Checks(dlg, {IDC_MODE_A, IDC_MODE_B, IDC_MODE_C}) + "|" +
           dlg.GetDlgItemText(IDC_BAUD);
}
std::string Members(const CTestDlg& d)
{
    return (std::ostringstream() << d.m_strName << '|' << d.m_nNumber << '|' << d.m_nCount << '|' << d.m_fValue << '|'
                                 << d.m_bFlag << '|' << d.m_nMode << '|' << d.m_strBaud).str();
}

// A combo's items; a list's rows, one a line, cells separated by tabs.
Lines Items(const CTestDlg& dlg, int id)
{
    Lines items;
    for (int i = 0; i < dlg.Combo(id).GetCount(); ++i)
        items.push_back(dlg.Combo(id).GetLBText(i));
    return items;
}
std::string Rows(const ui::WindowPeer& peer, int id)
{
    std::string text;
    for (int r = 0; r < peer.ListRowCount(id); ++r)
        for (int c = 0; c < peer.ListColumnCount(id); ++c)
            text += (c > 0 ? "\t" : r > 0 ? "\n" : "") + peer.ListItemText(id, r, c);
    return text;
}

TEST_F(WindowContract, ExchangesEveryKindOfValueBothWays)
{
    rig->Run(dlg, [&] {
        ui::WindowPeer& peer = *dlg.Peer();
        EXPECT_EQ(Controls(dlg), "start|7|3|1.5|0|100|9600");
        EXPECT_EQ(peer.ComboSelection(IDC_BAUD), 0);
        dlg.m_nNumber = -5;
        dlg.m_fValue = 10.0f;
        dlg.m_nMode = 1;
        dlg.m_bFlag = 1;
        dlg.m_strBaud = "19";  // a prefix selects the item
        ASSERT_TRUE(dlg.UpdateData(false));
        EXPECT_EQ(Controls(dlg), "start|-5|3|10|1|010|19200");
        EXPECT_EQ(peer.ComboSelection(IDC_BAUD), 1);
        dlg.m_strBaud = "57600";  // no such item: typed into the edit field
        dlg.m_nMode = -1;
        dlg.UpdateData(false);
        ASSERT_TRUE(dlg.UpdateData(true));
        EXPECT_EQ(Members(dlg), "start|-5|3|10|1|-1|57600");

        peer.SetText(IDC_NAME, "  名字 spaced  ");
        peer.SetText(IDC_NUMBER, " -42 ");
        peer.SetText(IDC_COUNT, "4000000000");
        peer.SetText(IDC_VALUE, "2.25");
        peer.SetText(IDC_LOG, "a line\r\n");
        peer.SetCheck(IDC_FLAG, 0);
        peer.SetCheck(IDC_MODE_C, 1);  // the static between the radios does not count
        ASSERT_TRUE(dlg.UpdateData(true));
        EXPECT_EQ(Members(dlg), "  名字 spaced  |-42|4000000000|2.25|0|2|57600");
    });
    EXPECT_EQ(dlg.m_log, Lines{}) << "the window's own changes reach no handler";
}

TEST_F(WindowContract, ControlsKeepWhatTheyAreGiven)
{
    rig->Run(dlg, [&] {
        ui::WindowPeer& peer = *dlg.Peer();
        EXPECT_EQ(peer.ClientRect(0), (ui::Rect{0, 0, 480, 340}));  // two pixels a dialog unit
        peer.SetText(IDC_GO, "Again");
        EXPECT_EQ(peer.GetText(IDC_GO), "Again");
        peer.SetCheck(IDC_NAME, 1);
        EXPECT_EQ(peer.GetCheck(IDC_NAME), 0) << "an edit has no check";
        EXPECT_FALSE(peer.IsEnabled(IDC_LOCKED));
        peer.SetText(999, "x");
        EXPECT_EQ(peer.GetText(999) + Checks(dlg, {999}), "0");
        EXPECT_EQ(peer.ClientRect(999), ui::Rect{});

        auto list = dlg.List(IDC_FILES);  // two columns from OnInitDialog
        EXPECT_EQ(list.InsertItem(0, "b.jpg"), 0);
        EXPECT_EQ(list.InsertItem(0, "a.jpg"), 0);
        EXPECT_EQ(list.InsertItem(99, "c.jpg"), 2);
        list.SetItemText(0, 1, "10");
        list.SetItemText(2, 5, "ignored");
        EXPECT_EQ(Rows(peer, IDC_FILES), "a.jpg\t10\nb.jpg\t\nc.jpg\t");
        peer.ListSelectRow(IDC_FILES, 1);
        EXPECT_EQ(list.GetFirstSelected(), 1);
        peer.ListSelectRow(IDC_FILES, 7);
        EXPECT_EQ(list.GetFirstSelected(), -1);
        peer.ListSelectRow(IDC_FILES, 2);
        list.DeleteAllItems();
        EXPECT_EQ(list.GetItemCount(), 0);
        EXPECT_EQ(list.GetFirstSelected(), -1);

        auto when = dlg.DateTimeCtrl(IDC_WHEN);
        when.SetTime({2024, 2, 29, 23, 5, 9});
        EXPECT_EQ(when.GetTime(), (ui::DateTime{2024, 2, 29, 23, 5, 9}));
        EXPECT_EQ(dlg.GetDlgItemText(IDC_WHEN), "2024-02-29");
        when.SetFormat("dd/MM/yy h:mm tt");
        EXPECT_EQ(dlg.GetDlgItemText(IDC_WHEN), "29/02/24 11:05 PM");
    });
}

TEST_F(WindowContract, HandlersHearTheOperator)
{
    dlg.m_rows = {{"a.jpg", "1"}, {"b.jpg", "2"}};
    rig->Run(dlg, [&] {
        rig->Click(dlg, IDC_GO);
        rig->Click(dlg, IDC_FLAG);
        rig->Click(dlg, IDC_FLAG);
        rig->Type(dlg, IDC_NAME, "abc");
        rig->Choose(dlg, IDC_BAUD, 2);
        rig->Type(dlg, IDC_BAUD, "4800");
        rig->DoubleClickRow(dlg, IDC_FILES, 1);
        rig->DoubleClickRow(dlg, IDC_FILES, -1);
        rig->Spin(dlg, IDC_ARROWS, true);
        rig->Spin(dlg, IDC_ARROWS, false);
        rig->Click(dlg, IDC_LOCKED);  // disabled by its template
        dlg.EnableControl(IDC_LOCKED, true);
        rig->Click(dlg, IDC_LOCKED);
        dlg.EnableControl(IDC_GO, false);
        rig->Click(dlg, IDC_GO);

        // A radio click clears only its own group, before its handler runs.
        dlg.CheckDlgButton(IDC_ALONE, 1);
        for (const auto& [id, shown] : {std::pair{IDC_MODE_B, "0101"}, {IDC_MODE_C, "0011"}, {IDC_MODE_C, "0011"}}) {
            rig->Click(dlg, id);
            EXPECT_EQ(Checks(dlg, {IDC_MODE_A, IDC_MODE_B, IDC_MODE_C, IDC_ALONE}), shown) << id;
        }
    });
    EXPECT_EQ(dlg.m_log, (Lines{"go", "flag 1", "flag 0", "name abc", "baud chosen 2", "baud typed 4800", "row 1",
                                "row -1", "delta -1", "delta 1", "locked", "mode B 1"}));
}

TEST_F(WindowContract, CombosSortSelectAndSearch)
{
    rig->Run(dlg, [&] {
        auto ports = dlg.Combo(IDC_PORTS);
        EXPECT_EQ(Items(dlg, IDC_PORTS), (Lines{"com1", "COM2", "COM3"}));
        ports.SetCurSel(1);
        EXPECT_EQ(ports.AddString("COM10"), 1);
        EXPECT_EQ(ports.AddString("COM4"), 4);
        EXPECT_EQ(ports.AddString("/dev/pts/3"), 0);
        EXPECT_EQ(Items(dlg, IDC_PORTS), (Lines{"/dev/pts/3", "com1", "COM10", "COM2", "COM3", "COM4"}));
        EXPECT_EQ(ports.GetLBText(ports.GetCurSel()), "COM2") << "the selection stays with its item";
        ports.SetWindowText("typed");
        EXPECT_EQ(ports.SetCurSel(7), -1);
        EXPECT_EQ(ports.GetCurSel(), -1);
        EXPECT_EQ(ports.GetWindowText(), "typed") << "clearing the selection keeps the edit text";

        auto bauds = dlg.Combo(IDC_BAUD);  // unsorted: appended
        EXPECT_EQ(bauds.AddString("1200"), 3);
        EXPECT_EQ(Items(dlg, IDC_BAUD), (Lines{"9600", "19200", "115200", "1200"}));

        auto level = dlg.Combo(IDC_LEVEL);
        level.SetWindowText("free text");  // a drop-down list has no edit field
        EXPECT_EQ(level.GetWindowText(), "");
        rig->Choose(dlg, IDC_LEVEL, 1);
        EXPECT_EQ(level.GetWindowText(), "high");
        level.ResetContent();
        EXPECT_EQ(level.AddString("only"), 0);
        EXPECT_EQ(level.GetCurSel(), -1) << "adding selects nothing";

        bauds.ResetContent();
        EXPECT_EQ(bauds.GetWindowText(), "");
        for (const char* item : {"alpha", "beta", "Alps"})
            bauds.AddString(item);
        const struct { int startAfter; const char* prefix; int found; } cases[] = {
            {-1, "al", 0}, {0, "AL", 2}, {2, "al", 0} /* wraps around */, {1, "b", 1}, {-1, "z", -1}, {-1, "", 0}};
        for (const auto& c : cases) {
            bauds.SetCurSel(1);
            EXPECT_EQ(bauds.SelectString(c.startAfter, c.prefix), c.found) << c.prefix << " after " << c.startAfter;
            EXPECT_EQ(bauds.GetCurSel(), c.found < 0 ? 1 : c.found) << "unchanged when not found";
        }
        EXPECT_EQ(bauds.GetWindowText(), "alpha");
        EXPECT_EQ(bauds.FindStringExact(-1, "BETA"), 1);
        EXPECT_EQ(bauds.FindStringExact(-1, "bet"), -1);
        EXPECT_EQ(bauds.FindStringExact(0, "alpha"), 0) << "wraps back to the first";
    });
}

// Timers repeat until killed, restart with a new period; an ended window hears none.
TEST_F(WindowContract, TimersRepeatRestartAndStop)
{
    rig->Run(dlg, [&] {
        const auto ticksDuring = [&](unsigned ms) {
            const int before = dlg.m_nTicks;
            rig->Wait(ms);
            return dlg.m_nTicks - before;
        };
        dlg.SetTimer(1, 10);
        EXPECT_GE(ticksDuring(100), 3);
        dlg.SetTimer(1, 60000);
        EXPECT_EQ(ticksDuring(50), 0) << "restarted with the new period";
        dlg.KillTimer(1);
        dlg.SetTimer(1, 10);
        EXPECT_GE(ticksDuring(100), 3) << "set again after it was killed";
        dlg.KillTimer(1);
        EXPECT_EQ(ticksDuring(50), 0);
        dlg.SetTimer(2, 10);
        rig->Click(dlg, ui::IDCANCEL);
        EXPECT_EQ(ticksDuring(50), 0) << "the window has ended";
    });
}

// A modal child hands its values back on OK, or ends as it starts; timers run on.
TEST_F(WindowContract, ModalChildWindows)
{
    dlg.m_prepareChild = [](CChildDlg& child) { child.m_nTimerPeriod = 10; };
    rig->Run(dlg, [&] {
        dlg.SetTimer(1, 10);
        rig->RunChild(dlg, IDC_CHILD, [&] {
            EXPECT_EQ(dlg.m_child->GetDlgItemText(IDC_CHILD_TEXT), "start");
            rig->Wait(100);
            rig->Type(*dlg.m_child, IDC_CHILD_TEXT, "typed in child");
            rig->Click(*dlg.m_child, ui::IDOK);
        });
        EXPECT_GE(dlg.m_nTicks, 3) << "the parent's timer ran while the child was up";
        EXPECT_GE(dlg.m_child->m_nTicks, 3);
        const int ticks = dlg.m_nTicks;
        rig->Wait(50);
        EXPECT_GT(dlg.m_nTicks, ticks) << "and runs on without it";
        dlg.KillTimer(1);
        EXPECT_EQ(dlg.GetDlgItemText(IDC_NAME), "typed in child");
        dlg.m_prepareChild = [](CChildDlg& child) { child.m_nEndAtInit = 42; };
        rig->Click(dlg, IDC_CHILD);
    });
    std::erase(dlg.m_log, "timer 1");
    EXPECT_EQ(dlg.m_log, (Lines{"child 1", "child 42"}));
}

// Drawing stays until an erasing repaint, which paints again; pictures scale.
TEST_F(WindowContract, DrawingStaysUntilAnErasingRepaint)
{
    const ui::Color grey = ui::RGB(220, 220, 220), dark = ui::RGB(80, 80, 80), red = ui::RGB(255, 0, 0),
                    blue = ui::RGB(0, 0, 255);
    dlg.m_paint = [&](ui::Canvas& dc) { dc.FillSolidRect({200, 0, 220, 20}, blue); };
    const Bytes jpeg = MakeJpeg(16, 8);
    rig->Run(dlg, [&] {
        auto dc = dlg.GetDC();
        dc->FillSolidRect({10, 10, 20, 20}, grey);
        dc->SelectPen(1, dark);
        dc->MoveTo({50, 60});
        dc->LineTo({70, 60});
        dc->SelectBrush(red);
        dc->Ellipse({40, 40, 50, 50});
        EXPECT_EQ(dc->DrawJpeg(jpeg, {100, 100, 132, 116}), (ui::Size{16, 8}));
        for (const Bytes& broken : {Bytes{}, Bytes{0xFF, 0xD8, 0xFF, 0x00}, Bytes(jpeg.begin(), jpeg.begin() + 20)})
            EXPECT_FALSE(dc->DrawJpeg(broken, {150, 0, 160, 10})) << broken.size();
        EXPECT_EQ(rig->DrawnAt(dlg, {15, 15}), grey);
        EXPECT_EQ(rig->DrawnAt(dlg, {60, 60}), dark);
        EXPECT_EQ(rig->DrawnAt(dlg, {45, 45}), red);
        EXPECT_TRUE(rig->DrawnAt(dlg, {130, 114})) << "the picture fills its rectangle";
        EXPECT_FALSE(rig->DrawnAt(dlg, {155, 5}));

        const int paints = dlg.m_nPaints;
        dlg.Invalidate(false);
        rig->Wait(0);
        EXPECT_GT(dlg.m_nPaints, paints);
        EXPECT_EQ(rig->DrawnAt(dlg, {15, 15}), grey) << "kept over a repaint";
        EXPECT_EQ(rig->DrawnAt(dlg, {210, 10}), blue);
        dlg.Invalidate(true);
        rig->Wait(0);
        EXPECT_FALSE(rig->DrawnAt(dlg, {15, 15}));
        EXPECT_EQ(rig->DrawnAt(dlg, {210, 10}), blue) << "painted again after the erasing";
    });
}

// The overlay hides the drawing below until cleared; erasing repaints leave it.
TEST_F(WindowContract, OverlayHidesTheDrawingUntilCleared)
{
    const ui::Color white = ui::RGB(250, 250, 250), blue = ui::RGB(0, 0, 200);
    rig->Run(dlg, [&] {
        dlg.GetDC()->FillSolidRect({10, 10, 60, 40}, blue);
        auto overlay = dlg.GetOverlayDC();
        overlay->FillSolidRect({10, 10, 60, 40}, white);
        overlay->TextOut({12, 12}, "峰值 1", ui::RGB(0, 0, 0));
        EXPECT_EQ(rig->DrawnAt(dlg, {55, 35}), white);
        dlg.Invalidate(true);
        rig->Wait(0);
        EXPECT_EQ(rig->DrawnAt(dlg, {55, 35}), white);
        dlg.GetDC()->FillSolidRect({10, 10, 60, 40}, blue);
        dlg.ClearOverlay();
        rig->Wait(0);
        EXPECT_EQ(rig->DrawnAt(dlg, {55, 35}), blue);
    });
}

}  // namespace
}  // namespace qzr::test
