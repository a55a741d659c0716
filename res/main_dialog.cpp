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

constexpr std::string_view kSetBaudRates[] = {"9600", "19200", "38400", "57600", "115200", "230400", ""};
constexpr std::string_view kPacketSizes[] = {"128", "256", "512", "1024", "2048", "4096"};

const ControlTemplate kMainControls[] = {
    // Serial Setting
    {IDC_STATIC, ControlKind::GroupBox, "Serial Setting", 4, 2, 112, 77},
    {IDC_STATIC, ControlKind::Static, "Comport", 9, 18, 38, 9},
    {IDC_COMPORT, ControlKind::ComboBox, "", 48, 15, 63, 100, kGroup},
    {IDC_STATIC, ControlKind::Static, "Baud Rate", 9, 33, 38, 9},
    {IDC_BAUDRATE, ControlKind::ComboBox, "", 48, 30, 63, 100},
    {IDC_STATIC, ControlKind::Static, "ID", 9, 48, 38, 9},
    {IDC_CAMERA_ID, ControlKind::Edit, "", 48, 45, 63, 12},
    {IDC_OPEN_COMMS, ControlKind::PushButton, "Open Comms", 9, 61, 50, 13},
    {IDC_CLOSE_COMMS, ControlKind::PushButton, "Close Comms", 61, 61, 50, 13},

    // Get Image
    {IDC_STATIC, ControlKind::GroupBox, "Get Image", 4, 83, 112, 154},
    {IDC_STATIC, ControlKind::Static, "JPEG Resolution", 9, 99, 54, 9},
    {IDC_RESOLUTION, ControlKind::ComboBox, "", 64, 96, 47, 150, kGroup, qzr::ResolutionList()},
    {IDC_STATIC, ControlKind::Static, "Compression Ratio", 9, 114, 54, 9},
    {IDC_QUALITY, ControlKind::ComboBox, "", 64, 111, 47, 150, 0, qzr::QualityList()},
    {IDC_SNAPSHOT, ControlKind::PushButton, "Snapshot", 9, 127, 50, 13},
    {IDC_SAVE_IMAGE, ControlKind::CheckBox, "Save", 66, 128, 45, 10},
    {IDC_CONTINUOUS_CAPTURE, ControlKind::PushButton, "Continuously Capture", 9, 143, 102, 13},
    {IDC_STOP_SNAPSHOT, ControlKind::PushButton, "Stop Snapshotting", 9, 159, 102, 13},
    {IDC_WHOLE_PACKAGE, ControlKind::RadioButton, "Whole Package", 9, 176, 56, 10, kGroup},
    {IDC_SUB_PACKET, ControlKind::RadioButton, "Sub-packet", 66, 176, 45, 10, kGroup},
    {IDC_TEST_QUALITY, ControlKind::CheckBox, "Test", 9, 189, 40, 10, kGroup},
    {IDC_SIMPLIFIED, ControlKind::CheckBox, "Simplified", 66, 189, 45, 10},
    {IDC_STATIC, ControlKind::Static, "Sub-packet Size", 9, 206, 54, 9},
    {IDC_PACKET_SIZE, ControlKind::ComboBox, "", 64, 203, 47, 100, 0, kPacketSizes},
    {IDC_SET_PACKET_SIZE, ControlKind::PushButton, "Set sub-packet size and Snapshot", 9, 219, 102, 13},

    // Set Baud Rate
    {IDC_STATIC, ControlKind::GroupBox, "Set Baud Rate", 4, 241, 112, 77},
    {IDC_STATIC, ControlKind::Static, "Baud Rate", 9, 257, 38, 9},
    {IDC_SET_BAUDRATE, ControlKind::ComboBox, "", 48, 254, 63, 100, kGroup, kSetBaudRates},
    {IDC_STATIC, ControlKind::Static, "ID", 9, 272, 10, 9},
    {IDC_OLD_ID, ControlKind::Edit, "", 20, 269, 30, 12},
    {IDC_STATIC, ControlKind::Static, "New ID", 56, 272, 24, 9},
    {IDC_NEW_ID, ControlKind::Edit, "", 81, 269, 30, 12},
    {IDC_SAVE_BAUD, ControlKind::CheckBox, "Save", 9, 285, 32, 10},
    {IDC_CHECK_BAUD, ControlKind::PushButton, "Check", 44, 284, 32, 13},
    {IDC_SET_BAUD, ControlKind::PushButton, "Set", 79, 284, 32, 13},
    {IDC_DEFAULT_SETTINGS, ControlKind::PushButton, "Default", 9, 300, 32, 13},
    {IDC_STATIC, ControlKind::Static, "Count", 45, 303, 20, 9},
    {IDC_SET_COUNT, ControlKind::Edit, "", 66, 300, 22, 13},
    {IDC_CLEAR_COUNT, ControlKind::PushButton, "Clear", 90, 300, 21, 13},

    // Upgrade Camera firmware
    {IDC_STATIC, ControlKind::GroupBox, "Upgrade Camera firmware", 4, 322, 112, 31},
    {IDC_OPEN_FIRMWARE, ControlKind::PushButton, "Open File", 9, 335, 32, 13, kGroup},
    {IDC_UPLOAD, ControlKind::PushButton, "Upload", 44, 335, 32, 13},
    {IDC_CANCEL_UPLOAD, ControlKind::PushButton, "Cancel", 79, 335, 32, 13},
    {IDC_FIRMWARE_PROGRESS, ControlKind::Progress, "", 4, 355, 112, 9},
    {IDC_SAVE_LOG, ControlKind::CheckBox, "Save logging", 9, 366, 70, 10, kGroup},

    // Picture area and text boxes
    {IDC_PICTURE, ControlKind::Frame, "", 119, 8, 346, 250},
    {IDC_LOG, ControlKind::Edit, "", 119, 262, 170, 41, kMultiline | kReadOnly | kVScroll},
    {IDC_TRANSFER_PROGRESS, ControlKind::Progress, "", 119, 305, 170, 8},
    {IDC_STATUS, ControlKind::Edit, "", 119, 315, 170, 12},
    {IDC_INFO, ControlKind::Edit, "", 119, 330, 170, 12, kReadOnly},

    // CRC tool
    {IDC_STATIC, ControlKind::Static, "CRC Checkout Test", 119, 348, 58, 9},
    {IDC_CRC_INPUT, ControlKind::Edit, "", 180, 345, 109, 12},
    {IDC_CRC_CHECK, ControlKind::PushButton, "CRC Check Value", 119, 361, 58, 13},
    {IDC_CRC_OUTPUT, ControlKind::Edit, "", 180, 361, 109, 13},

    // Focusing
    {IDC_STATIC, ControlKind::GroupBox, "Focusing", 293, 260, 172, 56},
    {IDC_ZOOM_RESET, ControlKind::PushButton, "Reset", 297, 272, 26, 12, kGroup},
    {IDC_STATIC, ControlKind::Static, "Zoom", 326, 275, 20, 9},
    {IDC_ZOOM_PERCENT, ControlKind::Edit, "", 346, 272, 22, 12},
    {IDC_STATIC, ControlKind::Static, "%", 370, 275, 8, 9},
    {IDC_ZOOM, ControlKind::PushButton, "Zoom", 379, 272, 34, 12},
    {IDC_CHECK_LENS, ControlKind::PushButton, "Check", 415, 272, 46, 12},
    {IDC_FOCUS_RESET, ControlKind::PushButton, "Reset", 297, 286, 26, 12},
    {IDC_STATIC, ControlKind::Static, "Focus", 326, 289, 20, 9},
    {IDC_FOCUS_PERCENT, ControlKind::Edit, "", 346, 286, 22, 12, kDisabled},
    {IDC_STATIC, ControlKind::Static, "%", 370, 289, 8, 9},
    {IDC_FOCUS, ControlKind::PushButton, "Focus", 379, 286, 34, 12},
    {IDC_AUTO_FOCUSING, ControlKind::PushButton, "Auto-focusing", 415, 286, 46, 12},
    {IDC_MANUAL_FOCUS, ControlKind::PushButton, "Manual Focus", 297, 300, 47, 12},
    {IDC_SET_AND_SNAPSHOT, ControlKind::PushButton, "Set and Snapshot", 346, 300, 55, 12},
    {IDC_STOP_AND_SNAPSHOT, ControlKind::PushButton, "Stop and Snapshot", 403, 300, 58, 12},

    // Timer
    {IDC_STATIC, ControlKind::GroupBox, "Timer", 293, 318, 172, 26},
    {IDC_START_TIMER, ControlKind::PushButton, "Start Timer", 297, 329, 40, 12, kGroup},
    {IDC_STATIC, ControlKind::Static, "Interval", 340, 332, 22, 9},
    {IDC_INTERVAL_MIN, ControlKind::Edit, "", 363, 329, 18, 12},
    {IDC_STATIC, ControlKind::Static, "Min", 383, 332, 12, 9},
    {IDC_STATIC, ControlKind::Static, "Switch on", 399, 332, 28, 9},
    {IDC_SWITCH_ON_SEC, ControlKind::Edit, "", 428, 329, 18, 12},
    {IDC_STATIC, ControlKind::Static, "Sec", 448, 332, 13, 9},
    {IDC_CONTINUOUSLY_SHOT, ControlKind::PushButton, "Continuously Shot", 293, 347, 70, 13, kGroup},

    // Serial number and production date
    {IDC_SET_DATE, ControlKind::PushButton, "Set Date", 366, 347, 40, 13},
    {IDC_CHECK_DATE, ControlKind::PushButton, "Check Date", 409, 347, 56, 13},
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
    {IDC_STATIC, ControlKind::GroupBox, "OSD", 469, 268, 72, 106},
    {IDC_OSD_TEXT, ControlKind::Edit, "", 473, 281, 64, 12, kGroup},
    {IDC_STATIC, ControlKind::Static, "X", 473, 300, 16, 9},
    {IDC_OSD_X, ControlKind::Edit, "", 490, 297, 47, 12},
    {IDC_STATIC, ControlKind::Static, "Y", 473, 316, 16, 9},
    {IDC_OSD_Y, ControlKind::Edit, "", 490, 313, 47, 12},
    {IDC_STATIC, ControlKind::Static, "Size", 473, 332, 16, 9},
    {IDC_OSD_SIZE, ControlKind::Edit, "", 490, 329, 47, 12},
    {IDC_SEND_OSD, ControlKind::PushButton, "Send OSD Characters", 473, 346, 64, 22},

    // Hidden quick shot button, top right corner.
    {IDC_QUICK_SHOT, ControlKind::PushButton, "", 539, 0, 6, 6},
};

const ui::DialogTemplate kMainDialog = {
    IDD_CAMERATEST_DIALOG, "Quivra QZR Test Tool V4.0", 545, 378, kMainControls,
};

}  // namespace

const ui::DialogTemplate& MainDialogTemplate() { return kMainDialog; }

}  // namespace res
