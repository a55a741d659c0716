// A production line: a console per camera, scripted from stdin, picture and loog.txt in its --workdir only.
#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

TEST(ProductionLine, ThreeConsolesAgainstThreeCamerasAtOnce)
{
    ConsoleRun line;
    std::vector<std::unique_ptr<sim::Camera>> cameras;
    std::vector<std::unique_ptr<Child>> consoles;
    for (int n = 1; n <= 3; ++n) {
        cameras.push_back(StartCamera(static_cast<std::uint8_t>(n), 115200, /*pacing=*/true));
        consoles.push_back(line.Start("line-" + std::to_string(n),
                                      "set 1013 " + cameras.back()->DevicePath() + "\nset 1127 " + std::to_string(n) +
                                          "\ncheck 1196 1\nclick 1007\ncheck 1129 1\nclick 1009\nuntil 1024 ---OK 30000\n",
                                      {"--workdir", "camera-" + std::to_string(n)}));
    }
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("camera " + std::to_string(i + 1));
        const fs::path folder = line.Work() / ("camera-" + std::to_string(i + 1));
        EXPECT_TRUE(consoles[i]->Wait() && consoles[i]->Status() == 0) << consoles[i]->Output();
        EXPECT_EQ(SavedPictures(folder, *cameras[i]), 1u) << "the picture of this folder's camera";
        EXPECT_TRUE(fs::exists(folder / "loog.txt"));
    }
    EXPECT_FALSE(fs::exists(line.Work() / "loog.txt")) << "nothing lands where the consoles were started";
}

}  // namespace
}  // namespace qzr::test
