#pragma once

#include "ui/Dialog.h"

namespace varnel {

// The About box: the icon, the name and the version, and an OK button.
class CAboutDlg : public CDialog, public AboutBoxIds {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace varnel
