// Template of the main window: every control with its caption and place, in
// dialog units. Radio buttons, check boxes and buttons sit in their group boxes
// in the order the Tab key visits them.
#include <array>
#include <string_view>

#include "protocol/codes.h"
#include "res/resource.h"
#include "res/templates.h"

namespace res {
namespace {

using ui::ControlKind;
using ui::ControlTemplate;
using ui::IDC_STATIC;
using namespace ui;  // style bits

constexpr std::string_view kBaudRates[] = {"9600", "19200", "38400", "57600", "115200", "230400"};
constexpr std::string_view kSetBaudRates[] = {"9600", "19200", "38400", "57600", "115200", "230400", ""};
constexpr std::string_view kPacketSizes[] = {"128", "256", "512", "1024", "2048", "4096"};

const ControlTemplate kMainControls[] = {
    // Serial Setting
    {IDC_STATIC, ControlKind::GroupBox, "Serial Setting", 4, 2, 112, 70},
    {IDC_STATIC, ControlKind::Static, "Comport", 9, 15, 34, 9},
    {IDC_COMPORT, ControlKind::ComboBox, "", 44, 13, 68, 100, kGroup},
    {IDC_STATIC, ControlKind::Static, "Baud Rate", 9, 29, 34, 9},
    {IDC_BAUDRATE, ControlKind::ComboBox, "", 44, 27, 68, 100},
    {IDC_STATIC, ControlKind::Static, "ID", 9, 43, 34, 9},
    {IDC_CAMERA_ID, ControlKind::Edit, "", 44, 41, 68, 12},
    {IDC_OPEN_COMMS, ControlKind::PushButton, "Open Comms", 9, 55, 50, 13},
    {IDC_CLOSE_COMMS, ControlKind::PushButton, "Close Comms", 62, 55, 50, 13},

    // Get Image
    {IDC_STATIC, ControlKind::GroupBox, "Get Image", 4, 74, 112, 142},
    {IDC_STATIC, ControlKind::Static, "JPEG Resolution", 9, 87, 50, 9},
    {IDC_RESOLUTION, ControlKind::ComboBox, "", 60, 85, 52, 150, kGroup, qzr::ResolutionList()},
    {IDC_STATIC, ControlKind::Static, "Compression Ratio", 9, 101, 50, 9},
    {IDC_QUALITY, ControlKind::ComboBox, "", 60, 99, 52, 150, 0, qzr::QualityList()},
    {IDC_SNAPSHOT, ControlKind::PushButton, "Snapshot", 9, 113, 50, 14},
    {IDC_SAVE_IMAGE, ControlKind::CheckBox, "Save", 64, 115, 44, 10},
    {IDC_CONTINUOUS_CAPTURE, ControlKind::PushButton, "Continuously Capture", 9, 129, 103, 13},
    {IDC_STOP_SNAPSHOT, ControlKind::PushButton, "Stop Snapshotting", 9, 144, 103, 13},
    {IDC_WHOLE_PACKAGE, ControlKind::RadioButton, "Whole Package", 9, 160, 58, 10, kGroup},
    {IDC_SUB_PACKET, ControlKind::RadioButton, "Sub-packet", 68, 160, 46, 10, kGroup},
    {IDC_TEST_QUALITY, ControlKind::CheckBox, "Test", 9, 172, 30, 10, kGroup},
    {IDC_SIMPLIFIED, ControlKind::CheckBox, "Simplified", 44, 172, 60, 10},
    {IDC_STATIC, ControlKind::Static, "Sub-packet Size", 9, 186, 50, 9},
    {IDC_PACKET_SIZE, ControlKind::ComboBox, "", 60, 184, 52, 100, 0, kPacketSizes},
    {IDC_SET_PACKET_SIZE, ControlKind::PushButton, "Set sub-packet size and Snapshot", 9, 199, 103, 13},

    // Set Baud Rate
    {IDC_STATIC, ControlKind::GroupBox, "Set Baud Rate", 4, 218, 112, 84},
    {IDC_STATIC, ControlKind::Static, "Baud Rate", 9, 231, 34, 9},
    {IDC_SET_BAUDRATE, ControlKind::ComboBox, "", 44, 229, 68, 100, kGroup, kSetBaudRates},
    {IDC_STATIC, ControlKind::Static, "ID", 9, 245, 12, 9},
    {IDC_OLD_ID, ControlKind::Edit, "", 22, 243, 30, 12},
    {IDC_STATIC, ControlKind::Static, "New ID", 56, 245, 26, 9},
    {IDC_NEW_ID, ControlKind::Edit, "", 82, 243, 30, 12},
    {IDC_SAVE_BAUD, ControlKind::CheckBox, "Save", 9, 259, 32, 10},
    {IDC_CHECK_BAUD, ControlKind::PushButton, "Check", 44, 257, 33, 13},
    {IDC_SET_BAUD, ControlKind::PushButton, "Set", 79, 257, 33, 13},
    {IDC_DEFAULT_SETTINGS, ControlKind::PushButton, "Default", 9, 273, 33, 13},
    {IDC_STATIC, ControlKind::Static, "Count", 45, 275, 22, 9},
    {IDC_SET_COUNT, ControlKind::Edit, "", 66, 273, 22, 12},
    {IDC_CLEAR_COUNT, ControlKind::PushButton, "Clear", 90, 273, 22, 13},

    // Upgrade Camera firmware
    {IDC_STATIC, ControlKind::GroupBox, "Upgrade Camera firmware", 4, 304, 112, 32},
    {IDC_OPEN_FIRMWARE, ControlKind::PushButton, "Open File", 9, 317, 33, 13, kGroup},
    {IDC_UPLOAD, ControlKind::PushButton, "Upload", 44, 317, 33, 13},
    {IDC_CANCEL_UPLOAD, ControlKind::PushButton, "Cancel", 79, 317, 33, 13},
    {IDC_SAVE_LOG, ControlKind::CheckBox, "Save logging", 9, 342, 70, 10, kGroup},

    // Picture area and text boxes
    {IDC_PICTURE, ControlKind::Frame, "", 119, 8, 346, 250},
    {IDC_LOG, ControlKind::Edit, "", 119, 262, 170, 48, kMultiline | kReadOnly | kVScroll},
    {IDC_STATUS, ControlKind::Edit, "", 119, 313, 170, 12},
    {IDC_INFO, ControlKind::Edit, "", 119, 328, 170, 12, kReadOnly},

    // CRC tool
    {IDC_STATIC, ControlKind::Static, "CRC Checkout Test", 119, 345, 60, 9},
    {IDC_CRC_INPUT, ControlKind::Edit, "", 180, 343, 109, 12},
    {IDC_CRC_CHECK, ControlKind::PushButton, "CRC Check Value", 119, 357, 60, 13},
    {IDC_CRC_OUTPUT, ControlKind::Edit, "", 180, 358, 109, 12},

    // Focusing
    {IDC_STATIC, ControlKind::GroupBox, "Focusing", 293, 260, 172, 58},
    {IDC_ZOOM_RESET, ControlKind::PushButton, "Reset", 297, 271, 26, 12, kGroup},
    {IDC_STATIC, ControlKind::Static, "Zoom", 326, 273, 20, 9},
    {IDC_ZOOM_PERCENT, ControlKind::Edit, "", 346, 271, 22, 12},
    {IDC_STATIC, ControlKind::Static, "%", 370, 273, 8, 9},
    {IDC_ZOOM, ControlKind::PushButton, "Zoom", 380, 271, 38, 12},
    {IDC_CHECK_LENS, ControlKind::PushButton, "Check", 421, 271, 40, 12},
    {IDC_FOCUS_RESET, ControlKind::PushButton, "Reset", 297, 286, 26, 12},
    {IDC_STATIC, ControlKind::Static, "Focus", 326, 288, 20, 9},
    {IDC_FOCUS_PERCENT, ControlKind::Edit, "", 346, 286, 22, 12, kDisabled},
    {IDC_STATIC, ControlKind::Static, "%", 370, 288, 8, 9},
    {IDC_FOCUS, ControlKind::PushButton, "Focus", 380, 286, 38, 12},
    {IDC_AUTO_FOCUSING, ControlKind::PushButton, "Auto-focusing", 421, 286, 40, 12},
    {IDC_MANUAL_FOCUS, ControlKind::PushButton, "Manual Focus", 297, 301, 52, 12},
    {IDC_SET_AND_SNAPSHOT, ControlKind::PushButton, "Set and Snapshot", 352, 301, 54, 12},
    {IDC_STOP_AND_SNAPSHOT, ControlKind::PushButton, "Stop and Snapshot", 408, 301, 53, 12},

    // Timer
    {IDC_STATIC, ControlKind::GroupBox, "Timer", 293, 320, 172, 24},
    {IDC_START_TIMER, ControlKind::PushButton, "Start Timer", 297, 329, 42, 12, kGroup},
    {IDC_STATIC, ControlKind::Static, "Interval", 342, 331, 26, 9},
    {IDC_INTERVAL_MIN, ControlKind::Edit, "", 368, 329, 18, 12},
    {IDC_STATIC, ControlKind::Static, "Min", 388, 331, 12, 9},
    {IDC_STATIC, ControlKind::Static, "Switch on", 403, 331, 30, 9},
    {IDC_SWITCH_ON_SEC, ControlKind::Edit, "", 433, 329, 18, 12},
    {IDC_STATIC, ControlKind::Static, "Sec", 452, 331, 12, 9},
    {IDC_CONTINUOUSLY_SHOT, ControlKind::PushButton, "Continuously Shot", 293, 347, 70, 13, kGroup},

    // Serial number and production date
    {IDC_SET_DATE, ControlKind::PushButton, "Set Date", 366, 347, 32, 13},
    {IDC_CHECK_DATE, ControlKind::PushButton, "Check Date", 400, 347, 40, 13},
    {IDC_DATE, ControlKind::Edit, "", 293, 362, 172, 12},

    // Camera text and the right column
    {IDC_CAMERA_TEXT, ControlKind::Edit, "", 469, 8, 72, 150, kMultiline | kVScroll | kAlignRight},
    {IDC_TEST_PATTERN, ControlKind::PushButton, "Test", 469, 162, 72, 13, kGroup},
    {IDC_SETTING, ControlKind::PushButton, "Setting", 469, 177, 72, 13},
    {IDC_LED_ON, ControlKind::PushButton, "Turn LED On", 469, 192, 72, 13},
    {IDC_LED_OFF, ControlKind::PushButton, "Turn LED Off", 469, 207, 72, 13},
    {IDC_BATCH_SETTING, ControlKind::PushButton, "Batch Setting", 469, 222, 72, 13},
    {IDC_CHECK_MODEL, ControlKind::PushButton, "Check Model No.", 469, 237, 72, 13},
    {IDC_MOTION_DETECTION, ControlKind::PushButton, "Motion Detection", 469, 252, 72, 13},

    // On-screen text
    {IDC_STATIC, ControlKind::GroupBox, "OSD", 469, 268, 72, 98},
    {IDC_OSD_TEXT, ControlKind::Edit, "", 473, 279, 64, 12, kGroup},
    {IDC_STATIC, ControlKind::Static, "X", 473, 296, 10, 9},
    {IDC_OSD_X, ControlKind::Edit, "", 484, 294, 53, 12},
    {IDC_STATIC, ControlKind::Static, "Y", 473, 310, 10, 9},
    {IDC_OSD_Y, ControlKind::Edit, "", 484, 308, 53, 12},
    {IDC_STATIC, ControlKind::Static, "Size", 473, 324, 14, 9},
    {IDC_OSD_SIZE, ControlKind::Edit, "", 488, 322, 49, 12},
    {IDC_SEND_OSD, ControlKind::PushButton, "Send OSD Characters", 473, 338, 64, 24},

    // Hidden quick shot button, top right corner.
    {IDC_QUICK_SHOT, ControlKind::PushButton, "", 539, 0, 6, 6},
};

const ui::DialogTemplate kMainDialog = {
    IDD_CAMERATEST_DIALOG, "Quivra QZR Test Tool V4.0", 545, 378, kMainControls,
};

}  // namespace

const ui::DialogTemplate& MainDialogTemplate() { return kMainDialog; }

}  // namespace res
