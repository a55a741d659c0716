// The quick shot window (the main window's hidden button) against a camera on its own pseudo-terminal.
#include "tests/app/console.h"

namespace qzr::test {
namespace {

constexpr unsigned kTick = 150;

struct QuickShotRig : Rig {
    QuickShotRig() : Rig({.connect = false}) {}
    void InWindow(const std::function<void(ChildWindow&)>& body, bool connect = true)
    {
        InPortWindow(IDC_QUICK_SHOT, {IDC_QUICK_PORT, IDC_QUICK_OPEN_PORT, IDC_QUICK_STATUS}, body, connect);
    }
    // A shot answered with `jpeg` padded to `size` bytes, one read of `piece` a tick.
    void Shoot(ChildWindow& w, Bytes jpeg, std::size_t size = 0, std::size_t piece = 1000)
    {
        w.Click(IDC_QUICK_SHOOT);
        EXPECT_EQ(camera.Read(10), Bytes({0x90, 0xEB, 0x01, 0x40, 0x02, 0x00, 0x55, 0xAA, 0xC1, 0xC2}));
        jpeg.resize(std::max(size, jpeg.size()), 0x00);
        w.Receive(camera, jpeg, kTick, piece);
    }
    std::vector<std::string> Drawn() const
    {
        std::vector<std::string> drawn;
        for (const auto& p : console.backend.Pictures())
            drawn.push_back(std::to_string(p.size.width) + "x" + std::to_string(p.size.height));
        return drawn;
    }
};

// Only while the main window's port is closed; a shot on a closed port only waits.
TEST(QuickShot, HiddenButtonAndAClosedPort)
{
    QuickShotRig rig;
    rig.InWindow(
        [&](ChildWindow& w) {
            w.Click(IDC_QUICK_SHOOT);
            w.Run(3000);
            EXPECT_EQ(w.Text(IDC_QUICK_STATUS), "Wait for data < 30seconds.");
        },
        false);
    EXPECT_TRUE(rig.camera.ReadAvailable().empty());
    PtyPair mainLine;
    rig.console.Connect(mainLine.SlavePath());
    EXPECT_FALSE(InChildWindow(rig.console, IDC_QUICK_SHOT, [](ChildWindow&) {}));
}

// Drawn at the seventh quiet tick, each shot afresh, overflow dropped; Exit leaves the port open and reading;
// in the window opened again, its button's first press closes it.
TEST(QuickShot, DrawsOnceTheLineHasBeenQuietForAboutASecond)
{
    QuickShotRig rig;
    rig.InWindow([&](ChildWindow& w) {
        rig.Shoot(w, sim::MakeTestPicture({5, 1, false, 1}), 30000);
        EXPECT_EQ(w.Text(IDC_QUICK_STATUS), "接收到长度：1000  总长：30000");
        w.Run(6 * kTick);
        EXPECT_TRUE(rig.Drawn().empty());
        w.Run(kTick);
        EXPECT_EQ(rig.Drawn(), std::vector<std::string>{"640x480"});
        EXPECT_EQ(w.Text(IDC_QUICK_STATUS), "接收到长度：1000  总长：30000 show");
        w.Run(3000);

        rig.Shoot(w, sim::MakeTestPicture({3, 1, false, 3}), 1001 * 1024, 1024);
        EXPECT_EQ(w.Text(IDC_QUICK_STATUS), "接收到长度：1024  总长：1024000");
        w.Run(7 * kTick);
        EXPECT_EQ(rig.Drawn(), (std::vector<std::string>{"640x480", "320x240"}));
        w.Click(IDC_QUICK_EXIT);
    });
    ASSERT_TRUE(InChildWindow(rig.console, IDC_QUICK_SHOT, [&](ChildWindow& w) {
        EXPECT_EQ(w.Text(IDC_QUICK_OPEN_PORT), "打开串口");
        rig.Shoot(w, sim::MakeTestPicture({1, 1, false, 4}));
        w.Run(7 * kTick);
        EXPECT_EQ(rig.Drawn().size(), 3u);
        w.Click(IDC_QUICK_OPEN_PORT);
        EXPECT_EQ(w.Text(IDC_QUICK_OPEN_PORT), "Open serial port");
    }));
}

}  // namespace
}  // namespace qzr::test
