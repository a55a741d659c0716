// The main window against a camera that sends anything: line noise, its own
// replies torn, stretched and lying about their lengths, in every state of a
// transfer. The window must keep its text boxes readable and still take a
// normal picture afterwards. In the sanitizer build this is the check that no
// byte off the line is written outside a buffer.
#include <sys/ioctl.h>

#include <random>

#include "protocol/commands.h"
#include "protocol/snapshot.h"
#include "protocol/subpacket.h"
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
    bool subPacket;        // the Sub Packet radio
    int simplified;        // Simplified set to this, -1 left as it is
    int replies;           // after Snapshot, this many proper replies; -1 no Snapshot
    std::uint8_t request;  // the command of the last request the camera got
    std::uint32_t seed;
};
void PrintTo(const StateCase& c, std::ostream* out) { *out << c.name; }  // CTest names read as the state

const StateCase kStates[] = {
    {"WholeIdle", false, -1, -1, CMD_SNAPSHOT, 101},
    {"WholeAwaitingPicture", false, -1, 0, CMD_SNAPSHOT, 102},
    {"SubPacketIdle", true, -1, -1, CMD_SNAPSHOT, 103},
    {"AwaitSetPicture", true, 0, 0, CMD_SET_PICTURE, 104},
    {"AwaitPacketSize", true, 0, 1, CMD_SET_PACKET_SIZE, 105},
    {"AwaitStart", true, 0, 2, CMD_SUBPACKET_START, 106},
    {"AwaitPacket", true, 0, 3, CMD_GET_PACKET, 107},
    {"AwaitSimple", true, 1, 0, CMD_SIMPLE_SUBPACKET, 108},
    {"AwaitStretch", true, 1, 1, CMD_READ_IMAGE, 109},
};

class HostileCamera : public ::testing::TestWithParam<StateCase>, public Rig {
protected:
    // Bytes for the console in pieces its input queue holds; polls until the
    // console has read every piece. What it sends meanwhile is dropped: this
    // camera does not listen.
    void Feed(const Bytes& bytes)
    {
        const int fd = console.dialog.Session().Port().Handle();
        for (std::size_t at = 0; at < bytes.size(); at += kQueueSize) {
            const Bytes piece = Slice(bytes, at, kQueueSize);
            camera.Write(piece);
            ASSERT_GE(WaitQueued(fd, static_cast<int>(piece.size())), static_cast<int>(piece.size()));
            for (int tick = 0, queued = 1; queued > 0; ++tick) {
                ASSERT_LT(tick, 8) << "the console stopped reading its port";
                console.Tick();
                camera.ReadAvailable(0);
                ::ioctl(fd, FIONREAD, &queued);
            }
        }
    }

    // Whole Package, Snapshot and a valid reply: the console still asks,
    // still reads every byte, and still draws the picture.
    void TakeWholePicture(const std::string& when)
    {
        static const Bytes jpeg = Jpeg(1);
        console.Check(IDC_WHOLE_PACKAGE, 1);
        console.Click(IDC_SNAPSHOT);
        ASSERT_TRUE(ParseSnapshotRequest(console.writes.back().bytes)) << "no snapshot request " << when;
        const std::size_t before = console.backend.Pictures().size();
        ASSERT_NO_FATAL_FAILURE(Feed(BuildSnapshotReply(1, jpeg)));
        ASSERT_EQ(console.backend.Pictures().size(), before + 1) << "no picture drawn " << when;
        EXPECT_EQ(console.backend.Pictures().back().size, (ui::Size{160, 120}));
        EXPECT_EQ(console.Text(IDC_LOG), "Image data length:" + std::to_string(jpeg.size()) + "--received length：" +
                                             std::to_string(jpeg.size() + 9) + "---OK")
            << when;
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
                packetSize = OneOf<std::uint16_t>({512, 4096, CSubPacketTransfer::kChunkSize - 12});
                Feed(BuildSetPacketSizeReply(1, packetSize));
            } else {
                Feed(BuildSubPacketStartReply(1, {3u * packetSize + packetSize / 2, 4}));
            }
        }
        const auto lastRequest = ParseFrameHeader(console.writes.back().bytes);
        ASSERT_TRUE(lastRequest && lastRequest->command == c.request) << "entering " << c.name;
    }

    std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); }
    template <typename T>
    T OneOf(std::initializer_list<T> values) { return values.begin()[Below(values.size())]; }
    Bytes Noise(std::size_t maxLength)
    {
        Bytes bytes(1 + Below(maxLength));
        std::generate(bytes.begin(), bytes.end(), [this] { return static_cast<std::uint8_t>(Below(256)); });
        return bytes;
    }
    // A number near a limit of some field or buffer, or any.
    std::uint32_t Edgy()
    {
        return Below(2) ? static_cast<std::uint32_t>(random())
                        : OneOf<std::uint32_t>({0, 1, 2, 4, 32, 511, 512, 10229, 10230, 0x8000, 0xFFFF, 1023999, 1024000,
                                                1024001, 0xFFFFFF, 0xFFFFFFFF});
    }

    // A reply the camera could have meant: a real one of any kind, sized for
    // the transfer under way or not, its length field or its id a lie at
    // times; torn, or followed by more.
    Bytes AlmostValid()
    {
        const auto word = [&] { return static_cast<std::uint16_t>(Edgy()); };
        const std::size_t sizes[] = {packetSize, packetSize + 1u, packetSize - 1u, Below(4000)};
        Bytes reply;
        switch (Below(10)) {
        case 0: reply = BuildSnapshotReply(1, Noise(Below(4) ? 64 : 3000)); break;
        case 1: reply = BuildImageReadyAnnouncement(1, Edgy() & 0xFFFFFF); break;
        case 2: reply = BuildSetPictureReply(1, 5, 1); break;
        case 3: reply = BuildSetPacketSizeReply(1, word()); break;
        case 4: reply = BuildSubPacketStartReply(1, {Edgy(), word()}); break;
        case 5: reply = BuildPacketReply(1, OneOf<std::uint16_t>({0, 1, word()}), Noise(sizes[Below(4)] + 1)); break;
        case 6: reply = BuildSimpleSubPacketReply(1, {Edgy() & 0xFFFFFF, word(), word()}); break;
        case 7: reply = BuildReadImageReply(1, Noise(sizes[Below(4)] + 1)); break;
        case 8: {  // any command the console reads, its payload anything
            const std::uint8_t command = OneOf<std::uint8_t>({CMD_SNAPSHOT, CMD_SUBPACKET_START, CMD_GET_PACKET,
                CMD_SET_PACKET_SIZE, CMD_SET_PICTURE, CMD_SIMPLE_SUBPACKET, CMD_IMAGE_READY, CMD_READ_IMAGE, CMD_QUERY_SERIAL,
                CMD_MOTION_ALARM, CMD_LENS_STATUS, CMD_MODEL_REPLY, CMD_ZOOM_RESET_DONE, CMD_AUTOFOCUS_DONE, CMD_FOCUS_RESET_DONE});
            reply = BuildFrame(1, command, Noise(Below(4) ? 24 : 3000));
            break;
        }
        default:  // the test-shot trigger, or camera text in the camera's code page
            return Below(2) ? Hex("01 05 06") : Hex("D6 D0 CE C4 B2 E2 CA D4 0A");
        }
        if (Below(3) == 0) {
            const std::uint32_t lie = Edgy();
            for (int i = 0; i < 3; ++i)
                reply[4 + i] = static_cast<std::uint8_t>(lie >> (8 * i));
            if (Below(2))
                StampCrc(reply);
        }
        if (Below(8) == 0)
            reply[2] = static_cast<std::uint8_t>(Below(256));
        if (const std::size_t how = Below(5); how == 0) {
            reply.resize(1 + Below(reply.size()));  // torn
        } else if (how == 1) {
            const Bytes more = Noise(64);
            reply.insert(reply.end(), more.begin(), more.end());
        }
        return reply;
    }

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
        }
        const std::size_t kind = Below(4);  // short noise, long noise, or a lying reply
        ASSERT_NO_FATAL_FAILURE(Feed(kind == 0 ? Noise(64) : kind == 1 ? Noise(kQueueSize) : AlmostValid()));
        for (int id : {IDC_STATUS, IDC_LOG, IDC_INFO, IDC_CAMERA_TEXT})
            ASSERT_TRUE(IsValidUtf8(console.Text(id))) << "box " << id;
    }
    TakeWholePicture(std::string("after the hostile bytes in state ") + c.name);
}

INSTANTIATE_TEST_SUITE_P(EveryTransferState, HostileCamera, ::testing::ValuesIn(kStates),
                         [](const ::testing::TestParamInfo<StateCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qzr::test
