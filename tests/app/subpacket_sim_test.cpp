// Sub-packet pictures end to end: the main window in-process on the headless
// backend, the simulated camera serving its pseudo-terminal from its own
// thread without pacing. Real waits are only for the camera's bytes; the
// console's polling runs on the virtual clock.
#include <poll.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "protocol/commands.h"
#include "protocol/subpacket.h"
#include "sim/camera.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

class SubPacketOverSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::CameraOptions options;
        options.pacing = false;
        camera = std::make_unique<sim::Camera>(options);
        std::string error;
        ASSERT_TRUE(camera->Start(&error)) << error;
        console.Open();
        console.Connect(camera->DevicePath());
        ASSERT_TRUE(console.dialog.Session().Port().IsOpen());
        console.Check(IDC_SUB_PACKET, 1);
        console.Select(IDC_RESOLUTION, "1280x960");
        console.Check(IDC_SAVE_IMAGE, 1);
    }

    // Alternates short waits for the camera's bytes with poll ticks until
    // `pictures` pictures have been drawn; false once the line has been quiet
    // for `quietMs` of real time (a stalled transfer).
    bool PumpUntilShown(std::size_t pictures, int quietMs = 500)
    {
        const int fd = console.dialog.Session().Port().Handle();
        int quiet = 0;
        while (console.backend.Pictures().size() < pictures) {
            pollfd p{fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, 10);
            console.Tick();
            quiet = ready > 0 ? 0 : quiet + 10;
            if (quiet >= quietMs)
                return false;
        }
        return true;
    }

    // The one picture saved in `dir` so far.
    static Bytes SavedPicture(const ScratchDirectory& dir)
    {
        const auto files = dir.Files();
        if (files.size() != 1)
            return {};
        std::ifstream in(dir.Path() / files[0], std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // The CMD_GET_PACKET requests the camera received for packet `number`.
    std::size_t PacketRequests(std::uint16_t number) const
    {
        std::size_t count = 0;
        for (const Bytes& frame : camera->ReceivedFrames())
            if (const auto requested = ParseGetPacketRequest(frame); requested && *requested == number)
                ++count;
        return count;
    }

    ScratchDirectory scratch;
    std::unique_ptr<sim::Camera> camera;
    Console console;
};

TEST_F(SubPacketOverSimulator, PictureArrivesByteIdentical)
{
    const struct {
        const char* protocol;
        int simplified;
        const char* size;
    } cases[] = {{"numbered", 0, "512"}, {"simplified", 1, "1024"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.protocol);
        ScratchDirectory scratch;  // one saved picture per case
        console.Check(IDC_SIMPLIFIED, c.simplified);
        console.SetText(IDC_PACKET_SIZE, c.size);
        const std::size_t before = console.backend.Pictures().size();
        console.Click(IDC_SNAPSHOT);
        ASSERT_TRUE(PumpUntilShown(before + 1));

        const Bytes sent = camera->LastPicture();
        ASSERT_GT(sent.size(), 10000u);
        EXPECT_TRUE(SavedPicture(scratch) == sent) << "saved file differs from the camera's picture";
        EXPECT_EQ(console.backend.Pictures().back().size, (ui::Size{1280, 960}));
        EXPECT_EQ(console.dialog.Session().m_nExpectedReply, 0);
        EXPECT_FALSE(console.dialog.Session().Watchdog().Armed());
    }
}

TEST_F(SubPacketOverSimulator, WatchdogRecoversADroppedPacket)
{
    console.Check(IDC_SIMPLIFIED, 0);
    camera->AddFault(sim::Fault::DropPacket(3));
    console.Click(IDC_SNAPSHOT);
    ASSERT_FALSE(PumpUntilShown(1)) << "the transfer stalls at the lost packet";
    EXPECT_EQ(PacketRequests(3), 1u);
    EXPECT_EQ(PacketRequests(4), 0u);

    // Forty seconds on the virtual clock: the watchdog asks for packet 3 again.
    console.backend.RunLoop(40100);
    EXPECT_EQ(console.Text(IDC_STATUS), "重发");
    ASSERT_TRUE(PumpUntilShown(1));
    EXPECT_EQ(PacketRequests(3), 2u);
    EXPECT_TRUE(SavedPicture(scratch) == camera->LastPicture()) << "saved file differs from the camera's picture";
    EXPECT_EQ(console.backend.Pictures().back().size, (ui::Size{1280, 960}));
}

TEST_F(SubPacketOverSimulator, AnnouncedPictureIsRead)
{
    camera->AnnounceImage();
    ASSERT_TRUE(PumpUntilShown(1));
    // Nothing read the window's controls since "Save" was ticked, so compare
    // the picture buffer rather than a saved file.
    const Bytes sent = camera->LastPicture();
    ASSERT_FALSE(sent.empty());
    const auto shown = console.dialog.Session().Picture().View(0, sent.size());
    EXPECT_TRUE(Bytes(shown.begin(), shown.end()) == sent);
    EXPECT_EQ(console.Text(IDC_LOG), "Get length=" + std::to_string(sent.size()) + "  OK   show picture");
    EXPECT_FALSE(console.dialog.Session().Watchdog().Armed());
}

}  // namespace
}  // namespace qzr::test
