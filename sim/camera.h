#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "protocol/motion.h"
#include "protocol/osd.h"

namespace qzr::sim {

class Server;

struct CameraOptions {
    std::uint8_t id = 1;
    std::uint32_t baud = 115200;
    bool pacing = true;     // output at the line rate, 11 bits a byte
    std::string linkPath;   // if set, a symlink there to the device (removed at Stop)
    std::string stateFile;  // if set, the saved id and rate live there
};

// A way the camera misbehaves on its replies (not on announcements, text or
// trigger bytes, which it sends on request of the test).
struct Fault {
    enum class Kind {
        Drop,         // the reply is not sent
        CorruptCrc,   // the last byte of the check field is inverted
        Split,        // sent in chunks of chunkSize bytes, pause between them
        Delay,        // sent after pause
        WrongLength,  // lengthChange bytes cut off (< 0) or zero bytes added (> 0)
    };
    Kind kind = Kind::Drop;
    std::size_t chunkSize = 0;
    std::chrono::milliseconds pause{0};
    int lengthChange = 0;
    std::optional<std::uint8_t> command;  // only replies with this command byte
    std::optional<std::uint16_t> packet;  // only the CMD_GET_PACKET reply of this packet

    static Fault DropReply() { return Of(Kind::Drop); }
    static Fault CorruptCrc() { return Of(Kind::CorruptCrc); }
    static Fault SplitReply(std::size_t chunkSize, std::chrono::milliseconds pause)
    {
        Fault f = Of(Kind::Split);
        f.chunkSize = chunkSize;
        f.pause = pause;
        return f;
    }
    static Fault DelayReply(std::chrono::milliseconds delay)
    {
        Fault f = Of(Kind::Delay);
        f.pause = delay;
        return f;
    }
    static Fault WrongLength(int lengthChange)
    {
        Fault f = Of(Kind::WrongLength);
        f.lengthChange = lengthChange;
        return f;
    }
    static Fault DropPacket(std::uint16_t number);

private:
    static Fault Of(Kind kind)
    {
        Fault f;
        f.kind = kind;
        return f;
    }
};

// What the camera says about itself (configuration): its serial number and
// production date, its model and function mode, and the switches Batch
// Setting last set. The console changes the model, the function mode and the
// switches; the rest is the camera's own.
struct CameraIdentity {
    std::uint32_t serialNumber = 0x0001E240;
    int year = 2018;  // 2000 to 2255 fit the reply's byte; beyond 2098 the console reports an error
    int month = 7;
    int day = 31;
    bool serialValid = true;  // false: the reply marks the serial number faulty
    std::uint8_t modelCode = 0x11;  // QZR-L1N
    std::uint8_t functionMode = 1;
    bool whiteLight = false;
    bool autoFocus = false;
    bool alarm = false;
};

// --- firmware upgrade (firmware_commands.cpp) ---

// The order in which the camera asks for the packets of a program.
enum class UpgradeOrder {
    InOrder,           // 0, 1, ... N - 1
    Reverse,           // N - 1 ... 0
    RandomWithRepeats  // every packet in a shuffled order, some asked for twice
};

struct UpgradeOptions {
    UpgradeOrder order = UpgradeOrder::InOrder;
    std::uint32_t seed = 1;  // of the random order
    // A packet not received within this time after its request is asked for
    // again; 0: one second and twice the line time of a full packet.
    std::chrono::milliseconds requestTimeout{0};
    std::string outPath;  // if set, the received program is written there once complete
    // Every log line also goes here, on the camera's serving thread.
    std::function<void(const std::string&)> log;
};

// A packet request the camera spoils, once. The camera notices the missing
// packet by its time-out and asks again.
struct UpgradeRequestFault {
    enum class Kind {
        Lost,         // not sent at all
        WrongCrc,     // the last byte of the check field inverted
        Split,        // its first 6 bytes, then the rest 300 ms later
        OtherCamera,  // addressed to the next camera id
        BeyondLast,   // asks for packet N, which no program has
    };
    Kind kind = Kind::Lost;
    std::optional<std::uint16_t> packet;  // only the request for this packet; any when unset
};

// What the camera made of an upgrade: the program received, every packet
// request it sent and its log.
struct UpgradeReport {
    bool running = false;
    bool complete = false;
    std::uint16_t packetCount = 0;
    std::uint16_t lastLength = 0;
    Bytes image;  // the program received, once complete
    std::vector<std::uint16_t> requested;  // packet indexes asked for, oldest first
    std::size_t packetsTaken = 0;          // intact packets that were asked for
    std::size_t badPackets = 0;            // damaged, misfit or not asked for
    std::vector<std::string> log;          // the last 256 lines
};

// Lens, light and alarm control (lens_commands.cpp): where the lens stands,
// and what the camera was sent that it keeps no other trace of. The light and
// autofocus switches show in CameraIdentity.
struct LensRecord {
    std::uint8_t zoom = 0;   // percent
    std::uint8_t focus = 0;  // percent
    std::optional<bool> led;             // the last LED command: on or off
    std::vector<bool> testPatterns;      // received, oldest first: true for the descending one
    int modelCancels = 0;                // the settings dialog's model "cancel"
    std::size_t focusPolls = 0;          // manual focusing's polls answered
};

// The focus value the camera answers a poll with, by the time since the lens
// began to turn (the first poll after a pause of two seconds or more): one
// peak of 987654 at kFocusPeakAt, a low level before and after it.
inline constexpr std::chrono::milliseconds kFocusPeakAt{3000};
std::uint64_t FocusValueAt(std::chrono::milliseconds sinceTurnStarted);

// Counters of the camera's line, for tests that wait for the camera.
struct CameraStats {
    std::size_t bytesReceived = 0;
    std::size_t bytesNotUnderstood = 0;  // sent at another rate or frame format
    std::size_t framesReceived = 0;
    std::size_t repliesQueued = 0;
    std::size_t bytesWritten = 0;
};

// A serial JPEG camera on the master side of a pseudo-terminal. The console
// opens DevicePath() like a serial port. The camera serves it from its own
// thread; every public function may be called from any thread. A subsystem's
// own functions (pictures, on-screen texts, ...) are defined in its command
// file beside its handlers.
class Camera {
public:
    explicit Camera(CameraOptions options = {});
    ~Camera();  // stops
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // Opens the pseudo-terminal and starts serving; false with a reason in
    // `error` when the device or the link cannot be made.
    bool Start(std::string* error = nullptr);
    void Stop();

    // The slave device the console opens, and the link to it if one was asked for.
    std::string DevicePath() const;
    std::string LinkPath() const;

    std::uint8_t CurrentId() const;
    std::uint32_t CurrentBaud() const;

    // Faults on the next `replies` replies that match (all following ones
    // when negative), until ClearFaults.
    void AddFault(const Fault& fault, int replies = 1);
    void ClearFaults();
    // A camera that stops answering still logs what it receives.
    void SetAnswering(bool answering);

    // Unsolicited output: CMD_IMAGE_READY for a fresh picture at the current
    // resolution and quality (read it with CMD_READ_IMAGE), a line of free
    // text, the trigger bytes 01 05 06.
    void AnnounceImage();
    void SendText(const std::string& text);
    void SendTrigger();
    void SendRaw(const Bytes& bytes);

    // Configuration: what the camera answers about itself, and the notice of a
    // production date just set, sent on demand.
    void SetIdentity(const CameraIdentity& identity);
    CameraIdentity Identity() const;
    void SendProductionDateNotice();

    // Lens, light and alarm control: the lens and the switches' record; the
    // lens put at a zoom and focus percent.
    LensRecord Lens() const;
    void SetLens(std::uint8_t zoom, std::uint8_t focus);

    // Every frame received, oldest first (the last 4096).
    std::vector<Bytes> ReceivedFrames() const;
    // The on-screen texts received (the last 64).
    std::vector<OsdFrame> OsdTexts() const;
    // The JPEG of the latest picture made (the whole-package reply or the
    // current sub-packet transfer); empty before the first.
    Bytes LastPicture() const;
    CameraStats Stats() const;

    // Motion detection: the last area taken (from a frame with its CRC),
    // nullopt before the first; the area frames refused for their check field.
    std::optional<MotionAreaRequest> MotionArea() const;
    std::size_t RefusedMotionAreas() const;
    // A motion alarm from this camera, or as camera `cameraId` when given.
    void RaiseMotionAlarm(std::optional<std::uint8_t> cameraId = std::nullopt);
    // Bursts and their stored pictures (burst_commands.cpp). A fault switch
    // acts once, on the next reply it fits: a file packet carrying a number
    // two above the one asked for, a list whose first name is a character
    // short, a list without names.
    enum class BurstFault { None, PacketNumber, ShortListEntry, EmptyList };
    void SetBurstFault(BurstFault fault);
    // Names of the stored pictures, oldest first, and one picture's JPEG
    // (empty for an unknown name).
    std::vector<std::string> StoredPictureNames() const;
    Bytes StoredPicture(const std::string& name) const;
    // Firmware upgrade: how the camera asks for packets, faults of its next
    // requests, and what it received.
    void SetUpgradeOptions(UpgradeOptions options);
    void AddUpgradeRequestFault(const UpgradeRequestFault& fault);
    UpgradeReport Upgrade() const;

    // Waits until `count` frames have been received and handled (their reply
    // queued), or the timeout passes; true when they have.
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    bool WaitUntil(const std::function<bool(const CameraStats&)>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    std::unique_ptr<Server> m_server;
};

}  // namespace qzr::sim
