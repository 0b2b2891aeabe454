// What varnel.exe hands MessageBox for each kind of message: the flags (icon and button) and the
// text, with a detail under a blank line.
#include <gtest/gtest.h>

#include "strings/StringTable.h"
#include "win32/MessageBoxReporter.h"

namespace varnel::win32 {
namespace {

TEST(MessageBoxReporter, ErrorsHaveTheStopIconAndInformationTheInformationIcon) {
    EXPECT_EQ(CMessageBoxReporter::BoxFlags(MSG_ERROR), 0x10u);  // MB_OK | MB_ICONHAND
    EXPECT_EQ(CMessageBoxReporter::BoxFlags(MSG_INFO), 0x40u);   // MB_OK | MB_ICONASTERISK
}

TEST(MessageBoxReporter, TheDetailFollowsAfterABlankLine) {
    Message message{MSG_ERROR, IDS_PORT_OPEN_FAILED, "Error",
                    "The serial port COM2 could not be "
                    "opened.\nIt may be in use by another "
                    "program.",
                    "Close the other program."};
    EXPECT_EQ(CMessageBoxReporter::BoxText(message),
              L"The serial port COM2 could not be opened.\nIt may be in use by another "
              L"program.\n\nClose the other program.");
    message.detail = {};
    EXPECT_EQ(CMessageBoxReporter::BoxText(message),
              L"The serial port COM2 could not be opened.\nIt may be in use by another program.");
}

TEST(MessageBoxReporter, TextsOutsideAsciiArriveWhole) {
    const Message message{MSG_INFO, 0, "Varnel", "Gerät \xE2\x80\x93 bereit", {}};
    EXPECT_EQ(CMessageBoxReporter::BoxText(message), L"Ger\u00E4t \u2013 bereit");
}

}  // namespace
}  // namespace varnel::win32
