// Every dialog of the program against its own template: one walk over the template lines checks
// each control's place and size in dialog units, the tab order, the default button, the texts and
// the dialog's caption and size. Nothing here runs an exchange: each dialog is only constructed.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/AboutDlg.h"
#include "dialogs/ConfigurationDlg.h"
#include "dialogs/EsnRegistryDlg.h"
#include "dialogs/ProductionLineDlg.h"
#include "dialogs/ProgramEsnDlg.h"
#include "dialogs/ProgramRegionalIdDlg.h"
#include "dialogs/RadioInfoDlg.h"
#include "dialogs/SerialDevicesDlg.h"
#include "tests/support/ScriptedSession.h"

namespace varnel {
namespace {

struct TemplateCase {
    const char* name;
    std::function<std::unique_ptr<CDialog>(test::ScriptedRadio&)> make;
    int id;
    const char* caption;
    int cx, cy;  // the client area in dialog units
};

void PrintTo(const TemplateCase& c, std::ostream* os) {
    *os << c.name;
}

class DialogTemplates : public ::testing::TestWithParam<TemplateCase> {};

// The controls in the order the template lists them: the dialog's own children, made in that
// order, with nothing else among them.
std::vector<QWidget*> ControlsInTemplateOrder(const CDialog& dialog) {
    const QList<QWidget*> children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    return std::vector<QWidget*>(children.begin(), children.end());
}

TEST_P(DialogTemplates, ControlsStandWhereTheTemplateSaysInItsOrder) {
    const TemplateCase& c = GetParam();
    test::ScriptedRadio radio;
    const std::unique_ptr<CDialog> dialog = c.make(radio);
    const auto& t = dialog->Template();
    EXPECT_EQ(t.id, c.id);
    EXPECT_EQ(dialog->windowTitle(), c.caption);
    EXPECT_EQ(std::string(t.caption), c.caption);
    EXPECT_EQ(t.cx, c.cx);
    EXPECT_EQ(t.cy, c.cy);
    EXPECT_EQ(dialog->size(), dialog->MapDialogRect(0, 0, c.cx, c.cy).size());

    const std::vector<QWidget*> controls = ControlsInTemplateOrder(*dialog);
    ASSERT_EQ(controls.size(), t.controls.size());
    std::vector<QWidget*> tabStops;
    int defaultButtons = 0;
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        const ControlTemplate& line = t.controls[i];
        QWidget* control = controls[i];
        SCOPED_TRACE("template line " + std::to_string(i) + ", id " + std::to_string(line.id));
        if (line.id != IDC_STATIC) {
            EXPECT_EQ(dialog->GetDlgItem(line.id), control);
        }
        const QRect place = dialog->MapDialogRect(line.x, line.y, line.cx, line.cy);
        EXPECT_EQ(control->pos(), place.topLeft());
        switch (line.kind) {
            case ControlKind::Text:
            case ControlKind::Icon: {
                // A label grows where the desktop's font needs more room; it never shrinks.
                EXPECT_GE(control->width(), place.width());
                EXPECT_GE(control->height(), place.height());
                if (line.kind == ControlKind::Text) {
                    auto* label = qobject_cast<QLabel*>(control);
                    ASSERT_NE(label, nullptr);
                    EXPECT_EQ(label->text(), QString::fromUtf8(line.text));
                }
                break;
            }
            case ControlKind::Edit: {
                auto* edit = qobject_cast<QLineEdit*>(control);
                ASSERT_NE(edit, nullptr);
                EXPECT_EQ(control->geometry(), place);
                EXPECT_EQ(edit->isReadOnly(), (line.style & CS_READONLY) != 0);
                EXPECT_EQ(edit->text(), QString::fromUtf8(line.text));
                break;
            }
            case ControlKind::DropDownList:
            case ControlKind::DropDownEdit: {
                // The template's height is that of the dropped list; the closed box is lower.
                auto* box = qobject_cast<QComboBox*>(control);
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->isEditable(), line.kind == ControlKind::DropDownEdit);
                EXPECT_EQ(control->width(), place.width());
                EXPECT_LE(control->height(), place.height());
                break;
            }
            case ControlKind::Table:
                ASSERT_NE(qobject_cast<QTreeWidget*>(control), nullptr);
                EXPECT_EQ(control->geometry(), place);
                break;
            case ControlKind::List: {
                auto* list = qobject_cast<QListWidget*>(control);
                ASSERT_NE(list, nullptr);
                EXPECT_EQ(control->geometry(), place);
                EXPECT_EQ(list->count(), 0);
                break;
            }
            case ControlKind::PushButton:
            case ControlKind::DefPushButton: {
                auto* button = qobject_cast<QPushButton*>(control);
                ASSERT_NE(button, nullptr);
                EXPECT_EQ(control->geometry(), place);
                EXPECT_EQ(button->text(), QString::fromUtf8(line.text));
                EXPECT_EQ(button->isDefault(), line.kind == ControlKind::DefPushButton);
                defaultButtons += button->isDefault() ? 1 : 0;
                break;
            }
        }
        if (line.style & CS_TABSTOP) {
            EXPECT_EQ(control->focusPolicy(), Qt::StrongFocus);
            tabStops.push_back(control);
        } else {
            EXPECT_EQ(control->focusPolicy(), Qt::NoFocus);
        }
    }
    EXPECT_EQ(dialog->TabStops(), tabStops);
    // Enter presses the OK button, whatever its text.
    EXPECT_EQ(defaultButtons, 1);
    ASSERT_NE(dialog->GetButton(kIdOk), nullptr);
    EXPECT_TRUE(dialog->GetButton(kIdOk)->isDefault());
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogTemplates,
    ::testing::Values(
        TemplateCase{"About", [](test::ScriptedRadio&) { return std::make_unique<CAboutDlg>(); },
                     100, "About Varnel", 228, 44},
        TemplateCase{"Configuration",
                     [](test::ScriptedRadio&) {
                         return std::make_unique<CConfigurationDlg>(PortResolver());
                     },
                     130, "Configuration", 200, 64},
        TemplateCase{"RadioInfo",
                     [](test::ScriptedRadio& radio) {
                         return std::make_unique<CRadioInfoDlg>(radio.MakeSession());
                     },
                     132, "Radio Info", 328, 153},
        TemplateCase{"ProgramEsn",
                     [](test::ScriptedRadio& radio) {
                         return std::make_unique<CProgramEsnDlg>(radio.MakeSession());
                     },
                     133, "Program ESN", 244, 65},
        TemplateCase{"ProgramRegionalId",
                     [](test::ScriptedRadio& radio) {
                         return std::make_unique<CProgramRegionalIdDlg>(radio.MakeSession());
                     },
                     134, "Program Regional ID", 264, 66},
        TemplateCase{"SerialDevices",
                     [](test::ScriptedRadio& radio) {
                         return std::make_unique<CSerialDevicesDlg>(
                             PortResolver(), std::vector<SerialDevice>{}, PortMappingWriter(),
                             radio.reporter);
                     },
                     135, "Serial Devices", 272, 128},
        TemplateCase{"EsnRegistry",
                     [](test::ScriptedRadio& radio) {
                         return std::make_unique<CEsnRegistryDlg>(
                             "", RegistryOpener(), RegistryLocationWriter(), radio.reporter);
                     },
                     136, "ESN Registry", 360, 264},
        TemplateCase{"ProductionLine",
                     [](test::ScriptedRadio& radio) {
                         static const auto settings = OpenSettingsText("");
                         return std::make_unique<CProductionLineDlg>(radio.MakeSession(), *settings,
                                                                     PortResolver(), 0);
                     },
                     137, "Varnel - Production Line", 320, 254}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnel
