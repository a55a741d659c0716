// The quick shot window behind the main window's hidden button, on the
// virtual clock, against a camera the test plays on its own pseudo-terminal.
#include "res/resource.h"
#include "sim/picture.h"
#include "tests/app/child_window.h"

namespace qzr::test {
namespace {

constexpr unsigned kTickMs = 150;
const Bytes kQuickShot = {0x90, 0xEB, 0x01, 0x40, 0x02, 0x00, 0x55, 0xAA, 0xC1, 0xC2};
constexpr ui::Rect kAbovePictureRow = {0, 0, 800, 490};

struct Rig {
    Rig() { console.Open(); }
    // Runs `body` in the quick shot window, its port opened on the camera's line.
    void InWindow(const std::function<void(ChildWindow&)>& body, bool connect = true)
    {
        ASSERT_TRUE(InChildWindow(console, IDC_QUICK_SHOT, [&](ChildWindow& w) {
            if (connect) {
                w.SetText(IDC_QUICK_PORT, pty.SlavePath());
                w.Click(IDC_QUICK_OPEN_PORT);
                ASSERT_EQ(w.Text(IDC_QUICK_STATUS), "Open" + pty.SlavePath());
            }
            body(w);
        }));
    }
    // A shot whose answer comes in reads of `piece` bytes, one a tick.
    void Shoot(ChildWindow& w, const Bytes& answer, std::size_t piece = 1000)
    {
        w.Click(IDC_QUICK_SHOOT);
        EXPECT_EQ(pty.Read(10), kQuickShot);
        w.Receive(pty, answer, kTickMs, piece);
    }
    std::vector<std::string> Drawn() const
    {
        std::vector<std::string> drawn;
        for (const auto& p : console.backend.Pictures())
            drawn.push_back(std::to_string(p.size.width) + "x" + std::to_string(p.size.height));
        return drawn;
    }
    PtyPair pty;
    Console console;
};

Bytes Padded(Bytes jpeg, std::size_t size)
{
    EXPECT_LE(jpeg.size(), size);
    jpeg.resize(size, 0x00);
    return jpeg;
}

TEST(QuickShot, HiddenButtonDoesNothingWhileTheMainPortIsOpen)
{
    Rig rig;
    PtyPair mainLine;
    rig.console.Connect(mainLine.SlavePath());
    EXPECT_FALSE(InChildWindow(rig.console, IDC_QUICK_SHOT, [](ChildWindow&) {}));
}

TEST(QuickShot, ShootingOnAClosedPortOnlyWaits)
{
    Rig rig;
    rig.InWindow(
        [&](ChildWindow& w) {
            w.Click(IDC_QUICK_SHOOT);
            w.Run(3000);
            EXPECT_EQ(w.Text(IDC_QUICK_STATUS), "Wait for data < 30seconds.");
            EXPECT_TRUE(rig.Drawn().empty());
        },
        false);
    EXPECT_TRUE(rig.pty.ReadAvailable().empty());
}

// 30,000 bytes in 30 reads: the picture is drawn once, at the seventh quiet
// tick after the last read, over the window above its row of controls.
TEST(QuickShot, DrawsOnceTheLineHasBeenQuietForAboutASecond)
{
    Rig rig;
    rig.InWindow([&](ChildWindow& w) {
        rig.Shoot(w, Padded(sim::MakeTestPicture({5, 1, false, 1}), 30000));
        EXPECT_EQ(w.Text(IDC_QUICK_STATUS), "接收到长度：1000  总长：30000");
        w.Run(6 * kTickMs);
        EXPECT_TRUE(rig.Drawn().empty());
        w.Run(kTickMs);
        EXPECT_EQ(rig.Drawn(), std::vector<std::string>{"640x480"});
        EXPECT_EQ(rig.console.backend.Pictures().back().target, kAbovePictureRow);
        EXPECT_EQ(w.Text(IDC_QUICK_STATUS), "接收到长度：1000  总长：30000 show");
        w.Run(3000);
        EXPECT_EQ(rig.Drawn().size(), 1u);
    });
}

// A second shot gathers from the start of the buffer again; bytes beyond the
// buffer are dropped and what fits is drawn.
TEST(QuickShot, EachShotStartsAfreshAndKeepsWithinTheBuffer)
{
    Rig rig;
    rig.InWindow([&](ChildWindow& w) {
        rig.Shoot(w, sim::MakeTestPicture({3, 1, false, 1}));
        w.Run(7 * kTickMs);
        rig.Shoot(w, sim::MakeTestPicture({1, 1, false, 2}));
        w.Run(7 * kTickMs);
        EXPECT_EQ(rig.Drawn(), (std::vector<std::string>{"320x240", "160x120"}));

        rig.Shoot(w, Padded(sim::MakeTestPicture({1, 1, false, 3}), 1001 * 1024), 1024);
        EXPECT_EQ(w.Text(IDC_QUICK_STATUS), "接收到长度：1024  总长：1024000");
        w.Run(7 * kTickMs);
        EXPECT_EQ(rig.Drawn().back(), "160x120");
    });
}

// Leaving does not close the port: at the next showing the button reads its
// template caption again, and its first press closes the port.
TEST(QuickShot, ExitLeavesThePortOpen)
{
    Rig rig;
    rig.InWindow([&](ChildWindow& w) {
        w.Click(IDC_QUICK_EXIT);
        EXPECT_FALSE(w.Open());
    });
    ASSERT_TRUE(InChildWindow(rig.console, IDC_QUICK_SHOT, [&](ChildWindow& w) {
        EXPECT_EQ(w.Text(IDC_QUICK_OPEN_PORT), "打开串口");
        rig.Shoot(w, sim::MakeTestPicture({1, 1, false, 1}));
        w.Run(7 * kTickMs);
        EXPECT_EQ(rig.Drawn().size(), 1u) << "the port still reads";
        w.Click(IDC_QUICK_OPEN_PORT);
        EXPECT_EQ(w.Text(IDC_QUICK_OPEN_PORT), "Open serial port");
        w.Click(IDC_QUICK_SHOOT);
        EXPECT_TRUE(rig.pty.ReadAvailable().empty());
    }));
}

}  // namespace
}  // namespace qzr::test
