#include "qt/qt_window.h"

#include <algorithm>
#include <functional>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

namespace qtui {

using ui::ControlKind;

namespace {

// Height of a closed drop-down; the template's height is that of the open list.
constexpr int kClosedComboHeight = 12 * ui::kPixelsPerDialogUnitY;
// The classic minimum timer period.
constexpr unsigned kMinimumTimerMs = 10;
// A progress bar's resolution.
constexpr int kProgressSteps = 1000;

QRect ToQRect(const ui::Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

QColor ToQColor(ui::Color c) { return QColor(ui::RedOf(c), ui::GreenOf(c), ui::BlueOf(c)); }

// Edits show "\r\n" line ends as single line breaks.
QString DisplayText(std::string_view text)
{
    QString s = ToQString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

std::string EditText(const QString& shown)
{
    QString s = shown;
    s.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return ToUtf8(s);
}

// A report-style list that tells its window about double clicks, with the row
// under the mouse selected (none when the click is below the last row).
class ReportList final : public QTableWidget {
public:
    explicit ReportList(QWidget* parent) : QTableWidget(parent) {}
    std::function<void()> onDoubleClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton) {
            QTableWidget::mouseDoubleClickEvent(event);
            return;
        }
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            selectRow(index.row());
        else
            clearSelection();
        QTableWidget::mouseDoubleClickEvent(event);
        if (onDoubleClick)
            onDoubleClick();
    }
};

// The up-down control: two arrow buttons, no buddy; up reports -1, down +1.
class UpDownArrows final : public QWidget {
public:
    explicit UpDownArrows(QWidget* parent) : QWidget(parent)
    {
        for (QToolButton*& b : m_buttons) {
            b = new QToolButton(this);
            b->setAutoRepeat(true);
            b->setFocusPolicy(Qt::NoFocus);
        }
        m_buttons[0]->setArrowType(Qt::UpArrow);
        m_buttons[1]->setArrowType(Qt::DownArrow);
    }
    QToolButton* Up() const { return m_buttons[0]; }
    QToolButton* Down() const { return m_buttons[1]; }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        const int half = height() / 2;
        m_buttons[0]->setGeometry(0, 0, width(), half);
        m_buttons[1]->setGeometry(0, half, width(), height() - half);
    }

private:
    QToolButton* m_buttons[2] = {};
};

// A combo that tells its window before its list drops down, so the window
// can fill the list afresh.
class DropDownCombo final : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onDropDown;

    void showPopup() override
    {
        if (onDropDown)
            onDropDown();
        QComboBox::showPopup();
    }
};

QString ComboText(const QComboBox* combo)
{
    return combo->isEditable() ? combo->lineEdit()->text() : combo->currentText();
}

// Inserts keeping the classic behaviour: adding to an empty list selects nothing
// and leaves the edit field as it was.
int InsertComboItem(QComboBox* combo, int index, const QString& text)
{
    const bool wasEmpty = combo->count() == 0;
    const QString shown = ComboText(combo);
    combo->insertItem(index, text);
    if (wasEmpty) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable())
            combo->lineEdit()->setText(shown);
    }
    return index;
}

// Where a sorted combo puts `text`: after the items that sort before or equal to it.
int SortedPosition(const QComboBox* combo, const QString& text)
{
    int i = 0;
    while (i < combo->count() && QString::compare(combo->itemText(i), text, Qt::CaseInsensitive) <= 0)
        ++i;
    return i;
}

bool IsButtonKind(ControlKind k)
{
    return k == ControlKind::PushButton || k == ControlKind::DefPushButton || k == ControlKind::CheckBox ||
           k == ControlKind::RadioButton;
}

}  // namespace

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// ---------------------------------------------------------------- widgets

DialogWidget::DialogWidget(QtWindowPeer& peer, QWidget* parent) : QDialog(parent), m_peer(peer) {}

void DialogWidget::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (!InBlockingWait())
        m_peer.CloseRequested();
}

void DialogWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (m_peer.ClosesOnEscape())
            m_peer.CloseRequested();
        return;
    }
    QDialog::keyPressEvent(event);
}

void DialogWidget::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !childAt(p))
        m_peer.LButtonDown(p);
    QDialog::mousePressEvent(event);
}

void DialogWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Not passed on: Qt's default would treat it as a second press.
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !childAt(p))
        m_peer.LButtonDblClk(p);
}

void DialogWidget::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_peer.Exposed();
}

// On a scaled desktop the layer has the screen's pixels, so pictures stay sharp;
// drawing still uses window pixels.
DrawingLayer::DrawingLayer(QWidget* parent, QSize size) : QWidget(parent)
{
    const qreal ratio = parent->devicePixelRatioF();
    m_image = QImage((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::transparent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, size.width(), size.height());
}

void DrawingLayer::Clear()
{
    m_image.fill(Qt::transparent);
    update();
}

void DrawingLayer::paintEvent(QPaintEvent* event)
{
    const QRectF r = event->rect();
    const qreal ratio = m_image.devicePixelRatio();
    QPainter painter(this);
    painter.drawImage(r, m_image, QRectF(r.topLeft() * ratio, r.size() * ratio));
}

// ---------------------------------------------------------------- canvas

namespace {

// A device context on the window's drawing layer. Each operation paints into
// the layer at once and asks for the changed part to be shown.
class LayerCanvas final : public ui::Canvas {
public:
    explicit LayerCanvas(DrawingLayer* layer) : m_layer(layer) {}

    void FillSolidRect(const ui::Rect& rect, ui::Color color) override
    {
        if (!m_layer)
            return;
        const QRect r = ToQRect(rect);
        {
            QPainter p(&m_layer->Image());
            p.fillRect(r, ToQColor(color));
        }
        Changed(r);
    }

    void SelectPen(int width, ui::Color color) override
    {
        m_penWidth = std::max(1, width);
        m_penColor = color;
    }

    void SelectBrush(ui::Color color) override { m_brushColor = color; }

    void Ellipse(const ui::Rect& bounds) override
    {
        if (!m_layer)
            return;
        // The box excludes its right and bottom edge, as the classic Ellipse.
        const QRect r(bounds.left, bounds.top, bounds.Width() - 1, bounds.Height() - 1);
        {
            QPainter p(&m_layer->Image());
            p.setPen(Pen());
            p.setBrush(ToQColor(m_brushColor));
            p.drawEllipse(r);
        }
        Changed(r.adjusted(-m_penWidth, -m_penWidth, m_penWidth, m_penWidth));
    }

    void MoveTo(ui::Point p) override { m_position = QPoint(p.x, p.y); }

    void LineTo(ui::Point to) override
    {
        const QPoint end(to.x, to.y);
        if (m_layer) {
            {
                QPainter p(&m_layer->Image());
                p.setPen(Pen());
                p.drawLine(m_position, end);
            }
            Changed(QRect(m_position, end).normalized().adjusted(-m_penWidth, -m_penWidth, m_penWidth, m_penWidth));
        }
        m_position = end;
    }

    void TextOut(ui::Point at, std::string_view text, ui::Color color) override
    {
        if (!m_layer)
            return;
        const QString shown = ToQString(text);
        QRect drawn;
        {
            QPainter p(&m_layer->Image());
            p.setFont(m_layer->font());
            p.setPen(ToQColor(color));
            const QRect room(at.x, at.y, m_layer->width(), m_layer->height());
            p.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown, &drawn);
        }
        Changed(drawn);
    }

    std::optional<ui::Size> DrawJpeg(std::span<const std::uint8_t> jpeg, const ui::Rect& target) override
    {
        if (jpeg.empty() || jpeg.size() > static_cast<std::size_t>(INT_MAX))
            return std::nullopt;
        QImage picture;
        if (!picture.loadFromData(jpeg.data(), static_cast<int>(jpeg.size())))
            return std::nullopt;
        if (m_layer && target.Width() > 0 && target.Height() > 0) {
            const QRect r = ToQRect(target);
            {
                QPainter p(&m_layer->Image());
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.drawImage(r, picture);
            }
            Changed(r);
        }
        return ui::Size{picture.width(), picture.height()};
    }

private:
    QPen Pen() const
    {
        QPen pen(ToQColor(m_penColor));
        pen.setWidth(m_penWidth);
        return pen;
    }

    void Changed(const QRect& r) { m_layer->update(r.intersected(m_layer->rect())); }

    QPointer<DrawingLayer> m_layer;  // the window may close while a canvas is held
    int m_penWidth = 1;
    ui::Color m_penColor = ui::RGB(0, 0, 0);
    ui::Color m_brushColor = ui::RGB(255, 255, 255);
    QPoint m_position;
};

}  // namespace

// ---------------------------------------------------------------- the window

QtWindowPeer::QtWindowPeer(ui::CDialog& dialog, const ui::DialogTemplate& tmpl, QWidget* parent)
    : m_dialog(dialog), m_template(tmpl)
{
    m_window = new DialogWidget(*this, parent);
    m_window->setWindowTitle(ToQString(tmpl.caption));
    // The main window is a window of its own on the task bar; the others are
    // dialogs over the window that opened them.
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    flags |= parent ? Qt::Dialog : (Qt::Window | Qt::WindowMinimizeButtonHint);
    m_window->setWindowFlags(flags);
    const QSize client(tmpl.cx * ui::kPixelsPerDialogUnitX, tmpl.cy * ui::kPixelsPerDialogUnitY);
    m_window->setFixedSize(client);

    for (const ui::ControlTemplate& c : tmpl.controls) {
        QWidget* w = CreateControl(c);
        const int height = (c.kind == ControlKind::ComboBox || c.kind == ControlKind::DropList)
                               ? std::min(kClosedComboHeight, c.cy * ui::kPixelsPerDialogUnitY)
                               : c.cy * ui::kPixelsPerDialogUnitY;
        w->setGeometry(c.x * ui::kPixelsPerDialogUnitX, c.y * ui::kPixelsPerDialogUnitY,
                       c.cx * ui::kPixelsPerDialogUnitX, height);
        if (c.style & ui::kDisabled)
            w->setEnabled(false);
        if (c.style & ui::kHidden)
            w->hide();
        if (c.style & ui::kBold) {
            QFont f = w->font();
            f.setBold(true);
            w->setFont(f);
        }
        if (c.id == ui::IDC_STATIC || m_controls.count(c.id))
            continue;
        w->setObjectName(QString::number(c.id));
        Control& control = m_controls[c.id];
        control.tmpl = &c;
        control.widget = w;
        Connect(control);
    }

    m_layer = new DrawingLayer(m_window, client);
    m_layer->raise();
    m_overlay = new DrawingLayer(m_window, client);
    m_overlay->raise();
}

QtWindowPeer::~QtWindowPeer()
{
    // Timers and widgets go with the window; pending paints are dropped.
    delete m_window;
}

QWidget* QtWindowPeer::CreateControl(const ui::ControlTemplate& c)
{
    const QString caption = ToQString(c.caption);
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* b = new QPushButton(caption, m_window);
        const bool isDefault = c.kind == ControlKind::DefPushButton;
        b->setAutoDefault(isDefault);
        b->setDefault(isDefault);
        return b;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(caption, m_window);
    case ControlKind::RadioButton: {
        // The window keeps its radio groups itself (a click selects and clears the others).
        auto* r = new QRadioButton(caption, m_window);
        r->setAutoExclusive(false);
        return r;
    }
    case ControlKind::Edit: {
        Qt::Alignment align = Qt::AlignLeft;
        if (c.style & ui::kAlignRight)
            align = Qt::AlignRight;
        else if (c.style & ui::kAlignCenter)
            align = Qt::AlignHCenter;
        QWidget* edit = nullptr;
        if (c.style & ui::kMultiline) {
            auto* e = new QPlainTextEdit(m_window);
            e->setReadOnly(c.style & ui::kReadOnly);
            e->setVerticalScrollBarPolicy((c.style & ui::kVScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            QTextOption option = e->document()->defaultTextOption();
            option.setAlignment(align);
            e->document()->setDefaultTextOption(option);
            e->setTabChangesFocus(true);
            edit = e;
        } else {
            auto* e = new QLineEdit(m_window);
            e->setReadOnly(c.style & ui::kReadOnly);
            e->setAlignment(align | Qt::AlignVCenter);
            edit = e;
        }
        if (c.style & ui::kReadOnly) {
            // Read-only boxes look like the window, as desktop users expect.
            QPalette palette = edit->palette();
            palette.setColor(QPalette::Base, palette.color(QPalette::Window));
            edit->setPalette(palette);
        }
        return edit;
    }
    case ControlKind::ComboBox:
    case ControlKind::DropList: {
        auto* combo = new DropDownCombo(m_window);
        combo->onDropDown = [this, id = c.id] { Notify(id, ui::Notification::DropDown); };
        if (c.kind == ControlKind::ComboBox) {
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCompleter(nullptr);
        }
        combo->setMaxVisibleItems(std::max(5, (c.cy - 12) / 8));
        for (std::string_view item : c.items) {
            const QString text = ToQString(item);
            InsertComboItem(combo, (c.style & ui::kSorted) ? SortedPosition(combo, text) : combo->count(), text);
        }
        return combo;
    }
    case ControlKind::GroupBox: {
        auto* g = new QGroupBox(caption, m_window);
        g->setAttribute(Qt::WA_TransparentForMouseEvents);
        return g;
    }
    case ControlKind::Static: {
        auto* label = new QLabel(caption, m_window);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        Qt::Alignment align = Qt::AlignLeft;
        if (c.style & ui::kAlignRight)
            align = Qt::AlignRight;
        else if (c.style & ui::kAlignCenter)
            align = Qt::AlignHCenter;
        label->setAlignment(align | Qt::AlignTop);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        return label;
    }
    case ControlKind::Frame: {
        auto* f = new QFrame(m_window);
        f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        f->setLineWidth(1);
        f->setAttribute(Qt::WA_TransparentForMouseEvents);
        return f;
    }
    case ControlKind::ListView: {
        auto* list = new ReportList(m_window);
        list->verticalHeader()->hide();
        list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
        list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        list->horizontalHeader()->setHighlightSections(false);
        list->horizontalHeader()->setSectionsClickable(false);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setShowGrid(c.style & ui::kGridLines);
        list->setWordWrap(false);
        list->setTabKeyNavigation(false);
        list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        return list;
    }
    case ControlKind::DateTimePicker: {
        auto* picker = new QDateTimeEdit(QDateTime::currentDateTime(), m_window);
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        return picker;
    }
    case ControlKind::UpDown:
        return new UpDownArrows(m_window);
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(m_window);
        bar->setRange(0, kProgressSteps);
        bar->setAlignment(Qt::AlignCenter);
        bar->setTextVisible(false);
        bar->reset();
        return bar;
    }
    }
    return new QWidget(m_window);
}

void QtWindowPeer::Connect(Control& control)
{
    const int id = control.tmpl->id;
    QWidget* w = control.widget;
    switch (control.tmpl->kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, m_window,
                         [this, id] { Notify(id, ui::Notification::Clicked); });
        break;
    case ControlKind::Edit:
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            QObject::connect(e, &QLineEdit::textEdited, m_window, [this, id] {
                Find(id)->setText.reset();
                Notify(id, ui::Notification::EditChange);
            });
        } else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
            QObject::connect(e, &QPlainTextEdit::textChanged, m_window, [this, id] {
                if (m_settingText)
                    return;
                Find(id)->setText.reset();
                Notify(id, ui::Notification::EditChange);
            });
        }
        break;
    case ControlKind::ComboBox:
    case ControlKind::DropList: {
        auto* combo = static_cast<QComboBox*>(w);
        if (combo->isEditable())
            QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, m_window,
                             [this, id] { Notify(id, ui::Notification::EditChange); });
        QObject::connect(combo, &QComboBox::activated, m_window,
                         [this, id] { Notify(id, ui::Notification::SelChange); });
        break;
    }
    case ControlKind::ListView:
        static_cast<ReportList*>(w)->onDoubleClick = [this, id] { Notify(id, ui::Notification::DblClick); };
        break;
    case ControlKind::UpDown: {
        auto* arrows = static_cast<UpDownArrows*>(w);
        QObject::connect(arrows->Up(), &QToolButton::clicked, m_window,
                         [this, id] { m_dialog.HandleDeltaPos(id, -1); });
        QObject::connect(arrows->Down(), &QToolButton::clicked, m_window,
                         [this, id] { m_dialog.HandleDeltaPos(id, +1); });
        break;
    }
    default:
        break;
    }
}

QtWindowPeer::Control* QtWindowPeer::Find(int id)
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

const QtWindowPeer::Control* QtWindowPeer::Find(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

QWidget* QtWindowPeer::ControlWidget(int id) const
{
    const Control* c = Find(id);
    return c ? c->widget : nullptr;
}

void QtWindowPeer::Notify(int id, ui::Notification notification)
{
    if (m_settingText)
        return;
    m_dialog.HandleCommand(id, notification);
}

int QtWindowPeer::Exec()
{
    if (m_ended)  // ended while initialising: never shown
        return m_result;
    m_window->exec();
    return m_result;
}

void QtWindowPeer::End(int result)
{
    m_ended = true;
    m_result = result;
    // An ended window hears no more ticks, even while its last handler finishes.
    for (auto& [id, timer] : m_timers)
        timer->stop();
    m_window->done(result);
}

void QtWindowPeer::CloseRequested() { m_dialog.HandleClose(); }

bool QtWindowPeer::ClosesOnEscape() const
{
    for (const ui::ControlTemplate& c : m_template.controls)
        if ((c.id == ui::IDOK || c.id == ui::IDCANCEL) &&
            (c.kind == ControlKind::PushButton || c.kind == ControlKind::DefPushButton))
            return true;
    return false;
}

void QtWindowPeer::LButtonDown(QPoint p) { m_dialog.HandleLButtonDown(ui::Point{p.x(), p.y()}); }

void QtWindowPeer::LButtonDblClk(QPoint p) { m_dialog.HandleLButtonDblClk(ui::Point{p.x(), p.y()}); }

void QtWindowPeer::Exposed() { SchedulePaint(); }

// ---------------------------------------------------------------- control state

std::string QtWindowPeer::GetText(int id) const
{
    const Control* c = Find(id);
    if (!c)
        return {};
    QWidget* w = c->widget;
    switch (c->tmpl->kind) {
    case ControlKind::Edit:
        if (c->setText)
            return *c->setText;
        if (auto* e = qobject_cast<QLineEdit*>(w))
            return ToUtf8(e->text());
        return EditText(static_cast<QPlainTextEdit*>(w)->toPlainText());
    case ControlKind::ComboBox:
    case ControlKind::DropList:
        return ToUtf8(ComboText(static_cast<QComboBox*>(w)));
    case ControlKind::GroupBox:
        return ToUtf8(static_cast<QGroupBox*>(w)->title());
    case ControlKind::Static:
        return ToUtf8(static_cast<QLabel*>(w)->text());
    case ControlKind::DateTimePicker:
        return ToUtf8(static_cast<QDateTimeEdit*>(w)->text());
    default:
        if (IsButtonKind(c->tmpl->kind))
            return ToUtf8(static_cast<QAbstractButton*>(w)->text());
        return {};
    }
}

void QtWindowPeer::SetText(int id, std::string_view text)
{
    Control* c = Find(id);
    if (!c)
        return;
    QWidget* w = c->widget;
    m_settingText = true;
    switch (c->tmpl->kind) {
    case ControlKind::Edit:
        if (c->setText && *c->setText == text)
            break;  // unchanged: leave the caret and the scroll position alone
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            const QString shown = ToQString(text);
            if (e->text() != shown)
                e->setText(shown);
        } else {
            auto* box = static_cast<QPlainTextEdit*>(w);
            const QString shown = DisplayText(text);
            const QString before = box->toPlainText();
            QScrollBar* bar = box->verticalScrollBar();
            // A log that grew stays scrolled to its newest line.
            const bool follow = !before.isEmpty() && shown.startsWith(before) && bar->value() == bar->maximum();
            box->setPlainText(shown);
            if (follow)
                bar->setValue(bar->maximum());
        }
        c->setText = std::string(text);
        break;
    case ControlKind::ComboBox:
        static_cast<QComboBox*>(w)->lineEdit()->setText(ToQString(text));
        break;
    case ControlKind::DropList: {
        auto* combo = static_cast<QComboBox*>(w);
        const int index = combo->findText(ToQString(text), Qt::MatchFixedString);
        if (index >= 0)
            combo->setCurrentIndex(index);
        break;
    }
    case ControlKind::GroupBox:
        static_cast<QGroupBox*>(w)->setTitle(ToQString(text));
        break;
    case ControlKind::Static:
        static_cast<QLabel*>(w)->setText(ToQString(text));
        break;
    default:
        if (IsButtonKind(c->tmpl->kind))
            static_cast<QAbstractButton*>(w)->setText(ToQString(text));
        break;
    }
    m_settingText = false;
}

int QtWindowPeer::GetCheck(int id) const
{
    const Control* c = Find(id);
    if (!c || (c->tmpl->kind != ControlKind::CheckBox && c->tmpl->kind != ControlKind::RadioButton))
        return 0;
    return static_cast<QAbstractButton*>(c->widget)->isChecked() ? 1 : 0;
}

void QtWindowPeer::SetCheck(int id, int state)
{
    Control* c = Find(id);
    if (!c || (c->tmpl->kind != ControlKind::CheckBox && c->tmpl->kind != ControlKind::RadioButton))
        return;
    static_cast<QAbstractButton*>(c->widget)->setChecked(state != 0);
}

bool QtWindowPeer::IsEnabled(int id) const
{
    const Control* c = Find(id);
    return c && c->widget->isEnabled();
}

void QtWindowPeer::Enable(int id, bool enable)
{
    if (Control* c = Find(id))
        c->widget->setEnabled(enable);
}

namespace {
QComboBox* AsCombo(QWidget* w) { return qobject_cast<QComboBox*>(w); }
ReportList* AsList(QWidget* w) { return dynamic_cast<ReportList*>(w); }
}  // namespace

int QtWindowPeer::ComboCount(int id) const
{
    QComboBox* combo = AsCombo(ControlWidget(id));
    return combo ? combo->count() : 0;
}

std::string QtWindowPeer::ComboItem(int id, int index) const
{
    QComboBox* combo = AsCombo(ControlWidget(id));
    if (!combo || index < 0 || index >= combo->count())
        return {};
    return ToUtf8(combo->itemText(index));
}

int QtWindowPeer::ComboAdd(int id, std::string_view text)
{
    const Control* c = Find(id);
    QComboBox* combo = c ? AsCombo(c->widget) : nullptr;
    if (!combo)
        return -1;
    const QString s = ToQString(text);
    const int index = (c->tmpl->style & ui::kSorted) ? SortedPosition(combo, s) : combo->count();
    return InsertComboItem(combo, index, s);
}

int QtWindowPeer::ComboInsert(int id, int index, std::string_view text)
{
    QComboBox* combo = AsCombo(ControlWidget(id));
    if (!combo || index > combo->count())
        return -1;
    return InsertComboItem(combo, index < 0 ? combo->count() : index, ToQString(text));
}

void QtWindowPeer::ComboReset(int id)
{
    if (QComboBox* combo = AsCombo(ControlWidget(id))) {
        combo->clear();
        if (combo->isEditable())
            combo->lineEdit()->clear();
    }
}

int QtWindowPeer::ComboSelection(int id) const
{
    QComboBox* combo = AsCombo(ControlWidget(id));
    return combo ? combo->currentIndex() : -1;
}

void QtWindowPeer::ComboSetSelection(int id, int index)
{
    QComboBox* combo = AsCombo(ControlWidget(id));
    if (!combo)
        return;
    if (index >= 0 && index < combo->count()) {
        combo->setCurrentIndex(index);
        if (combo->isEditable())
            combo->lineEdit()->setText(combo->itemText(index));
        return;
    }
    const QString shown = ComboText(combo);
    combo->setCurrentIndex(-1);
    if (combo->isEditable())
        combo->lineEdit()->setText(shown);
}

void QtWindowPeer::ListInsertColumn(int id, int column, std::string_view title, int width)
{
    ReportList* list = AsList(ControlWidget(id));
    if (!list)
        return;
    column = std::clamp(column, 0, list->columnCount());
    list->insertColumn(column);
    list->setHorizontalHeaderItem(column, new QTableWidgetItem(ToQString(title)));
    list->setColumnWidth(column, std::max(0, width));
}

namespace {
QTableWidgetItem* NewListItem(std::string_view text)
{
    auto* item = new QTableWidgetItem(ToQString(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}
}  // namespace

int QtWindowPeer::ListInsertRow(int id, int row, std::string_view text)
{
    ReportList* list = AsList(ControlWidget(id));
    if (!list)
        return -1;
    if (row < 0 || row > list->rowCount())
        row = list->rowCount();
    if (list->columnCount() == 0)
        list->setColumnCount(1);
    list->insertRow(row);
    list->setItem(row, 0, NewListItem(text));
    return row;
}

void QtWindowPeer::ListSetItemText(int id, int row, int column, std::string_view text)
{
    ReportList* list = AsList(ControlWidget(id));
    if (!list || row < 0 || row >= list->rowCount() || column < 0 || column >= list->columnCount())
        return;
    if (QTableWidgetItem* item = list->item(row, column))
        item->setText(ToQString(text));
    else
        list->setItem(row, column, NewListItem(text));
}

std::string QtWindowPeer::ListItemText(int id, int row, int column) const
{
    ReportList* list = AsList(ControlWidget(id));
    if (!list)
        return {};
    const QTableWidgetItem* item = list->item(row, column);
    return item ? ToUtf8(item->text()) : std::string();
}

int QtWindowPeer::ListRowCount(int id) const
{
    ReportList* list = AsList(ControlWidget(id));
    return list ? list->rowCount() : 0;
}

int QtWindowPeer::ListColumnCount(int id) const
{
    ReportList* list = AsList(ControlWidget(id));
    return list ? list->columnCount() : 0;
}

void QtWindowPeer::ListDeleteAll(int id)
{
    if (ReportList* list = AsList(ControlWidget(id)))
        list->setRowCount(0);
}

int QtWindowPeer::ListSelectedRow(int id) const
{
    ReportList* list = AsList(ControlWidget(id));
    if (!list)
        return -1;
    int first = -1;
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes())
        if (first < 0 || index.row() < first)
            first = index.row();
    return first;
}

void QtWindowPeer::ListSelectRow(int id, int row)
{
    ReportList* list = AsList(ControlWidget(id));
    if (!list)
        return;
    if (row < 0 || row >= list->rowCount())
        list->clearSelection();
    else
        list->selectRow(row);
}

ui::DateTime QtWindowPeer::GetDateTime(int id) const
{
    auto* picker = qobject_cast<QDateTimeEdit*>(ControlWidget(id));
    if (!picker)
        return {};
    const QDateTime t = picker->dateTime();
    return ui::DateTime{t.date().year(), t.date().month(), t.date().day(),
                        t.time().hour(), t.time().minute(), t.time().second()};
}

void QtWindowPeer::SetDateTime(int id, const ui::DateTime& value)
{
    auto* picker = qobject_cast<QDateTimeEdit*>(ControlWidget(id));
    const QDate date(value.year, value.month, value.day);
    const QTime time(value.hour, value.minute, value.second);
    if (picker && date.isValid() && time.isValid())
        picker->setDateTime(QDateTime(date, time));
}

void QtWindowPeer::SetDateTimeFormat(int id, std::string_view format)
{
    if (auto* picker = qobject_cast<QDateTimeEdit*>(ControlWidget(id)))
        picker->setDisplayFormat(QtDateTimeFormat(format));
}

void QtWindowPeer::SetProgress(int id, const std::optional<ui::Progress>& progress)
{
    auto* bar = qobject_cast<QProgressBar*>(ControlWidget(id));
    if (!bar)
        return;
    if (!progress) {
        bar->reset();
        bar->setTextVisible(false);
        return;
    }
    // The bar runs in steps of a thousandth; the text gives the exact figures.
    const std::uint64_t total = progress->total;
    const std::uint64_t done = std::min(progress->done, total);
    bar->setValue(total == 0 ? kProgressSteps : static_cast<int>(done * kProgressSteps / total));
    QString text = QStringLiteral("%1/%2 bytes, %3 B/s").arg(progress->done).arg(progress->total).arg(progress->bytesPerSecond);
    if (progress->bytesPerSecond > 0 && done < total)
        text += QStringLiteral(", %1 s left").arg((total - done + progress->bytesPerSecond - 1) / progress->bytesPerSecond);
    bar->setFormat(text);
    bar->setTextVisible(true);
}

ui::Rect QtWindowPeer::ClientRect(int id) const
{
    if (id == 0)
        return ui::Rect{0, 0, m_window->width(), m_window->height()};
    const Control* c = Find(id);
    if (!c)
        return {};
    // Framed controls keep their border out of the client area.
    int border = 0;
    if (auto* f = qobject_cast<QFrame*>(c->widget); f && c->tmpl->kind != ControlKind::Static)
        border = f->frameWidth();
    return ui::Rect{0, 0, std::max(0, c->widget->width() - 2 * border), std::max(0, c->widget->height() - 2 * border)};
}

// ---------------------------------------------------------------- timers and drawing

void QtWindowPeer::SetTimer(int timerId, unsigned periodMs)
{
    QTimer*& timer = m_timers[timerId];
    if (!timer) {
        timer = new QTimer(m_window);
        QObject::connect(timer, &QTimer::timeout, m_window, [this, timerId] {
            // A tick that falls into a blocking wait is dropped: the window's thread is busy.
            if (!InBlockingWait())
                m_dialog.HandleTimer(timerId);
        });
    }
    timer->start(static_cast<int>(std::clamp<unsigned>(periodMs, kMinimumTimerMs, INT_MAX)));
}

void QtWindowPeer::KillTimer(int timerId)
{
    const auto it = m_timers.find(timerId);
    if (it != m_timers.end())
        it->second->stop();
}

std::unique_ptr<ui::Canvas> QtWindowPeer::GetCanvas() { return std::make_unique<LayerCanvas>(m_layer); }

std::unique_ptr<ui::Canvas> QtWindowPeer::GetOverlayCanvas() { return std::make_unique<LayerCanvas>(m_overlay); }

void QtWindowPeer::ClearOverlay() { m_overlay->Clear(); }

void QtWindowPeer::Invalidate(bool erase)
{
    m_erasePending = m_erasePending || erase;
    SchedulePaint();
}

// Painting happens after the current handler returns, as a posted paint would:
// several invalidations in one handler give one paint.
void QtWindowPeer::SchedulePaint()
{
    if (m_paintPending)
        return;
    m_paintPending = true;
    QTimer::singleShot(0, m_window, [this] { PaintNow(); });
}

void QtWindowPeer::PaintNow()
{
    if (!m_paintPending)
        return;
    if (InBlockingWait()) {
        // The window paints once its handler has returned.
        QTimer::singleShot(kMinimumTimerMs, m_window, [this] { PaintNow(); });
        return;
    }
    m_paintPending = false;
    if (!m_window->isVisible())
        return;  // showing the window paints it
    if (m_erasePending) {
        m_erasePending = false;
        m_layer->Clear();
    }
    LayerCanvas canvas(m_layer);
    m_dialog.HandlePaint(canvas);
}

// ---------------------------------------------------------------- conversions

QString QtDateTimeFormat(std::string_view format)
{
    QString out;
    QString literal;  // letters without meaning, quoted together so Qt shows them as they are
    const auto flush = [&] {
        if (!literal.isEmpty())
            out += QLatin1Char('\'') + literal + QLatin1Char('\'');
        literal.clear();
    };
    std::size_t i = 0;
    while (i < format.size()) {
        const char ch = format[i];
        if (ch == '\'') {  // quoted literal, copied with its quotes
            flush();
            std::size_t end = format.find('\'', i + 1);
            end = end == std::string_view::npos ? format.size() : end + 1;
            out += ToQString(format.substr(i, end - i));
            i = end;
            continue;
        }
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == ch)
            ++run;
        const auto repeat = [&](std::size_t most) {
            return QString(static_cast<qsizetype>(std::min(run, most)), QLatin1Char(ch));
        };
        switch (ch) {
        case 'd':
        case 'M':
            flush();
            out += repeat(4);
            break;
        case 'y':
            flush();
            out += run >= 3 ? QStringLiteral("yyyy") : QStringLiteral("yy");
            break;
        case 'H':
        case 'h':
        case 'm':
        case 's':
            flush();
            out += repeat(2);
            break;
        case 't':
            flush();
            out += QStringLiteral("AP");
            break;
        case 'g':
            break;  // era: not shown
        default:
            if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) {
                literal += QString(static_cast<qsizetype>(run), QLatin1Char(ch));
            } else {
                flush();
                out += ToQString(format.substr(i, run));
            }
            break;
        }
        i += run;
    }
    flush();
    return out;
}

QStringList QtNameFilters(std::string_view filter)
{
    QStringList filters;
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        QString patterns = parts[i + 1];
        if (name.isEmpty() && patterns.isEmpty())
            continue;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(name, patterns.trimmed());
    }
    return filters;
}

}  // namespace qtui
