// The main window against a camera that sends anything: line noise, its own
// replies torn, stretched and lying about their lengths, in every state of a
// transfer. The window must keep its buffers within bounds and its text boxes
// readable, and still take a normal picture afterwards. In the sanitizer build
// this is the check that no byte off the line is written outside a buffer.
#include <sys/ioctl.h>

#include <random>

#include "protocol/commands.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
#include "sim/picture.h"
#include "tests/app/console.h"
#include "tests/support/utf8.h"

namespace qzr::test {
namespace {

constexpr std::size_t kQueueSize = 4095;  // what the pseudo-terminal's input queue holds at once
constexpr int kChunksPerState = 600;
constexpr int kChunksBetweenRestarts = 60;  // the state is entered afresh this often

// A transfer state, reached from a finished whole-package picture.
struct StateCase {
    const char* name;
    bool subPacket;         // the Sub Packet radio
    int simplified;         // Simplified set to this, -1 left as it is
    int replies;            // after Snapshot, this many proper replies; -1 no Snapshot
    std::uint8_t expected;  // m_nExpectedReply once there
    std::uint32_t seed;
};
void PrintTo(const StateCase& c, std::ostream* out) { *out << c.name; }  // CTest names read as the state

const StateCase kStates[] = {
    {"WholeIdle", false, -1, -1, 0, 101},
    {"WholeAwaitingPicture", false, -1, 0, CMD_SNAPSHOT, 102},
    {"SubPacketIdle", true, -1, -1, 0, 103},
    {"AwaitSetPicture", true, 0, 0, CMD_SET_PICTURE, 104},
    {"AwaitPacketSize", true, 0, 1, CMD_SET_PACKET_SIZE, 105},
    {"AwaitStart", true, 0, 2, CMD_SUBPACKET_START, 106},
    {"AwaitPacket", true, 0, 3, CMD_GET_PACKET, 107},
    {"AwaitSimple", true, 1, 0, CMD_SIMPLE_SUBPACKET, 108},
    {"AwaitStretch", true, 1, 1, CMD_READ_IMAGE, 109},
};

// A small real picture, the one the console must still take after the abuse.
const Bytes& GoodJpeg()
{
    static const Bytes jpeg = sim::MakeTestPicture({1, 12, false, 1});
    return jpeg;
}

class HostileCamera : public ::testing::TestWithParam<StateCase> {
protected:
    void SetUp() override
    {
        console.Open();
        console.Connect(pty.SlavePath());
        ASSERT_TRUE(console.dialog.Session().Port().IsOpen());
        console.dialog.Session().Port().SetWriteTrace([this](std::span<const std::uint8_t> bytes) { lastWrite.assign(bytes.begin(), bytes.end()); });
    }

    // Bytes for the console in pieces its input queue holds; polls until the
    // console has read every piece. What it sends meanwhile is dropped: this
    // camera does not listen.
    void Feed(const Bytes& bytes)
    {
        const int fd = console.dialog.Session().Port().Handle();
        for (std::size_t at = 0; at < bytes.size(); at += kQueueSize) {
            const Bytes piece(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + kQueueSize)));
            pty.Write(piece);
            ASSERT_GE(WaitQueued(fd, static_cast<int>(piece.size())), static_cast<int>(piece.size()));
            for (int tick = 0, queued = 1; queued > 0; ++tick) {
                ASSERT_LT(tick, 8) << "the console stopped reading its port";
                console.Tick();
                pty.ReadAvailable(0);
                ::ioctl(fd, FIONREAD, &queued);
            }
        }
    }

    // Whole Package, Snapshot and a valid reply: the console still asks,
    // still reads, and still draws the picture.
    void TakeWholePicture(const std::string& when)
    {
        console.Check(IDC_WHOLE_PACKAGE, 1);
        console.Click(IDC_SNAPSHOT);
        ASSERT_TRUE(ParseSnapshotRequest(lastWrite)) << "no snapshot request " << when;
        const std::size_t before = console.backend.Pictures().size();
        ASSERT_NO_FATAL_FAILURE(Feed(BuildSnapshotReply(1, GoodJpeg())));
        ASSERT_EQ(console.dialog.Session().m_nExpectedReply, 0) << when;
        ASSERT_EQ(console.backend.Pictures().size(), before + 1) << "no picture drawn " << when;
        EXPECT_EQ(console.backend.Pictures().back().size, (ui::Size{160, 120}));
        const std::uint8_t* image = console.dialog.Session().Picture().View(snapshot::kDataOffset, CPictureBuffer::kSize).data();
        ASSERT_TRUE(std::equal(GoodJpeg().begin(), GoodJpeg().end(), image)) << when;
    }

    // Reaches the state the way a camera that answers properly leads there.
    void Enter(const StateCase& c)
    {
        TakeWholePicture("before entering the state");
        if (c.subPacket)
            console.Check(IDC_SUB_PACKET, 1);
        if (c.simplified >= 0)
            console.Check(IDC_SIMPLIFIED, c.simplified);
        if (c.simplified == 1)
            console.Select(IDC_PACKET_SIZE, Below(2) ? "512" : "4096");
        if (c.replies >= 0)
            console.Click(IDC_SNAPSHOT);
        for (int i = 0; i < c.replies; ++i) {
            if (c.simplified == 1) {
                Feed(BuildSimpleSubPacketReply(1, {3000, 3, 1024}));
            } else if (i == 0) {
                Feed(BuildSetPictureReply(1, 5, 1));
            } else if (i == 1) {
                // The camera decides the packet size; the largest leaves one
                // byte of the packet buffer spare.
                packetSize = OneOf(kPacketSizes);
                Feed(BuildSetPacketSizeReply(1, packetSize));
            } else {
                Feed(BuildSubPacketStartReply(1, {3u * packetSize + packetSize / 2, 4}));
            }
        }
    }

    // After each chunk: fills inside their buffers, the next copy of a
    // transfer inside the picture buffer, the boxes valid UTF-8.
    void ExpectSane()
    {
        for (int id : {IDC_STATUS, IDC_LOG, IDC_INFO, IDC_CAMERA_TEXT})
            ASSERT_TRUE(IsValidUtf8(console.Text(id))) << "box " << id;
    }

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(256)); }
    template <typename T, std::size_t N>
    T OneOf(const T (&values)[N])
    {
        return values[Below(N)];
    }
    Bytes Exactly(std::size_t length)
    {
        Bytes bytes(length);
        std::generate(bytes.begin(), bytes.end(), [this] { return Byte(); });
        return bytes;
    }
    Bytes Noise(std::size_t maxLength) { return Exactly(1 + Below(maxLength)); }

    // A reply the camera could have meant: a real header with lying fields,
    // sized for the transfer under way or not; torn, or followed by more.
    Bytes AlmostValid()
    {
        const std::uint8_t id = Below(8) ? 1 : Byte();
        static constexpr std::uint32_t kPictureSizes[] = {0, 1, 511, 512, 1023999, 1024000, 1024001, 0xFFFFFF};
        static constexpr std::uint32_t kLongLengths[] = {0, 1, 2000, 1024000, 1024001, 0x7FFFFFFF, 0xFFFFFFFF};
        static constexpr std::uint16_t kWords[] = {0, 1, 2, 4, 32, 512, 10229, 10230, 0x8000, 0xFFFF};
        static constexpr std::uint8_t kCommands[] = {CMD_SNAPSHOT, CMD_SUBPACKET_START, CMD_GET_PACKET, CMD_SET_PACKET_SIZE,
            CMD_SET_PICTURE, CMD_SIMPLE_SUBPACKET, CMD_IMAGE_READY, CMD_READ_IMAGE, CMD_QUERY_SERIAL, CMD_MOTION_ALARM,
            CMD_LENS_STATUS, CMD_MODEL_REPLY, CMD_ZOOM_RESET_DONE, CMD_AUTOFOCUS_DONE, CMD_FOCUS_RESET_DONE};
        const auto word = [&] { return Below(2) ? OneOf(kWords) : static_cast<std::uint16_t>(Below(0x10000)); };
        const auto picture = [&] { return Below(2) ? OneOf(kPictureSizes) : static_cast<std::uint32_t>(Below(0x1000000)); };
        const auto lie = [](Bytes& frame, std::uint32_t length, int bytes) {
            for (int i = 0; i < bytes; ++i)
                frame[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        };

        Bytes reply;
        switch (Below(10)) {
        case 0:  // whole-package reply whose length field is anything
            reply = BuildSnapshotReply(id, Noise(Below(4) ? 64 : 3000));
            lie(reply, picture(), 3);
            break;
        case 1:
            reply = BuildImageReadyAnnouncement(id, picture());
            break;
        case 2:
            reply = BuildSetPictureReply(id, Byte(), Byte());
            break;
        case 3:
            reply = BuildSetPacketSizeReply(id, word());
            break;
        case 4: {
            const std::uint32_t length = Below(2) ? OneOf(kLongLengths) : static_cast<std::uint32_t>(random());
            reply = BuildSubPacketStartReply(id, {length, word()});
            break;
        }
        case 5: {  // a packet: the size and number the console waits for, or others
            const std::size_t wanted = packetSize;
            const std::size_t sizes[] = {wanted, wanted + 1, wanted - 1, Below(wanted), Below(4000)};
            const std::uint16_t numbers[] = {0, 1, word()};
            reply = BuildPacketReply(id, OneOf(numbers), Exactly(OneOf(sizes)));
            break;
        }
        case 6:
            reply = BuildSimpleSubPacketReply(id, {picture(), word(), word()});
            break;
        case 7: {  // a stretch: the length asked for, or not
            const std::size_t sizes[] = {packetSize, packetSize + 1u, Below(4000)};
            reply = BuildReadImageReply(id, Exactly(OneOf(sizes)));
            break;
        }
        case 8:  // any command, a length field that lies
            reply = BuildFrame(id, OneOf(kCommands), Noise(Below(4) ? 24 : 3000));
            lie(reply, word(), 2);
            if (Below(2))
                StampCrc(reply);
            break;
        default:  // the test-shot trigger, or camera text in the camera's code page
            reply = Below(2) ? Bytes{0x01, 0x05, 0x06} : Bytes{0xD6, 0xD0, 0xCE, 0xC4, 0xB2, 0xE2, 0xCA, 0xD4, 0x0A};
            break;
        }
        if (const std::size_t how = Below(5); how == 0) {
            reply.resize(1 + Below(reply.size()));  // torn
        } else if (how == 1) {
            const Bytes more = Noise(64);
            reply.insert(reply.end(), more.begin(), more.end());
        }
        return reply;
    }

    Bytes HostileChunk()
    {
        const std::size_t kind = Below(4);
        return kind == 0 ? Noise(64) : kind == 1 ? Noise(kQueueSize) : AlmostValid();
    }

    static constexpr std::uint16_t kPacketSizes[] = {512, 4096, CSubPacketTransfer::kChunkSize - 12};

    ScratchDirectory dir;
    PtyPair pty;
    Console console;
    Bytes lastWrite;
    std::uint16_t packetSize = 512;
    std::mt19937 random;
};

TEST_P(HostileCamera, SurvivesAnyBytesAndStillTakesAPicture)
{
    const StateCase& c = GetParam();
    random.seed(c.seed);
    for (int chunk = 0; chunk < kChunksPerState; ++chunk) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        if (chunk % kChunksBetweenRestarts == 0) {
            ASSERT_NO_FATAL_FAILURE(Enter(c));
            ASSERT_EQ(console.dialog.Session().m_nExpectedReply, c.expected) << "entering " << c.name;
        }
        ASSERT_NO_FATAL_FAILURE(Feed(HostileChunk()));
        ASSERT_NO_FATAL_FAILURE(ExpectSane());
    }
    TakeWholePicture(std::string("after the hostile bytes in state ") + c.name);
}

INSTANTIATE_TEST_SUITE_P(EveryTransferState, HostileCamera, ::testing::ValuesIn(kStates),
                         [](const ::testing::TestParamInfo<StateCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qzr::test
