#include "dialogs/EsnRegistryDlg.h"

#include <QGuiApplication>
#include <QLineEdit>

#include <utility>

namespace varnel {

CEsnRegistryDlg::CEsnRegistryDlg(std::string stored, RegistryOpener open,
                                 RegistryLocationWriter write, IMessageReporter& reporter,
                                 QWidget* parent)
    : CDialog(EsnRegistryTemplate(), parent),
      m_model(std::move(stored), std::move(open), std::move(write), reporter) {}

bool CEsnRegistryDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_REGISTRY_LOCATION, QString::fromStdString(m_model.LocationText()));
    SetDlgItemText(IDC_REGISTRY_DEFAULT,
                   QString::fromStdString(RegistryDialogModel::DefaultText()));
    // A registry server that does not answer keeps the dialog waiting up to its timeout.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_model.Load();
    QGuiApplication::restoreOverrideCursor();
    ShowOverview();
    return true;
}

void CEsnRegistryDlg::OnCommand(int id) {
    if (id == IDC_REGISTRY_TEST) {
        m_model.Test(GetDlgItemText(IDC_REGISTRY_LOCATION).toStdString());
        ShowOverview();
    }
}

void CEsnRegistryDlg::OnOK() {
    if (!m_model.Accept(GetDlgItemText(IDC_REGISTRY_LOCATION).toStdString())) {
        // The location stays as typed, for the user to put right.
        ShowOverview();
        GetEdit(IDC_REGISTRY_LOCATION)->setFocus(Qt::OtherFocusReason);
        return;
    }
    CDialog::OnOK();
}

void CEsnRegistryDlg::ShowOverview() {
    const RegistryOverview& shown = m_model.Shown();
    SetListLines(IDC_REGISTRY_POOLS, shown.pools);
    SetListLines(IDC_REGISTRY_ENTRIES, shown.entries);
    SetDlgItemText(IDC_REGISTRY_STATUS, QString::fromStdString(shown.status));
}

}  // namespace varnel
