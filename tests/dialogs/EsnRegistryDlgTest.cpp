// The ESN Registry dialog's wiring: what the shared model reads reaches the box, the lists and
// the status line; Test and OK reach the model; through the application's command, OK keeps the
// location in the settings file and the next ESN write is reserved there. The rules themselves
// are the model's, tested as a table of locations on their own.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/VarnelApp.h"
#include "dialogs/EsnRegistryDlg.h"
#include "strings/StringTable.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/QtTestSupport.h"
#include "tests/support/RecordingReporter.h"

namespace varnel {
namespace {

using Ids = EsnRegistryIds;

QStringList Lines(const CDialog& dialog, int id) {
    QStringList lines;
    const QListWidget* list = dialog.GetList(id);
    for (int i = 0; list != nullptr && i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    return lines;
}

class EsnRegistryDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        RegistryError error;
        auto registry = OpenEsnRegistry(linePath, error);
        ASSERT_NE(registry, nullptr) << error.message;
        ASSERT_FALSE(registry->AddPool("line-a", {130, 5, 1}, {130, 5, 10}));
        ASSERT_EQ(registry->ReserveNext("line-a", WriteOrigin{"bench-1", "op", "COM1", ""}).status,
                  ReserveStatus::Reserved);
    }

    std::unique_ptr<CEsnRegistryDlg> Make(const std::string& stored) {
        return std::make_unique<CEsnRegistryDlg>(
            stored, OpenEsnRegistry,
            [this](const std::string& location) {
                writes.push_back(location);
                return std::string();
            },
            reporter);
    }

    QTemporaryDir folder;
    const std::string linePath = folder.filePath("line.sqlite").toStdString();
    test::RecordingReporter reporter;
    std::vector<std::string> writes;
};

TEST_F(EsnRegistryDialog, OpensOnTheDefaultAndTestShowsWhatATypedLocationHolds) {
    auto dialog = Make("");
    EXPECT_TRUE(dialog->OnInitDialog());
    const QString fallback = QString::fromStdString(DefaultRegistryLocation());
    EXPECT_EQ(dialog->GetDlgItemText(Ids::IDC_REGISTRY_LOCATION), fallback);
    EXPECT_TRUE(dialog->GetDlgItemText(Ids::IDC_REGISTRY_DEFAULT).endsWith(fallback));
    EXPECT_EQ(dialog->GetDlgItemText(Ids::IDC_REGISTRY_STATUS), fallback + ": no pool, no entry.");
    EXPECT_TRUE(Lines(*dialog, Ids::IDC_REGISTRY_POOLS).isEmpty());

    dialog->GetEdit(Ids::IDC_REGISTRY_LOCATION)->setText(QString::fromStdString(linePath));
    dialog->GetButton(Ids::IDC_REGISTRY_TEST)->click();
    EXPECT_EQ(reporter.Ids(), std::vector<int>{IDS_REGISTRY_TEST_PASSED});
    EXPECT_EQ(Lines(*dialog, Ids::IDC_REGISTRY_POOLS),
              QStringList{"line-a  130/05/000001 to 130/05/000010  9 free"});
    const QStringList entries = Lines(*dialog, Ids::IDC_REGISTRY_ENTRIES);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0].startsWith("130/05/000001  sending      bench-1  "))
        << entries[0].toStdString();
    EXPECT_EQ(dialog->GetDlgItemText(Ids::IDC_REGISTRY_STATUS),
              QString::fromStdString(linePath + ": 1 pool, 1 entry."));
    // Test only looks: nothing is kept, and the dialog stays.
    EXPECT_TRUE(writes.empty());
    EXPECT_FALSE(dialog->IsEnded());
}

TEST_F(EsnRegistryDialog, OkStaysOpenOnALocationThatCannotBeUsedAndKeepsOneThatCan) {
    auto dialog = Make("");
    dialog->OnInitDialog();
    QLineEdit* box = dialog->GetEdit(Ids::IDC_REGISTRY_LOCATION);
    const std::string underAFile = linePath + "/esn.sqlite";
    for (const auto& [typed, message] :
         {std::pair<std::string, int>{"esn-registry.sqlite", IDS_REGISTRY_LOCATION_INVALID},
          {underAFile, IDS_REGISTRY_LOCATION_UNUSABLE}}) {
        reporter.Clear();
        box->setText(QString::fromStdString(typed));
        dialog->GetButton(kIdOk)->click();
        EXPECT_EQ(reporter.Ids(), std::vector<int>{message}) << typed;
        EXPECT_FALSE(dialog->IsEnded()) << typed;
        // What was typed stays, to be put right.
        EXPECT_EQ(box->text().toStdString(), typed);
    }
    EXPECT_TRUE(dialog->GetDlgItemText(Ids::IDC_REGISTRY_STATUS)
                    .startsWith(QString::fromStdString("The ESN registry " + underAFile)));
    EXPECT_TRUE(writes.empty());

    reporter.Clear();
    box->setText(QString::fromStdString(linePath));
    dialog->GetButton(kIdOk)->click();
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_TRUE(dialog->IsEnded());
    EXPECT_EQ(dialog->Result(), kIdOk);
    EXPECT_EQ(writes, std::vector<std::string>{linePath});
}

TEST_F(EsnRegistryDialog, CancelKeepsNothing) {
    auto dialog = Make(linePath);
    dialog->OnInitDialog();
    EXPECT_EQ(dialog->GetDlgItemText(Ids::IDC_REGISTRY_LOCATION).toStdString(), linePath);
    EXPECT_EQ(Lines(*dialog, Ids::IDC_REGISTRY_ENTRIES).size(), 1);
    dialog->GetEdit(Ids::IDC_REGISTRY_LOCATION)->clear();
    dialog->GetButton(kIdCancel)->click();
    EXPECT_TRUE(dialog->IsEnded());
    EXPECT_EQ(dialog->Result(), kIdCancel);
    EXPECT_TRUE(writes.empty());
}

// Options > ESN Registry...: OK keeps the location in [Registry] Location=, and the registry
// every ESN write is reserved in follows; an emptied box brings back the default.
TEST_F(EsnRegistryDialog, TheCommandKeepsTheLocationInTheSettingsForTheNextWrite) {
    test::ClearSettings();
    CVarnelApp app;
    ASSERT_TRUE(app.InitInstance());
    for (const std::string& typed : {linePath, std::string()}) {
        bool shown = false;
        test::WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<CEsnRegistryDlg*>(modal);
            ASSERT_NE(dialog, nullptr);
            shown = true;
            EXPECT_EQ(dialog->parentWidget(), static_cast<QWidget*>(app.GetMainWnd()));
            dialog->GetEdit(Ids::IDC_REGISTRY_LOCATION)->setText(QString::fromStdString(typed));
            QTest::keyClick(dialog->GetEdit(Ids::IDC_REGISTRY_LOCATION), Qt::Key_Return);
        });
        EXPECT_TRUE(app.DispatchCommand(ID_ESN_REGISTRY));
        EXPECT_TRUE(shown);
        std::string why;
        IEsnRegistry* registry = app.Registry(why);
        ASSERT_NE(registry, nullptr) << why;
        if (typed.empty()) {
            EXPECT_FALSE(test::ReadSettingsFile().contains("Location"))
                << test::ReadSettingsFile().toStdString();
            EXPECT_EQ(registry->Location(), DefaultRegistryLocation());
        } else {
            EXPECT_TRUE(test::ReadSettingsFile().contains(QByteArray("[Registry]\nLocation=") +
                                                          QByteArray::fromStdString(linePath)))
                << test::ReadSettingsFile().toStdString();
            EXPECT_EQ(registry->Location(), linePath);
        }
    }
    app.ExitInstance();
}

}  // namespace
}  // namespace varnel
