// The simulated camera's lens: zoom and focus moved by the commands and told
// in the lens status, the done replies after their motors have run, a focus
// value for every poll on a curve with one peak, and the switches recorded.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "protocol/commands.h"
#include "protocol/lens.h"
#include "protocol/model.h"
#include "sim/camera.h"
#include "tests/sim/raw_client.h"

namespace qzr::sim {
namespace {

using std::chrono::milliseconds;

struct Rig {
    Rig()
    {
        CameraOptions options;
        options.pacing = false;
        camera = std::make_unique<Camera>(options);
        std::string error;
        EXPECT_TRUE(camera->Start(&error)) << error;
        client = std::make_unique<test::RawClient>(camera->DevicePath());
    }
    std::unique_ptr<Camera> camera;
    std::unique_ptr<test::RawClient> client;
};

TEST(SimulatedLens, MovesAndReportsTheLens)
{
    Rig rig;
    test::RawClient& client = *rig.client;
    client.SendFrame(BuildCheckLensRequest(1));
    EXPECT_EQ(client.Read(lens::kStatusLength), BuildLensStatus(1, 0, 0));
    client.SendFrame(BuildZoomRequest(1, 60));
    EXPECT_EQ(client.Read(lens::kStatusLength), BuildLensStatus(1, 60, 0)) << "once the zoom has moved";
    client.SendFrame(BuildFocusRequest(1));
    EXPECT_EQ(client.Read(lens::kDoneLength), BuildLensDoneReply(1, CMD_AUTOFOCUS_DONE));
    EXPECT_EQ(rig.camera->Lens().focus, 60);

    // Both resets run at once and take their time.
    const auto start = std::chrono::steady_clock::now();
    client.SendFrame(BuildZoomResetRequest(1));
    client.SendFrame(BuildFocusResetRequest(1));
    EXPECT_TRUE(client.ReadQuiet(1000).empty());
    const Bytes done = client.Read(2 * lens::kDoneLength);
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(2900));
    Bytes expected = BuildLensDoneReply(1, CMD_ZOOM_RESET_DONE);
    const Bytes focusDone = BuildLensDoneReply(1, CMD_FOCUS_RESET_DONE);
    expected.insert(expected.end(), focusDone.begin(), focusDone.end());
    EXPECT_EQ(done, expected);
    EXPECT_EQ(rig.camera->Lens().zoom, 0);
    EXPECT_EQ(rig.camera->Lens().focus, 0);
}

TEST(SimulatedLens, FocusValuesPeakOnceAsTheLensTurns)
{
    EXPECT_EQ(FocusValueAt(kFocusPeakAt), 987654u);
    std::uint64_t last = 0;
    for (int ms = 0; ms <= 2 * kFocusPeakAt.count(); ms += 330) {
        const std::uint64_t value = FocusValueAt(milliseconds(ms));
        EXPECT_EQ(value > last, ms <= kFocusPeakAt.count()) << ms;
        last = value;
    }

    Rig rig;
    rig.client->SendFrame(BuildFocusValueRequest(1));
    const Bytes line = rig.client->ReadQuiet(100);
    EXPECT_EQ(line, BuildFocusValueLine(FocusValueAt(milliseconds(0))));
    EXPECT_EQ(rig.camera->Lens().focusPolls, 1u);
}

TEST(SimulatedLens, RecordsTheSwitches)
{
    Rig rig;
    test::RawClient& client = *rig.client;
    for (const Bytes& request : {BuildLedRequest(1, true), BuildLightRequest(1, true), BuildAutoFocusRequest(1, true),
                                 BuildTestPattern(1, false), BuildTestPattern(1, true), BuildModelCancelRequest(1),
                                 BuildSetModelRequest(1, 0x22)})
        client.SendFrame(request);
    EXPECT_TRUE(client.ReadQuiet(100).empty()) << "none is answered";
    const LensRecord lens = rig.camera->Lens();
    EXPECT_EQ(lens.led, true);
    EXPECT_EQ(lens.testPatterns, (std::vector<bool>{false, true}));
    EXPECT_EQ(lens.modelCancels, 1);
    const CameraIdentity identity = rig.camera->Identity();
    EXPECT_TRUE(identity.whiteLight && identity.autoFocus);
    EXPECT_EQ(identity.modelCode, 0x22) << "a model is no cancel";
}

}  // namespace
}  // namespace qzr::sim
