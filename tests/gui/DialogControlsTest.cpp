// Controls of the templates as CDialog builds them: read-only fields look read-only, an editable
// drop-down keeps what is typed as typed, and text marked to wrap stays inside its area.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTest>

#include "templates/DialogTemplates.h"
#include "ui/Dialog.h"

namespace varnel {
namespace {

// Radio Info's fields are for reading and copying: the window's background, not an input
// field's, and still a stop of Tab with selectable text. Program ESN's fields, for typing,
// keep the input look.
TEST(ReadOnlyFields, TakeTheWindowBackgroundAndStaySelectable) {
    CDialog info(RadioInfoTemplate());
    int fields = 0;
    for (const ControlTemplate& control : RadioInfoTemplate().controls) {
        if (control.kind != ControlKind::Edit) {
            continue;
        }
        ++fields;
        QLineEdit* edit = info.GetEdit(control.id);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_TRUE(edit->isEnabled()) << "a disabled field could not be selected and copied";
        EXPECT_EQ(edit->focusPolicy(), Qt::StrongFocus);
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            EXPECT_EQ(edit->palette().color(group, QPalette::Base),
                      info.palette().color(group, QPalette::Window))
                << "field " << control.id;
        }
    }
    EXPECT_EQ(fields, 11);

    CDialog esn(ProgramEsnTemplate());
    QLineEdit* input = esn.GetEdit(ProgramEsnIds::IDC_ESN_FIELD1);
    ASSERT_NE(input, nullptr);
    EXPECT_FALSE(input->isReadOnly());
    EXPECT_NE(input->palette().color(QPalette::Active, QPalette::Base),
              esn.palette().color(QPalette::Active, QPalette::Window));
}

const ControlTemplate kControls[] = {
    {ControlKind::DropDownEdit, 100, 8, 8, 100, 60, "", CS_TABSTOP},
    {ControlKind::DropDownList, 101, 8, 24, 100, 60, "", CS_TABSTOP},
    {ControlKind::Text, 102, 8, 40, 40, 24, "", CS_WORDWRAP},
    {ControlKind::DefPushButton, kIdOk, 60, 70, 40, 14, "OK", CS_TABSTOP},
};
const DialogTemplate kTemplate = {999, "Controls", 120, 90, kControls};

TEST(EditableDropDown, KeepsWhatIsTypedAsTyped) {
    CDialog dialog(kTemplate);
    QComboBox* combo = dialog.GetComboBox(100);
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    EXPECT_FALSE(dialog.GetComboBox(101)->isEditable());
    combo->addItem("/dev/ttyUSB0 - FTDI FT232R USB UART");
    combo->addItem("/dev/ttyACM0 - Arduino Uno");
    combo->setCurrentIndex(-1);
    // Typing the start of an entry completes nothing, and Enter adds no entry.
    QTest::keyClicks(combo->lineEdit(), "/dev/tty");
    EXPECT_EQ(combo->currentText(), "/dev/tty");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(dialog.GetDlgItemText(100), "/dev/tty");
    dialog.SetDlgItemText(100, "/dev/pts/3");
    EXPECT_EQ(combo->currentText(), "/dev/pts/3");
}

TEST(WrappingText, BreaksItsLinesInsideItsArea) {
    CDialog dialog(kTemplate);
    auto* label = qobject_cast<QLabel*>(dialog.GetDlgItem(102));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->wordWrap());
    const QRect area = dialog.MapDialogRect(8, 40, 40, 24);
    dialog.SetDlgItemText(102, "/dev/ttyUSB0 - FTDI FT232R USB UART (serial A50285BI)");
    EXPECT_EQ(label->geometry(), area);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

}  // namespace
}  // namespace varnel
