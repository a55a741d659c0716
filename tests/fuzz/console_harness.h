#pragma once

// The main window and its child windows, headless on a line in memory whose camera side a
// fuzz input plays; checked after each step, and at the end a good camera's picture must come.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "protocol/frame.h"

namespace qzr::fuzz {

// What the console is doing when an input's steps begin: a fuzz program and corpus each.
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
//   2 Click   u8: a button of the window's table, by index
//   3 Choose  u8 control, u8 item: a combo choice, or a row of the burst window's list
//   4 Line    u8: even, the line hangs up; odd, it comes back
// A step cut off by the input's end is read with what is there.

// Frames among the Chunk steps of `input` get the length field their size gives and their
// CRC stamped, so that a mutated frame still reaches the branches behind those checks.
void FixFrames(std::uint8_t* input, std::size_t size);

// Runs `input` as the steps of `family` on a fresh console, then the recovery; what broke, if anything.
std::optional<std::string> RunConsole(Family family, std::span<const std::uint8_t> input);

}  // namespace qzr::fuzz
