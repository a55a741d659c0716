// The operator's actions on the headless backend: what a person's clicks and
// typing do to the controls, and what the script's `print` shows.
#include <algorithm>

#include "headless/backend.h"
#include "ui/dialog.h"

namespace headless {

ControlState* HeadlessBackend::Resolve(ui::CDialog& dialog, int id, DriveResult& failure)
{
    HeadlessWindow* window = Find(dialog);
    if (!window) {
        failure = DriveResult::Fail("the window is not open");
        return nullptr;
    }
    ControlState* control = window->Control(id);
    if (!control)
        failure = DriveResult::Fail("unknown id " + std::to_string(id));
    return control;
}

bool HeadlessBackend::Disabled(const ControlState& control, int id)
{
    if (control.enabled)
        return false;
    Emit("disabled: " + std::to_string(id));
    return true;
}

DriveResult HeadlessBackend::Click(ui::CDialog& dialog, int id)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (Disabled(*control, id))
        return DriveResult::Ok();
    if (control->kind == ui::ControlKind::CheckBox)
        control->check = control->check ? 0 : 1;
    dialog.HandleCommand(id, ui::Notification::Clicked);
    return DriveResult::Ok();
}

DriveResult HeadlessBackend::SetText(ui::CDialog& dialog, int id, std::string_view text)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    switch (control->kind) {
    case ui::ControlKind::Edit:
    case ui::ControlKind::ComboBox:
        if (Disabled(*control, id))
            return DriveResult::Ok();
        control->text = std::string(text);
        // Typing replaces the chosen item with free text.
        if (control->kind == ui::ControlKind::ComboBox)
            control->selection = -1;
        dialog.HandleCommand(id, ui::Notification::EditChange);
        return DriveResult::Ok();
    case ui::ControlKind::DateTimePicker: {
        const std::optional<ui::DateTime> value = ParseDateTime(text);
        if (!value)
            return DriveResult::Fail("\"" + std::string(text) + "\" is not YYYY-MM-DD HH:MM:SS");
        if (Disabled(*control, id))
            return DriveResult::Ok();
        control->dateTime = *value;
        return DriveResult::Ok();
    }
    default:
        return DriveResult::Fail("control " + std::to_string(id) + " takes no typing");
    }
}

DriveResult HeadlessBackend::Select(ui::CDialog& dialog, int id, std::string_view text)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (!control->IsCombo())
        return DriveResult::Fail("control " + std::to_string(id) + " is not a combo box");
    const auto it = std::find(control->items.begin(), control->items.end(), text);
    if (it == control->items.end())
        return DriveResult::Fail("combo " + std::to_string(id) + " has no item \"" + std::string(text) + "\"");
    if (Disabled(*control, id))
        return DriveResult::Ok();
    control->selection = static_cast<int>(it - control->items.begin());
    control->text = *it;
    dialog.HandleCommand(id, ui::Notification::SelChange);
    return DriveResult::Ok();
}

DriveResult HeadlessBackend::Check(ui::CDialog& dialog, int id, int state)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (state != 0 && state != 1)
        return DriveResult::Fail("a check state is 0 or 1");
    if (!control->IsButtonWithState())
        return DriveResult::Fail("control " + std::to_string(id) + " is not a check box or radio button");
    if (Disabled(*control, id))
        return DriveResult::Ok();
    if (control->kind == ui::ControlKind::CheckBox) {
        control->check = state;
        dialog.HandleCommand(id, ui::Notification::Clicked);
    } else if (state == 1) {
        dialog.HandleCommand(id, ui::Notification::Clicked);
    } else {
        control->check = 0;
    }
    return DriveResult::Ok();
}

DriveResult HeadlessBackend::DblClick(ui::CDialog& dialog, int id, int row)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (control->kind != ui::ControlKind::ListView)
        return DriveResult::Fail("control " + std::to_string(id) + " is not a list");
    if (row < -1 || row >= static_cast<int>(control->rows.size()))
        return DriveResult::Fail("list " + std::to_string(id) + " has no row " + std::to_string(row));
    if (Disabled(*control, id))
        return DriveResult::Ok();
    control->selectedRow = row;
    dialog.HandleCommand(id, ui::Notification::DblClick);
    return DriveResult::Ok();
}

DriveResult HeadlessBackend::Spin(ui::CDialog& dialog, int id, bool up)
{
    DriveResult failure;
    ControlState* control = Resolve(dialog, id, failure);
    if (!control)
        return failure;
    if (control->kind != ui::ControlKind::UpDown)
        return DriveResult::Fail("control " + std::to_string(id) + " is not an up-down control");
    if (Disabled(*control, id))
        return DriveResult::Ok();
    dialog.HandleDeltaPos(id, up ? -1 : 1);
    return DriveResult::Ok();
}

void HeadlessBackend::LClick(ui::CDialog& dialog, ui::Point p)
{
    if (Find(dialog))
        dialog.HandleLButtonDown(p);
}

void HeadlessBackend::LDblClick(ui::CDialog& dialog, ui::Point p)
{
    if (!Find(dialog))
        return;
    dialog.HandleLButtonDown(p);
    if (Find(dialog))
        dialog.HandleLButtonDblClk(p);
}

std::optional<std::string> HeadlessBackend::Print(const ui::CDialog& dialog, int id) const
{
    const HeadlessWindow* window = Find(dialog);
    if (!window)
        return std::nullopt;
    const ControlState* control = window->Control(id);
    if (!control)
        return std::nullopt;
    switch (control->kind) {
    case ui::ControlKind::CheckBox:
    case ui::ControlKind::RadioButton:
        return std::string(control->check ? "1" : "0");
    case ui::ControlKind::ListView: {
        std::string text;
        for (std::size_t r = 0; r < control->rows.size(); ++r) {
            if (r > 0)
                text += '\n';
            const auto& cells = control->rows[r];
            const std::size_t columns = std::max(cells.size(), control->columns.size());
            for (std::size_t c = 0; c < columns; ++c) {
                if (c > 0)
                    text += '\t';
                if (c < cells.size())
                    text += cells[c];
            }
        }
        return text;
    }
    case ui::ControlKind::DateTimePicker:
        return FormatPickerTime(control->dateTime, "yyyy-MM-dd HH:mm:ss");
    case ui::ControlKind::Progress:
        return FormatProgress(control->progress);
    default:
        return window->GetText(id);
    }
}

std::optional<ui::Progress> HeadlessBackend::RunningTransfer() const
{
    for (auto window = m_windows.rbegin(); window != m_windows.rend(); ++window)
        for (const ui::ControlTemplate& c : (*window)->Template().controls)
            if (c.kind == ui::ControlKind::Progress)
                if (const ControlState* control = (*window)->Control(c.id); control && control->progress)
                    return control->progress;
    return std::nullopt;
}

}  // namespace headless
