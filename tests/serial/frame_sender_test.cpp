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

TEST(FrameSender, StampsTheCrcAndWritesOnce)
{
    test::PtyPair pty;
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath(), 115200));
    std::vector<Bytes> writes;
    port.SetWriteTrace([&](std::span<const std::uint8_t> bytes) { writes.emplace_back(bytes.begin(), bytes.end()); });
    CFrameSender sender(port);

    Bytes frame = BuildFrame(1, CMD_SNAPSHOT, std::vector<std::uint8_t>{0x05, 0x01});
    EXPECT_TRUE(sender.SendFrame(frame));
    const Bytes expected = {0x90, 0xEB, 0x01, 0x02, 0x02, 0x00, 0x05, 0x01, 0x9F, 0x03};
    EXPECT_EQ(frame, expected) << "the caller's buffer carries the CRC";
    EXPECT_EQ(writes, std::vector<Bytes>{expected});
    EXPECT_EQ(pty.Read(expected.size()), expected);
    EXPECT_EQ(Bytes(sender.LastFrame().begin(), sender.LastFrame().end()), expected);

    // A frame too long: stamped all the same, neither written nor remembered.
    Bytes big = BuildFrame(1, CMD_OSD_TEXT, Bytes(292, 0x41));
    EXPECT_FALSE(sender.SendFrame(big));
    EXPECT_TRUE(HasValidCrc(big));
    EXPECT_EQ(writes.size(), 1u);
    EXPECT_EQ(Bytes(sender.LastFrame().begin(), sender.LastFrame().end()), expected) << "the earlier frame stays";
    EXPECT_EQ(sender.LastCommand(), CMD_SNAPSHOT);
}

}  // namespace
}  // namespace qzr
