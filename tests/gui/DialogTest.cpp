#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "tests/support/QtTestSupport.h"
#include "ui/Dialog.h"

namespace varnel {
namespace {

// The tab order is the table's even where the positions would suggest another.
const ControlTemplate kControls[] = {
    {ControlKind::Text, IDC_STATIC, 8, 8, 60, 8, "First:"},
    {ControlKind::Edit, 1001, 70, 40, 40, 14, "", CS_TABSTOP},
    {ControlKind::DropDownList, 1002, 70, 4, 48, 60, "", CS_TABSTOP},
    {ControlKind::Edit, 1003, 70, 22, 40, 14, "", CS_TABSTOP | CS_READONLY},
    {ControlKind::DefPushButton, kIdOk, 144, 4, 50, 14, "OK", CS_TABSTOP},
    {ControlKind::PushButton, kIdCancel, 144, 24, 50, 14, "Cancel", CS_TABSTOP},
};
const DialogTemplate kTemplate = {900, "Test Dialog", 200, 60, kControls};

class TestDlg : public CDialog {
public:
    TestDlg() : CDialog(kTemplate) {}
    bool OnInitDialog() override {
        ++inits;
        if (endAtInit) {
            EndDialog(endAtInit);
        }
        return true;
    }
    void OnOK() override {
        ++oks;
        if (okEnds) {
            CDialog::OnOK();
        }
    }
    void OnCancel() override {
        ++cancels;
        CDialog::OnCancel();
    }
    int inits = 0, oks = 0, cancels = 0, shows = 0;
    int endAtInit = 0;
    bool okEnds = true;

protected:
    void showEvent(QShowEvent* event) override {
        ++shows;
        CDialog::showEvent(event);
    }
};

TEST(Dialog, ControlsFollowTheTemplateInDialogUnits) {
    TestDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Test Dialog"));
    const int cx = dialog.BaseUnitX();
    const int cy = dialog.BaseUnitY();
    ASSERT_GT(cx, 0);
    ASSERT_GT(cy, 0);
    EXPECT_EQ(dialog.MapDialogRect(4, 8, 40, 16), QRect(cx, cy, 10 * cx, 2 * cy));
    EXPECT_EQ(dialog.size(), dialog.MapDialogRect(0, 0, 200, 60).size());
    EXPECT_EQ(dialog.GetDlgItem(1001)->geometry(), dialog.MapDialogRect(70, 40, 40, 14));
    EXPECT_NE(dialog.GetEdit(1001), nullptr);
    EXPECT_NE(dialog.GetComboBox(1002), nullptr);
    EXPECT_TRUE(dialog.GetEdit(1003)->isReadOnly());
    EXPECT_TRUE(dialog.GetButton(kIdOk)->isDefault());
    EXPECT_FALSE(dialog.GetButton(kIdCancel)->isDefault());
    EXPECT_EQ(dialog.GetDlgItem(4711), nullptr);
    dialog.SetDlgItemText(1001, "abc");
    EXPECT_EQ(dialog.GetDlgItemText(1001), QStringLiteral("abc"));
}

TEST(Dialog, TabOrderIsTheTableOrder) {
    TestDlg dialog;
    const std::vector<QWidget*> expected = {dialog.GetDlgItem(1001), dialog.GetDlgItem(1002),
                                            dialog.GetDlgItem(1003), dialog.GetDlgItem(kIdOk),
                                            dialog.GetDlgItem(kIdCancel)};
    EXPECT_EQ(dialog.TabStops(), expected);
    std::vector<QWidget*> visited;
    test::WhenModal([&](QWidget* modal) {
        for (int i = 0; i < 6; ++i) {
            visited.push_back(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        modal->close();
    });
    dialog.DoModal();
    ASSERT_EQ(visited.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(visited[i], expected[i % 5]) << i;
    }
}

TEST(Dialog, EnterPressesTheDefaultButtonAndEscCancels) {
    struct Case {
        int key;
        int result;
        int oks, cancels;
    };
    for (const Case& c :
         {Case{Qt::Key_Return, kIdOk, 1, 0}, Case{Qt::Key_Escape, kIdCancel, 0, 1}}) {
        TestDlg dialog;
        test::WhenModal(
            [&](QWidget*) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(c.key)); });
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(dialog.oks, c.oks);
        EXPECT_EQ(dialog.cancels, c.cancels);
        EXPECT_EQ(dialog.shows, 1);
    }
}

TEST(Dialog, OkThatDoesNotEndKeepsTheDialogOpen) {
    TestDlg dialog;
    dialog.okEnds = false;
    test::WhenModal([&](QWidget* modal) {
        dialog.GetButton(kIdOk)->click();
        EXPECT_TRUE(modal->isVisible());
        modal->close();  // the close box cancels
    });
    EXPECT_EQ(dialog.DoModal(), kIdCancel);
    EXPECT_EQ(dialog.oks, 1);
    EXPECT_EQ(dialog.cancels, 1);
}

TEST(Dialog, EndDialogDuringInitEndsWithoutShowing) {
    for (int result : {int(kIdCancel), int(kIdOk)}) {
        TestDlg dialog;
        dialog.endAtInit = result;
        EXPECT_EQ(dialog.DoModal(), result);
        EXPECT_EQ(dialog.inits, 1);
        EXPECT_EQ(dialog.shows, 0);
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST(Dialog, HooksCanBeCalledDirectly) {
    TestDlg dialog;
    EXPECT_TRUE(dialog.OnInitDialog());
    dialog.OnOK();
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_EQ(dialog.Result(), kIdOk);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace varnel
