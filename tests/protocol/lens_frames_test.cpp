// The camera's lens replies against byte vectors written out by hand (CRCs
// computed outside this code), and the focus value a line of camera text
// shows. The requests are checked where the window sends them and the
// simulated camera reads them.
#include <gtest/gtest.h>

#include "protocol/commands.h"
#include "protocol/lens.h"

namespace qzr {
namespace {

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(LensFrames, RepliesAsTheCameraSendsThem)
{
    EXPECT_EQ(BuildLensStatus(1, 0x32, 0xFA), (Bytes{0x90, 0xEB, 0x01, 0x73, 0x04, 0x00, 0x32, 0x32, 0xFA, 0xFA, 0x8A, 0xC5}));
    EXPECT_EQ(BuildLensDoneReply(1, CMD_AUTOFOCUS_DONE), (Bytes{0x90, 0xEB, 0x01, 0x68, 0x02, 0x00, 0x33, 0x33, 0xCF, 0xE5}));
    EXPECT_EQ(BuildLensDoneReply(1, CMD_FOCUS_RESET_DONE), (Bytes{0x90, 0xEB, 0x01, 0x75, 0x02, 0x00, 0x75, 0x75, 0x87, 0x4F}));
}

// The digits of the line as the camera text box shows it: the last byte is
// the line end, whatever it was, and the text ends at a zero byte.
TEST(LensFrames, FocusValueIsTheDigitsOfTheShownLine)
{
    const struct {
        Bytes line;
        std::optional<std::uint64_t> value;
    } cases[] = {
        {Text("987654\n"), 987654},
        {Text("987654"), 98765},
        {Text("value: 12,345 \r"), 12345},
        {Text("senser ok\n"), std::nullopt},
        {{'4', '2', 0x00, '7', '\n'}, 42},
        {Text(std::string(40, '9') + "\n"), UINT64_MAX},
        {Text("18446744073709551614\n"), UINT64_MAX - 1},
        {{}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FocusValueOfLine(c.line), c.value) << std::string(c.line.begin(), c.line.end());
}

}  // namespace
}  // namespace qzr
