// The simulated camera's lens: zoom and focus moved by the commands and told
// in the lens status, the done replies once the motors have run, a focus
// value for every poll, and the switches recorded. That the values rise to
// one peak and fall is seen end to end (tests/e2e/lens_e2e_test.cpp).
#include <gtest/gtest.h>

#include "protocol/commands.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "sim/camera.h"
#include "tests/sim/raw_client.h"

namespace qzr::sim {
namespace {

using std::chrono::milliseconds;

TEST(SimulatedLens, MovesReportsAndRecords)
{
    CameraOptions options;
    options.pacing = false;
    Camera camera(options);
    ASSERT_TRUE(camera.Start());
    test::RawClient client(camera.DevicePath());
    const auto ask = [&](const Bytes& request, std::size_t length) {
        client.SendFrame(request);
        return client.Read(length);
    };
    EXPECT_EQ(ask(BuildCheckLensRequest(1), lens::kStatusLength), BuildLensStatus(1, 0, 0));
    EXPECT_EQ(ask(BuildZoomRequest(1, 60), lens::kStatusLength), BuildLensStatus(1, 60, 0)) << "once it has moved";
    EXPECT_EQ(ask(BuildFocusRequest(1), lens::kDoneLength), BuildLensDoneReply(1, CMD_AUTOFOCUS_DONE));
    EXPECT_EQ(camera.Lens().focus, 60);
    EXPECT_EQ(ask(BuildFocusValueRequest(1), 6), BuildFocusValueLine(FocusValueAt(milliseconds(0))));

    for (const Bytes& request : {BuildLedRequest(1, true), BuildLightRequest(1, true), BuildAutoFocusRequest(1, true),
                                 BuildTestPattern(1, false), BuildTestPattern(1, true), BuildModelCancelRequest(1),
                                 BuildZoomResetRequest(1)})
        client.SendFrame(request);
    EXPECT_TRUE(client.ReadQuiet(1000).empty()) << "nothing answered, the reset still running";
    EXPECT_EQ(client.Read(lens::kDoneLength), BuildLensDoneReply(1, CMD_ZOOM_RESET_DONE));
    const LensRecord lens = camera.Lens();
    EXPECT_EQ(lens.zoom, 0);
    EXPECT_EQ(lens.led, true);
    EXPECT_EQ(lens.testPatterns, (std::vector<bool>{false, true}));
    EXPECT_EQ(lens.modelCancels, 1);
    EXPECT_EQ(lens.focusPolls, 1u);
    const CameraIdentity identity = camera.Identity();
    EXPECT_TRUE(identity.whiteLight && identity.autoFocus);
    EXPECT_EQ(identity.modelCode, 0x11) << "a cancel sets no model";
}

}  // namespace
}  // namespace qzr::sim
