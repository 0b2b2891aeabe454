#pragma once

#include <string>

#include "strings/Messages.h"
#include "usecases/RegistryDialogModel.h"
#include "win32/Dialog.h"

namespace varnel::win32 {

// Where ESNs are reserved: the location, its test, and what that registry holds. What is read,
// tested and kept is the shared model's; this dialog only puts it on screen.
class CEsnRegistryDlg : public CDialog, public EsnRegistryIds {
public:
    // stored: the location the settings name now (empty: none); open reaches a registry; write
    // keeps a changed location at OK; reporter tells the user what a test found or why OK could
    // not end the dialog.
    CEsnRegistryDlg(std::string stored, RegistryOpener open, RegistryLocationWriter write,
                    IMessageReporter& reporter, HWND owner = nullptr);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code) override;

private:
    void ShowOverview();

    RegistryDialogModel m_model;
};

}  // namespace varnel::win32
