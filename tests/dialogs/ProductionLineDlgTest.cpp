// The Production Line window's wiring on a scripted radio and a real SQLite registry: the keys
// that run a radio, the result with its bell and accessible name, the counts and the table,
// the set-up remembered, the shift after a restart and its export. What the station does with
// each radio is tested with the station itself.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/ProductionLineDlg.h"
#include "settings/SettingsStore.h"
#include "tests/dialogs/DialogFixture.h"

namespace varnel {
namespace {

using test::ReadAnswer;
using Line = CProductionLineDlg;

const std::vector<int> kBlank = {0, 0, 0, 0, 0};
const std::vector<int> kFirstOfPool = {0x82, 0x51, 0xE2, 0x40, 0x4C};  // 130/05/123456
const std::vector<int> kOther = {0x82, 0x51, 0xE2, 0x41, 0x00};

// With VARNEL_SCREENSHOTS_DIR set, the window as the test leaves it is written there as a PNG
// (the README's pictures are made this way).
void Picture(QWidget& window, const char* name) {
    const QString folder = qEnvironmentVariable("VARNEL_SCREENSHOTS_DIR");
    if (!folder.isEmpty()) {
        EXPECT_TRUE(window.grab().save(folder + "/" + name)) << name;
    }
}

class ProductionLineDlg : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        RegistryError error;
        m_registry = OpenEsnRegistry(Path("registry.sqlite"), error);
        ASSERT_TRUE(m_registry) << error.message;
        ASSERT_FALSE(m_registry->AddPool("line-a", {130, 5, 123456}, {130, 5, 123465}));
    }

    std::string Path(const char* name) const { return m_folder.filePath(name).toStdString(); }

    // A window as the application opens it, on the scripted radio and the registry.
    std::unique_ptr<CProductionLineDlg> Open() {
        Session session = radio.MakeSession();
        session.registry = m_registry.get();
        auto dialog =
            std::make_unique<CProductionLineDlg>(std::move(session), *settings, PortResolver(), 0);
        dialog->m_probe = [](const std::string&) { return PortPresence::Present; };
        dialog->m_ringBell = [this] { ++bells; };
        dialog->OnInitDialog();
        return dialog;
    }

    void ScriptPass() {
        for (const auto& answer : {ReadAnswer("SN-0042"), ReadAnswer(kBlank), test::kAck,
                                   test::Concat({test::kAck, test::kWriteOk}), test::kAck,
                                   ReadAnswer(kFirstOfPool), test::kAck}) {
            radio.line.Answer(answer);
        }
    }
    void ScriptNotBlank() {
        for (const auto& answer : {ReadAnswer("SN-0043"), ReadAnswer(kOther), test::kAck}) {
            radio.line.Answer(answer);
        }
    }

    static QString Text(const CProductionLineDlg& dialog, int id) {
        return dialog.GetDlgItemText(id);
    }
    static int Rows(const CProductionLineDlg& dialog) {
        return static_cast<QTreeWidget*>(dialog.GetDlgItem(Line::IDC_SHIFT))->topLevelItemCount();
    }

    QTemporaryDir m_folder;
    std::unique_ptr<IEsnRegistry> m_registry;
    std::unique_ptr<SettingsStore> settings = OpenSettingsText("");
    test::ScriptedRadio radio;
    int bells = 0;
};

TEST_F(ProductionLineDlg, OpensWithThePoolsThePortAndTheHostAsStation) {
    const auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Varnel - Production Line"));
    EXPECT_EQ(test::Entries(*dialog->GetComboBox(Line::IDC_ESN_SOURCE)),
              (QStringList{"Typed ESN", "line-a: 130/05/123456 to 130/05/123465, 10 free"}));
    EXPECT_EQ(dialog->GetComboBox(Line::IDC_PORT)->currentText(), QStringLiteral("COM1"));
    EXPECT_FALSE(Text(*dialog, Line::IDC_STATION_NAME).isEmpty());
    EXPECT_EQ(Text(*dialog, Line::IDC_COUNTS),
              QStringLiteral("Passed: 0   Failed: 0   Unconfirmed: 0"));
    EXPECT_TRUE(radio.Written().empty());
}

// Enter runs a radio, Space runs the next; the result shows, rings and is spoken; a repeating
// key runs nothing more.
TEST_F(ProductionLineDlg, OneKeyPerRadioWithTheResultLargeHeardAndSpoken) {
    const auto dialog = Open();
    dialog->GetComboBox(Line::IDC_ESN_SOURCE)->setCurrentIndex(1);
    dialog->SetDlgItemText(Line::IDC_STATION_NAME, "station-7");
    dialog->show();

    ScriptPass();
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_EQ(Text(*dialog, Line::IDC_RESULT), QStringLiteral("PASS"));
    EXPECT_TRUE(Text(*dialog, Line::IDC_RESULT_DETAIL).contains("ESN 130/05/123456"));
    EXPECT_TRUE(Text(*dialog, Line::IDC_RESULT_DETAIL).contains("Serial Number SN-0042"));
    EXPECT_EQ(
        dialog->accessibleName(),
        QStringLiteral("Varnel - Production Line: PASS, ESN 130/05/123456, Serial Number SN-0042"));
    QTRY_COMPARE(bells, 1);
    EXPECT_EQ(dialog->GetComboBox(Line::IDC_ESN_SOURCE)->currentText(),
              QStringLiteral("line-a: 130/05/123456 to 130/05/123465, 9 free"));
    Picture(*dialog, "production-line-pass.png");

    ScriptNotBlank();
    QPushButton* program = dialog->GetButton(kIdOk);
    QTest::keyClick(program, Qt::Key_Space);
    EXPECT_EQ(Text(*dialog, Line::IDC_RESULT), QStringLiteral("FAIL"));
    EXPECT_TRUE(Text(*dialog, Line::IDC_RESULT_DETAIL)
                    .contains("An ESN has already been programmed to the connected radio."));
    EXPECT_TRUE(dialog->accessibleName().startsWith("Varnel - Production Line: FAIL"));
    QTRY_COMPARE(bells, 4);
    Picture(*dialog, "production-line-fail.png");
    EXPECT_EQ(Text(*dialog, Line::IDC_COUNTS),
              QStringLiteral("Passed: 1   Failed: 1   Unconfirmed: 0"));
    ASSERT_EQ(Rows(*dialog), 2);
    auto* table = static_cast<QTreeWidget*>(dialog->GetDlgItem(Line::IDC_SHIFT));
    EXPECT_EQ(table->topLevelItem(1)->text(1), QStringLiteral("SN-0042"));
    EXPECT_EQ(table->topLevelItem(1)->text(2), QStringLiteral("130/05/123456"));
    EXPECT_EQ(table->topLevelItem(1)->text(3), QStringLiteral("PASS"));

    const std::size_t written = radio.Written().size();
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(program, &repeat);
    EXPECT_EQ(radio.Written().size(), written);
    EXPECT_EQ(Rows(*dialog), 2);

    // The set-up is remembered for the next time the window opens.
    EXPECT_EQ(settings->ReadText(kStationGroup, kStationPoolKey).value_or(""), "line-a");
    EXPECT_EQ(settings->ReadText(kStationGroup, kStationNameKey).value_or(""), "station-7");
}

// After a restart the table is read back from the registry, and the shift exports as CSV.
TEST_F(ProductionLineDlg, TheShiftSurvivesARestartAndExportsAsCsv) {
    {
        const auto dialog = Open();
        dialog->GetComboBox(Line::IDC_ESN_SOURCE)->setCurrentIndex(1);
        dialog->SetDlgItemText(Line::IDC_STATION_NAME, "station-7");
        ScriptPass();
        dialog->OnOK();
        ASSERT_EQ(Text(*dialog, Line::IDC_RESULT), QStringLiteral("PASS"));
    }
    const auto restarted = Open();
    EXPECT_EQ(restarted->GetComboBox(Line::IDC_ESN_SOURCE)->currentIndex(), 1);
    EXPECT_EQ(Text(*restarted, Line::IDC_STATION_NAME), QStringLiteral("station-7"));
    ASSERT_EQ(Rows(*restarted), 1);
    EXPECT_EQ(Text(*restarted, Line::IDC_COUNTS),
              QStringLiteral("Passed: 1   Failed: 0   Unconfirmed: 0"));

    const std::string path = Path("shift.csv");
    restarted->m_chooseExportPath = [&] { return path; };
    restarted->GetButton(Line::IDC_EXPORT)->click();
    std::ifstream file(path);
    std::stringstream csv;
    csv << file.rdbuf();
    const std::string time = restarted->Station().Shift().at(0).time;
    EXPECT_EQ(csv.str(),
              "time,serial_number,esn,result,reason\n" + time + ",SN-0042,130/05/123456,PASS,\n");
    EXPECT_TRUE(Text(*restarted, Line::IDC_PROMPT).contains("exported"));

    // A file that cannot be written is said, not taken for an export.
    restarted->m_chooseExportPath = [&] { return Path("no-such-folder/shift.csv"); };
    restarted->GetButton(Line::IDC_EXPORT)->click();
    ASSERT_EQ(radio.reporter.Messages().size(), 1u);
    EXPECT_EQ(radio.reporter.Messages()[0].text, "The shift was not exported.");
}

}  // namespace
}  // namespace varnel
