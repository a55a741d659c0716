#pragma once

#include <span>
#include <string_view>

#include "ui/types.h"

namespace ui {

enum class ControlKind {
    PushButton,
    DefPushButton,   // the button Enter presses
    CheckBox,        // toggles itself when clicked
    RadioButton,     // selects itself and clears the others of its group when clicked
    Edit,
    ComboBox,        // editable drop-down: an edit field with a list
    DropList,        // drop-down list without an edit field
    GroupBox,        // a caption over a framed area
    Static,          // a text label
    Frame,           // an empty framed area (a picture area)
    ListView,        // report view: rows of columns
    DateTimePicker,
    UpDown,          // a pair of arrows
    Progress,        // a bar with a transfer's figures (ui::Progress); empty while none runs
};

// Style bits of a control.
enum ControlStyle : unsigned {
    kGroup = 1u << 0,        // starts a new radio group (and tab group)
    kDisabled = 1u << 1,
    kReadOnly = 1u << 2,
    kMultiline = 1u << 3,
    kVScroll = 1u << 4,
    kAlignRight = 1u << 5,
    kAlignCenter = 1u << 6,
    kSorted = 1u << 7,       // combo list kept in alphabetical order
    kHidden = 1u << 8,
    kFullRowSelect = 1u << 9,  // list view
    kGridLines = 1u << 10,     // list view
    kBold = 1u << 11,
};

// One control of a dialog template. Positions and sizes are dialog units.
struct ControlTemplate {
    int id;
    ControlKind kind;
    std::string_view caption;
    int x, y, cx, cy;
    unsigned style = 0;
    std::span<const std::string_view> items = {};  // initial combo list
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    int cx, cy;  // client size, dialog units
    std::span<const ControlTemplate> controls;
};

// The control of `id` in the template (statics have no id of their own); null when absent.
const ControlTemplate* FindControl(const DialogTemplate& tmpl, int id);

}  // namespace ui
