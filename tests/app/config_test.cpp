// Camera configuration in the main window: a new id and rate read back at the
// new rate, the rate search, Default, the setting counter in the workstation's
// settings, the serial number with the production-date notice, the model and
// Batch Setting. The console's waits run on the virtual clock; the camera is
// played by the test on a pseudo-terminal.
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "protocol/camera_id.h"
#include "protocol/commands.h"
#include "serial/line_rate.h"
#include "settings/qsettings_store.h"
#include "tests/app/console.h"

namespace qzr::test {
namespace {

namespace fs = std::filesystem;

// The settings this test program reads and writes: XDG_CONFIG_HOME points at a
// directory of its own, set before the first test here opens the settings and
// kept for the rest of the run (the settings library takes the path once).
class SettingsHome {
public:
    SettingsHome() : m_dir(fs::temp_directory_path() / ("qzr-config-test-" + std::to_string(::getpid())))
    {
        fs::create_directories(m_dir);
        ::setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    ~SettingsHome()
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    fs::path File() const { return m_dir / "qzr" / "no.conf"; }

    // Writes the settings file, or removes it for nullopt. Each file gets a
    // time of its own in the past: the settings library reads a file again
    // only when its size or time changed, and a case follows the last within
    // the same millisecond.
    void Write(const std::optional<std::string>& ini) const
    {
        std::error_code ec;
        fs::remove(File(), ec);
        if (!ini)
            return;
        fs::create_directories(File().parent_path());
        std::ofstream(File()) << *ini;
        static int written = 0;
        fs::last_write_time(File(), fs::file_time_type::clock::now() - std::chrono::seconds(++written));
    }
    std::optional<std::string> Read() const
    {
        std::ifstream in(File());
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    fs::path m_dir;
};
const SettingsHome& Settings()
{
    static const SettingsHome home;
    return home;
}

const std::string kFactory = "[General]\nkey=4711\nCount=17\n";

bool HasLine(const std::optional<std::string>& text, const std::string& line)
{
    return text && ("\n" + *text + "\n").find("\n" + line + "\n") != std::string::npos;
}

// A camera on the test's end of the line that answers the id query the moment
// the console writes it, when the line is at the camera's rate: the console's
// procedures read right after their sleeps, which take no time on the virtual
// clock. Everything the console writes is kept with its time and line rate.
struct IdCamera {
    struct Write {
        std::uint64_t atMs;
        std::uint32_t rate;
        Bytes bytes;
    };

    void Attach(Console& console)
    {
        CSerialPort& port = console.dialog.Session().Port();
        port.SetWriteTrace([this, &console, &port](std::span<const std::uint8_t> bytes) {
            const std::uint32_t lineRate = LineRate(pty.Master()).value_or(0);
            writes.push_back({console.backend.NowMs(), lineRate, Bytes(bytes.begin(), bytes.end())});
            if (answer && port.IsOpen() && lineRate == rate && IsQueryIdRequest(bytes)) {
                pty.Write(*answer);
                WaitQueued(port.Handle(), static_cast<int>(answer->size()));
            }
        });
    }
    std::vector<Write> Queries() const
    {
        std::vector<Write> queries;
        for (const Write& w : writes)
            if (IsQueryIdRequest(w.bytes))
                queries.push_back(w);
        return queries;
    }

    PtyPair pty;
    std::uint32_t rate = 115200;
    std::optional<Bytes> answer;  // nullopt: silent
    std::vector<Write> writes;
};

// The bytes before the check field, and whether the check field holds.
Bytes Head(const Bytes& frame) { return Bytes(frame.begin(), frame.end() - 2); }

// The main window with the test's camera on its port; the settings store when asked.
struct Rig {
    explicit Rig(bool withStore = false, bool connect = true)
    {
        if (withStore)
            console.dialog.SetSettingsStore(&store);
        console.Open();
        camera.Attach(console);
        if (connect)
            console.Connect(camera.pty.SlavePath());
    }
    void Receive(const Bytes& bytes) { console.Receive(camera.pty, bytes); }
    std::string Ids() { return console.Text(IDC_OLD_ID) + "/" + console.Text(IDC_NEW_ID) + "/" + console.Text(IDC_CAMERA_ID); }
    // The console's writes since `from`.
    std::vector<Bytes> WritesSince(std::size_t from) const
    {
        std::vector<Bytes> frames;
        for (std::size_t i = from; i < camera.writes.size(); ++i)
            frames.push_back(camera.writes[i].bytes);
        return frames;
    }

    CQSettingsStore store;
    IdCamera camera;
    Console console;
};

// --- new id and rate -----------------------------------------------------------

// Set id, one second later the rate for the new id, 600 ms later the id query
// at the new rate; the answer goes to all three id edits and the count.
TEST(SetIdAndBaud, SendsBothSettingsThenReadsTheIdBackAtTheNewRate)
{
    const struct {
        const char* rate;  // typed into the setting-rate combo
        int save;
        std::uint8_t command, code;
        std::uint32_t verifiedAt;
        const char *shownRate, *shownLineRate;  // the two rate combos afterwards
    } cases[] = {
        {"38400", 1, CMD_SET_BAUD_SAVE, 4, 38400, "38400", "38400"},
        {"9600", 0, CMD_SET_BAUD, 1, 9600, "9600", "9600"},
        {"1200", 1, CMD_SET_BAUD_SAVE, 6, 1200, "1200", "115200"},  // no code: 115200's, read back at 1200
        {"256000", 1, CMD_SET_BAUD_SAVE, 8, 256000, "256000", "115200"},
        {"", 1, CMD_SET_BAUD_SAVE, 6, 115200, "115200", "115200"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        Rig rig;
        Console& console = rig.console;
        console.SetText(IDC_OLD_ID, "1");
        console.SetText(IDC_NEW_ID, "2");
        console.SetText(IDC_SET_BAUDRATE, c.rate);
        console.Check(IDC_SAVE_BAUD, c.save);
        rig.camera.rate = c.verifiedAt;
        rig.camera.answer = BuildQueryIdReply(2, c.code);
        const std::uint64_t t0 = console.backend.NowMs();
        console.Click(IDC_SET_BAUD);
        EXPECT_EQ(console.Text(IDC_INFO), "New ID is set as2");
        console.Tick(10);

        const auto& w = rig.camera.writes;
        ASSERT_EQ(w.size(), 3u) << "answered at the first read";
        EXPECT_EQ(Head(w[0].bytes), (Bytes{0x90, 0xEB, 0x01, 0x0D, 0x01, 0x00, 0x02}));
        EXPECT_EQ(Head(w[1].bytes), (Bytes{0x90, 0xEB, 0x02, c.command, 0x01, 0x00, c.code}));
        EXPECT_EQ(Head(w[2].bytes), (Bytes{0x90, 0xEB, 0x00, 0x01, 0x02, 0x00, 0x55, 0xAA}));
        for (const auto& write : w)
            EXPECT_TRUE(HasValidCrc(write.bytes));
        EXPECT_EQ(w[0].atMs - t0, 0u);
        EXPECT_EQ(w[1].atMs - t0, 1000u);
        EXPECT_EQ(w[2].atMs - t0, 1600u);
        EXPECT_EQ(w[0].rate, 115200u);
        EXPECT_EQ(w[1].rate, 115200u) << "both settings go out at the old rate";
        EXPECT_EQ(w[2].rate, c.verifiedAt);
        EXPECT_EQ(rig.Ids(), "2/2/2");
        EXPECT_EQ(console.Text(IDC_SET_BAUDRATE), c.shownRate);
        EXPECT_EQ(console.Text(IDC_BAUDRATE), c.shownLineRate);
        EXPECT_EQ(console.Text(IDC_SET_COUNT), "1");
        EXPECT_FALSE(console.Enabled(IDC_OPEN_COMMS));
        EXPECT_TRUE(console.Enabled(IDC_CLOSE_COMMS));
    }
    // The frames of the first case in full.
    Rig rig;
    rig.camera.rate = 38400;
    rig.camera.answer = BuildQueryIdReply(2, 4);
    rig.console.SetText(IDC_OLD_ID, "1");
    rig.console.SetText(IDC_NEW_ID, "2");
    rig.console.SetText(IDC_SET_BAUDRATE, "38400");
    rig.console.Click(IDC_SET_BAUD);
    rig.console.Tick(2);
    EXPECT_EQ(rig.WritesSince(0), (std::vector<Bytes>{{0x90, 0xEB, 0x01, 0x0D, 0x01, 0x00, 0x02, 0xA5, 0x84},
                                                       {0x90, 0xEB, 0x02, 0x0B, 0x01, 0x00, 0x04, 0x28, 0x2D},
                                                       {0x90, 0xEB, 0x00, 0x01, 0x02, 0x00, 0x55, 0xAA, 0xD3, 0xA2}}));
}

// Nobody answers at the new rate: nine queries 300 ms apart, nothing taken,
// the port left open at the new rate.
TEST(SetIdAndBaud, UnansweredReadBackChangesNothing)
{
    Rig rig;
    Console& console = rig.console;
    console.SetText(IDC_OLD_ID, "1");
    console.SetText(IDC_NEW_ID, "2");
    console.SetText(IDC_SET_BAUDRATE, "38400");
    const std::uint64_t t0 = console.backend.NowMs();
    console.Click(IDC_SET_BAUD);
    console.Tick(40);
    const auto queries = rig.camera.Queries();
    ASSERT_EQ(queries.size(), 9u);
    const std::uint64_t at[] = {1600, 1600, 1900, 2200, 2500, 2800, 3100, 3400, 3700};
    for (std::size_t i = 0; i < queries.size(); ++i)
        EXPECT_EQ(queries[i].atMs - t0, at[i]) << i;
    EXPECT_EQ(rig.Ids(), "1/2/1");
    EXPECT_EQ(console.Text(IDC_SET_COUNT), "0");
    EXPECT_EQ(LineRate(rig.camera.pty.Master()), 38400u);
    EXPECT_TRUE(console.Messages().empty());
}

// A new id the camera cannot hold, or one the edit cannot give, sends nothing.
TEST(SetIdAndBaud, IdOutOfRangeSendsNothing)
{
    const struct {
        const char* newId;
        const char* message;
    } cases[] = {
        {"256", "New ID is set 0～255"},
        {"-1", "New ID is set 0～255"},
        {"two", "Please enter an integer."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.newId);
        Rig rig;
        rig.console.SetText(IDC_NEW_ID, c.newId);
        rig.console.Click(IDC_SET_BAUD);
        rig.console.Tick(30);
        EXPECT_EQ(rig.console.Messages(), std::vector<std::string>{c.message});
        EXPECT_TRUE(rig.camera.writes.empty());
        EXPECT_FALSE(rig.console.Enabled(IDC_OPEN_COMMS));
        EXPECT_TRUE(rig.console.Enabled(IDC_CLOSE_COMMS));
    }
}

// The port cannot be opened: both procedures say so once and query nothing.
TEST(SetIdAndBaud, PortThatDoesNotOpenStopsTheQuery)
{
    for (int button : {IDC_SET_BAUD, IDC_CHECK_BAUD}) {
        SCOPED_TRACE(button);
        Rig rig(false, false);
        rig.console.SetText(IDC_COMPORT, "/dev/qzr-no-such-port");
        rig.console.SetText(IDC_NEW_ID, "2");
        rig.console.Click(button);
        rig.console.Tick(30);
        EXPECT_EQ(rig.console.Messages(), std::vector<std::string>{"Serial port failed to open, stop query"});
        EXPECT_TRUE(rig.camera.Queries().empty());
        EXPECT_FALSE(rig.console.Enabled(IDC_OPEN_COMMS));
        EXPECT_TRUE(rig.console.Enabled(IDC_CLOSE_COMMS));
    }
}

// --- the rate search ---------------------------------------------------------------

// A camera at 57600 with id 7: one query per rate of the list, a second
// apart, until it answers; its id and rate are taken and the port stays at it.
TEST(SearchBaudRate, FindsTheCameraAtItsRate)
{
    Rig rig;
    Console& console = rig.console;
    rig.camera.rate = 57600;
    rig.camera.answer = BuildQueryIdReply(7, 5);
    const std::uint64_t t0 = console.backend.NowMs();
    console.Click(IDC_CHECK_BAUD);
    const auto queries = rig.camera.Queries();
    ASSERT_EQ(queries.size(), 4u);
    const std::uint32_t rates[] = {9600, 19200, 38400, 57600};
    for (std::size_t i = 0; i < queries.size(); ++i) {
        EXPECT_EQ(queries[i].rate, rates[i]);
        EXPECT_EQ(queries[i].atMs - t0, 1000 * i);
    }
    EXPECT_EQ(rig.Ids(), "7/7/7");
    EXPECT_EQ(console.Text(IDC_SET_BAUDRATE), "57600");
    EXPECT_EQ(console.Text(IDC_BAUDRATE), "57600");
    EXPECT_EQ(LineRate(rig.camera.pty.Master()), 57600u);
    EXPECT_TRUE(console.dialog.Session().Port().IsOpen());
    EXPECT_TRUE(console.Messages().empty());
}

// Only a whole answer in one read counts: short or damaged ones leave the
// search going through every rate, ending where the combo stands.
TEST(SearchBaudRate, IgnoresMalformedAnswers)
{
    const struct {
        const char* name;
        Bytes answer;
        const char* ids;
        std::size_t queries;
    } cases[] = {
        {"whole", {0x90, 0xEB, 0x07, 0x01, 0x03, 0x00, 0x01, 0xAA, 0x55, 0x00, 0x00}, "7/7/7", 1},
        {"nine bytes", {0x90, 0xEB, 0x07, 0x01, 0x00, 0x00, 0x00, 0xAA, 0x55}, "7/7/7", 1},
        {"eight bytes", {0x90, 0xEB, 0x07, 0x01, 0x03, 0x00, 0x01, 0xAA}, "0/0/1", 6},
        {"byte 7 not AA", {0x90, 0xEB, 0x07, 0x01, 0x03, 0x00, 0x01, 0xAB, 0x55}, "0/0/1", 6},
        {"another command", {0x90, 0xEB, 0x07, 0x02, 0x03, 0x00, 0x01, 0xAA, 0x55}, "0/0/1", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.camera.rate = 9600;
        rig.camera.answer = c.answer;
        rig.console.Click(IDC_CHECK_BAUD);
        EXPECT_EQ(rig.Ids(), c.ids);
        EXPECT_EQ(rig.camera.Queries().size(), c.queries);
        EXPECT_EQ(LineRate(rig.camera.pty.Master()), c.queries == 1 ? 9600u : 115200u);
    }
}

TEST(DefaultSettings, CameraOneAt115200AndThePortReopened)
{
    Rig rig(false, false);
    Console& console = rig.console;
    console.SetText(IDC_OLD_ID, "5");
    console.SetText(IDC_NEW_ID, "9");
    console.SetText(IDC_CAMERA_ID, "5");
    console.Select(IDC_SET_BAUDRATE, "38400");
    console.SetText(IDC_SET_COUNT, "4");
    console.Connect(rig.camera.pty.SlavePath(), "57600");  // reads the edits
    console.Click(IDC_DEFAULT_SETTINGS);
    EXPECT_EQ(rig.Ids(), "1/2/1");
    EXPECT_EQ(console.Text(IDC_SET_BAUDRATE), "115200");
    EXPECT_EQ(console.Text(IDC_BAUDRATE), "115200");
    EXPECT_EQ(console.Text(IDC_SET_COUNT), "4");
    EXPECT_EQ(console.Text(IDC_STATUS), "Open serial port" + rig.camera.pty.SlavePath());
    EXPECT_EQ(LineRate(rig.camera.pty.Master()), 115200u);
    EXPECT_FALSE(console.Enabled(IDC_OPEN_COMMS));
    EXPECT_TRUE(rig.camera.writes.empty());
}

// --- the setting counter -----------------------------------------------------------

// The count shown at start and after one confirmed setting, and what the
// settings file holds then; only a workstation with the marker keeps it.
TEST(SettingCounter, CountsConfirmedSettingsInFactoryMode)
{
    const std::string long98 = "5" + std::string(97, 'x'), long99 = "5" + std::string(98, 'x');
    const struct {
        const char* name;
        std::optional<std::string> settings;
        const char *atStart, *afterSet;
        bool written;
    } cases[] = {
        {"marker and 17", kFactory, "17", "18", true},
        {"another marker", "[General]\nkey=4712\nCount=17\n", "17", "18", false},
        {"marker without Count", "[General]\nkey=4711\n", "0", "1", false},
        {"Count 12abc", "[General]\nkey=4711\nCount=12abc\n", "12", "13", true},
        {"no settings", std::nullopt, "0", "1", false},
        {"Count of 98 bytes", "[General]\nkey=4711\nCount=" + long98 + "\n", "5", "6", true},
        {"Count of 99 bytes: unreadable", "[General]\nkey=4711\nCount=" + long99 + "\n", "0", "1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settings().Write(c.settings);
        Rig rig(true);
        Console& console = rig.console;
        EXPECT_EQ(console.Text(IDC_SET_COUNT), c.atStart);
        console.SetText(IDC_OLD_ID, "1");
        console.SetText(IDC_NEW_ID, "2");
        rig.camera.answer = BuildQueryIdReply(2, 6);
        console.Click(IDC_SET_BAUD);
        console.Tick(10);
        EXPECT_EQ(console.Text(IDC_SET_COUNT), c.afterSet);
        const auto stored = Settings().Read();
        if (c.written) {
            EXPECT_TRUE(HasLine(stored, std::string("Count=") + c.afterSet)) << stored.value_or("<none>");
            EXPECT_TRUE(HasLine(stored, "key=4711")) << stored.value_or("<none>");
        } else {
            EXPECT_EQ(stored, c.settings);
        }
    }
}

TEST(SettingCounter, ClearWritesZeroInFactoryModeOnly)
{
    for (const std::string& settings : {kFactory, std::string("[General]\nkey=0000\nCount=17\n")}) {
        SCOPED_TRACE(settings);
        Settings().Write(settings);
        Rig rig(true);
        rig.console.Click(IDC_CLEAR_COUNT);
        EXPECT_EQ(rig.console.Text(IDC_SET_COUNT), "0");
        const auto stored = Settings().Read();
        if (settings == kFactory)
            EXPECT_TRUE(HasLine(stored, "Count=0") && HasLine(stored, "key=4711")) << stored.value_or("<none>");
        else
            EXPECT_EQ(stored, settings);
    }
}

// --- serial number and production date ------------------------------------------

Bytes SerialReply(std::initializer_list<std::uint8_t> bytes6to13)
{
    Bytes reply = {0x90, 0xEB, 0x01, 0x51, 0x08, 0x00};
    reply.insert(reply.end(), bytes6to13);
    reply.insert(reply.end(), {0x00, 0x00});
    return reply;
}

TEST(CheckDate, ShowsTheSerialNumberAndProductionDate)
{
    Rig rig;
    Console& console = rig.console;
    console.Check(IDC_SUB_PACKET, 1);
    console.Click(IDC_CHECK_DATE);
    EXPECT_EQ(console.Text(IDC_WHOLE_PACKAGE), "1") << "replies are read in whole-package mode";
    EXPECT_EQ(console.Text(IDC_DATE), "Checking…");
    EXPECT_EQ(rig.camera.writes.back().bytes, (Bytes{0x90, 0xEB, 0x01, 0x51, 0x00, 0x00, 0x4A, 0x1F}));

    Bytes fifteen = SerialReply({0x00, 0x01, 0xE2, 0x40, 0x12, 0x07, 0x1F, 0x99}), seventeen = fifteen;
    fifteen.pop_back();
    seventeen.push_back(0x00);
    const struct {
        Bytes reply;
        const char* shown;
    } cases[] = {
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 0x12, 0x07, 0x1F, 0x99}), "Serial Number 1e240   Production date 7/31  2018  "},
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 0x12, 0x07, 0x1F, 0x00}),
         "Serial Number error 1e240   Production date 7/31  2018  "},
        {SerialReply({0xFF, 0xFF, 0xFF, 0xFF, 98, 12, 31, 0x99}), "Serial Number ffffffff   Production date 12/31  2098  "},
        {SerialReply({0x00, 0x00, 0x00, 0x00, 0, 0, 0, 0x99}), "Serial Number 0   Production date 0/0  2000  "},
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 99, 7, 31, 0x99}), "查询出错"},
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 18, 13, 31, 0x99}), "查询出错"},
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 18, 7, 32, 0x99}), "查询出错"},
        {fifteen, "Checking…"},
        {seventeen, "Checking…"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        console.Click(IDC_CHECK_DATE);
        rig.Receive(c.reply);
        EXPECT_EQ(console.Text(IDC_DATE), c.shown);
    }
}

// In factory mode a notice is found anywhere in a chunk of 9 bytes or more.
TEST(ProductionDateNotice, ShownInFactoryModeOnly)
{
    const Bytes notice = {0x90, 0xEB, 0x01, 0xF1, 0x02, 0x00, 0xF1, 0xF1, 0x01, 0xE2};
    const struct {
        const char* name;
        bool factory;
        Bytes chunk;
        bool shown;
    } cases[] = {
        {"notice", true, notice, true},
        {"outside factory mode", false, notice, false},
        {"behind a byte, 9 bytes", true, {0x00, 0x90, 0xEB, 0x05, 0xF1, 0x00, 0x00, 0xF1, 0xF1}, true},
        {"alone in 8 bytes", true, {0x90, 0xEB, 0x05, 0xF1, 0x00, 0x00, 0xF1, 0xF1}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settings().Write(c.factory ? std::optional(kFactory) : std::nullopt);
        Rig rig(true);
        rig.Receive(c.chunk);
        EXPECT_EQ(rig.console.Text(IDC_LOG), c.shown ? "**********设置生产日期**********" : "");
    }
}

// Only the first chunk after start-up looks for the marker; after that,
// factory mode comes with the next feature that asks for it.
TEST(ProductionDateNotice, MarkerAddedLaterTakesEffectAtTheNextFactoryFeature)
{
    Settings().Write(std::nullopt);
    Rig rig(true);
    const Bytes notice = {0x90, 0xEB, 0x01, 0xF1, 0x02, 0x00, 0xF1, 0xF1, 0x01, 0xE2};
    rig.Receive({'o', 'k', '\n'});
    Settings().Write(kFactory);
    rig.Receive(notice);
    EXPECT_EQ(rig.console.Text(IDC_LOG), "");
    rig.console.Click(IDC_BATCH_SETTING);
    rig.Receive(notice);
    EXPECT_EQ(rig.console.Text(IDC_LOG), "**********设置生产日期**********");
}

// --- model and Batch Setting -------------------------------------------------------

Bytes ModelReply(std::uint8_t code, std::uint8_t again, std::uint8_t mode)
{
    return {0x90, 0xEB, 0x01, 0xB8, 0x06, 0x00, 0x00, 0x00, 0x00, code, again, mode, 0x00, 0x00};
}

TEST(CheckModel, ShowsTheModelAndFunctionMode)
{
    Rig rig;
    Console& console = rig.console;
    console.Click(IDC_CHECK_MODEL);
    EXPECT_EQ(console.Text(IDC_LOG), "Checking…");
    EXPECT_EQ(rig.camera.writes.back().bytes,
              (Bytes{0x90, 0xEB, 0x01, 0xB7, 0x06, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x99, 0xCC}));
    Bytes thirteen = ModelReply(0x22, 0x22, 3), fifteen = thirteen;
    thirteen.pop_back();
    fifteen.push_back(0x00);
    const struct {
        Bytes reply;
        const char* shown;
    } cases[] = {
        {ModelReply(0x22, 0x22, 3), "Complete： QZR-M2  Mode：3"},
        {ModelReply(0x22, 0x23, 1), "Complete： Mode error  Fun1"},
        {ModelReply(0x55, 0x55, 2), "Complete： Mode error  Mode：2"},  // J series: set, never named
        {ModelReply(0x11, 0x11, 100), "Complete： QZR-L1N  Fun1"},
        {ModelReply(0x4C, 0x4C, 99), "Complete： QZR-SC  Mode：99"},
        {ModelReply(0x66, 0x66, 0), "Complete： Mode error  Fun1"},
        {thirteen, "Checking…"},
        {fifteen, "Checking…"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        console.Click(IDC_CHECK_MODEL);
        rig.Receive(c.reply);
        EXPECT_EQ(console.Text(IDC_LOG), c.shown);
    }
}

// The choices of the settings dialog in one frame, in factory mode only.
TEST(BatchSetting, SendsEveryChoiceInFactoryMode)
{
    const struct {
        const char* name;
        bool factory;
        const char* model;
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
        Settings().Write(c.factory ? std::optional(kFactory) : std::nullopt);
        Rig rig(true);
        CameraChoices& choices = rig.console.dialog.Session().m_choices;
        choices = {c.model, 4, 1, 0, 1};
        rig.console.Check(IDC_SUB_PACKET, 1);
        rig.console.Click(IDC_BATCH_SETTING);
        std::vector<Bytes> sent;
        for (const Bytes& frame : rig.WritesSince(0)) {
            EXPECT_TRUE(HasValidCrc(frame));
            sent.push_back(Head(frame));
        }
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(rig.console.Messages(), c.messages);
        EXPECT_EQ(rig.console.Text(IDC_LOG), c.factory ? "设置中..." : "");
        EXPECT_EQ(rig.console.Text(IDC_WHOLE_PACKAGE), "1");
    }
}

// The settings dialog sets the model and the function mode through the
// configuration's service.
TEST(BatchSetting, ModelAndFunctionModeForTheSettingsDialog)
{
    Rig rig;
    CSession& session = rig.console.dialog.Session();
    session.m_choices.m_strModel = "QZR-M2";
    session.m_choices.m_nFunctionMode = 3;
    session.m_services.config->SendModel();
    session.m_services.config->SendFunctionMode();
    session.m_choices.m_strModel = "Large chip";
    session.m_services.config->SendModel();
    EXPECT_EQ(rig.WritesSince(0), (std::vector<Bytes>{{0x90, 0xEB, 0x01, 0xE3, 0x04, 0x00, 0xE3, 0xE3, 0x22, 0x22, 0xE0, 0x03},
                                                       {0x90, 0xEB, 0x01, 0xE4, 0x04, 0x00, 0xB4, 0xB4, 0x03, 0x03, 0x78, 0xE4},
                                                       {0x90, 0xEB, 0x01, 0xE3, 0x04, 0x00, 0xE3, 0xE3, 0x11, 0x11, 0x16, 0x55}}));
    EXPECT_EQ(rig.console.Messages(), std::vector<std::string>{"型号出错--未知"});
}

// --- the lens neighbour --------------------------------------------------------------

struct FakeLens final : ILensService {
    bool ManualFocusOn() const override { return false; }
    void OnManualFocus() override {}
    void ReadFocusValues() override {}
    void StopManualFocusForNotice() override { ++stops; }
    bool SnapAfterQuery() const override { return snap; }
    void OnSetting() override { ++settings; }
    bool snap = true;
    int stops = 0, settings = 0;
};

// After "Set and Snapshot" every serial-number reply is followed 10 ms later by
// a snapshot; a notice ends manual focusing; the first Batch Setting opens the
// settings dialog.
TEST(ConfigNeighbours, LensIsAskedThroughItsService)
{
    Settings().Write(kFactory);
    Rig rig(true);
    FakeLens lens;
    rig.console.dialog.Session().m_services.lens = &lens;

    rig.console.Click(IDC_CHECK_DATE);
    const std::size_t before = rig.camera.writes.size();
    rig.Receive(SerialReply({0x00, 0x01, 0xE2, 0x40, 99, 7, 31, 0x99}));  // an error, followed all the same
    rig.console.Tick();
    ASSERT_EQ(rig.camera.writes.size(), before + 1);
    EXPECT_EQ(rig.camera.writes.back().bytes[3], CMD_SNAPSHOT);

    rig.Receive({0x90, 0xEB, 0x01, 0xF1, 0x02, 0x00, 0xF1, 0xF1, 0x01, 0xE2});
    EXPECT_EQ(lens.stops, 1);
    rig.console.Click(IDC_BATCH_SETTING);
    rig.console.Click(IDC_BATCH_SETTING);
    EXPECT_EQ(lens.settings, 1);
    rig.console.dialog.Session().m_services.lens = nullptr;
}

}  // namespace
}  // namespace qzr::test
