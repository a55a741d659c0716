#pragma once

// Control ids of the console's windows, as their templates hold them.

// Main window, template 132 "Quivra QZR Test Tool V4.0".
inline constexpr int IDD_CAMERATEST_DIALOG = 132;
inline constexpr int IDR_MAINFRAME = 128;

// Serial Setting
inline constexpr int IDC_COMPORT = 1013;
inline constexpr int IDC_BAUDRATE = 1014;
inline constexpr int IDC_CAMERA_ID = 1127;
inline constexpr int IDC_OPEN_COMMS = 1007;
inline constexpr int IDC_CLOSE_COMMS = 1008;
// Get Image
inline constexpr int IDC_RESOLUTION = 1124;
inline constexpr int IDC_QUALITY = 1125;
inline constexpr int IDC_SNAPSHOT = 1009;
inline constexpr int IDC_CONTINUOUS_CAPTURE = 1010;
inline constexpr int IDC_STOP_SNAPSHOT = 1011;
inline constexpr int IDC_SAVE_IMAGE = 1129;
inline constexpr int IDC_WHOLE_PACKAGE = 1105;
inline constexpr int IDC_SUB_PACKET = 1106;
inline constexpr int IDC_TEST_QUALITY = 1134;
inline constexpr int IDC_SIMPLIFIED = 1140;
inline constexpr int IDC_PACKET_SIZE = 1133;
inline constexpr int IDC_SET_PACKET_SIZE = 1012;
// Set Baud Rate
inline constexpr int IDC_SET_BAUDRATE = 1016;
inline constexpr int IDC_OLD_ID = 1137;
inline constexpr int IDC_NEW_ID = 1138;
inline constexpr int IDC_SAVE_BAUD = 1139;
inline constexpr int IDC_CHECK_BAUD = 1135;
inline constexpr int IDC_SET_BAUD = 1136;
inline constexpr int IDC_DEFAULT_SETTINGS = 1177;
inline constexpr int IDC_SET_COUNT = 1173;
inline constexpr int IDC_CLEAR_COUNT = 1174;
// Upgrade Camera firmware
inline constexpr int IDC_OPEN_FIRMWARE = 1150;
inline constexpr int IDC_UPLOAD = 1151;
inline constexpr int IDC_CANCEL_UPLOAD = 1157;
inline constexpr int IDC_FIRMWARE_PROGRESS = 1159;  // the transfer's progress, under the group
// Picture and text boxes
inline constexpr int IDC_PICTURE = 1128;
inline constexpr int IDC_LOG = 1024;
inline constexpr int IDC_STATUS = 1036;
inline constexpr int IDC_INFO = 1131;
inline constexpr int IDC_CAMERA_TEXT = 1170;
inline constexpr int IDC_TRANSFER_PROGRESS = 1197;  // the picture transfer's progress, over the status box
// CRC tool
inline constexpr int IDC_CRC_CHECK = 1143;
inline constexpr int IDC_CRC_INPUT = 1142;
inline constexpr int IDC_CRC_OUTPUT = 1141;
// Serial number and production date
inline constexpr int IDC_SET_DATE = 1017;
inline constexpr int IDC_CHECK_DATE = 1018;
inline constexpr int IDC_DATE = 1149;
// On-screen text
inline constexpr int IDC_SEND_OSD = 1152;
inline constexpr int IDC_OSD_TEXT = 1153;
inline constexpr int IDC_OSD_X = 1154;
inline constexpr int IDC_OSD_Y = 1155;
inline constexpr int IDC_OSD_SIZE = 1156;
// Focusing
inline constexpr int IDC_ZOOM_PERCENT = 1180;
inline constexpr int IDC_FOCUS_PERCENT = 1181;
inline constexpr int IDC_ZOOM = 1182;
inline constexpr int IDC_FOCUS = 1183;
inline constexpr int IDC_CHECK_LENS = 1184;
inline constexpr int IDC_FOCUS_RESET = 1175;
inline constexpr int IDC_ZOOM_RESET = 1176;
inline constexpr int IDC_AUTO_FOCUSING = 1185;
inline constexpr int IDC_MANUAL_FOCUS = 1168;
inline constexpr int IDC_SET_AND_SNAPSHOT = 1169;
inline constexpr int IDC_STOP_AND_SNAPSHOT = 1171;
// Right column
inline constexpr int IDC_TEST_PATTERN = 1166;
inline constexpr int IDC_SETTING = 1167;
inline constexpr int IDC_LED_ON = 1123;
inline constexpr int IDC_LED_OFF = 1158;
inline constexpr int IDC_BATCH_SETTING = 1178;
inline constexpr int IDC_CHECK_MODEL = 1179;
inline constexpr int IDC_MOTION_DETECTION = 1122;
// Timer
inline constexpr int IDC_START_TIMER = 1163;
inline constexpr int IDC_INTERVAL_MIN = 1165;
inline constexpr int IDC_SWITCH_ON_SEC = 1172;
inline constexpr int IDC_CONTINUOUSLY_SHOT = 1187;
// Logging and the hidden quick shot button
inline constexpr int IDC_SAVE_LOG = 1196;
inline constexpr int IDC_QUICK_SHOT = 1015;

// Motion area dialog, template 140 "Set area for motion detection". Its ids
// repeat some of the main window's: they name controls of this window only.
inline constexpr int IDD_MOTION_AREA = 140;
inline constexpr int IDC_MOTION_UPPER = 1007;
inline constexpr int IDC_MOTION_BOTTOM = 1008;
inline constexpr int IDC_MOTION_LEFT = 1009;
inline constexpr int IDC_MOTION_RIGHT = 1010;
inline constexpr int IDC_MOTION_CENTRAL = 1011;
inline constexpr int IDC_MOTION_SURROUNDINGS = 1012;
inline constexpr int IDC_MOTION_ALL = 1013;
inline constexpr int IDC_MOTION_CLEAR = 1033;
inline constexpr int IDC_MOTION_REVERSE = 1034;
inline constexpr int IDC_MOTION_SENSITIVITY_SPIN = 1160;
inline constexpr int IDC_MOTION_SENSITIVITY = 1161;
inline constexpr int IDC_MOTION_INTERVAL = 1195;
inline constexpr int IDC_MOTION_DENSITY = 1196;
inline constexpr int IDC_MOTION_IMPORT = 1122;

// Burst test window, template 145 "Continuously Shot (Motion Detection) Test".
// Its ids reuse numbers of the main window's ids with other meanings.
inline constexpr int IDD_BURST_TEST = 145;
inline constexpr int IDC_BURST_PICTURE = 1194;
inline constexpr int IDC_BURST_FILES = 1186;
inline constexpr int IDC_BURST_LOG = 1021;
inline constexpr int IDC_BURST_PORT = 1013;
inline constexpr int IDC_BURST_OPEN_COMMS = 1007;
inline constexpr int IDC_BURST_RESOLUTION = 1124;
inline constexpr int IDC_BURST_QUALITY = 1125;
inline constexpr int IDC_BURST_SHOTS = 1193;
inline constexpr int IDC_BURST_INTERVAL = 1195;
inline constexpr int IDC_BURST_SHOOT = 1008;
inline constexpr int IDC_BURST_DATE = 1188;
inline constexpr int IDC_BURST_LAST_IMAGE = 1191;
inline constexpr int IDC_BURST_BEFORE = 1105;
inline constexpr int IDC_BURST_AFTER = 1106;
inline constexpr int IDC_BURST_REQUEST_COUNT = 1192;
inline constexpr int IDC_BURST_REQUEST_LIST = 1009;
inline constexpr int IDC_BURST_STATE = 1024;
inline constexpr int IDC_BURST_PORT_INFO = 1131;
inline constexpr int IDC_BURST_PROGRESS = 1197;  // the file retrieval's progress, under the list

// Quick shot window, template 144 "Dialog". Its ids too reuse main window numbers.
inline constexpr int IDD_QUICK_SHOT = 144;
inline constexpr int IDC_QUICK_PORT = 1013;
inline constexpr int IDC_QUICK_SHOOT = 1007;
inline constexpr int IDC_QUICK_OPEN_PORT = 1008;
inline constexpr int IDC_QUICK_EXIT = 1009;
inline constexpr int IDC_QUICK_STATUS = 1131;

// Settings dialog, template 142 "设置". Its ids too reuse main window numbers.
inline constexpr int IDD_CAMERA_SETTINGS = 142;
inline constexpr int IDC_SETTINGS_WHITE_LIGHT = 1007;
inline constexpr int IDC_SETTINGS_INFRARED = 1008;
inline constexpr int IDC_SETTINGS_AUTOFOCUS_SET = 1011;
inline constexpr int IDC_SETTINGS_AUTOFOCUS_CANCEL = 1012;
inline constexpr int IDC_SETTINGS_MODEL = 1013;
inline constexpr int IDC_SETTINGS_ALARM = 1014;
inline constexpr int IDC_SETTINGS_NO_ALARM = 1015;
inline constexpr int IDC_SETTINGS_MODEL_SET = 1016;
inline constexpr int IDC_SETTINGS_MODEL_CANCEL = 1017;
inline constexpr int IDC_SETTINGS_FUNCTION = 1018;
inline constexpr int IDC_SETTINGS_LIGHT_STATE = 1021;
inline constexpr int IDC_SETTINGS_FOCUS_STATE = 1022;
inline constexpr int IDC_SETTINGS_ALARM_STATE = 1023;
