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

// The settings file of this test program: XDG_CONFIG_HOME points at a
// directory of its own from the first test that needs it to the end of the run.
class SettingsFile {
public:
    SettingsFile() : m_dir(fs::temp_directory_path() / ("qzr-config-test-" + std::to_string(::getpid())))
    {
        fs::create_directories(m_dir / "qzr");
        ::setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    ~SettingsFile()
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    // Writes the file, or removes it for nullopt. Each file gets a time of its
    // own in the past: the settings library reads a file again only when its
    // size or time changed, and a case may follow the last within a millisecond.
    void Write(const std::optional<std::string>& ini) const
    {
        std::error_code ec;
        fs::remove(Path(), ec);
        if (!ini)
            return;
        std::ofstream(Path()) << *ini;
        static int written = 0;
        fs::last_write_time(Path(), fs::file_time_type::clock::now() - std::chrono::seconds(++written));
    }
    std::optional<std::string> Read() const
    {
        std::ifstream in(Path());
        if (!in)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    fs::path Path() const { return m_dir / "qzr" / "no.conf"; }
    fs::path m_dir;
};
const SettingsFile& Settings()
{
    static const SettingsFile file;
    return file;
}

const std::string kFactory = "[General]\nkey=4711\nCount=17\n";
const Bytes kNotice = {0x90, 0xEB, 0x01, 0xF1, 0x02, 0x00, 0xF1, 0xF1, 0x01, 0xE2};

bool HasLines(const std::optional<std::string>& text, std::initializer_list<std::string> lines)
{
    for (const std::string& line : lines)
        if (!text || ("\n" + *text + "\n").find("\n" + line + "\n") == std::string::npos)
            return false;
    return true;
}

// The bytes before the check field.
Bytes Head(const Bytes& frame) { return Bytes(frame.begin(), frame.end() - 2); }

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
        std::copy_if(writes.begin(), writes.end(), std::back_inserter(queries),
                     [](const Write& w) { return IsQueryIdRequest(w.bytes); });
        return queries;
    }

    PtyPair pty;
    std::uint32_t rate = 115200;
    std::optional<Bytes> answer;  // nullopt: silent
    std::vector<Write> writes;
};

// The main window with the test's camera on its port; with the settings store
// when asked.
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
    // Types the ID and New ID and presses "Set".
    void Set(const char* oldId, const char* newId)
    {
        console.SetText(IDC_OLD_ID, oldId);
        console.SetText(IDC_NEW_ID, newId);
        console.Click(IDC_SET_BAUD);
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
        console.SetText(IDC_SET_BAUDRATE, c.rate);
        console.Check(IDC_SAVE_BAUD, c.save);
        rig.camera.rate = c.verifiedAt;
        rig.camera.answer = BuildQueryIdReply(2, c.code);
        const std::uint64_t t0 = console.backend.NowMs();
        rig.Set("1", "2");
        EXPECT_EQ(console.Text(IDC_INFO), "New ID is set as2");
        console.Tick(10);

        const auto& w = rig.camera.writes;
        ASSERT_EQ(w.size(), 3u) << "answered at the first read";
        EXPECT_EQ(Head(w[0].bytes), (Bytes{0x90, 0xEB, 0x01, 0x0D, 0x01, 0x00, 0x02}));
        EXPECT_EQ(Head(w[1].bytes), (Bytes{0x90, 0xEB, 0x02, c.command, 0x01, 0x00, c.code}));
        EXPECT_EQ(Head(w[2].bytes), (Bytes{0x90, 0xEB, 0x00, 0x01, 0x02, 0x00, 0x55, 0xAA}));
        const std::uint64_t at[] = {0, 1000, 1600};
        const std::uint32_t rates[] = {115200, 115200, c.verifiedAt};  // both settings go at the old rate
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_TRUE(HasValidCrc(w[i].bytes)) << i;
            EXPECT_EQ(w[i].atMs - t0, at[i]) << i;
            EXPECT_EQ(w[i].rate, rates[i]) << i;
        }
        EXPECT_EQ(rig.Ids(), "2/2/2");
        EXPECT_EQ(console.Text(IDC_SET_BAUDRATE), c.shownRate);
        EXPECT_EQ(console.Text(IDC_BAUDRATE), c.shownLineRate);
        EXPECT_EQ(console.Text(IDC_SET_COUNT), "1");
        EXPECT_FALSE(console.Enabled(IDC_OPEN_COMMS));
        EXPECT_TRUE(console.Enabled(IDC_CLOSE_COMMS));
    }
}

// Nobody answers at the new rate: nine queries 300 ms apart, nothing taken,
// the port left open at the new rate.
TEST(SetIdAndBaud, UnansweredReadBackChangesNothing)
{
    Rig rig;
    rig.console.SetText(IDC_SET_BAUDRATE, "38400");
    const std::uint64_t t0 = rig.console.backend.NowMs();
    rig.Set("1", "2");
    rig.console.Tick(40);
    std::vector<std::uint64_t> at;
    for (const auto& query : rig.camera.Queries())
        at.push_back(query.atMs - t0);
    EXPECT_EQ(at, (std::vector<std::uint64_t>{1600, 1600, 1900, 2200, 2500, 2800, 3100, 3400, 3700}));
    EXPECT_EQ(rig.Ids(), "1/2/1");
    EXPECT_EQ(rig.console.Text(IDC_SET_COUNT), "0");
    EXPECT_EQ(LineRate(rig.camera.pty.Master()), 38400u);
    EXPECT_TRUE(rig.console.Messages().empty());
}

// A new id the camera cannot hold, one the edit cannot give, or a port that
// does not open: said once, no query; Open Comms stays disabled.
TEST(SetIdAndBaud, BadIdOrPortStopsBeforeTheQuery)
{
    const char* const kNoPort = "Serial port failed to open, stop query";
    const struct {
        int button;
        const char *newId, *port, *message;
        bool nothingWritten;
    } cases[] = {
        {IDC_SET_BAUD, "256", nullptr, "New ID is set 0～255", true},
        {IDC_SET_BAUD, "-1", nullptr, "New ID is set 0～255", true},
        {IDC_SET_BAUD, "two", nullptr, "Please enter an integer.", true},
        {IDC_SET_BAUD, "2", "/dev/qzr-no-such-port", kNoPort, false},
        {IDC_CHECK_BAUD, "2", "/dev/qzr-no-such-port", kNoPort, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.newId) + " " + (c.port ? c.port : ""));
        Rig rig(false, c.port == nullptr);
        if (c.port)
            rig.console.SetText(IDC_COMPORT, c.port);
        rig.console.SetText(IDC_NEW_ID, c.newId);
        rig.console.Click(c.button);
        rig.console.Tick(30);
        EXPECT_EQ(rig.console.Messages(), std::vector<std::string>{c.message});
        EXPECT_TRUE(rig.camera.Queries().empty());
        EXPECT_EQ(rig.camera.writes.empty(), c.nothingWritten);
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
    rig.camera.rate = 57600;
    rig.camera.answer = BuildQueryIdReply(7, 5);
    const std::uint64_t t0 = rig.console.backend.NowMs();
    rig.console.Click(IDC_CHECK_BAUD);
    std::vector<std::pair<std::uint32_t, std::uint64_t>> queries;
    for (const auto& query : rig.camera.Queries())
        queries.emplace_back(query.rate, query.atMs - t0);
    EXPECT_EQ(queries, (std::vector<std::pair<std::uint32_t, std::uint64_t>>{{9600, 0}, {19200, 1000}, {38400, 2000}, {57600, 3000}}));
    EXPECT_EQ(rig.Ids(), "7/7/7");
    EXPECT_EQ(rig.console.Text(IDC_SET_BAUDRATE), "57600");
    EXPECT_EQ(rig.console.Text(IDC_BAUDRATE), "57600");
    EXPECT_EQ(LineRate(rig.camera.pty.Master()), 57600u);
    EXPECT_TRUE(rig.console.dialog.Session().Port().IsOpen());
}

// Only a whole answer in one read counts: otherwise every rate is tried and
// the port ends where the Baud Rate combo stands.
TEST(SearchBaudRate, IgnoresMalformedAnswers)
{
    const struct {
        Bytes answer;
        const char* ids;
        std::uint32_t endRate;
    } cases[] = {
        {{0x90, 0xEB, 0x07, 0x01, 0x00, 0x00, 0x00, 0xAA, 0x55}, "7/7/7", 9600},
        {{0x90, 0xEB, 0x07, 0x01, 0x03, 0x00, 0x01, 0xAA}, "0/0/1", 115200},
        {{0x90, 0xEB, 0x07, 0x01, 0x03, 0x00, 0x01, 0xAB, 0x55}, "0/0/1", 115200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.size());
        Rig rig;
        rig.camera.rate = 9600;
        rig.camera.answer = c.answer;
        rig.console.Click(IDC_CHECK_BAUD);
        EXPECT_EQ(rig.Ids(), c.ids);
        EXPECT_EQ(rig.camera.Queries().size(), c.endRate == 9600 ? 1u : 6u);
        EXPECT_EQ(LineRate(rig.camera.pty.Master()), c.endRate);
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
    EXPECT_EQ(console.Text(IDC_SET_BAUDRATE) + " " + console.Text(IDC_BAUDRATE), "115200 115200");
    EXPECT_EQ(console.Text(IDC_SET_COUNT), "4");
    EXPECT_EQ(console.Text(IDC_STATUS), "Open serial port" + rig.camera.pty.SlavePath());
    EXPECT_EQ(LineRate(rig.camera.pty.Master()), 115200u);
    EXPECT_TRUE(rig.camera.writes.empty());
}

// --- the setting counter -----------------------------------------------------------

// The count at start and after a confirmed setting or "Clear", and what the
// settings file holds then: only a workstation with the marker keeps it.
TEST(SettingCounter, KeptInFactoryModeOnly)
{
    const std::string long98 = "5" + std::string(97, 'x'), long99 = "5" + std::string(98, 'x');
    const std::string otherMarker = "[General]\nkey=4712\nCount=17\n";
    const struct {
        const char* name;
        std::optional<std::string> settings;
        bool clear;  // "Clear" instead of a confirmed setting
        const char *atStart, *after;
        bool written;
    } cases[] = {
        {"marker and 17", kFactory, false, "17", "18", true},
        {"another marker", otherMarker, false, "17", "18", false},
        {"marker without Count", "[General]\nkey=4711\n", false, "0", "1", false},
        {"Count 12abc", "[General]\nkey=4711\nCount=12abc\n", false, "12", "13", true},
        {"no settings", std::nullopt, false, "0", "1", false},
        {"Count of 98 bytes", "[General]\nkey=4711\nCount=" + long98 + "\n", false, "5", "6", true},
        {"Count of 99 bytes: unreadable", "[General]\nkey=4711\nCount=" + long99 + "\n", false, "0", "1", false},
        {"Clear", kFactory, true, "17", "0", true},
        {"Clear, another marker", otherMarker, true, "17", "0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settings().Write(c.settings);
        Rig rig(true);
        EXPECT_EQ(rig.console.Text(IDC_SET_COUNT), c.atStart);
        rig.camera.answer = BuildQueryIdReply(2, 6);
        if (c.clear)
            rig.console.Click(IDC_CLEAR_COUNT);
        else
            rig.Set("1", "2");
        rig.console.Tick(10);
        EXPECT_EQ(rig.console.Text(IDC_SET_COUNT), c.after);
        const auto stored = Settings().Read();
        if (c.written)
            EXPECT_TRUE(HasLines(stored, {std::string("Count=") + c.after, "key=4711"})) << stored.value_or("<none>");
        else
            EXPECT_EQ(stored, c.settings);
    }
}

// --- serial number and production date ------------------------------------------

Bytes SerialReply(std::initializer_list<std::uint8_t> bytes6to13, std::size_t length = 16)
{
    Bytes reply(std::max<std::size_t>(length, 14), 0x00);
    const std::uint8_t head[] = {0x90, 0xEB, 0x01, 0x51, 0x08, 0x00};
    std::copy(std::begin(head), std::end(head), reply.begin());
    std::copy(bytes6to13.begin(), bytes6to13.end(), reply.begin() + 6);
    reply.resize(length);
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
    const std::initializer_list<std::uint8_t> valid = {0x00, 0x01, 0xE2, 0x40, 0x12, 0x07, 0x1F, 0x99};
    const struct {
        Bytes reply;
        const char* shown;
    } cases[] = {
        {SerialReply(valid), "Serial Number 1e240   Production date 7/31  2018  "},
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 0x12, 0x07, 0x1F, 0x00}),
         "Serial Number error 1e240   Production date 7/31  2018  "},
        {SerialReply({0xFF, 0xFF, 0xFF, 0xFF, 98, 12, 31, 0x99}), "Serial Number ffffffff   Production date 12/31  2098  "},
        {SerialReply({0x00, 0x00, 0x00, 0x00, 0, 0, 0, 0x99}), "Serial Number 0   Production date 0/0  2000  "},
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 99, 7, 31, 0x99}), "查询出错"},
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 18, 13, 31, 0x99}), "查询出错"},
        {SerialReply({0x00, 0x01, 0xE2, 0x40, 18, 7, 32, 0x99}), "查询出错"},
        {SerialReply(valid, 15), "Checking…"},
        {SerialReply(valid, 17), "Checking…"},
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
    const struct {
        const char* name;
        bool factory;
        Bytes chunk;
        bool shown;
    } cases[] = {
        {"notice", true, kNotice, true},
        {"outside factory mode", false, kNotice, false},
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

// --- model and Batch Setting -------------------------------------------------------

TEST(CheckModel, ShowsTheModelAndFunctionMode)
{
    Rig rig;
    Console& console = rig.console;
    console.Click(IDC_CHECK_MODEL);
    EXPECT_EQ(console.Text(IDC_LOG), "Checking…");
    EXPECT_EQ(rig.camera.writes.back().bytes,
              (Bytes{0x90, 0xEB, 0x01, 0xB7, 0x06, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x99, 0xCC}));
    const auto reply = [](std::uint8_t code, std::uint8_t again, std::uint8_t mode, std::size_t length = 14) {
        Bytes bytes = {0x90, 0xEB, 0x01, 0xB8, 0x06, 0x00, 0x00, 0x00, 0x00, code, again, mode};
        bytes.resize(length);
        return bytes;
    };
    const struct {
        Bytes reply;
        const char* shown;
    } cases[] = {
        {reply(0x22, 0x22, 3), "Complete： QZR-M2  Mode：3"},
        {reply(0x22, 0x23, 1), "Complete： Mode error  Fun1"},
        {reply(0x55, 0x55, 2), "Complete： Mode error  Mode：2"},  // J series: set, never named
        {reply(0x11, 0x11, 100), "Complete： QZR-L1N  Fun1"},
        {reply(0x4C, 0x4C, 99), "Complete： QZR-SC  Mode：99"},
        {reply(0x66, 0x66, 0), "Complete： Mode error  Fun1"},
        {reply(0x22, 0x22, 3, 13), "Checking…"},
        {reply(0x22, 0x22, 3, 15), "Checking…"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        console.Click(IDC_CHECK_MODEL);
        rig.Receive(c.reply);
        EXPECT_EQ(console.Text(IDC_LOG), c.shown);
    }
}

// The choices of the settings dialog in one frame, in factory mode only (the
// model and function mode alone are sent by the settings dialog's buttons:
// tests/app/lens_test.cpp).
TEST(BatchSetting, SendsTheChoicesInFactoryMode)
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
        rig.console.dialog.Session().m_choices = {c.model, 4, 1, 0, 1};
        rig.console.Check(IDC_SUB_PACKET, 1);
        rig.console.Click(IDC_BATCH_SETTING);
        std::vector<Bytes> sent;
        for (const auto& write : rig.camera.writes) {
            EXPECT_TRUE(HasValidCrc(write.bytes));
            sent.push_back(Head(write.bytes));
        }
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(rig.console.Messages(), c.messages);
        EXPECT_EQ(rig.console.Text(IDC_LOG), c.factory ? "设置中..." : "");
        EXPECT_EQ(rig.console.Text(IDC_WHOLE_PACKAGE), "1");
    }
}

// --- the lens neighbour --------------------------------------------------------------

struct FakeLens final : ILensService {
    bool ManualFocusOn() const override { return false; }
    void OnManualFocus() override {}
    void ReadFocusValues() override {}
    void StopManualFocusForNotice() override { ++stops; }
    bool SnapAfterQuery() const override { return true; }
    void OnSetting() override { ++settings; }
    int stops = 0, settings = 0;
};

// After "Set and Snapshot" every serial-number reply, valid or not, is
// followed by a snapshot; a notice ends manual focusing; the first Batch
// Setting opens the settings dialog.
TEST(ConfigNeighbours, LensIsAskedThroughItsService)
{
    Settings().Write(kFactory);
    Rig rig(true);
    FakeLens lens;
    rig.console.dialog.Session().m_services.lens = &lens;
    rig.console.Click(IDC_CHECK_DATE);
    const std::size_t before = rig.camera.writes.size();
    rig.Receive(SerialReply({0x00, 0x01, 0xE2, 0x40, 99, 7, 31, 0x99}));
    rig.console.Tick();
    ASSERT_EQ(rig.camera.writes.size(), before + 1);
    EXPECT_EQ(rig.camera.writes.back().bytes[3], CMD_SNAPSHOT);
    rig.Receive(kNotice);
    EXPECT_EQ(lens.stops, 1);
    rig.console.Click(IDC_BATCH_SETTING);
    rig.console.Click(IDC_BATCH_SETTING);
    EXPECT_EQ(lens.settings, 1);
    rig.console.dialog.Session().m_services.lens = nullptr;
}

}  // namespace
}  // namespace qzr::test
