#include <gtest/gtest.h>

#include "strings/Csv.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"
#include "tests/support/RecordingReporter.h"

namespace varnel {
namespace {

TEST(StringTable, TextsAreExactAndMissingIdsAreEmpty) {
    EXPECT_EQ(LoadString(20004),
              "An error occured during programming of the ESN.\nThe ESN has not been programmed.");
    EXPECT_EQ(LoadString(20104), "No response from radio.");
    EXPECT_EQ(LoadString(20205), "No Region defined");
    EXPECT_EQ(LoadString(57345), "For Help, press F1");
    EXPECT_EQ(LoadString(59139), "SCRL");
    EXPECT_EQ(LoadString(20007), "");
    EXPECT_EQ(LoadString(-1), "");
    EXPECT_EQ(LoadString(99999), "");
}

TEST(StringTable, PromptsSplitIntoStatusTextAndTooltip) {
    EXPECT_EQ(PromptPart(LoadString(57665)), "Quit the Varnel");
    EXPECT_EQ(TooltipPart(LoadString(57665)), "Exit");
    EXPECT_EQ(TooltipPart(LoadString(59393)), "Toggle StatusBar");
    EXPECT_EQ(PromptPart("no tooltip"), "no tooltip");
    EXPECT_EQ(TooltipPart("no tooltip"), "");
}

TEST(Messages, KindsChooseCaptionAndReachTheReporterHandedIn) {
    test::RecordingReporter reporter;
    ShowMessage(reporter, MSG_ERROR, IDS_NAK_RECEIVED);
    ShowMessage(reporter, MSG_INFO, IDS_ESN_PROGRAMMED);
    ASSERT_EQ(reporter.Messages().size(), 2u);
    EXPECT_EQ(reporter.Messages()[0].caption, "Error");
    EXPECT_EQ(reporter.Messages()[0].text, "NAK received from radio.");
    EXPECT_EQ(reporter.Messages()[1].kind, MSG_INFO);
    EXPECT_EQ(reporter.Messages()[1].caption, "Varnel");
}

TEST(Messages, PortNameIsInsertedAsTextNeverAsAFormat) {
    EXPECT_EQ(FormatPortError("COM2"),
              "The serial port COM2 could not be opened.\nIt may be in use by another program.");
    EXPECT_EQ(FormatPortError("%s%n%d"),
              "The serial port %s%n%d could not be opened.\nIt may be in use by another program.");
    test::RecordingReporter reporter;
    ShowPortError(reporter, "COM0", "Nothing is at /dev/ttyS-1.");
    ASSERT_EQ(reporter.Messages().size(), 1u);
    EXPECT_EQ(reporter.Messages()[0].caption, "Error");
    EXPECT_EQ(reporter.Messages()[0].id, IDS_PORT_OPEN_FAILED);
    EXPECT_EQ(reporter.Messages()[0].detail, "Nothing is at /dev/ttyS-1.");
}

}  // namespace
}  // namespace varnel

namespace varnel {
namespace {

// A CSV field never splits its line or its row, and never becomes a formula in a spreadsheet,
// whatever a radio sent as its serial number.
TEST(CsvField, QuotesWhatWouldSplitTheRowAndDefusesFormulas) {
    const struct {
        std::string_view text;
        std::string field;
    } cases[] = {
        {"130/05/123456", "130/05/123456"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"SN-0042", "SN-0042"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvField(c.text), c.field) << c.text;
    }
}

}  // namespace
}  // namespace varnel
