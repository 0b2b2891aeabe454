// The command line, the ESN and region arguments, JSON both ways, and the lines the tool prints:
// tables, in microseconds.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Console.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "procedures/RadioInfo.h"
#include "strings/Messages.h"

namespace varnel::cli {
namespace {

struct ArgsCase {
    std::vector<std::string> args;
    Command command;
    std::string error;  // empty: the line can be run
    std::optional<std::string> port = std::nullopt;
    std::optional<std::string> record = std::nullopt;
    bool json = false;
    bool trace = false;
    bool verify = false;
};

TEST(CliArguments, ReadTheCommandItsArgumentAndTheOptionsInAnyOrder) {
    const std::string invalidEsn = "Invalid ESN entered.";
    const ArgsCase cases[] = {
        {{"info"}, Command::Info, ""},
        {{"--port", "COM2", "info"}, Command::Info, "", "COM2"},
        {{"info", "--port=/dev/ttyUSB0", "--json"},
         Command::Info,
         "",
         "/dev/ttyUSB0",
         std::nullopt,
         true},
        {{"--trace", "--record", "log.jsonl", "region"},
         Command::Region,
         "",
         std::nullopt,
         "log.jsonl",
         false,
         true},
        {{"program-esn", "130/5/123456", "--verify"},
         Command::ProgramEsn,
         "",
         std::nullopt,
         std::nullopt,
         false,
         false,
         true},
        {{"--verify", "program-esn", "130/5/123456"},
         Command::ProgramEsn,
         "",
         std::nullopt,
         std::nullopt,
         false,
         false,
         true},
        {{"program-region", "north america"}, Command::ProgramRegion, ""},
        {{"ports"}, Command::Ports, ""},
        {{"--", "info"}, Command::Info, ""},
        {{},
         Command::None,
         "No command given: info, program-esn, region, program-region, ports or registry."},
        {{"--json"},
         Command::None,
         "No command given: info, program-esn, region, program-region, ports or registry."},
        {{"inf"}, Command::None, "Unknown command inf."},
        {{"info", "extra"}, Command::Info, "Too many arguments: extra."},
        {{"info", "--bogus"}, Command::Info, "Unknown option --bogus."},
        {{"--port"},
         Command::None,
         "The option --port needs a port: COM1 to COM4 or a device path."},
        {{"--port=", "info"},
         Command::Info,
         "The option --port needs a port: COM1 to COM4 or a device path."},
        {{"info", "--record"}, Command::Info, "The option --record needs a file."},
        {{"--json=yes", "info"}, Command::Info, "The option --json takes no value."},
        {{"info", "--verify"}, Command::Info, "The option --verify belongs to program-esn."},
        {{"program-esn"}, Command::ProgramEsn, "program-esn needs an ESN such as 130/5/123456."},
        {{"program-esn", "1/2/3", "4/5/6"}, Command::ProgramEsn, "Too many arguments: 4/5/6."},
        {{"program-esn", "256/0/1"}, Command::ProgramEsn, invalidEsn},
        {{"program-esn", "--", "-1/0/1"}, Command::ProgramEsn, invalidEsn},
        // Typed on a command line, every field is spelt out: never filled in with zeros.
        {{"program-esn", "130//123456"}, Command::ProgramEsn, invalidEsn},
        {{"program-region"},
         Command::ProgramRegion,
         "program-region needs a region: North America, Latin America, EMEA, Asia or a code 1 "
         "to 4."},
        {{"program-region", "Europe"},
         Command::ProgramRegion,
         "Unknown region Europe: give North America, Latin America, EMEA, Asia or a code 1 to 4."},
    };
    for (const ArgsCase& c : cases) {
        std::string line;
        for (const auto& a : c.args) {
            line += a + " ";
        }
        SCOPED_TRACE(line);
        const Arguments parsed = ParseArguments(c.args);
        EXPECT_EQ(parsed.error, c.error);
        EXPECT_EQ(parsed.command, c.command);
        EXPECT_EQ(parsed.invalidEsn, c.error == invalidEsn);
        if (c.error.empty()) {
            EXPECT_EQ(parsed.port, c.port);
            EXPECT_EQ(parsed.record, c.record);
            EXPECT_EQ(parsed.json, c.json);
            EXPECT_EQ(parsed.trace, c.trace);
            EXPECT_EQ(parsed.verify, c.verify);
        }
    }
}

TEST(CliArguments, HelpAndVersionWinOverAnythingElse) {
    EXPECT_TRUE(ParseArguments({"--help"}).help);
    EXPECT_TRUE(ParseArguments({"program-esn", "999/0/0", "-h"}).help);
    EXPECT_TRUE(ParseArguments({"--bogus", "--version"}).version);
    EXPECT_EQ(ParseArguments({"--version"}).error, "");
}

TEST(CliArguments, ARegionIsItsNameInAnyCaseOrItsCode) {
    const struct {
        const char* text;
        std::optional<std::uint8_t> code;
    } cases[] = {
        {"North America", 1},
        {"north america", 1},
        {"NORTH AMERICA", 1},
        {"Latin America", 2},
        {"emea", 3},
        {"Asia", 4},
        {"1", 1},
        {"4", 4},
        {"0", std::nullopt},
        {"5", std::nullopt},
        {"01", std::nullopt},
        {"255", std::nullopt},
        {"Super Zandrel", std::nullopt},  // shown by radios, never written
        {"No Region defined", std::nullopt},
        {"NorthAmerica", std::nullopt},
        {" Asia", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseRegionArgument(c.text), c.code) << c.text;
    }
}

TEST(CliJson, QuotesEscapeControlsQuotesAndBackslashesAndStayUtf8) {
    const struct {
        std::string text;
        TextBytes bytes;
        std::string json;
    } cases[] = {
        {"plain", TextBytes::Utf8, "\"plain\""},
        {"", TextBytes::Utf8, "\"\""},
        {"say \"hi\"", TextBytes::Utf8, "\"say \\\"hi\\\"\""},
        {"C:\\radio", TextBytes::Utf8, "\"C:\\\\radio\""},
        {"a\nb\rc\td", TextBytes::Utf8, "\"a\\nb\\rc\\td\""},
        {"\b\f", TextBytes::Utf8, "\"\\b\\f\""},
        {std::string("\x00\x01\x1F\x7F", 4), TextBytes::Utf8, "\"\\u0000\\u0001\\u001f\\u007f\""},
        {"/", TextBytes::Utf8, "\"/\""},
        // A radio's bytes are Latin-1: E9 is é, FF is ÿ, 80 the control U+0080.
        {"\xE9t\xE9", TextBytes::Latin1, "\"\xC3\xA9t\xC3\xA9\""},
        {"\xFF\x80", TextBytes::Latin1, "\"\xC3\xBF\xC2\x80\""},
        {"\xC3\xA9", TextBytes::Latin1, "\"\xC3\x83\xC2\xA9\""},  // two characters, not one
        // The tool's own texts are UTF-8 and pass as they are; a stray byte is taken as Latin-1.
        {"\xC3\xA9", TextBytes::Utf8, "\"\xC3\xA9\""},
        {"\xE2\x82\xAC", TextBytes::Utf8, "\"\xE2\x82\xAC\""},
        {"\xF0\x9F\x93\xBB", TextBytes::Utf8, "\"\xF0\x9F\x93\xBB\""},
        {"a\xE9z", TextBytes::Utf8, "\"a\xC3\xA9z\""},
        {"\xC3", TextBytes::Utf8, "\"\xC3\x83\""},                          // cut short
        {"\xC0\xAF", TextBytes::Utf8, "\"\xC3\x80\xC2\xAF\""},              // overlong '/'
        {"\xED\xA0\x80", TextBytes::Utf8, "\"\xC3\xAD\xC2\xA0\xC2\x80\""},  // a surrogate
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const std::string json = JsonQuote(c.text, c.bytes);
        EXPECT_EQ(json, c.json);
        // What was written reads back: the UTF-8 form of the text.
        const auto parsed = ParseJson(json);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->kind, JsonValue::Kind::String);
        EXPECT_EQ(JsonQuote(parsed->text), c.json);
    }
}

TEST(CliJson, ReadsRecordLinesAndRefusesWhatIsNotJson) {
    const auto record = ParseJson(
        R"( {"time":"2025-01-09T14:32:05.123Z","exit":0,"ok":true,"none":null,"n":-1.5e2,)"
        R"("messages":["a","b\u00e9\ud83d\udcfb"],"results":{"esn":"130/05/123456"}} )");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->StringAt("time"), "2025-01-09T14:32:05.123Z");
    EXPECT_EQ(record->Find("exit")->number, 0);
    EXPECT_EQ(record->Find("n")->number, -150);
    EXPECT_TRUE(record->Find("ok")->boolean);
    EXPECT_EQ(record->Find("none")->kind, JsonValue::Kind::Null);
    EXPECT_EQ(record->Find("messages")->items.at(1).text, "b\xC3\xA9\xF0\x9F\x93\xBB");
    EXPECT_EQ(record->Find("results")->StringAt("esn"), "130/05/123456");
    EXPECT_EQ(record->StringAt("exit"), std::nullopt);  // a number, not a string
    EXPECT_EQ(record->Find("missing"), nullptr);

    const std::string bad[] = {
        "",
        "{",
        "{\"a\":1",
        "{\"a\" 1}",
        "{\"a\":1,}",
        "[1,]",
        "{a:1}",
        "{\"a\":tru}",
        "{\"a\":01}",
        "{\"a\":1.}",
        "{\"a\":\"\\x\"}",
        "{\"a\":\"\\ud83d\"}",  // half a surrogate pair
        "{\"a\":\"\\udc00\"}",
        "{\"a\":\"line\nbreak\"}",
        "{\"a\":\"\xC3\"}",  // invalid UTF-8
        "{\"a\":1} {\"b\":2}",
        "{\"a\":1}garbage",
        std::string(100, '[') + std::string(100, ']'),  // deeper than any record
        "{\"a\":\"unterminated",
        "1e999",
    };
    for (const auto& text : bad) {
        EXPECT_FALSE(ParseJson(text).has_value()) << text;
    }
}

TEST(CliOutput, MessagesAreOneLineEach) {
    EXPECT_EQ(MessageLine(MSG_ERROR, "No response from radio."), "error: No response from radio.");
    EXPECT_EQ(MessageLine(MSG_INFO, "ESN successfully programmed."),
              "info: ESN successfully programmed.");
    EXPECT_EQ(MessageLine(MSG_ERROR,
                          "The serial port COM2 could not be opened.\nIt may be in use by another "
                          "program."),
              "error: The serial port COM2 could not be opened. It may be in use by another "
              "program.");
}

TEST(CliOutput, RadioTextsReachTheTerminalAsUtf8OnOneLine) {
    EXPECT_EQ(TerminalText("TRX-450K"), "TRX-450K");
    EXPECT_EQ(TerminalText("a\nb\rc\x07"
                           "d\x7F"),
              "a b c d ");
    EXPECT_EQ(TerminalText("Caf\xE9"), "Caf\xC3\xA9");
}

TEST(CliOutput, InfoIsElevenLabelledLinesWithTheLabelAloneWhereAFieldIsEmpty) {
    RadioInfoResult result;
    result.outcome = Outcome::Done;
    result.fields[0] = std::nullopt;  // a refused Model Number
    result.fields[1] = "7A4C017755";
    result.fields[2] = "n/a";
    result.fields[3] = "CP05.01";
    result.fields[4] = "n/a";
    result.fields[5] = "TCP-4410C";
    result.fields[6] = "TFW-2401A";
    result.fields[7] = "130/05/123456";
    result.fields[8] = "?";
    result.fields[9] = "00010203-0405-0607-0809-0A0B0C0D0E0F";
    result.fields[10] = "";  // no IC versions at all
    EXPECT_EQ(InfoLines(result), (std::vector<std::string>{
                                     "Model Number:",
                                     "Serial Number: 7A4C017755",
                                     "Software Version: n/a",
                                     "Codeplug Version: CP05.01",
                                     "Last Programmed: n/a",
                                     "Codeplug Part No: TCP-4410C",
                                     "Firmware Part No: TFW-2401A",
                                     "ESN: 130/05/123456",
                                     "Regional Identifier: ?",
                                     "UUID: 00010203-0405-0607-0809-0A0B0C0D0E0F",
                                     "Radio IC Versions:",
                                 }));
    EXPECT_EQ(InfoFieldsJson(result),
              "{\"model_number\":null,\"serial_number\":\"7A4C017755\",\"software_version\":"
              "\"n/a\",\"codeplug_version\":\"CP05.01\",\"last_programmed\":\"n/a\","
              "\"codeplug_part_no\":\"TCP-4410C\",\"firmware_part_no\":\"TFW-2401A\",\"esn\":"
              "\"130/05/123456\",\"regional_id\":\"?\",\"uuid\":"
              "\"00010203-0405-0607-0809-0A0B0C0D0E0F\",\"radio_ic_versions\":\"\"}");
}

TEST(CliOutput, TraceLinesCarryTheTimeTheDirectionAndTheBytes) {
    const std::uint8_t request[] = {0xF2, 0x23, 0x02, 0xE8};
    EXPECT_EQ(TraceLine(12.3456, '>', request, 4), "    12.346 > F2 23 02 E8");
    EXPECT_EQ(TraceLine(0, '=', request, 1), "     0.000 = F2");
    const std::uint8_t ack[] = {0x50};
    EXPECT_EQ(TraceLine(123456.0, '<', ack, 1), "123456.000 < 50");
}

TEST(CliOutput, PortsShowTheirDeviceAndHowTheyStand) {
    std::vector<PortEntry> ports(3);
    ports[0] = {0, "COM1", "/dev/ttyUSB0", PortPresence::Present};
    ports[1] = {1, "COM2", "/dev/ttyS1", PortPresence::Unavailable};
    ports[2] = {2, "COM3", "", PortPresence::Missing};
    EXPECT_EQ(PortLines(ports),
              (std::vector<std::string>{"COM1 /dev/ttyUSB0 present", "COM2 /dev/ttyS1 held",
                                        "COM3 - missing"}));
    EXPECT_EQ(PortsJson(ports),
              "[{\"name\":\"COM1\",\"device\":\"/dev/ttyUSB0\",\"state\":\"present\"},"
              "{\"name\":\"COM2\",\"device\":\"/dev/ttyS1\",\"state\":\"held\"},"
              "{\"name\":\"COM3\",\"device\":null,\"state\":\"missing\"}]");
}

TEST(CliOutput, TimesAreIso8601InUtc) {
    EXPECT_EQ(Iso8601Utc(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(Iso8601Utc(1736433125123), "2025-01-09T14:32:05.123Z");
}

class StringSink final : public ITextSink {
public:
    void Write(std::string_view text) override { written += text; }
    std::string written;
};

TEST(CliConsole, TheProgressLineStandsBelowMessagesAndIsErasedAtTheEnd) {
    StringSink sink;
    ErrorStream stream(sink, true);
    stream.Progress("Reading Model Number (1 of 11)");
    stream.Line("error: NAK received from radio.");
    stream.Progress("Reading Serial Number (2 of 11)");
    stream.EndProgress();
    EXPECT_EQ(sink.written,
              "\r\033[KReading Model Number (1 of 11)"
              "\r\033[Kerror: NAK received from radio.\nReading Model Number (1 of 11)"
              "\r\033[KReading Serial Number (2 of 11)"
              "\r\033[K");
}

TEST(CliConsole, NoProgressLineWhenStandardErrorIsNoTerminal) {
    StringSink sink;
    ErrorStream stream(sink, false);
    stream.Progress("Reading Model Number (1 of 11)");
    stream.Line("error: NAK received from radio.");
    stream.EndProgress();
    EXPECT_EQ(sink.written, "error: NAK received from radio.\n");
}

}  // namespace
}  // namespace varnel::cli
