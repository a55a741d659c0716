// Firmware upgrade in the main window: the program file, Upload and its refusals, the packets served at the
// camera's requests (a camera keeping the program byte for byte: the end-to-end test).
#include <random>

#include "protocol/commands.h"
#include "protocol/firmware.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

Bytes RandomProgram(std::size_t size, unsigned seed = 7)
{
    std::mt19937 random(seed);
    Bytes program(size);
    for (auto& b : program)
        b = static_cast<std::uint8_t>(random());
    return program;
}

std::string PacketLog(int number, int count, int length)
{
    return "发送程序包  第 " + std::to_string(number) + " 包  共 " + std::to_string(count) + " 包   包长：" +
           std::to_string(length) + " ";
}

// The main window connected to a camera the test plays on a pseudo-terminal.
class FirmwareUpgrade : public ::testing::Test, public Rig {
protected:
    // "Open File" on `path`, or on a new file holding `program`.
    void Load(const Bytes& program)
    {
        const auto path = dir.Path() / ("program" + std::to_string(m_files++) + ".bin");
        WriteFile(path, program);
        LoadPath(path);
    }
    void LoadPath(const std::filesystem::path& path)
    {
        console.backend.QueueFileAnswer(path.string());
        console.Click(IDC_OPEN_FIRMWARE);
    }
    // Loads `program`, presses Upload and reads the start frame.
    Bytes Upload(const Bytes& program)
    {
        Load(program);
        console.Click(IDC_UPLOAD);
        return Heard(upgrade::kStartFrameLength);
    }
    // The camera sends `chunk`; what the console wrote back.
    Bytes Answer(const Bytes& chunk)
    {
        console.writes.clear();
        Send(chunk);
        return camera.ReadAvailable(20);
    }
    std::string Progress() const { return console.Text(IDC_FIRMWARE_PROGRESS); }

private:
    int m_files = 0;
};

// Start frame byte by byte, packets in 128-byte pieces counted once however often asked; then nothing read.
TEST_F(FirmwareUpgrade, ServesTheProgramPacketByPacketAtTheCamerasRequests)
{
    Load(RandomProgram(10000));
    console.writes.clear();
    console.Click(IDC_UPLOAD);
    EXPECT_EQ(Heard(12), (Bytes{0x90, 0xEB, 0x01, 0x88, 0x04, 0x00, 0x03, 0x00, 0x10, 0x07, 0x6E, 0x91}));
    EXPECT_EQ(console.writes.size(), 12u) << "the start frame goes out a byte at a time";
    EXPECT_EQ(console.Text(IDC_CRC_OUTPUT), "6e 91");
    EXPECT_EQ(Progress(), "0/10000 bytes, 0 B/s");

    // Any order, any packet again; each counts once towards the progress.
    const struct {
        std::uint16_t index;
        int length;  // the length field D
        const char* progress;
    } requests[] = {{2, 1810, "1808/10000 bytes"}, {0, 4098, "5904/10000 bytes"}, {2, 1810, "5904/10000 bytes"}};
    for (const auto& r : requests) {
        SCOPED_TRACE(r.index);
        const Bytes sent = Answer(BuildUpgradeRequest(1, r.index));
        const auto packet = ParseUpgradePacket(sent);
        ASSERT_TRUE(packet) << sent.size() << " bytes";
        EXPECT_EQ(packet->index, r.index);
        EXPECT_EQ(LengthField(sent), r.length);
        EXPECT_EQ(console.writes.size(), 2 + (r.length + 125) / 128u) << "the head, pieces of 128, the CRC";
        EXPECT_EQ(Progress().substr(0, std::string(r.progress).size()), r.progress);
    }
    EXPECT_EQ(Answer(BuildUpgradeDone(1, 3)), Bytes{});
    EXPECT_EQ(console.Text(IDC_LOG), PacketLog(3, 3, 1810) + "   更新完成!!");
    EXPECT_TRUE(console.Enabled(IDC_UPLOAD));
    EXPECT_EQ(Answer(BuildUpgradeRequest(1, 0)), Bytes{}) << "no request is read once the upgrade is over";
}

// What Open File takes, and what Upload then announces or refuses.
TEST_F(FirmwareUpgrade, OpenFileTakesProgramsUpTo409600Bytes)
{
    const std::string directory = dir.Path().string();
    const struct {
        std::optional<Bytes> program;  // nullopt: the path given instead
        std::string path;
        const char *log, *message;  // nullptr: the log box unchanged, no message
        UpgradePlan announced;  // {0, 0}: Upload answers "No file is selected"
    } cases[] = {
        {RandomProgram(409600), "", "程序长度：409600   包数：100  刚好全是整包", nullptr, {100, 0}},
        {RandomProgram(409601), "", nullptr, "程序过大，请检查是否错了", {}},
        {Bytes{}, "", "程序长度：0   包数：0  刚好全是整包", nullptr, {}},
        {std::nullopt, directory + "/nothing.bin", nullptr, "文件打开失败", {}},
        {std::nullopt, directory, nullptr, "文件打开失败", {}},  // a directory: unreadable
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program ? std::to_string(c.program->size()) : c.path);
        console.SetText(IDC_LOG, "before");
        console.backend.ClearRecords();
        c.program ? Load(*c.program) : LoadPath(c.path);
        EXPECT_EQ(console.Text(IDC_LOG), c.log ? c.log : "before");
        EXPECT_EQ(console.Messages(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});

        console.backend.ClearRecords();
        console.Click(IDC_UPLOAD);
        if (c.announced.packetCount > 0) {
            EXPECT_EQ(ParseUpgradeStart(Heard(upgrade::kStartFrameLength)), c.announced);
            const std::uint16_t last = c.announced.packetCount - 1;
            EXPECT_EQ(LengthField(Answer(BuildUpgradeRequest(1, last))), 4098);
        } else {
            EXPECT_EQ(console.Messages(), std::vector<std::string>{"No file is selected"});
        }
        EXPECT_FALSE(console.Enabled(IDC_UPLOAD));
        console.Click(IDC_CANCEL_UPLOAD);
    }
}

// Requests gathered across reads; nothing stale stands in front of the next.
TEST_F(FirmwareUpgrade, RequestsAreGatheredAcrossReads)
{
    const Bytes program = RandomProgram(10000);
    Upload(program);
    const Bytes request = BuildUpgradeRequest(1, 1);
    const auto wrongCrc = [](Bytes frame) { frame.back() ^= 0xFF; return frame; };
    const Bytes tooLong = {0x90, 0xEB, 0x01, 0x90, 0x2C, 0x01, 0x01, 0x00};  // a length of 300

    const char* const kUnchanged = "";
    const struct {
        const char* name; std::vector<Bytes> chunks;
        bool answered;    // with packet 1
        const char* log;  // after the last chunk
    } cases[] = {
        {"whole", {request}, true, nullptr},
        {"6 bytes, then the rest", {Slice(request, 0, 6), Slice(request, 6)}, true, nullptr},
        {"CRC missing, then it", {Slice(request, 0, 8), Slice(request, 8)}, true, nullptr},
        {"wrong CRC", {wrongCrc(request)}, true, nullptr},
        {"wrong CRC, packet N", {wrongCrc(BuildUpgradeRequest(1, 3))}, false, "CRC  error"},
        {"packet N", {BuildUpgradeRequest(1, 3)}, false, kUnchanged},
        {"127-byte first chunk", {request + Bytes(117, 0)}, true, nullptr},
        {"128-byte first chunk", {request + Bytes(118, 0)}, false, kUnchanged},
        {"not a frame head", {{0x00, 0x90, 0xEB}}, false, kUnchanged},
        {"another camera", {BuildUpgradeRequest(2, 1)}, false, "地址不对"},
        {"length beyond the buffer", {tooLong}, false, "请求帧  长度不够"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = console.Text(IDC_LOG);
        for (std::size_t i = 0; i + 1 < c.chunks.size(); ++i)
            ASSERT_EQ(Answer(c.chunks[i]), Bytes{}) << "answered before the request was whole";
        const auto packet = ParseUpgradePacket(Answer(c.chunks.back()));
        EXPECT_EQ(packet ? packet->index : -1, c.answered ? 1 : -1);
        const std::string log = !c.log ? PacketLog(2, 3, 4098) : c.log == kUnchanged ? before : c.log;
        EXPECT_EQ(console.Text(IDC_LOG), log);

        const auto next = ParseUpgradePacket(Answer(BuildUpgradeRequest(1, 0)));
        ASSERT_TRUE(next) << "a stale request blocks the next";
        EXPECT_EQ(next->index, 0);
    }
}

// Upload refused on a closed port (silently) and while upgrading, where a click queued earlier still arrives;
// Snapshot refused; a program opened meanwhile is served; Cancel ends it.
TEST_F(FirmwareUpgrade, WindowWhileUpgrading)
{
    Load(RandomProgram(100));
    console.Click(IDC_CLOSE_COMMS);
    console.Click(IDC_UPLOAD);
    EXPECT_FALSE(console.Enabled(IDC_UPLOAD)) << "refused until Cancel";
    console.Click(IDC_CANCEL_UPLOAD);
    console.Click(IDC_OPEN_COMMS);
    Upload(RandomProgram(10000));
    console.dialog.HandleCommand(IDC_UPLOAD, ui::Notification::Clicked);
    EXPECT_EQ(camera.ReadAvailable(20), Bytes{}) << "no second start frame";
    console.SetText(IDC_OSD_TEXT, "typed");
    console.Check(IDC_SAVE_IMAGE, 1);
    console.Tick(5);
    Answer(BuildUpgradeRequest(1, 0));
    EXPECT_EQ(console.Text(IDC_OSD_TEXT), "typed");
    EXPECT_EQ(console.Text(IDC_SAVE_IMAGE), "1");

    console.Click(IDC_SNAPSHOT);
    EXPECT_EQ(console.Messages(), (std::vector<std::string>{"已启动更新，需要停止后，才能重新启动更新", "正在更新程序，不能拍照"}));
    EXPECT_EQ(camera.ReadAvailable(20), Bytes{});

    const Bytes second = RandomProgram(5000, 9);
    Load(second);
    EXPECT_EQ(console.Text(IDC_LOG), "程序长度：5000   包数：2  最后包长：904");
    EXPECT_FALSE(console.Enabled(IDC_UPLOAD));
    const Bytes sent = Answer(BuildUpgradeRequest(1, 1));
    const auto packet = ParseUpgradePacket(sent);
    ASSERT_TRUE(packet);
    EXPECT_TRUE(Bytes(packet->data.begin(), packet->data.end()) == Slice(second, 4096, 904));
    EXPECT_EQ(Progress().substr(0, 15), "904/5000 bytes,");
    EXPECT_EQ(Answer(BuildUpgradeRequest(1, 2)), Bytes{}) << "packet 2 is beyond the new program";
    console.Click(IDC_CANCEL_UPLOAD);
    EXPECT_TRUE(console.Enabled(IDC_UPLOAD));
}

}  // namespace
}  // namespace qzr::test
