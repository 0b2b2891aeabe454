#pragma once

#include "win32/Dialog.h"

namespace varnel {

// The About box: the application icon, the name and the version.
class CAboutDlg : public CDialog, public AboutBoxIds {
public:
    explicit CAboutDlg(HWND owner);
};

}  // namespace varnel
