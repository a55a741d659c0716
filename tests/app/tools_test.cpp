// The CRC calculator and the on-screen text of the main window.
#include <string>

#include "protocol/osd.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

TEST(CrcCalculator, ShowsTheCheckBytesOrRefusesTheHeader)
{
    Console console;
    console.Open();
    console.SetText(IDC_CRC_INPUT, "90 EB 01 51 00 00");
    console.Click(IDC_CRC_CHECK);
    EXPECT_EQ(console.Text(IDC_CRC_OUTPUT), "4a1f");
    EXPECT_TRUE(console.Messages().empty());

    // A wrong header is refused and the earlier answer stays.
    for (const char* input : {"EB 90 01", ""}) {
        console.SetText(IDC_CRC_INPUT, input);
        console.Click(IDC_CRC_CHECK);
        EXPECT_EQ(console.Messages().back(), "Frame head is not 90 EB error") << input;
        EXPECT_EQ(console.Text(IDC_CRC_OUTPUT), "4a1f") << input;
    }
    EXPECT_EQ(console.Messages().size(), 2u);
}

class OsdText : public ::testing::Test {
protected:
    void SetUp() override
    {
        console.Open();
        console.Connect(pty.SlavePath());
        console.dialog.Session().Port().SetWriteTrace([this](std::span<const std::uint8_t> bytes) { writes.emplace_back(bytes.begin(), bytes.end()); });
    }
    // Sends with the window's fields as given and returns what the camera got.
    Bytes Send(const std::string& text, const char* x = "10", const char* y = "1", const char* size = "16")
    {
        console.SetText(IDC_OSD_TEXT, text);
        console.SetText(IDC_OSD_X, x);
        console.SetText(IDC_OSD_Y, y);
        console.SetText(IDC_OSD_SIZE, size);
        writes.clear();
        console.Click(IDC_SEND_OSD);
        return pty.ReadAvailable();
    }

    PtyPair pty;
    Console console;
    std::vector<Bytes> writes;
};

TEST_F(OsdText, FramesAsTheCameraReadsThem)
{
    const struct {
        const char* text;
        const char* x;
        const char* y;
        const char* size;
        Bytes expected;
    } cases[] = {
        {"A", "10", "1", "16", {0x90, 0xEB, 0x01, 0x52, 0x06, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x10, 0x41, 0xC1, 0xC2}},
        {"AB", "16", "32", "2", {0x90, 0xEB, 0x01, 0x52, 0x07, 0x00, 0x10, 0x00, 0x20, 0x00, 0x02, 0x41, 0x42, 0xC1, 0xC2}},
        {"", "10", "1", "16", {0x90, 0xEB, 0x01, 0x52, 0x05, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x10, 0xC1, 0xC2}},
        {"", "70000", "-1", "16", {0x90, 0xEB, 0x01, 0x52, 0x05, 0x00, 0x70, 0x11, 0xFF, 0x00, 0x10, 0xC1, 0xC2}},
        {"", "-256", "1", "16", {0x90, 0xEB, 0x01, 0x52, 0x05, 0x00, 0x00, 0xFF, 0x01, 0x00, 0x10, 0xC1, 0xC2}},
        {"中文", "10", "1", "16", {0x90, 0xEB, 0x01, 0x52, 0x09, 0x00, 0x0A, 0x00, 0x01, 0x00, 0x10, 0xD6, 0xD0, 0xCE, 0xC4, 0xC1, 0xC2}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Send(c.text, c.x, c.y, c.size), c.expected) << c.text << " x=" << c.x;
        EXPECT_EQ(writes.size(), 1u) << "one write";
    }
    EXPECT_TRUE(console.dialog.Session().LastFrame().empty()) << "not a frame to resend";
    EXPECT_TRUE(console.Messages().empty());
}

TEST_F(OsdText, TextLimitCountsTheCamerasBytes)
{
    const std::string hanzi = "中";  // two bytes in the camera's code page
    std::string fifty;
    for (int i = 0; i < 50; ++i)
        fifty += hanzi;
    const struct {
        std::string text;
        bool sent;
    } cases[] = {
        {std::string(100, 'x'), true},
        {std::string(101, 'x'), false},
        {fifty, true},
        {fifty + hanzi, false},
    };
    for (const auto& c : cases) {
        const std::size_t messages = console.Messages().size();
        const Bytes got = Send(c.text);
        if (c.sent) {
            const auto frame = ParseOsdFrame(got);
            ASSERT_TRUE(frame);
            EXPECT_EQ(frame->text.size(), 100u);
            EXPECT_EQ(console.Messages().size(), messages);
        } else {
            EXPECT_TRUE(got.empty());
            EXPECT_EQ(console.Messages().back(), "字数不能超过100个");
        }
    }
}

TEST_F(OsdText, TextTheCameraCannotShowIsNotSent)
{
    EXPECT_TRUE(Send("smile 😀").empty());
    EXPECT_NE(console.Messages().back().find("GBK"), std::string::npos);
}

TEST(OsdTextClosedPort, AsksToOpenThePort)
{
    Console console;
    console.Open();
    console.SetText(IDC_OSD_TEXT, "A");
    console.Click(IDC_SEND_OSD);
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"Please open the serial port first"});
}

}  // namespace
}  // namespace qzr::test
