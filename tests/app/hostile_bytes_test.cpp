// The main window against a camera that sends anything: line noise, its own
// replies torn, stretched and lying about their lengths, pictures announced
// larger than any buffer, in every state of a transfer. The window must come
// through with its buffers within bounds and its text boxes readable, and still
// take a normal picture afterwards. In the sanitizer build this is the check
// that no byte off the line is written outside a buffer.
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

enum class State {
    WholeIdle,
    WholeAwaitingPicture,
    SubPacketIdle,
    AwaitSetPicture,   // 0x34
    AwaitPacketSize,   // 0x32
    AwaitStart,        // 0x30
    AwaitPacket,       // 0x31
    AwaitSimple,       // 0x40
    AwaitStretch,      // 0x48
};

struct StateCase {
    const char* name;
    State state;
    std::uint8_t expected;  // m_nExpectedReply once the state is reached
    std::uint32_t seed;
};

// Test names in CTest read as the state, not as bytes.
void PrintTo(const StateCase& c, std::ostream* out) { *out << c.name; }

int QueuedAt(int fd)
{
    int queued = 0;
    ::ioctl(fd, FIONREAD, &queued);
    return queued;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length)
{
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), from + length)));
}

// A small real picture, the one the console must still take after the abuse.
const Bytes& GoodJpeg()
{
    static const Bytes jpeg = sim::MakeTestPicture({1, 12, false, 1});
    return jpeg;
}

// The main window on an open port; the test is a camera that sends anything.
class HostileLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        console.Open();
        console.Connect(pty.SlavePath());
        ASSERT_TRUE(console.dialog.m_port.IsOpen());
        console.dialog.m_port.SetWriteTrace([this](std::span<const std::uint8_t> bytes) {
            lastWrite.assign(bytes.begin(), bytes.end());
        });
    }

    CSubPacketTransfer& Sub() { return console.dialog.Capture().SubPacket(); }

    // Bytes for the console in pieces its input queue holds; polls until the
    // console has read every piece. Whatever it sends meanwhile is read off and
    // dropped: this camera does not listen.
    void Feed(const Bytes& bytes)
    {
        const int fd = console.dialog.m_port.Handle();
        for (std::size_t at = 0; at < bytes.size(); at += kQueueSize) {
            const Bytes piece = Slice(bytes, at, kQueueSize);
            pty.Write(piece);
            ASSERT_GE(WaitQueued(fd, static_cast<int>(piece.size())), static_cast<int>(piece.size()));
            for (int tick = 0; tick == 0 || QueuedAt(fd) > 0; ++tick) {
                ASSERT_LT(tick, 8) << "the console stopped reading its port";
                console.Tick();
                pty.ReadAvailable(0);
            }
        }
    }

    std::size_t Pictures()
    {
        std::size_t count = 0;
        for (const auto& op : console.backend.DrawOps(console.dialog))
            count += op.kind == headless::DrawOp::Kind::Picture;
        return count;
    }

    // Whole Package, Snapshot and a valid reply give the picture: the console
    // still asks, still reads, and still draws.
    void TakeWholePicture(const std::string& after)
    {
        console.Check(IDC_WHOLE_PACKAGE, 1);
        console.Click(IDC_SNAPSHOT);
        ASSERT_TRUE(ParseSnapshotRequest(lastWrite)) << "no snapshot request " << after;
        const std::size_t before = Pictures();
        ASSERT_NO_FATAL_FAILURE(Feed(BuildSnapshotReply(1, GoodJpeg())));
        ASSERT_EQ(console.dialog.m_nExpectedReply, 0) << after;
        ASSERT_EQ(Pictures(), before + 1) << "no picture drawn " << after;
        const auto& drawn = console.backend.DrawOps(console.dialog).back();
        EXPECT_EQ(drawn.picture.width, 160);
        EXPECT_EQ(drawn.picture.height, 120);
        const std::uint8_t* image = console.dialog.m_pImage.get() + snapshot::kDataOffset;
        ASSERT_TRUE(std::equal(GoodJpeg().begin(), GoodJpeg().end(), image)) << after;
    }

    // Reaches `state` the way a camera that answers properly leads there.
    void Enter(State state)
    {
        TakeWholePicture("before entering the state");
        switch (state) {
        case State::WholeIdle:
            break;
        case State::WholeAwaitingPicture:
            console.Click(IDC_SNAPSHOT);
            break;
        case State::SubPacketIdle:
            console.Check(IDC_SUB_PACKET, 1);
            break;
        case State::AwaitSetPicture:
        case State::AwaitPacketSize:
        case State::AwaitStart:
        case State::AwaitPacket:
            console.Check(IDC_SUB_PACKET, 1);
            console.Check(IDC_SIMPLIFIED, 0);
            console.Click(IDC_SNAPSHOT);
            if (state == State::AwaitSetPicture)
                break;
            Feed(BuildSetPictureReply(1, 5, 1));
            if (state == State::AwaitPacketSize)
                break;
            // The camera decides the packet size; the largest leaves one byte
            // of the packet buffer spare.
            packetSize = OneOf(kPacketSizes);
            Feed(BuildSetPacketSizeReply(1, packetSize));
            if (state == State::AwaitStart)
                break;
            Feed(BuildSubPacketStartReply(1, {3u * packetSize + packetSize / 2, 4}));
            break;
        case State::AwaitSimple:
        case State::AwaitStretch:
            console.Check(IDC_SUB_PACKET, 1);
            console.Check(IDC_SIMPLIFIED, 1);
            console.Select(IDC_PACKET_SIZE, Below(2) ? "512" : "4096");
            console.Click(IDC_SNAPSHOT);
            if (state == State::AwaitStretch)
                Feed(BuildSimpleSubPacketReply(1, {3000, 3, 1024}));
            break;
        }
    }

    // The window's state after a chunk: fills inside their buffers, the next
    // copy of a transfer inside the picture buffer, the boxes valid UTF-8.
    void ExpectSane(int chunk)
    {
        const CCameraTestDlg& dlg = console.dialog;
        CSubPacketTransfer& sub = Sub();
        ASSERT_LE(dlg.m_nImageReceived, CCameraTestDlg::kImageBufferSize) << "chunk " << chunk;
        ASSERT_LT(sub.m_nChunkFill, CSubPacketTransfer::kChunkSize) << "chunk " << chunk;
        ASSERT_LT(sub.m_nReplyAsmFill, CSubPacketTransfer::kReplyAsmSize) << "chunk " << chunk;
        if (dlg.m_bSubPacketMode && dlg.m_nExpectedReply == CMD_READ_IMAGE) {
            ASSERT_LE(sub.m_nImageLen, CCameraTestDlg::kImageBufferSize) << "chunk " << chunk;
            ASSERT_LE(std::uint64_t{sub.m_nReadOffset} + sub.m_nReadLen, CCameraTestDlg::kImageBufferSize) << "chunk " << chunk;
        }
        if (dlg.m_bSubPacketMode && dlg.m_nExpectedReply == CMD_GET_PACKET) {
            const long long packetSize = sub.m_nPacketFrameLen - static_cast<long long>(subpacket::kPacketOverhead);
            ASSERT_LT(sub.m_nPacketFrameLen, static_cast<int>(CSubPacketTransfer::kChunkSize)) << "chunk " << chunk;
            ASSERT_GE(sub.m_nLastPacketLen, 0) << "chunk " << chunk;
            ASSERT_LE(sub.m_nLastPacketLen, packetSize) << "chunk " << chunk;
            ASSERT_LE(packetSize * (sub.m_nPacketCount - 1) + sub.m_nLastPacketLen, CCameraTestDlg::kImageBufferSize)
                << "chunk " << chunk;
        }
        for (int id : {IDC_STATUS, IDC_LOG, IDC_INFO, IDC_CAMERA_TEXT})
            ASSERT_TRUE(IsValidUtf8(console.Text(id))) << "box " << id << " after chunk " << chunk;
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
        for (auto& b : bytes)
            b = Byte();
        return bytes;
    }
    // 1 .. maxLength random bytes.
    Bytes Noise(std::size_t maxLength) { return Exactly(1 + Below(maxLength)); }

    // A reply the camera could have meant: a real header with lying fields,
    // sized for the transfer under way or not.
    Bytes AlmostValid()
    {
        const CSubPacketTransfer& sub = Sub();
        const std::uint8_t id = Below(8) ? 1 : Byte();
        static constexpr std::uint32_t kPictureSizes[] = {0, 1, 511, 512, 1023999, 1024000, 1024001, 0xFFFFFF};
        static constexpr std::uint32_t kLongLengths[] = {0, 1, 2000, 1024000, 1024001, 0x7FFFFFFF, 0xFFFFFFFF};
        static constexpr std::uint16_t kWords[] = {0, 1, 2, 4, 32, 512, 10229, 10230, 0x8000, 0xFFFF};
        const auto word = [&] { return Below(2) ? OneOf(kWords) : static_cast<std::uint16_t>(Below(0x10000)); };
        const auto picture = [&] { return Below(2) ? OneOf(kPictureSizes) : static_cast<std::uint32_t>(Below(0x1000000)); };

        Bytes reply;
        switch (Below(10)) {
        case 0: {  // whole-package reply whose length field is anything
            reply = BuildSnapshotReply(id, Noise(Below(4) ? 64 : 3000));
            const std::uint32_t length = picture();
            reply[4] = static_cast<std::uint8_t>(length & 0xFF);
            reply[5] = static_cast<std::uint8_t>((length >> 8) & 0xFF);
            reply[6] = static_cast<std::uint8_t>(length >> 16);
            break;
        }
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
            const std::size_t wanted = static_cast<std::size_t>(std::max(0, sub.m_nPacketFrameLen - 11));
            const std::size_t sizes[] = {wanted, wanted + 1, wanted - std::min<std::size_t>(wanted, 1),
                                         static_cast<std::size_t>(std::max(0, sub.m_nLastPacketLen)), Below(4000)};
            const std::uint16_t numbers[] = {static_cast<std::uint16_t>(sub.m_nPacketIndex), word()};
            reply = BuildPacketReply(id, OneOf(numbers), Exactly(OneOf(sizes)));
            break;
        }
        case 6:
            reply = BuildSimpleSubPacketReply(id, {picture(), word(), word()});
            break;
        case 7: {  // a stretch: the length asked for, or not
            const std::size_t sizes[] = {sub.m_nReadLen, sub.m_nReadLen + 1, Below(4000)};
            reply = BuildReadImageReply(id, Exactly(OneOf(sizes)));
            break;
        }
        case 8: {  // any command, a length field that lies
            static constexpr std::uint8_t kCommands[] = {CMD_SNAPSHOT,        CMD_SUBPACKET_START, CMD_GET_PACKET,
                                                         CMD_SET_PACKET_SIZE, CMD_SET_PICTURE,     CMD_SIMPLE_SUBPACKET,
                                                         CMD_IMAGE_READY,     CMD_READ_IMAGE,      CMD_QUERY_SERIAL,
                                                         CMD_MOTION_ALARM,    CMD_LENS_STATUS,     CMD_MODEL_REPLY,
                                                         CMD_ZOOM_RESET_DONE, CMD_AUTOFOCUS_DONE,  CMD_FOCUS_RESET_DONE};
            reply = BuildFrame(id, OneOf(kCommands), Noise(Below(4) ? 24 : 3000));
            const std::uint16_t length = word();
            reply[4] = static_cast<std::uint8_t>(length & 0xFF);
            reply[5] = static_cast<std::uint8_t>(length >> 8);
            if (Below(2))
                StampCrc(reply);
            break;
        }
        default:  // the test-shot trigger and camera text in the camera's code page
            reply = Below(2) ? Bytes{0x01, 0x05, 0x06} : Bytes{0xD6, 0xD0, 0xCE, 0xC4, 0xB2, 0xE2, 0xCA, 0xD4, 0x0A};
            break;
        }
        switch (Below(5)) {
        case 0:  // torn
            reply.resize(1 + Below(reply.size()));
            break;
        case 1: {  // followed by more
            const Bytes more = Noise(64);
            reply.insert(reply.end(), more.begin(), more.end());
            break;
        }
        default:
            break;
        }
        return reply;
    }

    Bytes HostileChunk()
    {
        switch (Below(4)) {
        case 0:
            return Noise(64);
        case 1:
            return Noise(kQueueSize);
        default:
            return AlmostValid();
        }
    }

    static constexpr std::uint16_t kPacketSizes[] = {512, 4096, CSubPacketTransfer::kChunkSize - 12};

    ScratchDirectory dir;
    PtyPair pty;
    Console console;
    Bytes lastWrite;
    std::uint16_t packetSize = 512;
    std::mt19937 random;
};

class HostileCamera : public HostileLine, public ::testing::WithParamInterface<StateCase> {};

TEST_P(HostileCamera, SurvivesAnyBytesAndStillTakesAPicture)
{
    const StateCase& c = GetParam();
    random.seed(c.seed);
    for (int chunk = 0; chunk < kChunksPerState; ++chunk) {
        if (chunk % kChunksBetweenRestarts == 0) {
            ASSERT_NO_FATAL_FAILURE(Enter(c.state)) << "chunk " << chunk;
            ASSERT_EQ(console.dialog.m_nExpectedReply, c.expected) << "entering " << c.name;
        }
        ASSERT_NO_FATAL_FAILURE(Feed(HostileChunk())) << "chunk " << chunk;
        ASSERT_NO_FATAL_FAILURE(ExpectSane(chunk));
    }
    TakeWholePicture(std::string("after the hostile bytes in state ") + c.name);
}

// A picture announced larger than the buffer fills it up to the last chunk that
// fits; what follows is dropped with the message, and the next Snapshot starts
// afresh.
TEST_F(HostileLine, WholePackagePictureLargerThanTheBufferStopsAtItsEnd)
{
    random.seed(201);
    TakeWholePicture("at the start");
    console.Click(IDC_SNAPSHOT);
    Bytes header = BuildSnapshotReply(1, Exactly(2000));
    header[4] = header[5] = header[6] = 0xFF;
    Feed(header);
    const std::size_t chunks = CCameraTestDlg::kImageBufferSize / kQueueSize + 10;
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
        ASSERT_NO_FATAL_FAILURE(Feed(Exactly(kQueueSize)));
        ASSERT_NO_FATAL_FAILURE(ExpectSane(static_cast<int>(chunk)));
    }
    EXPECT_GT(console.dialog.m_nImageReceived, CCameraTestDlg::kImageBufferSize - 2048);
    // The log box's text; the box itself shows it at the next Snapshot.
    EXPECT_NE(console.dialog.m_strLog.find("图像过大，缓冲区内存不足"), std::string::npos);
    EXPECT_EQ(console.dialog.m_nExpectedReply, CMD_SNAPSHOT) << "the picture never completes";
    TakeWholePicture("after the buffer was full");
}

const StateCase kStates[] = {
    {"WholeIdle", State::WholeIdle, 0, 101},
    {"WholeAwaitingPicture", State::WholeAwaitingPicture, CMD_SNAPSHOT, 102},
    {"SubPacketIdle", State::SubPacketIdle, 0, 103},
    {"AwaitSetPicture", State::AwaitSetPicture, CMD_SET_PICTURE, 104},
    {"AwaitPacketSize", State::AwaitPacketSize, CMD_SET_PACKET_SIZE, 105},
    {"AwaitStart", State::AwaitStart, CMD_SUBPACKET_START, 106},
    {"AwaitPacket", State::AwaitPacket, CMD_GET_PACKET, 107},
    {"AwaitSimple", State::AwaitSimple, CMD_SIMPLE_SUBPACKET, 108},
    {"AwaitStretch", State::AwaitStretch, CMD_READ_IMAGE, 109},
};

INSTANTIATE_TEST_SUITE_P(EveryTransferState, HostileCamera, ::testing::ValuesIn(kStates),
                         [](const ::testing::TestParamInfo<StateCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qzr::test
