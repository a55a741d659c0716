// Lens control end to end: the built qzr-console under a headless script
// against the simulated camera over a pseudo-terminal. The operator focuses
// by hand until the value has peaked, then stops and takes the picture.
#include <algorithm>
#include <cctype>

#include "tests/e2e/console_run.h"

namespace qzr::test {
namespace {

// The values of the camera text box's lines as `print` shows them (line ends
// escaped, thousands separated).
std::vector<std::uint64_t> Values(const std::string& printed)
{
    std::vector<std::uint64_t> values;
    for (std::size_t at = 0, end = 0; at < printed.size(); at = end + 4) {
        end = std::min(printed.find("\\r\\n", at), printed.size());
        std::string digits;
        std::copy_if(printed.begin() + at, printed.begin() + end, std::back_inserter(digits), ::isdigit);
        if (!digits.empty())
            values.push_back(std::stoull(digits));
    }
    return values;
}

TEST(LensEndToEnd, ManualFocusPastThePeakThenStopAndSnapshot)
{
    const auto camera = StartCamera(1, 115200, /*pacing=*/true);
    ConsoleRun console;
    const std::string script = "set 1013 " + camera->DevicePath() +
                               "\nclick 1007\ncheck 1129 1\nclick 1123\nclick 1166\n"
                               "click 1168\nprint 1168\nwait " +
                               std::to_string(sim::kFocusPeakAt.count() + 2000) +
                               "\nclick 1171\nuntil 1024 ---OK 10000\nprint 1168\nprint 1170\n";
    const RunResult run = console.Script(script);
    ASSERT_EQ(run.status, 0) << run.err << run.out;

    ASSERT_EQ(run.out.rfind("1168=Stop Focusing\npicture: 640x480 at ", 0), 0u) << run.out;
    EXPECT_EQ(run.out.find("picture:", run.out.find("picture:") + 1), std::string::npos) << "one picture only";
    EXPECT_NE(run.out.find("\n1168=Start Focusing\n"), std::string::npos) << run.out;

    // The values rose to one peak and fell again before the picture.
    const std::size_t text = run.out.find("1170=");
    ASSERT_NE(text, std::string::npos);
    const std::vector<std::uint64_t> values = Values(run.out.substr(text + 5, run.out.find('\n', text) - text - 5));
    ASSERT_GE(values.size(), 10u) << run.out;
    const auto peak = std::max_element(values.begin(), values.end());
    EXPECT_TRUE(peak != values.begin() && peak + 1 != values.end()) << run.out;
    EXPECT_TRUE(std::is_sorted(values.begin(), peak + 1)) << run.out;
    EXPECT_TRUE(std::is_sorted(peak, values.end(), std::greater<>())) << run.out;

    const Bytes last = camera->LastPicture();
    const std::vector<fs::path> pictures = Pictures(console.Work());
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(ReadFile(pictures[0]), std::string(last.begin(), last.end())) << "the camera's picture saved";

    const sim::LensRecord lens = camera->Lens();
    EXPECT_EQ(lens.led, true);
    EXPECT_EQ(lens.testPatterns, std::vector<bool>{false});
    EXPECT_LE(lens.focusPolls - values.size(), 1u) << "only a poll sent as focusing stopped may go unshown";
}

}  // namespace
}  // namespace qzr::test
