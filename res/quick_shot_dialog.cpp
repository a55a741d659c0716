// Template of the quick shot window: a frame over the picture area and one
// row of controls in the bottom 25 units, which the picture leaves alone.
#include "res/resource.h"
#include "res/templates.h"

namespace res {
namespace {

using ui::ControlKind;
using ui::IDC_STATIC;
using namespace ui;  // style bits

const ui::ControlTemplate kQuickShotControls[] = {
    {IDC_STATIC, ControlKind::GroupBox, "", 3, 1, 394, 242},
    {IDC_STATIC, ControlKind::Static, "串口号", 6, 253, 26, 9},
    {IDC_QUICK_PORT, ControlKind::ComboBox, "", 34, 250, 70, 100, kGroup},
    {IDC_QUICK_OPEN_PORT, ControlKind::PushButton, "打开串口", 110, 249, 44, 14},
    {IDC_QUICK_SHOOT, ControlKind::PushButton, "拍    照", 158, 249, 44, 14},
    {IDC_QUICK_EXIT, ControlKind::PushButton, "退  出", 206, 249, 44, 14},
    {IDC_QUICK_STATUS, ControlKind::Edit, "", 256, 250, 140, 12, kReadOnly},
};

const ui::DialogTemplate kQuickShotDialog = {IDD_QUICK_SHOT, "Dialog", 400, 270, kQuickShotControls};

}  // namespace

const ui::DialogTemplate& QuickShotTemplate() { return kQuickShotDialog; }

}  // namespace res
