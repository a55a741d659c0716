// Template of the motion area dialog: the grid is painted in the left part of
// the client area (pixels 10 to 647 across, 10 to 491 down); the controls stand
// in a column at the right, the import button and a hint under the grid.
#include "res/resource.h"
#include "res/templates.h"

namespace res {
namespace {

using ui::ControlKind;
using ui::ControlTemplate;
using ui::IDC_STATIC;
using ui::IDCANCEL;
using ui::IDOK;

const ControlTemplate kMotionAreaControls[] = {
    // Quick Selection: the four sides around the centre.
    {IDC_STATIC, ControlKind::GroupBox, "Quick Selection", 328, 7, 91, 91},
    {IDC_MOTION_UPPER, ControlKind::PushButton, "Upper", 344, 22, 57, 13, ui::kGroup},
    {IDC_MOTION_LEFT, ControlKind::PushButton, "L", 332, 35, 12, 45},
    {IDC_MOTION_CENTRAL, ControlKind::PushButton, "Central", 352, 41, 41, 35},
    {IDC_MOTION_RIGHT, ControlKind::PushButton, "R", 401, 35, 12, 45},
    {IDC_MOTION_BOTTOM, ControlKind::PushButton, "Bottom", 344, 80, 57, 13},
    {IDC_MOTION_SURROUNDINGS, ControlKind::PushButton, "Surroundings", 329, 104, 49, 14},
    {IDC_MOTION_ALL, ControlKind::PushButton, "All", 381, 104, 38, 14},
    {IDC_MOTION_CLEAR, ControlKind::PushButton, "Clear", 329, 124, 45, 14},
    {IDC_MOTION_REVERSE, ControlKind::PushButton, "Reverse", 377, 124, 42, 14},

    // The three detection values.
    {IDC_STATIC, ControlKind::Static, "Sensitivity", 330, 146, 48, 9},
    {IDC_MOTION_SENSITIVITY, ControlKind::Edit, "", 380, 144, 24, 12, ui::kGroup},
    {IDC_MOTION_SENSITIVITY_SPIN, ControlKind::UpDown, "", 406, 143, 9, 14},
    {IDC_STATIC, ControlKind::Static, "Density1~4", 330, 161, 44, 9},
    {IDC_MOTION_DENSITY, ControlKind::Edit, "", 375, 160, 17, 11},
    {IDC_STATIC, ControlKind::Static, "Times", 395, 161, 22, 9},
    {IDC_STATIC, ControlKind::Static, "No.of Interval", 330, 173, 60, 9},
    {IDC_MOTION_INTERVAL, ControlKind::Edit, "", 392, 172, 24, 11},

    {IDCANCEL, ControlKind::PushButton, "Cancel", 344, 187, 57, 15, ui::kGroup},
    {IDOK, ControlKind::DefPushButton, "OK", 344, 206, 57, 13},

    {IDC_STATIC, ControlKind::GroupBox, "Tips", 328, 222, 91, 37},
    {IDC_STATIC, ControlKind::Static, "Please click in the left block to select the motion detection area.", 332, 232,
     84, 24},

    // Under the grid.
    {IDC_MOTION_IMPORT, ControlKind::PushButton, "Import field base image", 7, 247, 86, 12, ui::kGroup},
    {IDC_STATIC, ControlKind::Static, "Click the detecting area to set the area for motion detection.", 96, 249, 217,
     10},
};

const ui::DialogTemplate kMotionAreaDialog = {
    IDD_MOTION_AREA, "Set area for motion detection", 426, 266, kMotionAreaControls,
};

}  // namespace

const ui::DialogTemplate& MotionAreaDialogTemplate() { return kMotionAreaDialog; }

}  // namespace res
