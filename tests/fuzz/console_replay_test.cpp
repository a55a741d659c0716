// The console fuzz programs' committed corpora, every input that once found a fault
// among them, replayed through the same harness in every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/fuzz/console_harness.h"

namespace qzr::fuzz {
namespace {

namespace fs = std::filesystem;

TEST(ConsoleCorpus, EveryInputLeavesAConsoleThatTakesAPicture)
{
    for (const Family family : kFamilies) {
        const fs::path folder = fs::path(QZR_CORPUS_DIR) / FamilyName(family);
        std::vector<fs::path> files;
        if (fs::is_directory(folder))
            files.assign(fs::directory_iterator(folder), fs::directory_iterator{});
        std::sort(files.begin(), files.end());
        EXPECT_FALSE(files.empty()) << folder;
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            const Bytes input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            EXPECT_EQ(RunConsole(family, input), std::nullopt) << file;
        }
    }
}

// A hang-up is reported in every family, and the device comes back.
TEST(ConsoleCorpus, HangUpAndReturnAreSteps)
{
    // A tick; the line hangs up; two ticks; it comes back; a tick.
    const Bytes input = {1, 0, 4, 0, 1, 1, 4, 1, 1, 0};
    for (const Family family : kFamilies)
        EXPECT_EQ(RunConsole(family, input), std::nullopt) << FamilyName(family);
}

}  // namespace
}  // namespace qzr::fuzz
