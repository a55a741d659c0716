// Template of the settings dialog: three switch groups in a row, the model
// group under them with the models described in two columns, and "关 闭".
#include <string_view>

#include "res/resource.h"
#include "res/templates.h"

namespace res {
namespace {

using ui::ControlKind;
using ui::ControlTemplate;
using ui::IDC_STATIC;
using ui::IDOK;
using namespace ui;  // style bits

// The category words are items of their own; the model codes behind the
// names are those of the model table.
constexpr std::string_view kModels[] = {
    "月光级", "QZR-L1N", "QZR-L2", "QZR-L3", "QZR-L5", "QZR-L8", "QZR-LA", "QZR-LC",
    "月光级", "QZR-M1",  "QZR-M2", "QZR-M3", "QZR-M5", "QZR-M8", "QZR-MA", "QZR-MC",
    "星光级", "QZR-H1",  "QZR-H2", "QZR-H3", "QZR-H5", "QZR-H8", "QZR-HA", "QZR-HC",
    "星光+",  "QZR-S1",  "QZR-S2", "QZR-S3", "QZR-S5", "QZR-S8", "QZR-SA", "QZR-SC",
};

// The number before the "-" is the function mode.
constexpr std::string_view kFunctions[] = {
    "1-标准型", "2-不延时直拍", "3-短时暴光", "4-启动速拍", "5-实时拍照", "6-准实时拍照",
};

constexpr unsigned kState = kDisabled | kAlignCenter;

const ControlTemplate kSettingsControls[] = {
    {IDC_STATIC, ControlKind::GroupBox, "白光", 6, 4, 106, 48},
    {IDC_SETTINGS_WHITE_LIGHT, ControlKind::PushButton, "白光", 14, 17, 42, 14, kGroup},
    {IDC_SETTINGS_INFRARED, ControlKind::PushButton, "红外", 62, 17, 42, 14},
    {IDC_SETTINGS_LIGHT_STATE, ControlKind::Edit, "", 14, 34, 90, 12, kState},

    {IDC_STATIC, ControlKind::GroupBox, "自动聚焦", 120, 4, 106, 48},
    {IDC_SETTINGS_AUTOFOCUS_SET, ControlKind::PushButton, "设置", 128, 17, 42, 14, kGroup},
    {IDC_SETTINGS_AUTOFOCUS_CANCEL, ControlKind::PushButton, "取消", 176, 17, 42, 14},
    {IDC_SETTINGS_FOCUS_STATE, ControlKind::Edit, "", 128, 34, 90, 12, kState},

    {IDC_STATIC, ControlKind::GroupBox, "移动帧测报警", 234, 4, 106, 48},
    {IDC_SETTINGS_ALARM, ControlKind::PushButton, "报警", 242, 17, 42, 14, kGroup},
    {IDC_SETTINGS_NO_ALARM, ControlKind::PushButton, "不报警", 290, 17, 42, 14},
    {IDC_SETTINGS_ALARM_STATE, ControlKind::Edit, "", 242, 34, 90, 12, kState},

    {IDC_STATIC, ControlKind::GroupBox, "型号选择（默认QZR-M2）", 6, 56, 334, 156},
    {IDC_STATIC, ControlKind::Static, "月光级", 14, 69, 60, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-L1N    小芯片（130万）小镜头", 14, 81, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-L2       小芯片（200万）小镜头", 14, 93, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-M2       小芯片（200万）大镜头", 176, 93, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-L3       小芯片（300万）小镜头", 14, 105, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-M3       小芯片（300万）大镜头", 176, 105, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-L5       小芯片（500万）小镜头", 14, 117, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-M5       小芯片（500万）大镜头", 176, 117, 158, 9},
    {IDC_STATIC, ControlKind::Static, "星光级", 14, 133, 60, 9},
    {IDC_STATIC, ControlKind::Static, "星光+", 176, 133, 60, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-H2       大芯片（200万）大镜头", 14, 145, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-S2       大芯片（200万）大镜头", 176, 145, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-H3       大芯片（300万）大镜头", 14, 157, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-S3       大芯片（300万）大镜头", 176, 157, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-H5       大芯片（500万）大镜头", 14, 169, 158, 9},
    {IDC_STATIC, ControlKind::Static, "QZR-S5       大芯片（500万）大镜头", 176, 169, 158, 9},
    {IDC_STATIC, ControlKind::Static, "产品型号", 14, 191, 34, 9},
    {IDC_SETTINGS_MODEL, ControlKind::ComboBox, "", 50, 189, 76, 120, kGroup, kModels},
    {IDC_STATIC, ControlKind::Static, "定制功能", 134, 191, 34, 9},
    {IDC_SETTINGS_FUNCTION, ControlKind::ComboBox, "", 170, 189, 80, 80, kSorted, kFunctions},
    {IDC_SETTINGS_MODEL_SET, ControlKind::PushButton, "设置", 258, 188, 36, 14},
    {IDC_SETTINGS_MODEL_CANCEL, ControlKind::PushButton, "取消", 298, 188, 36, 14},

    {IDOK, ControlKind::DefPushButton, "关 闭", 146, 224, 54, 16, kGroup},
};

const ui::DialogTemplate kSettingsDialog = {IDD_CAMERA_SETTINGS, "设置", 346, 249, kSettingsControls};

}  // namespace

const ui::DialogTemplate& CameraSettingsTemplate() { return kSettingsDialog; }

}  // namespace res
