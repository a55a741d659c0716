#pragma once

#include "ui/dialog_template.h"

namespace res {

// Main window "Quivra QZR Test Tool V4.0".
const ui::DialogTemplate& MainDialogTemplate();

// Motion area dialog "Set area for motion detection".
const ui::DialogTemplate& MotionAreaDialogTemplate();

// Burst test window "Continuously Shot (Motion Detection) Test".
const ui::DialogTemplate& BurstTestTemplate();

// Quick shot window "Dialog".
const ui::DialogTemplate& QuickShotTemplate();

// Settings dialog "设置".
const ui::DialogTemplate& CameraSettingsTemplate();

}  // namespace res
