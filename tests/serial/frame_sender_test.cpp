// Frames leave with their CRC stamped, in one write; oversized frames are never
// written. Resends, one write per byte, and the log file are checked in the
// window tests, where the watchdog and the log boxes use them.
#include <gtest/gtest.h>

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "serial/frame_sender.h"
#include "tests/support/pty.h"

namespace qzr {
namespace {

struct Recorder {
    std::vector<std::vector<std::uint8_t>> writes;
    void Attach(CSerialPort& port)
    {
        port.SetWriteTrace([this](std::span<const std::uint8_t> bytes) { writes.emplace_back(bytes.begin(), bytes.end()); });
    }
};

TEST(FrameSender, StampsTheCrcAndWritesOnce)
{
    test::PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), 115200));
    Recorder recorder;
    recorder.Attach(port);
    CFrameSender sender(port);

    Bytes frame = BuildFrame(1, CMD_SNAPSHOT, std::vector<std::uint8_t>{0x05, 0x01});
    EXPECT_TRUE(sender.SendFrame(frame));
    const Bytes expected = {0x90, 0xEB, 0x01, 0x02, 0x02, 0x00, 0x05, 0x01, 0x9F, 0x03};
    EXPECT_EQ(frame, expected) << "the caller's buffer carries the CRC";
    ASSERT_EQ(recorder.writes.size(), 1u);
    EXPECT_EQ(recorder.writes[0], expected);
    EXPECT_EQ(pty.Read(expected.size()), expected);
    EXPECT_EQ(Bytes(sender.LastFrame().begin(), sender.LastFrame().end()), expected);
}

TEST(FrameSender, OversizedFramesAreStampedButNeitherWrittenNorRemembered)
{
    CSerialPort port;  // closed: nothing could go out anyway, the trace still sees tries
    Recorder recorder;
    recorder.Attach(port);
    CFrameSender sender(port);
    Bytes small = BuildFrame(1, CMD_GET_PACKET, std::vector<std::uint8_t>{0x02, 0x00});
    sender.SendFrame(small);
    recorder.writes.clear();

    Bytes big = BuildFrame(1, CMD_OSD_TEXT, Bytes(292, 0x41));
    ASSERT_EQ(big.size(), 300u);
    EXPECT_FALSE(sender.SendFrame(big));
    EXPECT_TRUE(HasValidCrc(big)) << "stamped all the same";
    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_EQ(Bytes(sender.LastFrame().begin(), sender.LastFrame().end()), small) << "the earlier frame stays";
    EXPECT_EQ(sender.LastCommand(), CMD_GET_PACKET);
}

}  // namespace
}  // namespace qzr
