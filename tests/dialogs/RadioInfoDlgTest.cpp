#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "dialogs/RadioInfoDlg.h"
#include "strings/StringTable.h"
#include "tests/dialogs/ExchangeFixture.h"

namespace varnel {
namespace {

using test::Concat;
using test::ExchangeFixture;
using test::Frame;
using test::ReadAnswer;
using test::ReadRequest;
using Info = CRadioInfoDlg;

// The order in which the dialog asks, with the field each answer lands in.
const std::vector<std::pair<int, int>> kSequence = {
    {0, Info::IDC_MODEL_NUMBER},       {1, Info::IDC_SERIAL_NUMBER},
    {3, Info::IDC_SOFTWARE_VERSION},   {4, Info::IDC_CODEPLUG_VERSION},
    {10, Info::IDC_LAST_PROGRAMMED},   {11, Info::IDC_CODEPLUG_PART_NO},
    {12, Info::IDC_FIRMWARE_PART_NO},  {2, Info::IDC_ESN},
    {16, Info::IDC_REGIONAL_ID},       {15, Info::IDC_UUID},
    {14, Info::IDC_RADIO_IC_VERSIONS},
};

// A radio that has every parameter, and how the dialog shows each.
std::map<int, std::vector<int>> FullRadioValues() {
    auto text = [](const std::string& s) { return std::vector<int>(s.begin(), s.end()); };
    return {
        {0, text("TRX-450K")},
        {1, text("7A4C001932")},
        {3, text("R03.12.07")},
        {4, text("CP04.20")},
        {10, text("2024-03-18")},
        {11, text("TCP-4410A")},
        {12, text("TFW-2207B")},
        {2, {0x82, 0x51, 0xE2, 0x40, 0x4C}},
        {16, {0x01}},
        {15, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {14, {0x01, 0x0A, 0xFF}},
    };
}
std::map<int, std::string> FullRadioFields() {
    return {
        {Info::IDC_MODEL_NUMBER, "TRX-450K"},
        {Info::IDC_SERIAL_NUMBER, "7A4C001932"},
        {Info::IDC_SOFTWARE_VERSION, "R03.12.07"},
        {Info::IDC_CODEPLUG_VERSION, "CP04.20"},
        {Info::IDC_LAST_PROGRAMMED, "2024-03-18"},
        {Info::IDC_CODEPLUG_PART_NO, "TCP-4410A"},
        {Info::IDC_FIRMWARE_PART_NO, "TFW-2207B"},
        {Info::IDC_ESN, "130/05/123456"},
        {Info::IDC_REGIONAL_ID, "North America"},
        {Info::IDC_UUID, "00010203-0405-0607-0809-0A0B0C0D0E0F"},
        {Info::IDC_RADIO_IC_VERSIONS, "$01 $0A $FF "},
    };
}

std::map<int, std::string> FieldTexts(const CRadioInfoDlg& dialog) {
    std::map<int, std::string> texts;
    for (const auto& [id, field] : kSequence) {
        texts[field] = dialog.GetDlgItemText(field).toStdString();
    }
    return texts;
}

struct InfoCase {
    const char* name;
    std::map<int, std::vector<int>> answers;  // the radio's answer per id in place of the value
    int silentFrom;                           // from this read on the radio says nothing; -1: never
    std::vector<int> messages;
    int lastRead;  // the id of the last read sent: the one that aborts; -1 when none aborts
    std::map<int, std::string> fields;  // fields that differ from a full radio's
};

void PrintTo(const InfoCase& c, std::ostream* os) {
    *os << c.name;
}

class RadioInfoExchange : public ::testing::TestWithParam<InfoCase> {};

TEST_P(RadioInfoExchange, AnswersDecideFieldsMessagesAndTheWayOut) {
    const InfoCase& c = GetParam();
    ExchangeFixture f;
    const auto values = FullRadioValues();
    std::vector<std::uint8_t> expectedRequests;
    bool silent = false;
    for (const auto& [id, field] : kSequence) {
        silent = silent || id == c.silentFrom;
        if (!silent) {
            auto it = c.answers.find(id);
            f.line.Answer(it != c.answers.end() ? it->second : ReadAnswer(values.at(id)));
        }
        const auto request = ReadRequest(id);
        expectedRequests.insert(expectedRequests.end(), request.begin(), request.end());
        if (id == c.lastRead) {
            break;
        }
    }
    const bool shown = c.lastRead < 0;
    if (shown) {
        f.line.Answer(test::kAck);
        expectedRequests.insert(expectedRequests.end(), {0xF1, 0x10, 0xFE});
    }

    CRadioInfoDlg dialog;
    EXPECT_TRUE(dialog.OnInitDialog());

    EXPECT_EQ(f.Written(), expectedRequests);
    EXPECT_EQ(f.reporter.Ids(), c.messages);
    for (const auto& message : f.reporter.Messages()) {
        EXPECT_TRUE(message.waitCursor) << message.id;
    }
    EXPECT_EQ(dialog.IsEnded(), !shown);
    if (!shown) {
        EXPECT_EQ(dialog.Result(), IDCANCEL);
    } else {
        auto fields = FullRadioFields();
        for (const auto& [field, text] : c.fields) {
            fields[field] = text;
        }
        EXPECT_EQ(FieldTexts(dialog), fields);
    }
    EXPECT_EQ(f.log.opened, std::vector<std::string>{"COM1"});
    EXPECT_EQ(f.log.live, 0);
    EXPECT_EQ(g_radioLink.m_pPort, nullptr);
    if (shown) {
        EXPECT_EQ(g_radioLink.m_status, RadioStatus::Ok);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

const std::vector<int> kNotSupportedAnswer = Concat({test::kAck, test::kNotSupported});

INSTANTIATE_TEST_SUITE_P(
    Radios, RadioInfoExchange,
    ::testing::Values(
        InfoCase{"FullRadio", {}, -1, {}, -1, {}},
        InfoCase{"WithoutIds3And10",
                 {{3, kNotSupportedAnswer}, {10, kNotSupportedAnswer}},
                 -1,
                 {IDS_NOT_SUPPORTED},
                 -1,
                 {{Info::IDC_SOFTWARE_VERSION, "n/a"}, {Info::IDC_LAST_PROGRAMMED, "n/a"}}},
        InfoCase{"OlderRadioWithoutTheQuietOnes",
                 {{11, kNotSupportedAnswer},
                  {12, kNotSupportedAnswer},
                  {2, kNotSupportedAnswer},
                  {16, kNotSupportedAnswer},
                  {15, kNotSupportedAnswer},
                  {14, kNotSupportedAnswer}},
                 -1,
                 {},
                 -1,
                 {{Info::IDC_CODEPLUG_PART_NO, "n/a"},
                  {Info::IDC_FIRMWARE_PART_NO, "n/a"},
                  {Info::IDC_ESN, "n/a"},
                  {Info::IDC_REGIONAL_ID, "n/a"},
                  {Info::IDC_UUID, "n/a"},
                  {Info::IDC_RADIO_IC_VERSIONS, "n/a"}}},
        InfoCase{"NakOnModelNumberGoesOn",
                 {{0, test::kNak}},
                 -1,
                 {IDS_NAK_RECEIVED},
                 -1,
                 {{Info::IDC_MODEL_NUMBER, ""}}},
        InfoCase{"UnexpectedReplyToSerialNumberGoesOn",
                 {{1, Concat({test::kAck, Frame(7)})}},
                 -1,
                 {IDS_UNEXPECTED_RESPONSE},
                 -1,
                 {{Info::IDC_SERIAL_NUMBER, ""}}},
        InfoCase{"ModelNumberNotSupportedAborts",
                 {{0, kNotSupportedAnswer}},
                 -1,
                 {IDS_NOT_SUPPORTED},
                 0,
                 {}},
        InfoCase{"NakOnCodeplugVersionAborts", {{4, test::kNak}}, -1, {IDS_NAK_RECEIVED}, 4, {}},
        InfoCase{"NakOnQuietReadAborts",
                 {{15, Concat({test::kAck, test::kNak})}},
                 -1,
                 {IDS_NAK_RECEIVED},
                 15,
                 {}},
        InfoCase{"ChecksumErrorOnSerialNumberAborts",
                 {{1, Concat({test::kAck, {0xF2, 0x8B, 0x00, 0x00}})}},
                 -1,
                 {IDS_CHECKSUM_ERROR},
                 1,
                 {}},
        InfoCase{"SilenceAfterTheEsnRead", {}, 16, {IDS_NO_RESPONSE}, 16, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ValueCase {
    int id;
    std::vector<int> value;
    int field;
    std::string text;
};

// How single values are shown, each read from an otherwise full radio.
TEST(RadioInfoValues, ValuesAreShownByTheCatalogueRules) {
    const ValueCase cases[] = {
        {0, {0x01, 0x02}, Info::IDC_MODEL_NUMBER, "ID = $01 $02"},
        {0, {'A', 'B', 'C'}, Info::IDC_MODEL_NUMBER, "ABC"},
        {1, {'S', 'N', 0, 'X'}, Info::IDC_SERIAL_NUMBER, "SN"},
        {2, {0, 0, 0, 0, 0}, Info::IDC_ESN, "000/00/000000"},
        {2, {0x82, 0x51, 0x23, 0x45}, Info::IDC_ESN, "?"},
        {16, {0xFF}, Info::IDC_REGIONAL_ID, "No Region defined"},
        {16, {0x09}, Info::IDC_REGIONAL_ID, "Invalid Region"},
        {16, {0x01, 0x02}, Info::IDC_REGIONAL_ID, "?"},
        {15, {1, 2, 3}, Info::IDC_UUID, "?"},
        {14, {}, Info::IDC_RADIO_IC_VERSIONS, ""},
        {3, {'V', 0xE9}, Info::IDC_SOFTWARE_VERSION, "V\xC3\xA9"},  // a Latin-1 byte stays one
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.text);
        ExchangeFixture f;
        auto values = FullRadioValues();
        values[c.id] = c.value;
        for (const auto& [id, field] : kSequence) {
            f.line.Answer(ReadAnswer(values.at(id)));
        }
        f.line.Answer(test::kAck);
        CRadioInfoDlg dialog;
        dialog.OnInitDialog();
        EXPECT_FALSE(dialog.IsEnded());
        EXPECT_EQ(dialog.GetDlgItemText(c.field).toStdString(), c.text);
        EXPECT_TRUE(f.reporter.Messages().empty());
    }
}

TEST(RadioInfoDialog, PortThatDoesNotOpenEndsTheDialogBeforeItShows) {
    ExchangeFixture f;
    f.app.m_nSerialPort = 1;
    f.portAvailable = false;
    CRadioInfoDlg dialog;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(f.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_EQ(f.reporter.Messages()[0].text,
              "The serial port COM2 could not be opened.\nIt may be in use by another program.");
    EXPECT_FALSE(f.reporter.Messages()[0].waitCursor);
    EXPECT_EQ(f.log.opened, std::vector<std::string>{"COM2"});
    EXPECT_TRUE(f.Written().empty());
}

TEST(RadioInfoDialog, LaidOutFromItsTemplateWithReadOnlyCopyableFields) {
    CVarnelApp app;
    CRadioInfoDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Radio Info");
    EXPECT_EQ(dialog.size(), dialog.MapDialogRect(0, 0, 328, 153).size());
    EXPECT_EQ(dialog.GetDlgItem(Info::IDC_UUID)->geometry(),
              dialog.MapDialogRect(76, 108, 240, 14));
    EXPECT_EQ(dialog.GetButton(IDOK)->text(), "OK");
    EXPECT_TRUE(dialog.GetButton(IDOK)->isDefault());
    for (const auto& [id, field] : kSequence) {
        QLineEdit* edit = dialog.GetEdit(field);
        ASSERT_NE(edit, nullptr) << field;
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_TRUE(edit->text().isEmpty());
        EXPECT_EQ(edit->focusPolicy(), Qt::StrongFocus);
    }
    // A technician copies values out of the fields, e.g. the UUID into a ticket.
    dialog.SetDlgItemText(Info::IDC_UUID, "00010203-0405-0607-0809-0A0B0C0D0E0F");
    QLineEdit* uuid = dialog.GetEdit(Info::IDC_UUID);
    uuid->selectAll();
    uuid->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "00010203-0405-0607-0809-0A0B0C0D0E0F");
}

}  // namespace
}  // namespace varnel
