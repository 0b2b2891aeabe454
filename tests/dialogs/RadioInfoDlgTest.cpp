// The Radio Info dialog's wiring: what the procedure read reaches the right fields, and a failure
// ends the dialog before it shows. Which answers lead where is the procedure's, tested with it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialogs/RadioInfoDlg.h"
#include "procedures/RadioInfo.h"
#include "strings/StringTable.h"
#include "tests/dialogs/DialogFixture.h"

namespace varnel {
namespace {

using test::ReadAnswer;
using Info = CRadioInfoDlg;

std::vector<int> Text(const std::string& s) {
    return std::vector<int>(s.begin(), s.end());
}

// A radio with every parameter but one, that refuses its Model Number, and whose Software Version
// holds a byte above 127.
std::map<int, std::vector<int>> Answers() {
    return {
        {0, test::kNak},
        {1, ReadAnswer(Text("7A4C001932"))},
        {3, ReadAnswer(std::vector<int>{'V', 0xE9})},
        {4, ReadAnswer(Text("CP04.20"))},
        {10, test::Concat({test::kAck, test::kNotSupported})},
        {11, ReadAnswer(Text("TCP-4410A"))},
        {12, ReadAnswer(Text("TFW-2207B"))},
        {2, ReadAnswer(std::vector<int>{0x82, 0x51, 0xE2, 0x40, 0x4C})},
        {16, ReadAnswer(std::vector<int>{0x01})},
        {15, ReadAnswer(std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})},
        {14, ReadAnswer(std::vector<int>{0x01, 0x0A, 0xFF})},
    };
}

// Plays the radio's answers in the order the procedure asks, then acknowledges the end.
void Script(test::ScriptedRadio& radio, std::map<int, std::vector<int>> answers) {
    for (const RadioInfoQuery& query : kRadioInfoQueries) {
        radio.line.Answer(answers.at(query.id));
    }
    radio.line.Answer(test::kAck);
}

std::map<int, QString> Fields(const CRadioInfoDlg& dialog) {
    std::map<int, QString> fields;
    for (int id : {Info::IDC_MODEL_NUMBER, Info::IDC_SERIAL_NUMBER, Info::IDC_SOFTWARE_VERSION,
                   Info::IDC_CODEPLUG_VERSION, Info::IDC_LAST_PROGRAMMED,
                   Info::IDC_CODEPLUG_PART_NO, Info::IDC_FIRMWARE_PART_NO, Info::IDC_ESN,
                   Info::IDC_REGIONAL_ID, Info::IDC_UUID, Info::IDC_RADIO_IC_VERSIONS}) {
        fields[id] = dialog.GetDlgItemText(id);
    }
    return fields;
}

TEST(RadioInfoDlg, EachValueReachesItsOwnFieldAndTheDialogShows) {
    test::ScriptedRadio radio;
    Script(radio, Answers());
    CRadioInfoDlg dialog(radio.MakeSession());
    std::map<int, QString> shown;
    const test::ModalRun run = test::RunModal<CRadioInfoDlg>(dialog, [&](CRadioInfoDlg& d) {
        shown = Fields(d);
        d.GetButton(kIdOk)->click();
    });
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(run.result, kIdOk);
    const std::map<int, QString> expected = {
        {Info::IDC_MODEL_NUMBER, ""},  // refused: the field stays empty
        {Info::IDC_SERIAL_NUMBER, "7A4C001932"},
        {Info::IDC_SOFTWARE_VERSION, QString::fromUtf8("V\xC3\xA9")},
        {Info::IDC_CODEPLUG_VERSION, "CP04.20"},
        {Info::IDC_LAST_PROGRAMMED, "n/a"},
        {Info::IDC_CODEPLUG_PART_NO, "TCP-4410A"},
        {Info::IDC_FIRMWARE_PART_NO, "TFW-2207B"},
        {Info::IDC_ESN, "130/05/123456"},
        {Info::IDC_REGIONAL_ID, "North America"},
        {Info::IDC_UUID, "00010203-0405-0607-0809-0A0B0C0D0E0F"},
        {Info::IDC_RADIO_IC_VERSIONS, "$01 $0A $FF "},
    };
    EXPECT_EQ(shown, expected);
    // A byte of a value is one character, whatever its value: E9 is not the start of UTF-8.
    EXPECT_EQ(shown[Info::IDC_SOFTWARE_VERSION].size(), 2);
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{IDS_NAK_RECEIVED});
    EXPECT_EQ(radio.log.opened, std::vector<std::string>{"COM1"});
    EXPECT_EQ(radio.log.live, 0);
}

TEST(RadioInfoDlg, AFailureEndsTheDialogBeforeItShows) {
    struct Case {
        const char* name;
        bool portAvailable;
        int nakFrom;  // the first parameter the radio refuses; -1: none
    };
    // A port that does not open, and a refusal of a parameter that the sequence cannot go on
    // without.
    for (const Case& c : {Case{"PortNotOpened", false, -1}, Case{"Aborted", true, 4}}) {
        SCOPED_TRACE(c.name);
        test::ScriptedRadio radio;
        radio.portAvailable = c.portAvailable;
        auto answers = Answers();
        answers[0] = ReadAnswer(Text("TRX-450K"));
        if (c.nakFrom >= 0) {
            answers[c.nakFrom] = test::kNak;
        }
        Script(radio, answers);
        CRadioInfoDlg dialog(radio.MakeSession());
        const test::ModalRun run =
            test::RunModal<CRadioInfoDlg>(dialog, [](CRadioInfoDlg& d) { d.OnCancel(); });
        EXPECT_FALSE(run.shown);
        EXPECT_EQ(run.result, kIdCancel);
        EXPECT_EQ(radio.reporter.Messages().size(), 1u);
        EXPECT_EQ(radio.log.live, 0);
    }
}

// The exchange runs the way the session says: in the window, off the user-interface thread.
TEST(RadioInfoDlg, RunsItsExchangeThroughTheSessionsRunner) {
    test::ScriptedRadio radio;
    Script(radio, Answers());
    int runs = 0;
    Session session = radio.MakeSession();
    session.runner = [&](Session& s, const std::function<void(Session&)>& procedure) {
        ++runs;
        procedure(s);
    };
    CRadioInfoDlg dialog(session);
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(dialog.IsEnded());
}

}  // namespace
}  // namespace varnel
