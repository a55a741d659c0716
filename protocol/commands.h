#pragma once

#include <cstdint>

namespace qzr {

// Command bytes of the camera link (offset 3 of every frame). The same byte can
// mean different things in different windows: 0x31, 0x40 and 0x42 are also used
// by the burst test window, and 0x40 by the quick shot window with its own payload.
inline constexpr std::uint8_t CMD_QUERY_ID = 0x01;
inline constexpr std::uint8_t CMD_SNAPSHOT = 0x02;
inline constexpr std::uint8_t CMD_LED = 0x07;
inline constexpr std::uint8_t CMD_SET_BAUD = 0x0A;
inline constexpr std::uint8_t CMD_SET_BAUD_SAVE = 0x0B;
inline constexpr std::uint8_t CMD_SET_ID = 0x0D;
inline constexpr std::uint8_t CMD_SUBPACKET_START = 0x30;
inline constexpr std::uint8_t CMD_GET_PACKET = 0x31;
inline constexpr std::uint8_t CMD_SET_PACKET_SIZE = 0x32;
inline constexpr std::uint8_t CMD_SET_PICTURE = 0x34;
inline constexpr std::uint8_t CMD_SIMPLE_SUBPACKET = 0x40;
inline constexpr std::uint8_t CMD_QUICK_SNAPSHOT = 0x40;
inline constexpr std::uint8_t CMD_BURST_SHOOT = 0x41;
inline constexpr std::uint8_t CMD_IMAGE_READY = 0x42;
inline constexpr std::uint8_t CMD_LIST_FILES = 0x43;
inline constexpr std::uint8_t CMD_FILE_LIST = 0x44;
inline constexpr std::uint8_t CMD_GET_FILE = 0x45;
inline constexpr std::uint8_t CMD_READ_IMAGE = 0x48;
inline constexpr std::uint8_t CMD_QUERY_SERIAL = 0x51;
inline constexpr std::uint8_t CMD_OSD_TEXT = 0x52;
inline constexpr std::uint8_t CMD_MOTION_ALARM = 0x54;
inline constexpr std::uint8_t CMD_AUTOFOCUS_DONE = 0x68;
inline constexpr std::uint8_t CMD_ZOOM_RESET = 0x70;
inline constexpr std::uint8_t CMD_ZOOM_RESET_DONE = 0x71;
inline constexpr std::uint8_t CMD_ZOOM = 0x72;
inline constexpr std::uint8_t CMD_LENS_STATUS = 0x73;
inline constexpr std::uint8_t CMD_FOCUS_RESET = 0x74;
inline constexpr std::uint8_t CMD_FOCUS_RESET_DONE = 0x75;
inline constexpr std::uint8_t CMD_FOCUS = 0x76;
inline constexpr std::uint8_t CMD_SET_MOTION_AREA = 0x81;
inline constexpr std::uint8_t CMD_UPGRADE_START = 0x88;
inline constexpr std::uint8_t CMD_UPGRADE_PACKET_REQUEST = 0x90;
inline constexpr std::uint8_t CMD_UPGRADE_PACKET = 0x91;
inline constexpr std::uint8_t CMD_UPGRADE_DONE = 0x92;
inline constexpr std::uint8_t CMD_QUERY_MODEL = 0xB7;
inline constexpr std::uint8_t CMD_MODEL_REPLY = 0xB8;
inline constexpr std::uint8_t CMD_AUTOFOCUS_OFF = 0xB9;
inline constexpr std::uint8_t CMD_INFRARED = 0xBA;
inline constexpr std::uint8_t CMD_TEST_PATTERN = 0xDD;
inline constexpr std::uint8_t CMD_SET_MODEL = 0xE3;
inline constexpr std::uint8_t CMD_SET_FUNCTION = 0xE4;
inline constexpr std::uint8_t CMD_BATCH_SETTING = 0xE8;
inline constexpr std::uint8_t CMD_AUTOFOCUS_ON = 0xE9;
inline constexpr std::uint8_t CMD_WHITE_LIGHT = 0xEA;
inline constexpr std::uint8_t CMD_FOCUS_VALUE_REQUEST = 0xEF;
inline constexpr std::uint8_t CMD_PRODUCTION_DATE_SET = 0xF1;

}  // namespace qzr
