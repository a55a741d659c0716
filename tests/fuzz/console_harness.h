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
//   2 Click   u8: a button of the window's table, by index
//   3 Choose  u8 control, u8 item: a combo choice, or a row of the burst window's list
//   4 Line    u8: even, the line hangs up; odd, it comes back
// A step cut off by the input's end is read with what is there.

// Frames among the Chunk steps of `input` (bytes starting 90 EB, at least a
// header and a check field long) get the length field their size gives and
// their CRC stamped, so that a mutated frame still reaches the branches
// behind those checks.
void FixFrames(std::uint8_t* input, std::size_t size);

// Runs `input` as the steps of `family` on a fresh console, then the recovery.
// Returns what broke, or nothing.
std::optional<std::string> RunConsole(Family family, std::span<const std::uint8_t> input);

}  // namespace qzr::fuzz
