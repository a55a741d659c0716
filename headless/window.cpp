#include "headless/window.h"

#include <algorithm>
#include <cstdio>

#include "headless/backend.h"
#include "headless/jpeg.h"
#include "ui/dialog.h"

namespace headless {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Order of a sorted combo: ASCII letters without regard to case, other bytes as they are.
bool SortsBefore(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) {
                                            return static_cast<unsigned char>(LowerAscii(x)) <
                                                   static_cast<unsigned char>(LowerAscii(y));
                                        });
}

// Drawing on a headless window or its overlay: every operation is recorded on
// the window, pictures are decoded for real and announced as events.
class HeadlessCanvas final : public ui::Canvas {
public:
    explicit HeadlessCanvas(HeadlessWindow& window, bool overlay = false) : m_window(window), m_overlay(overlay) {}

    void FillSolidRect(const ui::Rect& rect, ui::Color color) override
    {
        DrawOp op;
        op.kind = DrawOp::Kind::FillSolidRect;
        op.rect = rect;
        op.color = color;
        Record(op);
    }
    void SelectPen(int width, ui::Color color) override
    {
        DrawOp op;
        op.kind = DrawOp::Kind::SelectPen;
        op.width = width;
        op.color = color;
        Record(op);
    }
    void SelectBrush(ui::Color color) override
    {
        DrawOp op;
        op.kind = DrawOp::Kind::SelectBrush;
        op.color = color;
        Record(op);
    }
    void Ellipse(const ui::Rect& bounds) override
    {
        DrawOp op;
        op.kind = DrawOp::Kind::Ellipse;
        op.rect = bounds;
        Record(op);
    }
    void MoveTo(ui::Point p) override
    {
        DrawOp op;
        op.kind = DrawOp::Kind::MoveTo;
        op.point = p;
        Record(op);
    }
    void LineTo(ui::Point p) override
    {
        DrawOp op;
        op.kind = DrawOp::Kind::LineTo;
        op.point = p;
        Record(op);
    }
    std::optional<ui::Size> DrawJpeg(std::span<const std::uint8_t> jpeg, const ui::Rect& target) override
    {
        const std::optional<ui::Size> size = DecodeJpegSize(jpeg);
        if (!size)
            return std::nullopt;
        DrawOp op;
        op.kind = DrawOp::Kind::Picture;
        op.rect = target;
        op.picture = *size;
        Record(op);
        m_window.Backend().NotePicture(*size, target);
        return size;
    }
    void TextOut(ui::Point p, std::string_view text, ui::Color color) override
    {
        DrawOp op;
        op.kind = DrawOp::Kind::Text;
        op.point = p;
        op.color = color;
        op.text = std::string(text);
        Record(op);
    }

private:
    void Record(const DrawOp& op) { m_window.RecordDraw(op, m_overlay); }

    HeadlessWindow& m_window;
    bool m_overlay;
};

std::string TwoDigits(int value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

}  // namespace

std::string FormatProgress(const std::optional<ui::Progress>& progress)
{
    if (!progress)
        return "idle";
    return std::to_string(progress->done) + "/" + std::to_string(progress->total) + " bytes, " +
           std::to_string(progress->bytesPerSecond) + " B/s";
}

std::string FormatPickerTime(const ui::DateTime& value, std::string_view format)
{
    std::string out;
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c == '\'') {
            const std::size_t end = format.find('\'', i + 1);
            const std::size_t stop = end == std::string_view::npos ? format.size() : end;
            out.append(format.substr(i + 1, stop - i - 1));
            i = stop == format.size() ? stop : stop + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        const int hour12 = value.hour % 12 == 0 ? 12 : value.hour % 12;
        switch (c) {
        case 'y':
            if (run >= 3) {
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "%04d", value.year);
                out += buffer;
            } else {
                out += TwoDigits(value.year % 100);
            }
            break;
        case 'M': out += run >= 2 ? TwoDigits(value.month) : std::to_string(value.month); break;
        case 'd': out += run >= 2 ? TwoDigits(value.day) : std::to_string(value.day); break;
        case 'H': out += run >= 2 ? TwoDigits(value.hour) : std::to_string(value.hour); break;
        case 'h': out += run >= 2 ? TwoDigits(hour12) : std::to_string(hour12); break;
        case 'm': out += run >= 2 ? TwoDigits(value.minute) : std::to_string(value.minute); break;
        case 's': out += run >= 2 ? TwoDigits(value.second) : std::to_string(value.second); break;
        case 't': out += value.hour < 12 ? (run >= 2 ? "AM" : "A") : (run >= 2 ? "PM" : "P"); break;
        default: out.append(run, c); break;
        }
        i += run;
    }
    return out;
}

HeadlessWindow::HeadlessWindow(HeadlessBackend& backend, ui::CDialog& dialog, const ui::DialogTemplate& tmpl)
    : m_backend(backend), m_dialog(dialog), m_template(tmpl), m_caption(tmpl.caption)
{
    const ui::DateTime now = backend.LocalTime();
    for (const ui::ControlTemplate& control : tmpl.controls) {
        if (control.id == ui::IDC_STATIC || m_controls.count(control.id))
            continue;
        ControlState& state = m_controls[control.id];
        state.tmpl = &control;
        state.kind = control.kind;
        state.text = std::string(control.caption);
        state.enabled = !(control.style & ui::kDisabled);
        state.dateTime = now;
    }
    // Initial lists go through ComboAdd so that a sorted combo sorts them.
    for (const ui::ControlTemplate& control : tmpl.controls) {
        if (control.id == ui::IDC_STATIC || m_controls.at(control.id).tmpl != &control)
            continue;
        for (std::string_view item : control.items)
            ComboAdd(control.id, item);
    }
}

HeadlessWindow::~HeadlessWindow() { m_backend.Clock().KillTimers(*this); }

const ControlState* HeadlessWindow::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

ControlState* HeadlessWindow::Control(int id)
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

std::string HeadlessWindow::GetText(int id) const
{
    if (id == 0)
        return m_caption;
    const ControlState* control = Control(id);
    if (!control)
        return {};
    switch (control->kind) {
    case ui::ControlKind::DropList:
        return control->selection >= 0 ? control->items[control->selection] : std::string();
    case ui::ControlKind::DateTimePicker:
        return FormatPickerTime(control->dateTime,
                                control->dateFormat.empty() ? "yyyy-MM-dd" : control->dateFormat);
    default:
        return control->text;
    }
}

void HeadlessWindow::SetText(int id, std::string_view text)
{
    if (id == 0) {
        m_caption = std::string(text);
        return;
    }
    ControlState* control = Control(id);
    // A drop-down list has no edit field to take text; a date-time shows its value.
    if (!control || control->kind == ui::ControlKind::DropList || control->kind == ui::ControlKind::DateTimePicker)
        return;
    control->text = std::string(text);
}

int HeadlessWindow::GetCheck(int id) const
{
    const ControlState* control = Control(id);
    return control && control->IsButtonWithState() ? control->check : 0;
}

void HeadlessWindow::SetCheck(int id, int state)
{
    ControlState* control = Control(id);
    if (control && control->IsButtonWithState())
        control->check = state ? 1 : 0;
}

bool HeadlessWindow::IsEnabled(int id) const
{
    const ControlState* control = Control(id);
    return control && control->enabled;
}

void HeadlessWindow::Enable(int id, bool enable)
{
    if (ControlState* control = Control(id))
        control->enabled = enable;
}

int HeadlessWindow::ComboCount(int id) const
{
    const ControlState* control = Control(id);
    return control && control->IsCombo() ? static_cast<int>(control->items.size()) : 0;
}

std::string HeadlessWindow::ComboItem(int id, int index) const
{
    const ControlState* control = Control(id);
    if (!control || !control->IsCombo() || index < 0 || index >= static_cast<int>(control->items.size()))
        return {};
    return control->items[index];
}

int HeadlessWindow::ComboAdd(int id, std::string_view text)
{
    ControlState* control = Control(id);
    if (!control || !control->IsCombo())
        return -1;
    int index = static_cast<int>(control->items.size());
    if (control->tmpl->style & ui::kSorted) {
        // After the items that sort before it or equal to it.
        const auto it = std::upper_bound(control->items.begin(), control->items.end(), text,
                                         [](std::string_view value, const std::string& item) {
                                             return SortsBefore(value, item);
                                         });
        index = static_cast<int>(it - control->items.begin());
    }
    return ComboInsert(id, index, text);
}

int HeadlessWindow::ComboInsert(int id, int index, std::string_view text)
{
    ControlState* control = Control(id);
    if (!control || !control->IsCombo())
        return -1;
    const int count = static_cast<int>(control->items.size());
    if (index < 0)
        index = count;
    if (index > count)
        return -1;
    control->items.insert(control->items.begin() + index, std::string(text));
    // The selected item stays selected when items are put before it.
    if (control->selection >= index)
        ++control->selection;
    return index;
}

void HeadlessWindow::ComboReset(int id)
{
    ControlState* control = Control(id);
    if (!control || !control->IsCombo())
        return;
    control->items.clear();
    control->selection = -1;
    control->text.clear();
}

int HeadlessWindow::ComboSelection(int id) const
{
    const ControlState* control = Control(id);
    return control && control->IsCombo() ? control->selection : -1;
}

void HeadlessWindow::ComboSetSelection(int id, int index)
{
    ControlState* control = Control(id);
    if (!control || !control->IsCombo())
        return;
    if (index < 0 || index >= static_cast<int>(control->items.size())) {
        control->selection = -1;
        return;
    }
    control->selection = index;
    control->text = control->items[index];
}

void HeadlessWindow::ListInsertColumn(int id, int column, std::string_view title, int)
{
    ControlState* control = Control(id);
    if (!control || control->kind != ui::ControlKind::ListView || column < 0)
        return;
    const int count = static_cast<int>(control->columns.size());
    if (column > count)
        column = count;
    control->columns.insert(control->columns.begin() + column, std::string(title));
    for (auto& row : control->rows)
        if (static_cast<int>(row.size()) > column && control->columns.size() > 1)
            row.insert(row.begin() + column, std::string());
}

int HeadlessWindow::ListInsertRow(int id, int row, std::string_view text)
{
    ControlState* control = Control(id);
    if (!control || control->kind != ui::ControlKind::ListView)
        return -1;
    const int count = static_cast<int>(control->rows.size());
    if (row < 0 || row > count)
        row = count;
    control->rows.insert(control->rows.begin() + row, std::vector<std::string>{std::string(text)});
    if (control->selectedRow >= row)
        ++control->selectedRow;
    return row;
}

void HeadlessWindow::ListSetItemText(int id, int row, int column, std::string_view text)
{
    ControlState* control = Control(id);
    if (!control || control->kind != ui::ControlKind::ListView)
        return;
    if (row < 0 || row >= static_cast<int>(control->rows.size()) || column < 0)
        return;
    const int columns = std::max<int>(1, static_cast<int>(control->columns.size()));
    if (column >= columns)
        return;
    auto& cells = control->rows[row];
    if (static_cast<int>(cells.size()) <= column)
        cells.resize(column + 1);
    cells[column] = std::string(text);
}

std::string HeadlessWindow::ListItemText(int id, int row, int column) const
{
    const ControlState* control = Control(id);
    if (!control || control->kind != ui::ControlKind::ListView)
        return {};
    if (row < 0 || row >= static_cast<int>(control->rows.size()) || column < 0)
        return {};
    const auto& cells = control->rows[row];
    return column < static_cast<int>(cells.size()) ? cells[column] : std::string();
}

int HeadlessWindow::ListRowCount(int id) const
{
    const ControlState* control = Control(id);
    return control && control->kind == ui::ControlKind::ListView ? static_cast<int>(control->rows.size()) : 0;
}

int HeadlessWindow::ListColumnCount(int id) const
{
    const ControlState* control = Control(id);
    return control && control->kind == ui::ControlKind::ListView ? static_cast<int>(control->columns.size()) : 0;
}

void HeadlessWindow::ListDeleteAll(int id)
{
    ControlState* control = Control(id);
    if (!control || control->kind != ui::ControlKind::ListView)
        return;
    control->rows.clear();
    control->selectedRow = -1;
}

int HeadlessWindow::ListSelectedRow(int id) const
{
    const ControlState* control = Control(id);
    return control && control->kind == ui::ControlKind::ListView ? control->selectedRow : -1;
}

void HeadlessWindow::ListSelectRow(int id, int row)
{
    ControlState* control = Control(id);
    if (!control || control->kind != ui::ControlKind::ListView)
        return;
    control->selectedRow = (row >= 0 && row < static_cast<int>(control->rows.size())) ? row : -1;
}

ui::DateTime HeadlessWindow::GetDateTime(int id) const
{
    const ControlState* control = Control(id);
    return control && control->kind == ui::ControlKind::DateTimePicker ? control->dateTime : ui::DateTime{};
}

void HeadlessWindow::SetDateTime(int id, const ui::DateTime& value)
{
    ControlState* control = Control(id);
    if (control && control->kind == ui::ControlKind::DateTimePicker)
        control->dateTime = value;
}

void HeadlessWindow::SetDateTimeFormat(int id, std::string_view format)
{
    ControlState* control = Control(id);
    if (control && control->kind == ui::ControlKind::DateTimePicker)
        control->dateFormat = std::string(format);
}

void HeadlessWindow::SetProgress(int id, const std::optional<ui::Progress>& progress)
{
    ControlState* control = Control(id);
    if (control && control->kind == ui::ControlKind::Progress)
        control->progress = progress;
}

ui::Rect HeadlessWindow::ClientRect(int id) const
{
    if (id == 0)
        return {0, 0, m_template.cx * ui::kPixelsPerDialogUnitX, m_template.cy * ui::kPixelsPerDialogUnitY};
    const ControlState* control = Control(id);
    if (!control)
        return {};
    return {0, 0, control->tmpl->cx * ui::kPixelsPerDialogUnitX, control->tmpl->cy * ui::kPixelsPerDialogUnitY};
}

void HeadlessWindow::SetTimer(int timerId, unsigned periodMs) { m_backend.Clock().SetTimer(*this, timerId, periodMs); }

void HeadlessWindow::KillTimer(int timerId) { m_backend.Clock().KillTimer(*this, timerId); }

void HeadlessWindow::TimerDue(int timerId) { m_dialog.HandleTimer(timerId); }

std::unique_ptr<ui::Canvas> HeadlessWindow::GetCanvas() { return std::make_unique<HeadlessCanvas>(*this); }

void HeadlessWindow::Invalidate(bool erase)
{
    ++m_repaints;
    if (erase)
        m_drawOps.clear();
    if (m_painting)
        return;  // asked again from inside OnPaint: the running paint covers it
    m_painting = true;
    HeadlessCanvas canvas(*this);
    m_dialog.HandlePaint(canvas);
    m_painting = false;
}

std::unique_ptr<ui::Canvas> HeadlessWindow::GetOverlayCanvas() { return std::make_unique<HeadlessCanvas>(*this, true); }

void HeadlessWindow::ClearOverlay() { m_overlayOps.clear(); }

void HeadlessWindow::RecordDraw(const DrawOp& op, bool overlay)
{
    if (m_backend.Recording())
        (overlay ? m_overlayOps : m_drawOps).push_back(op);
}

void HeadlessWindow::End(int result)
{
    m_ended = true;
    m_result = result;
}

}  // namespace headless
