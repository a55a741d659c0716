// The lens, light and alarm frames: the camera's replies as the console reads
// them and the requests as the simulated camera reads them, against byte
// vectors written out by hand (CRCs computed outside this code); the focus
// value a line of camera text shows.
#include <gtest/gtest.h>

#include "protocol/commands.h"
#include "protocol/lens.h"
#include "protocol/model.h"

namespace qzr {
namespace {

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(LensFrames, RepliesCarryTheirCrc)
{
    EXPECT_EQ(BuildLensStatus(1, 0x32, 0xFA), (Bytes{0x90, 0xEB, 0x01, 0x73, 0x04, 0x00, 0x32, 0x32, 0xFA, 0xFA, 0x8A, 0xC5}));
    EXPECT_EQ(BuildLensDoneReply(1, CMD_AUTOFOCUS_DONE), (Bytes{0x90, 0xEB, 0x01, 0x68, 0x02, 0x00, 0x33, 0x33, 0xCF, 0xE5}));
    EXPECT_EQ(BuildLensDoneReply(1, CMD_ZOOM_RESET_DONE), (Bytes{0x90, 0xEB, 0x01, 0x71, 0x02, 0x00, 0x71, 0x71, 0xC1, 0x4A}));
    EXPECT_EQ(BuildLensDoneReply(1, CMD_FOCUS_RESET_DONE), (Bytes{0x90, 0xEB, 0x01, 0x75, 0x02, 0x00, 0x75, 0x75, 0x87, 0x4F}));
    EXPECT_EQ(BuildFocusValueLine(987654), Text("987654\n"));
}

// What one side builds the other reads back; a frame of another shape is refused.
TEST(LensFrames, DecodersReadBackWhatWasBuilt)
{
    using Kind = LensRequest::Kind;
    const auto kind = [](const Bytes& frame) { return ParseLensRequest(frame).value_or(LensRequest{Kind::Zoom, 0xEE}); };
    Bytes zoomCopiesDiffer = BuildZoomRequest(1, 50), status = BuildLensStatus(3, 0x32, 0x10);
    zoomCopiesDiffer[7] = 51;
    status[7] = 0x31;  // the camera's copies of the zoom disagree
    const Bytes statusAndMore = [&] { Bytes b = status; b.push_back(0); return b; }();
    const struct {
        const char* name;
        bool ok;
    } cases[] = {
        {"zoom", kind(BuildZoomRequest(1, 0xFF)).kind == Kind::Zoom && kind(BuildZoomRequest(1, 0xFF)).zoom == 0xFF},
        {"check lens", kind(BuildCheckLensRequest(1)).kind == Kind::CheckLens},
        {"focus", kind(BuildFocusRequest(1)).kind == Kind::Focus},
        {"zoom reset", kind(BuildZoomResetRequest(1)).kind == Kind::ZoomReset},
        {"focus reset", kind(BuildFocusResetRequest(1)).kind == Kind::FocusReset},
        {"zoom, copies differ", !ParseLensRequest(zoomCopiesDiffer)},
        {"focus with another value", !ParseLensRequest(BuildFrame(1, CMD_FOCUS, Bytes{0x75, 0x75}))},
        {"lens status", [&] {
             const auto s = ParseLensStatus(status);
             return s && s->zoom == 0x32 && s->zoomAgain == 0x31 && s->focus == 0x10 && s->focusAgain == 0x10;
         }()},
        {"lens status of 13 bytes", !ParseLensStatus(statusAndMore)},
        {"lens status of another command", !ParseLensStatus(BuildModelReply(1, 1, 1)) &&
                                               !ParseLensStatus(BuildFrame(1, 0x54, Bytes(4, 0)))},
        {"poll", IsFocusValueRequest(BuildFocusValueRequest(7)) && !IsFocusValueRequest(BuildFrame(7, 0xEF, Bytes(5, 0x11)))},
        {"LED", ParseLedRequest(BuildLedRequest(1, true)) == true && ParseLedRequest(BuildLedRequest(1, false)) == false},
        {"LED, second byte not 00", !ParseLedRequest(BuildFrame(1, CMD_LED, Bytes{0x33, 0x33}))},
        {"light", ParseLightRequest(BuildLightRequest(1, true)) == true && ParseLightRequest(BuildLightRequest(1, false)) == false},
        {"infrared repeating BA", !ParseLightRequest(BuildFrame(1, CMD_INFRARED, Bytes{0xBA, 0xBA, 0xCC, 0xCC}))},
        {"autofocus", ParseAutoFocusRequest(BuildAutoFocusRequest(1, true)) == true &&
                          ParseAutoFocusRequest(BuildAutoFocusRequest(1, false)) == false},
        {"autofocus off that says on", !ParseAutoFocusRequest(BuildFrame(1, CMD_AUTOFOCUS_OFF, Bytes{0xB9, 0xB9, 0x33, 0x33}))},
        {"test patterns", ParseTestPattern(BuildTestPattern(1, false)) == false && ParseTestPattern(BuildTestPattern(1, true)) == true},
        {"another pattern", !ParseTestPattern(BuildFrame(1, CMD_TEST_PATTERN, Bytes{1, 2, 3, 5}))},
        {"model cancel", IsModelCancelRequest(BuildModelCancelRequest(1))},
        {"a model is no cancel", !IsModelCancelRequest(BuildFrame(1, CMD_SET_MODEL, Bytes{0xE3, 0xE3, 0x22, 0x22}))},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(c.ok) << c.name;
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
        {Text("\n"), std::nullopt},
        {{'4', '2', 0x00, '7', '\n'}, 42},
        {Text(std::string(40, '9') + "\n"), UINT64_MAX},
        {Text("18446744073709551615\n"), UINT64_MAX},
        {Text("18446744073709551614\n"), UINT64_MAX - 1},
        {{}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FocusValueOfLine(c.line), c.value) << std::string(c.line.begin(), c.line.end());
}

}  // namespace
}  // namespace qzr
