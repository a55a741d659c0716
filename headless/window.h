#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "headless/clock.h"
#include "ui/backend.h"
#include "ui/canvas.h"
#include "ui/dialog_template.h"
#include "ui/types.h"

namespace ui {
class CDialog;
}

namespace headless {

class HeadlessBackend;

// One drawing operation as a window did it, kept for tests.
struct DrawOp {
    enum class Kind { FillSolidRect, SelectPen, SelectBrush, Ellipse, MoveTo, LineTo, Picture, Text };
    Kind kind = Kind::FillSolidRect;
    ui::Rect rect{};       // fill, ellipse bounds, picture target
    ui::Color color = 0;   // fill, pen, brush, text
    int width = 0;         // pen
    ui::Point point{};     // move and line end point, text corner
    ui::Size picture{};    // decoded size of a picture
    std::string text = {}; // text
    bool operator==(const DrawOp&) const = default;
};

// The value of one control, as the operator would see it.
struct ControlState {
    const ui::ControlTemplate* tmpl = nullptr;
    ui::ControlKind kind = ui::ControlKind::Static;
    std::string text;
    int check = 0;
    bool enabled = true;
    // Combo boxes.
    std::vector<std::string> items;
    int selection = -1;
    // List views: column titles and rows of cells.
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    int selectedRow = -1;
    // Date-time pickers; the format uses the picker's letters (yyyy-MM-dd HH:mm:ss).
    ui::DateTime dateTime{};
    std::string dateFormat;
    // Progress controls: the transfer's figures, nullopt while none runs.
    std::optional<ui::Progress> progress;

    bool IsCombo() const { return kind == ui::ControlKind::ComboBox || kind == ui::ControlKind::DropList; }
    bool IsButtonWithState() const { return kind == ui::ControlKind::CheckBox || kind == ui::ControlKind::RadioButton; }
};

// A progress control's figures as `print` and `progress` show them:
// "DONE/TOTAL bytes, RATE B/s", or "idle" while no transfer runs.
std::string FormatProgress(const std::optional<ui::Progress>& progress);

// Renders a date-time with the picker's format letters: yyyy yy MM M dd d
// HH H hh h mm m ss s tt, text in single quotes, anything else literally.
std::string FormatPickerTime(const ui::DateTime& value, std::string_view format);

// The in-memory window of the headless backend: every control of the
// template with its value, and what has been drawn. Its timers run on the
// backend's clock.
class HeadlessWindow final : public ui::WindowPeer, private TimerOwner {
public:
    HeadlessWindow(HeadlessBackend& backend, ui::CDialog& dialog, const ui::DialogTemplate& tmpl);
    ~HeadlessWindow() override;
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

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

    ui::CDialog& Dialog() const { return m_dialog; }
    const ui::DialogTemplate& Template() const { return m_template; }
    HeadlessBackend& Backend() const { return m_backend; }

    // The control of `id`; null when the template has none.
    const ControlState* Control(int id) const;
    ControlState* Control(int id);

    // Drawing kept since the last erasing repaint.
    const std::vector<DrawOp>& DrawOps() const { return m_drawOps; }
    // Drawing on the overlay since it was last cleared.
    const std::vector<DrawOp>& OverlayOps() const { return m_overlayOps; }
    void RecordDraw(const DrawOp& op, bool overlay = false);
    int RepaintCount() const { return m_repaints; }

    // Set once EndDialog was called for the window.
    bool Ended() const { return m_ended; }
    int Result() const { return m_result; }
    void End(int result);

private:
    // TimerOwner: an ended window's loop is over; it only waits to be taken down.
    bool TimersPaused() const override { return m_ended; }
    void TimerDue(int timerId) override;

    HeadlessBackend& m_backend;
    ui::CDialog& m_dialog;
    const ui::DialogTemplate& m_template;
    std::string m_caption;
    std::map<int, ControlState> m_controls;
    std::vector<DrawOp> m_drawOps;
    std::vector<DrawOp> m_overlayOps;
    int m_repaints = 0;
    bool m_painting = false;
    bool m_ended = false;
    int m_result = 0;
};

}  // namespace headless
