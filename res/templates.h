#pragma once

#include "ui/dialog_template.h"

namespace res {

// Main window "Quivra QZR Test Tool V4.0".
const ui::DialogTemplate& MainDialogTemplate();

}  // namespace res
