#pragma once

// The main window and its child windows on the headless backend with the
// virtual clock, on a serial line held in memory whose camera side a fuzz
// input plays. The input is a sequence of steps (bytes arriving, poll ticks
// passing, an operator's click or choice, the line hanging up or coming
// back); after each step the harness checks what must hold whatever a camera
// sends, and at the end it does what an operator would to get a picture from
// a camera that behaves, which must then appear.
//
// Used by the libFuzzer programs (console_fuzz.cpp, one per family) and by the
// regression test that replays the committed corpora (console_replay_test.cpp).

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "serial/line_device.h"

namespace qzr::fuzz {

// A serial line in memory with one device on it, "fuzz-line". The console
// opens it exclusively like a real port; the harness writes the camera's
// bytes into its input queue (what does not fit is lost, as on an overrun)
// and takes what the console wrote. It can hang up (the camera side
// vanishes: whoever has the device open finds it gone) and come back, when
// it can be opened again.
class MemoryLine {
public:
    static constexpr const char* kName = "fuzz-line";
    static constexpr std::size_t kQueueSize = 8192;  // what a driver's input queue holds
    static constexpr std::size_t kMaxWritten = 1 << 20;

    MemoryLine();
    ~MemoryLine();
    MemoryLine(const MemoryLine&) = delete;
    MemoryLine& operator=(const MemoryLine&) = delete;

    // The camera's bytes; returns how many fitted.
    std::size_t Send(std::span<const std::uint8_t> bytes);
    std::size_t Queued() const { return m_input.size(); }
    std::size_t Space() const { return kQueueSize - m_input.size(); }
    // What the console wrote since the last call.
    Bytes TakeWritten();
    void HangUp();
    void ComeBack();
    bool Present() const { return m_present; }
    // Whether a port has the device open since it last came back.
    bool InUse() const { return m_inUse; }
    // Counts the hang-ups: a port opened at another count has lost its device.
    unsigned Generation() const { return m_generation; }

private:
    class Device;
    std::unique_ptr<ILineDevice> Open(const std::string& name);

    std::deque<std::uint8_t> m_input;
    Bytes m_written;
    unsigned m_generation = 0;  // a device opened before a hang-up stays gone
    bool m_present = true;
    bool m_inUse = false;
};

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
std::optional<Family> FamilyOfName(std::string_view name);

// --- the steps -------------------------------------------------------------------
// Every step is an operation byte (its value modulo kOpCount) and arguments of
// a fixed layout, so that a step sequence reads the same in every window.
enum class Op : std::uint8_t {
    Chunk,   // u16 length (little-endian, at most kMaxChunk), then the bytes the camera sends
    Wait,    // u8: 1 to 8 poll ticks, or a long wait (2 s, 10 s, 41 s, 61 s) for the high values
    Click,   // u8: a button of the window's table
    Choose,  // u8 control, u8 item: a combo choice or a list row
    Line,    // u8: even, the line hangs up; odd, it comes back
};
inline constexpr std::uint8_t kOpCount = 5;
inline constexpr std::size_t kMaxChunk = 8192;

// One step as read from an input.
struct Step {
    Op op = Op::Wait;
    std::uint8_t a = 0, b = 0;
    std::span<const std::uint8_t> bytes;  // Chunk: the camera's bytes
    std::size_t bytesAt = 0;              // Chunk: where they start in the input
};
// Reads steps from an input; a step cut off by the input's end is read with
// what is there.
class StepReader {
public:
    explicit StepReader(std::span<const std::uint8_t> input) : m_input(input) {}
    bool Done() const { return m_at >= m_input.size(); }
    Step Next();

private:
    std::uint8_t Byte() { return m_at < m_input.size() ? m_input[m_at++] : 0; }
    std::span<const std::uint8_t> m_input;
    std::size_t m_at = 0;
};

// Writing steps, for seeds and tests.
class StepWriter {
public:
    StepWriter& Chunk(std::span<const std::uint8_t> bytes);
    StepWriter& Wait(std::uint8_t ticks);
    StepWriter& Click(std::uint8_t button);
    StepWriter& Choose(std::uint8_t control, std::uint8_t item);
    StepWriter& Line(bool comesBack);
    const Bytes& Input() const { return m_input; }

private:
    Bytes m_input;
};

// Frames among the Chunk steps of `input` (bytes starting 90 EB, at least a
// header and a check field long) get the length field their size gives and
// their CRC stamped, so that a mutated frame still reaches the branches
// behind those checks.
void FixFrames(std::uint8_t* input, std::size_t size);

// --- the run ----------------------------------------------------------------------

// Runs `input` as the steps of `family` on a fresh console, then the recovery.
// Returns what broke, or nothing.
std::optional<std::string> RunConsole(Family family, std::span<const std::uint8_t> input);

// The buttons and choices of each window's table, by index (for seeds).
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
// window 0 a row of the file list.
inline constexpr std::uint8_t kResolution = 0, kQuality = 1, kPacketSize = 2;
inline constexpr std::uint8_t kFileRow = 0;
}  // namespace buttons

}  // namespace qzr::fuzz
