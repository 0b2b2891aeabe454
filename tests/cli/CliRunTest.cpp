// Whole runs of the tool's commands against a scripted radio in virtual time: what reaches
// standard output and standard error, the exit status, the JSON, the record file, and the bytes
// on the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Json.h"
#include "cli/RecordFile.h"
#include "link/PortNames.h"
#include "radio/Catalogue.h"
#include "registry/EsnRegistry.h"
#include "tests/support/ScriptedSession.h"

namespace varnel::cli {
namespace {

// A port name mapped to another device, as the settings keep it and as it is opened.
#ifdef _WIN32
const std::string kMapped = "COM7";
const std::string kMappedDevice = "\\\\.\\COM7";
#else
const std::string kMapped = "/dev/ttyUSB7";
const std::string kMappedDevice = kMapped;
#endif

using test::Concat;
using test::kAck;
using test::kNak;
using test::kNotSupported;
using test::kWriteOk;
using test::ReadAnswer;
using test::ReadRequest;
using test::WriteRequest;
using Bytes = std::vector<std::uint8_t>;

class StringSink final : public ITextSink {
public:
    void Write(std::string_view text) override { written += text; }
    std::string written;
};

class FakeSettings final : public ISettings {
public:
    int SerialPortIndex() override { return index; }
    std::string PortDevice(const std::string& name) override {
        auto it = ports.find(name);
        return it == ports.end() ? std::string() : it->second;
    }
    std::string RegistryLocation() override { return registry; }
    int index = 0;
    std::map<std::string, std::string> ports;
    std::string registry;
};

const std::vector<std::string> kProgrammedInfo = {
    "Model Number: ID = $45 $12",          "Serial Number: 7A4C017755",
    "Software Version: R04.02.01",         "Codeplug Version: CP05.01",
    "Last Programmed: 2025-01-09 14:32",   "Codeplug Part No: TCP-4410C",
    "Firmware Part No: TFW-2401A",         "ESN: 130/05/123456",
    "Regional Identifier: North America",  "UUID: 00010203-0405-0607-0809-0A0B0C0D0E0F",
    "Radio IC Versions: $03 $12 $05 $0A ",
};

const std::vector<int> kEsn130 = {0x82, 0x51, 0xE2, 0x40, 0x4C};  // 130/05/123456
const std::vector<int> kEsnWrite130 = {0x01, 0x82, 0x51, 0xE2, 0x40, 0x4C};
const std::vector<int> kBlankEsn = {0, 0, 0, 0, 0};

class CliRun : public ::testing::Test {
protected:
    int Run(const std::vector<std::string>& args) {
        out.written.clear();
        err.written.clear();
        CliContext context(out, err, settings, radio.link, radio.clock);
        context.errIsTerminal = terminal;
        context.opener = radio.Opener();
        context.probe = [this](const std::string& device) {
            auto it = presence.find(device);
            return it == presence.end() ? PortPresence::Missing : it->second;
        };
        context.cancel = &token;
        // A registry of the test's own, never the user's.
        if (settings.registry.empty()) {
            settings.registry = (Dir() / "registry.sqlite").string();
        }
        context.openRegistry = OpenEsnRegistry;
        context.origin.station = "bench-1";
        context.stopSignal = [this] { return signal; };
        context.elapsedMs = [this] { return static_cast<double>(radio.clock.NowMs()); };
        context.unixMs = [] { return std::int64_t{1736433125123}; };  // 2025-01-09T14:32:05.123Z
        return RunCli(args, context);
    }

    // The answers of the programmed radio to the eleven reads of Radio Info and the end.
    void AnswerProgrammedInfo() {
        radio.line.Answer(ReadAnswer(std::vector<int>{0x45, 0x12}));
        for (const char* text :
             {"7A4C017755", "R04.02.01", "CP05.01", "2025-01-09 14:32", "TCP-4410C", "TFW-2401A"}) {
            radio.line.Answer(ReadAnswer(std::string(text)));
        }
        radio.line.Answer(ReadAnswer(kEsn130));
        radio.line.Answer(ReadAnswer(std::vector<int>{0x01}));
        std::vector<int> uuid;
        for (int i = 0; i < 16; ++i) {
            uuid.push_back(i);
        }
        radio.line.Answer(ReadAnswer(uuid));
        radio.line.Answer(ReadAnswer(std::vector<int>{0x03, 0x12, 0x05, 0x0A}));
        radio.line.Answer(kAck);
    }

    // A blank ESN, then the write confirmed.
    void AnswerBlankThenWrite() {
        radio.line.Answer(ReadAnswer(kBlankEsn));
        radio.line.Answer(kAck);
        radio.line.Answer(Concat({kAck, kWriteOk}));
        radio.line.Answer(kAck);
    }

    // A folder of the test's own, for the record file and the registry.
    const std::filesystem::path& Dir() {
        if (m_dir.empty()) {
            std::random_device entropy;
            const std::filesystem::path temp = std::filesystem::temp_directory_path();
            do {
                m_dir = temp / ("varnel-cli-test-" + std::to_string(entropy()));
            } while (!std::filesystem::create_directory(m_dir));
        }
        return m_dir;
    }
    std::string RecordPath() { return (Dir() / "record.jsonl").string(); }
    std::vector<std::string> RecordLines() {
        std::ifstream file(RecordPath(), std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    void TearDown() override {
        if (!m_dir.empty()) {
            std::filesystem::remove_all(m_dir);
        }
    }

    static std::string Lines(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines) {
            text += line + "\n";
        }
        return text;
    }
    JsonValue Json() {
        const auto json = ParseJson(out.written);
        EXPECT_TRUE(json.has_value()) << out.written;
        return json.value_or(JsonValue());
    }

    test::ScriptedRadio radio;
    StringSink out;
    StringSink err;
    FakeSettings settings;
    std::map<std::string, PortPresence> presence;
    CancelToken token;
    int signal = 0;
    bool terminal = false;

private:
    std::filesystem::path m_dir;
};

TEST_F(CliRun, InfoPrintsElevenLinesAsTheDialogShowsThem) {
    settings.index = 2;
    AnswerProgrammedInfo();
    EXPECT_EQ(Run({"info"}), 0);
    EXPECT_EQ(out.written, Lines(kProgrammedInfo));
    EXPECT_EQ(err.written, "");
    EXPECT_EQ(radio.log.opened, std::vector<std::string>{"COM3"});  // the app's chosen port
    EXPECT_EQ(radio.log.live, 0);
    const Bytes& written = radio.Written();
    ASSERT_GE(written.size(), 4u);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 4), ReadRequest(0));
    EXPECT_EQ(Bytes(written.end() - 3, written.end()), (Bytes{0xF1, 0x10, 0xFE}));
}

TEST_F(CliRun, InfoLivesWithARefusedModelNumberAndAMissingSoftwareVersionAsTheDialogDoes) {
    radio.line.Answer(kNak);
    radio.line.Answer(ReadAnswer(std::string("7A4C017755")));
    radio.line.Answer(Concat({kAck, kNotSupported}));
    for (int i = 0; i < 8; ++i) {
        radio.line.Answer(Concat({kAck, kNotSupported}));
    }
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"--port", "COM2", "info"}), 0);
    EXPECT_EQ(radio.log.opened, std::vector<std::string>{"COM2"});
    EXPECT_EQ(out.written,
              "Model Number:\nSerial Number: 7A4C017755\nSoftware Version: n/a\n"
              "Codeplug Version: n/a\nLast Programmed: n/a\nCodeplug Part No: n/a\n"
              "Firmware Part No: n/a\nESN: n/a\nRegional Identifier: n/a\nUUID: n/a\n"
              "Radio IC Versions: n/a\n");
    EXPECT_EQ(err.written,
              "error: NAK received from radio.\n"
              "error: Operation not supported by this radio.\n"
              "error: Operation not supported by this radio.\n");
}

TEST_F(CliRun, AnInfoThatLosesTheRadioPrintsNothingAndExitsTwo) {
    radio.line.Answer(ReadAnswer(std::vector<int>{0x45, 0x12}));  // then silence
    EXPECT_EQ(Run({"info"}), 2);
    EXPECT_EQ(out.written, "");
    EXPECT_EQ(err.written, "error: No response from radio.\n");
    EXPECT_EQ(radio.log.live, 0);

    radio.line.Answer(ReadAnswer(std::vector<int>{0x45, 0x12}));
    EXPECT_EQ(Run({"info", "--json"}), 2);
    const JsonValue json = Json();
    EXPECT_EQ(json.StringAt("outcome"), "link-failed");
    EXPECT_EQ(json.Find("exit")->number, 2);
    EXPECT_EQ(json.Find("messages")->items.at(0).text, "No response from radio.");
    const JsonValue* fields = json.Find("fields");
    ASSERT_NE(fields, nullptr);
    EXPECT_EQ(fields->StringAt("model_number"), "ID = $45 $12");
    EXPECT_EQ(fields->Find("serial_number")->kind, JsonValue::Kind::Null);
    EXPECT_EQ(fields->members.size(), 11u);
}

// A NAK is the radio's refusal; any other wrong opcode is a link that does not work. Both take
// the same way on the line and say the same, but only the refusal exits 1.
TEST_F(CliRun, AnUnexpectedAnswerIsAFailedLinkWhereANakIsARefusal) {
    const std::vector<int> blank = ReadAnswer(kBlankEsn);
    const std::vector<int> noRegion = ReadAnswer(std::vector<int>{255});
    const std::vector<int> written = Concat({kAck, kWriteOk});
    const std::vector<int> kWrong;  // where the wrong answer goes: after the acknowledge
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::vector<int>> answers;
        int nakExit;
        const char* write;  // what --json says of the write; null: no write
    } cases[] = {
        {"info, Model Number",
         {"info"},
         {kWrong},
         0,
         nullptr},  // the other reads and the end follow
        {"info, Software Version",
         {"info"},
         {ReadAnswer(std::vector<int>{0x45}), ReadAnswer(std::string("7A4C017755")), kWrong},
         1,
         nullptr},
        {"region", {"region"}, {kWrong, kAck}, 1, nullptr},
        {"program-region, the test", {"program-region", "1"}, {kWrong, kAck}, 1, "none"},
        {"program-region, the write",
         {"program-region", "1"},
         {noRegion, kAck, kWrong, kAck},
         1,
         "none"},
        {"program-esn, the test", {"program-esn", "130/5/123456"}, {kWrong, kAck}, 1, "none"},
        // The radio answered the write, not with a confirmation: whether it took the ESN is
        // unknown, so the registry keeps it.
        {"program-esn, the write",
         {"program-esn", "130/5/123456"},
         {blank, kAck, kWrong, kAck},
         1,
         "unconfirmed"},
        {"program-esn, the read back",
         {"program-esn", "130/5/123456", "--verify"},
         {blank, kAck, written, kAck, kWrong, kAck},
         1,
         "confirmed"},
    };
    int runs = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes[2];
        std::string messages[2];
        for (int unexpected = 0; unexpected < 2; ++unexpected) {
            // Each run on a registry of its own: an earlier run's ESN is not free for the next.
            settings.registry =
                (Dir() / ("registry-" + std::to_string(++runs) + ".sqlite")).string();
            const std::vector<int> wrong = Concat({kAck, unexpected ? test::Frame(7) : kNak});
            for (const auto& answer : c.answers) {
                radio.line.Answer(answer.empty() ? wrong : answer);
            }
            if (c.answers.size() == 1) {  // the rest of Radio Info
                for (int i = 1; i < 11; ++i) {
                    radio.line.Answer(ReadAnswer(std::string("x")));
                }
                radio.line.Answer(kAck);
            }
            const std::size_t before = radio.Written().size();
            std::vector<std::string> args = c.args;
            args.push_back("--json");
            EXPECT_EQ(Run(args), unexpected ? 2 : c.nakExit);
            bytes[unexpected] = Bytes(radio.Written().begin() + before, radio.Written().end());
            const JsonValue json = Json();
            EXPECT_EQ(json.StringAt("outcome"),
                      unexpected ? "link-failed" : (c.nakExit == 0 ? "ok" : "refused"));
            EXPECT_EQ(json.Find("exit")->number, unexpected ? 2 : c.nakExit);
            if (c.write == nullptr) {
                EXPECT_EQ(json.Find("write"), nullptr);
            } else {
                EXPECT_EQ(json.StringAt("write"), c.write);
            }
            messages[unexpected] = err.written;
            EXPECT_EQ(radio.log.live, 0);
        }
        EXPECT_EQ(bytes[1], bytes[0]);
        const std::string nak = "NAK received from radio.";
        ASSERT_NE(messages[0].find(nak), std::string::npos) << messages[0];
        EXPECT_EQ(messages[1], messages[0].replace(messages[0].find(nak), nak.size(),
                                                   "Unexpected response from radio."));
    }
}

TEST_F(CliRun, JsonHoldsOneObjectWithTheOutcomeMessagesAndFields) {
    AnswerProgrammedInfo();
    EXPECT_EQ(Run({"--json", "info"}), 0);
    EXPECT_EQ(out.written.back(), '\n');
    EXPECT_EQ(out.written.find('\n'), out.written.size() - 1);  // one line
    const JsonValue json = Json();
    EXPECT_EQ(json.StringAt("command"), "info");
    EXPECT_EQ(json.StringAt("port"), "COM1");
    EXPECT_EQ(json.StringAt("device"), DefaultPortDevice("COM1"));
    EXPECT_EQ(json.StringAt("outcome"), "ok");
    EXPECT_TRUE(json.Find("messages")->items.empty());
    const JsonValue* fields = json.Find("fields");
    ASSERT_NE(fields, nullptr);
    const char* keys[] = {"model_number",     "serial_number",
                          "software_version", "codeplug_version",
                          "last_programmed",  "codeplug_part_no",
                          "firmware_part_no", "esn",
                          "regional_id",      "uuid",
                          "radio_ic_versions"};
    ASSERT_EQ(fields->members.size(), 11u);
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(fields->members[i].first, keys[i]);
        EXPECT_EQ(kProgrammedInfo[i].substr(kProgrammedInfo[i].find(": ") + 2),
                  fields->members[i].second.text);
    }
}

TEST_F(CliRun, ProgramEsnWithVerifyTestsWritesAndReadsBack) {
    AnswerBlankThenWrite();
    radio.line.Answer(ReadAnswer(kEsn130));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"program-esn", "130/5/123456", "--verify"}), 0);
    EXPECT_EQ(out.written, "130/05/123456\n");
    EXPECT_EQ(err.written, "info: ESN successfully programmed.\n");
    const Bytes end = {0xF1, 0x10, 0xFE};
    Bytes expected;
    for (const Bytes& part :
         {ReadRequest(2), end, WriteRequest(kEsnWrite130), end, ReadRequest(2), end}) {
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(radio.Written(), expected);
    EXPECT_EQ(radio.log.opened.size(), 3u);  // three exchanges, as three presses would make
}

TEST_F(CliRun, AVerifyThatReadsAnotherEsnBackIsRefused) {
    AnswerBlankThenWrite();
    radio.line.Answer(ReadAnswer(std::vector<int>{0x82, 0x51, 0xE2, 0x41, 0x00}));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"program-esn", "130/5/123456", "--verify", "--json"}), 1);
    const JsonValue json = Json();
    EXPECT_EQ(json.StringAt("outcome"), "refused");
    EXPECT_EQ(json.StringAt("esn"), "130/05/123456");
    EXPECT_EQ(json.StringAt("write"), "confirmed");
    EXPECT_FALSE(json.Find("verified")->boolean);
    EXPECT_EQ(json.Find("messages")->items.back().text,
              "The ESN read back, 130/05/123457, differs from the ESN written, 130/05/123456.");
}

TEST_F(CliRun, ProgramEsnRefusesAProgrammedRadioAndARejectedWrite) {
    radio.line.Answer(ReadAnswer(kEsn130));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"program-esn", "1/2/3"}), 1);
    EXPECT_EQ(out.written, "");
    EXPECT_EQ(err.written, "error: An ESN has already been programmed to the connected radio.\n");
    EXPECT_EQ(radio.log.opened.size(), 1u);  // no write exchange

    radio.line.Answer(ReadAnswer(kBlankEsn));
    radio.line.Answer(kAck);
    radio.line.Answer(Concat({kAck, test::Frame(135, {1})}));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"program-esn", "1/2/3"}), 1);
    EXPECT_EQ(err.written,
              "error: An error occured during programming of the ESN. The ESN has not been "
              "programmed.\n");
}

TEST_F(CliRun, AnInvalidEsnOrABadCommandLineOpensNothing) {
    EXPECT_EQ(Run({"program-esn", "130/16/123456"}), 64);
    EXPECT_EQ(err.written, "error: Invalid ESN entered.\n");
    EXPECT_EQ(Run({"program-esn", "130/5/1234567", "--json", "--record", RecordPath()}), 64);
    EXPECT_EQ(Json().StringAt("outcome"), "usage");
    EXPECT_EQ(Run({"frobnicate"}), 64);
    EXPECT_EQ(err.written, "error: Unknown command frobnicate.\n");
    EXPECT_TRUE(radio.log.opened.empty());
    EXPECT_TRUE(radio.Written().empty());
    EXPECT_FALSE(std::filesystem::exists(RecordPath()));  // not even the record file
}

TEST_F(CliRun, HelpAndVersionGoToStandardOutput) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.written.find("Usage: varnel-cli [--port PORT]"), std::string::npos);
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out.written.rfind("varnel-cli ", 0), 0u);
    EXPECT_EQ(err.written, "");
}

TEST_F(CliRun, ThePortErrorIsOneErrorLineWithItsReasonUnderIt) {
    radio.portAvailable = false;
    radio.unavailableDetail = "/dev/ttyUSB0 is held by another program.";
    EXPECT_EQ(Run({"--port", "COM2", "region"}), 3);
    EXPECT_EQ(err.written,
              "error: The serial port COM2 could not be opened. It may be in use by another "
              "program.\n  /dev/ttyUSB0 is held by another program.\n");
    EXPECT_EQ(Run({"--port", "COM2", "region", "--json"}), 3);
    EXPECT_EQ(Json().StringAt("outcome"), "port-not-opened");
    EXPECT_EQ(Json().StringAt("detail"), "/dev/ttyUSB0 is held by another program.");
}

TEST_F(CliRun, AComNameWithLeadingZerosIsThatPortWithItsMapping) {
    settings.ports["COM2"] = kMapped;
    radio.line.Answer(ReadAnswer(std::vector<int>{1}));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"--port", "COM02", "region", "--json"}), 0);
    EXPECT_EQ(radio.log.opened, std::vector<std::string>{"COM2"});
    EXPECT_EQ(Json().StringAt("port"), "COM2");
    EXPECT_EQ(Json().StringAt("device"), kMappedDevice);
}

TEST_F(CliRun, RegionPrintsTheTextOfWhatTheRadioHolds) {
    const struct {
        std::vector<int> answer;
        int status;
        const char* printed;
        const char* errors;
        bool ended = true;  // the exchange ends with EndExchange (not after a missing parameter)
    } cases[] = {
        {ReadAnswer(std::vector<int>{0x01}), 0, "North America\n", ""},
        {ReadAnswer(std::vector<int>{0xFF}), 0, "No Region defined\n", ""},
        {ReadAnswer(std::vector<int>{0x00}), 0, "Super Zandrel\n", ""},
        {ReadAnswer(std::vector<int>{0x09}), 0, "Invalid Region\n", ""},
        {ReadAnswer(std::vector<int>{0x01, 0x02}), 0, "?\n", ""},
        {Concat({kAck, kNotSupported}), 1, "", "error: Operation not supported by this radio.\n",
         false},
        {kNak, 1, "", "error: NAK received from radio.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printed);
        radio.line.Answer(c.answer);
        if (c.ended) {
            radio.line.Answer(kAck);
        }
        EXPECT_EQ(Run({"region"}), c.status);
        EXPECT_EQ(out.written, c.printed);
        EXPECT_EQ(err.written, c.errors);
        EXPECT_EQ(radio.log.live, 0);
    }
    radio.line.Answer(ReadAnswer(std::vector<int>{0x03}));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"region", "--json"}), 0);
    EXPECT_EQ(Json().StringAt("region"), "EMEA");
    EXPECT_EQ(Json().Find("region_code")->number, 3);
}

TEST_F(CliRun, ProgramRegionWritesTheChosenCodeIntoARadioWithoutOne) {
    radio.line.Answer(ReadAnswer(std::vector<int>{0xFF}));
    radio.line.Answer(kAck);
    radio.line.Answer(Concat({kAck, kWriteOk}));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"program-region", "asia"}), 0);
    EXPECT_EQ(out.written, "Asia\n");
    EXPECT_EQ(err.written, "info: Regional ID successfully programmed.\n");
    const Bytes write = WriteRequest({4, 4});
    const Bytes& written = radio.Written();
    EXPECT_NE(std::search(written.begin(), written.end(), write.begin(), write.end()),
              written.end());

    radio.line.Answer(ReadAnswer(std::vector<int>{0x02}));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"program-region", "1"}), 1);
    EXPECT_EQ(err.written,
              "error: A Regional ID has already been programmed to the connected radio.\n");
}

TEST_F(CliRun, PortsListsComOneToFourWithTheirDevicesAndStates) {
    settings.ports["COM1"] = kMapped;
    presence[kMappedDevice] = PortPresence::Present;
    presence[DefaultPortDevice("COM2")] = PortPresence::Unavailable;
    EXPECT_EQ(Run({"ports"}), 0);
    EXPECT_EQ(out.written, "COM1 " + kMappedDevice + " present\nCOM2 " + DefaultPortDevice("COM2") +
                               " held\nCOM3 " + DefaultPortDevice("COM3") + " missing\nCOM4 " +
                               DefaultPortDevice("COM4") + " missing\n");
    EXPECT_TRUE(radio.log.opened.empty());
    EXPECT_EQ(Run({"ports", "--json"}), 0);
    EXPECT_EQ(Json().Find("ports")->items.size(), 4u);
    EXPECT_EQ(Json().Find("ports")->items[1].StringAt("state"), "held");
}

TEST_F(CliRun, TraceShowsEveryFrameWithItsDirection) {
    radio.line.Answer(ReadAnswer(std::vector<int>{0x01}));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"--trace", "region"}), 0);
    std::istringstream lines(err.written);
    std::vector<std::string> directions;
    for (std::string line; std::getline(lines, line);) {
        directions.push_back(line.substr(11));  // after the time stamp
    }
    EXPECT_EQ(directions,
              (std::vector<std::string>{"> F2 23 10 DA", "= F2 23 10 DA", "< 50",
                                        "< F3 8B 00 01 80", "> F1 10 FE", "= F1 10 FE", "< 50"}));
    EXPECT_EQ(err.written.substr(0, 11), "     0.000 ");
}

TEST_F(CliRun, OnATerminalAProgressLineFollowsTheReadsAndIsErasedAtTheEnd) {
    terminal = true;
    AnswerProgrammedInfo();
    EXPECT_EQ(Run({"info"}), 0);
    EXPECT_NE(err.written.find("\r\033[KReading Software Version (3 of 11)"), std::string::npos);
    EXPECT_NE(err.written.find("\r\033[KReading Radio IC Versions (11 of 11)"), std::string::npos);
    EXPECT_EQ(err.written.substr(err.written.size() - 4), "\r\033[K");
    EXPECT_EQ(out.written, Lines(kProgrammedInfo));  // standard output untouched
}

TEST_F(CliRun, AStopMidExchangeClosesThePortWithoutEndingTheExchange) {
    // SIGTERM while the tool waits for the radio.
    test::CancelOnSilencePort stopping(radio.line, token, [this] { signal = SIGTERM; });
    radio.linePort = &stopping;
    radio.line.Answer(ReadAnswer(std::vector<int>{0x45, 0x12}));  // then nothing
    EXPECT_EQ(Run({"info", "--json", "--record", RecordPath()}), 143);
    EXPECT_EQ(radio.log.live, 0);
    const Bytes& written = radio.Written();
    Bytes expected = ReadRequest(0);
    const Bytes second = ReadRequest(1);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(written, expected);  // no EndExchange
    const JsonValue json = Json();
    EXPECT_EQ(json.StringAt("outcome"), "cancelled");
    EXPECT_EQ(json.Find("exit")->number, 143);
    EXPECT_EQ(json.Find("messages")->items.back().text, "Stopped by SIGTERM.");
    ASSERT_EQ(RecordLines().size(), 1u);
    EXPECT_EQ(ParseJson(RecordLines()[0])->StringAt("outcome"), "cancelled");
}

TEST_F(CliRun, AStopBeforeTheExchangeBeginsOpensNoPort) {
    signal = SIGINT;
    token.Cancel();
    EXPECT_EQ(Run({"program-esn", "1/2/3"}), 130);
    EXPECT_EQ(err.written, "error: Stopped by SIGINT.\n");
    EXPECT_EQ(out.written, "");
    EXPECT_TRUE(radio.log.opened.empty());
}

TEST_F(CliRun, TheRegistryRefusesAnEsnProgrammedBeforeAndTheRecordLogsEveryRun) {
    AnswerBlankThenWrite();
    EXPECT_EQ(Run({"program-esn", "130/5/123456", "--record", RecordPath(), "--port", "COM2"}), 0);
    ASSERT_EQ(RecordLines().size(), 1u);
    const auto line = ParseJson(RecordLines()[0]);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->StringAt("time"), "2025-01-09T14:32:05.123Z");
    EXPECT_EQ(line->StringAt("command"), "program-esn");
    EXPECT_EQ(line->StringAt("port"), "COM2");
    EXPECT_EQ(line->StringAt("device"), DefaultPortDevice("COM2"));
    EXPECT_EQ(line->StringAt("outcome"), "ok");
    EXPECT_EQ(line->Find("exit")->number, 0);
    EXPECT_EQ(line->Find("messages")->items.at(0).text, "ESN successfully programmed.");
    const JsonValue* results = line->Find("results");
    EXPECT_EQ(results->StringAt("esn"), "130/05/123456");
    EXPECT_EQ(results->StringAt("write"), "confirmed");
    EXPECT_EQ(results->Find("registry")->StringAt("answer"), "reserved");
    EXPECT_EQ(results->Find("registry")->StringAt("state"), "confirmed");
    EXPECT_EQ(results->Find("registry")->StringAt("location"), settings.registry);

    // Another radio, the same ESN typed again: refused, and no write frame goes out.
    radio.line.Answer(ReadAnswer(kBlankEsn));
    radio.line.Answer(kAck);
    const std::size_t written = radio.Written().size();
    EXPECT_EQ(Run({"program-esn", "130/05/123456", "--record", RecordPath()}), 1);
    EXPECT_EQ(err.written.rfind("error: The ESN 130/05/123456 is already in the ESN registry: "
                                "confirmed since ",
                                0),
              0u)
        << err.written;
    EXPECT_NE(err.written.find(" on bench-1. Two radios must never share an ESN."),
              std::string::npos);
    const Bytes sent(radio.Written().begin() + static_cast<std::ptrdiff_t>(written),
                     radio.Written().end());
    Bytes check = ReadRequest(PARAM_ESN);
    check.insert(check.end(), test::kEndRequest.begin(), test::kEndRequest.end());
    EXPECT_EQ(sent, check);  // the blank test only
    ASSERT_EQ(RecordLines().size(), 2u);
    const auto refused = ParseJson(RecordLines()[1]);
    EXPECT_EQ(refused->StringAt("outcome"), "refused");
    EXPECT_EQ(refused->Find("results")->Find("registry")->StringAt("answer"), "held");
    EXPECT_EQ(refused->Find("results")->Find("registry")->Find("held_by")->StringAt("station"),
              "bench-1");

    // A different ESN goes through.
    AnswerBlankThenWrite();
    EXPECT_EQ(Run({"program-esn", "130/5/123457", "--record", RecordPath()}), 0);
    EXPECT_EQ(RecordLines().size(), 3u);
}

TEST_F(CliRun, TheRecordIsNeverReadOnlyAppendedTo) {
    {
        std::ofstream file(RecordPath(), std::ios::binary);
        file << "\xEF\xBB\xBFnot json\n"
             << "{\"command\":\"program-esn\",\"outcome\":\"ok\",\"results\":{\"esn\":"
                "\"130/05/123456\",\"write\":\"confirmed\"}}\n"
             << "{\"cut short";  // a line left without its end
    }
    AnswerBlankThenWrite();
    // The record guards nothing: only the registry says whether an ESN is taken.
    EXPECT_EQ(Run({"program-esn", "130/5/123456", "--record", RecordPath()}), 0);
    EXPECT_EQ(err.written, "info: ESN successfully programmed.\n");
    const std::vector<std::string> lines = RecordLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "\xEF\xBB\xBFnot json");
    EXPECT_EQ(lines[2], "{\"cut short");
    EXPECT_EQ(ParseJson(lines[3])->StringAt("outcome"), "ok");
}

TEST_F(CliRun, AWriteThatWentOutUnconfirmedBlocksItsEsnLikeOneThatLanded) {
    radio.line.Answer(ReadAnswer(kBlankEsn));
    radio.line.Answer(kAck);
    radio.line.Answer(kAck);  // the write acknowledged, and then no reply
    EXPECT_EQ(Run({"program-esn", "12/3/4567", "--record", RecordPath()}), 2);
    EXPECT_NE(err.written.find("error: The radio may hold the ESN 012/03/004567: nobody saw it "
                               "confirm the write."),
              std::string::npos)
        << err.written;
    const auto record = ParseJson(RecordLines().at(0));
    ASSERT_TRUE(record.has_value());
    const JsonValue* results = record->Find("results");
    EXPECT_EQ(results->StringAt("write"), "unconfirmed");
    EXPECT_EQ(results->Find("registry")->StringAt("state"), "unconfirmed");

    radio.line.Answer(ReadAnswer(kBlankEsn));
    radio.line.Answer(kAck);
    EXPECT_EQ(Run({"program-esn", "12/3/4567"}), 1);
    EXPECT_NE(err.written.find("error: The ESN 012/03/004567 is already in the ESN registry: "
                               "unconfirmed since "),
              std::string::npos)
        << err.written;

    // Read back from the radio and released by hand, it may be used again.
    EXPECT_EQ(Run({"registry", "release", "12/3/4567", "--reason", "radio read blank"}), 0);
    AnswerBlankThenWrite();
    EXPECT_EQ(Run({"program-esn", "12/3/4567"}), 0);
}

TEST_F(CliRun, ARegistryThatCannotBeUsedIsExitFourWithNothingSent) {
    for (const std::string& location :
         {(Dir() / "not-a-database").string(), std::string("/proc/varnel/registry.sqlite")}) {
        if (location.find("not-a-database") != std::string::npos) {
            std::ofstream(location) << "this is no SQLite file, and it is long enough to tell\n";
        }
        radio.log.opened.clear();
        EXPECT_EQ(Run({"program-esn", "130/5/123456", "--json", "--registry", location}), 4);
        const auto json = ParseJson(out.written);
        ASSERT_TRUE(json.has_value()) << out.written;
        EXPECT_EQ(json->StringAt("outcome"), "registry-failed");
        EXPECT_EQ(json->Find("registry")->StringAt("answer"), "failed");
        EXPECT_EQ(err.written.rfind("error: The ESN registry " + location +
                                        " could not be used. Nothing has been sent to the radio.",
                                    0),
                  0u)
            << err.written;
        EXPECT_TRUE(radio.log.opened.empty());
        EXPECT_TRUE(radio.Written().empty());
    }
}

TEST_F(CliRun, NextTakesTheLowestFreeEsnOfThePoolUntilItIsUsedUp) {
    EXPECT_EQ(Run({"registry", "pool-add", "line-a", "130/5/10", "130/5/11"}), 0);
    EXPECT_EQ(out.written, "line-a\t130/05/000010\t130/05/000011\t2\n");
    for (const char* expected : {"130/05/000010\n", "130/05/000011\n"}) {
        AnswerBlankThenWrite();
        EXPECT_EQ(Run({"program-esn", "--next", "line-a"}), 0);
        EXPECT_EQ(out.written, expected);
    }
    radio.line.Answer(ReadAnswer(kBlankEsn));
    radio.line.Answer(kAck);
    const std::size_t written = radio.Written().size();
    EXPECT_EQ(Run({"program-esn", "--next", "line-a", "--json"}), 1);
    EXPECT_EQ(ParseJson(out.written)->Find("registry")->StringAt("answer"), "exhausted");
    EXPECT_EQ(radio.Written().size(), written + ReadRequest(PARAM_ESN).size() +
                                          test::kEndRequest.size());  // no write frame
    EXPECT_EQ(Run({"registry", "pools"}), 0);
    EXPECT_EQ(out.written, "line-a\t130/05/000010\t130/05/000011\t0\n");
}

TEST_F(CliRun, RegistryCommandsShowListExportReleaseAndConfirm) {
    radio.line.Answer(ReadAnswer(kBlankEsn));
    radio.line.Answer(kAck);
    radio.line.Answer(kAck);  // unconfirmed
    EXPECT_EQ(Run({"program-esn", "1/2/3"}), 2);
    AnswerBlankThenWrite();
    EXPECT_EQ(Run({"program-esn", "1/2/4"}), 0);

    struct Step {
        std::vector<std::string> args;
        int exit;
        std::string out;  // the start of standard output
    };
    const std::vector<Step> steps = {
        {{"registry", "show", "1/2/3"}, 0, "001/02/000003\tunconfirmed\t\tbench-1\t"},
        {{"registry", "show", "1/2/5"}, 0, "001/02/000005\tfree\n"},
        {{"registry", "list", "--state", "confirmed"}, 0, "001/02/000004\tconfirmed\t"},
        {{"registry", "export", "--csv"},
         0,
         "esn,state,pool,station,user,port,radio_serial,reserved_at,settled_at,reason\n"},
        {{"registry", "release", "1/2/4", "--reason", "x"}, 1, ""},  // confirmed: never
        {{"registry", "confirm", "1/2/3"}, 0, "001/02/000003\tconfirmed\t"},
        {{"registry", "release", "1/2/3", "--reason", "x"}, 1, ""},
        {{"registry", "list", "--state", "unconfirmed"}, 0, ""},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(Run(step.args), step.exit) << step.args[1] << " " << err.written;
        EXPECT_EQ(out.written.substr(0, step.out.size()), step.out) << step.args[1];
        if (step.out.empty()) {
            EXPECT_EQ(out.written, "");
        }
    }
    EXPECT_EQ(Run({"registry", "list", "--json"}), 0);
    const auto json = ParseJson(out.written);
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(json->Find("entries")->items.size(), 2u);
}

TEST_F(CliRun, ImportTakesTheWritesOfAnOldRecordAndSaysWhichLinesItCouldNotRead) {
    const std::string old = (Dir() / "old.jsonl").string();
    {
        std::ofstream file(old, std::ios::binary);
        file << "\xEF\xBB\xBF{\"command\":\"program-esn\",\"outcome\":\"ok\",\"port\":\"COM1\","
                "\"time\":\"2025-01-01T00:00:00.000Z\",\"results\":{\"esn\":\"130/05/000001\","
                "\"write\":\"confirmed\"}}\r\n"
             << "{\"command\":\"program-esn\",\"outcome\":\"link-failed\",\"results\":{\"esn\":"
                "\"130/05/000002\",\"write\":\"unconfirmed\"}}\n"
             << "{\"command\":\"program-esn\",\"outcome\":\"refused\",\"results\":{\"esn\":"
                "\"130/05/000003\",\"write\":\"none\"}}\n"
             << "{\"command\":\"program-esn\",\"outcome\":\"ok\",\"results\":{\"esn\":\"130/05/";
    }
    EXPECT_EQ(Run({"registry", "import", old}), 1);
    EXPECT_EQ(out.written, "");
    EXPECT_EQ(err.written, "error: Line 4 of " + old + " cannot be read; it is not imported.\n");
    EXPECT_EQ(Run({"registry", "import", old, "--json"}), 1);
    const auto json = ParseJson(out.written);
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(json->Find("import")->Find("imported")->number, 0);
    EXPECT_EQ(json->Find("import")->Find("already_held")->number, 2);
    for (const auto& [esn, state] : std::vector<std::pair<std::string, std::string>>{
             {"130/5/1", "confirmed"}, {"130/5/2", "unconfirmed"}, {"130/5/3", "free"}}) {
        EXPECT_EQ(Run({"registry", "show", esn}), 0);
        EXPECT_EQ(out.written.substr(14, state.size()), state) << esn;
    }
    EXPECT_EQ(Run({"registry", "import", (Dir() / "missing.jsonl").string()}), 64);
}

TEST_F(CliRun, ARecordFileThatCannotBeOpenedStopsTheRunBeforeThePort) {
    EXPECT_EQ(Run({"info", "--record", "/nonexistent-folder/record.jsonl"}), 64);
    EXPECT_EQ(err.written.rfind("error: The record file /nonexistent-folder/record.jsonl could "
                                "not be opened: ",
                                0),
              0u);
    EXPECT_TRUE(radio.log.opened.empty());
}

// Two stations on one record file, as two handles in one process: the second waits while the
// first holds the lock, a stop ends its wait, and it gets the lock once the first lets go.
TEST_F(CliRun, TheRecordLockKeepsASecondStationWaitingUntilStopped) {
    std::string error;
    RecordFile first;
    RecordFile second;
    ASSERT_TRUE(first.Open(RecordPath(), error)) << error;
    ASSERT_TRUE(second.Open(RecordPath(), error)) << error;
    ASSERT_EQ(first.Lock(error), RecordFile::LockResult::Locked) << error;
    second.SetCancelToken(&token);
    token.Cancel();
    EXPECT_EQ(second.Lock(error), RecordFile::LockResult::Interrupted);
    EXPECT_FALSE(second.Locked());

    ASSERT_TRUE(first.Append("{\"n\":1}", error)) << error;
    first.Close();
    EXPECT_EQ(second.Lock(error), RecordFile::LockResult::Locked) << error;
    ASSERT_TRUE(second.Append("{\"n\":2}", error)) << error;
    second.Close();
    EXPECT_EQ(RecordLines(), (std::vector<std::string>{"{\"n\":1}", "{\"n\":2}"}));
}

}  // namespace
}  // namespace varnel::cli
