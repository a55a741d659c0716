// The CRC calculator and the on-screen text of the main window.
#include "tests/app/console.h"

namespace qzr::test {
namespace {

// The answer for a typed frame; a wrong header is refused and the earlier answer stays.
TEST(CrcCalculator, ShowsTheCheckBytesOrRefusesTheHeader)
{
    Console console;
    console.Open();
    for (const char* input : {"90 EB 01 51 00 00", "EB 90 01", ""}) {
        console.SetText(IDC_CRC_INPUT, input);
        console.Click(IDC_CRC_CHECK);
        EXPECT_EQ(console.Text(IDC_CRC_OUTPUT), "4a1f") << input;
    }
    EXPECT_EQ(console.Messages(), std::vector<std::string>(2, "Frame head is not 90 EB error"));
}

std::string Repeat(const std::string& text, int times) { return times > 0 ? text + Repeat(text, times - 1) : ""; }

// The text frame goes in one write: fields as typed (low 16 bits), text in its code page, 100 bytes at most;
// text it cannot show, or a closed port, gets a message and nothing is sent.
TEST(OsdText, FramesAsTheCameraReadsThem)
{
    const std::string head100 = "90 EB 01 52 69 00 0A 00 01 00 10";
    const struct {
        std::string text; const char *x, *y, *size;
        std::string frame, message;  // empty: nothing sent, no message
    } cases[] = {
        {"中文", "70000", "-1", "16", "90 EB 01 52 09 00 70 11 FF 00 10 D6 D0 CE C4 C1 C2", ""},
        {std::string(100, 'x'), "10", "1", "16", head100 + Repeat(" 78", 100) + " C1 C2", ""},
        {Repeat("中", 50), "10", "1", "16", head100 + Repeat(" D6 D0", 50) + " C1 C2", ""},
        {std::string(101, 'x'), "10", "1", "16", "", "字数不能超过100个"},
        {Repeat("中", 51), "10", "1", "16", "", "字数不能超过100个"},
        {"smile 😀", "10", "1", "16", "", "OSD text holds characters the camera cannot show (not in GBK); nothing was sent."},
        {"A", "10", "1", "16", "", "Please open the serial port first"},  // the port closed
    };
    Rig rig;
    Console& console = rig.console;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 12) + " at " + c.x + "," + c.y);
        if (c.text == "A")
            console.Click(IDC_CLOSE_COMMS);
        console.SetText(IDC_OSD_TEXT, c.text);
        console.SetText(IDC_OSD_X, c.x);
        console.SetText(IDC_OSD_Y, c.y);
        console.SetText(IDC_OSD_SIZE, c.size);
        console.backend.ClearRecords();
        console.writes.clear();
        console.Click(IDC_SEND_OSD);
        const Bytes frame = Hex(c.frame);
        ASSERT_EQ(console.writes.size(), frame.empty() ? 0u : 1u) << "one write";
        if (!frame.empty()) {
            EXPECT_EQ(console.writes[0].bytes, frame);
            EXPECT_EQ(rig.Heard(frame.size()), frame);
        }
        EXPECT_EQ(console.Messages(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    }
}

}  // namespace
}  // namespace qzr::test
