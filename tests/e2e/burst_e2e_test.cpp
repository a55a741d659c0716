// The burst test and quick shot windows of the built qzr-console, run headless
// under a script against the simulated camera.
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

// A burst of 3 a second apart, its end awaited, the latest pictures listed,
// the second fetched and drawn at the area's height; then a quick shot.
TEST(BurstEndToEnd, BurstListFetchAndQuickShot)
{
    const auto camera = StartCamera();
    ConsoleRun console;
    const RunResult run = console.Script(
        "click 1187\nset 1013 " + camera->DevicePath() +
        "\nclick 1007\nselect 1124 160x120\nset 1193 3\nset 1195 1\nclick 1008\nuntil 1024 连拍完成 20000\n"
        "click 1009\nuntil 1021 共有3个图片文件 5000\nprint 1186\ndblclick 1186 1\nuntil 1021 Show Jpeg--OK 20000\n"
        "click 1\nclick 1015\nset 1013 " + camera->DevicePath() + "\nclick 1008\nclick 1007\nuntil 1131 show 30000\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    const std::vector<std::string> names = camera->StoredPictureNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(run.out, "1186=1\t" + names[0] + "\t\n2\t" + names[1] + "\t\n3\t" + names[2] + "\t\nmessage: " + names[1] +
                           "\npicture: 160x120 at 112,24,580,435\npicture: 640x480 at 0,0,800,490\n");
}

}  // namespace
}  // namespace qzr::test
