// The CRC calculator and the on-screen text of the main window.
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
    // A wrong header is refused and the earlier answer stays.
    for (const char* input : {"EB 90 01", ""}) {
        console.SetText(IDC_CRC_INPUT, input);
        console.Click(IDC_CRC_CHECK);
        EXPECT_EQ(console.Text(IDC_CRC_OUTPUT), "4a1f") << input;
    }
    EXPECT_EQ(console.Messages(), std::vector<std::string>(2, "Frame head is not 90 EB error"));
}

// The camera gets the text frame in one write: the fields as typed (their low
// 16 bits), the text in its code page, at most 100 bytes of it. Text it cannot
// show, or a closed port, is answered with a message and nothing is sent.
TEST(OsdText, FramesAsTheCameraReadsThem)
{
    const auto Repeat = [](const std::string& text, int times) {
        std::string out;
        while (times-- > 0)
            out += text;
        return out;
    };
    const std::string long100 = "90 EB 01 52 69 00 0A 00 01 00 10";
    const struct {
        std::string text;
        const char *x, *y, *size;
        std::string frame;    // empty: nothing sent
        std::string message;  // empty: none
    } cases[] = {
        {"AB", "16", "32", "2", "90 EB 01 52 07 00 10 00 20 00 02 41 42 C1 C2", ""},
        {"中文", "70000", "-1", "16", "90 EB 01 52 09 00 70 11 FF 00 10 D6 D0 CE C4 C1 C2", ""},
        {std::string(100, 'x'), "10", "1", "16", long100 + Repeat(" 78", 100) + " C1 C2", ""},
        {Repeat("中", 50), "10", "1", "16", long100 + Repeat(" D6 D0", 50) + " C1 C2", ""},
        {std::string(101, 'x'), "10", "1", "16", "", "字数不能超过100个"},
        {Repeat("中", 51), "10", "1", "16", "", "字数不能超过100个"},
        {"smile 😀", "10", "1", "16", "", "OSD text holds characters the camera cannot show (not in GBK); nothing was sent."},
    };
    Rig rig;
    Console& console = rig.console;
    const auto send = [&](const std::string& text, const char* x, const char* y, const char* size) {
        for (const auto& [id, value] : {std::pair<int, std::string>{IDC_OSD_TEXT, text}, {IDC_OSD_X, x}, {IDC_OSD_Y, y}, {IDC_OSD_SIZE, size}})
            console.SetText(id, value);
        console.backend.ClearRecords();
        console.writes.clear();
        console.Click(IDC_SEND_OSD);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 12) + " at " + c.x + "," + c.y);
        send(c.text, c.x, c.y, c.size);
        const Bytes frame = Hex(c.frame);
        ASSERT_EQ(console.writes.size(), frame.empty() ? 0u : 1u) << "one write";
        if (!frame.empty()) {
            EXPECT_EQ(console.writes[0].bytes, frame);
            EXPECT_EQ(rig.Heard(frame.size()), frame);
        }
        EXPECT_EQ(console.Messages(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    }
    console.Click(IDC_CLOSE_COMMS);
    send("A", "10", "1", "16");
    EXPECT_TRUE(console.writes.empty());
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"Please open the serial port first"});
}

}  // namespace
}  // namespace qzr::test
