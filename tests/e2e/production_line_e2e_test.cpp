// A production line checks several cameras at once: one headless console per
// port, each with its own folder, started side by side.
#include <thread>

#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

// Each console reads its script from standard input and writes its pictures
// and loog.txt into its own folder (--workdir), made for it; every camera's
// picture lands in its own folder and nowhere else.
TEST(ProductionLine, ThreeConsolesAgainstThreeCamerasAtOnce)
{
    constexpr int kCameras = 3;
    std::vector<std::unique_ptr<sim::Camera>> cameras;
    for (int i = 0; i < kCameras; ++i)
        cameras.push_back(StartCamera(static_cast<std::uint8_t>(i + 1), 115200, /*pacing=*/true));
    ConsoleRun run;
    const fs::path line = run.Work();
    std::vector<int> status(kCameras, -1);
    std::vector<std::thread> consoles;
    for (int i = 0; i < kCameras; ++i) {
        const std::string n = std::to_string(i + 1);
        std::ofstream(line / ("script-" + n)) << "set 1013 " << cameras[i]->DevicePath() << "\nset 1127 " << n
                                              << "\ncheck 1196 1\nclick 1007\ncheck 1129 1\nclick 1009\n"
                                                 "until 1024 ---OK 30000\n";
        const std::string command = "cd '" + line.string() + "' && XDG_CONFIG_HOME='" + run.Config().string() +
                                    "' timeout -s KILL 60 '" QZR_CONSOLE "' --headless --script - --workdir camera-" +
                                    n + " <script-" + n + " >out-" + n + " 2>&1";
        consoles.emplace_back([command, &status, i] {
            const int result = std::system(command.c_str());
            status[i] = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        });
    }
    for (std::thread& console : consoles)
        console.join();

    for (int i = 0; i < kCameras; ++i) {
        const std::string n = std::to_string(i + 1);
        SCOPED_TRACE("camera " + n);
        EXPECT_EQ(status[i], 0) << ReadFile(line / ("out-" + n));
        const std::vector<fs::path> pictures = Pictures(line / ("camera-" + n));
        ASSERT_EQ(pictures.size(), 1u);
        const Bytes jpeg = cameras[i]->LastPicture();
        EXPECT_EQ(ReadFile(pictures[0]), std::string(jpeg.begin(), jpeg.end())) << "the picture of this folder's camera";
        EXPECT_TRUE(fs::exists(line / ("camera-" + n) / "loog.txt"));
    }
    EXPECT_FALSE(fs::exists(line / "loog.txt")) << "nothing lands where the consoles were started";
}

}  // namespace
}  // namespace qzr::test
