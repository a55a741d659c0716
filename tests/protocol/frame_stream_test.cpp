// The camera's request reader: frames out of a stream however it is cut.
#include <gtest/gtest.h>

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

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Feeds `stream` in pieces of the given sizes (cycled) and collects the frames.
std::vector<Bytes> FeedInPieces(FrameAssembler& assembler, const Bytes& stream, std::vector<std::size_t> pieces)
{
    std::vector<Bytes> frames;
    std::size_t at = 0;
    for (std::size_t i = 0; at < stream.size(); ++i) {
        const std::size_t n = std::min(pieces[i % pieces.size()], stream.size() - at);
        for (auto& f : assembler.Feed(std::span(stream).subspan(at, n)))
            frames.push_back(std::move(f));
        at += n;
    }
    return frames;
}

TEST(FrameAssembler, FramesSurviveAnySplit)
{
    const Bytes query = Stamped(BuildQueryIdRequest());
    const Bytes snapshot = Stamped(BuildSnapshotRequest(1, 5, 1));
    const std::uint8_t text[] = {'h', 'i'};
    const Bytes osd = BuildOsdFrame(1, 10, 1, 16, text);  // fixed tail, no CRC
    const Bytes stream = Concat({query, snapshot, osd});

    std::mt19937 random(7);
    std::vector<std::size_t> randomPieces;
    for (int i = 0; i < 50; ++i)
        randomPieces.push_back(1 + random() % 13);
    const std::vector<std::vector<std::size_t>> splits = {{1}, {2}, {3, 17}, {stream.size()}, randomPieces};
    for (const auto& split : splits) {
        FrameAssembler assembler;
        const auto frames = FeedInPieces(assembler, stream, split);
        ASSERT_EQ(frames.size(), 3u) << "first piece " << split.front();
        EXPECT_EQ(frames[0], query);
        EXPECT_EQ(frames[1], snapshot);
        EXPECT_EQ(frames[2], osd);
        EXPECT_EQ(assembler.Buffered(), 0u);
    }
}

TEST(FrameAssembler, ResynchronisesOnGarbage)
{
    const Bytes query = Stamped(BuildQueryIdRequest());
    Bytes badCrc = Stamped(BuildSnapshotRequest(1, 5, 1));
    badCrc.back() ^= 0x01;
    const struct {
        const char* name;
        Bytes before;
    } cases[] = {
        {"noise", {0x00, 0xFF, 0x13, 0x90, 0x90}},
        {"lone head bytes", {0x90, 0x00, 0xEB, 0x90}},
        {"frame with a broken CRC", badCrc},
        {"head claiming a huge payload", {0x90, 0xEB, 0x01, 0x02, 0xFF, 0xFF, 0x00}},
    };
    for (const auto& c : cases) {
        FrameAssembler assembler;
        const auto frames = assembler.Feed(Concat({c.before, query}));
        ASSERT_EQ(frames.size(), 1u) << c.name;
        EXPECT_EQ(frames[0], query) << c.name;
        EXPECT_GT(assembler.SkippedBytes(), 0u) << c.name;
    }
}

// A false head whose length swallows the real frame is given up when the line
// goes quiet; the real frame inside it is then found.
TEST(FrameAssembler, QuietLineGivesUpAStalledHead)
{
    const Bytes query = Stamped(BuildQueryIdRequest());
    FrameAssembler assembler;
    EXPECT_TRUE(assembler.Feed(Concat({{0x90, 0xEB, 0x00, 0x00, 0x40, 0x00}, query})).empty());
    const auto frames = assembler.Resync();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], query);
}

TEST(FrameAssembler, BufferStaysBounded)
{
    FrameAssembler assembler(64);
    const Bytes noise(100000, 0x90);
    EXPECT_TRUE(assembler.Feed(noise).empty());
    EXPECT_LE(assembler.Buffered(), 64u + frame::kOverhead);
    Bytes longHeads;
    for (int i = 0; i < 1000; ++i)
        longHeads.insert(longHeads.end(), {0x90, 0xEB, 0x01, 0x02, 0x3F, 0x00});
    EXPECT_TRUE(assembler.Feed(longHeads).empty());
    EXPECT_LE(assembler.Buffered(), 64u + frame::kOverhead);
}

}  // namespace
}  // namespace qzr
