#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <ostream>
#include <string>
#include <vector>

#include "dialogs/ProgramEsnDlg.h"
#include "strings/StringTable.h"
#include "tests/dialogs/ExchangeFixture.h"

namespace varnel {
namespace {

using test::Concat;
using test::ExchangeFixture;
using test::Frame;
using test::ReadAnswer;
using Esn = CProgramEsnDlg;

using Bytes = std::vector<std::uint8_t>;
const Bytes kReadEsnRequest = {0xF2, 0x23, 0x02, 0xE8};
const Bytes kEndRequest = {0xF1, 0x10, 0xFE};
const std::vector<int> kBlank = ReadAnswer(std::vector<int>{0, 0, 0, 0, 0});
const std::vector<int> kWriteOk = Concat({test::kAck, Frame(135, {0})});

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

// Opens the dialog on a blank radio; the caller's script goes on from there.
void OpenForEntry(ExchangeFixture& f, CProgramEsnDlg& dialog) {
    f.line.Answer(kBlank);
    f.line.Answer(test::kAck);
    ASSERT_TRUE(dialog.OnInitDialog());
    ASSERT_FALSE(dialog.IsEnded());
    ASSERT_EQ(f.Written(), Join({kReadEsnRequest, kEndRequest}));
    ASSERT_TRUE(f.reporter.Messages().empty());
}

void Type(CProgramEsnDlg& dialog, const char* f1, const char* f2, const char* f3) {
    dialog.SetDlgItemText(Esn::IDC_ESN_FIELD1, f1);
    dialog.SetDlgItemText(Esn::IDC_ESN_FIELD2, f2);
    dialog.SetDlgItemText(Esn::IDC_ESN_FIELD3, f3);
}

struct BlankTestCase {
    const char* name;
    std::vector<int> answer;  // to the ESN read
    std::vector<int> messages;
    bool opens;
    bool endSent;
};
void PrintTo(const BlankTestCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramEsnBlankTest : public ::testing::TestWithParam<BlankTestCase> {};

TEST_P(ProgramEsnBlankTest, OnlyABlankRadioOpensForEntry) {
    const BlankTestCase& c = GetParam();
    ExchangeFixture f;
    f.line.Answer(c.answer);
    f.line.Answer(test::kAck);
    CProgramEsnDlg dialog;
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.IsEnded(), !c.opens);
    if (!c.opens) {
        EXPECT_EQ(dialog.Result(), IDCANCEL);
    }
    EXPECT_EQ(f.Written(), c.endSent ? Join({kReadEsnRequest, kEndRequest}) : kReadEsnRequest);
    EXPECT_EQ(f.reporter.Ids(), c.messages);
    for (const auto& message : f.reporter.Messages()) {
        EXPECT_TRUE(message.waitCursor) << message.id;
        EXPECT_EQ(message.kind, MSG_ERROR);
    }
    // The value read is never put into the fields.
    EXPECT_TRUE(dialog.GetDlgItemText(Esn::IDC_ESN_FIELD1).isEmpty());
    EXPECT_EQ(f.log.live, 0);
    EXPECT_EQ(f.log.closed, 1);
    EXPECT_EQ(g_radioLink.m_pPort, nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Radios, ProgramEsnBlankTest,
    ::testing::Values(BlankTestCase{"Blank", kBlank, {}, true, true},
                      BlankTestCase{"AlreadyProgrammed",
                                    ReadAnswer(std::vector<int>{0, 0, 0, 0, 1}),
                                    {IDS_ESN_ALREADY_PROGRAMMED},
                                    false,
                                    true},
                      BlankTestCase{"FourByteEsn",
                                    ReadAnswer(std::vector<int>{0, 0, 0, 0}),
                                    {IDS_ESN_FORMAT_UNSUPPORTED},
                                    false,
                                    true},
                      BlankTestCase{"Refused", test::kNak, {IDS_NAK_RECEIVED}, false, true},
                      BlankTestCase{"NotSupported",
                                    Concat({test::kAck, test::kNotSupported}),
                                    {IDS_NOT_SUPPORTED},
                                    false,
                                    false},
                      BlankTestCase{"Silent", {}, {IDS_NO_RESPONSE}, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramEsn, ProgramWritesTheSixByteFormAndClosesOnSuccess) {
    ExchangeFixture f;
    CProgramEsnDlg dialog;
    OpenForEntry(f, dialog);
    Type(dialog, "130", "5", "123456");
    f.line.Answer(kWriteOk);
    f.line.Answer(test::kAck);
    dialog.OnOK();
    EXPECT_EQ(f.Written(), Join({kReadEsnRequest,
                                 kEndRequest,
                                 {0xF7, 0x18, 0x01, 0x82, 0x51, 0xE2, 0x40, 0x4C, 0xAE},
                                 kEndRequest}));
    ASSERT_EQ(f.reporter.Ids(), std::vector<int>{IDS_ESN_PROGRAMMED});
    EXPECT_EQ(f.reporter.Messages()[0].kind, MSG_INFO);
    EXPECT_TRUE(f.reporter.Messages()[0].waitCursor);
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(f.log.opened.size(), 2u);
    EXPECT_EQ(f.log.live, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

struct EntryCase {
    const char* f1;
    const char* f2;
    const char* f3;
    std::vector<int> payload;  // the write payload, empty when the entry is refused
};

TEST(ProgramEsn, FieldsAreParsedInOrderBeforeAnythingIsSent) {
    const EntryCase cases[] = {
        {"", "", "1", {0x01, 0x00, 0x00, 0x00, 0x01, 0xD8}},  // empty fields 1 and 2 are 0
        {"000", "15", "65536", {0x01, 0x00, 0xF1, 0x00, 0x00, 0x0B}},
        {"255", "15", "262143", {0x01, 0xFF, 0xF3, 0xFF, 0xFF, 0x07}},
        {"", "", "", {}},
        {"12 ", "1", "1", {}},
        {"1", "+5", "1", {}},
        {"256", "1", "1", {}},
        {"1", "16", "1", {}},
        {"1", "1", "262144", {}},
        {"x", "99", "", {}},  // the first bad field ends it: one message
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(std::string(c.f1) + "/" + c.f2 + "/" + c.f3);
        ExchangeFixture f;
        CProgramEsnDlg dialog;
        OpenForEntry(f, dialog);
        Type(dialog, c.f1, c.f2, c.f3);
        f.line.Answer(kWriteOk);
        f.line.Answer(test::kAck);
        dialog.OnOK();
        if (c.payload.empty()) {
            EXPECT_EQ(f.reporter.Ids(), std::vector<int>{IDS_ESN_INVALID});
            EXPECT_EQ(f.log.opened.size(), 1u);  // no exchange at all
            EXPECT_EQ(f.Written(), Join({kReadEsnRequest, kEndRequest}));
            EXPECT_FALSE(dialog.IsEnded());
            EXPECT_EQ(dialog.GetDlgItemText(Esn::IDC_ESN_FIELD1), c.f1);
        } else {
            const std::vector<int> frame = Frame(24, c.payload);
            EXPECT_EQ(f.Written(), Join({kReadEsnRequest, kEndRequest,
                                         Bytes(frame.begin(), frame.end()), kEndRequest}));
            EXPECT_EQ(f.reporter.Ids(), std::vector<int>{IDS_ESN_PROGRAMMED});
            EXPECT_TRUE(dialog.IsEnded());
        }
    }
}

TEST(ProgramEsn, FailedWriteKeepsTheFieldsAndASecondPressRepeatsTheExchange) {
    ExchangeFixture f;
    CProgramEsnDlg dialog;
    OpenForEntry(f, dialog);
    Type(dialog, "130", "5", "123456");
    f.line.Answer(Concat({test::kAck, Frame(135, {1})}));  // the radio rejects the value
    f.line.Answer(test::kAck);
    dialog.OnOK();
    ASSERT_EQ(f.reporter.Ids(), std::vector<int>{IDS_ESN_PROGRAM_FAILED});
    EXPECT_TRUE(f.reporter.Messages()[0].waitCursor);
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(dialog.GetDlgItemText(Esn::IDC_ESN_FIELD3), "123456");
    const Bytes write = {0xF7, 0x18, 0x01, 0x82, 0x51, 0xE2, 0x40, 0x4C, 0xAE};
    // The end-of-exchange request follows a failed write too.
    EXPECT_EQ(f.Written(), Join({kReadEsnRequest, kEndRequest, write, kEndRequest}));
    EXPECT_EQ(f.log.live, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    f.reporter.Clear();
    f.line.Answer(kWriteOk);
    f.line.Answer(test::kAck);
    dialog.OnOK();
    EXPECT_EQ(f.log.opened.size(), 3u);
    EXPECT_EQ(f.reporter.Ids(), std::vector<int>{IDS_ESN_PROGRAMMED});
    EXPECT_EQ(f.Written(),
              Join({kReadEsnRequest, kEndRequest, write, kEndRequest, write, kEndRequest}));
    EXPECT_EQ(dialog.Result(), IDOK);
}

TEST(ProgramEsn, WriteWithoutAnAnswerReportsBothMessagesWithTheWaitCursor) {
    ExchangeFixture f;
    CProgramEsnDlg dialog;
    OpenForEntry(f, dialog);
    Type(dialog, "1", "2", "3");
    dialog.OnOK();  // the radio says nothing
    EXPECT_EQ(f.reporter.Ids(),
              (std::vector<int>{IDS_NO_RESPONSE, IDS_ESN_PROGRAM_FAILED, IDS_NO_RESPONSE}));
    for (const auto& message : f.reporter.Messages()) {
        EXPECT_TRUE(message.waitCursor) << message.id;
    }
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(f.log.live, 0);
}

TEST(ProgramEsn, HeldPortGivesThePortErrorAndNothingFromTheLink) {
    ExchangeFixture f;
    f.portAvailable = false;
    {
        CProgramEsnDlg dialog;
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_FALSE(dialog.isVisible());
    }
    EXPECT_EQ(f.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_FALSE(f.reporter.Messages()[0].waitCursor);
    EXPECT_TRUE(f.Written().empty());

    // On "Program" the same box, and the dialog stays open for another try.
    f.portAvailable = true;
    f.reporter.Clear();
    CProgramEsnDlg dialog;
    OpenForEntry(f, dialog);
    f.portAvailable = false;
    Type(dialog, "1", "2", "3");
    dialog.OnOK();
    EXPECT_EQ(f.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(f.Written(), Join({kReadEsnRequest, kEndRequest}));
}

TEST(ProgramEsn, LaidOutFromItsTemplateAndFieldsRefuseExtraCharacters) {
    ExchangeFixture f;
    CProgramEsnDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Program ESN");
    EXPECT_EQ(dialog.size(), dialog.MapDialogRect(0, 0, 244, 65).size());
    EXPECT_EQ(dialog.GetDlgItem(Esn::IDC_ESN_FIELD3)->geometry(),
              dialog.MapDialogRect(108, 40, 40, 14));
    EXPECT_EQ(dialog.GetButton(IDOK)->text(), "Program");
    EXPECT_TRUE(dialog.GetButton(IDOK)->isDefault());
    EXPECT_EQ(dialog.GetButton(IDCANCEL)->text(), "Abort");
    const std::vector<QWidget*> tabOrder = {dialog.GetDlgItem(Esn::IDC_ESN_FIELD1),
                                            dialog.GetDlgItem(Esn::IDC_ESN_FIELD2),
                                            dialog.GetDlgItem(Esn::IDC_ESN_FIELD3),
                                            dialog.GetDlgItem(IDOK), dialog.GetDlgItem(IDCANCEL)};
    EXPECT_EQ(dialog.TabStops(), tabOrder);
    bool instructionFound = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        instructionFound |= label->text() ==
                            "Enter the ESN to be programmed into the Radio.\nPress the \"Program\" "
                            "button to program it into the Radio.";
    }
    EXPECT_TRUE(instructionFound);

    OpenForEntry(f, dialog);
    const struct {
        int id;
        const char* typed;
        const char* kept;
    } limits[] = {{Esn::IDC_ESN_FIELD1, "1000", "100"},
                  {Esn::IDC_ESN_FIELD2, "123", "12"},
                  {Esn::IDC_ESN_FIELD3, "1234567", "123456"}};
    for (const auto& limit : limits) {
        QTest::keyClicks(dialog.GetEdit(limit.id), limit.typed);
        EXPECT_EQ(dialog.GetDlgItemText(limit.id), limit.kept);
    }

    // Abort ends the dialog without touching the port.
    dialog.GetButton(IDCANCEL)->click();
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), IDCANCEL);
    EXPECT_EQ(f.log.opened.size(), 1u);
}

}  // namespace
}  // namespace varnel
