// The Comport combo follows adapters plugged in while the console runs.
#include <gtest/gtest.h>

#include "tests/app/console.h"

namespace qzr::test {
namespace {

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

}  // namespace
}  // namespace qzr::test
