// The CRC calculator's reading of typed text, the OSD frame and the camera's code page.
#include <gtest/gtest.h>

#include <string>

#include "protocol/crc_text.h"
#include "protocol/osd.h"
#include "protocol/text_codec.h"

namespace qzr {
namespace {

TEST(CrcTool, AnswersForTypedFrames)
{
    const struct {
        const char* input;
        std::optional<std::string> answer;
    } cases[] = {
        {"90 EB 01 51 00 00", "4a1f"},                          // serial-number query to camera 1
        {"90EB", "0"},                                          // header only: the CRC of nothing
        {"90 EB 01 B7 06 00 01 02 03 04 05 06", "99cc"},        // model query to camera 1
        {"9 0 e b 0 1 5 1 0 0 0 0 7", "4a1f"},                  // the unpaired last digit is dropped
        {"9,0,E,B,0,1,5,1,0,0,0,0", "4a1f"},
        {"90 EB 01 72 02 00 78 78", "a28f"},                    // zoom check, goes out as A2 8F
        {"90 EB 01 10", "21"},                                  // CRC 2100: no leading zero
        {"EB 90 01", std::nullopt},
        {"0x90 0xEB", std::nullopt},                            // read as 09 00 EB
        {"", std::nullopt},
        {"90", std::nullopt},
        {"90 中EB 01 51 00 00", "4a1f"},                        // a Chinese character adds no digit
        {"90 ＥＢ 01 51", std::nullopt},                        // full-width letters are not digits
    };
    for (const auto& c : cases)
        EXPECT_EQ(CrcToolAnswer(HexTextToBytes(c.input)), c.answer) << c.input;

    std::string seventyPairs = "90 EB";
    for (int i = 0; i < 68; ++i)
        seventyPairs += " 01";
    EXPECT_EQ(CrcToolAnswer(HexTextToBytes(seventyPairs)), "e65e") << "only the first 64 bytes count";
}

// OSD frames the main window's test does not send: no text, an X of -256 and a size above a byte.
TEST(OsdFrame, QuotedFrames)
{
    EXPECT_EQ(BuildOsdFrame(1, 10, 1, 16, {}), (Bytes{0x90, 0xEB, 0x01, 0x52, 0x05, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x10, 0xC1, 0xC2}));
    EXPECT_EQ(BuildOsdFrame(1, -256, 1, 300, {}), (Bytes{0x90, 0xEB, 0x01, 0x52, 0x05, 0x00, 0x00, 0xFF, 0x01, 0x00, 0x2C, 0xC1, 0xC2}));
}

TEST(TextCodec, Utf8ToTheCamerasCodePage)
{
    EXPECT_EQ(Utf8ToGbk("AB"), (Bytes{'A', 'B'}));
    EXPECT_EQ(Utf8ToGbk("中文"), (Bytes{0xD6, 0xD0, 0xCE, 0xC4}));
    EXPECT_EQ(Utf8ToGbk(""), Bytes{});
    EXPECT_FALSE(Utf8ToGbk("😀")) << "no such character in GBK";
    EXPECT_FALSE(Utf8ToGbk("\xFF")) << "not UTF-8";
}

}  // namespace
}  // namespace qzr
