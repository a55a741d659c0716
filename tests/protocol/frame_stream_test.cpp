// The camera's request reader: frames out of a stream however cut, past garbage and stalled heads.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "protocol/camera_id.h"
#include "protocol/frame_stream.h"
#include "protocol/osd.h"
#include "protocol/snapshot.h"

namespace qzr {
namespace {

Bytes Stamped(Bytes frame)
{
    StampCrc(frame);
    return frame;
}

// Frames amid head-free noise come out whole and in order however cut, the largest and all-head ones too.
TEST(FrameAssembler, FramesSurviveAnySplit)
{
    Bytes heads;
    for (int i = 0; i < 2048; ++i)
        heads.insert(heads.end(), {0x90, 0xEB});
    const std::vector<Bytes> sent = {Stamped(BuildQueryIdRequest()), Stamped(BuildSnapshotRequest(1, 5, 1)),
                                     BuildOsdFrame(1, 10, 1, 16, Bytes(kMaxOsdTextBytes, 'x')),  // fixed tail, no CRC
                                     Stamped(BuildFrame(1, 0x07, heads))};
    Bytes stream;
    for (const Bytes& part : {sent[0], {0x00, 0x13}, sent[1], sent[2], {0x55, 0x8F, 0xEB}, sent[3]})
        stream.insert(stream.end(), part.begin(), part.end());

    std::mt19937 random(7);
    std::vector<std::size_t> randomPieces(200);
    std::generate(randomPieces.begin(), randomPieces.end(), [&] { return 1 + random() % 40; });
    for (const auto& split : std::vector<std::vector<std::size_t>>{{1}, {3, 17}, {700}, {stream.size()}, randomPieces}) {
        FrameAssembler assembler;
        std::vector<Bytes> frames;
        for (std::size_t at = 0, i = 0, n = 0; at < stream.size(); at += n, ++i) {
            n = std::min(split[i % split.size()], stream.size() - at);
            for (auto& f : assembler.Feed(std::span(stream).subspan(at, n)))
                frames.push_back(std::move(f));
        }
        EXPECT_EQ(frames, sent) << "first piece " << split.front();
        EXPECT_EQ(assembler.Buffered(), 0u);
    }
}

// Garbage before a frame is skipped; a false head swallowing the real frame is dropped once the line idles.
TEST(FrameAssembler, FindsTheFrameAfterGarbage)
{
    const Bytes query = Stamped(BuildQueryIdRequest());
    Bytes badCrc = Stamped(BuildSnapshotRequest(1, 5, 1));
    badCrc.back() ^= 0x01;
    const struct {
        const char* name;
        Bytes garbage;
        bool stalls;
    } cases[] = {
        {"noise", {0x00, 0xFF, 0x13, 0x90, 0x90}, false},
        {"lone head bytes", {0x90, 0x00, 0xEB, 0x90}, false},
        {"a hundred thousand head bytes", Bytes(100000, 0x90), false},
        {"frame with a broken CRC", badCrc, false},
        {"head claiming more than the limit", {0x90, 0xEB, 0x01, 0x02, 0x41, 0x00, 0x00}, false},
        {"head claiming the limit, longer than what follows", {0x90, 0xEB, 0x00, 0x00, 0x40, 0x00}, true},
    };
    for (const auto& c : cases) {
        FrameAssembler assembler(64);
        EXPECT_TRUE(assembler.Feed(c.garbage).empty()) << c.name;
        EXPECT_LE(assembler.Buffered(), 64u + frame::kOverhead) << c.name;
        auto frames = assembler.Feed(query);
        EXPECT_EQ(frames.empty(), c.stalls) << c.name;
        if (c.stalls)
            frames = assembler.Resync();
        EXPECT_EQ(frames, std::vector<Bytes>{query}) << c.name;
        EXPECT_GT(assembler.SkippedBytes(), 0u) << c.name;
    }
}

}  // namespace
}  // namespace qzr
