#pragma once

// Inside of the desktop backend: one window built from a dialog template.
// Only qt/ and its tests include this header.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>
#include <QImage>
#include <QPointer>

#include "ui/backend.h"
#include "ui/dialog.h"

class QTimer;

namespace qtui {

class QtWindowPeer;

// The top-level window. Closing, Escape and mouse presses on the window's own
// area are handed to the window's handlers instead of Qt's defaults.
class DialogWidget final : public QDialog {
public:
    DialogWidget(QtWindowPeer& peer, QWidget* parent);

    void reject() override {}  // closing always goes through the window's handler

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QtWindowPeer& m_peer;
};

// What the window draws outside painting stays in this transparent layer,
// which lies over the controls and lets the mouse through.
class DrawingLayer final : public QWidget {
public:
    DrawingLayer(QWidget* parent, QSize size);

    QImage& Image() { return m_image; }
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

class QtWindowPeer final : public ui::WindowPeer {
public:
    QtWindowPeer(ui::CDialog& dialog, const ui::DialogTemplate& tmpl, QWidget* parent);
    ~QtWindowPeer() override;
    QtWindowPeer(const QtWindowPeer&) = delete;
    QtWindowPeer& operator=(const QtWindowPeer&) = delete;

    ui::CDialog& Dialog() const { return m_dialog; }
    DialogWidget* Widget() const { return m_window; }
    QWidget* ControlWidget(int id) const;
    DrawingLayer* Layer() const { return m_layer; }
    DrawingLayer* Overlay() const { return m_overlay; }

    // Shows the window and runs its loop until End; returns End's result.
    int Exec();
    void End(int result);

    // From the window widget.
    void CloseRequested();
    bool ClosesOnEscape() const;
    void LButtonDown(QPoint p);
    void LButtonDblClk(QPoint p);
    void Exposed();

    // ui::WindowPeer
    std::string GetText(int id) const override;
    void SetText(int id, std::string_view text) override;
    int GetCheck(int id) const override;
    void SetCheck(int id, int state) override;
    bool IsEnabled(int id) const override;
    void Enable(int id, bool enable) override;
    int ComboCount(int id) const override;
    std::string ComboItem(int id, int index) const override;
    int ComboAdd(int id, std::string_view text) override;
    int ComboInsert(int id, int index, std::string_view text) override;
    void ComboReset(int id) override;
    int ComboSelection(int id) const override;
    void ComboSetSelection(int id, int index) override;
    void ListInsertColumn(int id, int column, std::string_view title, int width) override;
    int ListInsertRow(int id, int row, std::string_view text) override;
    void ListSetItemText(int id, int row, int column, std::string_view text) override;
    std::string ListItemText(int id, int row, int column) const override;
    int ListRowCount(int id) const override;
    int ListColumnCount(int id) const override;
    void ListDeleteAll(int id) override;
    int ListSelectedRow(int id) const override;
    void ListSelectRow(int id, int row) override;
    ui::DateTime GetDateTime(int id) const override;
    void SetDateTime(int id, const ui::DateTime& value) override;
    void SetDateTimeFormat(int id, std::string_view format) override;
    void SetProgress(int id, const std::optional<ui::Progress>& progress) override;
    ui::Rect ClientRect(int id) const override;
    void SetTimer(int timerId, unsigned periodMs) override;
    void KillTimer(int timerId) override;
    std::unique_ptr<ui::Canvas> GetCanvas() override;
    void Invalidate(bool erase) override;
    std::unique_ptr<ui::Canvas> GetOverlayCanvas() override;
    void ClearOverlay() override;

private:
    struct Control {
        const ui::ControlTemplate* tmpl = nullptr;
        QWidget* widget = nullptr;
        // Text last given to an edit, returned as given (line ends included)
        // until the operator types into it.
        std::optional<std::string> setText;
    };

    QWidget* CreateControl(const ui::ControlTemplate& c);
    void Connect(Control& control);
    Control* Find(int id);
    const Control* Find(int id) const;
    void Notify(int id, ui::Notification notification);
    void SchedulePaint();
    void PaintNow();

    ui::CDialog& m_dialog;
    const ui::DialogTemplate& m_template;
    DialogWidget* m_window = nullptr;  // owned; deleted with the peer
    DrawingLayer* m_layer = nullptr;   // child of m_window
    DrawingLayer* m_overlay = nullptr; // child of m_window, over m_layer
    std::map<int, Control> m_controls;
    std::map<int, QTimer*> m_timers;   // children of m_window
    bool m_ended = false;
    int m_result = 0;
    bool m_paintPending = false;
    bool m_erasePending = false;
    bool m_settingText = false;  // programmatic change under way: no notifications
};

// The toolkit services and the stack of open windows.
class QtBackend final : public ui::Backend {
public:
    int RunModal(ui::CDialog& dialog, const ui::DialogTemplate& tmpl) override;
    void EndModal(ui::CDialog& dialog, int result) override;
    void Sleep(unsigned ms) override;
    void SetWaitCursor(bool on) override;
    ui::DateTime LocalTime() const override;
    int MessageBox(ui::CDialog* owner, std::string_view text, std::string_view caption, ui::Icon icon) override;
    std::optional<std::string> GetOpenFileName(ui::CDialog* owner, const ui::FileDialogOptions& options) override;
    std::optional<ui::Size> JpegSize(std::span<const std::uint8_t> jpeg) const override;

    // The open window of `dialog`, null when it is not shown.
    QtWindowPeer* PeerOf(const ui::CDialog* dialog) const;

private:
    QWidget* ParentFor(const ui::CDialog* owner) const;

    std::vector<QtWindowPeer*> m_open;  // bottom (main window) to top
    std::string m_mainCaption;
};

// While a window's handler sleeps (a blocking wait), Qt keeps repainting the
// windows, but nothing of a window runs: its timers, posted paints and close
// requests wait or are dropped, as in the classic console whose thread slept.
bool InBlockingWait();

// Text conversions: the console's texts are UTF-8.
QString ToQString(std::string_view text);
std::string ToUtf8(const QString& text);
// A date-time picker format ("yyyy-MM-dd HH:mm:ss" style) in Qt's notation.
QString QtDateTimeFormat(std::string_view format);
// The "name|pattern|name|pattern" filter of a file dialog as Qt name filters.
QStringList QtNameFilters(std::string_view filter);

}  // namespace qtui
