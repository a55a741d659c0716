// The simulated camera's configuration: what it says about itself, what the
// console's model, function and batch settings change, the notice on demand.
#include <gtest/gtest.h>

#include "protocol/model.h"
#include "protocol/serial_number.h"
#include "sim/camera.h"
#include "tests/sim/raw_client.h"

namespace qzr::sim {
namespace {

TEST(SimulatedConfiguration, AnswersWhatItIsAndTakesWhatItIsSet)
{
    CameraOptions options;
    options.pacing = false;
    Camera camera(options);
    std::string error;
    ASSERT_TRUE(camera.Start(&error)) << error;
    test::RawClient client(camera.DevicePath());
    const auto ask = [&](const Bytes& request, std::size_t replyLength) {
        client.SendFrame(request);
        return client.Read(replyLength);
    };

    camera.SetIdentity({0x12345678, 2098, 12, 1, false});
    EXPECT_EQ(ask(BuildSerialNumberQuery(1), kSerialNumberReplyLength),
              BuildSerialNumberReply(1, {0x12345678, 98, 12, 1, false}));
    const struct {
        const char* name;
        Bytes request;
        std::uint8_t model, function;
    } cases[] = {
        {"set model", BuildSetModelRequest(1, 0x22), 0x22, 1},
        {"set function", BuildSetFunctionRequest(1, 5), 0x22, 5},
        {"batch setting", BuildBatchSettingRequest(1, {true, false, true, 0x3C, 2}), 0x3C, 2},
        {"set model, copies differ", {0x90, 0xEB, 0x01, 0xE3, 0x04, 0x00, 0xE3, 0xE3, 0x11, 0x12, 0xC1, 0xC2}, 0x3C, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        client.SendFrame(c.request);
        EXPECT_TRUE(client.ReadQuiet(50).empty()) << "settings are not answered";
        EXPECT_EQ(ask(BuildModelQuery(1), kModelReplyLength), BuildModelReply(1, c.model, c.function));
    }
    const CameraIdentity now = camera.Identity();
    EXPECT_TRUE(now.whiteLight && !now.autoFocus && now.alarm);

    camera.SendProductionDateNotice();
    EXPECT_EQ(client.Read(10), BuildProductionDateNotice(1));
}

}  // namespace
}  // namespace qzr::sim
