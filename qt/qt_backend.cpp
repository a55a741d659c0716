#include <algorithm>
#include <climits>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QMessageBox>
#include <QStyleFactory>
#include <QThread>

#include "qt/qt_app.h"
#include "qt/qt_window.h"

namespace qtui {

namespace {

// Text of every window. The templates give controls room for about six pixels
// a character; this face and size keep the longest captions inside their boxes
// whatever the desktop's own font (Chinese text falls back to a CJK face).
constexpr int kFontPixelSize = 11;
constexpr const char* kFontFamily = "DejaVu Sans";

QMessageBox::Icon ToQIcon(ui::Icon icon)
{
    switch (icon) {
    case ui::Icon::Stop:
        return QMessageBox::Critical;
    case ui::Icon::Information:
        return QMessageBox::Information;
    case ui::Icon::Warning:
        return QMessageBox::Warning;
    case ui::Icon::Question:
        return QMessageBox::Question;
    case ui::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// The console's icon (the one installed for the desktop menu), drawn for the
// windows' title bars and the task bar.
QIcon ConsoleIcon()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x1d, 0x33, 0x47), body(0xdc, 0xdc, 0xdc);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x4f, 0x6f));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    p.setPen(QPen(ink, 2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(10, 20, 36, 26), 4, 4);
    p.drawRoundedRect(QRectF(14, 14, 10, 6), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QPointF(28, 33), 9, 9);
    p.setBrush(QColor(0x6f, 0xa8, 0xdc));
    p.drawEllipse(QPointF(28, 33), 5, 5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(26, 31), 1.6, 1.6);
    p.setBrush(QColor(0xd0, 0x40, 0x40));
    p.drawEllipse(QPointF(40, 25), 2, 2);
    p.setPen(QPen(QColor(0xf0, 0xc0, 0x40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(46, 33), QPointF(52, 33), QPointF(52, 50), QPointF(58, 50)}));
    return QIcon(pixmap);
}

}  // namespace

int QtBackend::RunModal(ui::CDialog& dialog, const ui::DialogTemplate& tmpl)
{
    if (m_open.empty() && m_mainCaption.empty())
        m_mainCaption = std::string(tmpl.caption);
    QWidget* parent = m_open.empty() ? nullptr : m_open.back()->Widget();
    auto peer = std::make_unique<QtWindowPeer>(dialog, tmpl, parent);
    m_open.push_back(peer.get());
    dialog.AttachPeer(peer.get());
    dialog.HandleInitDialog();
    const int result = peer->Exec();
    dialog.AttachPeer(nullptr);
    m_open.erase(std::find(m_open.begin(), m_open.end(), peer.get()));
    return result;
}

void QtBackend::EndModal(ui::CDialog& dialog, int result)
{
    if (QtWindowPeer* peer = PeerOf(&dialog))
        peer->End(result);
}

QtWindowPeer* QtBackend::PeerOf(const ui::CDialog* dialog) const
{
    for (QtWindowPeer* peer : m_open)
        if (&peer->Dialog() == dialog)
            return peer;
    return nullptr;
}

// A message or file dialog stands over its owner; over the topmost shown
// window when the owner is not on screen (yet), as while a window starts.
QWidget* QtBackend::ParentFor(const ui::CDialog* owner) const
{
    if (QtWindowPeer* peer = PeerOf(owner); peer && peer->Widget()->isVisible())
        return peer->Widget();
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it)
        if ((*it)->Widget()->isVisible())
            return (*it)->Widget();
    return nullptr;
}

namespace {
int g_blockingWaits = 0;
// Waits shorter than this pass without a busy cursor (the pauses between the
// pieces of a frame, for one).
constexpr unsigned kBusyCursorMs = 100;
}  // namespace

bool InBlockingWait() { return g_blockingWaits > 0; }

void QtBackend::Sleep(unsigned ms)
{
    // Nothing of the windows runs meanwhile, as the operator knows from the
    // classic console; but the desktop still gets its repaints, so a long
    // wait shows a busy cursor over a drawn window, not a grey one.
    ++g_blockingWaits;
    if (ms >= kBusyCursorMs)
        SetWaitCursor(true);
    QElapsedTimer elapsed;
    elapsed.start();
    for (qint64 left = ms; left > 0; left = ms - elapsed.elapsed()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 10)));
    }
    if (ms >= kBusyCursorMs)
        SetWaitCursor(false);
    --g_blockingWaits;
}

void QtBackend::SetWaitCursor(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

ui::DateTime QtBackend::LocalTime() const
{
    const QDateTime now = QDateTime::currentDateTime();
    return ui::DateTime{now.date().year(), now.date().month(), now.date().day(),
                        now.time().hour(), now.time().minute(), now.time().second()};
}

int QtBackend::MessageBox(ui::CDialog* owner, std::string_view text, std::string_view caption, ui::Icon icon)
{
    QString shown = ToQString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(ToQIcon(icon), ToQString(caption.empty() ? std::string_view(m_mainCaption) : caption), shown,
                    QMessageBox::Ok, ParentFor(owner));
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return ui::IDOK;
}

std::optional<std::string> QtBackend::GetOpenFileName(ui::CDialog* owner, const ui::FileDialogOptions& options)
{
    QFileDialog dialog(ParentFor(owner));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = QtNameFilters(options.filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ToUtf8(dialog.selectedFiles().first());
}

std::optional<ui::Size> QtBackend::JpegSize(std::span<const std::uint8_t> jpeg) const
{
    if (jpeg.empty() || jpeg.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    QImage picture;
    if (!picture.loadFromData(jpeg.data(), static_cast<int>(jpeg.size())))
        return std::nullopt;
    return ui::Size{picture.width(), picture.height()};
}

// ---------------------------------------------------------------- application

struct QtApplication::Impl {
    Impl(int& argc, char** argv) : app(argc, argv)
    {
        // Windows end by their own handlers, not when the last one hides.
        QApplication::setQuitOnLastWindowClosed(false);
        // One style everywhere, so the fixed layouts look the same on every desktop.
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
            QApplication::setStyle(fusion);
        QFont font = QApplication::font();
        font.setFamilies({QString::fromLatin1(kFontFamily), font.family()});
        font.setPixelSize(kFontPixelSize);
        QApplication::setFont(font);
        QApplication::setWindowIcon(ConsoleIcon());
    }

    QApplication app;
    QtBackend backend;
};

QtApplication::QtApplication(int& argc, char** argv) : m(std::make_unique<Impl>(argc, argv)) {}

QtApplication::~QtApplication() = default;

ui::Backend& QtApplication::Backend() { return m->backend; }

}  // namespace qtui
