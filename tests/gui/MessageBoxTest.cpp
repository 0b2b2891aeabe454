#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "app/MainFrame.h"
#include "app/MessageBoxReporter.h"
#include "app/VarnelApp.h"
#include "strings/Messages.h"
#include "strings/StringTable.h"
#include "tests/support/QtTestSupport.h"

namespace varnel {
namespace {

struct SeenBox {
    QString caption;
    QString text;
    QString detail;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* owner = nullptr;
    int buttons = 0;
};

// Closes the next box with its OK button and records what it showed.
void RecordNextBox(SeenBox& seen) {
    test::WhenModal([&seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->text(),         box->informativeText(),
                box->icon(),        box->parentWidget(), static_cast<int>(box->buttons().size())};
        box->button(QMessageBox::Ok)->click();
    });
}

// The reporter that the application hands to every exchange.
IMessageReporter& AppReporter(CVarnelApp& app) {
    return app.MakeSession(ID_RADIO_INFO).reporter;
}

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ClearSettings();
        ASSERT_TRUE(app.InitInstance());
    }
    void TearDown() override { app.ExitInstance(); }
    CVarnelApp app;
};

TEST_F(MessageBoxTest, BothKindsHaveTheirCaptionIconAndTheMainWindowAsOwner) {
    struct Case {
        int kind;
        int stringId;
        QString caption;
        QMessageBox::Icon icon;
    };
    for (const Case& c : {Case{MSG_ERROR, IDS_NO_RESPONSE, "Error", QMessageBox::Critical},
                          Case{MSG_INFO, IDS_ESN_PROGRAMMED, "Varnel", QMessageBox::Information}}) {
        SeenBox seen;
        RecordNextBox(seen);
        ShowMessage(AppReporter(app), c.kind, c.stringId);
        EXPECT_EQ(seen.caption, c.caption);
        EXPECT_EQ(seen.text, QString::fromUtf8(LoadString(c.stringId).data()));
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.owner, static_cast<QWidget*>(app.GetMainWnd()));
        EXPECT_EQ(seen.buttons, 1);
    }
}

TEST_F(MessageBoxTest, PortErrorNamesThePortAsPlainTextWithTheReasonUnderIt) {
    SeenBox seen;
    RecordNextBox(seen);
    ShowPortError(AppReporter(app), "COM2");
    EXPECT_EQ(seen.caption, QStringLiteral("Error"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.text, QStringLiteral("The serial port COM2 could not be opened.\n"
                                        "It may be in use by another program."));
    EXPECT_EQ(seen.detail, QString());
    RecordNextBox(seen);
    ShowPortError(AppReporter(app), "%s%n<b>x</b>", "Access to <b>/dev/ttyUSB0</b> was refused.");
    EXPECT_EQ(seen.text, QStringLiteral("The serial port %s%n<b>x</b> could not be opened.\n"
                                        "It may be in use by another program."));
    EXPECT_EQ(seen.detail, QStringLiteral("Access to <b>/dev/ttyUSB0</b> was refused."));
}

TEST_F(MessageBoxTest, FocusReturnsToTheControlThatHadIt) {
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* second = new QLineEdit(&window);
    second->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    second->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), second);
    SeenBox seen;
    RecordNextBox(seen);
    ShowMessage(AppReporter(app), MSG_ERROR, IDS_NO_RESPONSE);
    EXPECT_EQ(seen.caption, QStringLiteral("Error"));
    // Activation goes through the window system, so it arrives with the next events.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == second; }, 2000));
    (void)first;
}

TEST(MessageBoxOwner, IsNoneBeforeTheMainWindowExistsAndAfterItIsGone) {
    test::ClearSettings();
    CVarnelApp app;
    ASSERT_EQ(app.GetMainWnd(), nullptr);
    QWidget sentinel;
    SeenBox seen;
    seen.owner = &sentinel;  // the box must overwrite it
    RecordNextBox(seen);
    ShowMessage(AppReporter(app), MSG_INFO, IDS_ESN_PROGRAMMED);
    EXPECT_EQ(seen.caption, QStringLiteral("Varnel"));
    EXPECT_EQ(seen.owner, nullptr);

    ASSERT_TRUE(app.InitInstance());
    app.ExitInstance();
    seen.owner = &sentinel;
    RecordNextBox(seen);
    ShowMessage(AppReporter(app), MSG_INFO, IDS_ESN_PROGRAMMED);
    EXPECT_EQ(seen.owner, nullptr);
}

struct CopyCase {
    const char* name;
    Message message;
    QString copy;  // what Ctrl+C puts on the clipboard
};

TEST(MessageBoxCopy, CtrlCPutsCaptionTextDetailAndButtonsOnTheClipboard) {
    const CopyCase cases[] = {
        {"WithoutDetail",
         {MSG_ERROR, IDS_PORT_OPEN_FAILED, "Error",
          "The serial port COM2 could not be opened.\nIt may be in use by another program.", ""},
         QStringLiteral("---------------------------\n"
                        "Error\n"
                        "---------------------------\n"
                        "The serial port COM2 could not be opened.\n"
                        "It may be in use by another program.\n"
                        "---------------------------\n"
                        "OK   \n"
                        "---------------------------\n")},
        {"WithDetail",
         {MSG_ERROR, IDS_PORT_OPEN_FAILED, "Error",
          "The serial port COM2 could not be opened.\nIt may be in use by another program.",
          "/dev/ttyUSB0 belongs to the group dialout."},
         QStringLiteral("---------------------------\n"
                        "Error\n"
                        "---------------------------\n"
                        "The serial port COM2 could not be opened.\n"
                        "It may be in use by another program.\n"
                        "\n"
                        "/dev/ttyUSB0 belongs to the group dialout.\n"
                        "---------------------------\n"
                        "OK   \n"
                        "---------------------------\n")},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto box = CMessageBoxReporter::CreateBox(c.message, nullptr);
        // The detail stands under the text, as the box's informative text.
        EXPECT_EQ(box->text().toStdString(), c.message.text);
        EXPECT_EQ(box->informativeText().toStdString(), c.message.detail);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(box.get(), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.copy);
    }
}

}  // namespace
}  // namespace varnel
