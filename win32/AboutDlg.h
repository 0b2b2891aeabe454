#pragma once

#include "win32/Dialog.h"

namespace varnel::win32 {

// The About box: the application icon, the name and the version.
class CAboutDlg : public CDialog, public AboutBoxIds {
public:
    explicit CAboutDlg(HWND owner);
};

}  // namespace varnel::win32
