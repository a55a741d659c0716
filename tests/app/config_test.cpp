// Camera configuration in the main window: new id and rate, the rate search, Default, the setting counter,
// serial number and production date, model, Batch Setting.
#include "protocol/camera_id.h"
#include "protocol/commands.h"
#include "protocol/model.h"
#include "protocol/serial_number.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

// The bytes before the check field.
Bytes Head(const Bytes& frame) { return Bytes(frame.begin(), frame.end() - 2); }
Bytes Resized(Bytes bytes, std::size_t length) { bytes.resize(length); return bytes; }

// The camera answers an id query the moment it is written at the camera's rate.
struct ConfigRig : Rig {
    explicit ConfigRig(RigOptions options = {}) : Rig(std::move(options))
    {
        console.onWrite = [this](const Bytes& bytes) {
            if (answer && console.writes.back().rate == rate && IsQueryIdRequest(bytes)) {
                camera.Write(*answer);
                WaitQueued(Port(), static_cast<int>(answer->size()));
            }
        };
    }
    // The line rate of each id query.
    std::vector<std::uint32_t> Queries() const
    {
        std::vector<std::uint32_t> rates;
        for (const Console::Write& w : console.writes)
            if (IsQueryIdRequest(w.bytes))
                rates.push_back(w.rate);
        return rates;
    }
    // When each id query went out, in ms after `t0`.
    std::vector<std::uint64_t> QueryTimes(std::uint64_t t0) const
    {
        std::vector<std::uint64_t> times;
        for (const Console::Write& w : console.writes)
            if (IsQueryIdRequest(w.bytes))
                times.push_back(w.ms - t0);
        return times;
    }
    std::string Ids() { return console.Text(IDC_OLD_ID) + "/" + console.Text(IDC_NEW_ID) + "/" + console.Text(IDC_CAMERA_ID); }
    // Types the ID and New ID and presses "Set".
    void Set(const char* oldId, const char* newId)
    {
        console.SetText(IDC_OLD_ID, oldId);
        console.SetText(IDC_NEW_ID, newId);
        console.Click(IDC_SET_BAUD);
    }

    std::uint32_t rate = 115200;
    std::optional<Bytes> answer;  // nullopt: silent
};

// The answer at the new rate goes to all three id edits and the count.
TEST(SetIdAndBaud, SendsBothSettingsThenReadsTheIdBackAtTheNewRate)
{
    const struct {
        const char* rate;  // typed into the setting-rate combo
        int save; std::uint8_t command, code; std::uint32_t verifiedAt;
        const char *shownRate, *shownLineRate;  // the two rate combos afterwards
    } cases[] = {
        {"9600", 0, CMD_SET_BAUD, 1, 9600, "9600", "9600"},
        {"1200", 1, CMD_SET_BAUD_SAVE, 6, 1200, "1200", "115200"},  // no code: 115200's, read back at 1200
        {"", 1, CMD_SET_BAUD_SAVE, 6, 115200, "115200", "115200"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        ConfigRig rig;
        Console& console = rig.console;
        console.SetText(IDC_SET_BAUDRATE, c.rate);
        console.Check(IDC_SAVE_BAUD, c.save);
        rig.rate = c.verifiedAt;
        rig.answer = BuildQueryIdReply(2, c.code);
        const std::uint64_t t0 = console.backend.NowMs();
        rig.Set("1", "2");
        EXPECT_EQ(console.Text(IDC_INFO), "New ID is set as2");
        console.Tick(10);

        // The id, a second later the rate, both at the old rate; then the query at the new one.
        std::vector<std::tuple<Bytes, std::uint64_t, std::uint32_t>> sent;
        for (const auto& w : console.writes)
            sent.emplace_back(HasValidCrc(w.bytes) ? Head(w.bytes) : w.bytes, w.ms - t0, w.rate);
        EXPECT_EQ(sent, (std::vector<std::tuple<Bytes, std::uint64_t, std::uint32_t>>{
                            {{0x90, 0xEB, 0x01, 0x0D, 0x01, 0x00, 0x02}, 0, 115200},
                            {{0x90, 0xEB, 0x02, c.command, 0x01, 0x00, c.code}, 1000, 115200},
                            {{0x90, 0xEB, 0x00, 0x01, 0x02, 0x00, 0x55, 0xAA}, 1600, c.verifiedAt}}));
        EXPECT_EQ(rig.Ids(), "2/2/2");
        EXPECT_EQ(console.Text(IDC_SET_BAUDRATE), c.shownRate);
        EXPECT_EQ(console.Text(IDC_BAUDRATE), c.shownLineRate);
        EXPECT_EQ(console.Text(IDC_SET_COUNT), "1");
        EXPECT_TRUE(!console.Enabled(IDC_OPEN_COMMS) && console.Enabled(IDC_CLOSE_COMMS));
    }
}

// No answer at the new rate: nine queries 300 ms apart, nothing taken, the port left open at the new rate.
TEST(SetIdAndBaud, UnansweredReadBackChangesNothing)
{
    ConfigRig rig;
    rig.console.SetText(IDC_SET_BAUDRATE, "38400");
    const std::uint64_t t0 = rig.console.backend.NowMs();
    rig.Set("1", "2");
    rig.console.Tick(40);
    EXPECT_EQ(rig.Queries(), std::vector<std::uint32_t>(9, 38400));
    EXPECT_EQ(rig.QueryTimes(t0), (std::vector<std::uint64_t>{1600, 1600, 1900, 2200, 2500, 2800, 3100, 3400, 3700}));
    EXPECT_EQ(rig.Ids(), "1/2/1");
    EXPECT_EQ(rig.console.Text(IDC_SET_COUNT), "0");
    EXPECT_EQ(LineRate(rig.camera.Master()), 38400u);
    EXPECT_TRUE(rig.console.Messages().empty());
}

// A new id that cannot be, or a port that won't open, is said once with no query; Open Comms stays disabled.
TEST(SetIdAndBaud, BadIdOrPortStopsBeforeTheQuery)
{
    const char* const kNoPort = "Serial port failed to open, stop query";
    const struct { int button; const char *newId, *port, *message; bool nothingWritten; } cases[] = {
        {IDC_SET_BAUD, "256", nullptr, "New ID is set 0～255", true},
        {IDC_SET_BAUD, "-1", nullptr, "New ID is set 0～255", true},
        {IDC_SET_BAUD, "two", nullptr, "Please enter an integer.", true},
        {IDC_SET_BAUD, "2", "/dev/qzr-no-such-port", kNoPort, false},
        {IDC_CHECK_BAUD, "2", "/dev/qzr-no-such-port", kNoPort, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.newId) + " " + (c.port ? c.port : ""));
        ConfigRig rig({.connect = c.port == nullptr});
        if (c.port)
            rig.console.SetText(IDC_COMPORT, c.port);
        rig.console.SetText(IDC_NEW_ID, c.newId);
        rig.console.Click(c.button);
        rig.console.Tick(30);
        EXPECT_EQ(rig.console.Messages(), std::vector<std::string>{c.message});
        EXPECT_TRUE(rig.Queries().empty());
        EXPECT_EQ(rig.console.writes.empty(), c.nothingWritten);
        EXPECT_TRUE(!rig.console.Enabled(IDC_OPEN_COMMS) && rig.console.Enabled(IDC_CLOSE_COMMS));
    }
}

// One query per rate a second apart until a read holds a whole answer; without one the port ends at
// the Baud Rate combo's.
TEST(SearchBaudRate, FindsTheCameraByAWholeAnswerAtItsRate)
{
    const std::vector<std::uint32_t> all = {9600, 19200, 38400, 57600, 115200, 230400};
    const struct { Bytes answer; const char* ids; std::vector<std::uint32_t> queries; std::uint32_t endRate; } cases[] = {
        {{0x90, 0xEB, 0x07, 0x01, 0x00, 0x00, 0x00, 0xAA, 0x55}, "7/7/7", {9600}, 9600},
        {{0x90, 0xEB, 0x07, 0x01, 0x03, 0x00, 0x01, 0xAA}, "0/0/1", all, 115200},
        {{0x90, 0xEB, 0x07, 0x01, 0x03, 0x00, 0x01, 0xAB, 0x55}, "0/0/1", all, 115200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.size());
        ConfigRig rig;
        rig.rate = 9600;
        rig.answer = c.answer;
        const std::uint64_t t0 = rig.console.backend.NowMs();
        rig.console.Click(IDC_CHECK_BAUD);
        EXPECT_EQ(rig.Queries(), c.queries);
        std::vector<std::uint64_t> secondsApart;
        for (std::size_t i = 0; i < c.queries.size(); ++i)
            secondsApart.push_back(1000 * i);
        EXPECT_EQ(rig.QueryTimes(t0), secondsApart);
        EXPECT_EQ(rig.Ids(), c.ids);
        const std::string found = c.queries == all ? "" : std::to_string(c.endRate);  // the setting rate
        EXPECT_EQ(rig.console.Text(IDC_SET_BAUDRATE) + " " + rig.console.Text(IDC_BAUDRATE), found + " " + std::to_string(c.endRate));
        EXPECT_EQ(LineRate(rig.camera.Master()), c.endRate);
        EXPECT_TRUE(rig.console.dialog.Session().Port().IsOpen());
    }
}

TEST(DefaultSettings, CameraOneAt115200AndThePortReopened)
{
    ConfigRig rig({.connect = false});
    Console& console = rig.console;
    console.SetText(IDC_OLD_ID, "5");
    console.SetText(IDC_NEW_ID, "9");
    console.SetText(IDC_CAMERA_ID, "5");
    console.Select(IDC_SET_BAUDRATE, "38400");
    console.SetText(IDC_SET_COUNT, "4");
    console.Connect(rig.camera.SlavePath(), "57600");  // reads the edits
    console.Click(IDC_DEFAULT_SETTINGS);
    EXPECT_EQ(rig.Ids(), "1/2/1");
    EXPECT_EQ(console.Text(IDC_SET_BAUDRATE) + " " + console.Text(IDC_BAUDRATE), "115200 115200");
    EXPECT_EQ(console.Text(IDC_SET_COUNT), "4");
    EXPECT_EQ(console.Text(IDC_STATUS), "Open serial port" + rig.camera.SlavePath());
    EXPECT_EQ(LineRate(rig.camera.Master()), 115200u);
    EXPECT_TRUE(console.writes.empty());
}

// Only a workstation with the marker keeps the count.
TEST(SettingCounter, KeptInFactoryModeOnly)
{
    const std::string long98 = "5" + std::string(97, 'x'), long99 = "5" + std::string(98, 'x');
    const Settings otherMarker = {{"key", "4712"}, {"Count", "17"}};
    const struct {
        const char* name; Settings settings;
        bool clear;  // "Clear" instead of a confirmed setting
        const char *atStart, *after; bool written;
    } cases[] = {
        {"another marker", otherMarker, false, "17", "18", false},
        {"marker without Count", {{"key", "4711"}}, false, "0", "1", false},
        {"Count 12abc", {{"key", "4711"}, {"Count", "12abc"}}, false, "12", "13", true},
        {"Count of 98 bytes", {{"key", "4711"}, {"Count", long98}}, false, "5", "6", true},
        {"Count of 99 bytes: unreadable", {{"key", "4711"}, {"Count", long99}}, false, "0", "1", false},
        {"Clear", kFactorySettings, true, "17", "0", true},
        {"Clear, another marker", otherMarker, true, "17", "0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigRig rig({.settings = c.settings});
        EXPECT_EQ(rig.console.Text(IDC_SET_COUNT), c.atStart);
        rig.answer = BuildQueryIdReply(2, 6);
        if (c.clear)
            rig.console.Click(IDC_CLEAR_COUNT);
        else
            rig.Set("1", "2");
        rig.console.Tick(10);
        EXPECT_EQ(rig.console.Text(IDC_SET_COUNT), c.after);
        const Settings written = {{"key", "4711"}, {"Count", c.after}};
        EXPECT_EQ(rig.store.values, c.written ? written : c.settings);
    }
}

// Serial number and date in their box, model and function mode in the log; a reply a byte off is ignored.
TEST(CheckDateAndModel, ShowWhatTheCameraTells)
{
    ConfigRig rig;
    Console& console = rig.console;
    console.Check(IDC_SUB_PACKET, 1);
    console.Click(IDC_CHECK_DATE);
    EXPECT_EQ(console.Text(IDC_WHOLE_PACKAGE), "1") << "replies are read in whole-package mode";
    EXPECT_EQ(console.writes.back().bytes, Hex("90 EB 01 51 00 00 4A 1F"));
    console.Click(IDC_CHECK_MODEL);
    EXPECT_EQ(console.writes.back().bytes, Hex("90 EB 01 B7 06 00 01 02 03 04 05 06 99 CC"));
    const Bytes date = BuildSerialNumberReply(1, {0x1E240, 18, 7, 31, true}), model = BuildModelReply(1, 0x22, 3);
    Bytes copiesDiffer = BuildModelReply(1, 0x22, 1);
    copiesDiffer[10] = 0x23;
    const struct { int button; Bytes reply; const char* shown; } cases[] = {
        {IDC_CHECK_DATE, BuildSerialNumberReply(1, {0x1E240, 18, 7, 31, false}),
         "Serial Number error 1e240   Production date 7/31  2018  "},
        {IDC_CHECK_DATE, BuildSerialNumberReply(1, {0xFFFFFFFF, 98, 12, 31}), "Serial Number ffffffff   Production date 12/31  2098  "},
        {IDC_CHECK_DATE, BuildSerialNumberReply(1, {0x1E240, 18, 13, 31}), "查询出错"},  // the date limits are the decoder checks'
        {IDC_CHECK_DATE, Resized(date, 17), "Checking…"},
        {IDC_CHECK_MODEL, copiesDiffer, "Complete： Mode error  Fun1"},
        {IDC_CHECK_MODEL, BuildModelReply(1, 0x55, 2), "Complete： Mode error  Mode：2"},  // J series: set, never named
        {IDC_CHECK_MODEL, BuildModelReply(1, 0x11, 100), "Complete： QZR-L1N  Fun1"},
        {IDC_CHECK_MODEL, BuildModelReply(1, 0x66, 0), "Complete： Mode error  Fun1"},
        {IDC_CHECK_MODEL, Resized(model, 13), "Checking…"},
        {IDC_CHECK_MODEL, Resized(model, 15), "Checking…"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        const int box = c.button == IDC_CHECK_DATE ? IDC_DATE : IDC_LOG;
        console.Click(c.button);
        EXPECT_EQ(console.Text(box), "Checking…");
        rig.Send(c.reply);
        EXPECT_EQ(console.Text(box), c.shown);
    }
}

// In factory mode a notice is found anywhere in a chunk of 9 bytes or more.
TEST(ProductionDateNotice, ShownInFactoryModeOnly)
{
    const struct { const char* name; bool factory; Bytes chunk; bool shown; } cases[] = {
        {"outside factory mode", false, BuildProductionDateNotice(1), false},
        {"behind a byte, 9 bytes", true, {0x00, 0x90, 0xEB, 0x05, 0xF1, 0x00, 0x00, 0xF1, 0xF1}, true},
        {"alone in 8 bytes", true, {0x90, 0xEB, 0x05, 0xF1, 0x00, 0x00, 0xF1, 0xF1}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigRig rig({.settings = c.factory ? kFactorySettings : Settings{}});
        rig.Send(c.chunk);
        EXPECT_EQ(rig.console.Text(IDC_LOG), c.shown ? "**********设置生产日期**********" : "");
    }
}

// The choices of the settings dialog in one frame, in factory mode only.
TEST(BatchSetting, SendsTheChoicesInFactoryMode)
{
    const struct {
        const char* name; bool factory; const char* model;
        std::vector<Bytes> sent;  // the bytes before the check field
        std::vector<std::string> messages;
    } cases[] = {
        {"factory", true, "QZR-H3", {{0x90, 0xEB, 0x01, 0xE8, 0x06, 0x00, 0x33, 0xCC, 0x33, 0x33, 0x33, 0x04}}, {}},
        {"outside factory mode", false, "QZR-H3", {}, {}},
        {"unknown model", true, "QZR-H", {{0x90, 0xEB, 0x01, 0xE8, 0x06, 0x00, 0x33, 0xCC, 0x33, 0x11, 0x11, 0x04}},
         {"型号出错--未知"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigRig rig({.settings = c.factory ? kFactorySettings : Settings{}});
        rig.console.dialog.Session().m_choices = {c.model, 4, 1, 0, 1};
        rig.console.Check(IDC_SUB_PACKET, 1);
        rig.console.Click(IDC_BATCH_SETTING);
        std::vector<Bytes> sent;
        for (const auto& write : rig.console.writes) {
            EXPECT_TRUE(HasValidCrc(write.bytes));
            sent.push_back(Head(write.bytes));
        }
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(rig.console.Messages(), c.messages);
        EXPECT_EQ(rig.console.Text(IDC_LOG), c.factory ? "设置中..." : "");
        EXPECT_EQ(rig.console.Text(IDC_WHOLE_PACKAGE), "1");
    }
}

}  // namespace
}  // namespace qzr::test
