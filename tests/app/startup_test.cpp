// Start-up of the main window, the port list (also as adapters come and go) and Open/Close Comms.
#include "tests/app/console.h"

namespace qzr::test {
namespace {

using Texts = std::vector<std::string>;

// The built-in camera's device comes first (and once) in the port list.
TEST(MainWindow, StartsWithTheDefaults)
{
    Console console({{"/dev/ttyS0", "/dev/pts/9", "/dev/ttyUSB0"}});
    console.dialog.SetPreferredPorts({"/dev/pts/9"});
    console.Open();
    EXPECT_TRUE(console.Messages().empty());
    EXPECT_EQ(console.ComboItems(IDC_COMPORT), (Texts{"/dev/pts/9", "/dev/ttyS0", "/dev/ttyUSB0"}));
    const std::pair<int, const char*> texts[] = {
        {IDC_COMPORT, "/dev/pts/9"}, {IDC_BAUDRATE, "115200"}, {IDC_RESOLUTION, "640x480"}, {IDC_QUALITY, "1"},
        {IDC_PACKET_SIZE, "512"},    {IDC_CAMERA_ID, "1"},     {IDC_OSD_X, "10"},            {IDC_OSD_Y, "1"},
        {IDC_OSD_SIZE, "16"},        {IDC_INTERVAL_MIN, "5"},  {IDC_SWITCH_ON_SEC, "10"},    {IDC_OLD_ID, "0"},
        {IDC_NEW_ID, "0"},           {IDC_SET_COUNT, "0"},     {IDC_STATUS, ""},             {IDC_LOG, ""},
        {IDC_WHOLE_PACKAGE, "1"},    {IDC_SUB_PACKET, "0"},    {IDC_SIMPLIFIED, "1"},        {IDC_SAVE_BAUD, "1"},
        {IDC_SAVE_IMAGE, "0"},       {IDC_SAVE_LOG, "0"},      {IDC_TEST_QUALITY, "0"},      {IDC_OPEN_COMMS, "Open Comms"},
        {IDC_MANUAL_FOCUS, "Manual Focus"},
    };
    for (const auto& [id, text] : texts)
        EXPECT_EQ(console.Text(id), text) << id;
    const Texts rates = {"9600", "19200", "38400", "57600", "115200", "230400"};
    EXPECT_EQ(console.ComboItems(IDC_BAUDRATE), rates);
    EXPECT_EQ(console.ComboItems(IDC_SET_BAUDRATE), [&] { Texts r = rates; r.push_back(""); return r; }());
    ASSERT_EQ(console.ComboItems(IDC_RESOLUTION).size(), 33u);
    EXPECT_EQ(console.ComboItems(IDC_RESOLUTION)[19], "-----16:9-----");
    EXPECT_EQ(console.ComboItems(IDC_QUALITY).size(), 13u);
    for (int id : {IDC_PACKET_SIZE, IDC_SET_PACKET_SIZE, IDC_STOP_SNAPSHOT, IDC_FOCUS_PERCENT})
        EXPECT_FALSE(console.Enabled(id)) << id;
    for (int id : {IDC_OPEN_COMMS, IDC_CLOSE_COMMS, IDC_SNAPSHOT, IDC_CONTINUOUS_CAPTURE})
        EXPECT_TRUE(console.Enabled(id)) << id;
}

// The Comport combo follows adapters plugged in after start-up and keeps the choice.
TEST(PortList, ListsAdaptersPluggedInAfterStartUpAndKeepsTheChoice)
{
    std::vector<std::string> devices = {"/dev/ttyS0"};
    Console console;
    console.dialog.SetPreferredPorts({"/dev/pts/sim"});
    console.dialog.SetPortSource([&devices] { return devices; });
    console.Open();
    EXPECT_EQ(console.ComboItems(IDC_COMPORT), (std::vector<std::string>{"/dev/pts/sim", "/dev/ttyS0"}));

    PtyPair adapter;  // plugged in after start-up
    devices.push_back(adapter.SlavePath());
    console.SetText(IDC_COMPORT, "/dev/ttyS0");
    console.dialog.HandleCommand(IDC_COMPORT, ui::Notification::DropDown);
    EXPECT_EQ(console.ComboItems(IDC_COMPORT), (std::vector<std::string>{"/dev/pts/sim", "/dev/ttyS0", adapter.SlavePath()}));
    EXPECT_EQ(console.Text(IDC_COMPORT), "/dev/ttyS0") << "the chosen entry stays";

    // A typed path that is in no list stays typed; the new adapter opens.
    console.SetText(IDC_COMPORT, "/dev/ttyUSB7");
    console.dialog.HandleCommand(IDC_COMPORT, ui::Notification::DropDown);
    EXPECT_EQ(console.Text(IDC_COMPORT), "/dev/ttyUSB7");
    console.Select(IDC_COMPORT, adapter.SlavePath());
    console.Click(IDC_OPEN_COMMS);
    EXPECT_EQ(console.Text(IDC_STATUS), "Open serial port" + adapter.SlavePath());
    EXPECT_TRUE(console.Messages().empty());
}

// A device list that cannot be read is reported; Open Comms then has no port.
TEST(MainWindow, UnreadableDeviceListIsReported)
{
    Console console(std::nullopt);
    console.Open();
    EXPECT_EQ(console.backend.Messages()[0].icon, ui::Icon::Stop);
    EXPECT_EQ(console.Text(IDC_COMPORT), "");
    console.Click(IDC_OPEN_COMMS);
    EXPECT_EQ(console.Messages(), (Texts{"No serial port is found", "No serial port is detected"}));
}

// Open Comms at the chosen rate and again while open; Close Comms. Reopening: the end-to-end fault runs.
TEST(MainWindow, OpenAndCloseComms)
{
    PtyPair camera;
    Console console;
    console.Open();
    const auto buttons = [&] { return std::pair{console.Enabled(IDC_OPEN_COMMS), console.Enabled(IDC_CLOSE_COMMS)}; };
    console.Connect(camera.SlavePath(), "38400");
    EXPECT_EQ(console.Text(IDC_STATUS), "Open serial port" + camera.SlavePath());
    EXPECT_EQ(LineRate(camera.Master()), 38400u);
    EXPECT_EQ(buttons(), std::pair(false, true));
    console.dialog.OnOpenComms();  // the button is disabled; a script can still get here
    EXPECT_EQ(console.Messages().back(), "串口已打开");
    console.Click(IDC_SNAPSHOT);
    EXPECT_EQ(camera.Read(10).size(), 10u) << "the port stays open";
    console.Click(IDC_CLOSE_COMMS);
    EXPECT_EQ(console.Text(IDC_STATUS), "Serial port is closed");
    EXPECT_EQ(buttons(), std::pair(true, false));
    console.Click(IDC_SNAPSHOT);
    EXPECT_EQ(console.Messages().back(), "Please open the serial port first");
}

TEST(MainWindow, FailedOpenIsReportedAndLeavesOpenCommsDisabled)
{
    for (const auto& [port, baud] : {std::pair<std::string, std::string>{"/dev/qzr-missing", "115200"}, {"", "0"}}) {
        SCOPED_TRACE(port + " at " + baud);
        PtyPair camera;
        Console console;
        console.Open();
        console.Connect(port.empty() ? camera.SlavePath() : port, baud);
        console.Click(IDC_SNAPSHOT);
        EXPECT_EQ(console.Messages(), (Texts{"Serial port is already in use,\r\nplease close other program using the serial "
                                             "port and run again.", "Please open the serial port first"}));
        EXPECT_FALSE(console.Enabled(IDC_OPEN_COMMS));
        EXPECT_TRUE(console.Enabled(IDC_CLOSE_COMMS));
    }
}

}  // namespace
}  // namespace qzr::test
