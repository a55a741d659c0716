// The bar over the status box follows a whole-package picture: the bytes
// received against the bytes announced and the rate on the window's clock; it
// empties when the picture is complete, when the transfer is given up, and
// when the port closes. A sub-packet picture's bar is the sub-packet tests'.
#include "protocol/snapshot.h"
#include "sim/picture.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

struct ProgressRig : Rig {
    std::string Bar() const { return console.Text(IDC_TRANSFER_PROGRESS); }
};

// Uneven reads of a whole-package reply, one poll tick (100 ms) apart.
TEST(TransferProgress, FollowsAWholePackagePictureAcrossUnevenReads)
{
    ProgressRig rig;
    const Bytes jpeg = sim::MakeTestPicture({1, 5, false, 1});
    const Bytes reply = BuildSnapshotReply(1, jpeg);
    const std::string total = std::to_string(reply.size());
    rig.console.Click(IDC_SNAPSHOT);
    EXPECT_EQ(rig.Bar(), "idle");
    const struct {
        std::size_t to;
        std::string bar;
    } steps[] = {
        {5, "idle"},  // the length is not there yet
        {705, "705/" + total + " bytes, 0 B/s"},
        {706, "706/" + total + " bytes, 7060 B/s"},
        {1706, "1706/" + total + " bytes, 8530 B/s"},
        {reply.size(), "idle"},  // complete: the picture is drawn, the bar empties
    };
    std::size_t at = 0;
    for (const auto& step : steps) {
        rig.Send(Slice(reply, at, step.to - at));
        at = step.to;
        EXPECT_EQ(rig.Bar(), step.bar) << step.to;
    }
    EXPECT_EQ(rig.console.backend.Pictures().size(), 1u);
}

TEST(TransferProgress, EmptiesWhenAPictureIsGivenUp)
{
    const Bytes reply = BuildSnapshotReply(1, sim::MakeTestPicture({1, 5, false, 1}));
    const struct {
        const char* why;
        std::function<void(ProgressRig&)> abandon;
    } cases[] = {
        {"ten seconds without a byte", [](ProgressRig& rig) { rig.console.Tick(99); }},
        {"the port closed", [](ProgressRig& rig) { rig.console.Click(IDC_CLOSE_COMMS); rig.console.Tick(); }},
        {"the next picture requested", [](ProgressRig& rig) { rig.console.Click(IDC_SNAPSHOT); }},
    };
    for (const auto& c : cases) {
        ProgressRig rig;
        rig.console.Click(IDC_SNAPSHOT);
        rig.Send(Slice(reply, 0, 700));
        ASSERT_NE(rig.Bar(), "idle") << c.why;
        c.abandon(rig);
        if (std::string(c.why) == "ten seconds without a byte") {
            EXPECT_NE(rig.Bar(), "idle") << "9.9 s is not yet given up";
            rig.console.Tick();
        }
        EXPECT_EQ(rig.Bar(), "idle") << c.why;
    }
}

}  // namespace
}  // namespace qzr::test
