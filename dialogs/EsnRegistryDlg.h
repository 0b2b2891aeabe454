#pragma once

#include <string>

#include "strings/Messages.h"
#include "ui/Dialog.h"
#include "usecases/RegistryDialogModel.h"

namespace varnel {

// Where ESNs are reserved: the location, its test, and what that registry holds. What is read,
// tested and kept is the shared model's; this dialog only puts it on screen.
class CEsnRegistryDlg : public CDialog, public EsnRegistryIds {
    Q_OBJECT
public:
    // stored: the location the settings name now (empty: none); open reaches a registry; write
    // keeps a changed location at OK; reporter tells the user what a test found or why OK could
    // not end the dialog.
    CEsnRegistryDlg(std::string stored, RegistryOpener open, RegistryLocationWriter write,
                    IMessageReporter& reporter, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;

private:
    void ShowOverview();

    RegistryDialogModel m_model;
};

}  // namespace varnel
