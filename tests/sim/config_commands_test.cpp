// The simulated camera's configuration: what it says about itself, what the
// console's model, function and batch settings change, the notice on demand,
// and the id query heard at a rate termios has no name for.
#include <gtest/gtest.h>

#include "protocol/camera_id.h"
#include "protocol/model.h"
#include "protocol/serial_number.h"
#include "sim/camera.h"
#include "tests/sim/raw_client.h"

namespace qzr::sim {
namespace {

using test::RawClient;

struct Rig {
    explicit Rig(std::uint32_t baud = 115200)
    {
        CameraOptions options;
        options.pacing = false;
        options.baud = baud;
        camera = std::make_unique<Camera>(options);
        std::string error;
        EXPECT_TRUE(camera->Start(&error)) << error;
        client = std::make_unique<RawClient>(camera->DevicePath(), baud);
    }
    Bytes Ask(const Bytes& request, std::size_t replyLength)
    {
        client->SendFrame(request);
        return client->Read(replyLength);
    }
    std::unique_ptr<Camera> camera;
    std::unique_ptr<RawClient> client;
};

TEST(SimulatedConfiguration, AnswersWhatItIsAndTakesWhatItIsSet)
{
    Rig rig;
    CameraIdentity identity;
    identity.serialNumber = 0x12345678;
    identity.year = 2098;
    identity.month = 12;
    identity.day = 1;
    identity.serialValid = false;
    rig.camera->SetIdentity(identity);
    const auto serial = ParseSerialNumberReply(rig.Ask(BuildSerialNumberQuery(1), kSerialNumberReplyLength));
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->serialNumber, 0x12345678u);
    EXPECT_EQ(serial->year, 98);
    EXPECT_EQ(serial->month, 12);
    EXPECT_EQ(serial->day, 1);
    EXPECT_FALSE(serial->serialValid);

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
        rig.client->SendFrame(c.request);
        EXPECT_TRUE(rig.client->ReadQuiet(50).empty()) << "settings are not answered";
        const auto model = ParseModelReply(rig.Ask(BuildModelQuery(1), kModelReplyLength));
        ASSERT_TRUE(model);
        EXPECT_EQ(model->modelCode, c.model);
        EXPECT_EQ(model->modelCodeAgain, c.model);
        EXPECT_EQ(model->functionMode, c.function);
    }
    const CameraIdentity now = rig.camera->Identity();
    EXPECT_TRUE(now.whiteLight && !now.autoFocus && now.alarm);

    rig.camera->SendProductionDateNotice();
    EXPECT_EQ(rig.client->Read(10), BuildProductionDateNotice(1));
}

// The id query is answered only when it was sent at the camera's rate.
TEST(SimulatedConfiguration, RateWithoutATermiosNameIsHeardExactly)
{
    Rig rig(256000);
    for (std::uint32_t rate : {230400u, 250000u, 256000u}) {
        SCOPED_TRACE(rate);
        rig.client->SetLine(rate);
        if (rate == 256000) {
            EXPECT_EQ(rig.Ask(BuildQueryIdRequest(), 11), BuildQueryIdReply(1, 8));
        } else {
            rig.client->SendFrame(BuildQueryIdRequest());
            EXPECT_TRUE(rig.client->ReadQuiet().empty());
        }
    }
}

}  // namespace
}  // namespace qzr::sim
