// The Program ESN dialog's wiring: the blank test decides whether it opens, "Program" takes the
// typed fields to the write, and its outcome decides whether it closes. The rules of the blank
// test and the write are the procedures', tested with them.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "dialogs/ProgramEsnDlg.h"
#include "strings/StringTable.h"
#include "tests/dialogs/DialogFixture.h"

namespace varnel {
namespace {

using test::Bytes;
using test::ReadAnswer;
using Esn = CProgramEsnDlg;

const std::vector<int> kBlank = ReadAnswer(std::vector<int>{0, 0, 0, 0, 0});
// 130/05/123456 with its check byte, as the write id and value.
const Bytes kWrite130_5_123456 = test::WriteRequest({0x01, 0x82, 0x51, 0xE2, 0x40, 0x4C});

void Type(CProgramEsnDlg& dialog, const char* f1, const char* f2, const char* f3) {
    dialog.SetDlgItemText(Esn::IDC_ESN_FIELD1, f1);
    dialog.SetDlgItemText(Esn::IDC_ESN_FIELD2, f2);
    dialog.SetDlgItemText(Esn::IDC_ESN_FIELD3, f3);
}

// A dialog on a scripted radio; OpenForEntry opens it on a blank radio.
class ProgramEsnDlg : public ::testing::Test {
protected:
    void ScriptBlank() {
        radio.line.Answer(kBlank);
        radio.line.Answer(test::kAck);
    }
    void OpenForEntry() {
        ScriptBlank();
        ASSERT_TRUE(dialog.OnInitDialog());
        ASSERT_FALSE(dialog.IsEnded());
        ASSERT_TRUE(radio.reporter.Messages().empty());
        m_opened = radio.Written().size();
    }
    // What went on the line after the dialog opened.
    Bytes SinceOpening() const { return test::WrittenSince(radio, m_opened); }

    test::ScriptedRadio radio;
    CProgramEsnDlg dialog{radio.MakeSession()};

private:
    std::size_t m_opened = 0;
};

TEST_F(ProgramEsnDlg, BlankRadioOpensWithEmptyFieldsThatTakeThreeTwoAndSixDigits) {
    OpenForEntry();
    const struct {
        int id;
        int maxLength;
        const char* typed;
        const char* kept;
    } fields[] = {{Esn::IDC_ESN_FIELD1, 3, "1000", "100"},
                  {Esn::IDC_ESN_FIELD2, 2, "123", "12"},
                  {Esn::IDC_ESN_FIELD3, 6, "1234567", "123456"}};
    for (const auto& field : fields) {
        QLineEdit* edit = dialog.GetEdit(field.id);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->text().isEmpty());  // the value read is never put into the fields
        EXPECT_EQ(edit->maxLength(), field.maxLength);
        QTest::keyClicks(edit, field.typed);
        EXPECT_EQ(edit->text(), field.kept);
    }
}

TEST_F(ProgramEsnDlg, ProgrammedRadioEndsTheDialogBeforeItShows) {
    radio.line.Answer(ReadAnswer(std::vector<int>{0, 0, 0, 0, 1}));
    radio.line.Answer(test::kAck);
    const test::ModalRun run = test::RunModal<CProgramEsnDlg>(dialog, [](Esn& d) { d.OnCancel(); });
    EXPECT_FALSE(run.shown);
    EXPECT_EQ(run.result, kIdCancel);
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{IDS_ESN_ALREADY_PROGRAMMED});
    EXPECT_EQ(radio.log.live, 0);
}

TEST_F(ProgramEsnDlg, InvalidEntryIsToldAndNothingIsSent) {
    OpenForEntry();
    // Field 3 empty, a field out of its range, a sign: each is refused before any exchange.
    const char* entries[][3] = {{"130", "5", ""}, {"130", "16", "123456"}, {"+1", "5", "123456"}};
    for (const auto& entry : entries) {
        SCOPED_TRACE(std::string(entry[0]) + "/" + entry[1] + "/" + entry[2]);
        radio.reporter.Clear();
        Type(dialog, entry[0], entry[1], entry[2]);
        dialog.OnOK();
        ASSERT_EQ(radio.reporter.Messages().size(), 1u);
        EXPECT_EQ(radio.reporter.Messages()[0].kind, MSG_ERROR);
        EXPECT_EQ(radio.reporter.Messages()[0].text, "Invalid ESN entered.");
        EXPECT_FALSE(dialog.IsEnded());
        EXPECT_EQ(dialog.GetDlgItemText(Esn::IDC_ESN_FIELD1), entry[0]);
    }
    EXPECT_EQ(radio.log.opened.size(), 1u);  // the opening only
    EXPECT_TRUE(SinceOpening().empty());
}

// The registry says no before anything is sent: the dialog stays open as for an invalid ESN.
TEST_F(ProgramEsnDlg, AnEsnTheRegistryHoldsOrARegistryThatCannotBeUsedSendsNothing) {
    const struct {
        const char* name;
        std::function<void(test::MemoryRegistry&)> arrange;
        int message;
    } cases[] = {
        {"held",
         [](test::MemoryRegistry& r) {
             EsnEntry entry;
             entry.esn = "130/05/123456";
             entry.state = EsnState::Confirmed;
             entry.origin.station = "bench-2";
             r.entries[entry.esn] = entry;
         },
         IDS_ESN_HELD},
        {"unusable",
         [](test::MemoryRegistry& r) { r.failReserve = RegistryError{"database is locked"}; },
         IDS_REGISTRY_FAILED},
    };
    OpenForEntry();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        radio.registry.entries.clear();
        radio.registry.failReserve.reset();
        c.arrange(radio.registry);
        radio.reporter.Clear();
        Type(dialog, "130", "5", "123456");
        dialog.OnOK();
        EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{c.message});
        EXPECT_FALSE(dialog.IsEnded());
        EXPECT_EQ(dialog.GetDlgItemText(Esn::IDC_ESN_FIELD3), "123456");
    }
    EXPECT_EQ(radio.log.opened.size(), 1u);  // the opening only
    EXPECT_TRUE(SinceOpening().empty());
}

struct WriteCase {
    const char* name;
    std::vector<int> answer;  // to the write
    int message;
    bool closes;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramEsnWrite : public ProgramEsnDlg, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ProgramEsnWrite, ProgramWritesTheTypedEsnAndClosesOnlyOnSuccess) {
    const WriteCase& c = GetParam();
    ScriptBlank();
    std::size_t opening = 0;
    const test::ModalRun run = test::RunModal<CProgramEsnDlg>(dialog, [&](Esn& d) {
        opening = radio.Written().size();
        radio.line.Answer(c.answer);
        radio.line.Answer(test::kAck);
        Type(d, "130", "5", "123456");
        d.GetButton(kIdOk)->click();
        if (!d.IsEnded()) {
            // Open for another try, with the fields as typed.
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(d.GetDlgItemText(Esn::IDC_ESN_FIELD1), "130");
            EXPECT_EQ(d.GetDlgItemText(Esn::IDC_ESN_FIELD2), "5");
            EXPECT_EQ(d.GetDlgItemText(Esn::IDC_ESN_FIELD3), "123456");
            d.GetButton(kIdCancel)->click();
        }
    });
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(run.result, c.closes ? kIdOk : kIdCancel);
    EXPECT_EQ(test::WrittenSince(radio, opening), test::Join({kWrite130_5_123456, test::kEnd}));
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{c.message});
    EXPECT_EQ(radio.log.live, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ProgramEsnWrite,
    ::testing::Values(WriteCase{"Written", test::Concat({test::kAck, test::kWriteOk}),
                                IDS_ESN_PROGRAMMED, true},
                      WriteCase{"Rejected", test::Concat({test::kAck, test::Frame(135, {1})}),
                                IDS_ESN_PROGRAM_FAILED, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct LeaveCase {
    const char* name;
    std::function<void(Esn&)> leave;
};

void PrintTo(const LeaveCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramEsnLeave : public ProgramEsnDlg, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(ProgramEsnLeave, SendsNothing) {
    ScriptBlank();
    std::size_t opening = 0;
    const test::ModalRun run = test::RunModal<CProgramEsnDlg>(dialog, [&](Esn& d) {
        opening = radio.Written().size();
        Type(d, "130", "5", "123456");
        GetParam().leave(d);
    });
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(run.result, kIdCancel);
    EXPECT_EQ(radio.log.opened.size(), 1u);
    EXPECT_TRUE(test::WrittenSince(radio, opening).empty());
    EXPECT_TRUE(radio.reporter.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ProgramEsnLeave,
    ::testing::Values(LeaveCase{"Abort", [](Esn& d) { d.GetButton(kIdCancel)->click(); }},
                      LeaveCase{"Esc", [](Esn& d) { QTest::keyClick(&d, Qt::Key_Escape); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnel
