#pragma once

#include "ui/Dialog.h"

namespace varnel {

enum : int { IDD_ABOUTBOX = 100 };

const DialogTemplate& AboutDialogTemplate();

// The About box: the icon, the name and the version, and an OK button.
class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace varnel
