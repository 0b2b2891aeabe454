#include <gtest/gtest.h>

#include <ostream>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/ProgramRegionalIdDlg.h"
#include "link/PortNames.h"
#include "strings/StringTable.h"
#include "tests/dialogs/DialogDriver.h"
#include "tests/dialogs/ExchangeFixture.h"
#include "tests/support/RecordingReporter.h"

#ifdef VARNEL_HAVE_RADIOSIM
#include "tools/radio-sim/RadioSimulator.h"
#endif

namespace varnel {
namespace {

using test::Concat;
using test::ExchangeFixture;
using test::Frame;
using test::kAck;
using test::kEndRequest;
using test::ReadAnswer;
using Bytes = std::vector<std::uint8_t>;

constexpr int kList = CProgramRegionalIdDlg::IDC_REGIONAL_ID;

Bytes ToBytes(const std::vector<int>& values) {
    return Bytes(values.begin(), values.end());
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Bytes kReadRegionalId = test::ReadRequest(16);
const Bytes kEnd = ToBytes(kEndRequest);

Bytes WriteRequest(int code) {
    return ToBytes(Frame(24, {4, code}));
}

QStringList Entries(CProgramRegionalIdDlg& dialog) {
    QStringList entries;
    const QComboBox* list = dialog.GetComboBox(kList);
    for (int i = 0; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

void ExpectExchangeClosed(const ExchangeFixture& f) {
    EXPECT_EQ(g_radioLink.m_pPort, nullptr);
    EXPECT_EQ(g_radioLink.m_status, RadioStatus::Ok);
    EXPECT_EQ(f.log.live, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Runs the dialog modally, as its command does; user (when given) acts once it is shown.
int RunModal(CDialog& dialog, std::function<void(CDialog&)> user, bool* shown = nullptr) {
    const auto played = test::WhenShown(dialog, std::move(user));
    const int result = dialog.DoModal();
    if (shown) {
        *shown = *played;
    }
    return result;
}

struct ReadCase {
    const char* name;
    std::vector<int> answer;  // the radio's answer to the read; empty: it stays silent
    std::vector<int> messages;
    bool staysOpen;
    bool endSent;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class RegionalIdRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RegionalIdRead, OpensOnlyForARadioWithoutRegionalId) {
    const ReadCase& c = GetParam();
    ExchangeFixture f;
    f.app.m_nSerialPort = 1;
    f.line.Answer(c.answer);
    if (c.endSent) {
        f.line.Answer(kAck);
    }

    CProgramRegionalIdDlg dialog;
    EXPECT_TRUE(dialog.OnInitDialog());

    EXPECT_EQ(f.log.opened, std::vector<std::string>{"COM2"});
    EXPECT_EQ(f.reporter.Ids(), c.messages);
    for (const auto& message : f.reporter.Messages()) {
        EXPECT_EQ(message.kind, MSG_ERROR);
        EXPECT_TRUE(message.waitCursor) << message.id << " shown after the port was closed";
    }
    EXPECT_EQ(f.Written(), c.endSent ? Join({kReadRegionalId, kEnd}) : kReadRegionalId);
    ExpectExchangeClosed(f);

    if (c.staysOpen) {
        EXPECT_FALSE(dialog.IsEnded());
        EXPECT_EQ(Entries(dialog), (QStringList{"North America", "Latin America", "EMEA", "Asia"}));
        EXPECT_EQ(dialog.GetComboBox(kList)->currentIndex(), -1);
    } else {
        EXPECT_TRUE(dialog.IsEnded());
        EXPECT_EQ(dialog.Result(), IDCANCEL);
        EXPECT_EQ(dialog.GetComboBox(kList)->count(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RegionalIdRead,
    ::testing::Values(
        ReadCase{"NoneYet", ReadAnswer(std::vector<int>{0xFF}), {}, true, true},
        ReadCase{"Zero",
                 ReadAnswer(std::vector<int>{0x00}),
                 {IDS_REGION_ALREADY_PROGRAMMED},
                 false,
                 true},
        ReadCase{"Two",
                 ReadAnswer(std::vector<int>{0x02}),
                 {IDS_REGION_ALREADY_PROGRAMMED},
                 false,
                 true},
        ReadCase{"Four",
                 ReadAnswer(std::vector<int>{0x04}),
                 {IDS_REGION_ALREADY_PROGRAMMED},
                 false,
                 true},
        ReadCase{"Five", ReadAnswer(std::vector<int>{0x05}), {IDS_REGION_INVALID}, false, true},
        ReadCase{
            "TwoFiftyFour", ReadAnswer(std::vector<int>{0xFE}), {IDS_REGION_INVALID}, false, true},
        ReadCase{"TwoBytes",
                 ReadAnswer(std::vector<int>{0xFF, 0x01}),
                 {IDS_REGION_FORMAT_UNSUPPORTED},
                 false,
                 true},
        ReadCase{"NoBytes",
                 ReadAnswer(std::vector<int>{}),
                 {IDS_REGION_FORMAT_UNSUPPORTED},
                 false,
                 true},
        ReadCase{"Refused", test::kNak, {IDS_NAK_RECEIVED}, false, true},
        ReadCase{
            "NotSupported", Concat({kAck, test::kNotSupported}), {IDS_NOT_SUPPORTED}, false, false},
        ReadCase{"Silent", {}, {IDS_NO_RESPONSE}, false, false}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST(ProgramRegionalIdDlg, PortThatCannotBeOpenedClosesTheDialogWithoutSending) {
    ExchangeFixture f;
    f.app.m_nSerialPort = 2;
    f.portAvailable = false;
    CProgramRegionalIdDlg dialog;
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(f.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_EQ(f.reporter.Messages()[0].text,
              "The serial port COM3 could not be opened.\nIt may be in use by another program.");
    EXPECT_TRUE(f.Written().empty());
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), IDCANCEL);
    EXPECT_EQ(dialog.GetComboBox(kList)->count(), 0);
    ExpectExchangeClosed(f);
}

// A dialog opened on a radio without a Regional ID, with the reporter and the line cleared.
class ProgramRegionalId : public ::testing::Test {
protected:
    void SetUp() override {
        f.line.Answer(ReadAnswer(std::vector<int>{0xFF}));
        f.line.Answer(kAck);
        dialog.OnInitDialog();
        ASSERT_FALSE(dialog.IsEnded());
        m_openingBytes = f.Written().size();
        f.reporter.Clear();
    }

    // What "Program" has written since the dialog opened.
    Bytes WrittenSinceOpening() const {
        return Bytes(f.Written().begin() + static_cast<std::ptrdiff_t>(m_openingBytes),
                     f.Written().end());
    }

    ExchangeFixture f;
    CProgramRegionalIdDlg dialog;

private:
    std::size_t m_openingBytes = 0;
};

TEST(ProgramRegionalIdDlg, EachRegionWritesItsCode) {
    const char* names[] = {"North America", "Latin America", "EMEA", "Asia"};
    for (int position = 0; position < 4; ++position) {
        SCOPED_TRACE(names[position]);
        ExchangeFixture each;
        each.line.Answer(ReadAnswer(std::vector<int>{0xFF}));
        each.line.Answer(kAck);
        CProgramRegionalIdDlg fresh;
        fresh.OnInitDialog();
        each.line.Answer(Concat({kAck, Frame(135, {0})}));
        each.line.Answer(kAck);
        fresh.GetComboBox(kList)->setCurrentIndex(position);
        EXPECT_EQ(fresh.GetComboBox(kList)->currentText(), names[position]);

        fresh.OnOK();

        EXPECT_EQ(each.Written(), Join({kReadRegionalId, kEnd, WriteRequest(position + 1), kEnd}));
        ASSERT_EQ(each.reporter.Ids(), std::vector<int>{IDS_REGION_PROGRAMMED});
        EXPECT_EQ(each.reporter.Messages()[0].kind, MSG_INFO);
        EXPECT_TRUE(each.reporter.Messages()[0].waitCursor);
        EXPECT_TRUE(fresh.IsEnded());
        EXPECT_EQ(fresh.Result(), IDOK);
        ExpectExchangeClosed(each);
    }
    // The payloads the technicians' sheets name: North America 04 01, Asia 04 04.
    EXPECT_EQ(WriteRequest(1), Bytes({0xF3, 0x18, 0x04, 0x01, 0xEF}));
    EXPECT_EQ(WriteRequest(4), Bytes({0xF3, 0x18, 0x04, 0x04, 0xEC}));
}

TEST_F(ProgramRegionalId, ProgramWithoutAChoiceSendsNothing) {
    dialog.OnOK();
    EXPECT_EQ(f.reporter.Ids(), std::vector<int>{IDS_REGION_NOT_SELECTED});
    EXPECT_EQ(f.reporter.Messages()[0].kind, MSG_ERROR);
    EXPECT_FALSE(f.reporter.Messages()[0].waitCursor);
    EXPECT_EQ(f.log.opened.size(), 1u);
    EXPECT_TRUE(WrittenSinceOpening().empty());
    EXPECT_FALSE(dialog.IsEnded());
}

TEST_F(ProgramRegionalId, FailedWriteKeepsTheChoiceAndEndsTheExchange) {
    struct Failure {
        const char* name;
        std::vector<int> answer;
        std::vector<int> messages;
    };
    const Failure failures[] = {
        {"Rejected", Concat({kAck, Frame(135, {1})}), {IDS_REGION_PROGRAM_FAILED}},
        {"NotSupported",
         Concat({kAck, test::kNotSupported}),
         {IDS_NOT_SUPPORTED, IDS_REGION_PROGRAM_FAILED}},
        {"Silent", {}, {IDS_NO_RESPONSE, IDS_REGION_PROGRAM_FAILED}},
    };
    dialog.GetComboBox(kList)->setCurrentIndex(2);
    Bytes expected;
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.name);
        f.reporter.Clear();
        f.line.Answer(failure.answer);
        f.line.Answer(kAck);

        dialog.OnOK();

        expected = Join({expected, WriteRequest(3), kEnd});
        EXPECT_EQ(WrittenSinceOpening(), expected);
        EXPECT_EQ(f.reporter.Ids(), failure.messages);
        EXPECT_EQ(f.reporter.Messages().back().kind, MSG_ERROR);
        EXPECT_TRUE(f.reporter.Messages().back().waitCursor);
        EXPECT_FALSE(dialog.IsEnded());
        EXPECT_EQ(dialog.GetComboBox(kList)->currentIndex(), 2);
        ExpectExchangeClosed(f);
    }
}

TEST_F(ProgramRegionalId, SecondPressRepeatsTheWholeExchangeWithoutReadingAgain) {
    dialog.GetComboBox(kList)->setCurrentIndex(0);
    f.line.Answer(Concat({kAck, Frame(135, {1})}));
    f.line.Answer(kAck);
    dialog.OnOK();
    ASSERT_FALSE(dialog.IsEnded());

    f.line.Answer(Concat({kAck, Frame(135, {0})}));
    f.line.Answer(kAck);
    dialog.OnOK();

    EXPECT_EQ(f.log.opened.size(), 3u);  // opening, first press, second press
    EXPECT_EQ(f.log.closed, 3);
    EXPECT_EQ(WrittenSinceOpening(), Join({WriteRequest(1), kEnd, WriteRequest(1), kEnd}));
    EXPECT_EQ(f.reporter.Ids(),
              (std::vector<int>{IDS_REGION_PROGRAM_FAILED, IDS_REGION_PROGRAMMED}));
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), IDOK);
}

TEST_F(ProgramRegionalId, PortHeldOnProgramKeepsTheDialogOpen) {
    dialog.GetComboBox(kList)->setCurrentIndex(1);
    f.portAvailable = false;
    dialog.OnOK();
    EXPECT_EQ(f.reporter.Ids(), std::vector<int>{IDS_PORT_OPEN_FAILED});
    EXPECT_TRUE(WrittenSinceOpening().empty());
    EXPECT_FALSE(dialog.IsEnded());
    EXPECT_EQ(dialog.GetComboBox(kList)->currentIndex(), 1);
    ExpectExchangeClosed(f);
}

TEST(ProgramRegionalIdDlg, AbortInTheWindowEndsWithoutAnExchange) {
    ExchangeFixture f;
    f.line.Answer(ReadAnswer(std::vector<int>{0xFF}));
    f.line.Answer(kAck);
    CProgramRegionalIdDlg dialog;
    bool shown = false;
    const int result = RunModal(
        dialog,
        [](CDialog& d) {
            // The region list takes the focus first, so the user can pick with the keyboard.
            EXPECT_EQ(d.focusWidget(), d.GetComboBox(kList));
            d.GetComboBox(kList)->setCurrentIndex(3);
            d.GetButton(IDCANCEL)->click();
        },
        &shown);
    EXPECT_TRUE(shown);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(f.Written(), Join({kReadRegionalId, kEnd}));
    EXPECT_EQ(f.log.opened.size(), 1u);
    EXPECT_TRUE(f.reporter.Messages().empty());
}

TEST(ProgramRegionalIdDlg, Template) {
    CProgramRegionalIdDlg dialog;
    EXPECT_EQ(dialog.Template().id, 134);
    EXPECT_EQ(dialog.windowTitle(), "Program Regional ID");
    EXPECT_EQ(dialog.GetButton(IDOK)->text(), "Program");
    EXPECT_TRUE(dialog.GetButton(IDOK)->isDefault());
    EXPECT_EQ(dialog.GetButton(IDCANCEL)->text(), "Abort");
    ASSERT_NE(dialog.GetComboBox(kList), nullptr);
    EXPECT_FALSE(dialog.GetComboBox(kList)->isEditable());
    const auto stops = dialog.TabStops();
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(stops[0], dialog.GetComboBox(kList));
}

#ifdef VARNEL_HAVE_RADIOSIM
// The real serial layer and the real window against the simulated radio, in real time.
class RegionalIdOnSimulator : public ::testing::Test {
protected:
    void Start(const char* regionalId) {
        sim::RadioProfile profile;
        std::string error;
        const std::string text = std::string("name Test radio\nvalue 16 ") + regionalId + "\n";
        ASSERT_TRUE(sim::ParseProfile(text, "test", profile, error)) << error;
        m_simulator = std::make_unique<sim::RadioSimulator>(profile);
        ASSERT_TRUE(m_simulator->Start(&error)) << error;
        const std::string device = m_simulator->SlavePath();
        SetPortResolver(
            [device](const std::string& name) { return name == "COM2" ? device : std::string(); });
        app.m_nSerialPort = 1;
    }
    void TearDown() override {
        SetPortResolver(nullptr);
        if (m_simulator) {
            m_simulator->Stop();
        }
    }

    std::vector<Bytes> RequestFrames() const {
        std::vector<Bytes> frames;
        for (const auto& request : m_simulator->Requests()) {
            frames.push_back(request.frame);
        }
        return frames;
    }

    CVarnelApp app;
    test::RecordingReporter reporter;
    std::unique_ptr<sim::RadioSimulator> m_simulator;
};

TEST_F(RegionalIdOnSimulator, ChoosingAsiaProgramsTheRadio) {
    Start("FF");
    CProgramRegionalIdDlg dialog;
    bool shown = false;
    const int result = RunModal(
        dialog,
        [](CDialog& d) {
            QComboBox* list = d.GetComboBox(kList);
            list->setCurrentIndex(list->findText("Asia"));
            d.GetButton(IDOK)->click();
        },
        &shown);
    EXPECT_TRUE(shown);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(reporter.Ids(), std::vector<int>{IDS_REGION_PROGRAMMED});
    EXPECT_EQ(m_simulator->Value(16), Bytes{4});
    EXPECT_EQ(RequestFrames(), (std::vector<Bytes>{kReadRegionalId, kEnd, WriteRequest(4), kEnd}));
    EXPECT_EQ(g_radioLink.m_pPort, nullptr);
}

TEST_F(RegionalIdOnSimulator, ProgrammedRadioNeverShowsTheDialog) {
    Start("03");
    CProgramRegionalIdDlg dialog;
    bool shown = false;
    const int result = RunModal(
        dialog, [](CDialog& d) { d.GetButton(IDCANCEL)->click(); }, &shown);
    EXPECT_FALSE(shown);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(reporter.Ids(), std::vector<int>{IDS_REGION_ALREADY_PROGRAMMED});
    EXPECT_EQ(m_simulator->Value(16), Bytes{3});
    EXPECT_EQ(RequestFrames(), (std::vector<Bytes>{kReadRegionalId, kEnd}));
}
#endif

}  // namespace
}  // namespace varnel
