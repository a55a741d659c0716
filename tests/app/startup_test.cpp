// Start-up of the main window, the port list and Open/Close Comms.
#include "tests/app/console.h"

namespace qzr::test {
namespace {

TEST(MainWindow, StartsWithTheDefaults)
{
    Console console({{"/dev/ttyS0", "/dev/ttyUSB0"}});
    console.Open();
    EXPECT_TRUE(console.Messages().empty());

    const std::pair<int, const char*> texts[] = {
        {IDC_COMPORT, "/dev/ttyS0"}, {IDC_BAUDRATE, "115200"}, {IDC_RESOLUTION, "640x480"}, {IDC_QUALITY, "1"},
        {IDC_PACKET_SIZE, "512"},    {IDC_CAMERA_ID, "1"},     {IDC_OSD_X, "10"},            {IDC_OSD_Y, "1"},
        {IDC_OSD_SIZE, "16"},        {IDC_INTERVAL_MIN, "5"},  {IDC_SWITCH_ON_SEC, "10"},    {IDC_OLD_ID, "0"},
        {IDC_NEW_ID, "0"},           {IDC_SET_COUNT, "0"},     {IDC_STATUS, ""},             {IDC_LOG, ""},
        {IDC_WHOLE_PACKAGE, "1"},    {IDC_SUB_PACKET, "0"},    {IDC_SIMPLIFIED, "1"},        {IDC_SAVE_BAUD, "1"},
        {IDC_SAVE_IMAGE, "0"},       {IDC_SAVE_LOG, "0"},      {IDC_TEST_QUALITY, "0"},
        {IDC_OPEN_COMMS, "Open Comms"}, {IDC_MANUAL_FOCUS, "Manual Focus"},
    };
    for (const auto& [id, text] : texts)
        EXPECT_EQ(console.Text(id), text) << id;

    EXPECT_EQ(console.ComboItems(IDC_BAUDRATE),
              (std::vector<std::string>{"9600", "19200", "38400", "57600", "115200", "230400"}));
    EXPECT_EQ(console.ComboItems(IDC_SET_BAUDRATE),
              (std::vector<std::string>{"9600", "19200", "38400", "57600", "115200", "230400", ""}));
    const auto resolutions = console.ComboItems(IDC_RESOLUTION);
    ASSERT_EQ(resolutions.size(), 33u);
    EXPECT_EQ(resolutions.front(), "160x120");
    EXPECT_EQ(resolutions[19], "-----16:9-----");
    EXPECT_EQ(resolutions.back(), "3840x2160");
    EXPECT_EQ(console.ComboItems(IDC_QUALITY).size(), 13u);

    for (int id : {IDC_PACKET_SIZE, IDC_SET_PACKET_SIZE, IDC_STOP_SNAPSHOT, IDC_FOCUS_PERCENT})
        EXPECT_FALSE(console.Enabled(id)) << id;
    for (int id : {IDC_OPEN_COMMS, IDC_CLOSE_COMMS, IDC_SNAPSHOT, IDC_CONTINUOUS_CAPTURE})
        EXPECT_TRUE(console.Enabled(id)) << id;
}

TEST(MainWindow, PortListPutsTheBuiltInCameraFirst)
{
    Console console({{"/dev/ttyS0", "/dev/ttyUSB0"}});
    console.dialog.SetPreferredPorts({"/dev/pts/9"});
    console.Open();
    EXPECT_EQ(console.ComboItems(IDC_COMPORT), (std::vector<std::string>{"/dev/pts/9", "/dev/ttyS0", "/dev/ttyUSB0"}));
    EXPECT_EQ(console.Text(IDC_COMPORT), "/dev/pts/9");
}

TEST(MainWindow, UnreadableDeviceListIsReportedOnce)
{
    Console console(std::nullopt);
    console.Open();
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"No serial port is found"});
    EXPECT_EQ(console.backend.Messages()[0].icon, ui::Icon::Stop);
    EXPECT_EQ(console.Text(IDC_COMPORT), "");
    console.Click(IDC_OPEN_COMMS);
    EXPECT_EQ(console.Messages().back(), "No serial port is detected");
}

TEST(MainWindow, OpenAndCloseComms)
{
    PtyPair pty;
    Console console;
    console.Open();
    console.Connect(pty.SlavePath());
    EXPECT_TRUE(console.dialog.Session().Port().IsOpen());
    EXPECT_EQ(console.Text(IDC_STATUS), "Open serial port" + pty.SlavePath());
    EXPECT_FALSE(console.Enabled(IDC_OPEN_COMMS));
    EXPECT_TRUE(console.Enabled(IDC_CLOSE_COMMS));

    // Pressed while open (a script or a slow repaint): the port stays as it is.
    console.dialog.OnOpenComms();
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"串口已打开"});
    EXPECT_TRUE(console.dialog.Session().Port().IsOpen());

    console.Click(IDC_CLOSE_COMMS);
    EXPECT_FALSE(console.dialog.Session().Port().IsOpen());
    EXPECT_EQ(console.Text(IDC_STATUS), "Serial port is closed");
    EXPECT_TRUE(console.Enabled(IDC_OPEN_COMMS));
    EXPECT_FALSE(console.Enabled(IDC_CLOSE_COMMS));
}

TEST(MainWindow, FailedOpenLeavesOpenCommsDisabled)
{
    const struct {
        const char* why;
        std::string port;
        std::string baud;
    } cases[] = {
        {"missing device", "/dev/qzr-missing", "115200"},
        {"rate the line cannot run at", "", "0"},
    };
    for (const auto& c : cases) {
        PtyPair pty;
        Console console;
        console.Open();
        console.Connect(c.port.empty() ? pty.SlavePath() : c.port, c.baud);
        EXPECT_FALSE(console.dialog.Session().Port().IsOpen()) << c.why;
        EXPECT_EQ(console.Messages(),
                  std::vector<std::string>{
                      "Serial port is already in use,\r\nplease close other program using the serial port and run again."})
            << c.why;
        EXPECT_FALSE(console.Enabled(IDC_OPEN_COMMS)) << c.why;
        EXPECT_TRUE(console.Enabled(IDC_CLOSE_COMMS)) << c.why;
    }
}

TEST(MainWindow, TypingIntoTheResolutionComboShowsItsBox)
{
    Console console;
    console.Open();
    console.SetText(IDC_RESOLUTION, "641x480");
    EXPECT_EQ(console.Messages(), std::vector<std::string>{"改变"});
    console.Select(IDC_RESOLUTION, "320x240");
    EXPECT_EQ(console.Messages().size(), 1u) << "choosing from the list is not typing";
}

TEST(MainWindow, NonNumericIdIsRefusedWithAMessage)
{
    PtyPair pty;
    Console console;
    console.Open();
    console.SetText(IDC_CAMERA_ID, "abc");
    console.Connect(pty.SlavePath());
    EXPECT_EQ(console.Messages().front(), "Please enter an integer.");
}

}  // namespace
}  // namespace qzr::test
