// The desktop backend on Qt's offscreen platform: windows built from a
// template, clicks and typing turned into handler calls, timers, and drawing
// into the window's layer.
#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "qt/qt_app.h"
#include "qt/qt_window.h"
#include "ui/dialog.h"

namespace {

using ui::ControlKind;

enum : int {
    IDC_A = 10, IDC_B, IDC_C, IDC_ALONE, IDC_FLAG,
    IDC_PORTS = 20, IDC_LEVEL, IDC_LOG, IDC_NAME,
    IDC_FILES = 30, IDC_ARROWS, IDC_PICTURE, IDC_LOCKED, IDC_CHILD, IDC_PROGRESS,
};

constexpr std::string_view kPorts[] = {"COM3", "com1", "COM2"};
constexpr std::string_view kLevels[] = {"low", "high"};

constexpr ui::ControlTemplate kControls[] = {
    {ui::IDC_STATIC, ControlKind::GroupBox, "Mode", 2, 2, 120, 30},
    {IDC_A, ControlKind::RadioButton, "A", 6, 12, 20, 10, ui::kGroup},
    {IDC_B, ControlKind::RadioButton, "B", 30, 12, 20, 10},
    {IDC_C, ControlKind::RadioButton, "C", 54, 12, 20, 10},
    {IDC_ALONE, ControlKind::RadioButton, "Alone", 78, 12, 40, 10, ui::kGroup},
    {IDC_FLAG, ControlKind::CheckBox, "Flag", 6, 36, 40, 10, ui::kGroup},
    {IDC_PORTS, ControlKind::ComboBox, "", 130, 4, 60, 80, ui::kSorted, kPorts},
    {IDC_LEVEL, ControlKind::DropList, "", 130, 20, 60, 80, 0, kLevels},
    {IDC_LOG, ControlKind::Edit, "", 130, 36, 60, 40, ui::kMultiline | ui::kReadOnly | ui::kVScroll},
    {IDC_NAME, ControlKind::Edit, "", 130, 80, 60, 12},
    {IDC_FILES, ControlKind::ListView, "", 6, 50, 110, 50, ui::kFullRowSelect | ui::kGridLines},
    {IDC_ARROWS, ControlKind::UpDown, "", 196, 4, 9, 14},
    {IDC_PICTURE, ControlKind::Frame, "", 6, 104, 100, 60},
    {IDC_LOCKED, ControlKind::PushButton, "Locked", 130, 96, 40, 13, ui::kDisabled},
    {IDC_CHILD, ControlKind::PushButton, "Child", 130, 112, 40, 13},
    {IDC_PROGRESS, ControlKind::Progress, "", 110, 130, 96, 9},
};
const ui::DialogTemplate kWindow = {300, "Test window", 210, 170, kControls};

constexpr ui::ControlTemplate kChildControls[] = {
    {ui::IDOK, ControlKind::DefPushButton, "OK", 4, 4, 40, 13},
    {ui::IDCANCEL, ControlKind::PushButton, "Cancel", 48, 4, 40, 13},
};
const ui::DialogTemplate kChild = {301, "Child", 100, 30, kChildControls};

qtui::QtBackend& Backend()
{
    static qtui::QtApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_SCALE_FACTOR", "1");  // pixel checks below are in window pixels
        static int argc = 1;
        static char name[] = "qt_backend_test";
        static char* argv[] = {name, nullptr};
        return new qtui::QtApplication(argc, argv);
    }();
    auto& backend = static_cast<qtui::QtBackend&>(app->Backend());
    ui::SetCurrentBackend(&backend);
    return backend;
}

// A window that records what reaches its handlers.
class RecordingDialog : public ui::CDialog {
public:
    RecordingDialog() : CDialog(kWindow)
    {
        for (int id : {IDC_A, IDC_B, IDC_C, IDC_ALONE, IDC_FLAG})
            OnClicked(id, [this, id] { clicks.push_back(id); });
        OnEditChange(IDC_PORTS, [this] { edits.push_back(GetDlgItemText(IDC_PORTS)); });
        OnSelChange(IDC_PORTS, [this] { selections.push_back(Combo(IDC_PORTS).GetCurSel()); });
        OnListDblClk(IDC_FILES, [this] { doubleClicked.push_back(List(IDC_FILES).GetFirstSelected()); });
        OnDeltaPos(IDC_ARROWS, [this](int delta) { deltas.push_back(delta); });
        OnClicked(IDC_CHILD, [this] { childResult = CDialog(kChild).DoModal(); });
    }

    std::function<void()> onInit;
    std::vector<int> clicks, selections, doubleClicked, deltas, timers;
    std::vector<std::string> edits;
    std::vector<ui::Point> presses;
    int paints = 0;
    int childResult = 0;

protected:
    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (onInit)
            onInit();
        return true;
    }
    void OnTimer(int id) override { timers.push_back(id); }
    void OnPaint(ui::Canvas&) override { ++paints; }
    void OnLButtonDown(ui::Point p) override { presses.push_back(p); }
};

// Runs `steps` inside the window's message loop, then closes the window.
void RunInWindow(RecordingDialog& dialog, const std::function<void(qtui::QtWindowPeer&)>& steps)
{
    qtui::QtBackend& backend = Backend();
    QTimer::singleShot(0, [&] {
        qtui::QtWindowPeer* peer = backend.PeerOf(&dialog);
        ASSERT_NE(peer, nullptr);
        steps(*peer);
        dialog.EndDialog(ui::IDCANCEL);
    });
    dialog.DoModal();
}

template <typename W>
W* Widget(qtui::QtWindowPeer& peer, int id)
{
    return dynamic_cast<W*>(peer.ControlWidget(id));
}

void Key(QWidget* target, int key, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
}

void Press(QWidget* target, QPoint p, QEvent::Type type = QEvent::MouseButtonPress)
{
    QMouseEvent event(type, QPointF(p), target->mapToGlobal(QPointF(p)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Lets queued work (posted paints, timers) run for about `ms`.
void Pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Controls stand where the template puts them (two pixels a dialog unit), keep
// what they are given, and report operator input to the window.
TEST(QtWindow, ControlsFromTheTemplate)
{
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        EXPECT_EQ(peer.Widget()->size(), QSize(420, 340));
        EXPECT_EQ(peer.ClientRect(0), (ui::Rect{0, 0, 420, 340}));
        EXPECT_EQ(peer.Widget()->windowTitle(), "Test window");
        EXPECT_EQ(Widget<QRadioButton>(peer, IDC_B)->geometry(), QRect(60, 24, 40, 20));
        // A closed combo is one line high whatever its list height.
        EXPECT_EQ(Widget<QComboBox>(peer, IDC_PORTS)->geometry(), QRect(260, 8, 120, 24));
        EXPECT_FALSE(peer.IsEnabled(IDC_LOCKED));
        EXPECT_EQ(peer.GetText(IDC_CHILD), "Child");
        EXPECT_EQ(peer.GetText(999), "");

        peer.SetText(IDC_LOG, "one\r\ntwo\r\n");  // the multi-line box gives back the line ends it got
        EXPECT_EQ(Widget<QPlainTextEdit>(peer, IDC_LOG)->toPlainText(), "one\ntwo\n");
        EXPECT_EQ(peer.GetText(IDC_LOG), "one\r\ntwo\r\n");
        peer.SetText(IDC_NAME, "名字");
        EXPECT_EQ(Widget<QLineEdit>(peer, IDC_NAME)->text(), "名字");

        peer.ListInsertColumn(IDC_FILES, 0, "Name", 80);
        peer.ListInsertColumn(IDC_FILES, 1, "Size", 40);
        peer.ListInsertRow(IDC_FILES, 0, "b.jpg");
        EXPECT_EQ(peer.ListInsertRow(IDC_FILES, 0, "a.jpg"), 0);
        peer.ListSetItemText(IDC_FILES, 1, 1, "20");
        EXPECT_EQ(peer.ListItemText(IDC_FILES, 1, 0) + peer.ListItemText(IDC_FILES, 1, 1), "b.jpg20");
        EXPECT_EQ(peer.ListSelectedRow(IDC_FILES), -1);
        auto* list = Widget<QTableWidget>(peer, IDC_FILES);
        Press(list->viewport(), list->visualRect(list->model()->index(1, 0)).center(), QEvent::MouseButtonDblClick);
        Press(list->viewport(), QPoint(5, list->viewport()->height() - 2), QEvent::MouseButtonDblClick);
        const auto arrows = peer.ControlWidget(IDC_ARROWS)->findChildren<QToolButton*>();
        ASSERT_EQ(arrows.size(), 2);
        for (QToolButton* arrow : arrows)
            arrow->click();

        Press(peer.Widget(), QPoint(400, 330));  // bare window
        Press(peer.Widget(), QPoint(30, 250));   // inside the picture frame
        Press(peer.Widget(), QPoint(270, 230));  // on the "Child" button: the button's own
    });
    EXPECT_EQ(dialog.doubleClicked, (std::vector<int>{1, -1}));
    EXPECT_EQ(dialog.deltas, (std::vector<int>{-1, +1}));
    EXPECT_EQ(dialog.presses, (std::vector<ui::Point>{{400, 330}, {30, 250}}));
}

TEST(QtWindow, RadioGroupsFollowTheWindowNotQt)
{
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        peer.SetCheck(IDC_ALONE, 1);
        Widget<QAbstractButton>(peer, IDC_B)->click();
        Widget<QAbstractButton>(peer, IDC_C)->click();
        Widget<QAbstractButton>(peer, IDC_C)->click();  // clicking the selected one keeps it selected
        EXPECT_EQ(peer.GetCheck(IDC_B), 0);
        EXPECT_EQ(peer.GetCheck(IDC_C), 1);
        EXPECT_EQ(peer.GetCheck(IDC_ALONE), 1);  // another group is untouched
        Widget<QAbstractButton>(peer, IDC_FLAG)->click();
        EXPECT_EQ(peer.GetCheck(IDC_FLAG), 1);
    });
    EXPECT_EQ(dialog.clicks, (std::vector<int>{IDC_B, IDC_C, IDC_C, IDC_FLAG}));
}

TEST(QtWindow, CombosSortKeepTextAndReportOnlyTheOperator)
{
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        EXPECT_EQ(peer.ComboItem(IDC_PORTS, 0), "com1");
        EXPECT_EQ(peer.ComboSelection(IDC_PORTS), -1);
        EXPECT_EQ(peer.ComboAdd(IDC_PORTS, "COM10"), 1);
        peer.ComboSetSelection(IDC_PORTS, 2);
        EXPECT_EQ(peer.GetText(IDC_PORTS), "COM2");
        peer.SetText(IDC_PORTS, "typed");
        peer.ComboSetSelection(IDC_PORTS, -1);
        EXPECT_EQ(peer.GetText(IDC_PORTS), "typed");
        EXPECT_EQ(peer.ComboSelection(IDC_PORTS), -1);

        peer.ComboReset(IDC_LEVEL);
        EXPECT_EQ(peer.ComboAdd(IDC_LEVEL, "only"), 0);
        EXPECT_EQ(peer.ComboSelection(IDC_LEVEL), -1);  // adding selects nothing

        auto* combo = Widget<QComboBox>(peer, IDC_PORTS);
        combo->setFocus();
        Key(combo->lineEdit(), Qt::Key_X, "x");
        peer.ComboSetSelection(IDC_PORTS, 0);
        Key(combo, Qt::Key_Down);
    });
    EXPECT_EQ(dialog.edits, (std::vector<std::string>{"typedx"}));
    EXPECT_EQ(dialog.selections, (std::vector<int>{1}));
}

TEST(QtWindow, TimersRepeatUntilKilled)
{
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        peer.SetTimer(7, 10);
        Pump(120);
        peer.KillTimer(7);
        const std::size_t fired = dialog.timers.size();
        Pump(50);
        EXPECT_GE(fired, 3u);
        EXPECT_EQ(dialog.timers.size(), fired);
    });
    for (int id : dialog.timers)
        EXPECT_EQ(id, 7);
}

TEST(QtWindow, DrawingStaysInTheLayerUntilErased)
{
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        Pump(20);
        EXPECT_EQ(dialog.paints, 1);  // shown once
        const QImage& layer = peer.Layer()->Image();
        auto dc = peer.GetCanvas();
        dc->FillSolidRect({10, 10, 20, 20}, ui::RGB(220, 220, 220));
        EXPECT_EQ(layer.pixelColor(25, 25).alpha(), 0);
        dc->SelectPen(1, ui::RGB(80, 80, 80));
        dc->MoveTo({50, 60});
        dc->LineTo({70, 60});
        dc->SelectBrush(ui::RGB(255, 0, 0));
        dc->Ellipse({40, 40, 50, 50});
        EXPECT_EQ(layer.pixelColor(60, 60), QColor(80, 80, 80));
        EXPECT_EQ(layer.pixelColor(45, 45), QColor(255, 0, 0));

        QImage image(16, 8, QImage::Format_RGB32);
        image.fill(QColor(0, 0, 255));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG");
        EXPECT_EQ(dc->DrawJpeg({reinterpret_cast<const std::uint8_t*>(jpeg.data()), std::size_t(jpeg.size())},
                               {100, 100, 132, 116}),
                  (ui::Size{16, 8}));
        EXPECT_GT(layer.pixelColor(130, 114).blue(), 200);  // scaled to the whole target
        EXPECT_FALSE(dc->DrawJpeg(std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0x00}, {0, 0, 10, 10}));

        peer.Invalidate(false);
        Pump(20);
        EXPECT_EQ(dialog.paints, 2);
        EXPECT_EQ(layer.pixelColor(15, 15), QColor(220, 220, 220));  // survives a repaint
        peer.Invalidate(true);
        peer.Invalidate(true);
        Pump(20);
        EXPECT_EQ(dialog.paints, 3);  // two invalidations, one paint
        EXPECT_EQ(layer.pixelColor(15, 15).alpha(), 0);
    });
}

// The overlay lies over the drawing layer: what it holds hides the layer
// below, which shows again once the overlay is cleared; repaints leave it.
TEST(QtWindow, OverlayHidesTheLayerUntilCleared)
{
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        Pump(20);
        QWidget* window = peer.Widget();
        peer.GetCanvas()->FillSolidRect({10, 10, 60, 40}, ui::RGB(0, 0, 200));
        auto overlay = peer.GetOverlayCanvas();
        overlay->FillSolidRect({10, 10, 60, 40}, ui::RGB(250, 250, 250));
        overlay->TextOut({12, 12}, "峰值 1", ui::RGB(0, 0, 0));
        Pump(20);
        EXPECT_EQ(window->grab().toImage().pixelColor(55, 35), QColor(250, 250, 250));
        peer.Invalidate(true);
        Pump(20);
        EXPECT_EQ(peer.Overlay()->Image().pixelColor(55, 35), QColor(250, 250, 250));
        peer.GetCanvas()->FillSolidRect({10, 10, 60, 40}, ui::RGB(0, 0, 200));
        peer.ClearOverlay();
        Pump(20);
        EXPECT_EQ(window->grab().toImage().pixelColor(55, 35), QColor(0, 0, 200));
    });
}

// Escape and Enter do not end the main window, which has neither OK nor
// Cancel; a window with them ends on Escape, Enter and its close box.
TEST(QtWindow, EscapeAndEnterCloseOnlyWindowsWithOkOrCancel)
{
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        Key(peer.Widget(), Qt::Key_Escape);
        Key(peer.Widget(), Qt::Key_Return);
        EXPECT_TRUE(dialog.IsWindowOpen());
        const std::pair<std::function<void(QWidget*)>, int> closings[] = {
            {[](QWidget* child) { Key(child, Qt::Key_Escape); }, ui::IDCANCEL},
            {[](QWidget* child) { Key(child, Qt::Key_Return); }, ui::IDOK},  // the default button
            {[](QWidget* child) { child->close(); }, ui::IDCANCEL},          // the close box
        };
        for (const auto& [close, result] : closings) {
            dialog.childResult = 0;
            QTimer::singleShot(0, [&] {
                ASSERT_NE(QApplication::activeModalWidget(), peer.Widget());
                close(QApplication::activeModalWidget());
            });
            Widget<QAbstractButton>(peer, IDC_CHILD)->click();
            EXPECT_EQ(dialog.childResult, result);
        }
    });
}

TEST(QtWindow, EndingWhileStartingNeverShowsTheWindow)
{
    RecordingDialog dialog;
    dialog.onInit = [&] { dialog.EndDialog(42); };
    Backend();
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_EQ(dialog.paints, 0);
    EXPECT_FALSE(dialog.IsWindowOpen());
}

// A modal child window that polls its own port runs its timer while the
// window under it keeps its own timer running.
TEST(QtWindow, ParentAndChildTimersRunWhileTheChildIsModal)
{
    struct PollingChild final : ui::CDialog {
        PollingChild() : CDialog(kChild) {}
        void OnTimer(int) override { ++ticks; }
        int ticks = 0;
    } child;
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        peer.SetTimer(7, 10);
        QTimer::singleShot(0, [&] { child.SetTimer(1, 10); });
        QTimer::singleShot(150, [&] { child.EndDialog(ui::IDOK); });
        EXPECT_EQ(child.DoModal(), ui::IDOK);
    });
    EXPECT_GE(child.ticks, 3);
    EXPECT_GE(dialog.timers.size(), 3u);
}

TEST(QtConversions, DateTimeFormatsAndFileFilters)
{
    EXPECT_EQ(qtui::QtDateTimeFormat("yyyy-MM-dd HH:mm:ss"), "yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(qtui::QtDateTimeFormat("d/M/yy h:mm tt"), "d/M/yy h:mm AP");
    EXPECT_EQ(qtui::QtDateTimeFormat("'Date:' dddd"), "'Date:' dddd");
    EXPECT_EQ(qtui::QtDateTimeFormat("yyyy zone"), "yyyy 'zone'");
    EXPECT_EQ(qtui::QtNameFilters("Pictures|*.jpg;*.jpeg|All files|*.*||"),
              (QStringList{"Pictures (*.jpg *.jpeg)", "All files (*.*)"}));
    EXPECT_EQ(qtui::QtNameFilters("*.jpeg|*.jpg"), QStringList{"*.jpeg (*.jpg)"});
    EXPECT_TRUE(qtui::QtNameFilters("").isEmpty());
}

// A progress bar shows a transfer's figures and is empty while none runs.
TEST(QtWindow, ProgressBarShowsTheTransfersFigures)
{
    RecordingDialog dialog;
    RunInWindow(dialog, [&](qtui::QtWindowPeer& peer) {
        auto* bar = Widget<QProgressBar>(peer, IDC_PROGRESS);
        ASSERT_NE(bar, nullptr);
        EXPECT_FALSE(bar->isTextVisible());
        dialog.SetProgress(IDC_PROGRESS, ui::Progress{1808, 10000, 4500});
        EXPECT_TRUE(bar->isTextVisible());
        EXPECT_EQ(bar->text(), "1808/10000 bytes, 4500 B/s, 2 s left");
        EXPECT_EQ(bar->value() * 10000 / bar->maximum(), 1800) << "18 % of the bar, to a thousandth";
        dialog.SetProgress(IDC_PROGRESS, std::nullopt);
        EXPECT_FALSE(bar->isTextVisible());
        EXPECT_EQ(bar->value(), bar->minimum() - 1) << "reset: empty";
    });
}

}  // namespace
