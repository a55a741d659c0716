// The burst and quick shot frames, checked against byte vectors written out by
// hand (CRCs computed outside this code), and read back the way the burst
// window and the simulator read them.
#include <gtest/gtest.h>

#include "protocol/burst.h"
#include "protocol/quick_shot.h"

namespace qzr {
namespace {

constexpr CameraTime kMarch5 = {2026, 3, 5, 14, 7, 9};

TEST(BurstFrames, BuildersProduceTheWireBytes)
{
    const std::string name = "20260305140709_01";
    const struct {
        const char* name;
        Bytes built, expected;
    } cases[] = {
        {"burst of 5 at 640x480, quality 2, every 3 s", BuildBurstShootRequest(1, {5, 2, 5, 3, kMarch5}),
         {0x90, 0xEB, 0x01, 0x41, 0x0A, 0x00, 0x05, 0x02, 0x05, 0x03, 0x1A, 0x03, 0x05, 0x0E, 0x07, 0x09, 0xC1, 0xC2}},
        {"the latest 20", BuildListFilesRequest(1, {20, true, std::nullopt}),
         {0x90, 0xEB, 0x01, 0x43, 0x0A, 0x00, 0x00, 0x14, 0x01, 0xFF, 0, 0, 0, 0, 0, 0, 0xC1, 0xC2}},
        {"before the date", BuildListFilesRequest(7, {3, false, kMarch5}),
         {0x90, 0xEB, 0x07, 0x43, 0x0A, 0x00, 0x00, 0x03, 0x00, 0xFF, 0x1A, 0x03, 0x05, 0x0E, 0x07, 0x09, 0xC1, 0xC2}},
        {"get file", BuildGetFileRequest(1, {1024, name}),
         {0x90, 0xEB, 0x01, 0x45, 0x14, 0x00, 0x00, 0x04, '2', '0', '2', '6', '0', '3', '0', '5', '1', '4', '0', '7',
          '0', '9', '_', '0', '1', 0x00, 0xC1, 0xC2}},
        {"burst over, 5 taken", BuildBurstStatus(1, burst::kFinished, 5),
         {0x90, 0xEB, 0x01, 0x42, 0x04, 0x00, 0x05, 0x08, 0x00, 0x00, 0x99, 0xE9}},
        {"one name", BuildFileListReply(1, std::vector<std::string>{name}),
         {0x90, 0xEB, 0x01, 0x44, 0x12, 0x00, '2', '0', '2', '6', '0', '3', '0', '5', '1', '4', '0', '7', '0', '9', '_',
          '0', '1', 0x00, 0xD6, 0x11}},
        {"quick shot", BuildQuickSnapshotRequest(), {0x90, 0xEB, 0x01, 0x40, 0x02, 0x00, 0x55, 0xAA, 0xC1, 0xC2}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.built, c.expected) << c.name;
}

// The simulator reads back what the window builds; other frames are refused.
TEST(BurstFrames, RequestsReadBack)
{
    const BurstShootRequest shoot{30, 4, 255, 0, {2099, 12, 31, 23, 59, 58}};
    EXPECT_EQ(ParseBurstShootRequest(BuildBurstShootRequest(1, shoot)), shoot);
    for (const ListFilesRequest& list : {ListFilesRequest{20, true, std::nullopt}, ListFilesRequest{1, false, kMarch5},
                                         ListFilesRequest{255, true, kMarch5}})
        EXPECT_EQ(ParseListFilesRequest(BuildListFilesRequest(1, list)), list);
    const GetFileRequest file{512, "ABCDEFGHIJKLMNOPQ"};
    EXPECT_EQ(ParseGetFileRequest(BuildGetFileRequest(1, file)), file);
    EXPECT_TRUE(IsQuickSnapshotRequest(BuildQuickSnapshotRequest()));

    Bytes shortShoot = BuildBurstShootRequest(1, shoot);
    shortShoot.erase(shortShoot.begin() + 10);
    shortShoot[4] = 9;
    Bytes otherPayload = BuildQuickSnapshotRequest();
    otherPayload[7] = 0xAB;
    EXPECT_FALSE(ParseBurstShootRequest(shortShoot));
    EXPECT_FALSE(ParseListFilesRequest(BuildGetFileRequest(1, file)));
    EXPECT_FALSE(ParseGetFileRequest(BuildListFilesRequest(1, {1, true, std::nullopt})));
    EXPECT_FALSE(IsQuickSnapshotRequest(otherPayload));
}

// A list is read by its length field: whole 18-byte entries, each up to its
// zero byte; a remainder is ignored, and entries never reach past the bytes.
TEST(BurstFrames, FileListEntries)
{
    Bytes list = BuildFileListReply(1, std::vector<std::string>{"AAAAAAAAAAAAAAAAA", "BBBBBBBBBBBBBBBB"});
    ASSERT_EQ(list.size(), 36u + 8u);
    list.insert(list.end() - 2, 0x33);  // L = 37
    list[4] = 37;
    const auto entries = FileListEntries(list);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(FileEntryText(entries[0]), "AAAAAAAAAAAAAAAAA");
    EXPECT_EQ(FileEntryText(entries[1]), "BBBBBBBBBBBBBBBB");

    const Bytes unterminated(18, 'Z');
    EXPECT_EQ(FileEntryText(unterminated).size(), 18u);
    Bytes lying = BuildFileListReply(1, std::vector<std::string>{"CCCCCCCCCCCCCCCCC"});
    lying[4] = 0xFF;  // announces 14 entries, holds one
    EXPECT_EQ(FileListEntries(lying).size(), 1u);
    EXPECT_TRUE(FileListEntries(BuildFileListReply(1, {})).empty());
}

// The window takes its buffer as exactly one frame, or not at all.
TEST(BurstFrames, ExactlyOneFrame)
{
    const Bytes status = BuildBurstStatus(1, burst::kStarted, 0);
    Bytes two = status;
    two.insert(two.end(), status.begin(), status.end());
    const Bytes shortOfOne(status.begin(), status.end() - 1);
    const Bytes headOnly = {0x90, 0xEB, 0x01, 0x42, 0x00, 0x00};
    EXPECT_TRUE(IsExactlyOneFrame(status));
    EXPECT_TRUE(IsExactlyOneFrame(Bytes{0x00, 0xEB, 0x01, 0x42, 0x00, 0x00, 0x00, 0x00})) << "the head is judged after";
    EXPECT_FALSE(IsExactlyOneFrame(two));
    EXPECT_FALSE(IsExactlyOneFrame(shortOfOne));
    EXPECT_FALSE(IsExactlyOneFrame(headOnly));
    EXPECT_EQ(ParseBurstState(status), burst::kStarted);
    EXPECT_FALSE(ParseBurstState(headOnly));
}

}  // namespace
}  // namespace qzr
