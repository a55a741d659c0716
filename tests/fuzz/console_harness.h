#pragma once

// The main window and its child windows on the headless backend with the
// virtual clock, on a serial line held in memory whose camera side a fuzz
// input plays as a sequence of steps. After each step the harness checks what
// must hold whatever a camera sends; at the end it does what an operator would
// to get a picture from a camera that behaves, which must then appear. Run by
// the libFuzzer programs (console_fuzz.cpp) and the corpus replay test.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/frame.h"

namespace qzr::fuzz {

// What the console is doing when an input's steps begin; each family is a
// fuzz program of its own with its own corpus.
enum class Family {
    Whole,       // whole-package snapshot awaited
    Numbered,    // numbered sub-packet transfer begun
    Simplified,  // simplified sub-packet transfer begun
    Idle,        // nothing awaited: camera text, the trigger, the unsolicited and short replies
    Upgrade,     // a firmware upgrade running: the camera's packet requests
    Focus,       // manual focusing: focus values
    Children,    // the burst and the quick shot windows
};
inline constexpr Family kFamilies[] = {Family::Whole,   Family::Numbered, Family::Simplified, Family::Idle,
                                       Family::Upgrade, Family::Focus,    Family::Children};
const char* FamilyName(Family family);

// A step is an operation byte (its value modulo 5) and arguments of a fixed
// layout, so that a step sequence reads the same in every window:
//   0 Chunk   u16 length (little-endian, at most 8192), then the camera's bytes
//   1 Wait    u8: 1 to 8 poll ticks, or a long wait (2 s, 10 s, 41 s, 61 s) from 224 on
//   2 Click   u8: a button of the window's table (buttons:: below)
//   3 Choose  u8 control, u8 item: a combo choice, or a row of the burst window's list
//   4 Line    u8: even, the line hangs up; odd, it comes back
// A step cut off by the input's end is read with what is there.
class StepWriter {
public:
    StepWriter& Chunk(std::span<const std::uint8_t> bytes);
    StepWriter& Wait(std::uint8_t ticks) { return Put({1, static_cast<std::uint8_t>(ticks - 1)}); }
    StepWriter& Click(std::uint8_t button) { return Put({2, button}); }
    StepWriter& Choose(std::uint8_t control, std::uint8_t item) { return Put({3, control, item}); }
    StepWriter& Line(bool comesBack) { return Put({4, comesBack}); }
    const Bytes& Input() const { return m_input; }

private:
    StepWriter& Put(std::initializer_list<std::uint8_t> bytes);
    Bytes m_input;
};

// Frames among the Chunk steps of `input` (bytes starting 90 EB, at least a
// header and a check field long) get the length field their size gives and
// their CRC stamped, so that a mutated frame still reaches the branches
// behind those checks.
void FixFrames(std::uint8_t* input, std::size_t size);

// Runs `input` as the steps of `family` on a fresh console, then the recovery.
// Returns what broke, or nothing.
std::optional<std::string> RunConsole(Family family, std::span<const std::uint8_t> input);

// The buttons and choices of each window's table, by index.
namespace buttons {
// Main window, every family.
inline constexpr std::uint8_t kSnapshot = 0, kContinuous = 1, kStop = 2, kWholePackage = 3, kSubPacket = 4,
                              kSimplified = 5, kTest = 6, kSetPacketSize = 7, kOpenComms = 8, kCloseComms = 9;
// Main window, from 10 on, the family's own buttons. Idle:
inline constexpr std::uint8_t kQuerySerial = 10, kQueryModel = 11, kCheckLens = 12, kCheckBaud = 13,
                              kSetAndSnapshot = 14;
// Upgrade.
inline constexpr std::uint8_t kUpload = 10, kCancelUpload = 11, kOpenFirmware = 12;
// Focus.
inline constexpr std::uint8_t kManualFocus = 10, kFocusSetAndSnapshot = 11, kStopAndSnapshot = 12;
// Children: the windows' buttons in the main window, then in the burst and the quick shot window.
inline constexpr std::uint8_t kBurstWindow = 10, kQuickShotWindow = 11;
inline constexpr std::uint8_t kBurstOpenComms = 0, kBurstShoot = 1, kBurstRequestList = 2, kBurstClose = 3;
inline constexpr std::uint8_t kQuickOpenPort = 0, kQuickShoot = 1, kQuickExit = 2;
// Choices: main window control 0 resolution, 1 quality, 2 packet size; burst
// window, the item is the row plus one.
inline constexpr std::uint8_t kResolution = 0, kQuality = 1, kPacketSize = 2;
inline constexpr std::uint8_t kFileRow = 0;
}  // namespace buttons

}  // namespace qzr::fuzz
