// Qt's offscreen backend: the window contract, layout, Qt's widgets, posted repaints, keys, progress bar.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "qt/qt_app.h"
#include "qt/qt_window.h"
#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

qtui::QtBackend& Backend()
{
    static qtui::QtApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_SCALE_FACTOR", "1");  // pixel checks are in window pixels
        static int argc = 1;
        static char name[] = "qt_backend_test";
        static char* argv[] = {name, nullptr};
        return new qtui::QtApplication(argc, argv);
    }();
    auto& backend = static_cast<qtui::QtBackend&>(app->Backend());
    ui::SetCurrentBackend(&backend);
    return backend;
}

void Key(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

void Mouse(QWidget* target, QPoint p, QEvent::Type type = QEvent::MouseButtonPress)
{
    QMouseEvent event(type, QPointF(p), target->mapToGlobal(QPointF(p)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Windows run modally as in the console; a test's steps run inside the loop.
class QtRig final : public WindowRig {
public:
    void Run(ui::CDialog& d, const std::function<void()>& steps) override
    {
        Backend();
        QTimer::singleShot(0, [&] {
            Wait(0);  // the first paint
            steps();
            d.EndDialog(ui::IDCANCEL);
        });
        d.DoModal();
    }
    void RunChild(ui::CDialog& d, int id, const std::function<void()>& steps) override
    {
        QTimer::singleShot(0, [parent = Peer(d).Widget(), steps] {
            QWidget* child = QApplication::activeModalWidget();
            if (!child || child == parent)
                return;  // it never came up
            steps();
            if (QApplication::activeModalWidget() == child)
                child->close();
        });
        Click(d, id);
    }
    void Click(ui::CDialog& d, int id) override { Control<QAbstractButton>(d, id)->click(); }
    void Type(ui::CDialog& d, int id, std::string_view text) override
    {
        QComboBox* combo = Control<QComboBox>(d, id);
        QLineEdit* edit = combo ? combo->lineEdit() : Control<QLineEdit>(d, id);
        edit->selectAll();
        edit->insert(qtui::ToQString(text));  // reported as the operator's edit
    }
    void Choose(ui::CDialog& d, int id, int index) override
    {
        // What the combo does when the operator picks an item from its list.
        Control<QComboBox>(d, id)->setCurrentIndex(index);
        Q_EMIT Control<QComboBox>(d, id)->activated(index);
    }
    void DoubleClickRow(ui::CDialog& d, int id, int row) override
    {
        auto* list = Control<QTableWidget>(d, id);
        const QPoint at = row < 0 ? QPoint(5, list->viewport()->height() - 2)  // below the last row
                                  : list->visualRect(list->model()->index(row, 0)).center();
        Mouse(list->viewport(), at, QEvent::MouseButtonDblClick);
    }
    void Spin(ui::CDialog& d, int id, bool up) override
    {
        Control<QWidget>(d, id)->findChildren<QToolButton*>().at(up ? 0 : 1)->click();  // up, then down
    }
    void Wait(unsigned ms) override
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::optional<ui::Color> DrawnAt(ui::CDialog& d, ui::Point p) override
    {
        // The overlay lies over the drawing layer.
        for (qtui::DrawingLayer* layer : {Peer(d).Overlay(), Peer(d).Layer()})
            if (const QColor c = layer->Image().pixelColor(p.x, p.y); c.alpha())
                return ui::RGB(c.red(), c.green(), c.blue());
        return std::nullopt;
    }

    static qtui::QtWindowPeer& Peer(const ui::CDialog& d) { return *Backend().PeerOf(&d); }
    template <typename W>
    static W* Control(const ui::CDialog& d, int id)
    {
        return dynamic_cast<W*>(Peer(d).ControlWidget(id));
    }
};

}  // namespace

std::unique_ptr<WindowRig> MakeRig() { return std::make_unique<QtRig>(); }

namespace {

using QtWindow = WindowContract;

// Template layout, multi-line text, presses no control takes, merged repaints and the progress bar's fill.
TEST_F(QtWindow, LayoutWidgetsAndPaints)
{
    rig->Run(dlg, [&] {
        qtui::QtWindowPeer& peer = QtRig::Peer(dlg);
        EXPECT_EQ(peer.Widget()->windowTitle(), "Test window");
        EXPECT_EQ(peer.ControlWidget(IDC_MODE_B)->geometry(), QRect(96, 144, 40, 20));
        EXPECT_EQ(peer.ControlWidget(IDC_PORTS)->geometry(), QRect(100, 8, 100, 24));

        peer.SetText(IDC_LOG, "one\r\ntwo\r\n");
        EXPECT_EQ(QtRig::Control<QPlainTextEdit>(dlg, IDC_LOG)->toPlainText(), "one\ntwo\n");
        EXPECT_EQ(peer.GetText(IDC_LOG), "one\r\ntwo\r\n");
        peer.SetText(IDC_NAME, "名字");
        EXPECT_EQ(QtRig::Control<QLineEdit>(dlg, IDC_NAME)->text(), "名字");

        Mouse(peer.Widget(), QPoint(470, 330));  // bare window
        Mouse(peer.Widget(), QPoint(300, 50));   // inside the picture frame
        Mouse(peer.Widget(), QPoint(150, 310));  // on the "Child..." button: the button's own

        EXPECT_EQ(dlg.m_nPaints, 1);
        dlg.Invalidate(true);
        dlg.Invalidate(false);
        EXPECT_EQ(dlg.m_nPaints, 1);
        rig->Wait(0);
        EXPECT_EQ(dlg.m_nPaints, 2);

        auto* bar = QtRig::Control<QProgressBar>(dlg, IDC_PROGRESS);
        EXPECT_FALSE(bar->isTextVisible());
        dlg.SetProgress(IDC_PROGRESS, ui::Progress{1808, 10000, 4500});
        EXPECT_TRUE(bar->isTextVisible());
        EXPECT_EQ(bar->text(), "1808/10000 bytes, 4500 B/s, 2 s left");
        EXPECT_EQ(bar->value() * 10000 / bar->maximum(), 1800);
        dlg.SetProgress(IDC_PROGRESS, std::nullopt);
        EXPECT_FALSE(bar->isTextVisible());
        EXPECT_EQ(bar->value(), bar->minimum() - 1) << "reset: empty";
    });
    EXPECT_EQ(dlg.m_log, (std::vector<std::string>{"down 470,330", "down 300,50"}));
}

// Escape, Enter and the close box end only a window with OK or Cancel.
TEST_F(QtWindow, EscapeAndEnterCloseOnlyWindowsWithOkOrCancel)
{
    static constexpr ui::ControlTemplate kControls[] = {{IDC_GO, ControlKind::PushButton, "Go", 4, 4, 40, 13}};
    static constexpr ui::DialogTemplate kBare = {902, "Bare", 100, 30, kControls};
    ui::CDialog bare(kBare);
    rig->Run(bare, [&] {
        for (int key : {Qt::Key_Escape, Qt::Key_Return})
            Key(QtRig::Peer(bare).Widget(), key);
        EXPECT_TRUE(QtRig::Peer(bare).Widget()->isVisible());
    });
    rig->Run(dlg, [&] {
        for (int key : {int(Qt::Key_Escape), int(Qt::Key_Return), 0 /* the close box */}) {
            rig->RunChild(dlg, IDC_CHILD, [&] {
                QWidget* child = QApplication::activeModalWidget();
                if (key)
                    Key(child, key);
                else
                    child->close();
                EXPECT_FALSE(child->isVisible());
            });
        }
    });
    EXPECT_EQ(dlg.m_log, (std::vector<std::string>{"child 2", "child 1", "child 2"}));
}

TEST(QtConversions, DateTimeFormatsAndFileFilters)
{
    EXPECT_EQ(qtui::QtDateTimeFormat("d/M/yy h:mm tt"), "d/M/yy h:mm AP");
    EXPECT_EQ(qtui::QtDateTimeFormat("'Date:' dddd"), "'Date:' dddd");
    EXPECT_EQ(qtui::QtDateTimeFormat("yyyy zone"), "yyyy 'zone'");
    EXPECT_EQ(qtui::QtNameFilters("Pictures|*.jpg;*.jpeg|All files|*.*||"),
              (QStringList{"Pictures (*.jpg *.jpeg)", "All files (*.*)"}));
    EXPECT_EQ(qtui::QtNameFilters("*.jpeg|*.jpg"), QStringList{"*.jpeg (*.jpg)"});
    EXPECT_TRUE(qtui::QtNameFilters("").isEmpty());
}

}  // namespace
}  // namespace qzr::test
