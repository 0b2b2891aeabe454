// The Program Regional ID dialog's wiring: the test for a radio without a Regional ID decides
// whether it opens, "Program" takes the chosen region to the write, and its outcome decides
// whether it closes. The rules of the test and the write are the procedures', tested with them.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "dialogs/ProgramRegionalIdDlg.h"
#include "strings/StringTable.h"
#include "tests/dialogs/DialogFixture.h"

namespace varnel {
namespace {

using test::Bytes;
using test::ReadAnswer;
using Region = CProgramRegionalIdDlg;

constexpr int kList = Region::IDC_REGIONAL_ID;
const std::vector<int> kNoRegion = ReadAnswer(std::vector<int>{0xFF});

// A dialog on a scripted radio; ScriptNoRegion makes the radio one without a Regional ID.
class ProgramRegionalIdDlg : public ::testing::Test {
protected:
    void ScriptNoRegion() {
        radio.line.Answer(kNoRegion);
        radio.line.Answer(test::kAck);
    }

    test::ScriptedRadio radio;
    CProgramRegionalIdDlg dialog{radio.MakeSession()};
};

TEST_F(ProgramRegionalIdDlg, RadioWithoutRegionOpensWithTheFourRegionsAndNoneChosen) {
    ScriptNoRegion();
    QStringList entries;
    int selected = -2;
    bool listHasFocus = false;
    const test::ModalRun run = test::RunModal<Region>(dialog, [&](Region& d) {
        entries = test::Entries(*d.GetComboBox(kList));
        selected = d.GetComboBox(kList)->currentIndex();
        // The list takes the focus first, so the user can choose with the keyboard.
        listHasFocus = d.focusWidget() == d.GetComboBox(kList);
        d.OnCancel();
    });
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(entries, (QStringList{"North America", "Latin America", "EMEA", "Asia"}));
    EXPECT_EQ(selected, -1);
    EXPECT_TRUE(listHasFocus);
    EXPECT_TRUE(radio.reporter.Messages().empty());
}

TEST_F(ProgramRegionalIdDlg, RadioWithARegionEndsTheDialogBeforeItShows) {
    radio.line.Answer(ReadAnswer(std::vector<int>{0x02}));
    radio.line.Answer(test::kAck);
    const test::ModalRun run = test::RunModal<Region>(dialog, [](Region& d) { d.OnCancel(); });
    EXPECT_FALSE(run.shown);
    EXPECT_EQ(run.result, kIdCancel);
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{IDS_REGION_ALREADY_PROGRAMMED});
    EXPECT_EQ(dialog.GetComboBox(kList)->count(), 0);
    EXPECT_EQ(radio.log.live, 0);
}

TEST_F(ProgramRegionalIdDlg, ProgramWithoutAChoiceIsToldAndSendsNothing) {
    ScriptNoRegion();
    ASSERT_TRUE(dialog.OnInitDialog());
    ASSERT_FALSE(dialog.IsEnded());
    const std::size_t opening = radio.Written().size();
    dialog.OnOK();
    ASSERT_EQ(radio.reporter.Messages().size(), 1u);
    EXPECT_EQ(radio.reporter.Messages()[0].kind, MSG_ERROR);
    EXPECT_EQ(radio.reporter.Messages()[0].text, "No Regional ID selected.");
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(radio.log.opened.size(), 1u);  // the opening only
    EXPECT_TRUE(test::WrittenSince(radio, opening).empty());
}

struct WriteCase {
    const char* name;
    const char* region;       // chosen in the list
    std::vector<int> answer;  // to the write
    Bytes request;            // the write request
    int message;
    bool closes;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramRegionalIdWrite : public ProgramRegionalIdDlg,
                               public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ProgramRegionalIdWrite, ProgramWritesTheChosenRegionAndClosesOnlyOnSuccess) {
    const WriteCase& c = GetParam();
    ScriptNoRegion();
    std::size_t opening = 0;
    const test::ModalRun run = test::RunModal<Region>(dialog, [&](Region& d) {
        opening = radio.Written().size();
        radio.line.Answer(c.answer);
        radio.line.Answer(test::kAck);
        QComboBox* list = d.GetComboBox(kList);
        list->setCurrentIndex(list->findText(c.region));
        d.GetButton(kIdOk)->click();
        if (!d.IsEnded()) {
            // Open for another try, with the choice unchanged.
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(list->currentText(), c.region);
            d.GetButton(kIdCancel)->click();
        }
    });
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(run.result, c.closes ? kIdOk : kIdCancel);
    EXPECT_EQ(test::WrittenSince(radio, opening), test::Join({c.request, test::kEnd}));
    EXPECT_EQ(radio.reporter.Ids(), std::vector<int>{c.message});
    EXPECT_EQ(radio.log.live, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ProgramRegionalIdWrite,
    ::testing::Values(WriteCase{"NorthAmericaWritten", "North America",
                                test::Concat({test::kAck, test::kWriteOk}),
                                test::WriteRequest({0x04, 0x01}), IDS_REGION_PROGRAMMED, true},
                      WriteCase{
                          "AsiaRejected", "Asia", test::Concat({test::kAck, test::Frame(135, {1})}),
                          test::WriteRequest({0x04, 0x04}), IDS_REGION_PROGRAM_FAILED, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct LeaveCase {
    const char* name;
    std::function<void(Region&)> leave;
};

void PrintTo(const LeaveCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramRegionalIdLeave : public ProgramRegionalIdDlg,
                               public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(ProgramRegionalIdLeave, SendsNothing) {
    ScriptNoRegion();
    std::size_t opening = 0;
    const test::ModalRun run = test::RunModal<Region>(dialog, [&](Region& d) {
        opening = radio.Written().size();
        d.GetComboBox(kList)->setCurrentIndex(3);
        GetParam().leave(d);
    });
    EXPECT_TRUE(run.shown);
    EXPECT_EQ(run.result, kIdCancel);
    EXPECT_EQ(radio.log.opened.size(), 1u);
    EXPECT_TRUE(test::WrittenSince(radio, opening).empty());
    EXPECT_TRUE(radio.reporter.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ProgramRegionalIdLeave,
    ::testing::Values(LeaveCase{"Abort", [](Region& d) { d.GetButton(kIdCancel)->click(); }},
                      LeaveCase{"Esc", [](Region& d) { QTest::keyClick(&d, Qt::Key_Escape); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnel
